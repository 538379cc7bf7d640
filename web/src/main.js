// The page: files in, the grids as a picture to edit, the script traced to
// its codes, the glyphs still to fill, a translation inserted, downloads
// out.  Every rule and every byte comes from the C++ cores (core.js); the
// workspace owns the user's work; this file wires the rest together.
import {createChecks} from './checks.js';
import {entryOfCode, loadCore} from './core.js';
import {createDownloads, save} from './downloads.js';
import {createEditor} from './editor.js';
import {createFill} from './fill.js';
import {createGrids} from './grids.js';
import {createInputs} from './inputs.js';
import {createInsert} from './insert.js';
import {createKept} from './kept.js';
import {createScript} from './script.js';
import {Workspace, localStore} from './workspace.js';

const doc = document;
const $ = (id) => doc.getElementById(id);
const inlined = (id) => Uint8Array.from(atob($(id).textContent.trim()), (c) => c.charCodeAt(0));
const utf8 = new TextDecoder('utf-8');
const KEY = 'zolvane-tools.grids';

const core = await loadCore(inlined('zolcore-wasm'));
const c = core.constants;
const workspace = new Workspace({
  store: localStore(globalThis.localStorage, KEY), ask: (q) => globalThis.confirm(q),
  pack: core.pack, grid: core.grid,
});
const files = {};  // role -> {name, size, file}: what the bar shows
let image = null;  // {bytes, name, skipHeader}
let decoded = {counts: new Uint32Array(512), cells: [], table: null};
let refused = [];  // what the user's last pick or drop refused, named

const announce = (text) => { $('announce').textContent = text; };
const status = (text) => { $('status').textContent = text; };
const grids = createGrids(doc, {onPick: (e) => editor.show(e, false), onEdit: (e) => editor.show(e, true)});
const editor = createEditor(doc, {core, grids, workspace, counts: () => decoded.counts, announce});
const script = createScript(doc, {onTrace: (e) => grids.mark('traced', e >= 0 ? [e] : []), announce});
const checks = createChecks(doc, {grids});
const fill = createFill(doc, {
  onGo: (e) => {
    grids.cells[e].scrollIntoView({block: 'center'});
    grids.cells[e].focus();
    editor.show(e, false);
  },
});
const kept = createKept(doc, {workspace, key: KEY});
const imageBytes = () => (image.skipHeader ? image.bytes.subarray(512) : image.bytes);
const insert = createInsert(doc, {
  core,
  source: () => ({
    image: image && imageBytes(), imageName: image?.name, skipHeader: image?.skipHeader,
    hints: image && core.imageHints(image.bytes.length), table: decoded.table,
  }),
});
const downloads = createDownloads(doc, {
  what: () => ({
    script: core.script(imageBytes(), decoded.table, false),
    utf8: core.script(imageBytes(), decoded.table, true),
    atlas: core.atlas(imageBytes(), decoded.table),
    thingy: core.thingy(decoded.table),
    table: core.pack(workspace.grids[0], workspace.grids[1]),
    grids: workspace.grids.map((g) => g ?? core.grid(null)),
  }),
  downloaded: () => workspace.downloaded(),
});

// The bar's grids and table are the workspace's (an undo, a restore change
// them); a file read keeps its button to read it again.
function barOfWork() {
  const named = (role, name, size) => {
    const had = files[role];
    files[role] = had?.name === name ? had : {name, size, file: null};
  };
  for (const p of [0, 1]) {
    const g = workspace.table ? null : workspace.grids[p];
    if (g) named(`grid${p}`, workspace.names[p], g.length);
    else delete files[`grid${p}`];
  }
  if (workspace.table) named('table', workspace.names[2], workspace.table.length);
  else delete files.table;
}

// Everything drawn again from the state.
let drawn = 0;
function refresh() {
  const table = workspace.tableBytes();
  const {cells, thingy} = core.cells(table);
  const counts = new Uint32Array(512);
  if (image) {
    const img = imageBytes();
    const trace = core.trace(img);
    for (let i = 1; i < trace.length; i += 2) {
      const e = entryOfCode(trace[i]);
      if (e >= 0) counts[e] += 1;
    }
    script.draw(utf8.decode(core.script(img, table, true)), trace, core.units(table));
    const eof = core.imageHints(img.length).insideWindow || img.length <= c.windowStart;
    status(`Decoded ${(trace.length / 2).toLocaleString('en')} codes of the text window` +
      (eof ? '; the image ends inside the window ([EOF]).' : '.'));
  }
  decoded = {counts, cells, table};
  grids.draw(cells, counts);
  checks.check({
    image: image && {name: image.name, size: image.bytes.length, skipHeader: image.skipHeader,
      hints: core.imageHints(image.bytes.length)},
    grids: workspace.grids.map((g, p) => g && {name: workspace.names[p], findings: core.gridFindings(g, p)}),
    table: workspace.table && {name: workspace.names[2], size: files.table?.size ?? workspace.table.length, thingy},
  }, {
    skipHeader: (on) => { image.skipHeader = on; refresh(); },
    headerless: () => save(doc, image.name.replace(/\.[^.]*$/, '') + '.sfc', image.bytes.subarray(512)),
    convert: (page) => {
      const r = core.gridFromUtf8(workspace.grids[page]);
      workspace.setGrid(page, r.bytes);
      if (r.lost) checks.say(`${workspace.names[page]}: ${[...r.lost].join(' ')} ha${[...r.lost].length > 1 ? 've' : 's'} no Shift-JIS code and became ？.`);
    },
    lineEnds: (page) => workspace.setGrid(page, core.fixLineEnds(workspace.grids[page])),
  }, c);
  refused.forEach((why) => checks.say(why));
  editor.refresh((e) => (cells[e].empty ? '' : cells[e].text));
  insert.fillChoices(cells);
  insert.run();
  downloads.enable({image: !!image, table: workspace.hasWork()});
  kept.draw();
  barOfWork();
  inputs.drawLoaded(files, (p) => workspace.edited(p));
  // The glyphs to fill come once the rest is drawn.
  const mine = ++drawn;
  fill.clear();
  setTimeout(() => {
    if (mine !== drawn) return;
    if (image) fill.draw(core.toFill(imageBytes(), table), cells);
    doc.body.dataset.drawn = String(mine);
  });
}
workspace.onChange(refresh);

// A file taken in its role; false if it was not.
function take(role, bytes, name, size, file) {
  if (role === 'script') insert.setScript(utf8.decode(bytes), name);
  else if (role === 'insert-table') insert.setTable(utf8.decode(bytes), name);
  else if (role === 'rom') image = {bytes, name, skipHeader: false};
  else if (!(role === 'table' ? workspace.loadTable(bytes, name) : workspace.loadGrid(Number(role[4]), bytes, name)))
    return false;
  files[role] = {name, size, file};
  if (role === 'rom') refresh();
  return true;
}
const inputs = createInputs(doc, {
  windowStart: c.windowStart, take,
  begin: () => { refused = []; },
  refuse: (why) => {
    refused.push(why);
    checks.say(why);
    status(why);
  },
});

$('load-sample').addEventListener('click', () => {
  const g = [inlined('sample-grid0'), inlined('sample-grid1')];
  if (!workspace.loadGrids([[0, g[0], 'zol_00.txt'], [1, g[1], 'zol_01.txt']])) return;
  image = {bytes: core.sampleImage(utf8.decode(inlined('sample-scene'))), name: 'sample.sfc', skipHeader: false};
  files.rom = {name: 'sample.sfc', size: image.bytes.length, file: null};
  $('insert-sample').hidden = false;
  refresh();
});
$('insert-sample').addEventListener('click', () => {
  insert.setTable(utf8.decode(inlined('sample-english-table')), 'english.tbl');
  insert.setScript(utf8.decode(inlined('sample-english')), 'english.atlas.txt');
});

refresh();
kept.offer();
kept.draw();
doc.body.dataset.ready = 'true';
