// The glyphs to fill in msgdump --to-fill's words: the format translators'
// tools read, one line per code.
#ifndef ZOL_MSGDUMP_TO_FILL_TEXT_H
#define ZOL_MSGDUMP_TO_FILL_TEXT_H

#include <string>
#include <vector>

#include "to_fill.h"

namespace msgdump {

// The list, one line per code, tab separated: key, count, why ("blank",
// "empty", "not Shift-JIS" or "same as KEY"), first offset, the first use.
//   19	4	blank	$2EF80E	…ロタン「«　»こだ。森の…
std::string ToFillText(const std::vector<decoder::ToFill>& list);

}  // namespace msgdump

#endif  // ZOL_MSGDUMP_TO_FILL_TEXT_H
