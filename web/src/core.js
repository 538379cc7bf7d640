// The C++ cores of msgdump and glyphpack, in WebAssembly: every rule the
// page follows (the encoding, the grids' layout and findings, the walk,
// insertion, patches) comes from here.  Each call takes all it needs and
// answers in a buffer of its own; this module turns those into bytes and
// objects.

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

  const constants = json('constants');
  return {
    constants,
    // The table glyphpack makes from the grids (either may be missing).
    pack: (g0, g1) => call('pack', g0 || new Uint8Array(0), g1 || new Uint8Array(0)),
    // The grid of a table's page (512 bytes), or a blank grid for none.
    grid: (page) => call('grid', page || new Uint8Array(0)),
    gridFindings: (grid, page) => json('grid_findings', grid, page),
    fixLineEnds: (grid) => call('fix_line_ends', grid),
    gridFromUtf8: (grid) => {
      const r = json('grid_from_utf8', grid);
      return {bytes: Uint8Array.from(r.bytes), lost: r.lost};
    },
    // A typed character as cell bytes: {bytes, substituted} or {bad}.
    encode: (text) => json('encode', text),
    cells: (table) => json('cells', table),
    imageHints: (size) => json('image_hints', size),
    script: (img, table, asUtf8) => call('script', {image: img}, table, asUtf8 ? 1 : 0),
    units: (table) => call('units', table),
    trace: (img) => new Uint32Array(call('trace', {image: img}).buffer),
    atlas: (img, table) => call('atlas', {image: img}, table),
    thingy: (table) => call('thingy', table),
    toFill: (img, table) => json('to_fill', {image: img}, table),
    insert: (img, script, table, fill) => json('insert', {image: img}, script, table, fill),
    patched: (img, script, table, fill, bps) =>
      call('patched', {image: img}, script, table, fill, bps ? 1 : 0),
    sampleImage: (scene) => call('sample_image', scene),
  };
}

// The two index spaces.  A code's index: c for a one-byte code, 256 + n
// for 0xFF n (as the trace gives them).  A table entry: a cell, 0 to 511.
// The cell a code shows, or -1 (control codes, 0xFF alone, 0xFF 0xFF):
export const entryOfCode = (i) => (i >= 0x10 && i < 0xFF ? i : i >= 0x100 && i < 0x1FF ? i - 1 : -1);
// The code that shows a cell, or -1 (cells 0 to 15, 510 and 511):
export const codeOfEntry = (e) => (e >= 0x10 && e < 0xFF ? e : e >= 0xFF && e < 510 ? e + 1 : -1);
