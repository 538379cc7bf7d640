// zolvane-tools.html in a real headless Chromium, opened from disk, used as
// a translator uses it: the sample's every download against the programs'
// expected outputs, files picked again and dropped, edits kept across a
// reload and undone, the fixes the page offers, tracing, the glyphs to
// fill, speed, size, no requests, and axe.
//   ZOL_PAGE=.../zolvane-tools.html ZOL_SAMPLE=.../sample node --test page.test.mjs
import {after, before, test} from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import {createRequire} from 'node:module';
import os from 'node:os';
import path from 'node:path';
import {pathToFileURL} from 'node:url';
import {chromium} from 'playwright-core';

const page = process.env.ZOL_PAGE;
const sample = process.env.ZOL_SAMPLE;
const start = 0x2EF800;
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
  for (const [p, what] of [[page, 'ZOL_PAGE, the page'], [sample, 'ZOL_SAMPLE, the sample folder']]) {
    assert.ok(p && fs.existsSync(p), `${what}, is missing: ${p}`);
  }
  // The sample image: the scene's bytes (hex, # comments) at the window.
  const scene = fs.readFileSync(path.join(sample, 'scene.txt'), 'latin1')
    .split('\n').map((l) => l.replace(/#.*/, '')).join(' ')
    .split(/\s+/).filter(Boolean).map((h) => parseInt(h, 16));
  const image = Buffer.alloc(start + scene.length);
  Buffer.from(scene).copy(image, start);
  fs.writeFileSync(file('sample.sfc'), image);
  for (const g of ['zol_00.txt', 'zol_01.txt']) fs.copyFileSync(path.join(sample, g), file(g));
  fs.copyFileSync(path.join(sample, 'expected.zol.tbl'), file('zol.tbl'));
  // A 4 MiB image whose window is all codes: glyphs, kanji and controls.
  const big = Buffer.alloc(4 << 20);
  let x = 1;
  for (let p = start; p <= 0x2FFEB8; ++p) {
    x = (x * 1103515245 + 12345) >>> 0;
    big[p] = (x >>> 24) % 7 === 0 ? (x >>> 16) & 15 : 16 + ((x >>> 8) % 240);
  }
  fs.writeFileSync(file('big.sfc'), big);
  fs.writeFileSync(file('headered.smc'), Buffer.concat([Buffer.alloc(512), big]));
  // Last, so that a failure above leaves no browser running.
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

// Picks files in the inputs: {input id: file name}; waits for the decode.
async function load(tab, files) {
  for (const [input, name] of Object.entries(files)) {
    await tab.evaluate(() => { window.zolTimings.decodeAndDrawMs = null; });
    await tab.setInputFiles(`#${input}`, file(name));
    if (input === 'rom' || await tab.evaluate(() => document.getElementById('download-script').disabled === false)) {
      await tab.waitForFunction(() => window.zolTimings.decodeAndDrawMs !== null);
    }
  }
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

test('the sample: every download is what the programs write, in both line ends', async () => {
  const tab = await open();
  await load(tab, {grid0: 'zol_00.txt', grid1: 'zol_01.txt', rom: 'sample.sfc'});
  await tab.selectOption('#line-ends', 'lf');
  assert.deepEqual(await download(tab, 'download-script'), expected('expected.txt'));
  assert.deepEqual(await download(tab, 'download-script-utf8'), expected('expected.utf8.txt'));
  assert.deepEqual(await download(tab, 'download-atlas'), expected('expected.atlas.txt'));
  assert.deepEqual(await download(tab, 'download-thingy'), expected('expected.thingy.tbl'));
  assert.deepEqual(await download(tab, 'download-table'), expected('expected.zol.tbl'));
  assert.deepEqual(await download(tab, 'download-grids', 2), [read(file('zol_00.txt')), read(file('zol_01.txt'))]);
  await tab.selectOption('#line-ends', 'crlf');  // as msgdump.exe writes them
  assert.deepEqual(await download(tab, 'download-script'), crlf(expected('expected.txt')));
  assert.equal(await tab.textContent('#script'), expected('expected.utf8.txt').toString('utf8'));
  assert.deepEqual(await tab.locator('#warnings li').allTextContents(),
    ['sample.sfc ends inside the text window, so the script stops early, at [EOF].']);
  assert.deepEqual(await tab.locator('#loaded li b').allTextContents(), ['zol_00.txt', 'zol_01.txt', 'sample.sfc']);
  assert.match(await tab.textContent('#loaded'), /sample\.sfc \(3,078,215 bytes\)/);

  // The same script through zol.tbl, and from the page's own sample.
  const viaTable = await open();
  await load(viaTable, {table: 'zol.tbl', rom: 'sample.sfc'});
  await viaTable.selectOption('#line-ends', 'lf');
  assert.deepEqual(await download(viaTable, 'download-script'), expected('expected.txt'));
  const own = await open();
  await own.click('#load-sample');
  await own.waitForFunction(() => !document.getElementById('download-script').disabled);
  await own.selectOption('#line-ends', 'lf');
  assert.deepEqual(await download(own, 'download-script'), expected('expected.txt'));
});

// The page reads every single byte and double-byte code as msgdump and
// msgdump.exe do: as the CP932 rows of msgdump/cp932.inc (which the
// programs' tests hold to glibc's iconv), U+FFFD where one is undefined.
test('CP932: the UTF-8 script of every code is the programs\'', async () => {
  const rows = fs.readFileSync(path.join(sample, '../msgdump/cp932.inc'), 'utf8')
    .split('\n').filter((l) => l.startsWith('u8"')).map((l) => [...JSON.parse(l.slice(2, l.lastIndexOf('"') + 1))]);
  const codes = [];  // every single byte as an entry of its own, then pairs
  for (let b = 0; b < 256; ++b) codes.push([b]);
  for (let lead = 0x81; lead <= 0xFC; ++lead) {
    if (lead === 0xA0) lead = 0xE0;
    for (let trail = 0x40; trail <= 0xFC; ++trail) if (trail !== 0x7F) codes.push([lead, trail]);
  }
  assert.equal(codes.length, 256 + 11280);
  const single = (b) => (b === 0 ? '' : b < 0x80 ? String.fromCharCode(b)
    : b >= 0xA1 && b <= 0xDF ? String.fromCharCode(0xFF61 + b - 0xA1) : '\uFFFD');
  const text = ([lead, trail]) => (trail === undefined ? single(lead)
    : rows[lead < 0xA0 ? lead - 0x81 : lead - 0xE0 + 0x1F][trail < 0x7F ? trail - 0x40 : trail - 0x41]);
  // One image shows entries 16-254 and 255-509, one per line; each table
  // puts the next 494 codes there.
  const shown = [];
  for (let e = 16; e < 510; ++e) shown.push(...(e < 255 ? [e] : [0xFF, e - 255]), 0);
  const image = Buffer.alloc(start + shown.length);
  Buffer.from(shown).copy(image, start);
  fs.writeFileSync(file('all.sfc'), image);
  const tab = await open();
  await load(tab, {rom: 'all.sfc'});
  await tab.selectOption('#line-ends', 'lf');
  for (let from = 0; from < codes.length; from += 494) {
    const table = Buffer.alloc(1024);
    let want = '';
    codes.slice(from, from + 494).forEach((code, k) => {
      table.set(code, 2 * (16 + k));
      want += text(code) + '\n';
    });
    fs.writeFileSync(file('all.tbl'), table);
    await load(tab, {table: 'all.tbl'});
    const empty = 494 - Math.min(494, codes.length - from);  // cells left empty
    assert.equal((await download(tab, 'download-script-utf8')).toString('utf8'),
      want + '\n'.repeat(empty) + '[EOF]', `codes from ${from}`);
  }
});

test('files: picking the same file again reloads it; drops go by content; what is no file of ours is refused', async () => {
  const tab = await open();
  await load(tab, {grid0: 'zol_00.txt', grid1: 'zol_01.txt', rom: 'sample.sfc'});
  const grid = read(file('zol_00.txt'));
  const edited = Buffer.from(grid);
  edited.set([0x82, 0xA0], 34 + 2);  // line 2, column 2 (code 0x11): あ
  fs.writeFileSync(file('mine.txt'), edited);
  await load(tab, {grid0: 'mine.txt'});
  assert.equal(await cellText(tab, 0x11), 'あ');
  edited.set([0x82, 0xA2], 34 + 2);  // changed on disk, picked again: い
  fs.writeFileSync(file('mine.txt'), edited);
  await load(tab, {grid0: 'mine.txt'});
  assert.equal(await cellText(tab, 0x11), 'い');
  // The reload button reads it again.
  edited.set([0x82, 0xA4], 34 + 2);
  fs.writeFileSync(file('mine.txt'), edited);
  // The reload button reads it again, or, where the browser will not read a
  // file that changed since it was picked (Chromium), says so.
  await tab.click('#loaded li[data-role="grid0"] button');
  await tab.waitForFunction(() => document.querySelector('.cell[data-entry="17"]').textContent === 'う' ||
    /mine\.txt could not be read/.test(document.getElementById('status').textContent));

  const before = await tab.textContent('#loaded');
  await drop(tab, [['script.txt', expected('expected.txt')], ['picture.png', Buffer.from('\x89PNG\r\n\x1a\n')]]);
  await tab.locator('#warnings li', {hasText: 'picture.png'}).waitFor();
  const said = await tab.locator('#warnings li').allTextContents();
  assert.ok(said.some((t) => /^script\.txt is no ROM image/.test(t)), said.join('\n'));
  assert.ok(said.some((t) => /^picture\.png is no ROM image/.test(t)), said.join('\n'));
  assert.equal(await tab.textContent('#loaded'), before);
  // A grid with an unhelpful name is known by its content.
  const fresh = await open();
  await drop(fresh, [['kana page.txt', grid], ['my rom.bin', read(file('sample.sfc'))]]);
  await fresh.waitForFunction(() => !document.getElementById('download-script').disabled);
  assert.deepEqual(await fresh.locator('#loaded li').evaluateAll((l) => l.map((e) => e.dataset.role)), ['grid0', 'rom']);
  assert.equal(await cellText(fresh, 0x10), new TextDecoder('shift_jis').decode(grid.subarray(34, 36)));
});

test('edits: Enter, Escape, JIS forms; undo and redo; kept across a reload; asked before they are lost', async () => {
  const context = await browser.newContext({acceptDownloads: true});
  const tab = await open(context);
  await load(tab, {grid0: 'zol_00.txt', grid1: 'zol_01.txt', rom: 'sample.sfc'});
  const first = await cellText(tab, 0x19);  // こ
  await tab.focus('.cell[data-entry="25"]');
  await tab.keyboard.press('Enter');
  await tab.keyboard.type('森');  // Enter selected the old character
  await tab.keyboard.press('Escape');
  assert.equal(await tab.inputValue('#cell-input'), first);
  assert.equal(await tab.evaluate(() => document.activeElement.dataset.entry), '25');
  await tab.keyboard.press('Enter');
  await tab.keyboard.type('〜');  // a JIS form, stored as CP932's 81 60
  await tab.keyboard.press('Enter');
  await tab.waitForFunction((c) => !document.getElementById('script').textContent.includes(c), first);
  assert.match(await tab.textContent('#cell-info'), /bytes 81 60/);
  assert.match(await tab.textContent('#cell-error'), /stored as 81 60/);
  const edited = await tab.textContent('#script');
  await tab.click('#undo');
  await tab.waitForFunction((c) => document.getElementById('script').textContent.includes(c), first);
  await tab.click('#redo');
  await tab.waitForFunction((t) => document.getElementById('script').textContent === t, edited);

  // The edits survive a reload of the page, on request.  Leaving the page
  // warns of them (accepted here), and a load over them asks first ("no").
  const asked = [];
  tab.on('dialog', (d) => {
    asked.push(d.type());
    return d.type() === 'beforeunload' ? d.accept() : d.dismiss();
  });
  await tab.reload();
  await tab.waitForSelector('body[data-ready="true"]');
  assert.match(await tab.textContent('#restore-text'), /edits not downloaded/);
  await tab.click('#restore-yes');
  assert.equal(await cellText(tab, 0x19), '～');
  asked.length = 0;
  const confirmed = tab.waitForEvent('dialog');
  await tab.setInputFiles('#grid0', file('zol_00.txt'));
  await confirmed;
  assert.deepEqual(asked, ['confirm']);
  assert.equal(await cellText(tab, 0x19), '～');
  const closed = new Promise((resolve) => tab.once('close', resolve));
  await tab.close({runBeforeUnload: true});
  await closed;
  assert.deepEqual(asked, ['confirm', 'beforeunload']);
  await context.close();
});

test('fixes the page offers: a copier header, a UTF-8 grid, LF line ends; missing grids and short images are named', async () => {
  const tab = await open();
  await load(tab, {grid0: 'zol_00.txt', grid1: 'zol_01.txt', rom: 'big.sfc'});
  await tab.selectOption('#line-ends', 'lf');
  const script = await download(tab, 'download-script');
  await load(tab, {rom: 'headered.smc'});
  const header = tab.locator('#warnings li', {hasText: 'copier header'});
  assert.match(await header.textContent(), /^headered\.smc is 512 bytes past a multiple of 32 KiB/);
  await header.locator('button', {hasText: 'Decode without the header'}).click();
  await tab.waitForFunction(() => document.getElementById('warnings').textContent.includes('decoded as if'));
  assert.deepEqual(await download(tab, 'download-script'), script);
  await header.locator('button', {hasText: 'Decode it as it is'}).click();
  await tab.locator('button', {hasText: 'Download the image without its header'}).waitFor();
  assert.deepEqual(await download(tab, '#warnings button:has-text("Download the image without its header")'),
    read(file('big.sfc')));

  // A grid saved as UTF-8, and one with LF line ends, each fixed by a button.
  await load(tab, {rom: 'big.sfc'});
  const grid = read(file('zol_00.txt'));
  fs.writeFileSync(file('utf8_00.txt'), Buffer.from('\uFEFF' + new TextDecoder('shift_jis').decode(grid), 'utf8'));
  fs.writeFileSync(file('lf_00.txt'), Buffer.from(grid.toString('latin1').replace(/\r\n/g, '\n'), 'latin1'));
  for (const [name, fix] of [['utf8_00.txt', 'Convert it to Shift-JIS'], ['lf_00.txt', 'Fix the line ends']]) {
    await load(tab, {grid0: name});
    await tab.locator('#warnings button', {hasText: fix}).click();
    await tab.waitForFunction(() => document.querySelectorAll('#warnings li').length === 0);
    assert.deepEqual((await download(tab, 'download-grids', 2))[0], grid, name);
  }

  const bare = await open();
  fs.writeFileSync(file('empty.sfc'), Buffer.alloc(0));
  await load(bare, {rom: 'empty.sfc'});
  assert.deepEqual(await bare.locator('#warnings li').allTextContents(), [
    'empty.sfc is empty.',
    'No grids or table are loaded, so no glyph shows: load zol_00.txt and zol_01.txt, or zol.tbl.']);
  await pointAt(bare, 1);  // a script that is "[EOF]" alone
  assert.match(await bare.textContent('#trace-info'), /^\[EOF\]/);
  assert.deepEqual(bare.errors, []);
  await load(bare, {grid0: 'zol_00.txt', rom: 'big.sfc'});
  assert.deepEqual(await bare.locator('#warnings li').allTextContents(),
    ['zol_01.txt is not loaded, so the kanji (0xFF n) show nothing.']);
});

test('tracing is exact after a shifted grid; the glyphs to fill, by use', async () => {
  // Line 3 of zol_00.txt starts with a half-width "A": every cell after it
  // is split across two characters, some lone lead bytes among them.
  const grid = read(file('zol_00.txt'));
  const line = Buffer.concat([Buffer.from('A'), grid.subarray(34 * 3, 34 * 3 + 31)]);
  line.copy(grid, 34 * 3);
  fs.writeFileSync(file('shifted_00.txt'), grid);
  const tab = await open();
  await load(tab, {grid0: 'shifted_00.txt', grid1: 'zol_01.txt', rom: 'sample.sfc'});
  const text = await tab.textContent('#script');
  const image = read(file('sample.sfc'));
  // Every character of the script that a glyph printed traces to the cell
  // of the code at the offset it names.
  for (let i = 0; i < text.length - 5; i += 3) {
    if (text[i] === '\n') continue;
    await pointAt(tab, i);
    const info = await tab.textContent('#trace-info');
    const at = parseInt(/offset 0x([0-9A-F]+)/.exec(info)[1], 16);
    const [c, n] = image.subarray(at, at + 2);
    const entry = c === 0xFF ? (n === 0xFF ? -1 : 255 + n) : c >= 0x10 ? c : -1;
    const cells = await tab.locator('.cell.traced').evaluateAll((l) => l.map((e) => Number(e.dataset.entry)));
    assert.deepEqual(cells, entry < 0 ? [] : [entry], `${i}: ${info}`);
  }
  await pointAt(tab, text.length - 2);
  assert.match(await tab.textContent('#trace-info'), /^\[EOF\]/);
  await tab.mouse.move(0, 0);
  assert.equal(await tab.locator('.cell.traced').count(), 0);
  await tab.focus('#script');
  await tab.keyboard.press('ArrowRight');
  assert.match(await tab.textContent('#trace-info'), /^offset 0x2EF800: code 0x04/);
  await tab.keyboard.press('ArrowDown');
  assert.match(await tab.textContent('#trace-info'), /^offset 0x2EF80C: code 0x03/);

  // The glyphs to fill: on the sample, none; with two cells broken, those,
  // most used first, each with where it occurs and a way to its cell.
  const sampleTab = await open();
  await load(sampleTab, {grid0: 'zol_00.txt', grid1: 'zol_01.txt', rom: 'sample.sfc'});
  await sampleTab.locator('#unknown-none').waitFor();
  assert.equal(await sampleTab.locator('#unknown-glyphs li').count(), 0);
  const broken = read(file('zol_00.txt'));
  broken.set([0x81, 0x40], 34 * 1 + 2 * 9);  // code 0x19 (こ, 3 uses): blank
  broken.set([0x82, 0xBE], 34 * 3 + 2 * 8);  // code 0x38 (る): だ, like 0x48
  fs.writeFileSync(file('broken_00.txt'), broken);
  await load(sampleTab, {grid0: 'broken_00.txt'});
  const items = sampleTab.locator('#unknown-glyphs li');
  await items.nth(2).waitFor();
  assert.deepEqual(await items.evaluateAll((l) => l.map((e) => e.dataset.entry)), ['25', '72', '56']);
  assert.match(await items.nth(0).textContent(), /code 0x19 .* is blank; used 4 times/);
  assert.match(await items.nth(1).textContent(), /is “だ”, like code 0x38/);
  await items.nth(0).locator('button').click();
  assert.equal(await sampleTab.evaluate(() => document.activeElement.dataset.entry), '25');
});

test('fast, small, offline, accessible, and fits a phone', async () => {
  const tab = await open();
  await load(tab, {grid0: 'zol_00.txt', grid1: 'zol_01.txt'});
  fs.copyFileSync(file('big.sfc'), file('big2.sfc'));
  const times = [];
  for (const name of ['big.sfc', 'big2.sfc', 'big.sfc', 'big2.sfc', 'big.sfc']) {
    await load(tab, {rom: name});
    times.push(await tab.evaluate(() => window.zolTimings.decodeAndDrawMs));
  }
  const edits = [];
  for (const c of ['＊', '＋', '＝']) {
    await tab.click('.cell[data-entry="32"]');
    await tab.fill('#cell-input', c);
    await tab.evaluate(() => { window.zolTimings.editMs = null; });
    await tab.click('#cell-apply');
    await tab.waitForFunction(() => window.zolTimings.editMs !== null);
    edits.push(await tab.evaluate(() => window.zolTimings.editMs));
  }
  const median = (a) => [...a].sort((x, y) => x - y)[a.length >> 1];
  const bytes = fs.statSync(page).size;
  console.log(`full window: decode and draw ${times.map((t) => t.toFixed(1)).join(', ')} ms; ` +
    `cell edit to repaint ${edits.map((t) => t.toFixed(1)).join(', ')} ms; page ${bytes} bytes`);
  assert.ok(median(times) <= 100, `${times} ms`);  // a guard against gross slowdowns
  assert.ok(median(edits) <= 100, `${edits} ms`);
  assert.ok(bytes < 200 * 1024, `${bytes} bytes`);

  // axe, on the page with a script, a warning and a picked cell.
  await load(tab, {rom: 'sample.sfc'});
  await tab.click('.cell[data-entry="33"]');
  await tab.addScriptTag({path: axe});
  const violations = await tab.evaluate(async () => (await window.axe.run()).violations
    .map((v) => `${v.id}: ${v.nodes.map((n) => n.target.join(' ')).slice(0, 3).join(', ')}`));
  assert.deepEqual(violations, []);

  // 390 px wide: nothing scrolls sideways.
  await tab.setViewportSize({width: 390, height: 800});
  assert.ok(await tab.evaluate(() => document.documentElement.scrollWidth <= 390),
    await tab.evaluate(() => document.documentElement.scrollWidth));

  const remote = requests.filter((u) => !u.startsWith('file:') && !u.startsWith('blob:') && !u.startsWith('data:'));
  assert.deepEqual(remote, []);
  assert.deepEqual(blocked, []);
  assert.deepEqual(tab.errors, []);
});
