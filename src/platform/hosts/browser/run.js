// The browser host's page side: the game's module made, the game's start and its end. The module
// (tavlo.js, emscripten's, an ES module whose default export makes it) is made once every
// module of the page has run; the game starts once the player's language is loaded, this tab
// may play and the stored best score is in place; when it ends (or stops), the score is stored
// once more and the game handed on to another tab.
import createTavlo from './tavlo.js';
import { host, say, useRuntime } from './core.js';
import { tr, fill, useReader } from './i18n.js';
import { oneGameAtATime, releaseGame } from './lock.js';
import { placeWatched } from './session.js';
import { makeFolder, placeFiles, readScore, showStorage, storeScore } from './storage.js';

// The game's exit unwinds out of the timer that resumed it; that is its normal end, not an error.
const quietExit = (e) => {
  const thrown = e.error || e.reason;
  if (thrown && thrown.name === 'ExitStatus') e.preventDefault();
};

export function start() {
  window.addEventListener('error', quietExit);
  window.addEventListener('unhandledrejection', quietExit);
  let instance = null;
  const settings = {
    // What the game's host calls (EM_JS in host_browser.cpp and session_browser.cpp).
    tavloHost: host,
    // The module's runtime comes first, so that a tab that waits for another says so in the
    // player's language: main is called here, not by the loader.
    noInitialRun: true,
    preRun: [(module) => {
      instance = module;
      placeWatched(module);
    }],
    // The game starts once the module runs, the player's language is loaded (the page's texts
    // and the game's from the same catalogue, i18n.js), this tab holds the game (lock.js) and
    // the stored score is in place (storage.js).
    onRuntimeInitialized() {
      useRuntime(instance);
      useReader(host.texts);
      makeFolder();
      oneGameAtATime(() => readScore().then((stored) => {
        placeFiles(stored);
        showStorage();
        instance.callMain([]);
      }));
    },
    // The game has ended (QUIT, Pause, a fatal error): "score.dat" goes back to storage once more.
    onExit(code) {
      host.exitCode = code;
      host.state = 'ending';
      // A watched run played in a folder of its own: the player's best score is as it was.
      (host.watching ? Promise.resolve() : storeScore()).then(() => {
        host.state = 'ended';
        releaseGame();
        const box = document.getElementById('message');
        if (!box || box.hidden) say(() => tr('The game has ended. Reload the page to play again.'));
      });
    },
    onAbort(what) {
      host.state = 'ended';
      releaseGame();
      say(() => fill(tr('The game stopped: {1}'), what));
    },
  };
  // (A module that fails before it runs has said so through onAbort.)
  createTavlo(settings).catch(() => {});
}
