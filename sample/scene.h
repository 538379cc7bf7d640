// The sample: a scene written in the game's codes (scene.txt: hexadecimal
// bytes, '#' starting a comment) and the image made from it, so that the
// tools can be tried without the cartridge.  mksample writes the image;
// the page makes the same one from the scene it carries.
#ifndef ZOL_SAMPLE_SCENE_H
#define ZOL_SAMPLE_SCENE_H

#include <string>
#include <vector>

namespace sample {

// The bytes of a scene's text; false, with *why ("line 3: 'x' is not a
// two-digit hex byte"), at the first bad token.
bool ParseScene(const std::string& text, std::string* bytes, std::string* why);

// Where the sample image holds its font: the glyphs of the sample grids'
// characters, drawn from Shinonome's 16-dot mincho (not one of the fonts
// msgdump matches against, so its suggestions are honest).
inline constexpr char kFontLayout[] = "2bpp:0xC8000:0xCC000";

// The Shift-JIS code of table entry e (0 to 511) in the sample grids, as
// the image's font draws it.
unsigned GridCode(unsigned entry);

// A 3 MiB image (a 24-megabit cartridge's) whose text window holds the
// scene, then the padding code 0x08 (which prints nothing) to its end; the
// font where kFontLayout says; zeros elsewhere.
std::vector<unsigned char> ImageOf(const std::string& scene);

}  // namespace sample

#endif  // ZOL_SAMPLE_SCENE_H
