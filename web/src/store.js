// The page's state, in one place: the workspace (the grids, the user's
// work), the image, the files the bar names, what the last pick refused,
// the translation to insert and what inserting it gave.  Every module
// reads it here and changes it through it; each change draws the page
// again (onChange).  What is worked out from it (the decoded table, the
// insertion) is worked out by the core, once per change of its inputs.

export function createStore({core, workspace}) {
  const listeners = [];
  const store = {
    core,
    workspace,
    image: null,        // {bytes, name, skipHeader, view}
    files: {},          // role -> {name, size, file}: what the bar shows
    refused: [],        // what the user's last pick or drop refused, named
    font: {             // what the core gave for the font layout (the workspace's) and the image
      url: null,        // every entry's glyph as one picture (32 x 16 glyphs), or null
      inked: null,      // 512 bytes: 1 where entry e has a glyph in the image
      glyphs: null,     // 512 glyphs as 1bpp, 32 bytes each
      sheetKey: null,   // the [image, layout] they are for
      suggestions: null,  // entry -> {entry, code, chars}, or null until worked out
      key: null,        // the [image, layout] the suggestions are for
      suggestMs: 0,     // how long the core took to work them out
    },
    insertion: {
      script: null,     // {text, name}
      table: null,      // {text, name}: a Thingy table picked, or none
      fill: -1,         // the page's "Pad shorter lines with", or -1
      asAtlas: false,   // the page's "Insert as Atlas does"
      fit: false,       // the page's "Make it fit": English in pairs
      fitLayout: '',    // its font layout, or '' for the font panel's
      key: null,        // the inputs the report below is for
      report: null,     // the core's {ok, blocks, problems}
      fitted: null,     // with fit, the core's whole fit (fit_api.cpp)
    },

    onChange(fn) { listeners.push(fn); },
    changed() { listeners.forEach((fn) => fn(store)); },

    // The image as decoded: without its copier header when that is asked.
    // The same view each call while the image and that choice stand, so
    // that what is worked out from it is not worked out again.
    imageBytes() {
      const i = store.image;
      if (!i) return null;
      i.view ??= i.skipHeader ? i.bytes.subarray(core.constants.headerBytes) : i.bytes;
      return i.view;
    },
    setImage(bytes, name) {
      store.image = {bytes, name, skipHeader: false, view: null};
      store.changed();
    },
    skipHeader(on) {
      store.image.skipHeader = on;
      store.image.view = null;
      store.changed();
    },
    setScript(text, name) {
      store.insertion.script = {text, name};
      store.changed();
    },
    setInsertTable(text, name) {
      store.insertion.table = {text, name};
      store.changed();
    },
    setFill(fill) {
      store.insertion.fill = fill;
      store.changed();
    },
    setAsAtlas(on) {
      store.insertion.asAtlas = on;
      store.changed();
    },
    // Sets several of the insertion's inputs at once ({script, table, fit,
    // fitLayout, ...}), drawn once.
    setInsertion(fields) {
      Object.assign(store.insertion, fields);
      store.changed();
    },
    // The font layout "Make it fit" draws with: its own, or the font panel's.
    fitLayout() {
      return store.insertion.fitLayout || workspace.font || '';
    },

    // The Thingy table the insertion uses: the one picked, or the one the
    // grids make.
    thingy() {
      const t = store.insertion.table;
      return t ? t.text : new TextDecoder('utf-8').decode(core.thingy(workspace.tableBytes()));
    },
    // The insertion's report for the state now, or null when there is
    // nothing to insert; inserted again only when its inputs changed.
    inserted() {
      const ins = store.insertion;
      const img = store.imageBytes();
      if (!img || !ins.script) return null;
      const thingy = store.thingy();
      const layout = ins.fit ? store.fitLayout() : null;
      const key = [img, ins.script.text, thingy, ins.fill, ins.asAtlas, layout];
      if (!ins.key || key.some((k, i) => k !== ins.key[i])) {
        ins.fitted = layout === null ? null : core.fit(img, ins.script.text, thingy, layout, ins.fill, ins.asAtlas);
        ins.report = layout === null ? core.insert(img, ins.script.text, thingy, ins.fill, ins.asAtlas)
          : ins.fitted.layout ? ins.fitted.insertion : null;
        ins.key = key;
      }
      return ins.report;
    },
    // Whether what the insertion made may be downloaded: it went in, and
    // with "Make it fit" its glyphs found room too.
    insertedOk() {
      const r = store.inserted();
      return Boolean(r?.ok && (!store.insertion.fitted || store.insertion.fitted.ok));
    },
    // The patched image or the BPS patch of the insertion reported.
    patched(bps) {
      store.inserted();
      const img = store.imageBytes();
      return store.insertion.fitted ? core.fitFile(img, bps ? 'bps' : 'patched') : core.patched(img, bps);
    },
    // A file "Make it fit" made: 'table', 'grid0', 'grid1', 'patched', 'bps'.
    fitFile(which) {
      store.inserted();
      return core.fitFile(store.imageBytes(), which);
    },
  };
  workspace.onChange(() => store.changed());
  return store;
}
