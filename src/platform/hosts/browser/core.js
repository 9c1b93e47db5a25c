// The browser host's page side, its core: makes Module.tavloHost, the object the game's host
// (host_browser.cpp) and the page reach it through, and what the page side's other files share.
// The page side is put in front of emscripten's loader (--pre-js), one file a job, in this order
// (src/platform/CMakeLists.txt), all in one scope, each file a function of the host and of what
// they share:
// - core.js     the host object and what its parts share;
// - waits.js    the game hands the thread back until a given time (sleepUntil);
// - screen.js   the canvas, its layout and scaling, full screen, the title, the cursor, messages;
// - input.js    keys, bindings and gamepads, as Windows virtual keys for the game;
// - storage.js  "score.dat" kept in IndexedDB (the larger best), and keeping the site's storage;
// - lock.js     one game per site: a second tab waits for the first to close;
// - run.js      the game's start (after the lock and the stored score) and its end.
// Their texts go through the page's i18n.js (window.tavloI18n, as shared.i18n: tr, fill), which
// reads them from the catalogues through the module (texts_browser.cpp, host.texts).
// What tests and measurements read: tavloHost.state, .exitCode, .flips, .shown, .stored.
// The page must hold #stage (containing canvas #screen) and may hold #message and #notice.
// It hears "tavlokeys" on the document when a keyboard or a gamepad is used, and
// "tavlostorage" when host.storage changes.
Module.tavloHost = (function () {
  'use strict';
  const host = {
    state: 'loading',  // 'running' from the first picture, 'ended' once the score is stored
    exitCode: null,
    flips: [],         // performance.now() of every flip
    flipCount: 0,      // flips since the page opened
    shown: null,       // {gameMs, at}: the game's clock and performance.now() of the last picture
    scaling: 'sharp',
    stored: 0,         // times "score.dat" reached IndexedDB
  };
  // What the page side's files call in one another, each file adding its own (the page and the
  // game use only the host's own members). Not enumerated with the host's state.
  const shared = {};
  Object.defineProperty(host, 'shared', { value: shared });

  // The page's texts in the player's language (i18n.js); as written when the page has none.
  const i18n = window.tavloI18n || {
    tr: (text) => text, fill: (text, ...parts) => text.replace(/\{([1-9])\}/g,
      (whole, i) => (i <= parts.length ? String(parts[i - 1]) : whole)),
    onLanguageChange: () => {}, useReader: () => {},
  };
  shared.i18n = i18n;
  // The module's reader of the catalogues (texts_browser.cpp), once the module runs: the
  // language of the first tag that has a catalogue ('' English), a text's translation.
  host.texts = {
    setLanguages(tags) {
      const buffer = Module['_tavlo_texts_buffer'](), size = Module['_tavlo_texts_buffer_size']();
      stringToUTF8(tags.join('\n'), buffer, size);
      Module['_tavlo_texts_language']();
      return UTF8ToString(buffer);
    },
    translate(one, many, n) {
      const buffer = Module['_tavlo_texts_buffer'](), size = Module['_tavlo_texts_buffer_size']();
      const written = stringToUTF8(one, buffer, size);
      if (many !== null) stringToUTF8(many, buffer + written + 1, size - written - 1);
      Module['_tavlo_texts_translate'](many !== null ? 1 : 0, n);
      return UTF8ToString(buffer);
    },
  };

  // The page's controls hide while a keyboard or a gamepad is played with.
  shared.usedKeys = () => document.dispatchEvent(new Event('tavlokeys'));
  // A sentence in the page's message box (#message): a text, or a function that makes it in
  // the player's language, made again when the language changes.
  let said = null;
  shared.say = function (text) {
    const box = document.getElementById('message');
    if (!box) return;
    said = text;
    box.textContent = typeof text === 'function' ? text() : text;
    box.hidden = false;
  };
  i18n.onLanguageChange(() => {
    const box = document.getElementById('message');
    if (box && !box.hidden && typeof said === 'function') box.textContent = said();
  });
  return host;
})();
