// The script drawn, and traced: pointing at a character (or moving with
// the arrow keys over the focused script) names the offset and the code
// that made it, and lights its cell.
import {cellPlace, offset} from './words.js';

// codes: the core's record of every code index; cells() the cell records.
export function createScript(doc, {codes, cells, onTrace, announce}) {
  const pre = doc.getElementById('script');
  const info = doc.getElementById('trace-info');
  let text = '';
  let trace = new Uint32Array(0);  // offset, code index, for each code
  let starts = new Uint32Array(1);  // where each code's text starts
  let traced = -1;
  let eof = false;  // the walk ended with the image, inside the window

  function clear(said = 'Nothing traced.') {
    traced = -1;
    if (globalThis.CSS?.highlights) CSS.highlights.delete('trace');
    info.textContent = said;
    onTrace(-1);
  }
  // The code whose text holds character unit of the script, or -1 past it:
  // the last that starts at or before it (codes that show nothing share
  // their start with the next).
  function codeAt(unit) {
    const count = starts.length - 1;
    if (unit >= starts[count]) return -1;
    let lo = 0;
    let hi = count - 1;
    while (lo < hi) {
      const mid = (lo + hi + 1) >> 1;
      if (starts[mid] <= unit) lo = mid;
      else hi = mid - 1;
    }
    return lo;
  }
  // A DOM range over units from..to of the script.
  function rangeOf(from, to) {
    const block = [...pre.children].filter((b) => Number(b.dataset.start) <= from).pop();
    if (!block?.firstChild) return null;
    const start = Number(block.dataset.start);
    const range = doc.createRange();
    range.setStart(block.firstChild, from - start);
    range.setEnd(block.firstChild, Math.min(to - start, block.firstChild.length));
    return range;
  }
  function show(i) {
    clear();
    if (i < 0) {
      info.textContent = eof ? '[EOF]: the image ends here, inside the text window.'
        : 'Past the end of the script.';
      return null;
    }
    traced = i;
    const code = codes[trace[2 * i + 1]];
    const e = code.entry;
    info.textContent = `offset ${offset(trace[2 * i])}: code ${code.name}` +
      (e >= 0 ? `, glyph table entry ${e} (${cellPlace(cells()[e])})` : code.control ? ', a control code' : '');
    onTrace(e);
    const range = rangeOf(starts[i], starts[i + 1]);
    if (range && globalThis.CSS?.highlights) CSS.highlights.set('trace', new Highlight(range));
    return range;
  }

  pre.addEventListener('mousemove', (ev) => {
    const pos = doc.caretPositionFromPoint?.(ev.clientX, ev.clientY);
    const r = pos ? null : doc.caretRangeFromPoint?.(ev.clientX, ev.clientY);
    const node = pos ? pos.offsetNode : r?.startContainer;
    const at = pos ? pos.offset : r?.startOffset;
    const block = node?.parentNode;
    if (!block || block.parentNode !== pre) return clear('Nothing under the pointer.');
    // The caret falls before or after the character under the pointer:
    // take the one whose box holds the pointer, if any (not empty space).
    const start = Number(block.dataset.start);
    for (const unit of [at, at - 1]) {
      if (unit < 0 || unit >= node.length) continue;
      const range = doc.createRange();
      range.setStart(node, unit);
      range.setEnd(node, unit + 1);
      const box = range.getBoundingClientRect();
      if (ev.clientX >= box.left && ev.clientX <= box.right && ev.clientY >= box.top && ev.clientY <= box.bottom) {
        if (traced !== codeAt(start + unit) || traced < 0) show(codeAt(start + unit));
        return;
      }
    }
    clear(start + at >= text.length ? 'Past the end of the script.' : 'Nothing under the pointer.');
  });
  pre.addEventListener('mouseleave', () => clear());
  // Left and right move code by code, up and down line by line.
  pre.addEventListener('keydown', (ev) => {
    const count = starts.length - 1;
    const shows = (i) => starts[i + 1] > starts[i];
    let i = traced;
    if (ev.key === 'ArrowRight' || ev.key === 'ArrowLeft') {
      const d = ev.key === 'ArrowRight' ? 1 : -1;
      do i += d; while (i >= 0 && i < count && !shows(i));
      if (i >= count) i = -1;
      else if (i < 0) i = traced;
    } else if (ev.key === 'ArrowDown' || ev.key === 'ArrowUp') {
      const unit = traced < 0 ? 0 : starts[traced];
      const lineStart = text.lastIndexOf('\n', unit - 1) + 1;
      let target;
      if (ev.key === 'ArrowDown') {
        const nl = text.indexOf('\n', unit);
        if (nl < 0) return;
        target = nl + 1;
      } else {
        if (lineStart === 0) return;
        target = text.lastIndexOf('\n', lineStart - 2) + 1;
      }
      const lineEnd = text.indexOf('\n', target);
      i = codeAt(target + Math.min(unit - lineStart, (lineEnd < 0 ? text.length : lineEnd) - target));
    } else if (ev.key === 'Enter') {
      announce(info.textContent);
      return;
    } else {
      return;
    }
    ev.preventDefault();
    show(i)?.startContainer.parentNode.scrollIntoView({block: 'nearest'});
  });

  return {
    // Draws the script in blocks of about 2000 characters cut after a line
    // break (the browser lays out only those in view); units says how many
    // UTF-16 units each code shows as, so that tracing is exact.
    draw(script, walk, units) {
      text = script;
      trace = walk.codes;
      eof = walk.eof;
      const count = trace.length / 2;
      starts = new Uint32Array(count + 1);
      let unit = 0;
      for (let i = 0; i < count; ++i) {
        starts[i] = unit;
        unit += units[trace[2 * i + 1]];
      }
      starts[count] = unit;
      const blocks = doc.createDocumentFragment();
      for (let i = 0; i < text.length;) {
        let j = text.indexOf('\n', i + 2000);
        j = j < 0 ? text.length : j + 1;
        const block = doc.createElement('span');
        block.className = 'block';
        block.dataset.start = String(i);
        block.textContent = text.slice(i, j);
        blocks.appendChild(block);
        i = j;
      }
      pre.replaceChildren(blocks);
      clear();
    },
  };
}
