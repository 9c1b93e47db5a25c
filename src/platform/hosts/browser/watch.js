// Watching a recorded run. The page opened with ?replay=URL (a replay file, its address absolute
// or relative to the page) or ?replay=ID (a run on the score server) fetches the run before the
// game starts; the game plays it back at its own speed in a folder of its own (the player's best
// score is not touched), and the page says at the end what score the run reached.
// The score server is the one ?scores=URL names, else the page's <meta name="tavlo-scores">,
// else the page's own site (tavlo-scores --site serves the page beside its API: docs/scores.md).
import { fill, onLanguageChange, tr, trn } from './i18n.js';
import { watchRun } from './session.js';

export function scoresServer() {
  const meta = document.querySelector('meta[name="tavlo-scores"]');
  const given = new URLSearchParams(location.search).get('scores') || (meta && meta.content) || '/';
  const server = new URL(given, location.href);
  if (!server.pathname.endsWith('/')) server.pathname += '/';
  return server;
}

// The page's line for the score server's matters (submit.js shares it).
export function scoresLine() {
  let line = document.getElementById('scores');
  if (!line) {
    line = document.createElement('div');
    line.id = 'scores';
    line.setAttribute('role', 'status');
    document.body.insertBefore(line, document.getElementById('bar'));
  }
  line.hidden = false;
  return line;
}

// The board the server put a run on, and its reason (in the server's words, English); empty for
// a server that keeps no boards.
export function boardSentence(said) {
  if (said.board === 'assisted') return fill(tr('On the board for assisted runs: {1}.'), said.why || '');
  if (said.board === 'human') return fill(tr('On the board for people: {1}.'), said.why || '');
  return '';
}

function say(text) {
  const box = document.getElementById('message');
  if (!box) return;
  box.textContent = text;
  box.hidden = false;
}

// The game's reason, {"text", "parts"} as session_browser.cpp sends it (a part is a string or
// another reason), in the player's language.
function reason(said) {
  if (typeof said === 'string') return said;
  return fill(tr(said.text), ...said.parts.map(reason));
}
function detail(how) {
  try {
    return reason(JSON.parse(how.detail));
  } catch (e) {
    return how.detail;
  }
}

// How the run ended, by the outcome's name (session.js).
function ended(how) {
  if (how.outcome === 'refused') return fill(tr('This run cannot be played here: {1}.'), detail(how));
  if (how.outcome === 'diverged') return fill(tr('The run went another way than it was recorded ({1}).'), detail(how));
  if (how.outcome === 'stopped') return tr('You stopped the run before its end.');
  if (!how.rounds) return tr('The run has ended without finishing a round.');
  return fill(trn('The run has ended. It reached a score of {1} point.',
    'The run has ended. It reached a score of {1} points.', how.best), how.best);
}

const wanted = new URLSearchParams(location.search).get('replay');
if (wanted) {
  const address = /^[0-9]{1,18}$/.test(wanted)
    ? new URL(`api/runs/${wanted}/replay`, scoresServer()) : new URL(wanted, location.href);
  const line = scoresLine();
  // Each text is said again in the player's language once that is loaded (or chosen anew): a
  // fetch can fail before the game's module, and its catalogues, are there. A run of the
  // server's is said with its board.
  let facts = {};
  let shown = () => {
    const text = fill(tr('Watching a recorded run ({1}). Pause ends it.'), address.href);
    const board = boardSentence(facts);
    return board ? text + ' ' + board : text;
  };
  let finished = false;
  const show = () => {
    if (finished) say(shown());
    else line.textContent = shown();
  };
  show();
  onLanguageChange(show);
  if (/^[0-9]{1,18}$/.test(wanted)) {
    fetch(new URL(`api/runs/${wanted}`, scoresServer())).then((response) => response.json())
      .then((said) => { facts = said; show(); }).catch(() => {});
  }
  const over = (text) => {
    line.hidden = true;
    finished = true;
    shown = text;
    show();
  };
  const bytes = fetch(address).then((response) => {
    if (!response.ok) throw Object.assign(new Error(`HTTP ${response.status}`), { status: response.status });
    return response.arrayBuffer();
  }).then((body) => new Uint8Array(body));
  watchRun(bytes);
  bytes.catch((error) => {
    over(() => fill(tr('The run could not be fetched from {1}: {2}'), address.href,
      error.status ? fill(tr('the server answered {1}'), error.status) : error.message));
  });
  document.addEventListener('tavlowatchend', (e) => over(() => ended(e.detail)));
}
