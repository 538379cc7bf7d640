// The checks, in the page's own words, with the fixes it offers: what the
// image's size says, what glyphpack finds in each grid (the core's
// findings, in glyphpack's order), a table of another size.  The findings
// are the core's; this only words them and marks the cells they name.
// An empty list is hidden.
import {save} from './downloads.js';
import {bytes, hex2} from './words.js';

export function createChecks(doc, {grids, store}) {
  const list = doc.getElementById('warnings');
  const section = doc.getElementById('checks');
  const {core} = store;
  const c = core.constants;
  function say(text, fixes = []) {
    const li = doc.createElement('li');
    li.append(text);
    for (const [label, fix] of fixes) {
      const b = doc.createElement('button');
      b.type = 'button';
      b.textContent = label;
      b.addEventListener('click', fix);
      li.append(' ', b);
    }
    list.appendChild(li);
    section.hidden = false;
  }

  function image({name, bytes: all, skipHeader}) {
    const size = all.length;
    const hints = core.imageHints(size);
    if (hints.copierHeader) {
      say(skipHeader
        ? `${name}: decoded as if its first ${c.headerBytes} bytes (a copier header) were not there; insertions and their downloads are without it too.`
        : `${name} is ${c.headerBytes} bytes past a multiple of 32 KiB: it seems to start with a ${c.headerBytes}-byte copier header, which moves the text ${c.headerBytes} bytes on, so the script comes out as nonsense.`,
      skipHeader ? [['Decode it as it is', () => store.skipHeader(false)]]
        : [['Decode without the header', () => store.skipHeader(true)],
          ['Download the image without its header', () => save(doc, name.replace(/\.[^.]*$/, '') + '.sfc',
            all.subarray(c.headerBytes))]]);
    }
    if (size === 0) say(`${name} is empty.`);
    else if (hints.beforeWindow) say(`${name} holds ${bytes(size)}, but the text starts at byte ${c.windowStart.toLocaleString('en')} (0x${c.windowStart.toString(16).toUpperCase()}): is this the right file?`);
    else if (hints.insideWindow) say(`${name} holds ${bytes(size)} and ends inside the text window, so the script stops early, at [EOF]: is the file complete?`);
  }

  const shifted = `rows are read every ${c.lineBytes} bytes, so every row after it is shifted.`;
  const fixes = {
    lineEnds: (page) => [['Fix the line ends', () => store.workspace.setGrid(page, core.fixLineEnds(store.workspace.grids[page]))]],
    shiftJis: (page, name) => [['Convert it to Shift-JIS', () => {
      const r = core.gridFromUtf8(store.workspace.grids[page]);
      store.workspace.setGrid(page, r.bytes);
      const lost = [...r.lost];
      if (lost.length) say(`${name}: ${lost.join(' ')} ha${lost.length > 1 ? 've' : 's'} no Shift-JIS code and became ？.`);
    }]],
  };
  // A finding of grid page (its file called name), in words.
  const words = {
    lineEnd: (f, name) => `${name} line ${f.line} ends in LF alone, not CR LF: ${shifted}`,
    utf8: (f, name) => `${name} was saved as UTF-8${f.bom ? ' (with a byte order mark)' : ''}, not Shift-JIS, so its cells come out wrong.`,
    utf8LineEnd: (f, name) => `${name} line ${f.line} ends in LF alone too: once it is Shift-JIS, fix its line ends.`,
    lineEndCell: (f, name) => `${name} line ${f.line} holds ${f.count} bytes, not ${c.rowBytes}: its line end is read as column ${f.column}.`,
    lastLineLong: (f, name) => `${name} line ${f.line} holds ${f.count} bytes, not ${c.rowBytes}: only the first ${c.rowBytes} are read.`,
    lineLength: (f, name) => `${name} line ${f.line} holds ${f.count} bytes, not ${c.rowBytes}: ${shifted}`,
    splitCell: (f, name) => `${name} line ${f.line}, column ${f.column} holds ${f.bytes.map(hex2).join(' ')}: not one character; a half-width character earlier in the line shifts the cells after it.`,
    incomplete: (f, name) => `${name} has ${f.count} whole rows of ${c.gridSide}: the rest of its page is empty.`,
  };

  function table({name, size, thingy}) {
    if (thingy) say(`${name} holds ${bytes(size)} of HEX=text lines: it is a Thingy table, not the ${c.tableBytes}-byte ${c.tableName} that glyphpack makes; load it as the insertion table below, and the grids or ${c.tableName} here.`);
    else if (size !== c.tableBytes) say(`${name} holds ${bytes(size)}, not the ${c.tableBytes} that glyphpack makes; ${size < c.tableBytes ? 'the codes of its missing entries show nothing' : `only its first ${c.tableBytes} are read`}.`);
  }

  return {
    say,
    // Words the state; thingy says whether the table loaded is a Thingy
    // table's text.
    check(thingy) {
      list.replaceChildren();
      section.hidden = true;
      const marks = {off: [], split: []};
      const ws = store.workspace;
      if (store.image) image(store.image);
      if (ws.table) {
        table({name: ws.names[2], size: store.files.table?.size ?? ws.table.length, thingy});
      } else if (!ws.grids[0] && !ws.grids[1]) {
        if (store.image) say(`No grids or table are loaded, so no glyph shows: load ${c.gridNames.join(' and ')}, or ${c.tableName}.`);
      } else {
        ws.grids.forEach((g, page) => {
          if (!g) {
            say(`${c.gridNames[page]} is not loaded, so the ${page === 0 ? 'one-byte codes' : 'kanji (0xFF n)'} show nothing.`);
            return;
          }
          for (const f of core.gridFindings(g, page)) {
            say(words[f.kind](f, ws.names[page]), f.fix ? fixes[f.fix](page, ws.names[page]) : []);
            const [first, n] = f.marks;
            for (let i = 0; i < n; ++i) marks[f.kind === 'splitCell' ? 'split' : 'off'].push(first + i);
          }
        });
      }
      store.refused.forEach((why) => say(why));
      grids.mark('off', marks.off);
      grids.mark('split', marks.split);
    },
  };
}
