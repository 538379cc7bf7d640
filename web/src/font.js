// The font panel: where the image holds the game's glyphs (the layout, kept
// with the work), the decoded sheet to step through and zoom, "Find the
// font", a glyph named as a code to place the layout, and the glyphs and
// suggestions the other parts show (every cell's glyph, the editor's five
// characters, "Fill blank cells").  The core decodes, places, finds and
// matches; this module words and draws what it returns.
import {offset as hex} from './words.js';

const SIDE = 16;    // a glyph's pixels, each way
const ACROSS = 16;  // glyphs in a row of the panel's sheet
const SHEET = 32;   // glyphs in a row of the cells' sheet (512 in 16 rows)

// The cells "Fill blank cells" fills: every blank or empty cell that a code
// shows and the font gives suggestions for, with its first one.
export function blankFills(cells, suggestions) {
  return suggestions.filter((s) => {
    const c = cells[s.entry];
    return c && c.reachable && !c.control && (c.blank || c.empty) && s.chars.length > 0;
  }).map((s) => ({entry: s.entry, page: cells[s.entry].page, char: s.chars[0]}));
}

// A typed code ("3A", "0x3A", "FF 01", "0xFF 0x01") as the core names
// codes, for comparing.
export const codeWords = (text) => text.replace(/0x/gi, '').replace(/\s+/g, '').toUpperCase();

// Draws 1bpp glyphs (32 bytes each) into ctx, glyph i at place(i) = [x, y],
// scale pixels a dot.
export function drawGlyphs(ctx, bytes, count, scale, place) {
  const w = ctx.canvas.width;
  const h = ctx.canvas.height;
  const img = ctx.createImageData(w, h);
  for (let i = 0; i < count; ++i) {
    const [x0, y0] = place(i);
    for (let y = 0; y < SIDE; ++y) {
      const row = (bytes[i * 32 + 2 * y] << 8) | bytes[i * 32 + 2 * y + 1];
      if (!row) continue;
      for (let x = 0; x < SIDE; ++x) {
        if (!(row & (0x8000 >> x))) continue;
        for (let dy = 0; dy < scale; ++dy) {
          let p = ((y0 + y * scale + dy) * w + x0 + x * scale) * 4;
          for (let dx = 0; dx < scale; ++dx, p += 4) img.data[p + 3] = 255;
        }
      }
    }
  }
  ctx.putImageData(img, 0, 0);
}

// Draws one 1bpp glyph (32 bytes) filling canvas, scale pixels a dot.
export function drawGlyph(canvas, bytes, scale) {
  canvas.width = canvas.height = SIDE * scale;
  drawGlyphs(canvas.getContext('2d'), bytes, 1, scale, () => [0, 0]);
}

export function createFont(doc, {store, references, onGlyphs}) {
  const $ = (id) => doc.getElementById(id);
  const {core, workspace} = store;
  const formats = core.fontFormats;
  const font = store.font;
  const canvas = $('font-sheet');
  const say = (text) => { $('font-status').textContent = text; };
  let shown = null;    // the layout the fields last showed
  let view = null;     // what the panel's sheet last drew
  let picked = -1;     // the byte offset of the glyph clicked on the sheet
  let pending = null;  // the suggestions' key being worked out

  formats.forEach((f, i) => $('font-format').add(new Option(`${f.name} (${f.bytes} bytes a glyph)`, String(i))));
  const size = () => formats[Number($('font-format').value)].bytes;
  const number = (text) => (text.trim() === '' ? null : Number(text.trim()));
  const target = () => $('font-target').value;

  // The layout the fields say, as the core reads it (or its reason why not).
  function layoutOfFields() {
    const f = formats[Number($('font-format').value)].name;
    const kanji = $('font-kanji').value.trim();
    return core.fontLayout(`${f}:${$('font-offset').value.trim()}${kanji ? `:${kanji}` : ''}`);
  }
  function setFields(layout) {
    const s = core.fontLayout(layout);
    if (!s.ok) return;
    $('font-format').value = String(s.format);
    $('font-offset').value = hex(s.offset);
    $('font-kanji').value = s.kanji === undefined ? '' : hex(s.kanji);
    shown = s.layout;
  }
  // The fields changed: the layout is set if it reads, said if not.
  function fieldsChanged() {
    const s = layoutOfFields();
    $('font-error').textContent = s.ok ? '' : `Not a place the font can be (the ${s.error} is wrong).`;
    if (!s.ok) return;
    shown = s.layout;
    workspace.setFont(s.layout);
    draw();
  }
  for (const id of ['font-format', 'font-offset', 'font-kanji']) $(id).addEventListener('change', fieldsChanged);
  $('font-target').addEventListener('change', () => draw());
  $('font-zoom').addEventListener('change', () => draw());
  for (const b of doc.querySelectorAll('[data-step]')) {
    b.addEventListener('click', () => {
      const [sign, unit] = [b.dataset.step[0] === '-' ? -1 : 1, b.dataset.step.slice(1)];
      const by = {byte: 1, glyph: size(), row: ACROSS * size(), page: 256 * size()}[unit];
      const field = $(target() === 'kanji' ? 'font-kanji' : 'font-offset');
      field.value = hex(Math.max(0, (number(field.value) ?? 0) + sign * by));
      fieldsChanged();
    });
  }

  // The panel's sheet: 16 x 16 glyphs from the stepped page's offset.
  function drawSheet() {
    const img = store.imageBytes();
    const zoom = Number($('font-zoom').value);
    const from = number($(target() === 'kanji' ? 'font-kanji' : 'font-offset').value);
    const key = [img, $('font-format').value, from, zoom, picked];
    if (view && key.every((k, i) => k === view[i])) return;
    view = key;
    const cell = SIDE * zoom + 1;
    canvas.width = canvas.height = ACROSS * cell + 1;
    const ctx = canvas.getContext('2d');
    if (!img || from === null || Number.isNaN(from)) return;
    const t0 = performance.now();
    const glyphs = core.fontGlyphs(img, Number($('font-format').value), from, ACROSS * ACROSS);
    drawGlyphs(ctx, glyphs, glyphs.length / 32, zoom, (i) => [1 + (i % ACROSS) * cell, 1 + Math.floor(i / ACROSS) * cell]);
    ctx.strokeStyle = '#c8c8c8';
    ctx.beginPath();
    for (let k = 0; k <= ACROSS; ++k) {
      ctx.moveTo(k * cell + 0.5, 0);
      ctx.lineTo(k * cell + 0.5, canvas.height);
      ctx.moveTo(0, k * cell + 0.5);
      ctx.lineTo(canvas.width, k * cell + 0.5);
    }
    ctx.stroke();
    const i = (picked - from) / size();
    if (Number.isInteger(i) && i >= 0 && i < ACROSS * ACROSS) {
      ctx.strokeStyle = '#6a1b9a';
      ctx.lineWidth = 2;
      ctx.strokeRect((i % ACROSS) * cell + 1, Math.floor(i / ACROSS) * cell + 1, cell - 1, cell - 1);
    }
    canvas.dataset.ms = (performance.now() - t0).toFixed(1);
  }
  canvas.addEventListener('click', (ev) => {
    const r = canvas.getBoundingClientRect();
    const cell = (SIDE * Number($('font-zoom').value) + 1) * (r.width / canvas.width);
    const i = Math.floor((ev.clientY - r.top) / cell) * ACROSS + Math.floor((ev.clientX - r.left) / cell);
    const from = number($(target() === 'kanji' ? 'font-kanji' : 'font-offset').value) ?? 0;
    picked = from + i * size();
    $('font-picked').textContent = `The glyph at ${hex(picked)}.`;
    $('font-place').disabled = false;
    drawSheet();
  });
  // "This glyph is code XX": the page's offset set so that it is.
  $('font-place-form').addEventListener('submit', (ev) => {
    ev.preventDefault();
    const want = codeWords($('font-code').value);
    const entry = store.decoded.cells.findIndex((c) => c.reachable && !c.control && codeWords(c.name) === want);
    const at = entry < 0 ? {ok: false} : core.fontPlace(Number($('font-format').value), entry, picked);
    if (!at.ok) {
      $('font-error').textContent = entry < 0 ? `No glyph shows code “${$('font-code').value}”.`
        : `That glyph lies too early in the image to be code ${store.decoded.cells[entry].name}.`;
      return;
    }
    $(at.kanji ? 'font-kanji' : 'font-offset').value = hex(at.offset);
    $('font-target').value = at.kanji ? 'kanji' : 'offset';
    fieldsChanged();
  });

  // "Find the font": the core scans the whole image, which takes seconds.
  $('font-find').addEventListener('click', async () => {
    const img = store.imageBytes();
    if (!img) return;
    $('font-find').disabled = true;
    say('Looking for the font in the whole image: this takes a few seconds…');
    await references();
    await new Promise((resolve) => setTimeout(resolve, 30));  // the words are drawn first
    const t0 = performance.now();
    const r = core.fontFind(img);
    const ms = performance.now() - t0;
    $('font-find').disabled = false;
    $('font-status').dataset.findMs = ms.toFixed(0);
    const found = r.ok ? r.found : [];
    const list = $('font-found');
    list.replaceChildren();
    for (const f of found.slice(1)) {
      const b = doc.createElement('button');
      b.type = 'button';
      b.textContent = f.layout;
      b.addEventListener('click', () => use(f.layout));
      const li = doc.createElement('li');
      li.append(b, ` (matches ${(f.score / 10).toFixed(1)}%)`);
      list.appendChild(li);
    }
    if (found.length === 0) {
      say(`No font found in this image (${(ms / 1000).toFixed(1)} s).`);
      return;
    }
    say(`Found ${found[0].layout}, the likeliest of ${found.length} (matches ${(found[0].score / 10).toFixed(1)}%, ` +
      `${(ms / 1000).toFixed(1)} s)${found.length > 1 ? '; the others are below' : ''}.`);
    use(found[0].layout);
  });
  function use(layout) {
    setFields(layout);
    $('font-target').value = 'offset';
    fieldsChanged();
  }

  // The suggestions for the layout and image now, worked out once each, once
  // the layout has stood still for a moment (they take a second or more, and
  // stepping through the image changes the layout at every click).
  function suggest(img, layout) {
    const key = [img, layout];
    const same = (k) => k && k.every((x, i) => x === key[i]);
    if (same(font.key) || same(pending)) return;
    pending = key;
    font.suggestions = null;
    setTimeout(async () => {
      await references();
      if (!same(pending)) return;
      const t0 = performance.now();
      const r = core.fontSuggest(img, layout);
      font.suggestMs = performance.now() - t0;
      $('fill-suggested').dataset.ms = font.suggestMs.toFixed(0);
      pending = null;
      font.key = key;
      font.suggestions = new Map((r.ok ? r.suggestions : []).map((s) => [s.entry, s]));
      onGlyphs();
    }, 500);
  }

  // The cells' sheet: every entry's glyph, as a picture the cells show.
  function drawCells(img, layout) {
    const key = [img, layout];
    if (font.sheetKey && key.every((k, i) => k === font.sheetKey[i])) return;
    font.sheetKey = key;
    font.url = null;
    font.inked = null;
    font.glyphs = null;
    if (!img || !layout) return;
    const t0 = performance.now();
    const bytes = core.fontSheet(img, layout);
    if (bytes.length === 0) return;
    const c = doc.createElement('canvas');
    c.width = SHEET * SIDE;
    c.height = (512 / SHEET) * SIDE;
    drawGlyphs(c.getContext('2d'), bytes.subarray(512), 512, 1, (e) => [(e % SHEET) * SIDE, Math.floor(e / SHEET) * SIDE]);
    font.inked = bytes.subarray(0, 512);
    font.glyphs = bytes.subarray(512);
    font.url = c.toDataURL();
    canvas.dataset.cellsMs = (performance.now() - t0).toFixed(1);
  }

  function draw() {
    const img = store.imageBytes();
    if (workspace.font && workspace.font !== shown) setFields(workspace.font);
    $('font-find').disabled = !img;
    const layout = workspace.font;
    drawSheet();
    const had = font.url;
    drawCells(img, layout);
    if (img && layout) suggest(img, layout);
    else font.suggestions = null;
    $('fill-suggested').disabled = !font.suggestions;
    if (font.url !== had) onGlyphs();
  }
  return {draw};
}

// Where entry's glyph sits in the cells' sheet, as a CSS background
// position (the sheet scaled to the element: 32 x 16 glyphs).
export const sheetPosition = (e) => `${((e % SHEET) / (SHEET - 1)) * 100}% ${(Math.floor(e / SHEET) / (512 / SHEET - 1)) * 100}%`;
