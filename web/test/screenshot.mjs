// Remakes doc/browser.png, the README's picture of the page: the sample
// loaded with its own button, a cell blanked (so listed under "Glyphs to
// fill"), a character of the script pointed at and its cell lit.  After `cmake --workflow --preset web`:
//   web/test/run.sh build-web/web/test screenshot.mjs
// A Japanese font makes the picture readable (Debian: fonts-ipafont-gothic).
import fs from 'node:fs';
import path from 'node:path';
import {pathToFileURL} from 'node:url';
import {chromium} from 'playwright-core';

const root = process.env.ZOL_SOURCE;
const browser = await chromium.launch({
  executablePath: fs.existsSync('/usr/lib/chromium/chromium') ? '/usr/lib/chromium/chromium' : '/usr/bin/chromium',
  args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking', '--disable-component-update'],
});
const tab = await browser.newPage({viewport: {width: 1280, height: 1900}});
await tab.goto(pathToFileURL(process.env.ZOL_PAGE).href);
await tab.waitForSelector('body[data-ready="true"]');
await tab.click('#load-sample');
await tab.waitForFunction(() => window.zolTimings.decodeAndDrawMs !== null);
// Blank the cell of こ, as a translator may not have filled it yet: it is
// listed under "Glyphs to fill", and Undo is offered.
await tab.click('.cell[data-entry="25"]');
await tab.fill('#cell-input', '\u3000');
await tab.click('#cell-apply');
await tab.waitForSelector('#unknown-glyphs li');
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
await tab.screenshot({path: path.join(root, 'doc/browser.png')});
await browser.close();
console.log('doc/browser.png');
