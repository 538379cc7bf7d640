// The script as msgdump prints it: every code's rendering, in Shift-JIS as
// the original tools print it, or the same text in UTF-8.
#ifndef ZOL_DECODER_SCRIPT_H
#define ZOL_DECODER_SCRIPT_H

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "table.h"
#include "walk.h"
#include "window.h"

namespace decoder {

enum class Encoding { kShiftJis, kUtf8 };

// What every code prints, worked out once per table: index c for a one-byte
// code (0xFF alone is the image's last byte), 256 + n for 0xFF n.
struct Renderings {
  struct Text {
    unsigned char bytes[15];
    unsigned char size;
  };
  Text code[512];
  // In UTF-8: the code's entry is not CP932, and prints U+FFFD.
  bool not_cp932[512];
};

// Fills r with what each code prints with table, in encoding.
void Render(const GlyphTable& table, Encoding encoding, Renderings* r);

// The script of a window: every code's rendering, then "[EOF]" if the image
// ends inside the window.
struct Script {
  std::unique_ptr<char[]> bytes;
  std::size_t size = 0;
  WalkEnd end = WalkEnd::kWindowDone;
  [[nodiscard]] std::string_view text() const { return {bytes.get(), size}; }
};
Script RenderScript(const Renderings& r, const Window& w);

// What msgdump prints on standard output before the script: the banner,
// the credit, the table's name and an empty line (banner.h).
std::string ScriptHead();

// How many UTF-16 units each code index shows as in r (UTF-8): what a
// browser counts when it traces a character to its code.
std::vector<unsigned char> Utf16Units(const Renderings& r);

// The indexes of the codes in w that print U+FFFD, in ascending order.
std::vector<unsigned> CodesNotCp932(const Renderings& r, const Window& w);

// A code as a translator writes it: "0x41", "0xFF 0x41".
std::string CodeName(unsigned index);

// A code as a Thingy table's key: "41", "FF41".
std::string CodeKey(unsigned index);

}  // namespace decoder

#endif  // ZOL_DECODER_SCRIPT_H
