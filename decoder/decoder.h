// The decoder library: what msgdump and the page read out of a ROM image
// with a glyph table.  Start here; each part below is a header of its own.
//
//   table.h        zol.tbl loaded into 512 entries (LoadTable)
//   window.h       the text window of the image, read with one read
//   walk.h         MsgConv, the walk that cuts the window into codes
//   script.h       every code's rendering, Shift-JIS or UTF-8, and the script
//   banner.h       the original tools' lines before the script
//   cells.h        what each cell shows and why it may need drawing
//   to_fill.h      the glyphs still to fill, most used first
//   image_hints.h  what an image's size says about it
//
// It reads C streams and memory, and says nothing: its callers word what
// it finds.  The glyph table's layout is common/glyph_table.h.
#ifndef ZOL_DECODER_DECODER_H
#define ZOL_DECODER_DECODER_H

#include "banner.h"
#include "cells.h"
#include "image_hints.h"
#include "script.h"
#include "table.h"
#include "to_fill.h"
#include "walk.h"
#include "window.h"

#endif  // ZOL_DECODER_DECODER_H
