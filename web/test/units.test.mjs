// The page's pure modules without a browser: what a file is taken for, and
// the workspace's promises (kept work never lost, undo that holds, two
// tabs that ask).   node --test units.test.mjs
import {test} from 'node:test';
import assert from 'node:assert/strict';
import {recognise, refusePick} from '../src/files.js';
import {Workspace} from '../src/workspace.js';

const START = 0x2EF800;
const bytes = (...b) => Uint8Array.from(b);
const ascii = (s) => new TextEncoder().encode(s);

test('files: drops are known by content, size and name; foreign files never pass', () => {
  const png = bytes(0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A);
  const grid = new Uint8Array(544).fill(0x82);
  const rows = [
    ['zol_00.txt', 544, grid, {role: 'grid0', page: 0}],
    ['zol_00-2024-01-15.txt', 544, grid, {role: 'grid0', page: 0}],
    ['kanji.txt', 544, grid, {role: 'grid', page: null}],  // asked about
    ['rom.sfc', 4 << 20, new Uint8Array(16), {role: 'rom'}],
    ['dump.bin', 4 << 20, new Uint8Array(16), {role: 'rom'}],
    ['short.smc', 1000, new Uint8Array(16), {role: 'rom'}],
    ['zol.tbl', 1024, new Uint8Array(16), {role: 'table'}],
    ['zol.tbl', 3, bytes(1, 0, 2), {role: 'table'}],
    ['script.atlas.txt', 9000, ascii('\uFEFF// The text window\n#VAR(Script, TABLE)'), {role: 'script'}],
    ['mine.txt', 50, ascii('\n\n#JMP($2EF800, $2EF80B)\n'), {role: 'script'}],
    ['zolvane.tbl', 3758, ascii('00=<00>\n01=<01>\n'), {role: 'insert-table'}],
  ];
  for (const [name, size, head, want] of rows)
    assert.deepEqual(recognise(name, size, head, START), want, name);
  for (const [name, size, head, why] of [
    ['big.png', 100 << 20, png, /big\.png is a PNG picture/],
    ['notes.pdf', 5000, ascii('%PDF-1.7'), /a PDF/],
    ['rom.zip', 4 << 20, bytes(0x50, 0x4B, 0x03, 0x04), /a ZIP archive/],
    ['huge.sfc', 100 << 20, new Uint8Array(16), /no ROM image/],
    ['mid.bin', 1 << 20, new Uint8Array(16), /mid\.bin \(1,048,576 bytes\) is no ROM image/],
  ]) assert.match(recognise(name, size, head, START).refused, why, name);
});

test('files: a pick is refused only for what it cannot be', () => {
  const png = bytes(0x89, 0x50, 0x4E, 0x47);
  for (const [role, name, size, head, why] of [
    ['table', 'pic.png', 5000, png, /pic\.png is a PNG picture, not a glyph table/],
    ['grid0', 'pic.png', 5000, png, /not a grid/],
    ['grid1', 'huge.txt', 100 << 20, ascii('abc'), /holds 104,857,600 bytes: a grid is/],
    ['grid0', 'blob.bin', 600, bytes(1, 0, 2), /is not text/],
    ['rom', 'huge.sfc', 100 << 20, new Uint8Array(4), /no Super Famicom image is larger/],
    ['table', 'empty.tbl', 0, new Uint8Array(0), null],  // loaded, with a warning
    ['rom', 'empty.sfc', 0, new Uint8Array(0), null],
  ]) {
    const got = refusePick(role, name, size, head);
    if (why === null) assert.equal(got, null, name);
    else assert.match(got, why, name);
  }
});

// A store in memory, shared by the tabs of one test; write fails while
// `full` is set.
function memoryStore() {
  const s = {record: null, full: false, writes: 0};
  s.read = () => (s.record ? JSON.parse(JSON.stringify(s.record)) : null);
  s.write = (r) => (s.full ? 'QuotaExceededError' : (s.writes++, (s.record = r), null));
  s.remove = () => { s.record = null; };
  return s;
}
// A workspace over the store; answers holds its answers to questions.
function tab(store, answers = []) {
  const asked = [];
  const ws = new Workspace({
    store, tab: String(Math.random()),
    ask: (q) => (asked.push(q), answers.shift() ?? false),
    pack: (g0, g1) => {
      const t = new Uint8Array(1024);
      if (g0) t.set(g0.subarray(0, 512));
      if (g1) t.set(g1.subarray(0, 512), 512);
      return t;
    },
    grid: (page) => {
      const g = new Uint8Array(544).fill(0x40);
      if (page) g.set(page.subarray(0, 512));
      return g;
    },
  });
  ws.asked = asked;
  return ws;
}
const grid = (fill) => new Uint8Array(544).fill(fill);
const cell = (ws, page) => ws.grids[page][0];

test('workspace: an offer that stands keeps the kept work; restore is one undoable step', () => {
  const store = memoryStore();
  const first = tab(store);
  first.loadGrid(0, grid(1), 'zol_00.txt');
  first.setCell(0, [9, 9]);  // kept, not downloaded
  const kept = store.read();

  const later = tab(store);  // the page opened again
  assert.ok(later.offerKept());
  later.loadGrid(0, grid(2), 'other.txt');  // the offer stands: nothing is kept over it
  assert.deepEqual(store.read(), kept);
  assert.equal(later.saved.state, 'waiting');
  later.restore();
  assert.equal(cell(later, 0), 9);
  assert.ok(later.dirty());
  later.undo();
  assert.equal(cell(later, 0), 2);  // back to the load before the restore
  later.redo();
  assert.equal(cell(later, 0), 9);
  later.undo();  // the edit restored was one step on the kept baseline
  later.redo();
  assert.equal(later.saved.state, 'kept');
});

test('workspace: history survives the other grid\'s load; undoing every edit leaves nothing unsaved', () => {
  const ws = tab(memoryStore());
  ws.loadGrid(0, grid(1), 'zol_00.txt');
  ws.setCell(3, [7, 7]);
  assert.ok(ws.dirty());
  ws.loadGrid(1, grid(5), 'zol_01.txt');
  ws.undo();  // the load
  assert.equal(ws.grids[1], null);
  assert.equal(ws.grids[0][6], 7);
  ws.undo();  // the edit
  assert.equal(ws.grids[0][6], 1);
  assert.equal(ws.dirty(), false);
  // A load over edits not downloaded asks; after a download it does not.
  ws.setCell(3, [7, 7]);
  assert.equal(ws.loadGrid(0, grid(2), 'x.txt'), false);
  assert.equal(ws.asked.length, 1);
  ws.downloaded();
  assert.ok(ws.loadGrid(0, grid(2), 'x.txt'));
  assert.equal(ws.asked.length, 1);
});

test('workspace: declining kept edits that were never downloaded asks first', () => {
  const store = memoryStore();
  const first = tab(store);
  first.loadGrid(0, grid(1), 'zol_00.txt');
  first.setCell(0, [9, 9]);
  for (const [answer, left] of [[false, true], [true, false]]) {
    const later = tab(store, [answer]);
    later.offerKept();
    assert.equal(later.decline(), answer);
    assert.equal(later.asked.length, 1);
    assert.equal(store.read() !== null, left);
  }
});

test('workspace: two tabs: one that would overwrite the other\'s work asks; a failed save stays said', () => {
  const store = memoryStore();
  const a = tab(store);
  const b = tab(store, [false, true]);
  a.loadGrid(0, grid(1), 'zol_00.txt');
  b.loadGrid(0, grid(2), 'zol_00.txt');  // asked: no
  assert.equal(cell({grids: [Uint8Array.from(atob(store.read().grids[0]), (c) => c.charCodeAt(0))]}, 0), 1);
  assert.equal(b.saved.state, 'other-tab');
  b.setCell(0, [4, 4]);  // asked again: yes
  assert.equal(b.asked.length, 2);
  assert.equal(store.read().tab, b.tab);
  b.setCell(1, [5, 5]);  // its own record now: no question
  assert.equal(b.asked.length, 2);

  store.full = true;
  b.setCell(2, [6, 6]);
  assert.deepEqual(b.saved, {state: 'failed', error: 'QuotaExceededError'});
  store.full = false;
  b.undo();
  assert.equal(b.saved.state, 'kept');
});
