// The page: files in, the grids as a picture to edit, the script traced to
// its codes, the glyphs still to fill, a translation inserted, downloads
// out.  Every rule and every byte comes from the C++ cores (core.js); the
// page's state is the store's (store.js), the user's work the
// workspace's; this file only wires the modules together.
import {createChecks} from './checks.js';
import {loadCore} from './core.js';
import {createDownloads} from './downloads.js';
import {createEditor} from './editor.js';
import {createFill} from './fill.js';
import {createFit} from './fit.js';
import {blankFills, createFont} from './font.js';
import {createGrids} from './grids.js';
import {createInputs} from './inputs.js';
import {createInsert} from './insert.js';
import {createKept} from './kept.js';
import {createScript} from './script.js';
import {createStore} from './store.js';
import {Workspace, browserStore} from './workspace.js';

const doc = document;
const $ = (id) => doc.getElementById(id);
const inlined = (id) => Uint8Array.from(atob($(id).textContent.trim()), (c) => c.charCodeAt(0));
const utf8 = new TextDecoder('utf-8');
const utf8Strict = new TextDecoder('utf-8', {fatal: true});
const KEY = 'zolvane-tools.grids';

// Bytes inlined gzipped (the module, the reference font), as they were.
const gunzip = async (id) => new Uint8Array(await new Response(
  new Blob([inlined(id)]).stream().pipeThrough(new DecompressionStream('gzip'))).arrayBuffer());
const core = await loadCore(await gunzip('zolcore-wasm'));
const c = core.constants;
for (const el of doc.querySelectorAll('[data-name]')) {
  el.textContent = el.dataset.name === 'table' ? c.tableName : c.gridNames[el.dataset.name];
}
const workspace = new Workspace({store: browserStore(KEY), ask: (q) => globalThis.confirm(q), core});
const store = createStore({core, workspace});
const layout = core.cells(new Uint8Array(0)).cells;
let sampleImage = null;  // the image "Load the sample" made
store.decoded = {counts: new Uint32Array(c.entries), cells: layout, table: null};

const announce = (text) => { $('announce').textContent = text; };
const status = (text) => { $('status').textContent = text; };
const grids = createGrids(doc, layout);
const editor = createEditor(doc, {store, grids, announce});
grids.on({pick: (e) => editor.show(e, false), edit: (e) => editor.show(e, true)});
const script = createScript(doc, {
  codes: core.codes, cells: () => store.decoded.cells, announce,
  onTrace: (e) => grids.mark('traced', e >= 0 ? [e] : []),
});
const checks = createChecks(doc, {grids, store});
const fill = createFill(doc, {
  onGo: (e) => {
    grids.cells[e].scrollIntoView({block: 'center'});
    grids.cells[e].focus();
    editor.show(e, false);
  },
});
const kept = createKept(doc, {workspace, key: KEY});
// The reference font, inlined gzipped: handed to the core once, when the
// font is first matched.
let references = null;
const loadReferences = () => references ??= (async () => core.fontReferences(await gunzip('font-refs')))();
let toFill = null;  // the glyphs to fill last listed
// The font's glyphs and suggestions drawn where they show.
function drawGlyphs() {
  doc.documentElement.style.setProperty('--sheet', store.font.url ? `url(${store.font.url})` : 'none');
  grids.glyphs(store.font.inked);
  grids.mark('suggested', workspace.suggested);
  editor.draw();
  if (toFill) fill.draw(toFill, store.decoded.cells, store.font.inked);
  $('fill-suggested').disabled = !store.font.suggestions;
}
const font = createFont(doc, {store, references: loadReferences, onGlyphs: drawGlyphs});
// "Fill blank cells from the suggestions": one undoable step, the cells
// marked as suggested.
$('fill-suggested').addEventListener('click', () => {
  const list = blankFills(store.decoded.cells, [...store.font.suggestions.values()])
    .map(({entry, page, char}) => ({entry, page, cell: core.encode(char).bytes}))
    .filter((f) => f.cell?.length === c.cellBytes);
  $('font-status').textContent = list.length === 0 ? 'No blank cell has a glyph to fill it from.'
    : `Filled ${list.length} blank cell${list.length === 1 ? '' : 's'} from the suggestions (marked until you confirm or edit them; Undo takes them all back).`;
  if (list.length > 0) workspace.setCells(list, true);
});
const insert = createInsert(doc, {store});
const fit = createFit(doc, {store});
const downloads = createDownloads(doc, {store});

// What the user's last pick or drop refused: said, and kept named.
function refuse(why) {
  store.refused.push(why);
  checks.say(why);
  status(why);
}
// A translation's text as UTF-8, or null (and said) when it is not.
function translation(bytes, name) {
  try {
    return utf8Strict.decode(bytes);
  } catch {
    refuse(`${name} is not UTF-8 (a Shift-JIS file?): save it as UTF-8 and pick it again; it was not loaded.`);
    return null;
  }
}
// A file taken in its role; false if it was not.
function take(role, bytes, name, size, file) {
  const translated = role === 'script' || role === 'insert-table';
  const text = translated ? translation(bytes, name) : null;
  if (translated && text === null) return false;
  const had = store.files[role];
  store.files[role] = {name, size, file};
  let taken = true;
  if (role === 'script') store.setScript(text, name);
  else if (role === 'insert-table') store.setInsertTable(text, name);
  else if (role === 'rom') store.setImage(bytes, name);
  else taken = role === 'table' ? workspace.loadTable(bytes, name) : workspace.loadGrid(Number(role[4]), bytes, name);
  if (!taken) store.files[role] = had;
  return taken;
}
const inputs = createInputs(doc, {
  limits: c, take,
  begin: () => { store.refused = []; },
  refuse,
});

// The bar's grids and table are the workspace's (an undo, a restore, a fix
// change them), each at its size now; a file read keeps its button to read
// it again.
function barOfWork() {
  const named = (role, name, size) => {
    const had = store.files[role];
    store.files[role] = {name, size, file: had?.name === name ? had.file : null};
  };
  for (const p of [0, 1]) {
    const g = workspace.table ? null : workspace.grids[p];
    if (g) named(`grid${p}`, workspace.names[p], g.length);
    else delete store.files[`grid${p}`];
  }
  if (workspace.table) named('table', workspace.names[2], store.files.table?.size ?? workspace.table.length);
  else delete store.files.table;
}

// Everything drawn again from the state.
let drawn = 0;
function draw() {
  const table = workspace.tableBytes();
  const {cells, thingy} = core.cells(table);
  const counts = new Uint32Array(c.entries);
  const img = store.imageBytes();
  if (img) {
    const walk = core.trace(img);
    for (let i = 1; i < walk.codes.length; i += 2) {
      const e = core.codes[walk.codes[i]].entry;
      if (e >= 0) counts[e] += 1;
    }
    script.draw(utf8.decode(core.script(img, table, true, false)), walk, core.units(table));
    status(`Decoded ${(walk.codes.length / 2).toLocaleString('en')} codes of the text window` +
      (walk.eof ? '; the image ends inside the window ([EOF]).' : '.'));
  }
  store.decoded = {counts, cells, table};
  grids.draw(cells, counts);
  checks.check(thingy);
  editor.draw();
  insert.fillChoices(cells);
  insert.draw();
  fit.draw();
  // (The sample's English goes only into the sample's image.)
  $('insert-sample').hidden = store.image?.bytes !== sampleImage || !sampleImage;
  downloads.draw();
  kept.draw();
  barOfWork();
  font.draw();
  grids.mark('suggested', workspace.suggested);
  inputs.drawLoaded(store.files, (p) => workspace.edited(p));
  // The glyphs to fill come once the rest is drawn.
  const mine = ++drawn;
  fill.clear();
  toFill = null;
  setTimeout(() => {
    if (mine !== drawn) return;
    if (img) {
      toFill = core.toFill(img, table);
      fill.draw(toFill, cells, store.font.inked);
    }
    doc.body.dataset.drawn = String(mine);
  });
}
store.onChange(draw);

$('load-sample').addEventListener('click', () => {
  const g = [inlined('sample-grid0'), inlined('sample-grid1')];
  if (!workspace.loadGrids(g.map((bytes, p) => [p, bytes, c.gridNames[p]]))) return;
  const image = core.sampleImage(utf8.decode(inlined('sample-scene')));
  store.files.rom = {name: 'sample.sfc', size: image.length, file: null};
  sampleImage = image;
  store.setImage(image, 'sample.sfc');
});
// The sample's English, natural, made to fit in pairs with the grids' own
// table and the sample's font.
$('insert-sample').addEventListener('click', () => {
  delete store.files['insert-table'];
  store.setInsertion({
    script: {text: utf8.decode(inlined('sample-english')), name: 'english.atlas.txt'},
    table: null, fit: true, fitLayout: '2bpp:0xC8000:0xCC000',
  });
});

kept.offer();
draw();
doc.body.dataset.ready = 'true';
