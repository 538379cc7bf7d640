// zolvane-tools.html in a real headless Chromium, opened from disk: the
// sample through the grids and through zol.tbl gives msgdump's and
// glyphpack's bytes, a cell edit changes the script, pointing traces a
// character to its cell, a split cell is named, and nothing goes out.
//   ZOL_PAGE=.../zolvane-tools.html ZOL_GLYPHPACK=.../glyphpack
//   ZOL_SAMPLE=.../sample node --test page.test.mjs
import {after, before, test} from 'node:test';
import assert from 'node:assert/strict';
import {execFileSync} from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import {pathToFileURL} from 'node:url';
import {chromium} from 'playwright-core';

const page = process.env.ZOL_PAGE;
const sample = process.env.ZOL_SAMPLE;
const glyphpack = process.env.ZOL_GLYPHPACK;
const start = 0x2EF800;
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'zolweb.'));
const file = (name) => path.join(work, name);
const read = (p) => fs.readFileSync(p);
const sjis = new TextDecoder('shift_jis');

let browser;
const requests = [];
const blocked = [];  // what the page's Content-Security-Policy stopped

before(() => {
  for (const [name, what] of [[page, 'the page'], [glyphpack, 'a native glyphpack (build/)']]) {
    assert.ok(name && fs.existsSync(name), `${what} is missing: ${name}`);
  }
  // The sample image: the scene's bytes (hex, # comments) at the window.
  const scene = fs.readFileSync(path.join(sample, 'scene.txt'), 'latin1')
    .split('\n').map((l) => l.replace(/#.*/, '')).join(' ')
    .split(/\s+/).filter(Boolean).map((h) => parseInt(h, 16));
  const image = Buffer.alloc(start + scene.length);
  Buffer.from(scene).copy(image, start);
  fs.writeFileSync(file('sample.sfc'), image);
  for (const g of ['zol_00.txt', 'zol_01.txt']) fs.copyFileSync(path.join(sample, g), file(g));
  execFileSync(glyphpack, {cwd: work, stdio: 'ignore'});
  // A 4 MiB image whose window is all codes: glyphs, kanji and controls.
  const big = Buffer.alloc(4 << 20);
  let x = 1;
  for (let p = start; p <= 0x2FFEB8; ++p) {
    x = (x * 1103515245 + 12345) >>> 0;
    big[p] = (x >>> 24) % 7 === 0 ? (x >>> 16) & 15 : 16 + ((x >>> 8) % 240);
  }
  fs.writeFileSync(file('big.sfc'), big);
});

before(async () => {
  const exe = fs.existsSync('/usr/lib/chromium/chromium') ? '/usr/lib/chromium/chromium' : '/usr/bin/chromium';
  browser = await chromium.launch({
    executablePath: exe,
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync'],
  });
});

after(async () => {
  await browser?.close();
  fs.rmSync(work, {recursive: true, force: true});
});

async function open() {
  const context = await browser.newContext({acceptDownloads: true});
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
  return tab;
}

async function load(tab, files) {
  for (const [input, name] of Object.entries(files)) await tab.setInputFiles(`#${input}`, file(name));
  await tab.waitForFunction(() => !document.getElementById('download-script').disabled);
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
  await tab.click(`#${button}`);
  const got = await all;
  return count === 1 ? got[0] : got;
}

test('the sample from its grids: script, table and grids as the programs write them', async () => {
  const tab = await open();
  await load(tab, {grid0: 'zol_00.txt', grid1: 'zol_01.txt', rom: 'sample.sfc'});
  const expected = read(path.join(sample, 'expected.txt'));
  assert.deepEqual(await download(tab, 'download-script'), expected);
  assert.deepEqual(await download(tab, 'download-table'), read(file('zol.tbl')));
  const utf8 = execFileSync('iconv', ['-f', 'CP932', '-t', 'UTF-8', path.join(sample, 'expected.txt')]);
  assert.deepEqual(await download(tab, 'download-script-utf8'), utf8);
  const [g0, g1] = await download(tab, 'download-grids', 2);
  assert.deepEqual(g0, read(file('zol_00.txt')));
  assert.deepEqual(g1, read(file('zol_01.txt')));
  // #script is the text window alone: what follows the empty line.
  const script = utf8.toString('utf8');
  assert.equal(await tab.textContent('#script'), script.slice(script.indexOf('\n\n') + 2));
  assert.equal(await tab.locator('#warnings li').count(), 0);
  assert.equal(await tab.textContent('[data-entry="256"]'), sjis.decode(read(file('zol.tbl')).subarray(512, 514)));
});

test('the sample through zol.tbl gives the same script', async () => {
  const tab = await open();
  await load(tab, {table: 'zol.tbl', rom: 'sample.sfc'});
  assert.deepEqual(await download(tab, 'download-script'), read(path.join(sample, 'expected.txt')));
});

test('pointing at a character highlights its cell; editing the cell changes the script', async () => {
  const tab = await open();
  await load(tab, {grid0: 'zol_00.txt', grid1: 'zol_01.txt', rom: 'sample.sfc'});
  const before = await tab.textContent('#script');
  // The first kana or kanji of the script from a glyph (not from the fixed
  // texts of codes 0x06, 0x07, 0x09 and 0x0C), pointed at with the mouse.
  const at = [...before].findIndex((c) => c.charCodeAt(0) > 0x3000 && !'さもるたロタン？'.includes(c));
  const box = await tab.evaluate((i) => {
    // The script is drawn in blocks; find the one that holds character i
    // and bring it into view.
    const block = [...document.querySelectorAll('#script .block')]
      .filter((b) => Number(b.dataset.start) <= i).pop();
    block.scrollIntoView({block: 'center'});
    const range = document.createRange();
    range.setStart(block.firstChild, i - Number(block.dataset.start));
    range.setEnd(block.firstChild, i - Number(block.dataset.start) + 1);
    const r = range.getBoundingClientRect();
    return {x: r.x + r.width / 2, y: r.y + r.height / 2};
  }, at);
  await tab.mouse.move(box.x, box.y);
  const cell = tab.locator('.cell.traced');
  await cell.waitFor();
  const entry = Number(await cell.getAttribute('data-entry'));
  const char = before[at];
  assert.equal(await cell.textContent(), char);
  // The offset it names holds the code of that entry.
  const info = await tab.textContent('#trace-info');
  const offset = parseInt(/offset 0x([0-9A-F]+)/.exec(info)[1], 16);
  const image = read(file('sample.sfc'));
  const code = image[offset] === 0xFF ? 255 + image[offset + 1] : image[offset];
  assert.equal(code, entry, info);

  // A new character for that cell shows wherever the code occurs.
  await cell.click();
  await tab.fill('#cell-input', '＊');
  await tab.click('#cell-apply');
  await tab.waitForFunction((c) => !document.getElementById('script').textContent.includes(c), char);
  assert.equal(await tab.textContent('#script'), before.replaceAll(char, '＊'));
  // A character with no Shift-JIS code is refused.
  await tab.fill('#cell-input', '😀');
  await tab.click('#cell-apply');
  assert.match(await tab.textContent('#cell-error'), /no Shift-JIS code/);
});

test('a split cell is named and marked', async () => {
  const grid = read(file('zol_00.txt'));
  const line = Buffer.concat([Buffer.from('A'), grid.subarray(34 * 2, 34 * 2 + 30), Buffer.from('B')]);
  line.copy(grid, 34 * 2);
  fs.writeFileSync(file('split_00.txt'), grid);
  const tab = await open();
  await load(tab, {grid0: 'split_00.txt', grid1: 'zol_01.txt', rom: 'sample.sfc'});
  const warnings = await tab.locator('#warnings li').allTextContents();
  assert.equal(warnings.length, 1, warnings.join('\n'));
  assert.match(warnings[0], /^glyphpack: zol_00\.txt:3: column 1 holds 41 /);
  assert.ok(await tab.locator('[data-entry="32"].split').count() === 1);
});

test('a 4 MiB image decodes and draws fast; the page is small and offline', async () => {
  const tab = await open();
  await tab.setInputFiles('#grid0', file('zol_00.txt'));
  await tab.setInputFiles('#grid1', file('zol_01.txt'));
  fs.copyFileSync(file('big.sfc'), file('big2.sfc'));
  const times = [];
  for (const name of ['big.sfc', 'big2.sfc', 'big.sfc']) {
    await tab.evaluate(() => { window.zolTimings.decodeAndDrawMs = null; });
    await tab.setInputFiles('#rom', file(name));
    await tab.waitForFunction(() => window.zolTimings.decodeAndDrawMs !== null);
    times.push(await tab.evaluate(() => window.zolTimings.decodeAndDrawMs));
  }
  const median = [...times].sort((a, b) => a - b)[1];
  console.log(`decode and draw of the full window: ${times.map((t) => t.toFixed(1)).join(', ')} ms; ` +
    `page ${fs.statSync(page).size} bytes`);
  assert.ok(median <= 50, `${times} ms`);
  assert.ok(fs.statSync(page).size < 400 * 1024);
  const remote = requests.filter((u) => !u.startsWith('file:') && !u.startsWith('blob:') && !u.startsWith('data:'));
  assert.deepEqual(remote, []);
  assert.deepEqual(blocked, []);
});
