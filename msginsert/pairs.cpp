// msginsert --pairs: the fit's records in msginsert's words.
#include "pairs.h"

#include "message.h"

namespace msginsert {

namespace {

using message::Format;

std::string Where(const translate::PairPlace& p) {
  return Format("$%06X", static_cast<unsigned>(p.offset));
}

}  // namespace

void SayPairs(const translate::Fit& fit, const std::string& script_name) {
  auto subject = [&](int line) {
    return script_name + ":" + std::to_string(line);
  };
  for (const translate::Fit::Line& l : fit.lines)
    message::Say(
        subject(l.line),
        Format("$%06X (%zu byte%s): %zu bytes of text, %zu in pairs%s",
               static_cast<unsigned>(l.offset), l.budget,
               l.budget == 1 ? "" : "s", l.before, l.after,
               l.fits               ? ""
               : l.after > l.budget ? "; still does not fit"
                                    : "; a character in it has no code"));
  for (const translate::PairPlace& p : fit.choice.singles)
    message::Say(subject(p.line),
                 Where(p) + Format(": '%c' stands alone in its glyph", p.what));
  for (const translate::PairPlace& p : fit.choice.missing)
    message::Say(subject(p.line),
                 Where(p) + (p.what >= 0x20 && p.what <= 0x7E
                                 ? Format(": '%c' gets no code: every glyph "
                                          "code is taken",
                                          p.what)
                                 : std::string(": a character that is not "
                                               "printable ASCII gets no "
                                               "code")));
}

bool SayDrawn(const translate::Fit& fit, const font::Layout& layout,
              const std::string& image_name, std::size_t image_size) {
  if (fit.undrawn < 0) return true;
  const auto code = static_cast<unsigned>(fit.undrawn);
  using Undrawn = translate::Fit::Undrawn;
  const char* why =
      fit.why == Undrawn::kPagesOverlap
          ? "the font %s has its kanji page over its one-byte page (code %s)"
      : fit.why == Undrawn::kOverKept
          ? "the font %s puts code %s's glyph over the text window or the "
            "cartridge's header"
          : "the font %s has no room for code %s's glyph";
  message::Say(image_name,
               Format(why, font::LayoutText(layout).c_str(),
                      code < 0x100 ? Format("%02X", code).c_str()
                                   : Format("FF%02X", code & 0xFF).c_str()) +
                   Format(" (the image holds %zu bytes)", image_size));
  return false;
}

}  // namespace msginsert
