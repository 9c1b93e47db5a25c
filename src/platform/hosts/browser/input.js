// The browser host's page side: the input. Keys and gamepads become Windows virtual keys for
// the game (host.nextKey, host.readPads), through the player's bindings (host.bindings, read by
// the game's module); the page's own controls press keys through host.sendKey (touch.js).
(function (host, shared) {
  'use strict';
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
      if (action === 'fullscreen') host.toggleFullscreen();
      else if (action === 'scaling') host.toggleScaling();
    }
    if (!vk) return;
    // Alt combinations and F10 are system keys, as Windows sends them.
    const system = e.altKey || vk === 0x12 || vk === 0x79;
    events.push((((system ? 2 : 0) + (down ? 0 : 1)) << 16) | vk);
    shared.wakeNow();
    if (down && !e.repeat) shared.usedKeys();
  }
  window.addEventListener('keydown', (e) => onKey(e, true));
  window.addEventListener('keyup', (e) => onKey(e, false));
  // A key of the page's own controls, as an ordinary key.
  host.sendKey = function (vk, down) {
    events.push(((down ? 0 : 1) << 16) | vk);
    shared.wakeNow();
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
    shared.wakeNow();
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
  // What the waits need of the gamepads (waits.js): whether to wake to read them, and how often.
  shared.padsSeen = () => padsSeen;
  shared.padPollMs = padPollMs;
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
    if (held.some((bits, i) => bits & ~(padsHeld[i] || 0))) shared.usedKeys();
    padsHeld = held;
    return slots;
  };

  // The player's earlier choice of gamepads (the waits, a file before, exist: a pad may wake
  // the game).
  try {
    if (localStorage.getItem('tavlo.gamepads') === 'on') setGamepads(true);
  } catch (e) { /* no storage: off */ }
})(Module.tavloHost, Module.tavloHost.shared);
