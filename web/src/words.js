// How the page names things: codes, cells, sizes, counts.  The facts
// (which code shows a cell, where it is) are the core's cell records.

export const hex2 = (n) => n.toString(16).toUpperCase().padStart(2, '0');
export const bytes = (n) => `${n.toLocaleString('en')} byte${n === 1 ? '' : 's'}`;
export const times = (n) => `${n.toLocaleString('en')} time${n === 1 ? '' : 's'}`;
export const offset = (n) => `0x${n.toString(16).toUpperCase()}`;

// What shows a cell: its code, or why none does.
export const cellCode = (cell) => (cell.control ? `control code ${cell.name} (never a glyph)`
  : cell.reachable ? `code ${cell.name}` : 'no code reaches this cell');

// Where a cell is in its grid.
export const cellPlace = (cell) => `${cell.grid} line ${cell.line}, column ${cell.column}`;
