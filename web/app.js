// The page: files in, the grids as a picture, the script traced to its
// codes, downloads out.  Every byte of the script and of the table comes
// from the same C++ cores as msgdump and glyphpack (ZolCore, WebAssembly);
// this script only moves bytes and draws.
'use strict';

(async function main() {
  const $ = (id) => document.getElementById(id);
  // The module's bytes are inlined in the page as base64 and handed over,
  // so the loader never fetches anything.
  const wasm = Uint8Array.from(atob(document.getElementById('zolcore-wasm').textContent.trim()), (c) => c.charCodeAt(0));
  const core = await ZolCore({wasmBinary: wasm});
  const sjis = new TextDecoder('shift_jis');

  const GRID_LINE = 34;  // 32 bytes of cells, then CR LF
  const GRID_BYTES = 16 * GRID_LINE;
  const PAGE_BYTES = 512;
  const GRID_NAMES = ['zol_00.txt', 'zol_01.txt'];

  const state = {
    rom: null,             // Uint8Array
    romPtr: 0,             // its copy in the module's memory
    grids: [null, null],   // Uint8Array per page, as a file holds it
    tableFile: null,       // zol.tbl's bytes, when the table came that way
    output: null,          // msgdump's standard output, Shift-JIS
    scriptStart: 0,
    trace: null,           // Uint32Array: offset, index | length << 16
    charStarts: null,      // first UTF-16 unit of each code in #script
    counts: new Uint32Array(512),
    picked: -1,
  };
  window.zolTimings = {decodeAndDrawMs: null};

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

  // --- the glyph table and the grids --------------------------------------
  function gridOrEmpty(page) { return state.grids[page] || new Uint8Array(0); }

  // The table glyphpack would write from the grids shown.
  function packedTable() {
    return withBytes([gridOrEmpty(0), gridOrEmpty(1)], (g0, g1) =>
      heap(core._zol_pack(g0, gridOrEmpty(0).length, g1, gridOrEmpty(1).length), 1024));
  }

  // A grid file that holds a table page: 16 lines of 32 bytes and CR LF.
  function gridFromPage(page) {
    const g = new Uint8Array(GRID_BYTES);
    for (let r = 0; r < 16; ++r) {
      g.set(page.subarray(r * 32, r * 32 + 32), r * GRID_LINE);
      g[r * GRID_LINE + 32] = 0x0D;
      g[r * GRID_LINE + 33] = 0x0A;
    }
    return g;
  }

  // The two bytes of entry e as the table holds them.
  function entryBytes(table, e) { return [table[2 * e], table[2 * e + 1]]; }

  // What an entry prints: its bytes as a C string of at most two.
  function entryText(b) {
    if (b[0] === 0) return '';
    return sjis.decode(new Uint8Array(b[1] === 0 ? [b[0]] : b));
  }

  // The code that reaches entry e, as a translator writes it.
  const hex2 = (n) => n.toString(16).toUpperCase().padStart(2, '0');
  function codeOf(e) {
    if (e < 16) return `control code 0x${hex2(e)} (never a glyph)`;
    if (e < 255) return `code 0x${hex2(e)}`;
    if (e === 255) return 'code 0xFF 0x00';
    if (e < 510) return `code 0xFF 0x${hex2(e - 255)}`;
    return 'no code reaches this cell';
  }
  const where = (e) => `${GRID_NAMES[e >> 8]} line ${((e & 255) >> 4) + 1}, column ${(e & 15) + 1}`;

  // --- Shift-JIS encoding of typed characters ------------------------------
  // The Encoding Standard's Shift_JIS encoder, built once from the decoder:
  // the first pointer that decodes to a character wins, except the NEC
  // selected IBM extensions (pointers 8272 to 8835), which only decode.
  const encoder = new Map();
  for (let b = 0x20; b < 0x7F; ++b) encoder.set(String.fromCharCode(b), [b]);
  for (let b = 0xA1; b <= 0xDF; ++b) encoder.set(String.fromCharCode(0xFF61 + b - 0xA1), [b]);
  for (let p = 0; p < 11280; ++p) {
    if (p >= 8272 && p <= 8835) continue;
    const lead = Math.floor(p / 188) + (p < 0x1F * 188 ? 0x81 : 0xC1);
    const trail = (p % 188) + (p % 188 < 0x3F ? 0x40 : 0x41);
    const c = sjis.decode(new Uint8Array([lead, trail]));
    if (c.length === 1 && c !== '\uFFFD' && !encoder.has(c)) encoder.set(c, [lead, trail]);
  }
  encoder.set('\u00A5', [0x5C]);
  encoder.set('\u203E', [0x7E]);
  encoder.set('\u2212', encoder.get('\uFF0D'));

  // A cell's two bytes for what was typed, or a reason it cannot be one.
  function encodeCell(text) {
    const chars = Array.from(text);
    for (const c of chars) {
      if (!encoder.has(c)) return {error: `“${c}” has no Shift-JIS code.`};
    }
    const bytes = chars.flatMap((c) => encoder.get(c));
    if (bytes.length !== 2) {
      return {error: 'A cell holds one full-width character or two half-width ones.'};
    }
    return {bytes};
  }

  // --- drawing the grids ----------------------------------------------------
  const cells = [];
  for (const page of [0, 1]) {
    const grid = $(`page${page}`);
    for (let r = 0; r < 16; ++r) {
      const row = document.createElement('div');
      row.setAttribute('role', 'row');
      row.style.display = 'contents';
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
      const text = entryText(entryBytes(table, e));
      cell.textContent = text;
      const n = state.counts[e];
      cell.style.setProperty('--h', n === 0 ? '0' : (0.08 + 0.52 * Math.log1p(n) / Math.log1p(most)).toFixed(3));
      const label = `${codeOf(e)}: ${text || 'empty'}; ${n} in the text window`;
      cell.title = label;
      cell.setAttribute('aria-label', label);
    }
  }

  function pick(e, edit) {
    if (state.picked >= 0) cells[state.picked].classList.remove('picked');
    state.picked = e;
    cells[e].classList.add('picked');
    const table = currentTable();
    const b = entryBytes(table, e);
    $('cell-info').textContent = `${where(e)}: ${codeOf(e)}, bytes ${hex2(b[0])} ${hex2(b[1])}, ${state.counts[e]} in the text window`;
    const input = $('cell-input');
    input.disabled = false;
    $('cell-apply').disabled = false;
    input.value = entryText(b);
    $('cell-error').textContent = '';
    if (edit) input.focus();
  }

  $('editor').addEventListener('submit', (ev) => {
    ev.preventDefault();
    if (state.picked < 0) return;
    const result = encodeCell($('cell-input').value);
    if (result.error) {
      $('cell-error').textContent = result.error;
      return;
    }
    $('cell-error').textContent = '';
    setCell(state.picked, result.bytes);
    cells[state.picked].focus();
  });

  // Writes a cell into its grid, where glyphpack reads it (line r, byte 2k).
  function setCell(e, bytes) {
    const page = e >> 8;
    let grid = state.grids[page];
    if (!grid || grid.length < GRID_BYTES) {
      // A short or missing grid: made whole from what it packs to.
      grid = gridFromPage(packedTable().subarray(page * PAGE_BYTES, (page + 1) * PAGE_BYTES));
      if (state.grids[page]) grid.set(state.grids[page].subarray(0, GRID_BYTES));
    } else {
      grid = grid.slice();
    }
    const at = ((e & 255) >> 4) * GRID_LINE + (e & 15) * 2;
    grid[at] = bytes[0];
    grid[at + 1] = bytes[1];
    state.grids[page] = grid;
    state.tableFile = null;  // the grids are the table's source from now on
    refresh();
  }

  // --- the table in use, the checks, the dump ----------------------------
  function currentTable() {
    if (state.tableFile) {
      const t = new Uint8Array(1024);
      t.set(state.tableFile.subarray(0, 1024));
      // A file of odd length: its last byte is a one-byte entry.
      return t;
    }
    return packedTable();
  }

  function check() {
    const list = $('warnings');
    list.replaceChildren();
    cells.forEach((c) => c.classList.remove('split', 'off'));
    const say = (text) => {
      const li = document.createElement('li');
      li.textContent = text;
      list.appendChild(li);
    };
    if (state.tableFile) return;
    for (const page of [0, 1]) {
      const grid = state.grids[page];
      if (!grid) {
        if (state.grids[1 - page]) say(`${GRID_NAMES[page]} is not loaded: its page is empty.`);
        continue;
      }
      const report = withBytes([grid], (p) =>
        JSON.parse(core.UTF8ToString(core._zol_check(p, grid.length, page))));
      report.warnings.forEach(say);
      for (const [line, column] of report.split) {
        cells[page * 256 + (line - 1) * 16 + column - 1].classList.add('split');
      }
      for (const line of [report.badEnding, report.badLength]) {
        if (line < 1 || line > 16) continue;
        for (let k = 0; k < 16; ++k) cells[page * 256 + (line - 1) * 16 + k].classList.add('off');
      }
    }
  }

  // Glyph table entry shown by a code's rendering index, or -1.
  function entryOfIndex(index) {
    if (index >= 0x10 && index <= 0xFE) return index;
    if (index >= 256 && index < 511) return 255 + (index - 256);
    return -1;
  }

  // Loads the table file's bytes (as msgdump loads zol.tbl) and decodes.
  function decode(table) {
    withBytes([table], (p) => core._zol_set_table(p, table.length));
    if (!state.rom) return;
    const started = performance.now();
    window.zolTimings.decodeAndDrawMs = null;
    core._zol_decode(state.romPtr, state.rom.length);
    state.output = heap(core._zol_output(), core._zol_output_size());
    state.scriptStart = core._zol_script_start();
    const count = core._zol_trace_count();
    state.trace = new Uint32Array(core.HEAPU8.buffer.slice(core._zol_trace(), core._zol_trace() + count * 8));
    const script = state.output.subarray(state.scriptStart);
    const text = sjis.decode(script);
    drawScript(text);

    // Where each code's text starts in #script, and how often each entry
    // is used.  A rendering decodes to the same text wherever it stands.
    state.counts.fill(0);
    const width = new Int16Array(512).fill(-1);
    const starts = new Uint32Array(count + 1);
    let byte = 0;
    let unit = 0;
    for (let i = 0; i < count; ++i) {
      const index = state.trace[2 * i + 1] & 0xFFFF;
      const length = state.trace[2 * i + 1] >>> 16;
      if (width[index] < 0) width[index] = sjis.decode(script.subarray(byte, byte + length)).length;
      starts[i] = unit;
      unit += width[index];
      byte += length;
      const e = entryOfIndex(index);
      if (e >= 0) state.counts[e] += 1;
    }
    starts[count] = unit;
    state.charStarts = starts;
    // Timed to the first frame painted with the new script.
    const eof = text.endsWith('[EOF]');
    requestAnimationFrame(() => setTimeout(() => {
      const ms = performance.now() - started;
      window.zolTimings.decodeAndDrawMs = ms;
      $('status').textContent = `Decoded and drew ${count.toLocaleString('en')} codes of the text window in ${ms.toFixed(1)} ms` +
        (eof ? '; the image ends inside the window ([EOF]).' : '.');
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
  }

  function refresh() {
    const table = currentTable();
    check();
    decode(state.tableFile || table);
    drawGrids(table);
    for (const id of ['download-table', 'download-grids']) $(id).disabled = !(state.grids[0] || state.grids[1] || state.tableFile);
    for (const id of ['download-script', 'download-script-utf8']) $(id).disabled = !state.output;
  }

  // --- tracing a character back to its code -------------------------------
  let traced = -1;
  $('script').addEventListener('mousemove', (ev) => {
    if (!state.charStarts) return;
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
    if (!block || block.parentNode !== $('script')) return;
    offset += Number(block.dataset.start);
    // The code whose text holds that character: the last start <= offset.
    const starts = state.charStarts;
    let lo = 0;
    let hi = starts.length - 2;
    while (lo < hi) {
      const mid = (lo + hi + 1) >> 1;
      if (starts[mid] <= offset) lo = mid; else hi = mid - 1;
    }
    // Codes that print nothing share their start with the next one.
    while (lo + 1 < starts.length - 1 && starts[lo + 1] === starts[lo] && starts[lo + 1] <= offset) ++lo;
    const at = state.trace[2 * lo];
    const index = state.trace[2 * lo + 1] & 0xFFFF;
    const e = entryOfIndex(index);
    const code = index < 256 ? `0x${hex2(index)}` : `0xFF 0x${hex2(index - 256)}`;
    $('trace-info').textContent = `offset 0x${at.toString(16).toUpperCase()}: code ${code}` +
      (e >= 0 ? `, glyph table entry ${e} (${where(e)})` : ', a control code');
    if (traced >= 0) cells[traced].classList.remove('traced');
    traced = e;
    if (e >= 0) cells[e].classList.add('traced');
  });

  // --- files in -------------------------------------------------------------
  async function take(file, role) {
    const bytes = new Uint8Array(await file.arrayBuffer());
    if (role === 'rom') {
      // Copied into the module once; every decode reads it there.
      if (state.romPtr) core._free(state.romPtr);
      state.romPtr = core._malloc(Math.max(bytes.length, 1));
      core.HEAPU8.set(bytes, state.romPtr);
      state.rom = bytes;
    }
    if (role === 'grid0' || role === 'grid1') {
      state.grids[role === 'grid0' ? 0 : 1] = bytes;
      state.tableFile = null;
    }
    if (role === 'table') {
      state.tableFile = bytes;
      // The grids this table was packed from, for the picture and edits.
      const t = currentTable();
      state.grids = [gridFromPage(t.subarray(0, PAGE_BYTES)), gridFromPage(t.subarray(PAGE_BYTES))];
    }
  }

  for (const role of ['rom', 'grid0', 'grid1', 'table']) {
    $(role).addEventListener('change', async (ev) => {
      if (ev.target.files.length === 0) return;
      await take(ev.target.files[0], role);
      refresh();
    });
  }

  // Dropped files go by name: zol.tbl, the grids, anything else the image.
  function roleOf(name) {
    if (/\.tbl$/i.test(name)) return 'table';
    if (/zol_00/i.test(name)) return 'grid0';
    if (/zol_01/i.test(name)) return 'grid1';
    return 'rom';
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
    for (const file of ev.dataTransfer.files) await take(file, roleOf(file.name));
    refresh();
  });

  // --- downloads ------------------------------------------------------------
  function save(name, data, type) {
    const url = URL.createObjectURL(new Blob([data], {type}));
    const a = document.createElement('a');
    a.href = url;
    a.download = name;
    document.body.appendChild(a);
    a.click();
    a.remove();
    setTimeout(() => URL.revokeObjectURL(url), 10000);
  }
  $('download-script').addEventListener('click', () => save('script.txt', state.output, 'application/octet-stream'));
  $('download-script-utf8').addEventListener('click', () => save('script.utf8.txt', sjis.decode(state.output), 'text/plain;charset=utf-8'));
  $('download-table').addEventListener('click', () => save('zol.tbl', packedTable(), 'application/octet-stream'));
  $('download-grids').addEventListener('click', () => {
    for (const page of [0, 1]) {
      const grid = state.grids[page] || gridFromPage(new Uint8Array(PAGE_BYTES));
      save(GRID_NAMES[page], grid, 'application/octet-stream');
    }
  });

  refresh();
  document.body.dataset.ready = 'true';
})();
