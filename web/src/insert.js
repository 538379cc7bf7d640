// Insert a translation: an edited Atlas script goes into the loaded image
// through the core's inserter (Atlas's own reading of it), with the table
// the grids make or one picked; the report says which blocks lost bytes,
// were padded or could not be encoded, and the patched image and a BPS
// patch can be downloaded.
import {save} from './downloads.js';
import {bytes, hex2} from './words.js';

const utf8 = new TextDecoder('utf-8');

export function createInsert(doc, {core, source}) {
  const $ = (id) => doc.getElementById(id);
  const report = $('insert-report');
  const script = {text: null, name: null};
  const table = {text: null, name: null};
  let patchable = false;

  function item(text) {
    const li = doc.createElement('li');
    li.textContent = text;
    report.appendChild(li);
  }
  const at = (n) => `$${n.toString(16).toUpperCase().padStart(6, '0')}`;

  // What is inserted into, and with what: from the page's state.
  function inputs() {
    const s = source();
    if (!s.image || !script.text) return null;
    const fill = $('fill').value === '' ? -1 : parseInt($('fill').value, 16);
    const thingy = table.text ?? utf8.decode(core.thingy(s.table));
    return {...s, fill, thingy};
  }

  function run() {
    report.replaceChildren();
    patchable = false;
    const s = source();
    if (script.text && !s.image) item('Load the ROM image to insert into first.');
    const i = inputs();
    if (i && i.hints.copierHeader && !i.skipHeader) {
      item('The image seems to carry a copier header: press "Decode without the header" above first; ' +
        'the patched image and the patch are then without it, as Atlas needs the image.');
    } else if (i) {
      const r = core.insert(i.image, script.text, i.thingy, i.fill);
      const budget = (b) => (b.bound < 0 ? 'no bound' : bytes(b.bound - b.start + 1));
      for (const p of r.problems) {
        const b = r.blocks[p.block];
        item(`${p.inTable ? table.name ?? 'The table' : script.name} line ${p.line}` +
          `${b ? ` (${at(b.start)}, ${budget(b)})` : ''}: ${p.what}.`);
      }
      let cut = 0;
      let padded = 0;
      for (const b of r.blocks) {
        const budget = b.bound < 0 ? null : b.bound - b.start + 1;
        const where = `${script.name} line ${b.line} (${at(b.start)})`;
        if (budget !== null && b.text > budget) {
          ++cut;
          item(`${where}: ${bytes(b.text)} for its ${budget}; the last ${bytes(b.text - b.written)} were dropped.`);
        } else if (b.padded > 0 && b.text > 0) {  // (not the window's padding)
          ++padded;
          item(`${where}: ${bytes(b.text)} of its ${budget}, padded with ${bytes(b.padded)} of $${hex2(b.fill)}.`);
        }
      }
      patchable = r.ok;
      item(r.ok
        ? `Inserted ${r.blocks.length} block${r.blocks.length === 1 ? '' : 's'} into ${i.imageName}` +
          `${i.skipHeader ? ' (without its copier header)' : ''}: ${cut} cut short, ${padded} padded.`
        : `Nothing to download: ${r.problems.length} problem${r.problems.length === 1 ? '' : 's'} to fix first.`);
    }
    $('download-patched').disabled = !patchable;
    $('download-bps').disabled = !patchable;
  }

  function download(bps) {
    const i = inputs();
    if (!i || !patchable) return;
    const stem = i.imageName.replace(/\.[^.]*$/, '');
    save(doc, bps ? `${stem}.bps` : `${stem}.patched.sfc`, core.patched(i.image, script.text, i.thingy, i.fill, bps));
  }
  $('download-patched').addEventListener('click', () => download(false));
  $('download-bps').addEventListener('click', () => download(true));
  $('fill').addEventListener('change', run);

  return {
    run,
    setScript(text, name) {
      Object.assign(script, {text, name});
      run();
    },
    setTable(text, name) {
      Object.assign(table, {text, name});
      run();
    },
    // The fill byte's choices: every one-byte glyph code, blank ones first.
    fillChoices(cells) {
      const select = $('fill');
      const kept = select.value;
      select.replaceChildren(select.options[0]);
      const codes = [];
      for (let c = 0x10; c < 0xFF; ++c) codes.push(c);
      codes.sort((a, b) => Number(cells[b].blank) - Number(cells[a].blank) || a - b);
      for (const c of codes) {
        const o = doc.createElement('option');
        o.value = hex2(c);
        o.textContent = `$${hex2(c)}: ${cells[c].blank ? 'blank' : cells[c].empty ? 'empty' : cells[c].text}`;
        select.appendChild(o);
      }
      select.value = kept;
    },
  };
}
