// What a file is: known by its first bytes, its size and its name, before
// it is read whole.  A picture, an archive or a PDF is never taken for one
// of ours; a grid is text of a few KB, named by the file it came from.
import {bytes} from './words.js';

export const HEAD = 4096;          // bytes read to know a file
export const MAX_IMAGE = 16 << 20;  // no Super Famicom image is larger
export const MAX_GRID = 16 << 10;   // a grid picked as one, with lines to spare
export const MAX_TEXT = 8 << 20;    // an Atlas script or a Thingy table

const SIGNATURES = [
  [[0x89, 0x50, 0x4E, 0x47], 'a PNG picture'],
  [[0xFF, 0xD8, 0xFF], 'a JPEG picture'],
  [[0x47, 0x49, 0x46, 0x38], 'a GIF picture'],
  [[0x25, 0x50, 0x44, 0x46, 0x2D], 'a PDF'],
  [[0x50, 0x4B, 0x03, 0x04], 'a ZIP archive'],
  [[0x50, 0x4B, 0x05, 0x06], 'a ZIP archive'],
  [[0x1F, 0x8B], 'a gzip archive'],
  [[0x37, 0x7A, 0xBC, 0xAF, 0x27, 0x1C], 'a 7z archive'],
  [[0x52, 0x61, 0x72, 0x21, 0x1A, 0x07], 'a RAR archive'],
  [[0xFD, 0x37, 0x7A, 0x58, 0x5A, 0x00], 'an xz archive'],
];

// What a file's first bytes say it is, if it is of another kind.
function foreignKind(head) {
  const webp = head.length >= 12 && String.fromCharCode(...head.subarray(0, 4)) === 'RIFF' &&
    String.fromCharCode(...head.subarray(8, 12)) === 'WEBP';
  if (webp) return 'a WebP picture';
  for (const [sig, what] of SIGNATURES)
    if (sig.every((b, i) => head[i] === b)) return what;
  return null;
}

const text = (head) => new TextDecoder('latin1').decode(head);
const isText = (head) => !head.includes(0);
// A grid is text too, but a cell of one single-byte character holds it
// and then NUL: a NUL is a grid's only after such a character.
const single = (b) => (b >= 0x20 && b <= 0x7E) || (b >= 0xA1 && b <= 0xDF);
const isGridText = (head) => head.every((b, i) => b !== 0 || (i > 0 && single(head[i - 1])));
// The first line that holds anything, without a byte order mark.
function firstLine(head) {
  const lines = text(head).replace(/^\xEF\xBB\xBF/, '').split(/\r?\n/);
  return lines.find((l) => l.trim() !== '') ?? '';
}
const looksLikeScript = (head) => isText(head) && /^\s*(#VAR\(|\/\/|#JMP\()/.test(firstLine(head));
const looksLikeThingy = (head) => isText(head) && /^[0-9A-Fa-f]{2,}=/.test(firstLine(head));

// The page of a grid by its name (it starts as the grid's own name does,
// "zol_00..."), or null.
function pageOfName(name, gridNames) {
  const page = gridNames.findIndex((g) => name.toLowerCase().startsWith(g.replace(/\.[^.]*$/, '').toLowerCase()));
  return page < 0 ? null : page;
}

const ROLE_WORDS = {
  rom: 'a ROM image', grid0: 'a grid', grid1: 'a grid', table: 'a glyph table',
  script: 'an Atlas script', 'insert-table': 'a Thingy table',
};

// Why a file picked for role is refused, or null: size is the file's,
// head its first bytes.
export function refusePick(role, name, size, head) {
  const foreign = foreignKind(head);
  if (foreign) return `${name} is ${foreign}, not ${ROLE_WORDS[role]}: it was not loaded.`;
  if (role === 'rom' && size > MAX_IMAGE)
    return `${name} holds ${bytes(size)}: no Super Famicom image is larger than ${bytes(MAX_IMAGE)}, so it was not loaded.`;
  if (role.startsWith('grid') && (size > MAX_GRID || !isGridText(head)))
    return `${name} ${size > MAX_GRID ? `holds ${bytes(size)}` : 'is not text'}: a grid is 16 lines of 16 characters, so it was not loaded.`;
  if ((role === 'script' || role === 'insert-table') && (size > MAX_TEXT || !isText(head)))
    return `${name} is not ${ROLE_WORDS[role]} (text): it was not loaded.`;
  return null;
}

// What a dropped file is: {role, page} (page for grids, null when its name
// does not say), or {refused: why}.  limits are the core's: windowStart,
// and the least and most bytes a grid can hold (leastGridBytes,
// mostGridBytes), gridNames; a text not named for a grid is one only
// within those sizes.
export function recognise(name, size, head, limits) {
  const foreign = foreignKind(head);
  if (foreign) return {refused: `${name} is ${foreign}: no file of ours, so it was not loaded.`};
  if (looksLikeScript(head) && size <= MAX_TEXT) return {role: 'script'};
  if (looksLikeThingy(head) && size <= MAX_TEXT) return {role: 'insert-table'};
  const romName = /\.(sfc|smc|swc|fig)$/i.test(name);
  if ((romName || size >= limits.windowStart) && size <= MAX_IMAGE) return {role: 'rom'};
  if (size === limits.tableBytes || (/\.tbl$/i.test(name) && size <= MAX_GRID)) return {role: 'table'};
  const page = pageOfName(name, limits.gridNames);
  if (isGridText(head) && size > 0 && size <= MAX_GRID && page !== null) return {role: `grid${page}`, page};
  if (isGridText(head) && size >= limits.leastGridBytes && size <= limits.mostGridBytes) return {role: 'grid', page};
  if (isGridText(head) && size > 0 && size <= MAX_GRID) {
    return {refused: `${name} (${bytes(size)}) is too ${size < limits.leastGridBytes ? 'small' : 'large'} to be a grid ` +
      `(${limits.leastGridBytes.toLocaleString('en')} to ${limits.mostGridBytes.toLocaleString('en')} bytes) ` +
      'and is no other file of ours: it was not loaded.'};
  }
  return {refused: `${name} (${bytes(size)}) is no ROM image (${bytes(limits.windowStart)} or more, or .sfc/.smc), ` +
    'no glyph table, no grid (text of a few KB), no Atlas script and no Thingy table: it was not loaded.'};
}
