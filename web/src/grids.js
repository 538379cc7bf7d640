// The two grids drawn: a 16 x 16 table of buttons each, with row and
// column labels, every cell shaded by how often its code occurs and named
// for screen readers.  One tab stop per grid (the arrow keys move it),
// which follows the picked cell.
import {cellCode, hex2, times} from './words.js';

export function createGrids(doc, {onPick, onEdit}) {
  const cells = [];
  const label = (text, role) => {
    const l = doc.createElement('div');
    l.className = 'label';
    l.textContent = text;
    l.setAttribute('role', role);
    return l;
  };
  for (const page of [0, 1]) {
    const grid = doc.getElementById(`page${page}`);
    const head = doc.createElement('div');
    head.setAttribute('role', 'row');
    // Row and column in hexadecimal: of the code on page 0 (0x10 is row 1,
    // column 0), of n - 1 for 0xFF n on page 1.
    head.appendChild(label(page === 0 ? '0x' : 'n−1', 'columnheader'));
    for (let k = 0; k < 16; ++k) head.appendChild(label(hex2(k)[1], 'columnheader'));
    grid.appendChild(head);
    for (let r = 0; r < 16; ++r) {
      const row = doc.createElement('div');
      row.setAttribute('role', 'row');
      row.appendChild(label(hex2(r)[1], 'rowheader'));
      for (let k = 0; k < 16; ++k) {
        const e = page * 256 + r * 16 + k;
        const cell = doc.createElement('button');
        cell.type = 'button';
        cell.className = 'cell';
        cell.dataset.entry = String(e);
        cell.setAttribute('role', 'gridcell');
        cell.tabIndex = e === 0 || e === 256 ? 0 : -1;
        if (e < 16 || e >= 510) cell.classList.add('unused');
        row.appendChild(cell);
        cells.push(cell);
      }
      grid.appendChild(row);
    }
    grid.addEventListener('click', (ev) => {
      const cell = ev.target.closest('.cell');
      if (cell) onPick(Number(cell.dataset.entry));
    });
    grid.addEventListener('keydown', (ev) => {
      const cell = ev.target.closest('.cell');
      if (!cell) return;
      const e = Number(cell.dataset.entry);
      const moves = {ArrowLeft: -1, ArrowRight: 1, ArrowUp: -16, ArrowDown: 16};
      if (ev.key in moves) {
        const next = e + moves[ev.key];
        if (next >> 8 === e >> 8 && next >= 0 && next < 512) {
          onPick(next);
          cells[next].focus();
        }
        ev.preventDefault();
      } else if (ev.key === 'Enter' || ev.key === 'F2') {
        onEdit(e);
        ev.preventDefault();
      }
    });
  }

  let picked = -1;
  return {
    cells,
    // Draws every cell: its text and shading (the darker, the more used; the
    // text stays dark, so it reads at 4.5:1 or better on any shade).
    draw(info, counts) {
      let most = 1;
      for (let e = 0; e < 512; ++e) most = Math.max(most, counts[e]);
      for (let e = 0; e < 512; ++e) {
        const cell = cells[e];
        const {text} = info[e];
        cell.textContent = info[e].empty ? '' : text;
        const n = counts[e];
        const h = n === 0 ? 0 : 0.06 + 0.44 * Math.log1p(n) / Math.log1p(most);
        cell.style.setProperty('--h', h.toFixed(3));
        const name = `${cellCode(e)}: ${info[e].empty ? 'empty' : text}; ` +
          `${n === 0 ? 'not' : times(n)} in the text window`;
        cell.title = name;
        cell.setAttribute('aria-label', name);
      }
    },
    // Marks the cells of entries with a class, after clearing it from all.
    mark(cls, entries = []) {
      cells.forEach((c) => c.classList.remove(cls));
      entries.forEach((e) => cells[e].classList.add(cls));
    },
    // Picks a cell: it alone is framed, and its grid's tab stop.
    pick(e) {
      if (picked >= 0) cells[picked].classList.remove('picked');
      picked = e;
      cells[e].classList.add('picked');
      for (const c of cells) if (c.tabIndex === 0 && c.dataset.entry >> 8 === e >> 8) c.tabIndex = -1;
      cells[e].tabIndex = 0;
    },
    picked: () => picked,
  };
}
