// Downloads, byte for byte what the programs write: with the line ends of
// msgdump (LF) or msgdump.exe (CR LF), as the core writes them, where
// those are the system's; LF for the Atlas script and the Thingy table
// everywhere.  The grids, the table and the Thingy table are there from a
// blank start; the script needs an image.
export function save(doc, name, data) {
  const url = URL.createObjectURL(new Blob([data], {type: 'application/octet-stream'}));
  const a = doc.createElement('a');
  a.href = url;
  a.download = name;
  doc.body.appendChild(a);
  a.click();
  a.remove();
  setTimeout(() => URL.revokeObjectURL(url), 10000);
}

export function createDownloads(doc, {store}) {
  const $ = (id) => doc.getElementById(id);
  const {core, workspace} = store;
  const c = core.constants;
  $('line-ends').value = /Windows/.test(globalThis.navigator?.userAgent ?? '') ? 'crlf' : 'lf';
  const crlf = () => $('line-ends').value === 'crlf';
  const img = () => store.imageBytes();
  const table = () => workspace.tableBytes();
  // The grids as downloaded (a missing one blank), and the tables they make.
  const grids = () => workspace.grids.map((g) => g ?? core.blankGrid());
  const packed = () => workspace.table ?? core.pack(...grids());
  // Each button's files, made only when it is pressed: [[name, bytes], ...].
  const files = {
    'download-script': () => [['script.txt', core.script(img(), table(), false, crlf())]],
    'download-script-utf8': () => [['script.utf8.txt', core.script(img(), table(), true, crlf())]],
    'download-atlas': () => [['script.atlas.txt', core.atlas(img(), table())]],
    'download-thingy': () => [['zolvane.tbl', core.thingy(packed())]],
    'download-table': () => [[c.tableName, core.pack(...grids())]],
    'download-grids': () => grids().map((g, p) => [c.gridNames[p], g]),
  };
  for (const [id, made] of Object.entries(files)) {
    $(id).addEventListener('click', () => {
      for (const [name, data] of made()) save(doc, name, data);
      if (id === 'download-table' || id === 'download-grids') workspace.downloaded();
    });
  }
  return {
    // The downloads that need an image wait for one.
    draw() {
      for (const id of ['download-script', 'download-script-utf8', 'download-atlas']) $(id).disabled = !store.image;
    },
  };
}
