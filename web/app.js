// The page: files in, the grids as a picture to edit, the script traced to
// its codes, the glyphs still to fill, downloads out.  Every byte of the
// script, the table and the formats comes from the same C++ cores as
// msgdump and glyphpack (ZolCore, WebAssembly); this script moves bytes,
// keeps the user's work and draws.
'use strict';

(async function main() {
  const $ = (id) => document.getElementById(id);
  const base64 = (id) => Uint8Array.from(atob($(id).textContent.trim()), (c) => c.charCodeAt(0));
  // The module's bytes are inlined in the page and handed over, so the
  // loader never fetches anything.
  const core = await ZolCore({wasmBinary: base64('zolcore-wasm')});
  const utf8 = new TextDecoder('utf-8');

  const GRID_LINE = 34;  // 32 bytes of cells, then CR LF
  const GRID_BYTES = 16 * GRID_LINE;
  const PAGE_BYTES = 512;
  const WINDOW_START = 0x2EF800;
  const WINDOW_END = 0x2FFEB8;
  const ROLES = {rom: 'ROM image', grid0: 'zol_00.txt', grid1: 'zol_01.txt', table: 'zol.tbl'};
  const BAR_LABELS = {rom: 'ROM image', grid0: 'one-byte grid', grid1: 'kanji grid', table: 'table'};
  const GRID_NAMES = ['zol_00.txt', 'zol_01.txt'];
  const STORE = 'zolvane-tools.grids';

  const state = {
    files: {},             // role -> {name, size, file}: what the bar shows
    rom: null,             // the image's bytes, and their copy in the module
    romPtr: 0,
    romSize: 0,
    skipHeader: false,     // decode as if a copier header were not there
    grids: [null, null],   // Uint8Array per page, as a file holds it
    tableFile: null,       // zol.tbl's bytes, when the table came that way
    output: null,          // msgdump's standard output, Shift-JIS
    utf8: null,            // msgdump --utf8's
    trace: null,           // per code: offset, index | size << 16 | chars << 24
    starts: null,          // where each code's text starts in #script
    text: '',              // #script's text
    counts: new Uint32Array(512),
    notCp932: new Uint8Array(512),
    picked: -1,
    undo: [],
    redo: [],
    edited: [false, false],  // per grid: edits not yet downloaded
  };
  window.zolTimings = {decodeAndDrawMs: null, editMs: null};

  // --- bytes in and out of the module -------------------------------------
  // Calls fn with pointers to copies of arrays in the module's memory.
  function withBytes(arrays, fn) {
    const ptrs = arrays.map((a) => {
      const p = core._malloc(Math.max(a.length, 1));
      core.HEAPU8.set(a, p);
      return p;
    });
    try {
      return fn(...ptrs);
    } finally {
      ptrs.forEach((p) => core._free(p));
    }
  }
  const heap = (ptr, size) => core.HEAPU8.slice(ptr, ptr + size);

  // --- words ---------------------------------------------------------------
  const hex2 = (n) => n.toString(16).toUpperCase().padStart(2, '0');
  const size = (n) => `${n.toLocaleString('en')} bytes`;
  function codeOf(e) {
    if (e < 16) return `control code 0x${hex2(e)} (never a glyph)`;
    if (e < 255) return `code 0x${hex2(e)}`;
    if (e < 510) return `code 0xFF 0x${hex2(e - 255)}`;
    return 'no code reaches this cell';
  }
  const where = (e) => `${GRID_NAMES[e >> 8]} line ${((e & 255) >> 4) + 1}, column ${(e & 15) + 1}`;
  // Glyph table entry shown by a code's rendering index, or -1.
  const entryOfIndex = (i) => (i >= 0x10 && i <= 0xFE ? i : i >= 256 && i < 511 ? i - 1 : -1);
  const indexOfEntry = (e) => (e < 255 ? e : e + 1);

  // --- CP932, both ways ----------------------------------------------------
  // Decoding is the core's table; the encoder is its inverse: the first code
  // of a character wins, except the NEC-selected IBM rows 0xED and 0xEE,
  // which only decode (as in Windows).  Input methods that type the JIS
  // forms of six characters get CP932's codes for them.
  const decoder = new Map();  // two bytes as a number -> character
  const encoder = new Map();
  for (let b = 0x20; b < 0x7F; ++b) encoder.set(String.fromCharCode(b), [b]);
  for (let b = 0xA1; b <= 0xDF; ++b) encoder.set(String.fromCharCode(0xFF61 + b - 0xA1), [b]);
  for (let lead = 0x81; lead <= 0xFC; ++lead) {
    if (lead === 0xA0) lead = 0xE0;
    for (let trail = 0x40; trail <= 0xFC; ++trail) {
      const u = core._zol_cp932(lead, trail);
      if (u === 0) continue;
      const c = String.fromCharCode(u);
      decoder.set(lead << 8 | trail, c);
      if (lead !== 0xED && lead !== 0xEE && !encoder.has(c)) encoder.set(c, [lead, trail]);
    }
  }
  const JIS_FORMS = {'\u301C': '\uFF5E', '\u2016': '\u2225', '\u2014': '\u2015',
    '\u00A2': '\uFFE0', '\u00A3': '\uFFE1', '\u00AC': '\uFFE2'};

  // What an entry prints, as text: its bytes as a C string of at most two.
  function entryText(b0, b1) {
    if (b0 === 0) return '';
    const one = (b) => (b < 0x80 ? String.fromCharCode(b) : b >= 0xA1 && b <= 0xDF ? String.fromCharCode(0xFF61 + b - 0xA1) : null);
    if (b1 === 0) return one(b0) ?? '\uFFFD';
    const pair = decoder.get(b0 << 8 | b1);
    if (pair) return pair;
    const a = one(b0);
    const b = one(b1);
    return a !== null && b !== null ? a + b : '\uFFFD';
  }

  // A cell's two bytes for what was typed, or why it cannot be one; notes
  // the JIS forms taken as CP932's.
  function encodeCell(typed) {
    const notes = [];
    const bytes = [];
    for (const c of Array.from(typed)) {
      const cp = JIS_FORMS[c] ?? c;
      if (!encoder.has(cp)) return {error: `“${c}” (U+${c.codePointAt(0).toString(16).toUpperCase().padStart(4, '0')}) has no Shift-JIS code.`};
      const code = encoder.get(cp);
      if (cp !== c) notes.push(`“${c}” was stored as ${code.map(hex2).join(' ')}, CP932's “${cp}”.`);
      bytes.push(...code);
    }
    if (bytes.length !== 2) return {error: 'A cell holds one full-width character or two half-width ones.'};
    return {bytes, notes};
  }

  // --- the grids, the table ------------------------------------------------
  const gridOrEmpty = (page) => state.grids[page] || new Uint8Array(0);
  function packedTable() {
    return withBytes([gridOrEmpty(0), gridOrEmpty(1)], (g0, g1) =>
      heap(core._zol_pack(g0, gridOrEmpty(0).length, g1, gridOrEmpty(1).length), 1024));
  }
  // A grid file that holds a table page: 16 lines of 32 bytes and CR LF.
  function gridFromPage(page) {
    const g = new Uint8Array(GRID_BYTES);
    for (let r = 0; r < 16; ++r) {
      g.set(page.subarray(r * 32, r * 32 + 32), r * GRID_LINE);
      g.set([0x0D, 0x0A], r * GRID_LINE + 32);
    }
    return g;
  }
  function currentTable() {
    if (!state.tableFile) return packedTable();
    const t = new Uint8Array(1024);
    t.set(state.tableFile.subarray(0, 1024));
    return t;
  }

  // --- drawing the grids ---------------------------------------------------
  const cells = [];
  for (const page of [0, 1]) {
    const grid = $(`page${page}`);
    const head = document.createElement('div');
    head.setAttribute('role', 'row');
    const label = (text, role) => {
      const l = document.createElement('div');
      l.className = 'label';
      l.textContent = text;
      if (role) l.setAttribute('role', role);
      return l;
    };
    // Row and column in hexadecimal: of the code on page 0 (0x10 is row 1,
    // column 0), of n - 1 for 0xFF n on page 1.
    head.appendChild(label(page === 0 ? '0x' : 'n−1', 'columnheader'));
    for (let k = 0; k < 16; ++k) head.appendChild(label(hex2(k)[1], 'columnheader'));
    grid.appendChild(head);
    for (let r = 0; r < 16; ++r) {
      const row = document.createElement('div');
      row.setAttribute('role', 'row');
      row.appendChild(label(hex2(r)[1], 'rowheader'));
      for (let k = 0; k < 16; ++k) {
        const e = page * 256 + r * 16 + k;
        const cell = document.createElement('button');
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
      if (cell) pick(Number(cell.dataset.entry), false);
    });
    grid.addEventListener('keydown', (ev) => {
      const cell = ev.target.closest('.cell');
      if (!cell) return;
      const e = Number(cell.dataset.entry);
      const moves = {ArrowLeft: -1, ArrowRight: 1, ArrowUp: -16, ArrowDown: 16};
      if (ev.key in moves) {
        const next = e + moves[ev.key];
        if (next >> 8 === e >> 8 && next >= 0 && next < 512) {
          cells[e].tabIndex = -1;
          cells[next].tabIndex = 0;
          cells[next].focus();
          pick(next, false);
        }
        ev.preventDefault();
      } else if (ev.key === 'Enter' || ev.key === 'F2') {
        pick(e, true);
        ev.preventDefault();
      }
    });
  }

  function drawGrids(table) {
    let most = 1;
    for (let e = 0; e < 512; ++e) most = Math.max(most, state.counts[e]);
    for (let e = 0; e < 512; ++e) {
      const cell = cells[e];
      const text = entryText(table[2 * e], table[2 * e + 1]);
      cell.textContent = text;
      const n = state.counts[e];
      const h = n === 0 ? 0 : 0.08 + 0.52 * Math.log1p(n) / Math.log1p(most);
      cell.style.setProperty('--h', h.toFixed(3));
      cell.classList.toggle('hot', h > 0.45);
      const label = `${codeOf(e)}: ${text || 'empty'}; ${n} in the text window`;
      cell.title = label;
      cell.setAttribute('aria-label', label);
    }
  }

  const announce = (text) => { $('announce').textContent = text; };

  // --- picking and editing a cell ------------------------------------------
  function cellInfo(e) {
    const t = currentTable();
    return `${where(e)}: ${codeOf(e)}, bytes ${hex2(t[2 * e])} ${hex2(t[2 * e + 1])}, ${state.counts[e]} in the text window`;
  }
  function pick(e, edit) {
    if (state.picked >= 0) cells[state.picked].classList.remove('picked');
    state.picked = e;
    cells[e].classList.add('picked');
    const t = currentTable();
    $('cell-info').textContent = cellInfo(e);
    const input = $('cell-input');
    input.disabled = false;
    $('cell-apply').disabled = false;
    input.value = entryText(t[2 * e], t[2 * e + 1]);
    $('cell-error').textContent = '';
    if (edit) {
      input.focus();
      input.select();  // typing replaces the character
    }
    announce(edit ? `Editing ${cellInfo(e)}` : cellInfo(e));
  }
  $('cell-input').addEventListener('keydown', (ev) => {
    if (ev.key !== 'Escape' || state.picked < 0) return;
    pick(state.picked, false);  // the cell's own character again
    cells[state.picked].focus();
    ev.preventDefault();
  });
  $('editor').addEventListener('submit', (ev) => {
    ev.preventDefault();
    if (state.picked < 0) return;
    const result = encodeCell($('cell-input').value);
    if (result.error) {
      $('cell-error').textContent = result.error;
      return;
    }
    const started = performance.now();
    setCell(state.picked, result.bytes);
    $('cell-info').textContent = cellInfo(state.picked);
    $('cell-error').textContent = result.notes.join(' ');
    cells[state.picked].focus();
    requestAnimationFrame(() => setTimeout(() => { window.zolTimings.editMs = performance.now() - started; }));
  });

  // Every change to the grids goes through here: undoable, kept in the
  // browser, and marked as not yet downloaded.
  const dirty = () => state.edited[0] || state.edited[1];
  function setGrids(grids, tableFile) {
    [0, 1].forEach((p) => { state.edited[p] ||= grids[p] !== state.grids[p]; });
    state.grids = grids;
    state.tableFile = tableFile;
  }
  function changeGrids(grids) {
    state.undo.push({grids: state.grids, tableFile: state.tableFile});
    state.redo = [];
    setGrids(grids, null);  // the grids are the table's source from now on
    refresh();
  }
  function step(from, to) {
    if (from.length === 0) return;
    to.push({grids: state.grids, tableFile: state.tableFile});
    const {grids, tableFile} = from.pop();
    setGrids(grids, tableFile);
    refresh();
    if (state.picked >= 0) pick(state.picked, false);
  }
  $('undo').addEventListener('click', () => step(state.undo, state.redo));
  $('redo').addEventListener('click', () => step(state.redo, state.undo));
  document.addEventListener('keydown', (ev) => {
    if (!(ev.ctrlKey || ev.metaKey) || ev.target.id === 'cell-input') return;
    if (ev.key === 'z' && !ev.shiftKey) step(state.undo, state.redo);
    else if (ev.key === 'y' || (ev.key === 'z' && ev.shiftKey)) step(state.redo, state.undo);
    else return;
    ev.preventDefault();
  });

  // Writes a cell into its grid, where glyphpack reads it (line r, byte 2k).
  function setCell(e, bytes) {
    const page = e >> 8;
    let grid = state.grids[page];
    if (!grid || grid.length < GRID_BYTES) {
      // A short or missing grid: made whole from what it packs to.
      grid = gridFromPage(currentTable().subarray(page * PAGE_BYTES, (page + 1) * PAGE_BYTES));
      if (state.grids[page]) grid.set(state.grids[page].subarray(0, GRID_BYTES));
    } else {
      grid = grid.slice();
    }
    grid.set(bytes, ((e & 255) >> 4) * GRID_LINE + (e & 15) * 2);
    const grids = state.grids.slice();
    grids[page] = grid;
    changeGrids(grids);
  }

  // --- checks and hints, in the page's words, with fixes -------------------
  function say(text, fixes = []) {
    const li = document.createElement('li');
    li.append(text);
    for (const [label, fix] of fixes) {
      const b = document.createElement('button');
      b.type = 'button';
      b.textContent = label;
      b.addEventListener('click', fix);
      li.append(' ', b);
    }
    $('warnings').appendChild(li);
  }

  function checkImage() {
    const n = state.rom.length;
    const hints = core._zol_image_hints(n);
    const name = state.files.rom.name;
    if (hints & 1) {
      say(state.skipHeader
        ? `${name}: decoded as if its first 512 bytes (a copier header) were not there.`
        : `${name} is 512 bytes past a multiple of 32 KiB: it seems to start with a 512-byte copier header, which moves the text 512 bytes on, so the script comes out as nonsense.`,
      state.skipHeader
        ? [['Decode it as it is', () => { state.skipHeader = false; loadRomIntoCore(); refresh(); }]]
        : [['Decode without the header', () => { state.skipHeader = true; loadRomIntoCore(); refresh(); }],
          ['Download the image without its header', () => save(name.replace(/\.[^.]*$/, '') + '.sfc', state.rom.subarray(512))]]);
    }
    if (n === 0) say(`${name} is empty.`);
    else if (hints & 2) say(`${name} holds ${size(n)}, but the text starts at byte ${WINDOW_START.toLocaleString('en')} (0x2EF800): is this the right file?`);
    else if (n <= WINDOW_END) say(`${name} ends inside the text window, so the script stops early, at [EOF].`);
  }

  function checkGrid(page) {
    const name = GRID_NAMES[page];
    const grid = state.grids[page];
    const report = withBytes([grid], (p) => JSON.parse(core.UTF8ToString(core._zol_check(p, grid.length, page))));
    if (report.utf8) {
      say(`${name} was saved as UTF-8${report.bom ? ' (with a byte order mark)' : ''}, not Shift-JIS, so its cells come out wrong.`,
        [['Convert it to Shift-JIS', () => convertFromUtf8(page)]]);
      return;
    }
    if (report.badEnding > 0) {
      say(`${name} line ${report.badEnding} ends in LF alone, not CR LF: rows are read every 34 bytes, so every row after it is shifted.`,
        [['Fix the line ends', () => fixLineEnds(page)]]);
    } else if (report.badLength > 0 && report.badLength < 16) {
      say(`${name} line ${report.badLength} holds ${report.length} bytes, not 32: rows are read every 34 bytes, so every row after it is shifted.`);
    }
    for (const [line, column, b0, b1] of report.split) {
      say(`${name} line ${line}, column ${column} holds ${hex2(b0)} ${hex2(b1)}: not one character; a half-width character earlier in the line shifts the cells after it.`);
      cells[page * 256 + (line - 1) * 16 + column - 1].classList.add('split');
    }
    for (const line of [report.badEnding, report.badLength]) {
      if (line < 1 || line > 16) continue;
      for (let k = 0; k < 16; ++k) cells[page * 256 + (line - 1) * 16 + k].classList.add('off');
    }
    if (report.rows < 16) say(`${name} has ${report.rows} whole rows of 16: the rest of its page is empty.`);
  }

  function check() {
    $('warnings').replaceChildren();
    cells.forEach((c) => c.classList.remove('split', 'off'));
    if (state.rom) checkImage();
    if (state.tableFile) return;
    if (!state.grids[0] && !state.grids[1]) {
      if (state.rom) say('No grids or table are loaded, so no glyph shows: load zol_00.txt and zol_01.txt, or zol.tbl.');
      return;
    }
    for (const page of [0, 1]) {
      if (state.grids[page]) checkGrid(page);
      else say(`${GRID_NAMES[page]} is not loaded, so the ${page === 0 ? 'one-byte codes' : 'kanji (0xFF n)'} show nothing.`);
    }
  }

  // A grid saved as UTF-8, in Shift-JIS; characters it cannot hold are
  // named.  Its line ends stay as they were.
  function convertFromUtf8(page) {
    let text = utf8.decode(state.grids[page]);
    if (text.startsWith('\uFEFF')) text = text.slice(1);
    const bytes = [];
    const lost = new Set();
    for (const c of Array.from(text)) {
      const code = encoder.get(JIS_FORMS[c] ?? c) ?? (c === '\r' || c === '\n' ? [c.charCodeAt(0)] : null);
      if (code) bytes.push(...code);
      else { lost.add(c); bytes.push(0x81, 0x48); }  // ？
    }
    const grids = state.grids.slice();
    grids[page] = new Uint8Array(bytes);
    changeGrids(grids);
    if (lost.size > 0) say(`${GRID_NAMES[page]}: ${[...lost].join(' ')} ha${lost.size > 1 ? 've' : 's'} no Shift-JIS code and became ？.`);
  }
  // Every LF without its CR gets one.
  function fixLineEnds(page) {
    const g = state.grids[page];
    const out = [];
    g.forEach((b, i) => {
      if (b === 0x0A && (i === 0 || g[i - 1] !== 0x0D)) out.push(0x0D);
      out.push(b);
    });
    const grids = state.grids.slice();
    grids[page] = new Uint8Array(out);
    changeGrids(grids);
  }

  // --- decoding, and the script --------------------------------------------
  function loadRomIntoCore() {
    if (state.romPtr) core._free(state.romPtr);
    const bytes = state.skipHeader ? state.rom.subarray(512) : state.rom;
    state.romPtr = core._malloc(Math.max(bytes.length, 1));
    core.HEAPU8.set(bytes, state.romPtr);
    state.romSize = bytes.length;
  }

  function decode(table) {
    withBytes([table], (p) => core._zol_set_table(p, table.length));
    state.counts.fill(0);
    if (!state.rom) return;
    const started = performance.now();
    window.zolTimings.decodeAndDrawMs = null;
    const end = core._zol_decode(state.romPtr, state.romSize);
    state.output = heap(core._zol_output(), core._zol_output_size());
    state.utf8 = heap(core._zol_utf8(), core._zol_utf8_size());
    state.notCp932 = heap(core._zol_not_cp932(), 512);
    const count = core._zol_trace_count();
    const trace = new Uint32Array(core.HEAPU8.buffer.slice(core._zol_trace(), core._zol_trace() + count * 8));
    state.trace = trace;
    state.text = utf8.decode(state.utf8);
    drawScript(state.text);
    // Where each code's text starts in #script, from the characters each
    // rendering shows as: exact, whatever the table holds.
    const starts = new Uint32Array(count + 1);
    let unit = 0;
    for (let i = 0; i < count; ++i) {
      starts[i] = unit;
      unit += trace[2 * i + 1] >>> 24;
      const e = entryOfIndex(trace[2 * i + 1] & 0xFFFF);
      if (e >= 0) state.counts[e] += 1;
    }
    starts[count] = unit;
    state.starts = starts;
    requestAnimationFrame(() => setTimeout(() => {
      const ms = performance.now() - started;
      window.zolTimings.decodeAndDrawMs = ms;
      $('status').textContent = `Decoded ${count.toLocaleString('en')} codes of the text window and drew them in ${ms.toFixed(1)} ms` +
        (end ? '; the image ends inside the window ([EOF]).' : '.');
    }));
  }

  // The script in blocks of about 2000 characters, cut after a newline: the
  // browser lays out and paints only the blocks in view, so a whole window
  // draws at once.  #script's text is still the script, character for
  // character; each block knows where in it it starts.
  function drawScript(text) {
    const blocks = document.createDocumentFragment();
    for (let i = 0; i < text.length;) {
      let j = text.indexOf('\n', i + 2000);
      j = j < 0 ? text.length : j + 1;
      const block = document.createElement('span');
      block.className = 'block';
      block.dataset.start = String(i);
      block.textContent = text.slice(i, j);
      blocks.appendChild(block);
      i = j;
    }
    $('script').replaceChildren(blocks);
    clearTrace();
  }

  // --- the glyphs still to fill ---------------------------------------------
  function listUnknown(table) {
    const list = $('unknown-glyphs');
    list.replaceChildren();
    $('unknown-none').hidden = true;
    if (!state.trace) return;
    const holders = new Map();  // two bytes -> the entries holding them
    for (let e = 16; e < 510; ++e) {
      const key = table[2 * e] << 8 | table[2 * e + 1];
      holders.set(key, [...(holders.get(key) || []), e]);
    }
    const found = [];
    for (let e = 16; e < 510; ++e) {
      if (state.counts[e] === 0) continue;
      const b0 = table[2 * e];
      const b1 = table[2 * e + 1];
      const key = b0 << 8 | b1;
      const others = holders.get(key).filter((f) => f !== e);
      let why = null;
      if (key === 0) why = 'is filled with NUL bytes';
      else if (b0 === 0) why = 'is empty';
      else if (key === 0x8140 || key === 0x2020 || key === 0x2000) why = 'is blank';
      else if (state.notCp932[indexOfEntry(e)]) why = `holds ${hex2(b0)} ${hex2(b1)}, which is not Shift-JIS`;
      else if (others.length > 0) why = `is “${entryText(b0, b1)}”, like ${codeOf(others[0])} (${where(others[0])})`;
      if (why) found.push({e, why});
    }
    found.sort((a, b) => state.counts[b.e] - state.counts[a.e] || a.e - b.e);
    $('unknown-none').hidden = found.length > 0;
    const uses = snippets(new Set(found.map((f) => indexOfEntry(f.e))));
    for (const {e, why} of found) {
      const li = document.createElement('li');
      li.dataset.entry = String(e);
      const go = document.createElement('button');
      go.type = 'button';
      go.textContent = `${codeOf(e)} (${where(e)}) ${why}; used ${state.counts[e]} times`;
      go.addEventListener('click', () => {
        cells[e].scrollIntoView({block: 'center'});
        cells[e].focus();
        pick(e, false);
      });
      const shown = document.createElement('div');
      shown.className = 'uses';
      for (const [before, glyph, after] of uses.get(indexOfEntry(e)) || []) {
        const mark = document.createElement('mark');
        mark.textContent = glyph || '▯';
        shown.append(shown.childNodes.length > 0 ? ' … ' : '…', before, mark, after, '…');
      }
      li.append(go, shown);
      list.appendChild(li);
    }
  }
  // Up to three uses of each code index of wanted: the text around it.
  function snippets(wanted) {
    const uses = new Map();
    const count = state.starts.length - 1;
    const flat = (s) => s.replace(/\n/g, ' ⏎ ');
    for (let i = 0; i < count; ++i) {
      const index = state.trace[2 * i + 1] & 0xFFFF;
      if (!wanted.has(index)) continue;
      const list = uses.get(index) || [];
      if (list.length === 3) continue;
      const from = state.starts[i];
      const to = state.starts[i + 1];
      list.push([flat(state.text.slice(Math.max(0, from - 12), from)), state.text.slice(from, to), flat(state.text.slice(to, to + 12))]);
      uses.set(index, list);
    }
    return uses;
  }

  // --- tracing a character back to its code ---------------------------------
  let traced = -1;  // index of the traced code, or -1
  function clearTrace(text = 'Nothing traced.') {
    cells.forEach((c) => c.classList.remove('traced'));
    traced = -1;
    if (globalThis.CSS && CSS.highlights) CSS.highlights.delete('trace');
    $('trace-info').textContent = text;
  }
  // The code whose text holds character unit of #script, or -1 past it.
  function codeAt(unit) {
    const starts = state.starts;
    const count = starts.length - 1;
    if (unit >= starts[count]) return -1;
    // The last code that starts at or before unit: it shows, since the
    // next starts after unit (codes that show nothing share their start).
    let lo = 0;
    let hi = count - 1;
    while (lo < hi) {
      const mid = (lo + hi + 1) >> 1;
      if (starts[mid] <= unit) lo = mid; else hi = mid - 1;
    }
    return lo;
  }
  function trace(i) {
    clearTrace();
    if (i < 0) {
      const eof = state.text.endsWith('[EOF]');
      $('trace-info').textContent = eof ? '[EOF]: the image ends here, inside the text window.' : 'Past the end of the script.';
      return;
    }
    traced = i;
    const at = state.trace[2 * i];
    const word = state.trace[2 * i + 1];
    const index = word & 0xFFFF;
    const e = entryOfIndex(index);
    const bytes = index < 256 ? `0x${hex2(index)}` : `0xFF 0x${hex2(index - 256)}`;
    $('trace-info').textContent = `offset 0x${at.toString(16).toUpperCase()}: code ${bytes}` +
      (e >= 0 ? `, glyph table entry ${e} (${where(e)})` : index < 16 ? ', a control code' : '');
    if (e >= 0) cells[e].classList.add('traced');
    const range = rangeOf(state.starts[i], state.starts[i + 1]);
    if (range && globalThis.CSS && CSS.highlights) CSS.highlights.set('trace', new Highlight(range));
    return range;
  }
  // A DOM range over units from..to of #script.
  function rangeOf(from, to) {
    const block = [...$('script').children].filter((b) => Number(b.dataset.start) <= from).pop();
    if (!block || !block.firstChild) return null;
    const start = Number(block.dataset.start);
    const range = document.createRange();
    range.setStart(block.firstChild, from - start);
    range.setEnd(block.firstChild, Math.min(to - start, block.firstChild.length));
    return range;
  }
  $('script').addEventListener('mousemove', (ev) => {
    if (!state.starts) return;
    let node = null;
    let offset = 0;
    if (document.caretPositionFromPoint) {
      const pos = document.caretPositionFromPoint(ev.clientX, ev.clientY);
      if (pos) ({offsetNode: node, offset} = pos);
    } else if (document.caretRangeFromPoint) {
      const range = document.caretRangeFromPoint(ev.clientX, ev.clientY);
      if (range) ({startContainer: node, startOffset: offset} = range);
    }
    const block = node && node.parentNode;
    if (!block || block.parentNode !== $('script')) return clearTrace('Nothing under the pointer.');
    // The caret falls before or after the character under the pointer: take
    // the one whose box holds the pointer, if any (not empty space).
    const start = Number(block.dataset.start);
    for (const unit of [offset, offset - 1]) {
      if (unit < 0 || unit >= node.length) continue;
      const r = document.createRange();
      r.setStart(node, unit);
      r.setEnd(node, unit + 1);
      const box = r.getBoundingClientRect();
      if (ev.clientX >= box.left && ev.clientX <= box.right && ev.clientY >= box.top && ev.clientY <= box.bottom) {
        if (traced !== codeAt(start + unit) || traced < 0) trace(codeAt(start + unit));
        return;
      }
    }
    clearTrace(start + offset >= state.text.length ? 'Past the end of the script.' : 'Nothing under the pointer.');
  });
  $('script').addEventListener('mouseleave', () => clearTrace());
  // Arrow keys move the trace code by code (left, right) or line by line.
  $('script').addEventListener('keydown', (ev) => {
    if (!state.starts) return;
    const count = state.starts.length - 1;
    const shows = (i) => state.starts[i + 1] > state.starts[i];
    let i = traced;
    if (ev.key === 'ArrowRight' || ev.key === 'ArrowLeft') {
      const d = ev.key === 'ArrowRight' ? 1 : -1;
      do i += d; while (i >= 0 && i < count && !shows(i));
      if (i >= count) i = -1;
      else if (i < 0) i = traced;
    } else if (ev.key === 'ArrowDown' || ev.key === 'ArrowUp') {
      // To the same column of the next or the previous line.
      const text = state.text;
      const unit = traced < 0 ? 0 : state.starts[traced];
      const lineStart = text.lastIndexOf('\n', unit - 1) + 1;
      let target;
      if (ev.key === 'ArrowDown') {
        const nl = text.indexOf('\n', unit);
        if (nl < 0) return;
        target = nl + 1;
      } else {
        if (lineStart === 0) return;
        target = text.lastIndexOf('\n', lineStart - 2) + 1;
      }
      const lineEnd = text.indexOf('\n', target);
      const length = (lineEnd < 0 ? text.length : lineEnd) - target;
      i = codeAt(target + Math.min(unit - lineStart, length));
    } else if (ev.key === 'Enter') {
      announce($('trace-info').textContent);
      return;
    } else {
      return;
    }
    ev.preventDefault();
    const range = trace(i);
    if (range) range.startContainer.parentNode.scrollIntoView({block: 'nearest'});
  });

  // --- refreshing everything from the state ---------------------------------
  let serial = 0;  // of the last refresh
  function refresh() {
    const table = currentTable();
    check();
    decode(state.tableFile || table);
    drawGrids(table);
    // The list of glyphs to fill comes once the script and grids are drawn.
    const mine = ++serial;
    setTimeout(() => { if (mine === serial) listUnknown(table); });
    const any = state.grids[0] || state.grids[1] || state.tableFile;
    for (const id of ['download-table', 'download-grids', 'download-thingy']) $(id).disabled = !any;
    for (const id of ['download-script', 'download-script-utf8', 'download-atlas']) $(id).disabled = !state.rom;
    $('undo').disabled = state.undo.length === 0;
    $('redo').disabled = state.redo.length === 0;
    drawLoaded();
    keep();
  }

  // --- files in --------------------------------------------------------------
  // What a dropped file is, from its content: an image (the text window's
  // size or more, or a .sfc/.smc name), a table (exactly 1024 bytes), or a
  // grid (text of about 16 lines of 34 bytes); null for anything else.
  function recognise(name, bytes) {
    if (bytes.length >= WINDOW_START || /\.(sfc|smc)$/i.test(name)) return 'rom';
    if (bytes.length === 1024) return 'table';
    const lines = utf8.decode(bytes).split('\n');
    if (lines[lines.length - 1] === '') lines.pop();
    const textual = !bytes.includes(0);
    if (textual && lines.length >= 15 && lines.length <= 17 && bytes.length / lines.length >= 28 && bytes.length / lines.length <= 54) {
      if (/01/.test(name)) return 'grid1';
      if (/00/.test(name)) return 'grid0';
      return !state.grids[0] ? 'grid0' : !state.grids[1] ? 'grid1' : 'grid?';
    }
    return null;
  }

  // The grids a load in role replaces.
  const pagesOf = (role) => ({grid0: [0], grid1: [1], table: [0, 1]}[role] || []);
  // Asks before a load replaces edits that were not downloaded.
  function mayReplaceEdits(role, what = ROLES[role]) {
    const pages = pagesOf(role).filter((p) => state.edited[p]);
    if (pages.length === 0) return true;
    return window.confirm(`Your edits to ${pages.map((p) => GRID_NAMES[p]).join(' and ')} have not been downloaded. Load ${what} over them anyway?`);
  }

  // Takes a file's bytes in its role; false if it was not taken.
  function take(role, name, bytes, file) {
    if (!mayReplaceEdits(role)) return false;
    state.files[role] = {name, size: bytes.length, file};
    if (role === 'rom') {
      state.rom = bytes;
      state.skipHeader = false;
      loadRomIntoCore();
      return true;
    }
    state.undo = [];
    state.redo = [];
    for (const p of pagesOf(role)) state.edited[p] = false;
    if (role === 'table') {
      state.tableFile = bytes;
      const t = currentTable();
      state.grids = [gridFromPage(t.subarray(0, PAGE_BYTES)), gridFromPage(t.subarray(PAGE_BYTES))];
      delete state.files.grid0;
      delete state.files.grid1;
    } else {
      state.grids[role === 'grid0' ? 0 : 1] = bytes;
      state.tableFile = null;
      delete state.files.table;
    }
    return true;
  }

  // Reads a file; on failure says so and gives null.
  async function read(file) {
    try {
      return new Uint8Array(await file.arrayBuffer());
    } catch (e) {
      $('status').textContent = `${file.name} could not be read (${e.name}): it may have changed or moved since it was picked; pick it again.`;
      return null;
    }
  }

  for (const role of Object.keys(ROLES)) {
    $(role).addEventListener('change', async (ev) => {
      const input = ev.target;
      const file = input.files[0];
      input.value = '';  // so that picking the same file again reloads it
      if (!file) return;
      const bytes = await read(file);
      if (bytes && take(role, file.name, bytes, file)) refresh();
    });
  }

  const drop = $('drop');
  document.addEventListener('dragover', (ev) => {
    ev.preventDefault();
    drop.classList.add('over');
  });
  document.addEventListener('dragleave', () => drop.classList.remove('over'));
  document.addEventListener('drop', async (ev) => {
    ev.preventDefault();
    drop.classList.remove('over');
    const refused = [];
    let taken = false;
    for (const file of ev.dataTransfer.files) {
      const bytes = await read(file);
      if (!bytes) continue;
      const role = recognise(file.name, bytes);
      if (role === null) refused.push(`${file.name} is no ROM image (at least ${size(WINDOW_START)}, or .sfc/.smc), no zol.tbl (1024 bytes) and no grid (16 lines of 34 bytes): it was not loaded.`);
      else if (role === 'grid?') refused.push(`${file.name} looks like a grid, but both are loaded: pick it as zol_00.txt or zol_01.txt.`);
      else taken = take(role, file.name, bytes, file) || taken;
    }
    if (taken) refresh();
    for (const text of refused) say(text);
    if (refused.length > 0) $('status').textContent = refused.join(' ');
  });

  // The bar of loaded files, each with a button that reads it again.
  function drawLoaded() {
    const bar = $('loaded');
    bar.replaceChildren();
    for (const [role, {name, size: n, file}] of Object.entries(state.files)) {
      const li = document.createElement('li');
      li.dataset.role = role;
      li.append(`${BAR_LABELS[role]}: `);
      const b = document.createElement('b');
      b.textContent = name;
      li.append(b, ` (${size(n)}${state.edited[role === 'grid1' ? 1 : 0] && role.startsWith('grid') ? ', edited' : ''}) `);
      const again = document.createElement('button');
      again.type = 'button';
      again.textContent = 'Reload';
      again.setAttribute('aria-label', `Reload ${name}`);
      again.addEventListener('click', async () => {
        if (!file) return loadSample();
        const bytes = await read(file);
        if (bytes && take(role, name, bytes, file)) refresh();
        else if (!bytes) $(role).click();
      });
      li.append(again);
      bar.appendChild(li);
    }
  }

  // --- the sample, inlined in the page ---------------------------------------
  function loadSample() {
    if (!mayReplaceEdits('table', 'the sample')) return;
    state.edited = [false, false];
    // The scene: hexadecimal bytes, '#' starting a comment.
    const scene = utf8.decode(base64('sample-scene')).split('\n').map((l) => l.replace(/#.*/, ''))
      .join(' ').trim().split(/\s+/).map((h) => parseInt(h, 16));
    const image = new Uint8Array(WINDOW_START + scene.length);
    image.set(scene, WINDOW_START);
    take('grid0', 'zol_00.txt', base64('sample-grid0'), null);
    take('grid1', 'zol_01.txt', base64('sample-grid1'), null);
    take('rom', 'sample.sfc', image, null);
    refresh();
  }
  $('load-sample').addEventListener('click', loadSample);

  // --- never lose work: the grids kept in the browser ------------------------
  const b64 = (bytes) => btoa(String.fromCharCode(...bytes));
  function keep() {
    try {
      if (!state.grids[0] && !state.grids[1]) return;
      localStorage.setItem(STORE, JSON.stringify({
        saved: new Date().toISOString(),
        edited: state.edited,
        grids: state.grids.map((g) => (g ? b64(g) : null)),
        names: [0, 1].map((p) => state.files[`grid${p}`]?.name ?? GRID_NAMES[p]),
      }));
    } catch (e) {
      $('status').textContent = `The grids could not be kept in this browser (${e.name}); download them to keep your edits.`;
    }
  }
  function offerRestore() {
    let kept = null;
    try {
      kept = JSON.parse(localStorage.getItem(STORE));
    } catch (e) {
      kept = null;
    }
    if (!kept || !kept.grids) return;
    $('restore-text').textContent = `This browser kept the grids you last worked on (${new Date(kept.saved).toLocaleString()}` +
      `${kept.edited?.some((e) => e) ? ', with edits not downloaded' : ''}). Restore them?`;
    $('restore').hidden = false;
    $('restore-yes').addEventListener('click', () => {
      if (!mayReplaceEdits('table', 'the kept grids')) return;
      $('restore').hidden = true;
      const grids = kept.grids.map((g) => (g ? Uint8Array.from(atob(g), (c) => c.charCodeAt(0)) : null));
      grids.forEach((g, p) => { if (g) state.files[`grid${p}`] = {name: kept.names[p], size: g.length, file: null}; });
      state.grids = grids;
      state.tableFile = null;
      delete state.files.table;
      state.edited = kept.edited ?? [false, false];
      refresh();
    });
    $('restore-no').addEventListener('click', () => {
      $('restore').hidden = true;
      localStorage.removeItem(STORE);
    });
  }
  window.addEventListener('beforeunload', (ev) => {
    if (!dirty()) return;
    ev.preventDefault();
    ev.returnValue = '';
  });

  // --- downloads --------------------------------------------------------------
  function save(name, data, type = 'application/octet-stream') {
    const url = URL.createObjectURL(new Blob([data], {type}));
    const a = document.createElement('a');
    a.href = url;
    a.download = name;
    document.body.appendChild(a);
    a.click();
    a.remove();
    setTimeout(() => URL.revokeObjectURL(url), 10000);
  }
  // Bytes as the chosen program writes them: msgdump.exe turns every LF
  // into CR LF (its standard output is in text mode), msgdump does not.
  function lineEnds(bytes) {
    if ($('line-ends').value !== 'crlf') return bytes;
    const out = [];
    for (const b of bytes) {
      if (b === 0x0A) out.push(0x0D);
      out.push(b);
    }
    return new Uint8Array(out);
  }
  $('line-ends').value = /Windows/.test(navigator.userAgent) ? 'crlf' : 'lf';
  const core_text = (ptr) => heap(ptr, core._zol_text_size());
  $('download-script').addEventListener('click', () => save('script.txt', lineEnds(state.output)));
  $('download-script-utf8').addEventListener('click', () => save('script.utf8.txt', lineEnds(state.utf8)));
  $('download-atlas').addEventListener('click', () => save('script.atlas.txt', lineEnds(core_text(core._zol_atlas()))));
  $('download-thingy').addEventListener('click', () => save('zolvane.tbl', lineEnds(core_text(core._zol_thingy()))));
  $('download-table').addEventListener('click', () => {
    save('zol.tbl', packedTable());
    state.edited = [false, false];
    drawLoaded();
    keep();
  });
  $('download-grids').addEventListener('click', () => {
    for (const page of [0, 1]) save(GRID_NAMES[page], state.grids[page] || gridFromPage(new Uint8Array(PAGE_BYTES)));
    state.edited = [false, false];
    drawLoaded();
    keep();
  });

  refresh();
  offerRestore();
  document.body.dataset.ready = 'true';
})();
