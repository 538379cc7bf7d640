// Insert a translation: an edited Atlas script goes into the loaded image
// through the core's inserter, with the table picked or the one the grids
// make (named), each line kept a line or, with "Insert as Atlas does", as
// Atlas puts it.  The report words the core's problems and warnings (each
// with its block's offset and budget) and its padded lines, and says when
// the script's own #FILL pads instead of the choice here.  The patched
// image and a BPS patch can be downloaded.  With "Make it fit" the
// insertion is the fit's, and a glyph the font has no room for is a
// problem too (fit.js words the rest of the fit).
import {save} from './downloads.js';
import {bytes, hex2} from './words.js';

export function createInsert(doc, {store}) {
  const $ = (id) => doc.getElementById(id);
  const report = $('insert-report');
  const item = (text) => {
    const li = doc.createElement('li');
    li.textContent = text;
    report.appendChild(li);
  };
  const at = (n) => `$${n.toString(16).toUpperCase().padStart(6, '0')}`;

  // Words the report of the insertion the state asks for.
  function draw() {
    report.replaceChildren();
    const {script, table, fill, asAtlas} = store.insertion;
    const img = store.image;
    $('as-atlas').checked = asAtlas;
    $('insert-table-used').textContent = table ? `Table: ${table.name}.`
      : 'Table: the one the grids make (the Thingy table downloaded below).';
    if (script && !img) item('Load the ROM image to insert into first.');
    const headered = img && !img.skipHeader && store.core.imageHints(img.bytes.length).copierHeader;
    const r = headered ? null : store.inserted();
    const fitted = store.insertion.fitted;
    // With "Make it fit", no choice pads with the pairs' blank.
    $('fill').options[0].textContent = !store.insertion.fit ? 'nothing (the rest of the original stays)'
      : `the pairs' blank${fitted?.blank ? ` ($${fitted.blank})` : ''}`;
    if (script && img && !headered && store.insertion.fit && !fitted?.layout) {
      item(`Make it fit needs the font layout, FORMAT:OFFSET[:KANJI] as 2bpp:0xC8000:0xCC000` +
        `${store.fitLayout() ? `; "${store.fitLayout()}" is none` : ''}.`);
    }
    if (script && headered) {
      item('The image seems to carry a copier header: press "Decode without the header" above first; ' +
        'the patched image and the patch are then without it, as Atlas needs the image.');
    } else if (r) {
      const where = (offset, budget) => ` (${at(offset)}, ${budget ? bytes(budget) : 'no bound'})`;
      for (const p of r.problems) {
        item(`${p.inTable ? table?.name ?? 'The table' : script.name} line ${p.line}` +
          `${p.block >= 0 ? where(p.offset, p.budget) : ''}: ${p.what}` +
          `${p.kind === 'outsideImage' ? ` (the image holds ${bytes(p.imageSize)})` : ''}` +
          `${p.warning ? ' (inserted as Atlas does)' : ''}.`);
      }
      let padded = 0;
      const fills = new Set();
      for (const b of r.blocks) {
        if (!(b.padded > 0 && b.text > 0)) continue;  // (a block of padding alone is no line)
        if (fill >= 0 && b.fill !== fill) fills.add(b.fill);
        ++padded;
        item(`${script.name} line ${b.line}${where(b.start, b.budget)}: ${bytes(b.text)} of text, padded with ${bytes(b.padded)} of $${hex2(b.fill)}.`);
      }
      for (const f of fills) {
        item(`The script's own #FILL($${hex2(f)}) pads its lines, not the $${hex2(fill)} chosen in "Pad shorter lines with".`);
      }
      if (fitted?.undrawn) {
        const layout = store.fitLayout();
        item(`${{
          noRoom: `The font ${layout} has no room for code $${fitted.undrawn}'s glyph`,
          overKept: `The font ${layout} puts code $${fitted.undrawn}'s glyph over the text window or the cartridge's header`,
          pagesOverlap: `The font ${layout} has its kanji page over its one-byte page (code $${fitted.undrawn})`,
        }[fitted.why]} (the image holds ${bytes(img.bytes.length)}).`);
      }
      const cut = r.problems.filter((p) => p.kind === 'cut').length;
      const stops = r.problems.filter((p) => !p.warning).length + (fitted?.undrawn ? 1 : 0);
      const pairs = fitted ? ` with ${fitted.pairs.length} code${fitted.pairs.length === 1 ? '' : 's'} of English drawn` : '';
      item(store.insertedOk()
        ? `Inserted ${r.blocks.length} block${r.blocks.length === 1 ? '' : 's'} into ${img.name}` +
          `${img.skipHeader ? ' (without its copier header)' : ''}${pairs}${asAtlas ? ' as Atlas does' : ''}: ${cut} cut short, ${padded} padded.`
        : `Nothing to download: ${stops} problem${stops === 1 ? '' : 's'} to fix first.`);
    }
    report.hidden = report.childElementCount === 0;
    $('download-patched').disabled = !store.insertedOk();
    $('download-bps').disabled = !store.insertedOk();
  }
  function download(bps) {
    if (!store.insertedOk()) return;
    const stem = store.image.name.replace(/\.[^.]*$/, '');
    save(doc, bps ? `${stem}.bps` : `${stem}.patched.sfc`, store.patched(bps));
  }
  $('download-patched').addEventListener('click', () => download(false));
  $('download-bps').addEventListener('click', () => download(true));
  $('as-atlas').addEventListener('change', () => store.setAsAtlas($('as-atlas').checked));
  $('fill').addEventListener('change', () => store.setFill($('fill').value === '' ? -1 : parseInt($('fill').value, 16)));

  return {
    draw,
    // The fill byte's choices: every one-byte glyph code, blank ones first.
    fillChoices(cells) {
      const select = $('fill');
      const kept = select.value;
      select.replaceChildren(select.options[0]);
      const codes = cells.filter((c) => c.reachable && c.code < 256);
      codes.sort((a, b) => Number(b.blank) - Number(a.blank) || a.code - b.code);
      for (const c of codes) {
        const o = doc.createElement('option');
        o.value = hex2(c.code);
        o.textContent = `$${hex2(c.code)}: ${c.blank ? 'blank' : c.empty ? 'empty' : c.text}`;
        select.appendChild(o);
      }
      select.value = kept;
    },
  };
}
