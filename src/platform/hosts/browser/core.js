// The browser host's page side, its core: the host object the game's host (host_browser.cpp and
// session_browser.cpp, through EM_JS) and the page reach it through, the game's module once it
// runs, and what the page side's other modules share. The page side is ES modules, one a job,
// which page.js, the page's entry, imports:
// - core.js     the host object, the module's runtime, calling the module with strings;
// - waits.js    the game hands the thread back until a given time (sleepUntil);
// - screen.js   the canvas, its layout and scaling, full screen, the title, the cursor, messages;
// - input.js    keys, bindings and gamepads, as Windows virtual keys for the game;
// - storage.js  "score.dat" kept in IndexedDB (the larger best), and keeping the site's storage;
// - lock.js     one game per site: a second tab waits for the first to close;
// - session.js  the run to watch put in place, the rounds and the recording for the page;
// - run.js      the module made (tavlo.js, emscripten's), the game's start and its end.
// Their texts go through i18n.js, which reads them from the catalogues through the module
// (texts_browser.cpp, host.texts).
// What tests and measurements read (window.tavlo.host, page.js): host.state, .exitCode,
// .flips, .shown, .stored.
// The page must hold #stage (containing canvas #screen) and may hold #message and #notice.
// It hears "tavlokeys" on the document when a keyboard or a gamepad is used, and
// "tavlostorage" when host.storage changes.
import { onLanguageChange } from './i18n.js';

export const host = {
  state: 'loading',  // 'running' from the first picture, 'ended' once the score is stored
  exitCode: null,
  flips: [],         // performance.now() of every flip
  flipCount: 0,      // flips since the page opened
  shown: null,       // {gameMs, at}: the game's clock and performance.now() of the last picture
  scaling: 'sharp',
  stored: 0,         // times "score.dat" reached IndexedDB
};

// The game's module (emscripten's Module: FS, the heap, the exports), from its first step
// (run.js) on; null until then.
let module = null;
export const runtime = () => module;
export function useRuntime(instance) {
  module = instance;
}

// An export of the module that takes and gives strings, as a function of JavaScript values:
// params and result name each value's kind, 'string' or 'number'; a null string is a null
// pointer. Emscripten's ccall and cwrap do this, but in this emscripten (3.1.6, built with
// Asyncify) they take a call made while the game sleeps (the only time the page runs) for one
// that went asynchronous: they answer a promise, and ccall keeps the runtime alive for good, so
// the game's end is never heard. The strings go in the module's heap for the length of the call,
// whatever their size; a string answer is read before the next call (the export keeps it).
export function exported(name, result, params) {
  return (...values) => {
    const m = module;
    const held = [];
    try {
      const args = values.map((value, i) => {
        if (params[i] !== 'string' || value === null || value === undefined) return value || 0;
        const size = m.lengthBytesUTF8(value) + 1;
        const at = m._malloc(size);
        if (!at) throw new Error(`${name}: no memory for a string of ${size} bytes`);
        held.push(at);
        m.stringToUTF8(value, at, size);
        return at;
      });
      const answer = m['_' + name](...args);
      return result === 'string' ? m.UTF8ToString(answer) : answer;
    } finally {
      for (const at of held) m._free(at);
    }
  };
}

// The module's reader of the catalogues (texts_browser.cpp), once the module runs: the
// language of the first tag that has a catalogue ('' English), a text's translation.
let language = null;
let translate = null;
host.texts = {
  setLanguages(tags) {
    language = language || exported('tavlo_texts_language', 'string', ['string']);
    return language(tags.join('\n'));
  },
  translate(one, many, n) {
    translate = translate || exported('tavlo_texts_translate', 'string', ['string', 'string', 'number']);
    return translate(one, many, n);
  },
};

// The page's controls hide while a keyboard or a gamepad is played with.
export const usedKeys = () => document.dispatchEvent(new Event('tavlokeys'));
// A sentence in the page's message box (#message): a text, or a function that makes it in
// the player's language, made again when the language changes.
let said = null;
export function say(text) {
  const box = document.getElementById('message');
  if (!box) return;
  said = text;
  box.textContent = typeof text === 'function' ? text() : text;
  box.hidden = false;
}
onLanguageChange(() => {
  const box = document.getElementById('message');
  if (box && !box.hidden && typeof said === 'function') box.textContent = said();
});
