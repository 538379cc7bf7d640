// The work kept in the browser, as the user sees it: the offer to restore
// it (every record kept, the main one and those kept aside), #saved saying
// whether and where the work is kept (a failed save stays said until one
// succeeds; blocked storage is said at once), a warning before leaving
// with edits not downloaded, and word from other tabs.
export function createKept(doc, {workspace, key}) {
  const $ = (id) => doc.getElementById(id);
  const when = (iso) => new Date(iso).toLocaleString();

  function draw() {
    const s = workspace.saved;
    const edits = workspace.dirty() ? ' Edits not downloaded are kept too.' : '';
    $('saved').textContent = {
      none: workspace.hasWork() ? 'Not kept yet.' : 'Nothing to keep yet.',
      kept: `Kept in this browser (${s.at && when(s.at)}).${edits}`,
      waiting: 'Not kept yet: this browser holds earlier work, offered above. Whatever you do now is kept beside it, and offered with it next time.',
      aside: `Kept in this browser beside the earlier work offered above (${s.at && when(s.at)}); both are offered next time.${edits}`,
      'aside-other': `Kept in this browser beside another tab's grids (${s.at && when(s.at)}); both are offered next time.${edits}`,
      failed: `Not kept: this browser refused to keep the grids (${s.error}). Download them to keep your work.`,
      blocked: `Not kept: this browser blocks this page's storage (${s.error}), so work will not be kept in this browser. Download the grids to keep them.`,
      'other-tab': `Not kept here: another tab kept its grids${s.at ? ` (${when(s.at)})` : ''}. The next change asks whether to replace them.`,
    }[s.state];
    $('saved').dataset.state = s.state;
    $('restore').hidden = workspace.offers.length === 0;
  }

  // The offers: one line each, with its own button to restore it.
  function offer() {
    const offers = workspace.offerKept();
    const list = $('restore-list');
    list.replaceChildren();
    offers.forEach((r, i) => {
      const li = doc.createElement('li');
      const aside = r.slot === 'main' ? '' : ', kept aside while other work was offered';
      li.append(`The grids of ${when(r.saved)}${aside}${r.edited?.some((e) => e) ? ', with edits not downloaded' : ''}. `);
      const b = doc.createElement('button');
      b.type = 'button';
      b.textContent = 'Restore them';
      if (i === 0) b.id = 'restore-yes';
      b.dataset.slot = r.slot;
      b.addEventListener('click', () => {
        if (!workspace.mayReplace([0, 1], 'the kept grids')) return;
        workspace.restore(r.slot);
      });
      li.append(b);
      list.appendChild(li);
    });
    $('restore-text').textContent = offers.length > 1
      ? `This browser kept ${offers.length} sets of grids you worked on. Restore one (the others stay kept)?`
      : 'This browser kept the grids you last worked on. Restore them?';
  }
  $('restore-no').addEventListener('click', () => workspace.decline());
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
