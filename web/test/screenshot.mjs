// Makes the README's picture of the page, browser.png, in the build folder
// (copy it to doc/ by hand): the sample loaded with its own button, a cell
// blanked (so listed under "Glyphs to fill"), a character of the script
// pointed at and its cell lit, at a laptop's 1280 x 800.  After
// `cmake --workflow --preset web`:
//   web/test/run.sh build-web/web/npm screenshot.mjs
// A Japanese font makes the picture readable (Debian: fonts-ipafont-gothic).
import fs from 'node:fs';
import path from 'node:path';
import {pathToFileURL} from 'node:url';
import {chromium} from 'playwright-core';

const browser = await chromium.launch({
  executablePath: fs.existsSync('/usr/lib/chromium/chromium') ? '/usr/lib/chromium/chromium' : '/usr/bin/chromium',
  args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking', '--disable-component-update'],
});
const tab = await browser.newPage({viewport: {width: 1280, height: 800}});
await tab.goto(pathToFileURL(process.env.ZOL_PAGE).href);
await tab.waitForSelector('body[data-ready="true"]');
const drawn = () => tab.evaluate(() => Number(document.body.dataset.drawn));
let n = await drawn();
await tab.click('#load-sample');
await tab.waitForFunction((k) => Number(document.body.dataset.drawn) > k, n);
// Blank the cell of こ, as a translator may not have filled it yet.
await tab.click('.cell[data-entry="25"]');
await tab.fill('#cell-input', '\u3000');
n = await drawn();
await tab.click('#cell-apply');
await tab.waitForFunction((k) => Number(document.body.dataset.drawn) > k, n);
await tab.evaluate(() => document.getElementById('grids').scrollIntoView());
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
const out = path.join(process.env.ZOL_OUT ?? process.cwd(), 'browser.png');
await tab.screenshot({path: out});
await browser.close();
console.log(out);
