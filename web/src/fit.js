// "Make it fit": English in pairs, two letters to a glyph.  Words what the
// core's fit returns (the pairs chosen, each translated line's bytes before
// and after, the letters left alone, what got no code), draws the preview
// (each line as the game shows it, from the patched image's own glyphs,
// beside the original's) and offers the table and grids it made.  Which
// codes a line holds and where it breaks are the core's.
import {save} from './downloads.js';
import {drawGlyphs} from './font.js';
import {bytes} from './words.js';

const SIDE = 16;  // a code's pixels, each way
const GAP = 16;   // between the original and the patched, and between lines
const MAX_SIDE = 16384;  // the preview's most pixels each way, well within what browsers draw

export function createFit(doc, {store}) {
  const $ = (id) => doc.getElementById(id);
  const {core, workspace} = store;
  const at = (n) => `$${n.toString(16).toUpperCase().padStart(6, '0')}`;
  const list = (id, items) => {
    $(id).replaceChildren(...items.map((text) => {
      const li = doc.createElement('li');
      li.textContent = text;
      return li;
    }));
    $(id).hidden = items.length === 0;
  };
  let previewed = null;  // the fit the preview was drawn for

  // Each line's rows (entries), original on the left and patched on the
  // right, 16 pixels a code, from each image's own glyphs: the first lines
  // that fit in a picture a browser still draws (it draws nothing of a
  // larger one), and says how many of them.
  function drawPreview(fitted) {
    const canvas = $('fit-preview');
    if (previewed === fitted) return;
    previewed = fitted;
    const layout = store.fitLayout();
    const sheets = [core.fontSheet(store.imageBytes(), layout), core.fontSheet(store.fitFile('patched'), layout)];
    const widest = Math.min(Math.floor((MAX_SIDE + GAP) / 2 / SIDE) - 1,
      Math.max(1, ...fitted.lines.flatMap((l) => [...l.original, ...l.patched].map((r) => r.length))));
    const right = widest * SIDE + GAP;
    const places = [];
    let y = 0;
    let shown = 0;
    for (const line of fitted.lines) {
      const height = Math.max(line.original.length, line.patched.length) * SIDE;
      if (shown > 0 && y + height > MAX_SIDE) break;
      [line.original, line.patched].forEach((rows, side) => rows.forEach((row, r) => row.forEach((entry, k) => {
        if (k < widest && y + r * SIDE < MAX_SIDE) places.push({sheet: side, entry, x: side * right + k * SIDE, y: y + r * SIDE});
      })));
      y += height + GAP;
      ++shown;
    }
    canvas.width = right * 2 - GAP;
    canvas.height = Math.min(MAX_SIDE, Math.max(SIDE, y - GAP));
    canvas.dataset.right = String(right);
    const total = fitted.lines.length;
    $('fit-preview-shown').textContent = shown < total
      ? ` The first ${shown.toLocaleString('en')} of the ${total.toLocaleString('en')} translated lines are drawn: a browser draws no taller picture.` : '';
    const glyphs = new Uint8Array(places.length * 32);
    places.forEach((p, i) => glyphs.set(sheets[p.sheet].subarray(512 + p.entry * 32, 512 + p.entry * 32 + 32), i * 32));
    drawGlyphs(canvas.getContext('2d'), glyphs, places.length, 1, (i) => [places[i].x, places[i].y]);
  }

  function draw() {
    const ins = store.insertion;
    $('fit').checked = ins.fit;
    $('fit-layout').value = ins.fitLayout;
    $('fit-layout').placeholder = workspace.font ?? 'FORMAT:OFFSET[:KANJI]';  // (blank: the font panel's)
    $('fit-layout').disabled = !ins.fit;
    store.inserted();
    const fitted = ins.fitted?.layout ? ins.fitted : null;
    $('fit-result').hidden = !fitted;
    const ok = Boolean(fitted) && store.insertedOk();
    for (const id of ['download-fit-table', 'download-fit-grid0', 'download-fit-grid1']) $(id).disabled = !ok;
    if (!fitted) return;
    const name = ins.script.name;
    list('fit-pairs', fitted.pairs.map((p) => `$${p.code} → “${p.text}”`));
    $('fit-pairs').hidden = false;
    $('fit-pairs-title').textContent = `The ${fitted.pairs.length} code${fitted.pairs.length === 1 ? '' : 's'} chosen and their letters`;
    const over = fitted.lines.filter((l) => !l.fits).length;
    const before = fitted.lines.reduce((n, l) => n + l.before, 0);
    const after = fitted.lines.reduce((n, l) => n + l.after, 0);
    $('fit-summary').textContent = `${fitted.pairs.length} code${fitted.pairs.length === 1 ? '' : 's'} chosen` +
      `${fitted.blank ? ` ($${fitted.blank} blank, for padding)` : ''}; ${fitted.lines.length.toLocaleString('en')} translated ` +
      `line${fitted.lines.length === 1 ? '' : 's'}: ${bytes(before)} of text, ${bytes(after)} in pairs; ` +
      (over === 0 ? 'every line fits.' : `${over} still do${over === 1 ? 'es' : ''} not fit.`);
    const rows = fitted.lines.map((l) => {
      const tr = doc.createElement('tr');
      for (const text of [`${l.line}`, at(l.offset), `${l.budget}`, `${l.before}`, `${l.after}`, l.fits ? 'fits' : 'still does not fit']) {
        const td = doc.createElement('td');
        td.textContent = text;
        tr.appendChild(td);
      }
      tr.classList.toggle('over', !l.fits);
      return tr;
    });
    $('fit-lines').tBodies[0].replaceChildren(...rows);
    list('fit-singles', fitted.singles.map((p) => `${name} line ${p.line} (${at(p.offset)}): “${p.char}” stands alone in its glyph.`));
    list('fit-missing', fitted.missing.map((p) => `${name} line ${p.line} (${at(p.offset)}): ` +
      (p.byte >= 0x20 && p.byte <= 0x7E ? `“${String.fromCharCode(p.byte)}” gets no code: every glyph code is taken.`
        : 'a character that is not printable ASCII gets no code.')));
    $('fit-preview-box').hidden = $('fit-preview-hint').hidden = !ok;
    if (ok) drawPreview(fitted);
  }

  const layoutChanged = () => store.setInsertion({fit: $('fit').checked, fitLayout: $('fit-layout').value.trim()});
  $('fit').addEventListener('change', layoutChanged);
  $('fit-layout').addEventListener('change', layoutChanged);
  const grids = core.constants.gridNames;
  for (const [id, which, file] of [['download-fit-table', 'table', 'english.tbl'], ['download-fit-grid0', 'grid0', grids[0]],
    ['download-fit-grid1', 'grid1', grids[1]]]) {
    $(id).addEventListener('click', () => {
      if (store.insertedOk()) save(doc, file, store.fitFile(which));
    });
  }
  return {draw};
}
