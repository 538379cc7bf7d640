// The C++ cores of msgdump and glyphpack, in WebAssembly: every rule the
// page follows (the encoding, the grids' names, layout and findings, cell
// edits, the walk, insertion, patches) comes from here.  Each call takes
// all it needs and answers in a buffer of its own; this module turns those
// into bytes and records.

const utf8 = new TextDecoder('utf-8');
const encoder = new TextEncoder();

// Loads the module from its bytes (inlined in the page: nothing is
// fetched).  ZolCore is the loader Emscripten writes.
export async function loadCore(wasmBinary, loader = globalThis.ZolCore) {
  const m = await loader({wasmBinary});
  // The image is large and used by most calls: it stays in the module's
  // memory until another takes its place.
  let image = null;
  let imagePtr = 0;
  const placeImage = (bytes) => {
    if (bytes === image) return imagePtr;
    if (imagePtr) m._free(imagePtr);
    imagePtr = m._malloc(Math.max(bytes.length, 1));
    m.HEAPU8.set(bytes, imagePtr);
    image = bytes;
    return imagePtr;
  };

  // Calls fn with the arguments: numbers as they are, byte arrays (and
  // strings, as UTF-8) copied in as (pointer, size), {image} placed once;
  // returns its answer's bytes.
  function call(fn, ...args) {
    const flat = [];
    const owned = [];
    for (const a of args) {
      if (typeof a === 'number') {
        flat.push(a);
      } else if (a.image) {
        flat.push(placeImage(a.image), a.image.length);
      } else {
        const bytes = typeof a === 'string' ? encoder.encode(a) : a;
        const p = m._malloc(Math.max(bytes.length, 1));
        m.HEAPU8.set(bytes, p);
        owned.push(p);
        flat.push(p, bytes.length);
      }
    }
    try {
      const r = m[`_zol_${fn}`](...flat);
      const [data, size] = new Uint32Array(m.HEAPU8.buffer, r, 2);
      return m.HEAPU8.slice(data, data + size);
    } finally {
      owned.forEach((p) => m._free(p));
    }
  }
  const json = (...a) => JSON.parse(utf8.decode(call(...a)));
  const none = new Uint8Array(0);

  return {
    constants: json('constants'),
    // Every code index (c, or 256 + n for 0xFF n): {name, entry, control}.
    codes: json('codes'),
    // The table glyphpack makes from the grids (either may be missing).
    pack: (g0, g1) => call('pack', g0 || none, g1 || none),
    blankGrid: () => call('blank_grid'),
    gridOfTable: (table, page) => call('grid_of_table', table, page),
    // The grid (or none) with the cell of entry holding the two bytes.
    withCell: (grid, entry, [b0, b1]) => call('with_cell', grid || none, entry, b0, b1),
    // [{kind, line, column, fix, count, bytes, bom, marks: [first, n]}]
    gridFindings: (grid, page) => json('grid_findings', grid, page),
    fixLineEnds: (grid) => call('fix_line_ends', grid),
    gridFromUtf8: (grid) => {
      const r = json('grid_from_utf8', grid);
      return {bytes: Uint8Array.from(r.bytes), lost: r.lost};
    },
    // A typed character as cell bytes: {bytes, substituted} or {bad}.
    encode: (text) => json('encode', text),
    // {thingy, cells: [{code, name, control, reachable, page, grid, line,
    // column, text, empty, blank, notCp932, sameAs}]} by entry.
    cells: (table) => json('cells', table),
    imageHints: (size) => json('image_hints', size),
    script: (img, table, asUtf8, crlf) => call('script', {image: img}, table, asUtf8 ? 1 : 0, crlf ? 1 : 0),
    units: (table) => call('units', table),
    // {codes: (offset, code index) pairs, eof: the image ends in the window}
    trace: (img) => {
      const t = new Uint32Array(call('trace', {image: img}).buffer);
      return {codes: t.subarray(0, t.length - 1), eof: t[t.length - 1] === 1};
    },
    atlas: (img, table) => call('atlas', {image: img}, table),
    thingy: (table) => call('thingy', table),
    toFill: (img, table) => json('to_fill', {image: img}, table),
    // Inserts (as Atlas does, asAtlas), and keeps what it made for
    // patched(): {ok, fillLine, fill, blocks, problems}.
    insert: (img, script, table, fill, asAtlas) => json('insert', {image: img}, script, table, fill, asAtlas ? 1 : 0),
    // The last insertion's image, or the BPS patch from img to it.
    patched: (img, bps) => call('patched', {image: img}, bps ? 1 : 0),
    // Makes script fit img in pairs, as msginsert --font layout --pairs:
    // {layout, ok, pairs: [{code, text}], blank, lines: [{line, offset,
    // budget, before, after, fits, original, patched}], singles, missing,
    // undrawn, why, insertion}; its files kept for fitFile().
    fit: (img, script, table, layout, fill, asAtlas) =>
      json('fit', {image: img}, script, table, layout, fill, asAtlas ? 1 : 0),
    // A file of the last fit: 'table', 'grid0', 'grid1', 'patched', 'bps'.
    fitFile: (img, which) => call('fit_file', {image: img}, ['table', 'grid0', 'grid1', 'patched', 'bps'].indexOf(which)),
    sampleImage: (scene) => call('sample_image', scene),
    // The font panel's calls (font_api.cpp).  Formats: [{name, bytes}],
    // indexed as the calls take them.
    fontFormats: json('font_formats'),
    // Hands in the reference fonts' records, once: {glyphs, characters}.
    fontReferences: (records) => json('font_references', records),
    // A layout read: {ok, layout, format, offset, kanji?} or {ok: false, error, at}.
    fontLayout: (text) => json('font_layout', text),
    // 512 bytes (1 where entry e has a glyph), then 512 glyphs as 1bpp.
    fontSheet: (img, layout) => call('font_sheet', {image: img}, layout),
    // count glyphs of format from offset, as 1bpp, 32 bytes each.
    fontGlyphs: (img, format, offset, count) => call('font_glyphs', {image: img}, format, offset, count),
    // {ok, offset, kanji}: where a page starts for entry's glyph to lie at at.
    fontPlace: (format, entry, at) => json('font_place', format, entry, at),
    // {ok, suggestions: [{entry, code, chars}]} or {ok: false, why}.
    fontSuggest: (img, layout) => json('font_suggest', {image: img}, layout),
    // {ok, found: [{layout, score}]}, best first, or {ok: false, why}.
    fontFind: (img) => json('font_find', {image: img}),
  };
}
