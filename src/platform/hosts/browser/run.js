// The browser host's page side: the game's start and end. It starts once this tab may play and
// the stored best score is in place; when it ends (or stops), the score is stored once more and
// the game handed on to another tab.
(function (host, shared) {
  'use strict';
  Module.preRun = Module.preRun || [];
  // The game starts once this tab holds the game (lock.js) and the stored score is in place
  // (storage.js).
  Module.preRun.push(function () {
    shared.makeFolder();
    addRunDependency('tavlo-store');
    shared.oneGameAtATime(() => shared.readScore().then((stored) => {
      shared.placeFiles(stored);
      removeRunDependency('tavlo-store');
      shared.showStorage();
    }));
  });

  // The game has ended (QUIT, Pause, a fatal error): "score.dat" goes back to storage once more.
  Module.onExit = function (code) {
    host.exitCode = code;
    host.state = 'ending';
    // A watched run played in a folder of its own: the player's best score is as it was.
    (host.watching ? Promise.resolve() : shared.storeScore()).then(() => {
      host.state = 'ended';
      shared.releaseGame();
      const box = document.getElementById('message');
      if (!box || box.hidden) shared.say('The game has ended. Reload the page to play again.');
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
    shared.say('The game stopped: ' + what);
  };
})(Module.tavloHost, Module.tavloHost.shared);
