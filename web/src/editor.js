// The cell editor: what the picked cell is, its character to change (typed
// text becomes cell bytes through the core's CP932), undo and redo.  On a
// phone it sits right under the picked cell's row.
import {drawGlyph} from './font.js';
import {cellCode, cellPlace, hex2, times} from './words.js';

export function createEditor(doc, {store, grids, announce}) {
  const $ = (id) => doc.getElementById(id);
  const form = $('editor');
  const home = form.parentNode;
  const narrow = globalThis.matchMedia?.('(max-width: 40rem)');
  const ch = (u) => String.fromCodePoint(u);
  const {core, workspace} = store;

  const info = (e) => {
    const c = store.decoded.cells[e];
    return `${cellPlace(c)}: ${cellCode(c)}, bytes ${c.bytes.map(hex2).join(' ')}, ` +
      `used ${times(store.decoded.counts[e])} in the text window` +
      (workspace.suggested.includes(e) ? '; filled from the suggestions, not yet confirmed' : '');
  };
  // Where the editor goes: under the picked cell's row on a phone, in a
  // row of the grid's own.
  const row = doc.createElement('div');
  row.setAttribute('role', 'row');
  row.className = 'editor-row';
  const slot = doc.createElement('div');
  slot.setAttribute('role', 'gridcell');
  row.appendChild(slot);
  function place(e) {
    if (narrow?.matches) {
      slot.appendChild(form);
      grids.cells[e].parentNode.after(row);
    } else if (form.parentNode !== home) {
      home.appendChild(form);
      row.remove();
    }
  }

  // The picked cell's glyph, large, with the characters it looks most like.
  function drawFont(e) {
    const f = store.font;
    const box = $('cell-font');
    box.hidden = !f.inked?.[e];
    if (box.hidden) return;
    drawGlyph($('cell-glyph'), f.glyphs.subarray(e * 32, e * 32 + 32), 4);
    const list = $('cell-suggestions');
    const s = f.suggestions?.get(e);
    list.replaceChildren(s ? 'Looks like: ' : 'Reading the glyphs…');
    for (const ch of s?.chars ?? []) {
      const b = doc.createElement('button');
      b.type = 'button';
      b.textContent = ch;
      b.setAttribute('aria-label', `Put ${ch} in the cell`);
      b.addEventListener('click', () => {
        const r = core.encode(ch);
        if (r.bytes) workspace.setCell({entry: e, page: store.decoded.cells[e].page}, r.bytes);
      });
      list.append(b);
    }
    $('cell-confirm').hidden = !workspace.suggested.includes(e);
  }
  $('cell-confirm').addEventListener('click', () => workspace.confirm(grids.picked()));

  function show(e, edit) {
    grids.pick(e);
    place(e);
    $('cell-info').textContent = info(e);
    const input = $('cell-input');
    input.disabled = false;
    $('cell-apply').disabled = false;
    const c = store.decoded.cells[e];
    input.value = c.empty ? '' : c.text;
    drawFont(e);
    $('cell-error').textContent = '';
    if (edit) {
      input.focus();
      input.select();  // typing replaces the character
    }
    announce(edit ? `Editing ${info(e)}` : info(e));
  }

  $('cell-input').addEventListener('keydown', (ev) => {
    const e = grids.picked();
    if (ev.key !== 'Escape' || e < 0) return;
    show(e, false);  // the cell's own character again
    grids.cells[e].focus();
    ev.preventDefault();
  });
  form.addEventListener('submit', (ev) => {
    ev.preventDefault();
    const e = grids.picked();
    if (e < 0) return;
    const typed = $('cell-input').value;
    const r = core.encode(typed);
    if (r.bad !== undefined) {
      $('cell-error').textContent = `“${ch(r.bad)}” (U+${r.bad.toString(16).toUpperCase().padStart(4, '0')}) has no Shift-JIS code.`;
      return;
    }
    if (r.bytes.length !== core.constants.cellBytes) {
      $('cell-error').textContent = 'A cell holds one full-width character or two half-width ones.';
      return;
    }
    workspace.setCell({entry: e, page: store.decoded.cells[e].page}, r.bytes);
    const notes = r.substituted.map(([t, s]) => `“${ch(t)}” was stored as ${r.bytes.map(hex2).join(' ')}, CP932's “${ch(s)}”.`);
    $('cell-info').textContent = info(e);
    $('cell-error').textContent = notes.join(' ');
    grids.cells[e].focus();
    announce(`Applied: ${info(e)}`);
  });
  $('undo').addEventListener('click', () => workspace.undo());
  $('redo').addEventListener('click', () => workspace.redo());
  doc.addEventListener('keydown', (ev) => {
    if (!(ev.ctrlKey || ev.metaKey) || ev.target.id === 'cell-input') return;
    if (ev.key === 'z' && !ev.shiftKey) workspace.undo();
    else if (ev.key === 'y' || (ev.key === 'z' && ev.shiftKey)) workspace.redo();
    else return;
    ev.preventDefault();
  });

  return {
    show,
    // After a change: the buttons, and the picked cell's facts again.
    draw() {
      $('undo').disabled = workspace.undos.length === 0;
      $('redo').disabled = workspace.redos.length === 0;
      const e = grids.picked();
      if (e >= 0) $('cell-info').textContent = info(e);
      if (e >= 0) drawFont(e);
    },
  };
}
