// msginsert's one use of the inserter: the call, and the report of what
// it did in msginsert's words.
#ifndef ZOL_MSGINSERT_REPORT_H
#define ZOL_MSGINSERT_REPORT_H

#include <string>
#include <vector>

#include "translate.h"

namespace msginsert {

// What the report names files by.
struct Names {
  std::string script;
  std::string table;
};

// Inserts script with table into a copy of original, *patched, as
// options say, and says on standard error, as "SCRIPT:LINE: ...", every
// problem and every block that matters: cut, padded, or shorter with the
// original's rest left (a block that fits with all its bytes as they were
// matters not).  True when the result may be written: the inserter took
// the script and, unless options.as_atlas, no line was cut.
bool InsertAndReport(const std::string& script, const std::string& table,
                     const translate::InsertOptions& options,
                     const Names& names,
                     const std::vector<unsigned char>& original,
                     std::vector<unsigned char>* patched);

}  // namespace msginsert

#endif  // ZOL_MSGINSERT_REPORT_H
