// The checks, in the page's own words, with the fixes it offers: what the
// image's size says, what glyphpack finds in each grid, a table of another
// size.  The findings are the cores'; this only words them.
import {bytes, hex2} from './words.js';

export function createChecks(doc, {grids}) {
  const list = doc.getElementById('warnings');
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
  }

  function image({name, size, hints, skipHeader}, fix, c) {
    if (hints.copierHeader) {
      say(skipHeader
        ? `${name}: decoded as if its first 512 bytes (a copier header) were not there; insertions and their downloads are without it too.`
        : `${name} is 512 bytes past a multiple of 32 KiB: it seems to start with a 512-byte copier header, which moves the text 512 bytes on, so the script comes out as nonsense.`,
      skipHeader ? [['Decode it as it is', () => fix.skipHeader(false)]]
        : [['Decode without the header', () => fix.skipHeader(true)],
          ['Download the image without its header', fix.headerless]]);
    }
    if (size === 0) say(`${name} is empty.`);
    else if (hints.beforeWindow) say(`${name} holds ${bytes(size)}, but the text starts at byte ${c.windowStart.toLocaleString('en')} (0x2EF800): is this the right file?`);
    else if (hints.insideWindow) say(`${name} holds ${bytes(size)} and ends inside the text window, so the script stops early, at [EOF]: is the file complete?`);
  }

  function grid(page, name, f, fix) {
    const off = [];
    const rowOf = (line) => Array.from({length: 16}, (_, k) => page * 256 + (line - 1) * 16 + k);
    if (f.utf8) {
      say(`${name} was saved as UTF-8${f.bom ? ' (with a byte order mark)' : ''}, not Shift-JIS, so its cells come out wrong.`,
        [['Convert it to Shift-JIS', () => fix.convert(page)]]);
      return {off, split: []};
    }
    const shifted = 'rows are read every 34 bytes, so every row after it is shifted.';
    if (f.badEnding > 0) {
      say(`${name} line ${f.badEnding} ends in LF alone, not CR LF: ${shifted}`, [['Fix the line ends', () => fix.lineEnds(page)]]);
      off.push(...rowOf(f.badEnding));
    } else if (f.lineEndColumn > 0) {
      say(`${name} line 16 holds ${f.length} bytes, not 32: its line end is read as column ${f.lineEndColumn}.`);
      off.push(...rowOf(16));
    } else if (f.badLength === 16 && f.length > 32) {
      say(`${name} line 16 holds ${f.length} bytes, not 32: only the first 32 are read.`);
    } else if (f.badLength > 0) {
      say(`${name} line ${f.badLength} holds ${f.length} bytes, not 32: ${shifted}`);
      off.push(...rowOf(f.badLength));
    }
    const split = [];
    for (const [line, column, b0, b1] of f.split) {
      say(`${name} line ${line}, column ${column} holds ${hex2(b0)} ${hex2(b1)}: not one character; a half-width character earlier in the line shifts the cells after it.`);
      split.push(page * 256 + (line - 1) * 16 + column - 1);
    }
    if (f.rows < 16) say(`${name} has ${f.rows} whole rows of 16: the rest of its page is empty.`);
    return {off, split};
  }

  return {
    say,
    // Words the state: {image, grids: [{name, findings} | null] x 2,
    // table: {name, size, thingy} | null}; fix holds the fixes' actions.
    check(state, fix, c) {
      list.replaceChildren();
      const off = [];
      const split = [];
      if (state.image) image(state.image, fix, c);
      if (state.table) {
        const t = state.table;
        if (t.thingy) say(`${t.name} holds ${bytes(t.size)} of HEX=text lines: it is a Thingy table, not the 1024-byte zol.tbl that glyphpack makes; load it as the insertion table below, and the grids or zol.tbl here.`);
        else if (t.size !== c.tableBytes) say(`${t.name} holds ${bytes(t.size)}, not the ${c.tableBytes} that glyphpack makes; ${t.size < c.tableBytes ? 'the codes of its missing entries show nothing' : 'only its first 1024 are read'}.`);
      } else if (!state.grids[0] && !state.grids[1]) {
        if (state.image) say('No grids or table are loaded, so no glyph shows: load zol_00.txt and zol_01.txt, or zol.tbl.');
      } else {
        state.grids.forEach((g, page) => {
          if (!g) {
            say(`${c.gridNames[page]} is not loaded, so the ${page === 0 ? 'one-byte codes' : 'kanji (0xFF n)'} show nothing.`);
            return;
          }
          const marks = grid(page, g.name, g.findings, fix);
          off.push(...marks.off);
          split.push(...marks.split);
        });
      }
      grids.mark('off', off);
      grids.mark('split', split);
    },
  };
}
