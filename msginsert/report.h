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
// options say, and words on standard error, as "SCRIPT:LINE: ...", each
// problem and warning the inserter names (with its block's offset and
// budget) and, once it went in, each line it padded.  True when the
// result may be written: the inserter took the script.
bool InsertAndReport(const std::string& script, const std::string& table,
                     const translate::InsertOptions& options,
                     const Names& names,
                     const std::vector<unsigned char>& original,
                     std::vector<unsigned char>* patched);

// Words report as InsertAndReport does, for an insertion made elsewhere
// (ok: the inserter took the script); returns ok.
bool SayInsertion(const translate::Insertion& report, bool ok,
                  const Names& names);

}  // namespace msginsert

#endif  // ZOL_MSGINSERT_REPORT_H
