// msgdump's font modes: the whole image read, its font matched or found.
#include "fonts.h"

#include <cerrno>

#include "cp932.h"
#include "file_io.h"
#include "glyph_table.h"
#include "message.h"
#include "platform.h"
#include "script.h"

namespace msgdump {

namespace {

// Larger than any cartridge: an image this size is not read whole.
constexpr std::uint64_t kMaxImage = std::uint64_t{64} << 20;

// What a layout error says.
std::string LayoutWhy(const font::LayoutError& e) {
  switch (e.kind) {
    case font::LayoutError::kFormat:
      return "the format is 1bpp, 2bpp or 4bpp, then ':'";
    case font::LayoutError::kOffset:
    case font::LayoutError::kKanji:
      return std::string(e.kind == font::LayoutError::kOffset ? "OFFSET"
                                                              : "KANJI") +
             " is a number (decimal, or hexadecimal after 0x)";
    case font::LayoutError::kTrailing:
      break;
  }
  return "the layout is FORMAT:OFFSET[:KANJI]";
}

}  // namespace

std::string SuggestionsText(const std::vector<font::Suggestion>& suggestions) {
  std::string out;
  for (const font::Suggestion& s : suggestions) {
    const int code = glyph_table::CodeOfEntry(s.entry);
    if (code < 0) continue;
    out += decoder::CodeKey(static_cast<unsigned>(code)) + "\t";
    for (std::size_t i = 0; i < s.codes.size(); ++i) {
      const unsigned char sjis[2] = {
          static_cast<unsigned char>(s.codes[i] >> 8),
          static_cast<unsigned char>(s.codes[i])};
      if (i > 0) out += ' ';
      cp932::ToUtf8(sjis, 2, &out);
    }
    out += '\n';
  }
  return out;
}

std::string FoundText(const std::vector<font::Found>& found) {
  std::string out;
  for (const font::Found& f : found) out += font::LayoutText(f.layout) + "\n";
  return out;
}

bool RunFontMode(const std::string& path, const char* layout, Output& out) {
  font::Layout s;
  font::LayoutError error;
  if (layout != nullptr && !font::ParseLayout(layout, &s, &error)) {
    message::Say(std::string("--font ") + layout, LayoutWhy(error));
    return false;
  }
  const char* why = nullptr;
  platform::FileInfo info;
  const file_io::File fp(platform::OpenInput(path.c_str(), &info, &why));
  if (!fp) {
    message::SayWhy(path, why);
    return false;
  }
  if (info.size > kMaxImage) {
    message::Say(path, "larger than any cartridge (64 MiB); not read");
    return false;
  }
  std::vector<unsigned char> image(static_cast<std::size_t>(info.size));
  std::size_t got = 0;
  if (!file_io::ReadUpTo(fp.get(), image.data(), image.size(), &got)) {
    message::SayErrno(path, errno);
    return false;
  }
  image.resize(got);
  // A page that starts past the image's end is a mistyped layout, not a font
  // without ink.
  if (layout != nullptr &&
      (s.offset >= image.size() || (s.has_kanji && s.kanji >= image.size()))) {
    message::Say(
        std::string("--font ") + layout,
        message::Format("%s starts past the image's end (%llu bytes)",
                        s.offset >= image.size() ? "OFFSET" : "KANJI",
                        static_cast<unsigned long long>(image.size())));
    return false;
  }
  const font::Matcher matcher(font::BuiltInReferences());
  if (layout != nullptr) {
    const std::vector<font::Suggestion> suggestions =
        font::Suggest(matcher, s, image.data(), image.size());
    if (suggestions.empty())
      message::Say(path, std::string("no inked glyph where ") + layout +
                             " says the font is; msgdump --find-font " +
                             "looks for it");
    out.Put(SuggestionsText(suggestions));
    return true;
  }
  const std::vector<font::Found> found =
      font::FindFonts(matcher, image.data(), image.size());
  if (found.empty()) message::Say(path, "no 16 x 16 font found");
  out.Put(FoundText(found));
  return true;
}

}  // namespace msgdump
