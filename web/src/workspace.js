// The workspace: the one owner of the user's work.  It holds the grids (or
// a loaded zol.tbl), every edit of them with undo and redo, what was last
// downloaded, and what is kept in the browser; nothing else writes the
// browser's store.  Nothing is ever kept over work that was not answered
// for: while an offer to restore stands, or once this tab declined to take
// over another's, the work goes to a slot of its own, offered next time.
//
// It knows no page: ask(question) answers yes or no, and the core makes
// tables and grids (pack, gridOfTable, blankGrid, withCell) and names them
// (constants).

const HISTORY = 100;  // edits kept to undo
const KEPT_HISTORY = 20;  // of those, kept in the browser with the work
const same = (a, b) => a === b || (!!a && !!b && a.length === b.length && a.every((x, i) => x === b[i]));
const b64 = (bytes) => (bytes ? btoa(String.fromCharCode(...bytes)) : null);
const unb64 = (text) => (text ? Uint8Array.from(atob(text), (c) => c.charCodeAt(0)) : null);
const MAIN = 'main';

export class Workspace {
  constructor({store, ask, core, tab = String(Math.random()).slice(2), now = () => new Date()}) {
    Object.assign(this, {store, ask, core, tab, now});
    this.grids = [null, null];
    this.table = null;         // a loaded zol.tbl's bytes, while it is the source
    this.names = [...core.constants.gridNames, core.constants.tableName];
    this.baseline = [null, null];  // the grids as last loaded or downloaded
    this.suggested = [];       // entries filled from the font's suggestions, not yet confirmed
    this.font = null;          // the font layout the user set, kept with the work (never undone)
    this.undos = [];
    this.redos = [];
    this.offers = [];          // kept work not yet restored or declined
    this.known = null;         // the record this tab last read or wrote
    this.aside = false;        // this tab keeps its work in its own slot
    this.saved = store.blocked ? {state: 'blocked', error: store.blocked} : {state: 'none'};
    this.listeners = [];
  }

  onChange(fn) { this.listeners.push(fn); }
  changed() { this.listeners.forEach((fn) => fn(this)); }

  // The table the script is decoded with.
  tableBytes() { return this.table ?? this.core.pack(this.grids[0], this.grids[1]); }
  edited(page) { return !same(this.grids[page], this.baseline[page]); }
  dirty() { return this.edited(0) || this.edited(1); }
  hasWork() { return !!(this.grids[0] || this.grids[1] || this.table); }

  // --- changes: edits undoable, loads not; each one kept --------------------
  snapshot() {
    return {grids: [...this.grids], table: this.table, names: [...this.names], baseline: [...this.baseline],
      suggested: [...this.suggested]};
  }
  apply(s) {
    Object.assign(this, {grids: [...s.grids], table: s.table, names: [...s.names], baseline: [...s.baseline],
      suggested: [...(s.suggested ?? [])]});
  }
  // An edit (undoable), or with load a new start that nothing undoes.
  change(to, load = false) {
    if (load) this.undos = [];
    else this.undos = [...this.undos, this.snapshot()].slice(-HISTORY);
    this.redos = [];
    this.apply({...this.snapshot(), ...to});
    this.keep();
    this.changed();
  }
  step(from, to) {
    if (from.length === 0) return;
    to.push(this.snapshot());
    this.apply(from.pop());
    this.keep();
    this.changed();
  }
  undo() { this.step(this.undos, this.redos); }
  redo() { this.step(this.redos, this.undos); }

  // Whether a load may replace the pages' edits that were not downloaded.
  mayReplace(pages, what) {
    const lost = pages.filter((p) => this.edited(p));
    return lost.length === 0 || this.ask(`Your edits to ${lost.map((p) => this.names[p]).join(' and ')} ` +
      `have not been downloaded. Load ${what} over them anyway?`);
  }
  // Loads grids, [[page, bytes, name], ...], in one step.
  loadGrids(list) {
    if (!this.mayReplace(list.map(([p]) => p), list.map(([, , n]) => n).join(' and '))) return false;
    const grids = [...this.grids];
    const names = [...this.names];
    const baseline = [...this.baseline];
    for (const [page, bytes, name] of list) [grids[page], names[page], baseline[page]] = [bytes, name, bytes];
    // The grids are the table's source from now on.
    this.change({grids, names, baseline, table: null, suggested: []}, true);
    return true;
  }
  loadGrid(page, bytes, name) { return this.loadGrids([[page, bytes, name]]); }
  loadTable(bytes, name) {
    if (!this.mayReplace([0, 1], name)) return false;
    const grids = [0, 1].map((p) => this.core.gridOfTable(bytes, p));
    this.change({grids, baseline: [...grids], table: bytes, names: [...this.core.constants.gridNames, name],
      suggested: []}, true);
    return true;
  }
  // A fix or an edit: the grid of page becomes bytes.
  setGrid(page, bytes) {
    const grids = [...this.grids];
    grids[page] = bytes;
    this.change({grids, table: null});
  }
  // Writes a cell's two bytes where glyphpack reads them, on its page: an
  // edit, which confirms it if it was suggested.
  setCell({page, entry}, cell) { this.setCells([{page, entry, cell}]); }
  // Writes cells ([{page, entry, cell}]) in one undoable step; marked as
  // suggested when they come from the font's suggestions, confirmed if not.
  setCells(list, suggested = false) {
    const grids = [...this.grids];
    for (const {page, entry, cell} of list) grids[page] = this.core.withCell(grids[page], entry, cell);
    const mark = new Set(this.suggested);
    for (const {entry} of list) mark[suggested ? 'add' : 'delete'](entry);
    this.change({grids, table: null, suggested: [...mark].sort((a, b) => a - b)});
  }
  // A suggested cell confirmed as it is: one undoable step.
  confirm(entry) { this.change({suggested: this.suggested.filter((e) => e !== entry)}); }
  // The font layout set (kept with the work, outside the history).
  setFont(layout) {
    this.font = layout;
    this.keep();
  }
  // The grids were downloaded: they are the baseline now.
  downloaded() {
    this.baseline = [...this.grids];
    this.keep();
    this.changed();
  }

  // --- the work kept in the browser -----------------------------------------
  // At the start: every kept record is offered back (the main one, and
  // those kept aside), and nothing is kept over them until it is answered.
  offerKept() {
    this.known = this.store.read(MAIN);
    this.offers = this.store.slots().map((slot) => ({...this.store.read(slot), slot}))
      .filter((r) => r.grids?.some((g) => g));
    if (this.offers.length > 0) this.saved = {state: 'waiting'};
    return this.offers;
  }
  // An offer taken: its work and its history, as they were.  The other
  // offers stay kept (the main one moved aside), offered next time.
  restore(slot) {
    const r = this.offers.find((o) => o.slot === slot);
    const main = this.offers.find((o) => o.slot === MAIN);
    if (main && main !== r) this.store.write(`aside.${main.tab}.${main.revision}`, main);
    if (r.slot !== MAIN) this.store.remove(r.slot);
    this.store.remove(this.asideSlot());  // the work it replaces was asked about
    this.offers = [];
    this.known = this.store.read(MAIN);
    const unpack = (s) => ({grids: s.grids.map(unb64), baseline: s.baseline.map(unb64), table: null,
      names: [...s.names, this.names[2]], suggested: s.suggested ?? []});
    this.apply(unpack(r));
    this.font = r.font ?? this.font;
    this.undos = (r.undos ?? []).map(unpack);
    this.redos = (r.redos ?? []).map(unpack);
    this.keep();
    this.changed();
  }
  // Every offer declined: their work is deleted, asked first if never
  // downloaded.
  decline() {
    if (this.offers.some((r) => r.edited?.some((e) => e)) &&
        !this.ask('The kept grids hold edits that were never downloaded. Delete them?')) return false;
    for (const r of this.offers) this.store.remove(r.slot);
    this.store.remove(this.asideSlot());
    this.offers = [];
    this.known = null;
    this.saved = {state: 'none'};
    this.keep();
    this.changed();
    return true;
  }
  // Another tab kept its work.
  foreignSave() {
    if (this.offers.length > 0 || this.aside) return;
    this.saved = {state: 'other-tab', at: this.store.read(MAIN)?.saved};
    this.changed();
  }

  asideSlot() { return `aside.${this.tab}`; }
  // The record kept: the work, and with history its last steps either way.
  record(revision, history) {
    const pack = (s) => ({grids: s.grids.map(b64), baseline: s.baseline.map(b64), names: s.names.slice(0, 2),
      suggested: s.suggested});
    const last = (steps) => (history ? steps.slice(-KEPT_HISTORY).map(pack) : []);
    return {
      tab: this.tab, revision, saved: this.now().toISOString(), ...pack(this), font: this.font,
      edited: [this.edited(0), this.edited(1)], undos: last(this.undos), redos: last(this.redos),
    };
  }
  keep() {
    if (this.store.blocked || !this.hasWork()) return;
    const now = this.store.read(MAIN);
    const other = now && now.tab !== this.tab && (!this.known || now.revision !== this.known.revision);
    if (!this.aside && this.offers.length === 0 && other) {
      // Asked once: a tab that keeps the other's keeps its own aside.
      this.aside = !this.ask(`Another tab kept its grids here at ${new Date(now.saved).toLocaleString()}. ` +
        'Keep this tab\'s instead? (Otherwise this tab\'s are kept aside, and offered with the other\'s next time.)');
    }
    const aside = this.aside || this.offers.length > 0;
    const slot = aside ? this.asideSlot() : MAIN;
    // The work comes first: where the history does not fit, it is kept alone.
    let record = this.record(aside ? 0 : (now?.revision ?? 0) + 1, true);
    let error = this.store.write(slot, record);
    if (error && record.undos.length + record.redos.length > 0) {
      record = this.record(record.revision, false);
      error = this.store.write(slot, record);
    }
    if (error) {
      this.saved = {state: 'failed', error};
    } else if (aside) {
      this.saved = {state: this.aside ? 'aside-other' : 'aside', at: record.saved};
    } else {
      this.known = record;
      this.saved = {state: 'kept', at: record.saved};
    }
  }
}

// The store over localStorage (or anything with its calls): the main
// record under key, the others under key.slot.  write gives an error's
// name, or null.  Where the browser blocks storage, it keeps nothing and
// says so (blocked: the error's name).
export function localStore(storage, key) {
  const at = (slot) => (slot === MAIN ? key : `${key}.${slot}`);
  return {
    blocked: null,
    read(slot) {
      try {
        return JSON.parse(storage.getItem(at(slot)));
      } catch {
        return null;
      }
    },
    write(slot, record) {
      try {
        storage.setItem(at(slot), JSON.stringify(record));
        return null;
      } catch (e) {
        return e.name || 'Error';
      }
    },
    remove(slot) { storage.removeItem(at(slot)); },
    // Every slot that holds a record, the main one first.
    slots() {
      const slots = [];
      for (let i = 0; i < storage.length; ++i) {
        const k = storage.key(i);
        if (k === key) slots.unshift(MAIN);
        else if (k.startsWith(`${key}.`)) slots.push(k.slice(key.length + 1));
      }
      return slots;
    },
  };
}

// The browser's store, or one that keeps nothing where reading
// localStorage throws (site data blocked).
export function browserStore(key, get = () => globalThis.localStorage) {
  try {
    const storage = get();
    storage.getItem(key);
    return localStore(storage, key);
  } catch (e) {
    const name = e?.name || 'Error';
    return {blocked: name, read: () => null, write: () => name, remove() {}, slots: () => []};
  }
}
