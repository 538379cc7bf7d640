// msgdump's font modes: --suggest and --find-font.
#ifndef ZOL_MSGDUMP_FONTS_H
#define ZOL_MSGDUMP_FONTS_H

#include <string>

#include "font.h"
#include "output.h"

namespace msgdump {

// The lines --suggest prints: per suggestion, its code as --to-fill names
// it, a tab, and the characters in UTF-8, separated by spaces.
std::string SuggestionsText(const std::vector<font::Suggestion>& suggestions);

// The lines --find-font prints: one layout per font found.
std::string FoundText(const std::vector<font::Found>& found);

// Runs --suggest with layout (or --find-font, layout null) on the image at
// path, into out; false, said, where it could not.
bool RunFontMode(const std::string& path, const char* layout, Output& out);

}  // namespace msgdump

#endif  // ZOL_MSGDUMP_FONTS_H
