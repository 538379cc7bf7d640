// How the page names things: codes, cells, sizes, counts.
import {codeOfEntry} from './core.js';

export const hex2 = (n) => n.toString(16).toUpperCase().padStart(2, '0');
export const bytes = (n) => `${n.toLocaleString('en')} byte${n === 1 ? '' : 's'}`;
export const times = (n) => `${n.toLocaleString('en')} time${n === 1 ? '' : 's'}`;
export const offset = (n) => `0x${n.toString(16).toUpperCase()}`;

const GRIDS = ['zol_00.txt', 'zol_01.txt'];

// A code as a translator writes it, from its index: "0x41", "0xFF 0x41".
export const codeName = (index) => (index < 256 ? `0x${hex2(index)}` : `0xFF 0x${hex2(index - 256)}`);

// What shows a cell: its code, or why none does.
export function cellCode(entry) {
  if (entry < 16) return `control code 0x${hex2(entry)} (never a glyph)`;
  const index = codeOfEntry(entry);
  return index < 0 ? 'no code reaches this cell' : `code ${codeName(index)}`;
}

// Where a cell is in its grid.
export const cellPlace = (entry) =>
  `${GRIDS[entry >> 8]} line ${((entry & 255) >> 4) + 1}, column ${(entry & 15) + 1}`;
