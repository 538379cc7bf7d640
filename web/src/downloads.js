// Downloads, byte for byte what the programs write: with the line ends of
// msgdump (LF) or msgdump.exe (CR LF) where those are the system's, LF for
// the Atlas script and the Thingy table everywhere.
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

// Every LF as CR LF, as a text-mode stream on Windows writes it.
function crlf(bytes) {
  const out = [];
  for (const b of bytes) {
    if (b === 0x0A) out.push(0x0D);
    out.push(b);
  }
  return new Uint8Array(out);
}

// what() gives the bytes each button downloads: {script, utf8, atlas,
// thingy, table, grids: [g0, g1]}, computed only when pressed; downloaded()
// is told when the grids or the table were saved.
export function createDownloads(doc, {what, downloaded}) {
  const $ = (id) => doc.getElementById(id);
  $('line-ends').value = /Windows/.test(globalThis.navigator?.userAgent ?? '') ? 'crlf' : 'lf';
  const native = (b) => ($('line-ends').value === 'crlf' ? crlf(b) : b);
  const files = {
    'download-script': () => [['script.txt', native(what().script)]],
    'download-script-utf8': () => [['script.utf8.txt', native(what().utf8)]],
    'download-atlas': () => [['script.atlas.txt', what().atlas]],
    'download-thingy': () => [['zolvane.tbl', what().thingy]],
    'download-table': () => [['zol.tbl', what().table]],
    'download-grids': () => what().grids.map((g, p) => [`zol_0${p}.txt`, g]),
  };
  for (const [id, made] of Object.entries(files)) {
    $(id).addEventListener('click', () => {
      for (const [name, data] of made()) save(doc, name, data);
      if (id === 'download-table' || id === 'download-grids') downloaded();
    });
  }
  return {
    // Which downloads there is something for.
    enable({image, table}) {
      for (const id of ['download-table', 'download-grids', 'download-thingy']) $(id).disabled = !table;
      for (const id of ['download-script', 'download-script-utf8', 'download-atlas']) $(id).disabled = !image;
    },
  };
}
