// zolvane-tools.html in a real headless Chromium, opened from disk, used as
// a translator uses it: the sample's every download against the programs'
// expected outputs, files known by content, edits kept, restored and
// undone, two tabs, the fixes, tracing, the glyphs to fill, a translation
// inserted and patched, size, no requests, axe, contrast, a phone.  Times
// are printed, never asserted.
//   ZOL_PAGE=.../zolvane-tools.html ZOL_SAMPLE=.../sample
//   ZOL_FIT_SUMS=.../web/test/fit.sha256 node --test page.test.mjs
import {after, before, test} from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import {createRequire} from 'node:module';
import os from 'node:os';
import path from 'node:path';
import crypto from 'node:crypto';
import {pathToFileURL} from 'node:url';
import {chromium} from 'playwright-core';

const page = process.env.ZOL_PAGE;
const sample = process.env.ZOL_SAMPLE;
const start = 0x2EF800;
const end = 0x2FFEB8;
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'zolweb.'));
const file = (name) => path.join(work, name);
const read = (p) => fs.readFileSync(p);
const expected = (name) => read(path.join(sample, name));
const crlf = (b) => Buffer.from(b.toString('latin1').replace(/\n/g, '\r\n'), 'latin1');
const axe = createRequire(import.meta.url).resolve('axe-core/axe.min.js');

let browser;
const requests = [];
const blocked = [];  // what the page's Content-Security-Policy stopped

before(async () => {
  for (const [p, what] of [[page, 'ZOL_PAGE, the page'], [sample, 'ZOL_SAMPLE, the sample folder'],
    [process.env.ZOL_FIT_SUMS, 'ZOL_FIT_SUMS, the sums of what msginsert --pairs writes']])
    assert.ok(p && fs.existsSync(p), `${what}, is missing: ${p}`);
  // The sample image as mksample makes it: the scene's bytes at the window,
  // then 08 to its end, in 3 MiB, zeros elsewhere but for the font.
  const scene = fs.readFileSync(path.join(sample, 'scene.txt'), 'latin1').split('\n')
    .map((l) => l.replace(/#.*/, '')).join(' ').split(/\s+/).filter(Boolean).map((h) => parseInt(h, 16));
  const image = Buffer.alloc(3 << 20);
  image.fill(0x08, start, end + 1);
  Buffer.from(scene).copy(image, start);
  // And its font: each grid cell's glyph from mincho.bin, as 2bpp with
  // both planes set, at 0xC8000 (codes 0x10 to 0xFF) and 0xCC000 (0xFF 0x01
  // on).
  const grids = ['zol_00.txt', 'zol_01.txt'].map((g) => fs.readFileSync(path.join(sample, g)));
  const mincho = fs.readFileSync(path.join(sample, 'mincho.bin'));
  for (let e = 16; e < 510; ++e) {
    const cell = ((e & 255) >> 4) * 34 + (e & 15) * 2;
    const code = (grids[e >> 8][cell] << 8) | grids[e >> 8][cell + 1];
    let r = 0;
    while (r < mincho.length && ((mincho[r] << 8) | mincho[r + 1]) !== code) r += 34;
    if (r >= mincho.length) continue;
    const glyph = e < 256 ? 0xC8000 + (e - 16) * 64 : 0xCC000 + (e - 256) * 64;
    for (let y = 0; y < 16; ++y) {
      for (let half = 0; half < 2; ++half) {
        const at = glyph + ((y >> 3) * 2 + half) * 16 + 2 * (y & 7);
        image[at] = image[at + 1] = mincho[r + 2 + 2 * y + half];
      }
    }
  }
  fs.writeFileSync(file('sample.sfc'), image);
  for (const g of ['zol_00.txt', 'zol_01.txt', 'english_00.txt', 'squeezed.atlas.txt', 'english.tbl']) fs.copyFileSync(path.join(sample, g), file(g));
  fs.copyFileSync(path.join(sample, 'expected.zol.tbl'), file('zol.tbl'));
  // A 4 MiB image whose window is all codes: glyphs, kanji and controls.
  const big = Buffer.alloc(4 << 20);
  let x = 1;
  for (let p = start; p <= end; ++p) {
    x = (x * 1103515245 + 12345) >>> 0;
    big[p] = (x >>> 24) % 7 === 0 ? (x >>> 16) & 15 : 16 + ((x >>> 8) % 240);
  }
  fs.writeFileSync(file('big.sfc'), big);
  fs.writeFileSync(file('headered.smc'), Buffer.concat([Buffer.alloc(512), big]));
  const exe = fs.existsSync('/usr/lib/chromium/chromium') ? '/usr/lib/chromium/chromium' : '/usr/bin/chromium';
  browser = await chromium.launch({
    executablePath: exe,
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync'],
  });
});

after(async () => {
  try {
    await browser?.close();
  } finally {
    fs.rmSync(work, {recursive: true, force: true});
  }
});

async function open(context) {
  context ??= await browser.newContext({acceptDownloads: true});
  const tab = await context.newPage();
  tab.on('request', (r) => requests.push(r.url()));
  const errors = [];
  tab.on('pageerror', (e) => errors.push(String(e)));
  tab.on('console', (m) => {
    if (/Content Security Policy/.test(m.text())) blocked.push(m.text().slice(0, 120));
  });
  await tab.goto(pathToFileURL(page).href);
  await tab.waitForSelector('body[data-ready="true"]', {timeout: 20000})
    .catch((e) => { throw new Error(`${e.message}\n${errors.join('\n')}`); });
  tab.errors = errors;
  return tab;
}

// Does what, then waits for the page to have drawn again; gives the time.
async function drawn(tab, what) {
  const before = await tab.evaluate(() => Number(document.body.dataset.drawn ?? 0));
  const t0 = Date.now();
  await what();
  await tab.waitForFunction((n) => Number(document.body.dataset.drawn ?? 0) > n, before);
  return Date.now() - t0;
}
// Picks files in the inputs: {input id: file name}.
async function load(tab, files) {
  for (const [input, name] of Object.entries(files))
    await drawn(tab, () => tab.setInputFiles(`#${input}`, file(name)));
}
async function download(tab, button, count = 1) {
  const seen = [];
  const all = new Promise((resolve) => {
    tab.on('download', async function on(d) {
      seen.push(read(await d.path()));
      if (seen.length === count) {
        tab.off('download', on);
        resolve(seen);
      }
    });
  });
  await tab.click(/^[\w-]+$/.test(button) ? `#${button}` : button);
  const got = await all;
  return count === 1 ? got[0] : got;
}
// Drops files on the page as a file manager would: [[name, bytes], ...].
async function drop(tab, files) {
  await tab.evaluate((list) => {
    const dt = new DataTransfer();
    for (const [name, b64] of list) dt.items.add(new File([Uint8Array.from(atob(b64), (c) => c.charCodeAt(0))], name));
    document.dispatchEvent(new DragEvent('drop', {dataTransfer: dt, bubbles: true, cancelable: true}));
  }, files.map(([name, bytes]) => [name, Buffer.from(bytes).toString('base64')]));
}
// Moves the mouse onto character i of #script.
async function pointAt(tab, i) {
  const box = await tab.evaluate((at) => {
    const block = [...document.querySelectorAll('#script .block')].filter((b) => Number(b.dataset.start) <= at).pop();
    block.scrollIntoView({block: 'center'});
    const range = document.createRange();
    range.setStart(block.firstChild, at - Number(block.dataset.start));
    range.setEnd(block.firstChild, at - Number(block.dataset.start) + 1);
    const r = range.getBoundingClientRect();
    return {x: r.x + r.width / 2, y: r.y + r.height / 2};
  }, i);
  await tab.mouse.move(box.x, box.y);
}
const cellText = (tab, e) => tab.textContent(`.cell[data-entry="${e}"]`);
const said = (tab) => tab.locator('#warnings li').allTextContents();

test('the sample: every download is what the programs write, and it loads without a word about itself', async () => {
  const tab = await open();
  await drawn(tab, () => tab.click('#load-sample'));
  await tab.selectOption('#line-ends', 'lf');
  assert.deepEqual(await download(tab, 'download-script'), expected('expected.txt'));
  assert.deepEqual(await download(tab, 'download-script-utf8'), expected('expected.utf8.txt'));
  assert.deepEqual(await download(tab, 'download-atlas'), expected('expected.atlas.txt'));
  assert.deepEqual(await download(tab, 'download-thingy'), expected('expected.thingy.tbl'));
  assert.deepEqual(await download(tab, 'download-table'), expected('expected.zol.tbl'));
  assert.deepEqual(await download(tab, 'download-grids', 2), [expected('zol_00.txt'), expected('zol_01.txt')]);
  await tab.selectOption('#line-ends', 'crlf');  // as msgdump.exe writes them; Atlas's stay LF
  assert.deepEqual(await download(tab, 'download-script'), crlf(expected('expected.txt')));
  assert.deepEqual(await download(tab, 'download-atlas'), expected('expected.atlas.txt'));
  assert.equal(await tab.textContent('#script'), expected('expected.utf8.txt').toString('utf8'));
  assert.deepEqual(await said(tab), []);
  assert.equal(await tab.locator('#unknown-none').isVisible(), true);

  // The same script from picked files: zol.tbl and the image.
  const viaTable = await open();
  await load(viaTable, {table: 'zol.tbl', rom: 'sample.sfc'});
  await viaTable.selectOption('#line-ends', 'lf');
  assert.deepEqual(await download(viaTable, 'download-script'), expected('expected.txt'));
  assert.deepEqual(await viaTable.locator('#loaded li b').allTextContents(), ['zol.tbl', 'sample.sfc']);
});

test('files are what they claim: pictures, huge files and empty tables; drops by content, names asked about', async () => {
  const tab = await open();
  const png = Buffer.from('\x89PNG\r\n\x1a\nrest', 'latin1');
  fs.writeFileSync(file('picture.png'), png);
  fs.writeFileSync(file('empty.tbl'), Buffer.alloc(0));
  const huge = file('huge.txt');
  fs.closeSync(fs.openSync(huge, 'w'));
  fs.truncateSync(huge, 100 << 20);
  await load(tab, {grid0: 'zol_00.txt', rom: 'sample.sfc'});
  const loaded = await tab.textContent('#loaded');
  for (const [input, name, why] of [
    ['table', 'picture.png', /^picture\.png is a PNG picture, not a glyph table/],
    ['grid1', 'picture.png', /^picture\.png is a PNG picture, not a grid/],
    ['grid1', 'huge.txt', /^huge\.txt holds 104,857,600 bytes: a grid is/],
  ]) {
    await tab.setInputFiles(`#${input}`, file(name));
    await tab.waitForFunction((re) => new RegExp(re).test(document.getElementById('status').textContent), why.source);
    assert.equal(await tab.textContent('#loaded'), loaded, name);  // nothing loaded changes
  }
  await load(tab, {table: 'empty.tbl'});
  assert.match((await said(tab)).join('\n'), /empty\.tbl holds 0 bytes, not the 1024 that glyphpack makes/);

  // Drops: a dated grid goes by its name's start, a picture of 3 MB is no
  // image, an Atlas script is one, a grid named for neither page is asked
  // about.
  const fresh = await open();
  const grid = read(file('zol_00.txt'));
  await drop(fresh, [['zol_00-2024-01-15.txt', grid], ['big picture.png', Buffer.concat([png, Buffer.alloc(3 << 20)])],
    ['my rom.bin', read(file('sample.sfc'))], ['translated.txt', expected('squeezed.atlas.txt')]]);
  await fresh.locator('#warnings li', {hasText: 'big picture.png'}).waitFor();
  await fresh.waitForFunction(() => document.querySelectorAll('#loaded li').length === 2);
  assert.deepEqual(await fresh.locator('#loaded li').evaluateAll((l) => l.map((e) => e.dataset.role)), ['grid0', 'rom']);
  // (the script taken as one: it needs english.tbl for its letters)
  assert.match((await fresh.locator('#insert-report li').allTextContents())[0], /^translated\.txt line 20 \(\$2EF800, 11 bytes\): "H" is not in the table/);
  assert.match((await said(fresh)).join('\n'), /^big picture\.png is a PNG picture/m);
  // (a question left unanswered, with Escape, loads nothing)
  await drop(fresh, [['kanji.txt', read(file('zol_01.txt'))], ['notes.txt', grid], ['todo.txt', Buffer.from('buy milk\n')],
    ['last.png', png]]);
  await fresh.locator('#which-grid button', {hasText: 'zol_01.txt'}).click();
  await fresh.waitForFunction(() => /notes\.txt/.test(document.getElementById('which-grid-text').textContent));
  await fresh.keyboard.press('Escape');
  await fresh.locator('#warnings li', {hasText: 'last.png'}).waitFor();
  assert.match((await said(fresh)).join('\n'), /^todo\.txt \(9 bytes\) is too small to be a grid/m);
  assert.match(await fresh.textContent('#loaded li[data-role="grid1"]'), /kanji\.txt/);
  assert.equal(await cellText(fresh, 256), new TextDecoder('shift_jis').decode(read(file('zol_01.txt')).subarray(0, 2)));
});

test('edits: JIS forms and U+2212, undo and redo, the announcement, the tab stop; asked before they are lost', async () => {
  const context = await browser.newContext({acceptDownloads: true});
  const tab = await open(context);
  await drawn(tab, () => tab.click('#load-sample'));
  assert.equal(await tab.isDisabled('#undo'), true);  // a load is no edit to undo
  const first = await cellText(tab, 0x19);  // こ
  await tab.click('.cell[data-entry="25"]');
  assert.equal(await tab.getAttribute('.cell[data-entry="25"]', 'tabindex'), '0');
  assert.equal(await tab.getAttribute('.cell[data-entry="16"]', 'tabindex'), '-1');
  await tab.keyboard.press('Enter');
  await tab.keyboard.type('森');
  await tab.keyboard.press('Escape');
  assert.equal(await tab.inputValue('#cell-input'), first);
  await tab.keyboard.press('Enter');
  await tab.keyboard.type('〜');  // a JIS form, stored as CP932's 81 60
  await drawn(tab, () => tab.keyboard.press('Enter'));
  assert.match(await tab.textContent('#cell-info'), /bytes 81 60, used 4 times/);
  assert.match(await tab.textContent('#cell-error'), /stored as 81 60/);
  assert.match(await tab.textContent('#announce'), /^Applied: .*bytes 81 60/);
  await tab.click('.cell[data-entry="76"]');  // ど, used once
  await tab.fill('#cell-input', '\u2212');  // MINUS SIGN, the seventh JIS form
  await drawn(tab, () => tab.click('#cell-apply'));
  assert.match(await tab.textContent('#cell-info'), /bytes 81 7C, used 1 time /);
  await drawn(tab, () => tab.click('#undo'));
  await drawn(tab, () => tab.click('#undo'));
  assert.equal(await cellText(tab, 0x19), first);  // every edit undone: nothing unsaved
  assert.doesNotMatch(await tab.textContent('#loaded'), /edited/);
  await drawn(tab, () => tab.click('#redo'));
  assert.match(await tab.textContent('#loaded'), /edited/);
  const asked = [];
  tab.on('dialog', (d) => {
    asked.push(d.type());
    return d.type() === 'beforeunload' ? d.accept() : d.dismiss();
  });
  const confirmed = tab.waitForEvent('dialog');
  await tab.setInputFiles('#grid0', file('zol_00.txt'));
  await confirmed;  // (the file is read before the question)
  assert.deepEqual(asked, ['confirm']);
  assert.equal(await cellText(tab, 0x19), '～');
  const closed = new Promise((resolve) => tab.once('close', resolve));
  await tab.close({runBeforeUnload: true});
  await closed;
  assert.deepEqual(asked, ['confirm', 'beforeunload']);
  await context.close();
});

test('kept work: an offer left standing is never overwritten; restore brings the history back; two tabs ask', async () => {
  const context = await browser.newContext({acceptDownloads: true});
  const tab = await open(context);
  await drawn(tab, () => tab.click('#load-sample'));
  await tab.click('.cell[data-entry="25"]');
  await tab.fill('#cell-input', '＊');
  await drawn(tab, () => tab.click('#cell-apply'));
  assert.match(await tab.textContent('#saved'), /^Kept in this browser .* Edits not downloaded are kept too/);
  tab.on('dialog', (d) => d.accept());
  // Reloaded: the offer stands, a load goes on, and nothing is kept over it.
  await tab.reload();
  await tab.waitForSelector('body[data-ready="true"]');
  assert.match(await tab.textContent('#restore'), /edits not downloaded/);
  await drawn(tab, () => tab.click('#load-sample'));
  assert.match(await tab.textContent('#saved'), /beside the earlier work/);
  await tab.reload();
  await tab.waitForSelector('body[data-ready="true"]');
  assert.equal(await tab.locator('#restore-list button').count(), 2);  // the edit, and the load beside it
  await drawn(tab, () => tab.click('#restore-yes'));
  assert.equal(await cellText(tab, 25), '＊');
  await drawn(tab, () => tab.click('#undo'));  // the history came back with the work
  assert.equal(await cellText(tab, 25), 'こ');
  assert.equal(await tab.isDisabled('#undo'), true);  // the load is no step to undo
  await drawn(tab, () => tab.click('#redo'));
  assert.equal(await cellText(tab, 25), '＊');

  // A second tab takes the kept work; the first is told, and asked before
  // it would keep its own over the second's.
  const other = await open(context);
  await drawn(other, () => other.click('#restore-yes'));
  await tab.waitForFunction(() => /^Not kept here: another tab/.test(document.getElementById('saved').textContent));
  const kept = await other.evaluate(() => localStorage.getItem('zolvane-tools.grids'));
  const questions = [];
  tab.removeAllListeners('dialog');
  tab.on('dialog', (d) => {
    questions.push(d.message());
    return d.dismiss();
  });
  for (const ch of ['＝', '＃']) {
    await tab.click('.cell[data-entry="27"]');
    await tab.fill('#cell-input', ch);
    await drawn(tab, () => tab.click('#cell-apply'));
  }
  assert.equal(questions.length, 1);  // asked once
  assert.match(questions[0], /^Another tab kept its grids here/);
  assert.equal(await other.evaluate(() => localStorage.getItem('zolvane-tools.grids')), kept);
  assert.match(await tab.textContent('#saved'), /beside another tab's grids/);
  await context.close();
});

test('kept work is never lost: with storage blocked the page works and says so; an unanswered offer keeps new work beside it', async () => {
  // Site data blocked: Chromium throws on reading localStorage.
  const blockedContext = await browser.newContext({acceptDownloads: true});
  await blockedContext.addInitScript(() => Object.defineProperty(window, 'localStorage', {
    get() { throw new DOMException('Access is denied for this document.', 'SecurityError'); },
  }));
  const blocked = await open(blockedContext);
  assert.match(await blocked.textContent('#saved'), /will not be kept in this browser/);
  await drawn(blocked, () => blocked.click('#load-sample'));
  assert.equal(await cellText(blocked, 25), 'こ');
  assert.deepEqual(blocked.errors, []);
  await blockedContext.close();

  // An offer left unanswered, three edits, the tab closed as a crash
  // closes it: the next visit offers both, and either comes back whole.
  const context = await browser.newContext({acceptDownloads: true});
  const edit = async (tab, entry, ch) => {
    await tab.click(`.cell[data-entry="${entry}"]`);
    await tab.fill('#cell-input', ch);
    await drawn(tab, () => tab.click('#cell-apply'));
  };
  const first = await open(context);
  await drawn(first, () => first.click('#load-sample'));
  await edit(first, 25, '＊');
  await first.close();
  const second = await open(context);
  assert.equal(await second.isVisible('#restore'), true);
  await drawn(second, () => second.click('#load-sample'));
  for (const [entry, ch] of [[26, '１'], [27, '２'], [28, '３']]) await edit(second, entry, ch);
  await second.close();
  const third = await open(context);
  const offered = third.locator('#restore-list button');
  assert.equal(await offered.count(), 2);
  await drawn(third, () => offered.nth(1).click());
  assert.deepEqual([await cellText(third, 25), await cellText(third, 26), await cellText(third, 28)], ['こ', '１', '３']);
  await third.close();
  const fourth = await open(context);  // the other one is still offered
  assert.equal(await fourth.locator('#restore-list button').count(), 2);
  await drawn(fourth, () => fourth.click('#restore-list button[data-slot^="aside"]'));
  assert.equal(await cellText(fourth, 25), '＊');
  assert.notEqual(await cellText(fourth, 26), '１');
  await context.close();
});

test('fixes the page offers: a copier header, a UTF-8 grid, LF line ends; a cut image is named', async () => {
  const tab = await open();
  await load(tab, {grid0: 'zol_00.txt', grid1: 'zol_01.txt', rom: 'big.sfc'});
  await tab.selectOption('#line-ends', 'lf');
  const script = await download(tab, 'download-script');
  await load(tab, {rom: 'headered.smc'});
  const header = tab.locator('#warnings li', {hasText: 'copier header'});
  assert.match(await header.textContent(), /^headered\.smc is 512 bytes past a multiple of 32 KiB/);
  await drawn(tab, () => header.locator('button', {hasText: 'Decode without the header'}).click());
  assert.deepEqual(await download(tab, 'download-script'), script);
  await drawn(tab, () => tab.locator('#warnings button', {hasText: 'Decode it as it is'}).click());
  assert.deepEqual(await download(tab, '#warnings button:has-text("Download the image without its header")'),
    read(file('big.sfc')));

  await load(tab, {rom: 'big.sfc'});
  const grid = read(file('zol_00.txt'));
  fs.writeFileSync(file('utf8_00.txt'), Buffer.from('\uFEFF' + new TextDecoder('shift_jis').decode(grid), 'utf8'));
  fs.writeFileSync(file('lf_00.txt'), Buffer.from(grid.toString('latin1').replace(/\r\n/g, '\n'), 'latin1'));
  for (const [name, fix] of [['utf8_00.txt', 'Convert it to Shift-JIS'], ['lf_00.txt', 'Fix the line ends']]) {
    await load(tab, {grid0: name});
    assert.match((await said(tab))[0], new RegExp(`^${name} `));  // the file picked is named
    await drawn(tab, () => tab.locator('#warnings button', {hasText: fix}).click());
    assert.deepEqual(await said(tab), []);
    assert.equal(await tab.locator('#checks').isHidden(), true);
    assert.match(await tab.textContent('#loaded li[data-role="grid0"]'), /\(544 bytes, edited\)/);
    assert.deepEqual((await download(tab, 'download-grids', 2))[0], grid, name);
  }
  fs.writeFileSync(file('cut.sfc'), read(file('big.sfc')).subarray(0, 3112960));
  await load(tab, {rom: 'cut.sfc'});
  assert.deepEqual(await said(tab),
    ['cut.sfc holds 3,112,960 bytes and ends inside the text window, so the script stops early, at [EOF]: is the file complete?']);
});

test('tracing is exact after a shifted grid; the glyphs to fill, by use', async () => {
  // Line 3 of zol_00.txt starts with a half-width "A": every cell after it
  // is split across two characters, some lone lead bytes among them.
  const grid = read(file('zol_00.txt'));
  Buffer.concat([Buffer.from('A'), grid.subarray(34 * 3, 34 * 3 + 31)]).copy(grid, 34 * 3);
  fs.writeFileSync(file('shifted_00.txt'), grid);
  const tab = await open();
  await load(tab, {grid0: 'shifted_00.txt', grid1: 'zol_01.txt', rom: 'sample.sfc'});
  const text = await tab.textContent('#script');
  const image = read(file('sample.sfc'));
  // Every character a glyph printed traces to the cell of the code at the
  // offset it names.
  for (let i = 0; i < text.length - 1; i += 3) {
    if (text[i] === '\n') continue;
    await pointAt(tab, i);
    const info = await tab.textContent('#trace-info');
    const at = parseInt(/offset 0x([0-9A-F]+)/.exec(info)[1], 16);
    const [c, n] = image.subarray(at, at + 2);
    const entry = c === 0xFF ? (n === 0xFF ? -1 : 255 + n) : c >= 0x10 ? c : -1;
    const cells = await tab.locator('.cell.traced').evaluateAll((l) => l.map((e) => Number(e.dataset.entry)));
    assert.deepEqual(cells, entry < 0 ? [] : [entry], `${i}: ${info}`);
  }
  await tab.mouse.move(0, 0);
  assert.equal(await tab.locator('.cell.traced').count(), 0);
  await tab.focus('#script');
  await tab.keyboard.press('ArrowRight');
  assert.match(await tab.textContent('#trace-info'), /^offset 0x2EF800: code 0x04/);
  await tab.keyboard.press('ArrowDown');
  assert.match(await tab.textContent('#trace-info'), /^offset 0x2EF80C: code 0x03/);

  // With two cells broken: those, most used first, with where they occur.
  const broken = read(file('zol_00.txt'));
  broken.set([0x81, 0x40], 34 * 1 + 2 * 9);  // code 0x19 (こ, 4 uses): blank
  broken.set([0x82, 0xBE], 34 * 3 + 2 * 8);  // code 0x38 (る): だ, like 0x48
  fs.writeFileSync(file('broken_00.txt'), broken);
  await load(tab, {grid0: 'broken_00.txt'});
  const items = tab.locator('#unknown-glyphs li');
  await items.nth(2).waitFor();
  assert.deepEqual(await items.evaluateAll((l) => l.map((e) => e.dataset.entry)), ['25', '72', '56']);
  assert.match(await items.nth(0).textContent(), /code 0x19 .* is blank; used 4 times, first at 0x2EF806/);
  assert.match(await items.nth(1).textContent(), /is “だ”, like code 0x38/);
  await items.nth(0).locator('button').click();
  assert.equal(await tab.evaluate(() => document.activeElement.dataset.entry), '25');
});

test('a translation goes in: the sample\'s squeezed English, reported, patched as Atlas would, and as a BPS patch', async () => {
  const tab = await open();
  await drawn(tab, () => tab.click('#load-sample'));
  await load(tab, {'insert-table': 'english.tbl', 'insert-script': 'squeezed.atlas.txt'});
  await tab.locator('#insert-report li', {hasText: 'Inserted'}).waitFor();
  const lines = await tab.locator('#insert-report li').allTextContents();
  assert.equal(lines.length, 2);  // the one padded line, and the summary
  assert.match(lines[0], /^squeezed\.atlas\.txt line 20 \(\$2EF800, 11 bytes\):.*\$D0/);
  assert.equal(await tab.textContent('#insert-table-used'), 'Table: english.tbl.');
  await tab.selectOption('#fill', '10');  // the script's own #FILL wins, and the page says so
  assert.match((await tab.locator('#insert-report li').allTextContents()).join('\n'), /#FILL\(\$D0\) pads its lines, not the \$10 chosen/);
  await tab.selectOption('#fill', '');
  const t0 = Date.now();
  const patched = await download(tab, 'download-patched');
  console.log(`insertion of a full window and its download: ${Date.now() - t0} ms`);
  const bps = await download(tab, 'download-bps');
  // The patch, applied by a reader of its SourceRead and TargetRead runs.
  const source = read(file('sample.sfc'));
  let at = 4;
  const number = () => {
    let n = 0;
    let shift = 1;
    for (;;) {
      const x = bps[at++];
      n += (x & 0x7F) * shift;
      if (x & 0x80) return n;
      shift *= 128;
      n += shift;
    }
  };
  assert.equal(bps.subarray(0, 4).toString(), 'BPS1');
  assert.deepEqual([number(), number(), number()], [source.length, patched.length, 0]);
  const made = Buffer.alloc(patched.length);
  for (let out = 0; at < bps.length - 12;) {
    const run = number();
    const n = Math.floor(run / 4) + 1;
    if (run % 4 === 0) source.copy(made, out, out, out + n);
    else bps.copy(made, out, at, (at += n));
    out += n;
  }
  assert.deepEqual(made, patched);
  // The patched image, with the grid that draws the letters, shows the
  // English, as msgdump does.
  fs.writeFileSync(file('patched.sfc'), patched);
  const check = await open();
  await load(check, {grid0: 'english_00.txt', grid1: 'zol_01.txt', rom: 'patched.sfc'});
  assert.equal(await check.textContent('#script'), expected('expected.english.txt').toString('utf8'));

  // An edit Atlas would refuse: named, and nothing to download.
  fs.writeFileSync(file('bad.atlas.txt'), expected('squeezed.atlas.txt').toString('utf8').replace('Hi？', 'Hi!?'));
  await tab.setInputFiles('#insert-script', file('bad.atlas.txt'));
  await tab.locator('#insert-report li', {hasText: 'problem'}).waitFor();
  assert.match((await tab.locator('#insert-report li').allTextContents())[0], /^bad\.atlas\.txt line 20 \(\$2EF800, 11 bytes\): "!" is not in the table\.$/);
  assert.equal(await tab.isDisabled('#download-patched'), true);

  // A line too long for its bytes: refused, and with "Insert as Atlas
  // does" a warning, cut at its bound, the next line untouched.
  const report = () => tab.locator('#insert-report li').allTextContents();
  fs.writeFileSync(file('cut.atlas.txt'), expected('squeezed.atlas.txt').toString('utf8').replace('Hi？', 'HiHiHiHi？'));
  for (const [asAtlas, offered] of [[false, false], [true, true]]) {
    if (asAtlas) await tab.check('#as-atlas');
    else await tab.setInputFiles('#insert-script', file('cut.atlas.txt'));
    await tab.locator('#insert-report li', {hasText: offered ? /^Inserted / : 'cut.atlas.txt'}).waitFor();
    assert.match((await report())[0], /^cut\.atlas\.txt line 20 \(\$2EF800, 11 bytes\)/);
    assert.equal(await tab.isDisabled('#download-patched'), !offered, `as Atlas: ${asAtlas}`);
  }
  const cut = await download(tab, 'download-patched');
  assert.notDeepEqual(cut.subarray(0x2EF800, 0x2EF80B), patched.subarray(0x2EF800, 0x2EF80B));
  assert.deepEqual(cut.subarray(0x2EF80B), patched.subarray(0x2EF80B));
});

test('make it fit: the sample\'s natural English in pairs, downloaded as msginsert --pairs writes it, previewed from the patched glyphs', async () => {
  const tab = await open();
  await drawn(tab, () => tab.click('#load-sample'));
  const t0 = Date.now();
  await tab.click('#insert-sample');
  await tab.locator('#insert-report li', {hasText: 'Inserted'}).waitFor();
  console.log(`the sample made to fit, inserted, drawn and previewed: ${Date.now() - t0} ms`);
  assert.equal(await tab.inputValue('#fit-layout'), '2bpp:0xC8000:0xCC000');
  // Each translated line (the script lines msginsert names) fits, in
  // fewer bytes than one code a character.
  const rows = () => tab.locator('#fit-lines tbody tr').evaluateAll((trs) => trs.map((tr) => [...tr.cells].map((c) => c.textContent)));
  const fitted = await rows();
  assert.deepEqual(fitted.map((r) => r[0]), ['19', '26', '33', '47']);
  for (const [, , room, before, after] of fitted) assert.ok(Number(after) < Number(before) && Number(after) <= Number(room), `${before} → ${after} in ${room}`);
  assert.ok(await tab.locator('#fit-pairs li').count() > 0);

  // Every file, byte for byte what msginsert --font 2bpp:0xC8000:0xCC000
  // --pairs en -o patched.sfc --bps patch.bps writes (fit_golden.cmake
  // holds these sums to it).
  const sums = Object.fromEntries(fs.readFileSync(process.env.ZOL_FIT_SUMS, 'utf8')
    .trim().split('\n').map((l) => l.split(/\s+/).reverse()));
  const got = {
    'en/english.tbl': await download(tab, 'download-fit-table'),
    'en/zol_00.txt': await download(tab, 'download-fit-grid0'),
    'en/zol_01.txt': await download(tab, 'download-fit-grid1'),
    'patched.sfc': await download(tab, 'download-patched'),
    'patch.bps': await download(tab, 'download-bps'),
  };
  const sha = (b) => crypto.createHash('sha256').update(b).digest('hex');
  assert.deepEqual(Object.fromEntries(Object.entries(got).map(([n, b]) => [n, sha(b)])), sums);

  // The preview's first line, right side: the first of its glyphs the fit
  // redrew is drawn from the patched image's own glyph, ink and blank.
  const patched = got['patched.sfc'];
  const original = read(file('sample.sfc'));
  const glyph = (e) => 0xC8000 + (e - 16) * 64;
  const redrawn = (e) => !patched.subarray(glyph(e), glyph(e) + 64).equals(original.subarray(glyph(e), glyph(e) + 64));
  let k = 0;
  let code = -1;
  for (let p = start; code < 0;) {
    const b = patched[p];
    p += b === 0x05 || b === 0x0B ? 2 : 1;
    if (b < 0x10) continue;
    assert.notEqual(b, 0xFF);  // (the sample's first line has no kanji)
    if (redrawn(b)) code = b;
    else ++k;
  }
  const inked = (x, y) => (patched[glyph(code) + ((y >> 3) * 2 + (x >> 3)) * 16 + 2 * (y & 7)] >> (7 - (x & 7))) & 1;
  const dots = [];
  for (let y = 0; y < 16; ++y) for (let x = 0; x < 16; ++x) dots.push([x, y, inked(x, y)]);
  const shown = await tab.evaluate(([k, dots]) => {
    const c = document.getElementById('fit-preview');
    const x0 = Number(c.dataset.right) + k * 16;
    const px = c.getContext('2d').getImageData(x0, 0, 16, 16).data;
    return dots.map(([x, y]) => (px[(y * 16 + x) * 4 + 3] === 255 ? 1 : 0));
  }, [k, dots]);
  assert.deepEqual(shown, dots.map(([, , ink]) => ink));
  assert.ok(dots.some(([, , ink]) => ink));

  // A line too long even in pairs: refused and named, nothing to
  // download; with "Insert as Atlas does", offered.
  fs.writeFileSync(file('long.atlas.txt'), expected('english.atlas.txt').toString('utf8')
    .replace('Here! I\'m in the forest.', 'Over here, deep in the old forest by the river.'));
  await load(tab, {'insert-script': 'long.atlas.txt'});
  assert.deepEqual((await rows()).filter((r) => r[5] !== 'fits').map((r) => r[0]), ['26']);
  assert.equal(await tab.isDisabled('#download-fit-table'), true);
  assert.equal(await tab.isDisabled('#download-patched'), true);
  await drawn(tab, () => tab.check('#as-atlas'));
  assert.equal(await tab.isDisabled('#download-patched'), false);

  // The grids it made load back as they were downloaded, a cell of one
  // letter (the letter, then NUL) and all.
  assert.ok(got['en/zol_00.txt'].includes(0) || got['en/zol_01.txt'].includes(0));
  for (const p of [0, 1]) fs.writeFileSync(file(`en_zol_0${p}.txt`), got[`en/zol_0${p}.txt`]);
  await load(tab, {grid0: 'en_zol_00.txt', grid1: 'en_zol_01.txt'});
  assert.deepEqual(await download(tab, 'download-grids', 2), [got['en/zol_00.txt'], got['en/zol_01.txt']]);
  assert.deepEqual(tab.errors, []);
});

test('a blank start downloads the grids and tables; no pane covers a control at any width, whatever the scroll', async () => {
  const tab = await open();
  assert.equal(await tab.locator('#checks').isHidden(), true);  // nothing to say: no empty heading
  const blank = Buffer.from('\x81\x40'.repeat(16) + '\r\n', 'latin1');
  assert.deepEqual(await download(tab, 'download-grids', 2), [Buffer.concat(Array(16).fill(blank)), Buffer.concat(Array(16).fill(blank))]);
  assert.deepEqual(await download(tab, 'download-table'), Buffer.from('\x81\x40'.repeat(512), 'latin1'));
  assert.match((await download(tab, 'download-thingy')).toString('utf8'), /^10=　$/m);
  assert.deepEqual(tab.errors, []);

  await drawn(tab, () => tab.click('#load-sample'));
  await tab.click('#insert-sample');
  await tab.locator('#insert-report li', {hasText: 'Inserted'}).waitFor();
  // Every control, scrolled to the top and to the bottom of the view, is
  // what a click at its middle lands on.
  for (const [width, height] of [[390, 844], [800, 900], [1280, 800], [1400, 1000], [1920, 1080]]) {
    await tab.setViewportSize({width, height});
    const covered = await tab.evaluate(() => {
      const out = [];
      for (const el of document.querySelectorAll('main button:not(.cell), main select, main input')) {
        if (!el.getClientRects().length) continue;
        for (const block of ['start', 'end']) {
          el.scrollIntoView({block});
          const r = el.getBoundingClientRect();
          const hit = document.elementFromPoint(r.x + r.width / 2, r.y + r.height / 2);
          if (!el.contains(hit)) out.push(`${el.id || el.textContent} (${block}): ${hit?.id || hit?.tagName}`);
        }
      }
      return out;
    });
    assert.deepEqual(covered, [], `${width} x ${height}`);
  }
  await tab.setViewportSize({width: 1280, height: 800});
  await tab.locator('#download-bps').scrollIntoViewIfNeeded();
  await tab.mouse.wheel(0, 200);
  assert.equal((await download(tab, 'download-bps')).subarray(0, 4).toString(), 'BPS1');
});

test('small, offline, accessible, readable, and fits a phone and a laptop; times printed', async () => {
  const tab = await open();
  await load(tab, {grid0: 'zol_00.txt', grid1: 'zol_01.txt'});
  fs.copyFileSync(file('big.sfc'), file('big2.sfc'));
  const times = [];
  for (const name of ['big.sfc', 'big2.sfc', 'big.sfc']) times.push(await drawn(tab, () => tab.setInputFiles('#rom', file(name))));
  const edits = [];
  for (const ch of ['＊', '＋', '＝']) {
    await tab.click('.cell[data-entry="32"]');
    await tab.fill('#cell-input', ch);
    edits.push(await drawn(tab, () => tab.click('#cell-apply')));
  }
  const bytes = fs.statSync(page).size;
  console.log(`full window: load, decode and draw ${times.join(', ')} ms; cell edit to redraw ${edits.join(', ')} ms; page ${bytes} bytes`);
  assert.ok(bytes < 400 * 1024, `${bytes} bytes`);

  // Every cell's text reads at 4.5:1 or better on its shading.
  const worst = await tab.evaluate(() => {
    const lum = (rgb) => rgb.map((v) => v / 255).map((v) => (v <= 0.03928 ? v / 12.92 : ((v + 0.055) / 1.055) ** 2.4))
      .reduce((sum, v, i) => sum + v * [0.2126, 0.7152, 0.0722][i], 0);
    const rgb = (css) => css.match(/[\d.]+/g).map(Number);
    let least = 21;
    for (const cell of document.querySelectorAll('.cell')) {
      const s = getComputedStyle(cell);
      const h = Number(s.getPropertyValue('--h') || 0);
      const bg = cell.classList.contains('unused') ? rgb(s.backgroundColor)
        : [11, 92, 173].map((c) => c * h + 255 * (1 - h));
      const [a, b] = [lum(rgb(s.color)), lum(bg)].sort((x, y) => y - x);
      least = Math.min(least, (a + 0.05) / (b + 0.05));
    }
    return least;
  });
  assert.ok(worst >= 4.5, `${worst.toFixed(2)}:1`);

  await load(tab, {rom: 'sample.sfc'});
  await tab.click('.cell[data-entry="33"]');
  await tab.addScriptTag({path: axe});
  const violations = await tab.evaluate(async () => (await window.axe.run()).violations
    .map((v) => `${v.id}: ${v.nodes.map((n) => n.target.join(' ')).slice(0, 3).join(', ')}`));
  assert.deepEqual(violations, []);

  // A laptop's 1280 x 800: the script beside the grids, both in view.
  await tab.setViewportSize({width: 1280, height: 800});
  await tab.locator('#grids').scrollIntoViewIfNeeded();
  await tab.evaluate(() => document.getElementById('grids').scrollIntoView());
  const inView = await tab.evaluate(() => ['#script', '.cell[data-entry="300"]'].map((q) => {
    const r = document.querySelector(q).getBoundingClientRect();
    return r.top >= 0 && r.bottom <= innerHeight && r.left >= 0 && r.right <= innerWidth;
  }));
  assert.deepEqual(inView, [true, true]);

  // A phone's 390 px: nothing scrolls sideways, cells are 24 px targets,
  // the editor sits under the tapped cell.
  await tab.setViewportSize({width: 390, height: 800});
  assert.ok(await tab.evaluate(() => document.documentElement.scrollWidth <= 390));
  const cell = tab.locator('.cell[data-entry="120"]');
  await cell.scrollIntoViewIfNeeded();
  await cell.click();
  const [box, editor] = [await cell.boundingBox(), await tab.locator('#editor').boundingBox()];
  assert.ok(box.width >= 24 && box.height >= 24, JSON.stringify(box));
  assert.ok(editor.y >= box.y + box.height - 1 && editor.y < box.y + box.height + 10, `${editor.y} ${box.y}`);
  // It says the grid scrolls sideways, and its row labels stay in view.
  assert.equal(await tab.locator('figure .scroll-hint').first().isVisible(), true);
  const labels = await tab.evaluate(() => {
    const scroll = document.querySelector('#page0').parentNode;
    scroll.scrollLeft = scroll.scrollWidth;
    const label = document.querySelector('#page0 [role="rowheader"]').getBoundingClientRect();
    return [scroll.scrollLeft > 0, label.left >= scroll.getBoundingClientRect().left - 1];
  });
  assert.deepEqual(labels, [true, true]);

  const remote = requests.filter((u) => !u.startsWith('file:') && !u.startsWith('blob:') && !u.startsWith('data:'));
  assert.deepEqual(remote, []);
  assert.deepEqual(blocked, []);
  assert.deepEqual(tab.errors, []);
});

test('the font: found in the sample, kept with the work, shown in the cells and the editor; blank cells filled in one undoable step', async () => {
  const tab = await open();
  await drawn(tab, () => tab.click('#load-sample'));
  await tab.click('#font-find');
  await tab.waitForFunction(() => /^(Found|No font)/.test(document.getElementById('font-status').textContent), null,
    {timeout: 120000});
  const fields = async () => [await tab.inputValue('#font-format'), await tab.inputValue('#font-offset'), await tab.inputValue('#font-kanji')];
  assert.deepEqual(await fields(), ['1', '0xC8000', '0xCC000']);  // 2bpp
  assert.equal(await tab.evaluate(() => JSON.parse(localStorage.getItem('zolvane-tools.grids')).font), '2bpp:0xC8000:0xCC000');

  // A glyph clicked on the sheet and named: the offset that makes it so.
  await tab.click('[data-step="+glyph"]');
  assert.equal(await tab.inputValue('#font-offset'), '0xC8040');
  await tab.click('#font-sheet', {position: {x: 5, y: 5}});  // the first glyph: 0x11's
  await tab.fill('#font-code', '0x11');
  await tab.click('#font-place');
  assert.equal(await tab.inputValue('#font-offset'), '0xC8000');

  // Every cell with a glyph shows it; the editor shows it large, with five characters.
  await tab.waitForFunction(() => !document.getElementById('fill-suggested').disabled, null, {timeout: 60000});
  assert.equal(await tab.locator('.cell[data-entry="25"] .glyph').count(), 1);
  await tab.click('.cell[data-entry="25"]');
  const ink = await tab.evaluate(() => {
    const c = document.getElementById('cell-glyph');
    return c.getContext('2d').getImageData(0, 0, c.width, c.height).data.filter((v, i) => i % 4 === 3 && v > 0).length;
  });
  assert.ok(ink > 0);
  assert.equal(await tab.locator('#cell-suggestions button').count(), 5);
  console.log(`font: find ${await tab.getAttribute('#font-status', 'data-find-ms')} ms, ` +
    `suggest ${await tab.getAttribute('#fill-suggested', 'data-ms')} ms, ` +
    `sheet drawn in ${await tab.getAttribute('#font-sheet', 'data-ms')} ms, ` +
    `every cell's glyph in ${await tab.getAttribute('#font-sheet', 'data-cells-ms')} ms`);

  // Three cells blanked, filled from the suggestions, marked, and all
  // taken back by one undo.
  const blanks = read(file('zol_00.txt'));
  for (const e of [0x19, 0x38, 0x48]) blanks.set([0x81, 0x40], (e >> 4) * 34 + (e & 15) * 2);
  fs.writeFileSync(file('blanks_00.txt'), blanks);
  await load(tab, {grid0: 'blanks_00.txt'});
  const texts = () => tab.locator('.cell').allTextContents();
  const before = await texts();
  await drawn(tab, () => tab.click('#fill-suggested'));
  const filled = await tab.locator('.cell.suggested').evaluateAll((l) => l.map((e) => Number(e.dataset.entry)));
  assert.deepEqual(filled, [0x19, 0x38, 0x48]);
  assert.notEqual(await cellText(tab, 0x19), before[0x19 - 16]);
  await drawn(tab, () => tab.click('#undo'));
  assert.deepEqual(await texts(), before);
  assert.equal(await tab.locator('.cell.suggested').count(), 0);
  assert.deepEqual(await download(tab, 'download-grids', 2), [blanks, expected('zol_01.txt')]);
  assert.deepEqual(tab.errors, []);
});
