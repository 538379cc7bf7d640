// Remakes doc/browser.png, the README's picture of the page showing the
// sample, with a character pointed at.  After `cmake --workflow --preset
// web` and the test build (for build/mksample's sample image):
//   node web/test/screenshot.mjs
// A Japanese font makes the picture readable (Debian: fonts-ipafont-gothic).
import {execFileSync} from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import {fileURLToPath, pathToFileURL} from 'node:url';
import {chromium} from 'playwright-core';

const root = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../..');
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'zolshot.'));
execFileSync(path.join(root, 'build/sample/mksample'), [path.join(root, 'sample/scene.txt'), 'sample.sfc'], {cwd: work});

const browser = await chromium.launch({
  executablePath: fs.existsSync('/usr/lib/chromium/chromium') ? '/usr/lib/chromium/chromium' : '/usr/bin/chromium',
  args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking', '--disable-component-update'],
});
const tab = await browser.newPage({viewport: {width: 1280, height: 1500}});
await tab.goto(pathToFileURL(path.join(root, 'build-web/zolvane-tools.html')).href);
await tab.waitForSelector('body[data-ready="true"]');
await tab.setInputFiles('#grid0', path.join(root, 'sample/zol_00.txt'));
await tab.setInputFiles('#grid1', path.join(root, 'sample/zol_01.txt'));
await tab.setInputFiles('#rom', path.join(work, 'sample.sfc'));
await tab.waitForFunction(() => window.zolTimings.decodeAndDrawMs !== null);
// Point at 森 in the script: its cell in the kanji grid lights up.
const box = await tab.evaluate(() => {
  const text = document.querySelector('#script .block').firstChild;
  const at = text.data.indexOf('森');
  const range = document.createRange();
  range.setStart(text, at);
  range.setEnd(text, at + 1);
  const r = range.getBoundingClientRect();
  return {x: r.x + r.width / 2, y: r.y + r.height / 2};
});
await tab.mouse.move(box.x, box.y);
await tab.screenshot({path: path.join(root, 'doc/browser.png'), fullPage: true});
await browser.close();
fs.rmSync(work, {recursive: true, force: true});
console.log('doc/browser.png');
