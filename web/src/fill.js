// The glyphs still to fill, as the core lists them (msgdump --to-fill's
// list): the most used first, each with where it occurs and a way to its
// cell.
import {cellCode, cellPlace, times} from './words.js';

export function createFill(doc, {onGo}) {
  const list = doc.getElementById('unknown-glyphs');
  const none = doc.getElementById('unknown-none');
  const why = (f, cells) => {
    const c = cells[f.entry];
    if (f.why === 'empty') return 'is empty';
    if (f.why === 'blank') return 'is blank';
    if (f.why === 'not Shift-JIS') return 'holds bytes that are not Shift-JIS';
    return `is “${c.text}”, like ${cellCode(f.sameAs)} (${cellPlace(f.sameAs)})`;
  };
  return {
    clear() {
      list.replaceChildren();
      none.hidden = true;
    },
    draw(found, cells) {
      list.replaceChildren();
      none.hidden = found.length > 0;
      for (const f of found) {
        const li = doc.createElement('li');
        li.dataset.entry = String(f.entry);
        const go = doc.createElement('button');
        go.type = 'button';
        go.textContent = `${cellCode(f.entry)} (${cellPlace(f.entry)}) ${why(f, cells)}; used ${times(f.count)}, ` +
          `first at 0x${f.first.toString(16).toUpperCase()}`;
        go.addEventListener('click', () => onGo(f.entry));
        const uses = doc.createElement('div');
        uses.className = 'uses';
        for (const [before, glyph, after] of f.uses) {
          const mark = doc.createElement('mark');
          mark.textContent = glyph || '▯';
          uses.append(uses.childNodes.length > 0 ? ' … ' : '…', before, mark, after, '…');
        }
        li.append(go, uses);
        list.appendChild(li);
      }
    },
  };
}
