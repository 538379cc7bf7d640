// The workspace: the one owner of the user's work.  It holds the grids (or
// a loaded zol.tbl), every change to them with undo and redo, what was
// last downloaded, and what is kept in the browser; nothing else writes
// the store.  Kept work is overwritten only once its offer was answered,
// and never over another tab's without asking.
//
// It knows no page: ask(question) answers yes or no, and the cores'
// pack(grid0, grid1) and grid(page) make tables and grids.

const same = (a, b) => a === b || (!!a && !!b && a.length === b.length && a.every((x, i) => x === b[i]));
const b64 = (bytes) => (bytes ? btoa(String.fromCharCode(...bytes)) : null);
const unb64 = (text) => (text ? Uint8Array.from(atob(text), (c) => c.charCodeAt(0)) : null);

export class Workspace {
  constructor({store, ask, pack, grid, tab = String(Math.random()).slice(2), now = () => new Date()}) {
    Object.assign(this, {store, ask, pack, grid, tab, now});
    this.grids = [null, null];
    this.table = null;         // a loaded zol.tbl's bytes, while it is the source
    this.names = ['zol_00.txt', 'zol_01.txt', 'zol.tbl'];
    this.baseline = [null, null];  // the grids as last loaded or downloaded
    this.undos = [];
    this.redos = [];
    this.offer = null;         // kept work not yet restored or declined
    this.known = null;         // the stored record this tab last read or wrote
    this.saved = {state: 'none'};  // none, kept, waiting, failed, other-tab
    this.listeners = [];
  }

  onChange(fn) { this.listeners.push(fn); }
  changed() { this.listeners.forEach((fn) => fn(this)); }

  // The table the script is decoded with.
  tableBytes() { return this.table ?? this.pack(this.grids[0], this.grids[1]); }
  edited(page) { return !same(this.grids[page], this.baseline[page]); }
  dirty() { return this.edited(0) || this.edited(1); }
  hasWork() { return !!(this.grids[0] || this.grids[1] || this.table); }

  // --- changes: each one undoable, then kept ---------------------------------
  snapshot() {
    return {grids: [...this.grids], table: this.table, names: [...this.names], baseline: [...this.baseline]};
  }
  apply(s) {
    Object.assign(this, {grids: [...s.grids], table: s.table, names: [...s.names], baseline: [...s.baseline]});
  }
  change(to) {
    this.undos.push(this.snapshot());
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
    this.change({grids, names, baseline, table: null});
    return true;
  }
  loadGrid(page, bytes, name) { return this.loadGrids([[page, bytes, name]]); }
  loadTable(bytes, name) {
    if (!this.mayReplace([0, 1], name)) return false;
    const t = new Uint8Array(1024);
    t.set(bytes.subarray(0, 1024));
    const grids = [this.grid(t.subarray(0, 512)), this.grid(t.subarray(512))];
    this.change({grids, baseline: [...grids], table: bytes, names: ['zol_00.txt', 'zol_01.txt', name]});
    return true;
  }
  // A fix or an edit: the grid of page becomes bytes.
  setGrid(page, bytes) {
    const grids = [...this.grids];
    grids[page] = bytes;
    this.change({grids, table: null});
  }
  // Writes a cell's two bytes where glyphpack reads it (line r, byte 2k);
  // a missing or short grid is first made whole from what it packs to.
  setCell(entry, cell) {
    const page = entry >> 8;
    let g = this.grids[page];
    if (!g) {
      g = this.grid(null);  // a blank grid
    } else if (g.length < 542) {
      const whole = this.grid(this.tableBytes().subarray(page * 512, page * 512 + 512));
      whole.set(g);
      g = whole;
    } else {
      g = g.slice();
    }
    g.set(cell, ((entry & 255) >> 4) * 34 + (entry & 15) * 2);
    this.setGrid(page, g);
  }
  // The grids were downloaded: they are the baseline now.
  downloaded() {
    this.baseline = [...this.grids];
    this.keep();
    this.changed();
  }

  // --- the work kept in the browser -----------------------------------------
  // At the start: kept work is offered back, and nothing is kept over it
  // until the offer is answered.
  offerKept() {
    const r = this.store.read();
    this.known = r;
    if (r && r.grids && r.grids.some((g) => g)) {
      this.offer = r;
      this.saved = {state: 'waiting'};
    }
    return this.offer;
  }
  // The offer taken: one undoable step.
  restore() {
    const r = this.offer;
    this.offer = null;
    this.change({grids: r.grids.map(unb64), baseline: r.baseline.map(unb64), table: null,
      names: [...r.names, this.names[2]]});
  }
  // The offer declined: its work is deleted, asked first if never downloaded.
  decline() {
    const r = this.offer;
    if (r.edited?.some((e) => e) &&
        !this.ask('The kept grids hold edits that were never downloaded. Delete them?')) return false;
    this.offer = null;
    this.store.remove();
    this.known = null;
    this.keep();
    this.changed();
    return true;
  }
  // Another tab kept its work.
  foreignSave() {
    if (this.offer) return;
    this.saved = {state: 'other-tab', at: this.store.read()?.saved};
    this.changed();
  }

  keep() {
    if (this.offer) {
      this.saved = {state: 'waiting'};
      return;
    }
    if (!this.hasWork()) return;
    const now = this.store.read();
    const other = now && now.tab !== this.tab && (!this.known || now.revision !== this.known.revision);
    if (other && !this.ask(`Another tab kept its grids here at ${new Date(now.saved).toLocaleString()}. ` +
        'Keep this tab\'s instead? (The other tab\'s would be lost.)')) {
      this.saved = {state: 'other-tab', at: now.saved};
      return;
    }
    const record = {
      tab: this.tab, revision: (now?.revision ?? 0) + 1, saved: this.now().toISOString(),
      grids: this.grids.map(b64), baseline: this.baseline.map(b64), names: this.names.slice(0, 2),
      edited: [this.edited(0), this.edited(1)],
    };
    const error = this.store.write(record);
    if (error) {
      this.saved = {state: 'failed', error};
      return;
    }
    this.known = record;
    this.saved = {state: 'kept', at: record.saved};
  }
}

// The store over localStorage (or anything with its three calls): one
// record under one key.  write gives an error's name, or null.
export function localStore(storage, key) {
  return {
    read() {
      try {
        return JSON.parse(storage.getItem(key));
      } catch {
        return null;
      }
    },
    write(record) {
      try {
        storage.setItem(key, JSON.stringify(record));
        return null;
      } catch (e) {
        return e.name || 'Error';
      }
    },
    remove() { storage.removeItem(key); },
  };
}
