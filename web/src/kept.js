// The work kept in the browser, as the user sees it: the offer to restore
// it, #saved saying whether the work is kept (a failed save stays said
// until one succeeds), a warning before leaving with edits not downloaded,
// and word from other tabs.
export function createKept(doc, {workspace, key}) {
  const $ = (id) => doc.getElementById(id);
  const when = (iso) => new Date(iso).toLocaleString();

  function draw() {
    const s = workspace.saved;
    const edits = workspace.dirty() ? ' Edits not downloaded are kept too.' : '';
    $('saved').textContent = {
      none: 'Nothing to keep yet.',
      kept: `Kept in this browser (${s.at && when(s.at)}).${edits}`,
      waiting: 'Not kept yet: this browser holds earlier work, offered above. Restore it or start afresh, and the work is kept from then on.',
      failed: `Not kept: this browser refused to keep the grids (${s.error}). Download them to keep your work.`,
      'other-tab': `Not kept here: another tab kept its grids${s.at ? ` (${when(s.at)})` : ''}. The next change asks before replacing them.`,
    }[s.state];
    $('saved').dataset.state = s.state;
  }

  function offer() {
    const r = workspace.offerKept();
    if (!r) return;
    $('restore-text').textContent = `This browser kept the grids you last worked on (${when(r.saved)}` +
      `${r.edited?.some((e) => e) ? ', with edits not downloaded' : ''}). Restore them?`;
    $('restore').hidden = false;
  }
  $('restore-yes').addEventListener('click', () => {
    if (!workspace.mayReplace([0, 1], 'the kept grids')) return;
    $('restore').hidden = true;
    workspace.restore();
  });
  $('restore-no').addEventListener('click', () => {
    if (workspace.decline()) $('restore').hidden = true;
  });
  globalThis.addEventListener('storage', (ev) => {
    if (ev.key === key) workspace.foreignSave();
  });
  globalThis.addEventListener('beforeunload', (ev) => {
    if (!workspace.dirty()) return;
    ev.preventDefault();
    ev.returnValue = '';
  });
  return {draw, offer};
}
