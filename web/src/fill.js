// The glyphs still to fill, as the core lists them (msgdump --to-fill's
// list): the most used first, each with where it occurs and a way to its
// cell.
import {sheetPosition} from './font.js';
import {cellCode, cellPlace, times} from './words.js';

export function createFill(doc, {onGo}) {
  const list = doc.getElementById('unknown-glyphs');
  const none = doc.getElementById('unknown-none');
  // Why the core lists a code, in words.
  const why = {
    empty: () => 'is empty',
    blank: () => 'is blank',
    notShiftJis: () => 'holds bytes that are not Shift-JIS',
    same: (f, cells) => `is “${cells[f.entry].text}”, like ${cellCode(cells[f.sameAs])} (${cellPlace(cells[f.sameAs])})`,
  };
  return {
    clear() {
      list.replaceChildren();
      none.hidden = true;
    },
    // inked: 512 flags, 1 where the font gives entry e a glyph (or null).
    draw(found, cells, inked) {
      list.replaceChildren();
      none.hidden = found.length > 0;
      for (const f of found) {
        const li = doc.createElement('li');
        li.dataset.entry = String(f.entry);
        const go = doc.createElement('button');
        go.type = 'button';
        go.textContent = `${cellCode(cells[f.entry])} (${cellPlace(cells[f.entry])}) ${why[f.why](f, cells)}; ` +
          `used ${times(f.count)}, ` +
          `first at 0x${f.first.toString(16).toUpperCase()}`;
        go.addEventListener('click', () => onGo(f.entry));
        const uses = doc.createElement('div');
        uses.className = 'uses';
        for (const [before, glyph, after] of f.uses) {
          const mark = doc.createElement('mark');
          mark.textContent = glyph || '▯';
          uses.append(uses.childNodes.length > 0 ? ' … ' : '…', before, mark, after, '…');
        }
        if (inked?.[f.entry]) {
          const g = doc.createElement('span');
          g.className = 'glyph';
          g.setAttribute('aria-hidden', 'true');
          g.style.backgroundPosition = sheetPosition(f.entry);
          li.append(g);
        }
        li.append(go, uses);
        list.appendChild(li);
      }
    },
  };
}
