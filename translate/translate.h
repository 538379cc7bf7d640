// The translation library: a script out of the image for translators, and
// their translation back in.  Start here; each part is a header of its own.
//
//   atlas.h   the glyph table as a Thingy table, the window as an Atlas
//             script that gives back every byte
//   insert.h  an edited Atlas script inserted into an image, every line
//             held to the one it replaces, or as Atlas 1.12 inserts it
//   bps.h     the patch from the original image to the inserted one
//   pairs.h   English in pairs: what the free glyph codes hold so that a
//             translation fits its lines
//   tiles.h   those letters drawn into the game's 16 x 16 glyphs
//   fit.h     the pairs chosen, the script inserted with them and their
//             glyphs drawn into the font, in one call; a line as the game
//             shows it
//
// It builds on the decoder (decoder/decoder.h), the grids (grids/packer.h)
// and the font (font/font.h), and says nothing itself: what it finds comes back
// as records for its callers to word.
#ifndef ZOL_TRANSLATE_TRANSLATE_H
#define ZOL_TRANSLATE_TRANSLATE_H

#include "atlas.h"
#include "bps.h"
#include "fit.h"
#include "insert.h"
#include "pairs.h"
#include "tiles.h"

#endif  // ZOL_TRANSLATE_TRANSLATE_H
