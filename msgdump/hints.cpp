// msgdump's hints, in its words.
#include "hints.h"

#include <string>

#include "glyph_table.h"
#include "image_hints.h"
#include "message.h"
#include "script.h"
#include "shell.h"
#include "window.h"

namespace msgdump {

using message::Format;
using message::Say;

void HintNoTable(const char* name) {
  Say(name,
      "glyphpack makes it from zol_00.txt and zol_01.txt in the current "
      "folder; run glyphpack here first");
}

void HintTableSize(const char* name, std::uint64_t size,
                   const decoder::GlyphTable& table) {
  if (size == glyph_table::kFileBytes) return;
  const auto n = static_cast<unsigned long long>(size);
  if (LooksLikeThingy(table)) {
    Say(name, Format("holds %llu bytes of HEX=text lines: it is a Thingy "
                     "table (msgdump --thingy writes one, as zolvane.tbl), "
                     "not the 1024-byte table glyphpack makes; run glyphpack "
                     "to make it again",
                     n));
    return;
  }
  Say(name, Format("holds %llu bytes, not the 1024 glyphpack makes; %s", n,
                   size < glyph_table::kFileBytes
                       ? "the codes of its missing entries print nothing"
                       : "only its first 1024 are read"));
}

void HintStaleTable(const char* name, const char* grid) {
  Say(name, std::string(grid) + " changed after it was made; run glyphpack " +
                "again");
}

void HintImageSize(const char* name, std::uint64_t size, std::uint64_t stops) {
  const decoder::ImageSizeHints hints = decoder::HintsForImageSize(size);
  const auto n = static_cast<unsigned long long>(size);
  if (hints.copier_header)
    Say(name,
        "its size is 512 bytes past a multiple of 32 KiB: it looks like it "
        "carries a 512-byte copier header, which puts the text window 512 "
        "bytes off; remove the first 512 bytes: " +
            shell::StripHeader(name) +
            ", or press \"Decode without the header\" in zolvane-tools.html");
  if (hints.before_window)
    Say(name, Format("the image holds %llu bytes, but the text window "
                     "starts at byte %lu (0x%lX); is this the right image?",
                     n, static_cast<unsigned long>(decoder::kWindowStart),
                     static_cast<unsigned long>(decoder::kWindowStart)));
  if (hints.inside_window)
    Say(name, Format("the image holds %llu bytes and ends inside the text "
                     "window (0x%lX to 0x%lX), so the script stops at $%llX "
                     "with [EOF]; is the file complete?",
                     n, static_cast<unsigned long>(decoder::kWindowStart),
                     static_cast<unsigned long>(decoder::kWindowEnd),
                     static_cast<unsigned long long>(stops)));
}

void HintShiftJisTerminal() {
  Say("standard output",
      "the script is Shift-JIS; to read it, save it (> script.txt) or "
      "convert it (| iconv -f CP932 -t UTF-8), or use --utf8");
}

void HintNotCp932(const char* table, const std::vector<unsigned>& codes) {
  if (codes.empty()) return;
  constexpr std::size_t kNamed = 16;
  std::string names;
  for (std::size_t i = 0; i < codes.size() && i < kNamed; ++i)
    names += (i == 0 ? "" : ", ") + decoder::CodeName(codes[i]);
  if (codes.size() > kNamed)
    names += Format(" and %zu more", codes.size() - kNamed);
  Say(table, "the entries of " + names +
                 " are not Shift-JIS (CP932); the script shows U+FFFD for "
                 "them");
}

}  // namespace msgdump
