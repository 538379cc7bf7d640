// The page's pure modules without a browser, over the real core: what a
// file is taken for, and the workspace's promises (kept work never lost,
// undo that holds, two tabs that ask once).
//   ZOL_CORE=.../zolcore.js node --test units.test.mjs
import {test} from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import {createRequire} from 'node:module';
import {loadCore} from '../src/core.js';
import {recognise, refusePick} from '../src/files.js';
import {blankFills, codeWords} from '../src/font.js';
import {Workspace, browserStore} from '../src/workspace.js';

const zolcore = process.env.ZOL_CORE;
const core = await loadCore(fs.readFileSync(zolcore.replace(/\.js$/, '.wasm')), createRequire(import.meta.url)(zolcore));
const limits = core.constants;
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
    ['notes.txt', 528, grid, {role: 'grid', page: null}],  // LF line ends
    ['notes.txt', 1150, grid, {role: 'grid', page: null}],  // UTF-8
    ['script.atlas.txt', 9000, ascii('\uFEFF// The text window\n#VAR(Script, TABLE)'), {role: 'script'}],
    ['mine.txt', 50, ascii('\n\n#JMP($2EF800, $2EF80B)\n'), {role: 'script'}],
    ['zolvane.tbl', 3758, ascii('00=<00>\n01=<01>\n'), {role: 'insert-table'}],
  ];
  for (const [name, size, head, want] of rows)
    assert.deepEqual(recognise(name, size, head, limits), want, name);
  for (const [name, size, head, why] of [
    ['big.png', 100 << 20, png, /big\.png is a PNG picture/],
    ['notes.pdf', 5000, ascii('%PDF-1.7'), /a PDF/],
    ['rom.zip', 4 << 20, bytes(0x50, 0x4B, 0x03, 0x04), /a ZIP archive/],
    ['huge.sfc', 100 << 20, new Uint8Array(16), /no ROM image/],
    ['mid.bin', 1 << 20, new Uint8Array(16), /mid\.bin \(1,048,576 bytes\) is no ROM image/],
    ['notes.txt', 16, ascii('call the printer'), /notes\.txt \(16 bytes\) is too small to be a grid/],
    ['notes.txt', 1300, ascii('a'), /too large to be a grid/],
  ]) assert.match(recognise(name, size, head, limits).refused, why, name);
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

// A store in memory, shared by the tabs of one test, as localStorage
// holds records; write fails while `full` is set.
function memoryStore() {
  const s = {records: new Map(), full: false, blocked: null};
  s.read = (slot) => (s.records.has(slot) ? JSON.parse(s.records.get(slot)) : null);
  s.write = (slot, r) => (s.full ? 'QuotaExceededError' : (s.records.set(slot, JSON.stringify(r)), null));
  s.remove = (slot) => s.records.delete(slot);
  s.slots = () => [...s.records.keys()].sort((a, b) => (b === 'main') - (a === 'main'));
  return s;
}
// A workspace over the store and the real core; answers holds its answers
// to questions.
function tab(store, answers = []) {
  const asked = [];
  const ws = new Workspace({store, core, tab: String(Math.random()), ask: (q) => (asked.push(q), answers.shift() ?? false)});
  ws.asked = asked;
  return ws;
}
const grid = (fill) => new Uint8Array(544).fill(fill);
const cell = (ws, page, k = 0) => ws.grids[page][2 * k];
const edit = (ws, entry, b) => ws.setCell({entry, page: entry >> 8}, [b, b]);

test('workspace: edits go where glyphpack reads them; a short grid is made whole from what it packs to', () => {
  const ws = tab(memoryStore());
  for (const [page, g, entry, at, length] of [
    [0, grid(0x41), 0x23, 2 * 34 + 3 * 2, 544],  // row 2, column 3
    [1, grid(0x41), 0x1FF, 15 * 34 + 15 * 2, 544],  // the last cell
    [0, grid(0x41).subarray(0, 100), 0x35, 3 * 34 + 5 * 2, 544],
    [1, null, 0x100, 0, 544],  // none: a blank grid
  ]) {
    ws.grids[page] = g;
    edit(ws, entry, 7);
    const got = ws.grids[page];
    assert.equal(got.length, length, `${entry}`);
    assert.deepEqual([got[at], got[at + 1]], [7, 7], `${entry}`);
    assert.equal(core.pack(...ws.grids)[2 * entry], 7, `${entry} packs`);
  }
});

test('workspace: a load is no edit to undo; undo after a reload takes back the last edit', () => {
  const store = memoryStore();
  const first = tab(store);
  first.loadGrid(0, grid(1), 'zol_00.txt');
  assert.equal(first.undos.length, 0);
  edit(first, 0, 9);
  edit(first, 1, 8);
  const later = tab(store);  // the page opened again
  assert.equal(later.offerKept().length, 1);
  later.restore('main');
  assert.equal(cell(later, 0, 1), 8);
  later.undo();
  assert.deepEqual([cell(later, 0, 0), cell(later, 0, 1)], [9, 1]);
  later.undo();
  assert.equal(later.dirty(), false);
  later.redo();
  assert.equal(later.saved.state, 'kept');
});

test('workspace: work made while an offer stands is kept aside; both are offered, and neither is lost', () => {
  const store = memoryStore();
  const first = tab(store);
  first.loadGrid(0, grid(1), 'zol_00.txt');
  edit(first, 0, 9);
  const kept = store.read('main');
  const second = tab(store);
  second.offerKept();
  second.loadGrid(0, grid(2), 'other.txt');
  edit(second, 0, 5);  // the offer stands: kept aside
  assert.deepEqual(store.read('main'), kept);
  assert.equal(second.saved.state, 'aside');
  const third = tab(store, [true]);
  assert.equal(third.offerKept().length, 2);
  third.restore(third.offers[1].slot);  // the work made beside the offer
  assert.equal(cell(third, 0), 5);
  edit(third, 1, 6);
  const fourth = tab(store, [true]);
  const offers = fourth.offerKept();
  assert.equal(offers.length, 2);  // the first's edit is still offered
  fourth.restore(offers.find((o) => o.slot !== 'main').slot);
  assert.equal(cell(fourth, 0), 9);
  // Start afresh: every offer gone, asked once for the edits never downloaded.
  const fifth = tab(store, [true]);
  fifth.offerKept();
  assert.ok(fifth.decline());
  assert.equal(fifth.asked.length, 1);
  assert.deepEqual(store.slots(), []);
  assert.equal(fifth.saved.state, 'none');
});

test('workspace: a tab that declines to take over asks once and keeps its work aside; a failed or blocked store is said', () => {
  const store = memoryStore();
  const a = tab(store);
  const b = tab(store, [false]);
  a.loadGrid(0, grid(1), 'zol_00.txt');
  b.loadGrid(0, grid(2), 'zol_00.txt');  // asked: no
  edit(b, 0, 4);
  edit(b, 1, 5);
  assert.equal(b.asked.length, 1);
  assert.equal(store.read('main').tab, a.tab);
  assert.equal(b.saved.state, 'aside-other');
  assert.equal(JSON.parse(JSON.stringify(store.read(`aside.${b.tab}`))).tab, b.tab);

  store.full = true;
  edit(a, 2, 6);
  assert.deepEqual(a.saved, {state: 'failed', error: 'QuotaExceededError'});
  store.full = false;
  a.undo();
  assert.equal(a.saved.state, 'kept');

  const blocked = browserStore('k', () => { throw new DOMException('denied', 'SecurityError'); });
  const c = tab(blocked);
  c.loadGrid(0, grid(1), 'zol_00.txt');
  edit(c, 0, 3);
  assert.deepEqual(c.saved, {state: 'blocked', error: 'SecurityError'});
  assert.equal(cell(c, 0), 3);
});

test('font: blank and empty cells a code shows are filled from their first suggestion; typed codes match the core\'s names', () => {
  const cell = (over) => ({page: 0, reachable: true, control: false, blank: false, empty: false, ...over});
  const cells = {
    16: cell({blank: true}), 17: cell({empty: true}), 18: cell({}),  // 18 holds a character
    19: cell({blank: true, control: true}), 20: cell({blank: true, reachable: false}), 21: cell({blank: true}),
    300: cell({page: 1, blank: true}),
  };
  const s = (entry, chars = ['あ', 'ぁ']) => ({entry, chars});
  const fills = blankFills(cells, [s(16), s(17), s(18), s(19), s(20), s(21, []), s(300, ['森'])]);
  assert.deepEqual(fills, [{entry: 16, page: 0, char: 'あ'}, {entry: 17, page: 0, char: 'あ'}, {entry: 300, page: 1, char: '森'}]);
  // "This glyph is code XX": where the page must start for the glyph clicked to be that code's.
  for (const [format, entry, at, want] of [
    [1, 16, 0xC8000, {ok: true, offset: 0xC8000, kanji: false}],
    [1, 17, 0xC8040, {ok: true, offset: 0xC8000, kanji: false}],
    [0, 255, 0x2000, {ok: true, offset: 0x2000 - 239 * 32, kanji: false}],
    [2, 256, 0x100, {ok: true, offset: 0x100, kanji: true}],  // 0xFF 0x01
    [1, 258, 0xCC080, {ok: true, offset: 0xCC000, kanji: true}],
    [1, 17, 0x20, {ok: false}],  // before the image's start
    [1, 15, 0x1000, {ok: false}],  // a control code has no glyph
  ]) assert.deepEqual(core.fontPlace(format, entry, at), want, `${format} ${entry}`);
  const entryOf = (typed) => core.codes.findIndex((c) => c.entry >= 0 && codeWords(c.name) === codeWords(typed));
  for (const [typed, index] of [['3A', 0x3A], ['0x3a', 0x3A], ['FF01', 257], ['0xFF 0x01', 257], ['ff 1', -1]])
    assert.equal(entryOf(typed), index, typed);
});

test('workspace: cells filled from suggestions are one undoable step, marked until edited or confirmed, kept with the font layout', () => {
  const store = memoryStore();
  const ws = tab(store);
  ws.loadGrid(0, grid(1), 'zol_00.txt');
  ws.setFont('2bpp:0xC8000:0xCC000');
  const before = ws.grids.map((g) => g && [...g]);
  ws.setCells([{page: 0, entry: 16, cell: [0x82, 0xA0]}, {page: 0, entry: 17, cell: [0x82, 0xA2]},
    {page: 1, entry: 256, cell: [0x88, 0xEA]}], true);
  assert.equal(ws.undos.length, 1);
  assert.deepEqual(ws.suggested, [16, 17, 256]);
  edit(ws, 16, 9);  // an edit confirms
  ws.confirm(256);
  assert.deepEqual(ws.suggested, [17]);
  const later = tab(store);  // the page opened again: marks, history and layout come back
  later.offerKept();
  later.restore('main');
  assert.deepEqual([later.suggested, later.font], [[17], '2bpp:0xC8000:0xCC000']);
  later.undo();
  later.undo();
  later.undo();
  assert.deepEqual([later.grids.map((g) => g && [...g]), later.suggested], [before, []]);
  later.loadGrid(0, grid(2), 'zol_00.txt');
  assert.deepEqual(later.suggested, []);
  // Work kept before there were marks and layouts restores as it was.
  const old = memoryStore();
  old.write('main', {tab: 'x', revision: 1, saved: new Date().toISOString(), grids: [btoa('\x82\xA0'), null],
    baseline: [null, null], names: ['zol_00.txt', 'zol_01.txt'], edited: [true, false], undos: [], redos: []});
  const older = tab(old);
  older.offerKept();
  older.restore('main');
  assert.deepEqual([older.suggested, older.font, older.grids[0][0]], [[], null, 0x82]);
});
