// The browser host's page side: the input. Keys and gamepads become Windows virtual keys for
// the game (host.nextKey, host.readPads), through the player's bindings (host.bindings, read by
// the game's module); the page's own controls press keys through host.sendKey (touch.js).
// The browser host's page side: the input. Keys and gamepads become Windows virtual keys for
// the game (host.nextKey, host.readPads), through the player's bindings (host.bindings, read by
// the game's module); the page's own controls press keys through host.sendKey (touch.js).
import { exported, host, runtime, usedKeys } from './core.js';
import { wakeEvery, wakeNow } from './waits.js';

const events = [];  // (kind << 16) | virtual key; kinds as host_browser.cpp reads them

// Bindings: which keys and gamepad controls do what, with the names settings.conf uses
// (SDL's key and controller names, any case), kept in localStorage as tavlo.key.ACTION
// ("Left,A,H") and tavlo.pad.ACTION ("a,start"). The page's keys and their rules are the game's
// module's (bindings_browser.cpp: the one table of the browser's keys, over the one model every
// host uses): the page hands it what is stored and keeps the answer, a key map by
// KeyboardEvent.code, to act on a key at once.
let keys = new Map();  // 'ArrowLeft' → { vk, plain, alt, kept, system }, as the module answered
let padMap = null;     // what each control gives the game, as readPadMap hands it over
let padMapChanged = true;
host.bindings = {};    // 'key.left', 'pad.left', ... → the list as the panel shows it
let read = null;
// Reads the stored bindings through the module; returns the notes. Before the module runs
// there is nothing to read them with: no key reaches the game until then.
function readBindings() {
  if (!runtime()) return [];
  const stored = [];
  try {
    for (let i = 0; i < localStorage.length; ++i) {
      const name = localStorage.key(i);
      const value = localStorage.getItem(name);
      // One setting a line, as settings.conf has them.
      if (/^tavlo\.(key|pad)\./.test(name) && !/[\r\n]/.test(value)) stored.push(`${name.slice(6)}=${value}`);
    }
  } catch (e) { /* none */ }
  read = read || exported('tavlo_bindings_read', 'string', ['string']);
  const answer = JSON.parse(read(stored.join('\n')));
  host.bindings = answer.bindings;
  keys = new Map(Object.entries(answer.keys));
  padMap = answer.pads;
  padMapChanged = true;
  for (const note of answer.notes) console.warn('tavlo: ' + note);
  return answer.notes;
}
host.readBindings = readBindings;
// The panel's way in: stores one list ('key.left', 'pad.enter') and reads them all again;
// returns the notes.
host.setBinding = function (name, text) {
  try { localStorage.setItem('tavlo.' + name, text); } catch (e) { /* kept for now */ }
  return readBindings();
};
// The controls' keys (27 numbers, PadMap's order) when they changed since the last call, else
// null.
host.readPadMap = function () {
  if (!padMapChanged || !padMap) return null;
  padMapChanged = false;
  return padMap;
};

// What a key bound to a host action does on the page.
const hostActions = {
  fullscreen: () => host.toggleFullscreen(),
  scaling: () => host.toggleScaling(),
};
// Kinds of key event, as host_browser.cpp reads them: (system ? 2 : 0) + (up ? 1 : 0).
const kind = (system, down) => (system ? 2 : 0) + (down ? 0 : 1);

function onKey(e, down) {
  // Typing into the page's fields (the bindings panel) is not playing.
  if (e.target && e.target.tagName === 'INPUT') return;
  const key = keys.get(e.code);
  if (!key) return;
  const action = e.altKey ? key.alt : key.plain;
  if (key.kept || action) e.preventDefault();
  if (down && !e.repeat && hostActions[action]) hostActions[action]();
  if (!key.vk) return;
  // Alt combinations are system keys, as Windows sends them (and Alt and F10 alone: key.system).
  events.push((kind(e.altKey || key.system, down) << 16) | key.vk);
  wakeNow();
  if (down && !e.repeat) usedKeys();
}
window.addEventListener('keydown', (e) => onKey(e, true));
window.addEventListener('keyup', (e) => onKey(e, false));
// A key of the page's own controls, as an ordinary key.
host.sendKey = function (vk, down) {
  events.push((kind(false, down) << 16) | vk);
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
// While a gamepad is seen, the game wakes every padPollMs to read it (waits.js).
function onPadConnected() {
  padsSeen = true;
  wakeEvery(padPollMs);
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
    wakeEvery(null);
  }
  document.dispatchEvent(new Event('tavlogamepads'));
}
host.toggleGamepads = () => setGamepads(!host.gamepads);
// The pads' numbers, padFields a slot for `slots` slots (the host writes them into the game's
// memory); null while no gamepad is seen.
host.readPads = function (slots) {
  if (!padsSeen) return null;
  const pads = navigator.getGamepads ? navigator.getGamepads() : [];
  const axis = (v) => Math.max(-32768, Math.min(32767, Math.round((v || 0) * 32767)));
  const held = [];
  const out = new Array(slots * padFields).fill(0);
  for (let i = 0; i < slots; ++i) {
    const pad = pads[i];
    const at = i * padFields;
    if (!pad || !pad.connected) continue;
    let buttons = 0;
    padButtons.forEach((index, bit) => {
      if (pad.buttons[index] && pad.buttons[index].pressed) buttons |= 1 << bit;
    });
    const trigger = (b) => (pad.buttons[b] ? pad.buttons[b].value || (pad.buttons[b].pressed ? 1 : 0) : 0);
    const axes = [pad.axes[0], pad.axes[1], pad.axes[2], pad.axes[3], trigger(6), trigger(7)];
    out[at] = 1;
    out[at + 1] = buttons;
    axes.forEach((v, k) => { out[at + 2 + k] = axis(v); });
    const tilted = (v) => (v < -0.5 ? 1 : 0) | (v > 0.5 ? 2 : 0);
    held[i] = axes.reduce((bits, v, k) => bits | tilted(v) * 2 ** (15 + 2 * k), buttons);
  }
  if (held.some((bits, i) => bits & ~(padsHeld[i] || 0))) usedKeys();
  padsHeld = held;
  return out;
};

// The player's earlier choice of gamepads.
try {
  if (localStorage.getItem('tavlo.gamepads') === 'on') setGamepads(true);
} catch (e) { /* no storage: off */ }
