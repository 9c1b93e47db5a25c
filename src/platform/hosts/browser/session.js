// The browser host's page side: recording and watching (the game's side is
// session_browser.cpp). A run to watch, fetched by the page before the game starts (watch.js
// hands it over, a promise of its bytes: watchRun), is put where the game reads it; the page
// hears of the game's rounds ("tavloround" on the document: {score, best, newBest}) and of a
// watched run's end ("tavlowatchend": {outcome, rounds, best, detail}, the outcome by the name
// session_browser.cpp gives it: 'played', 'stopped', 'diverged' or 'refused'); host.recording()
// gives this game's recording so far, to be sent to a score server. No text of the page's is
// here: watch.js and submit.js say what the player reads.
import { exported, host, runtime } from './core.js';

const folder = '/session';
host.watching = false;  // this page plays back a recorded run
host.rounds = [];       // [{score, best}] of this game (a watched run: host.watched)
host.watched = null;    // how the watched run ended (the "tavlowatchend" detail)
let recorded = false;   // the game has ended: its recording has its end line

// The run to watch (a promise of its bytes), asked for before the game starts.
let wanted = null;
export function watchRun(bytes) {
  wanted = bytes;
  host.watching = true;
}
// The module's first step, before the runtime starts (run.js): the run to watch in place,
// the module waiting for it.
export function placeWatched(module) {
  if (!wanted) return;
  module.addRunDependency('tavlo-watch');
  wanted.then((bytes) => {
    module.FS.mkdir(folder);
    module.FS.writeFile(folder + '/watch.replay', bytes);
    module.removeRunDependency('tavlo-watch');
  }, () => {
    // The page has said why; the game does not start.
    host.state = 'ended';
  });
}

// The best score the game started with: a round's best above it (and above every earlier
// round's) is a new best.
let bestSoFar = null;
host.roundEnded = function (score, best) {
  if (bestSoFar === null) {
    try {
      const bytes = runtime().FS.readFile('/play/score.dat');
      bestSoFar = bytes.length >= 4 ? new DataView(bytes.buffer, bytes.byteOffset, 4).getInt32(0, true) : 0;
    } catch (e) {
      bestSoFar = 0;
    }
  }
  const newBest = score === best && best > bestSoFar;
  if (best > bestSoFar) bestSoFar = best;
  host.rounds.push({ score, best });
  document.dispatchEvent(new CustomEvent('tavloround', { detail: { score, best, newBest } }));
};
host.watchEnded = function (outcome, rounds, best, detail) {
  host.watched = { outcome, rounds, best: best < 0 ? null : best, detail };
  document.dispatchEvent(new CustomEvent('tavlowatchend', { detail: host.watched }));
};
host.recordingEnded = () => { recorded = true; };
// This game's recording as a replay file (bytes), ended where the game is now (or where it
// ended); null when there is none.
let snapshot = null;
host.recording = function () {
  if (host.watching || !runtime()) return null;
  let file = folder + '/run.replay';
  if (!recorded) {
    snapshot = snapshot || exported('tavlo_session_snapshot', 'number', []);
    if (!snapshot()) return null;
    file = folder + '/submit.replay';
  }
  try {
    return runtime().FS.readFile(file);
  } catch (e) {
    return null;
  }
};
