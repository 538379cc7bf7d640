// Files in: the pickers, drops, and the bar of what is loaded with a
// button that reads a file again.  Every file is checked before it is read
// whole (files.js); a grid whose name does not say its page is asked about.
import {HEAD, recognise, refusePick} from './files.js';
import {bytes} from './words.js';

const LABELS = {grid0: 'one-byte grid', grid1: 'kanji grid', table: 'table', rom: 'ROM image'};

// limits: the core's constants that say what a file can be.
export function createInputs(doc, {limits, take, refuse, begin}) {
  const $ = (id) => doc.getElementById(id);

  // A file's bytes (of a glyph table, its first tableBytes: all that is read of
  // one), or null with the reason said.
  async function read(file, role) {
    try {
      const part = role === 'table' ? file.slice(0, limits.tableBytes) : file;
      return new Uint8Array(await part.arrayBuffer());
    } catch (e) {
      refuse(`${file.name} could not be read (${e.name}): it may have changed or moved since it was picked. Pick it again.`);
      return null;
    }
  }
  const head = async (file) => {
    try {
      return new Uint8Array(await file.slice(0, HEAD).arrayBuffer());
    } catch {
      return new Uint8Array(0);
    }
  };

  // Takes file in role, once it is checked; false if it was not taken.
  async function load(role, file) {
    const why = refusePick(role, file.name, file.size, await head(file));
    if (why) {
      refuse(why);
      return false;
    }
    const b = await read(file, role);
    return b !== null && take(role, b, file.name, file.size, file);
  }

  // Asks which grid a file is, when its name does not say: 0, 1 or null.
  function askPage(name) {
    const dialog = $('which-grid');
    $('which-grid-text').textContent = `${name} looks like a grid. Which one is it?`;
    return new Promise((resolve) => {
      dialog.addEventListener('close', () => resolve(dialog.returnValue === '' ? null : Number(dialog.returnValue)),
        {once: true});
      dialog.returnValue = '';  // Escape leaves the last answer standing
      dialog.showModal();
    });
  }

  for (const role of ['rom', 'grid0', 'grid1', 'table', 'insert-script', 'insert-table']) {
    $(role).addEventListener('change', async (ev) => {
      const input = ev.target;
      const file = input.files[0];
      input.value = '';  // so that picking the same file again reloads it
      begin();
      if (file) await load(role === 'insert-script' ? 'script' : role, file);
    });
  }

  const drop = $('drop');
  doc.addEventListener('dragover', (ev) => {
    ev.preventDefault();
    drop.classList.add('over');
  });
  doc.addEventListener('dragleave', () => drop.classList.remove('over'));
  doc.addEventListener('drop', async (ev) => {
    ev.preventDefault();
    drop.classList.remove('over');
    begin();
    for (const file of ev.dataTransfer.files) {
      const known = recognise(file.name, file.size, await head(file), limits);
      if (known.refused) {
        refuse(known.refused);
        continue;
      }
      let {role} = known;
      if (role === 'grid') {
        const page = await askPage(file.name);
        if (page === null) continue;
        role = `grid${page}`;
      }
      await load(role, file);
    }
  });

  return {
    // The bar: every loaded file, with Reload for those read from a file.
    drawLoaded(loaded, edited) {
      const bar = $('loaded');
      bar.replaceChildren();
      for (const role of Object.keys(LABELS)) {
        if (!loaded[role]) continue;
        const {name, size, file} = loaded[role];
        const li = doc.createElement('li');
        li.dataset.role = role;
        li.append(`${LABELS[role]}: `);
        const b = doc.createElement('b');
        b.textContent = name;
        li.append(b, ` (${bytes(size)}${role.startsWith('grid') && edited(Number(role[4])) ? ', edited' : ''}) `);
        if (file) {
          const again = doc.createElement('button');
          again.type = 'button';
          again.textContent = 'Reload';
          again.setAttribute('aria-label', `Reload ${name}`);
          again.addEventListener('click', async () => {
            const b = await read(file, role);
            if (b === null) $(role).click();  // said why; asked to pick it again
            else take(role, b, name, file.size, file);
          });
          li.append(again);
        }
        bar.appendChild(li);
      }
    },
  };
}
