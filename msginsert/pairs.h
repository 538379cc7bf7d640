// msginsert --pairs: the report of what the fit (translate/fit.h) made of
// each line, in msginsert's words.
#ifndef ZOL_MSGINSERT_PAIRS_H
#define ZOL_MSGINSERT_PAIRS_H

#include <cstddef>
#include <string>

#include "translate.h"

namespace msginsert {

// Says on standard error, as "SCRIPT:LINE: ...", each translated line's
// bytes before and after, each that still does not fit, each letter left
// alone inside a line and each character that got no code.
void SayPairs(const translate::Fit& fit, const std::string& script_name);

// False, said (image_name, which holds image_size bytes), when a chosen
// code's glyph could not be drawn where layout places it.
bool SayDrawn(const translate::Fit& fit, const font::Layout& layout,
              const std::string& image_name, std::size_t image_size);

}  // namespace msginsert

#endif  // ZOL_MSGINSERT_PAIRS_H
