// The browser host's page side, put in front of the emitted loader (--pre-js). It owns:
// - the canvas: the game's pictures (RGBA from host_browser.cpp), placed at the largest whole
//   factor (sharp) or filling the stage at 4:3 (smooth), centred, or scaled down to fit where
//   not even one pixel a pixel fits; F11 or the page's button switches, the choice kept in
//   localStorage;
// - full screen (Fullscreen API) on Alt+Enter or the page's button;
// - keys and gamepads, as Windows virtual keys for the game, and the keys of the page's own
//   controls (sendKey, from touch.js);
// - the waits: the game hands the thread back until a given time (see sleepUntil);
// - the files: "tavlo.rka" comes with the page, "score.dat" is kept in IndexedDB and stored
//   again (the larger best kept) each time the game has put a new one in place, and when the
//   game ends; persistent storage asked for, and what the browser gave said (host.storage);
// - one game per site: a second tab waits for the first to close (Web Locks, or messages);
// - what tests and measurements read: tavloHost.state, .exitCode, .flips, .shown, .stored.
// The page must hold #stage (containing canvas #screen) and may hold #message and #notice.
// It hears "tavlokeys" on the document when a keyboard or a gamepad is used, and
// "tavlostorage" when host.storage changes.
Module.tavloHost = (function () {
  'use strict';
  const host = {
    state: 'loading',  // 'running' from the first picture, 'ended' once the score is stored
    exitCode: null,
    flips: [],         // performance.now() of every flip
    shown: null,       // {gameMs, at}: the game's clock and performance.now() of the last picture
    scaling: 'sharp',
    stored: 0,         // times "score.dat" reached IndexedDB
  };
  // The page's controls hide while a keyboard or a gamepad is played with.
  const usedKeys = () => document.dispatchEvent(new Event('tavlokeys'));

  // ---- keys --------------------------------------------------------------------------------
  const keyCodes = {
    Enter: 0x0D, NumpadEnter: 0x0D, ControlLeft: 0x11, ControlRight: 0x11, ShiftLeft: 0x10,
    ShiftRight: 0x10, AltLeft: 0x12, AltRight: 0x12, Pause: 0x13, Escape: 0x1B, Space: 0x20,
    Backspace: 0x08, Tab: 0x09, PageUp: 0x21, PageDown: 0x22, End: 0x23, Home: 0x24,
    ArrowLeft: 0x25, ArrowUp: 0x26, ArrowRight: 0x27, ArrowDown: 0x28, Insert: 0x2D, Delete: 0x2E,
  };
  for (let i = 0; i < 26; ++i) keyCodes['Key' + String.fromCharCode(65 + i)] = 65 + i;
  for (let i = 0; i < 10; ++i) {
    keyCodes['Digit' + i] = 0x30 + i;
    keyCodes['Numpad' + i] = 0x60 + i;
  }
  for (let i = 1; i <= 12; ++i) keyCodes['F' + i] = 0x6F + i;
  // Keys whose browser action would get in the way: scrolling, focus moves, the browser's own
  // full screen. Others (F5, Ctrl+R, ...) keep their action and still reach the game.
  const keptFromBrowser = new Set([0x0D, 0x13, 0x20, 0x09, 0x21, 0x22, 0x23, 0x24, 0x25, 0x26,
    0x27, 0x28, 0x7A]);
  const events = [];  // (kind << 16) | virtual key; kinds as host_browser.cpp reads them

  // Bindings: which keys and gamepad controls do what, with the names settings.conf uses
  // (SDL's key and controller names, any case), kept in localStorage as tavlo.key.ACTION
  // ("Left,A,H") and tavlo.pad.ACTION ("a,start"). Their rules are the game's module's
  // (bindings_browser.cpp, over the one model every host uses): the page hands it the keys it
  // knows and what is stored, and keeps what comes back, to act on a key at once.
  const sdlNames = {
    Enter: 'Return', NumpadEnter: 'Keypad Enter', ControlLeft: 'Left Ctrl',
    ControlRight: 'Right Ctrl', ShiftLeft: 'Left Shift', ShiftRight: 'Right Shift',
    AltLeft: 'Left Alt', AltRight: 'Right Alt', Pause: 'Pause', Escape: 'Escape', Space: 'Space',
    Backspace: 'Backspace', Tab: 'Tab', PageUp: 'PageUp', PageDown: 'PageDown', End: 'End',
    Home: 'Home', ArrowLeft: 'Left', ArrowUp: 'Up', ArrowRight: 'Right', ArrowDown: 'Down',
    Insert: 'Insert', Delete: 'Delete',
  };
  for (let i = 0; i < 26; ++i) sdlNames['Key' + String.fromCharCode(65 + i)] = String.fromCharCode(65 + i);
  for (let i = 0; i < 10; ++i) {
    sdlNames['Digit' + i] = String(i);
    sdlNames['Numpad' + i] = 'Keypad ' + i;
  }
  for (let i = 1; i <= 12; ++i) sdlNames['F' + i] = 'F' + i;
  const knownKeys = Object.keys(sdlNames).map((code) => `${sdlNames[code]}=${keyCodes[code]}`)
    .filter((v, i, all) => all.indexOf(v) === i).join('\t');
  let keyTable = new Map();  // 'left' → { vk, plain, alt, bound }, as the module answered
  let padMap = null;         // what each control gives the game, as readPadMap hands it over
  let padMapChanged = true;
  host.bindings = {};        // 'key.left', 'pad.left', ... → the list as the panel shows it
  // Reads the stored bindings through the module; returns the notes. Before the module runs
  // there is nothing to read them with: the keys are the browser's own until then.
  function readBindings() {
    if (!Module['_tavlo_bindings_read']) return [];
    const stored = [];
    try {
      for (let i = 0; i < localStorage.length; ++i) {
        const name = localStorage.key(i);
        if (/^tavlo\.(key|pad)\./.test(name)) stored.push(`${name.slice(6)}=${localStorage.getItem(name)}`);
      }
    } catch (e) { /* none */ }
    const buffer = Module['_tavlo_bindings_buffer']();
    stringToUTF8(['names\t' + knownKeys].concat(stored).join('\n'), buffer,
      Module['_tavlo_bindings_buffer_size']());
    Module['_tavlo_bindings_read']();
    const notes = [];
    keyTable = new Map();
    host.bindings = {};
    for (const line of UTF8ToString(buffer).split('\n')) {
      const f = line.split('\t');
      if (f[0] === 'bind') host.bindings[f[1]] = f[2];
      else if (f[0] === 'key') keyTable.set(f[1], { vk: +f[2], plain: f[3], alt: f[4], bound: f[5] === '1' });
      else if (f[0] === 'pad') padMap = f.slice(1).map(Number);
      else if (f[0] === 'note') notes.push(f[1]);
    }
    padMapChanged = true;
    for (const note of notes) console.warn('tavlo: ' + note);
    return notes;
  }
  host.readBindings = readBindings;
  // The panel's way in: stores one list ('key.left', 'pad.enter') and reads them all again;
  // returns the notes.
  host.setBinding = function (name, text) {
    try { localStorage.setItem('tavlo.' + name, text); } catch (e) { /* kept for now */ }
    return readBindings();
  };
  // The controls' keys into the game's memory (27 numbers, as padMap); true when they changed
  // since the last call.
  host.readPadMap = function (out) {
    if (!padMapChanged || !padMap) return false;
    padMapChanged = false;
    HEAP32.set(padMap, out >> 2);
    return true;
  };

  function onKey(e, down) {
    // Typing into the page's fields (the bindings panel) is not playing.
    if (e.target && e.target.tagName === 'INPUT') return;
    const natural = keyCodes[e.code];
    if (!natural) return;
    const key = keyTable.get(sdlNames[e.code].toLowerCase());
    const vk = key ? key.vk : natural;
    const action = key ? (e.altKey ? key.alt : key.plain) : '-';
    if (keptFromBrowser.has(natural) || (key && key.bound) || action !== '-') e.preventDefault();
    if (down && !e.repeat) {
      if (action === 'fullscreen') toggleFullscreen();
      else if (action === 'scaling') toggleScaling();
    }
    if (!vk) return;
    // Alt combinations and F10 are system keys, as Windows sends them.
    const system = e.altKey || vk === 0x12 || vk === 0x79;
    events.push((((system ? 2 : 0) + (down ? 0 : 1)) << 16) | vk);
    wakeNow();
    if (down && !e.repeat) usedKeys();
  }
  window.addEventListener('keydown', (e) => onKey(e, true));
  window.addEventListener('keyup', (e) => onKey(e, false));
  // A key of the page's own controls, as an ordinary key.
  host.sendKey = function (vk, down) {
    events.push(((down ? 0 : 1) << 16) | vk);
    wakeNow();
  };

  host.nextKey = () => (events.length ? events.shift() : -1);

  // Gamepads in the standard layout, handed to the game's host as SDL numbers them. Per slot
  // eight numbers: connected, the buttons (a bit each, in SDL's order), and the six axes at
  // SDL's scale (the sticks' x and y, then the triggers, which are buttons 6 and 7 here).
  // A page that listens for gamepads has the browser poll the devices every few milliseconds
  // for as long as it is open (Chromium: about 1.5 % of a core, docs/performance.md), so the
  // page listens only once the player has asked for gamepads (the page's button); the choice
  // is kept in localStorage.
  // The standard layout's button for each of SDL's, in SDL's order.
  const padButtons = [0, 1, 2, 3, 8, 16, 9, 10, 11, 4, 5, 12, 13, 14, 15];
  const padFields = 8;
  const padPollMs = 8;
  // Until a gamepad shows up, the browser is not asked for them at every wake.
  let padsSeen = false;
  let padsHeld = [];  // per slot, the buttons and stick directions held at the last reading
  host.gamepads = false;
  function onPadConnected() {
    padsSeen = true;
    wakeNow();
  }
  function setGamepads(on) {
    if (on === host.gamepads) return;
    host.gamepads = on;
    try { localStorage.setItem('tavlo.gamepads', on ? 'on' : 'off'); } catch (e) { /* kept for now */ }
    if (on) {
      window.addEventListener('gamepadconnected', onPadConnected);
      // A pad already in use on this page shows up without a new event.
      const pads = navigator.getGamepads ? navigator.getGamepads() : [];
      if (Array.from(pads).some((pad) => pad && pad.connected)) onPadConnected();
    } else {
      window.removeEventListener('gamepadconnected', onPadConnected);
      padsSeen = false;
    }
    document.dispatchEvent(new Event('tavlogamepads'));
  }
  host.toggleGamepads = () => setGamepads(!host.gamepads);
  host.readPads = function (out, slots) {
    if (!padsSeen) return 0;
    const pads = navigator.getGamepads ? navigator.getGamepads() : [];
    const axis = (v) => Math.max(-32768, Math.min(32767, Math.round((v || 0) * 32767)));
    const held = [];
    for (let i = 0; i < slots; ++i) {
      const pad = pads[i];
      const at = (out >> 2) + i * padFields;
      if (!pad || !pad.connected) {
        HEAP32[at] = 0;
        continue;
      }
      let buttons = 0;
      padButtons.forEach((index, bit) => {
        if (pad.buttons[index] && pad.buttons[index].pressed) buttons |= 1 << bit;
      });
      const trigger = (b) => (pad.buttons[b] ? pad.buttons[b].value || (pad.buttons[b].pressed ? 1 : 0) : 0);
      const axes = [pad.axes[0], pad.axes[1], pad.axes[2], pad.axes[3], trigger(6), trigger(7)];
      HEAP32[at] = 1;
      HEAP32[at + 1] = buttons;
      axes.forEach((v, k) => { HEAP32[at + 2 + k] = axis(v); });
      const tilted = (v) => (v < -0.5 ? 1 : 0) | (v > 0.5 ? 2 : 0);
      held[i] = axes.reduce((bits, v, k) => bits | tilted(v) * 2 ** (15 + 2 * k), buttons);
    }
    if (held.some((bits, i) => bits & ~(padsHeld[i] || 0))) usedKeys();
    padsHeld = held;
    return slots;
  };

  // ---- waits -------------------------------------------------------------------------------
  // The game sleeps until a moment on the page's clock (sleepUntil): the start of a millisecond
  // of its own clock, and it must wake within that millisecond, or its frame slips by one. A
  // timer set from inside a timer's callback is held to 4 ms or more once such callbacks nest
  // five deep, and the game, resumed from each wake, would nest forever. So a timer's callback
  // only posts a message, and the game resumes from the message's task: every timer it sets is
  // then a first-level one. Timers count whole milliseconds and fire 0.2-0.5 ms late here (more
  // on a loaded machine). So the timer is set for the whole milliseconds before the moment and
  // the rest passes in message tasks (about 20 us each, the page free to paint and take keys in
  // between); only when the moment is a quarter of a millisecond short of a whole one or less,
  // the timer is set for that whole one, whose lateness then still falls within the moment's
  // millisecond.
  const channel = new MessageChannel();
  let wake = null;  // {resolve, due}
  let timer = null;
  const post = () => channel.port2.postMessage(0);
  channel.port1.onmessage = () => {
    if (!wake) return;
    if (performance.now() < wake.due) {
      post();
      return;
    }
    const resume = wake.resolve;
    wake = null;
    resume();
  };
  host.sleepUntil = function (due) {
    return new Promise((resolve) => {
      // A gamepad is read only when the game runs.
      if (padsSeen) due = Math.min(due, performance.now() + padPollMs);
      wake = { resolve, due };
      const delay = due - performance.now();
      const whole = delay - Math.floor(delay) >= 0.75 ? Math.ceil(delay) : Math.floor(delay);
      if (whole <= 0) {
        post();
      } else {
        timer = setTimeout(() => {
          timer = null;
          post();
        }, whole);
      }
    });
  };
  // A key or a gamepad wakes the game at once.
  function wakeNow() {
    if (!wake) return;
    wake.due = 0;
    if (timer === null) return;
    clearTimeout(timer);
    timer = null;
    post();
  }

  // ---- the screen --------------------------------------------------------------------------
  let picture = null;  // the last ImageData shown, kept for redrawing
  let pictureAt = 0;   // where its pixels lie in the game's memory
  let offscreen = null;
  const stage = () => document.getElementById('stage');
  const canvas = () => document.getElementById('screen');

  try {
    if (localStorage.getItem('tavlo.scaling') === 'smooth') host.scaling = 'smooth';
  } catch (e) { /* no storage: the default */ }

  // Sharp: the largest whole factor of device pixels that fits. Smooth: that factor by nearest
  // neighbour, then filtered to the largest 4:3 rectangle that fits. Where not even one device
  // pixel a pixel fits (a small phone, a split screen), both scale the picture down, filtered.
  function layout() {
    const c = canvas(), s = stage();
    if (!c || !s) return;
    const ratio = window.devicePixelRatio || 1;
    const width = picture ? picture.width : 320, height = picture ? picture.height : 240;
    const outW = Math.floor(s.clientWidth * ratio), outH = Math.floor(s.clientHeight * ratio);
    if (outW <= 0 || outH <= 0) return;  // hidden: placed when it shows again
    const fit = Math.min(outW / width, outH / height);
    const factor = Math.max(1, Math.floor(fit));
    let cssW, cssH, backW = width, backH = height;
    if (fit < 1) {
      cssW = Math.floor(width * fit) / ratio;
      cssH = Math.floor(height * fit) / ratio;
    } else if (host.scaling === 'sharp') {
      cssW = width * factor / ratio;
      cssH = height * factor / ratio;
    } else {
      cssW = Math.floor(width * fit) / ratio;
      cssH = Math.floor(height * fit) / ratio;
      backW = width * factor;
      backH = height * factor;
    }
    c.style.width = cssW + 'px';
    c.style.height = cssH + 'px';
    c.style.imageRendering = host.scaling === 'sharp' && fit >= 1 ? 'pixelated' : 'auto';
    if (c.width !== backW || c.height !== backH) {
      c.width = backW;
      c.height = backH;
    }
    draw();
  }

  // The canvas is opaque, and desynchronized: the browser may show it without waiting for the
  // page's next paint. On the title, where every frame is new, that took Chromium's share of a
  // core from about 13 % to 9 % here (docs/performance.md).
  const contextOptions = { alpha: false, desynchronized: true };

  // Puts rows [top, bottom) of the picture on the canvas (all of them by default).
  function draw(top, bottom) {
    const c = canvas();
    if (!c || !picture) return;
    // Grown memory is a new buffer: the view follows it.
    if (picture.data.buffer !== HEAPU8.buffer) {
      picture = new ImageData(new Uint8ClampedArray(HEAPU8.buffer, pictureAt,
        picture.width * picture.height * 4), picture.width, picture.height);
      top = undefined;
    }
    if (top === undefined) {
      top = 0;
      bottom = picture.height;
    }
    const context = c.getContext('2d', contextOptions);
    if (c.width === picture.width && c.height === picture.height) {
      context.putImageData(picture, 0, 0, 0, top, picture.width, bottom - top);
      return;
    }
    if (!offscreen || offscreen.width !== picture.width || offscreen.height !== picture.height) {
      offscreen = document.createElement('canvas');
      offscreen.width = picture.width;
      offscreen.height = picture.height;
      top = 0;
      bottom = picture.height;
    }
    offscreen.getContext('2d').putImageData(picture, 0, 0, 0, top, picture.width, bottom - top);
    context.imageSmoothingEnabled = false;
    context.drawImage(offscreen, 0, 0, c.width, c.height);
  }

  // A new picture from the game: RGBA rows [top, bottom) changed; change is the number of the
  // screen's change it shows (counting from 0, as the headless host numbers its captures).
  // The picture is a view of the host's RGBA buffer, which keeps the whole picture shown (not
  // a copy of it); made anew when the buffer moves or the memory grows.
  host.present = function (rgba, width, height, top, bottom, gameMs, change) {
    const sized = !picture || picture.width !== width || picture.height !== height;
    if (sized || pictureAt !== rgba || picture.data.buffer !== HEAPU8.buffer) {
      pictureAt = rgba;
      picture = new ImageData(new Uint8ClampedArray(HEAPU8.buffer, rgba, width * height * 4),
        width, height);
      if (sized) layout();
      else draw();
    } else {
      draw(top, bottom);
    }
    host.shown = { gameMs: gameMs, change: change, at: performance.now() };
    if (host.state === 'loading') host.state = 'running';
  };

  host.logFlip = function () {
    if (host.flips.length >= 100000) host.flips.splice(0, 50000);
    host.flips.push(performance.now());
  };

  function toggleScaling() {
    host.scaling = host.scaling === 'sharp' ? 'smooth' : 'sharp';
    try { localStorage.setItem('tavlo.scaling', host.scaling); } catch (e) { /* kept for now */ }
    layout();
    document.dispatchEvent(new Event('tavloscaling'));
  }
  function toggleFullscreen() {
    const s = stage();
    if (document.fullscreenElement) document.exitFullscreen().catch(() => {});
    else if (s && s.requestFullscreen) s.requestFullscreen().catch(() => {});
  }
  host.toggleScaling = toggleScaling;
  host.toggleFullscreen = toggleFullscreen;
  window.addEventListener('resize', layout);
  document.addEventListener('fullscreenchange', layout);
  // The stage also changes size when the page's controls come or go, or its bar wraps.
  if (window.ResizeObserver && stage()) new ResizeObserver(() => layout()).observe(stage());

  host.setTitle = (title) => { document.title = title; };
  host.setCursor = (visible) => {
    const c = canvas();
    if (c) c.style.cursor = visible ? '' : 'none';
  };
  function say(text) {
    const box = document.getElementById('message');
    if (!box) return;
    box.textContent = text;
    box.hidden = false;
  }
  host.messageBox = (caption, text) => say(caption + ': ' + text);
  // The storage line under the picture: what the player must know of the best score's storage
  // (it could not be read, a write failed, it lasts only for this window), a sentence each, in
  // that order. The update offer has a line of its own (index.html), so neither hides the other.
  const storageNotes = { read: '', write: '', session: '' };
  function storageNote(kind, text) {
    storageNotes[kind] = text;
    const line = document.getElementById('notice');
    if (!line) return;
    const shown = [storageNotes.read, storageNotes.write, storageNotes.session].filter((t) => t);
    line.textContent = shown.join(' ');
    line.hidden = !shown.length;
  }
  const errorName = (error) => (error && (error.name || error.message)) || String(error);

  // ---- files -------------------------------------------------------------------------------
  // The game plays in a folder in memory: the archive is linked in from the preloaded package,
  // "score.dat" is read from IndexedDB, a first visit gets a best score of zero. Each time the
  // game has put a new "score.dat" in place (host_browser.cpp hears of every replace that
  // succeeded), and when it ends, the file is stored at once: a tab closed right after a new
  // best keeps it. Only that file is ever stored.
  // The stored file lies where emscripten's IDBFS kept it (database "/tavlo", store FILE_DATA,
  // key "/tavlo/score.dat", {timestamp, mode, contents}), so the best of an earlier build is
  // read. A store reads the stored best and writes the game's only when it is larger, in one
  // transaction: a best that the start could not read, or that another tab stored meanwhile,
  // is never replaced by a lower one, whichever tab stores last.
  const folder = '/play';
  const kept = 'score.dat';
  const database = { name: '/tavlo', version: 21, files: 'FILE_DATA', key: '/tavlo/score.dat' };
  const fileMode = 33206;  // a regular file, rw-rw-rw-, as IDBFS wrote it
  let opened = null;       // the open database (a promise), kept while it stays open
  function openDatabase() {
    if (opened) return opened;
    const attempt = new Promise((resolve, reject) => {
      const request = indexedDB.open(database.name, database.version);
      request.onupgradeneeded = () => {
        const db = request.result;
        const files = db.objectStoreNames.contains(database.files)
          ? request.transaction.objectStore(database.files) : db.createObjectStore(database.files);
        if (!files.indexNames.contains('timestamp')) {
          files.createIndex('timestamp', 'timestamp', { unique: false });
        }
      };
      request.onsuccess = () => {
        const db = request.result;
        // Closed by the browser (the site's data cleared) or for a newer version: opened anew.
        db.onclose = () => { if (opened === attempt) opened = null; };
        db.onversionchange = () => {
          db.close();
          if (opened === attempt) opened = null;
        };
        resolve(db);
      };
      request.onerror = (e) => {
        e.preventDefault();
        reject(request.error);
      };
    });
    opened = attempt;
    attempt.catch(() => { if (opened === attempt) opened = null; });
    return attempt;
  }
  // The best a stored file holds (its first four bytes, as the game reads them); null when it
  // holds fewer.
  const asBytes = (contents) => (contents instanceof Uint8Array ? contents : new Uint8Array(contents || []));
  const bestIn = (bytes) => (bytes.length >= 4
    ? new DataView(bytes.buffer, bytes.byteOffset, 4).getInt32(0, true) : null);

  // The stored "score.dat": its bytes, or null when none is stored.
  function readStored() {
    return openDatabase().then((db) => new Promise((resolve, reject) => {
      const transaction = db.transaction(database.files, 'readonly');
      const request = transaction.objectStore(database.files).get(database.key);
      transaction.oncomplete = () => resolve(request.result ? asBytes(request.result.contents) : null);
      transaction.onabort = () => reject(transaction.error || request.error);
    }));
  }
  // Stores `bytes` unless the stored best is as large or larger, read and written in one
  // transaction; true when written.
  function keepLarger(bytes) {
    const best = bestIn(bytes);
    if (best === null) return Promise.resolve(false);
    return openDatabase().then((db) => new Promise((resolve, reject) => {
      const transaction = db.transaction(database.files, 'readwrite');
      const files = transaction.objectStore(database.files);
      const request = files.get(database.key);
      let written = false, failure = null;
      request.onsuccess = () => {
        const stored = request.result ? bestIn(asBytes(request.result.contents)) : null;
        if (stored !== null && stored >= best) return;
        try {
          files.put({ timestamp: new Date(), mode: fileMode, contents: bytes }, database.key);
          written = true;
        } catch (e) {
          failure = e;
          transaction.abort();
        }
      };
      transaction.oncomplete = () => resolve(written);
      transaction.onabort = () => reject(failure || transaction.error || request.error);
    }));
  }

  let readFailed = false;  // the start could not read the stored best
  let storing = Promise.resolve();
  function storeScore() {
    storing = storing.then(() => keepLarger(FS.readFile(folder + '/' + kept))).then(() => {
      ++host.stored;
      storageNote('write', '');
      askToKeep();
    }, (error) => {
      console.error('tavlo: the best score could not be stored:', error);
      storageNote('write', 'The best score could not be stored in this browser (' +
        errorName(error) + '): it will be lost when the page closes.');
    });
    return storing;
  }
  host.fileReplaced = function (path) {
    let where;
    try {
      where = FS.lookupPath(path).path;
    } catch (e) {
      return;
    }
    if (where === folder + '/' + kept) storeScore();
  };
  // Resolves once every store asked for so far, and any asked for meanwhile, has ended (an
  // update waits for it before the page reloads).
  host.whenStored = function () {
    const now = storing;
    return now.then(() => (storing === now ? undefined : host.whenStored()));
  };

  // ---- keeping storage -----------------------------------------------------------------------
  // A browser may clear a site's storage when space runs low unless it has made it persistent.
  // The page asks for that once a best score has been stored (after the first round that set
  // one) and when the page is installed; the settings panel says what the browser gave
  // (host.storage, "tavlostorage" on the document when it changes). Where the storage lasts
  // only for the window (private windows), the page says so once, at the start.
  // A quota this small is storage held in memory, as some browsers report it for a private
  // window; current Chromium reports an incognito window's quota like any other, and there the
  // page cannot tell.
  const sessionQuota = 120 * 1024 * 1024;
  host.storage = '';
  let askedToKeep = false;
  function askToKeep() {
    if (askedToKeep || !navigator.storage || !navigator.storage.persist) return;
    askedToKeep = true;
    navigator.storage.persist().catch(() => false).then(showStorage);
  }
  window.addEventListener('appinstalled', () => {
    askedToKeep = false;
    askToKeep();
  });
  function showStorage() {
    const s = navigator.storage || {};
    const persisted = s.persisted ? s.persisted().catch(() => false) : Promise.resolve(false);
    const estimate = s.estimate ? s.estimate().catch(() => null) : Promise.resolve(null);
    return Promise.all([persisted, estimate]).then((answers) => {
      const persistent = answers[0] === true, room = answers[1];
      const sessionOnly = !persistent && !!room && room.quota > 0 && room.quota < sessionQuota;
      if (readFailed) host.storage = 'Best score: the stored one could not be read.';
      else if (sessionOnly) host.storage = 'Best score: kept only until this window closes.';
      else if (persistent) host.storage = 'Best score: in persistent storage, kept until this site\'s data is cleared.';
      else host.storage = 'Best score: stored, but the browser may clear it when space runs low (storage not made persistent).';
      document.dispatchEvent(new Event('tavlostorage'));
      if (!sessionOnly) return;
      let said = false;
      try {
        said = sessionStorage.getItem('tavlo.sessionOnly') === 'said';
        sessionStorage.setItem('tavlo.sessionOnly', 'said');
      } catch (e) { /* said each time, then */ }
      if (!said) storageNote('session', 'Scores in this window end when it closes.');
    });
  }

  // ---- one game per site ---------------------------------------------------------------------
  // The stored score is read, played with and written by one tab at a time. A second tab says
  // so and starts when the first is closed (or its game has ended). The rule is a Web Lock;
  // where the browser has none (an insecure origin, an older browser) the tabs agree over a
  // BroadcastChannel, as far as messages can (a tab that crashes never says it has gone); with
  // neither, each tab plays on its own, and the stores' larger-best rule still keeps the best.
  let releaseGame = () => {};
  function waitForOtherTab() {
    host.state = 'waiting';
    say('Tavlo is already open in another tab. It starts here when that tab is closed.');
  }
  function begin(start) {
    if (host.state === 'waiting') {
      const box = document.getElementById('message');
      if (box) box.hidden = true;
      host.state = 'loading';
    }
    start();
  }
  function oneGameAtATime(start) {
    if (navigator.locks) {
      const hold = () => new Promise((resolve) => {
        releaseGame = resolve;
        begin(start);
      });
      navigator.locks.request('tavlo-game', { ifAvailable: true }, (lock) => {
        if (lock) return hold();
        waitForOtherTab();
        navigator.locks.request('tavlo-game', hold);
        return undefined;
      });
    } else if (typeof BroadcastChannel === 'function') {
      turnByMessages(start);
    } else {
      start();
    }
  }
  // Without Web Locks: a tab claims the game (its claim: when it first asked, and a random
  // tie-break) and listens for a moment. A tab playing answers "here"; a tab still claiming
  // answers with its own claim when that is older. Either heard, the tab waits for "free" (the
  // playing tab's game has ended or the tab has gone) and claims again with its first claim,
  // so the tab that has waited longest goes next.
  const claimMs = 300;
  function turnByMessages(start) {
    const channel = new BroadcastChannel('tavlo-game');
    const mine = { kind: 'claim', at: Date.now(), tie: Math.random() };
    const older = (a, b) => a.at < b.at || (a.at === b.at && a.tie < b.tie);
    let phase = 'claiming', beaten = false;
    const free = () => {
      if (phase !== 'playing') return;
      phase = 'done';
      channel.postMessage({ kind: 'free' });
    };
    const claim = () => {
      phase = 'claiming';
      beaten = false;
      channel.postMessage(mine);
      setTimeout(() => {
        if (beaten) {
          phase = 'waiting';
          if (host.state !== 'waiting') waitForOtherTab();
          return;
        }
        phase = 'playing';
        releaseGame = free;
        window.addEventListener('pagehide', free);
        begin(start);
      }, claimMs);
    };
    channel.onmessage = (e) => {
      const heard = e.data || {};
      if (heard.kind === 'claim') {
        if (phase === 'playing') channel.postMessage({ kind: 'here' });
        else if (phase === 'claiming' && older(mine, heard)) channel.postMessage(mine);
        else if (phase === 'claiming') beaten = true;
      } else if (heard.kind === 'here') {
        if (phase === 'claiming') beaten = true;
      } else if (heard.kind === 'free' && phase === 'waiting') {
        claim();
      }
    };
    claim();
  }

  Module.preRun = Module.preRun || [];
  Module.preRun.push(function () {
    FS.mkdir(folder);
    addRunDependency('tavlo-store');
    oneGameAtATime(() => readStored().catch((error) => {
      console.error('tavlo: the stored best score could not be read:', error);
      readFailed = true;
      storageNote('read', 'The stored best score could not be read (' + errorName(error) +
        '). This game counts from 0; the stored best is kept and never replaced by a lower score.');
      return null;
    }).then((stored) => {
      FS.symlink('/pack/tavlo.rka', folder + '/tavlo.rka');
      FS.writeFile(folder + '/' + kept, stored || new Uint8Array(4));
      FS.chdir(folder);
      removeRunDependency('tavlo-store');
      showStorage();
    }));
  });

  // The game has ended (QUIT, Pause, a fatal error): "score.dat" goes back to storage once more.
  Module.onExit = function (code) {
    host.exitCode = code;
    host.state = 'ending';
    storeScore().then(() => {
      host.state = 'ended';
      releaseGame();
      const box = document.getElementById('message');
      if (!box || box.hidden) say('The game has ended. Reload the page to play again.');
    });
  };
  // The game's exit unwinds out of the timer that resumed it; that is its normal end, not an error.
  const quietExit = (e) => {
    const thrown = e.error || e.reason;
    if (thrown instanceof ExitStatus) e.preventDefault();
  };
  window.addEventListener('error', quietExit);
  window.addEventListener('unhandledrejection', quietExit);
  Module.onAbort = function (what) {
    host.state = 'ended';
    releaseGame();
    say('The game stopped: ' + what);
  };

  // The player's earlier choice of gamepads (after the waits exist: a pad may wake the game).
  try {
    if (localStorage.getItem('tavlo.gamepads') === 'on') setGamepads(true);
  } catch (e) { /* no storage: off */ }

  return host;
})();
