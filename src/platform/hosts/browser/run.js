// The browser host's page side: the game's start and end. It starts once the player's language
// is loaded, this tab may play and the stored best score is in place; when it ends (or stops),
// the score is stored once more and the game handed on to another tab.
(function (host, shared) {
  'use strict';
  const { tr, fill } = shared.i18n;
  // The game starts once the module runs, the player's language is loaded (the page's texts
  // and the game's from the same catalogue, i18n.js), this tab holds the game (lock.js) and the
  // stored score is in place (storage.js). The module's runtime comes first, so that a tab
  // that waits for another says so in the player's language: main is called here, not by the
  // loader.
  Module.noInitialRun = true;
  const pageReady = Module.onRuntimeInitialized;
  Module.onRuntimeInitialized = function () {
    shared.i18n.useReader(host.texts);
    if (pageReady) pageReady();
    shared.makeFolder();
    shared.oneGameAtATime(() => shared.readScore().then((stored) => {
      shared.placeFiles(stored);
      shared.showStorage();
      callMain([]);
    }));
  };

  // The game has ended (QUIT, Pause, a fatal error): "score.dat" goes back to storage once more.
  Module.onExit = function (code) {
    host.exitCode = code;
    host.state = 'ending';
    // A watched run played in a folder of its own: the player's best score is as it was.
    (host.watching ? Promise.resolve() : shared.storeScore()).then(() => {
      host.state = 'ended';
      shared.releaseGame();
      const box = document.getElementById('message');
      if (!box || box.hidden) shared.say(() => tr('The game has ended. Reload the page to play again.'));
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
    shared.releaseGame();
    shared.say(() => fill(tr('The game stopped: {1}'), what));
  };
})(Module.tavloHost, Module.tavloHost.shared);
