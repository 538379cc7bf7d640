// The two grids drawn: a table of buttons each, laid out as the core's
// cell records place them, with row and column labels, every cell shaded
// by how often its code occurs and named for screen readers.  One tab stop
// per grid (the arrow keys move it), which follows the picked cell.
import {sheetPosition} from './font.js';
import {cellCode, hex2, times} from './words.js';

// layout: the core's cell records, by entry (their page, line and column).
export function createGrids(doc, layout) {
  const cells = [];
  const at = new Map();  // "page line column" -> entry
  const side = Math.max(...layout.map((c) => c.column));
  let onPick = () => {};
  let onEdit = () => {};
  const label = (text, role) => {
    const l = doc.createElement('div');
    l.className = 'label';
    l.textContent = text;
    l.setAttribute('role', role);
    return l;
  };
  const rows = new Map();
  layout.forEach((c, e) => {
    at.set(`${c.page} ${c.line} ${c.column}`, e);
    const grid = doc.getElementById(`page${c.page}`);
    let row = rows.get(`${c.page} ${c.line}`);
    if (!row) {
      if (c.line === 1) {
        // Row and column in hexadecimal: of the code on page 0 (0x10 is
        // row 1, column 0), of n - 1 for 0xFF n on page 1.
        const head = doc.createElement('div');
        head.setAttribute('role', 'row');
        head.appendChild(label(c.page === 0 ? '0x' : 'n−1', 'columnheader'));
        for (let k = 0; k < side; ++k) head.appendChild(label(hex2(k)[1], 'columnheader'));
        grid.appendChild(head);
      }
      row = doc.createElement('div');
      row.setAttribute('role', 'row');
      row.appendChild(label(hex2(c.line - 1)[1], 'rowheader'));
      rows.set(`${c.page} ${c.line}`, row);
      grid.appendChild(row);
    }
    const cell = doc.createElement('button');
    cell.type = 'button';
    cell.className = 'cell';
    cell.dataset.entry = String(e);
    cell.setAttribute('role', 'gridcell');
    cell.tabIndex = c.line === 1 && c.column === 1 ? 0 : -1;
    row.appendChild(cell);
    cells.push(cell);
  });
  for (const grid of doc.querySelectorAll('.grid')) {
    grid.addEventListener('click', (ev) => {
      const cell = ev.target.closest('.cell');
      if (cell) onPick(Number(cell.dataset.entry));
    });
    grid.addEventListener('keydown', (ev) => {
      const cell = ev.target.closest('.cell');
      if (!cell) return;
      const e = Number(cell.dataset.entry);
      const {page, line, column} = layout[e];
      const moves = {ArrowLeft: [0, -1], ArrowRight: [0, 1], ArrowUp: [-1, 0], ArrowDown: [1, 0]};
      if (ev.key in moves) {
        const [dl, dc] = moves[ev.key];
        const next = at.get(`${page} ${line + dl} ${column + dc}`);
        if (next !== undefined) {
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

  // Each cell's glyph from the image, shown beside its character where the
  // font gives it one.
  let inked = null;
  const glyphs = cells.map((_, e) => {
    const g = doc.createElement('span');
    g.className = 'glyph';
    g.setAttribute('aria-hidden', 'true');
    g.style.backgroundPosition = sheetPosition(e);
    return g;
  });
  const showGlyph = (e) => {
    if (inked?.[e]) cells[e].append(glyphs[e]);
    else glyphs[e].remove();
  };

  let picked = -1;
  return {
    cells,
    // What a pick (click, arrow) and an edit (Enter, F2) of a cell do.
    on({pick, edit}) {
      onPick = pick;
      onEdit = edit;
    },
    // Draws every cell from its record: its text and shading (the darker,
    // the more used; the text stays dark, so it reads at 4.5:1 or better on
    // any shade).
    draw(info, counts) {
      const most = Math.max(1, ...counts);
      info.forEach((c, e) => {
        const cell = cells[e];
        cell.textContent = c.empty ? '' : c.text;
        showGlyph(e);
        cell.classList.toggle('unused', !c.reachable);
        const n = counts[e];
        const h = n === 0 ? 0 : 0.06 + 0.44 * Math.log1p(n) / Math.log1p(most);
        cell.style.setProperty('--h', h.toFixed(3));
        const name = `${cellCode(c)}: ${c.empty ? 'empty' : c.text}; ` +
          `${n === 0 ? 'not' : times(n)} in the text window`;
        cell.title = name;
        cell.setAttribute('aria-label', name);
      });
    },
    // Shows the glyphs of the entries inked (512 flags), or none (null).
    glyphs(flags) {
      inked = flags;
      for (const el of doc.querySelectorAll('.grid, .pages')) el.classList.toggle('with-glyphs', !!flags);
      cells.forEach((_, e) => showGlyph(e));
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
      for (const c of cells) if (c.tabIndex === 0 && layout[c.dataset.entry].page === layout[e].page) c.tabIndex = -1;
      cells[e].tabIndex = 0;
    },
    picked: () => picked,
  };
}
