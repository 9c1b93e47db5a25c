// Sending a run to the score server, at the player's word only. After a round that set a new
// best, the page offers "Submit this run" (when a score server answers: watch.js says which);
// pressed, it sends this game's recording under the name given (kept in localStorage for next
// time) and shows what the server answered: the run's rank, score and board (people's or assisted,
// and why), or its reason. The first run under a name brings the name's key back: it is shown
// once, for the player to write down, and kept in localStorage for that server and name; later
// runs under the name send it. A name taken elsewhere asks for its key.
import { fill, language, onLanguageChange, tr, trn } from './i18n.js';
import { boardSentence, scoresLine, scoresServer } from './watch.js';
import { host } from './core.js';
import './session.js';  // host.recording, host.watching

const nameKey = 'tavlo.name';
let answers = null;  // whether a score server answers (asked once, when first needed)
function serverAnswers() {
  if (!answers) {
    answers = fetch(new URL('api/top?limit=1', scoresServer()))
      .then((response) => response.ok &&
        (response.headers.get('content-type') || '').startsWith('application/json'))
      .catch(() => false);
  }
  return answers;
}

function storedName() {
  try {
    return localStorage.getItem(nameKey) || '';
  } catch (e) {
    return '';
  }
}
function keepName(name) {
  try {
    localStorage.setItem(nameKey, name);
  } catch (e) { /* asked again next time */ }
}

// One entry per server and name: a key is the name's at that server only.
const keyEntry = (name) => `tavlo.key ${scoresServer().href} ${name}`;
function storedKey(name) {
  try {
    return localStorage.getItem(keyEntry(name)) || '';
  } catch (e) {
    return '';
  }
}
function keepKey(name, key) {
  try {
    localStorage.setItem(keyEntry(name), key);
    return true;
  } catch (e) {
    return false;
  }
}
const isKey = (text) => /^[A-Za-z0-9_-]{1,128}$/.test(text);

// answer(text) shows a function's text, and shows it again when the language changes. The
// server gives its reason in the page's language, as the page asks. The outcome: true when the
// run is in the table, 'key' when the server asks for the name's key, else false.
async function send(name, given, answer) {
  const bytes = host.recording();
  if (!bytes) {
    answer(() => tr('There is no recording of this game to send.'));
    return false;
  }
  answer(() => tr('Sending the run; the server plays it through first…'));
  try {
    const key = isKey(given) ? given : storedKey(name);
    const headers = { 'Content-Type': 'application/octet-stream',
      'Accept-Language': (language() || 'en').replace('_', '-') };
    if (key) headers.Authorization = 'Bearer ' + key;
    const response = await fetch(new URL('api/runs?name=' + encodeURIComponent(name), scoresServer()),
      { method: 'POST', body: bytes, headers });
    const said = await response.json().catch(() => ({}));
    if (response.ok) {
      let kept = null;
      if (typeof said.key === 'string' && isKey(said.key)) {
        // Shown this once: the server keeps only its hash.
        kept = keepKey(name, said.key);
      } else if (key && key !== storedKey(name)) {
        keepKey(name, key);
      }
      answer(() => {
        let text = fill(trn('Sent: rank {1} on the score table, with {2} point.',
          'Sent: rank {1} on the score table, with {2} points.', said.score), said.rank, said.score);
        const board = boardSentence(said);
        if (board) text += ' ' + board;
        if (kept !== null) {
          text += ' ' + fill(kept
            ? tr('The name is yours. Its key, which every later run under it needs, is {1}: this browser keeps it for runs sent from here; write it down to send runs under the name from anywhere else.')
            : tr('The name is yours. Its key, which every later run under it needs, is {1}: this browser could not keep it, so write it down now.'),
          said.key);
        }
        return text;
      });
      return true;
    }
    answer(() => fill(tr('The server did not take the run: {1}'),
      said.error || fill(tr('it answered {1}'), response.status)));
    if (response.status === 403) return 'key';
  } catch (error) {
    answer(() => fill(tr('The score server could not be reached: {1}'), error.message));
  }
  return false;
}

function offer(score) {
  const line = scoresLine();
  line.textContent = '';
  const form = document.createElement('form');
  form.id = 'submit';
  const what = document.createElement('span');
  const label = document.createElement('label');
  const labelText = document.createTextNode('');
  label.append(labelText);
  const name = document.createElement('input');
  name.name = 'name';
  name.maxLength = 16;
  name.required = true;
  name.autocomplete = 'nickname';
  name.value = storedName();
  label.append(name);
  // The name's key, asked for only when the server wants one this browser does not keep.
  const keyLabel = document.createElement('label');
  const keyText = document.createTextNode('');
  keyLabel.append(keyText);
  keyLabel.hidden = true;
  const key = document.createElement('input');
  key.name = 'key';
  key.autocomplete = 'off';
  key.spellcheck = false;
  keyLabel.append(key);
  const button = document.createElement('button');
  button.type = 'submit';
  const answer = document.createElement('span');
  answer.className = 'answer';
  let answered = () => '';
  const texts = () => {
    what.textContent = fill(tr('New best: {1}.'), score);
    labelText.textContent = tr('Name') + ' ';
    keyText.textContent = tr('Key') + ' ';
    button.textContent = tr('Submit this run');
    answer.textContent = answered();
  };
  texts();
  onLanguageChange(texts);
  form.append(what, ' ', label, ' ', keyLabel, ' ', button, ' ', answer);
  form.addEventListener('submit', async (e) => {
    e.preventDefault();
    const given = name.value.trim();
    if (!given) return;
    keepName(given);
    button.disabled = true;
    const outcome = await send(given, key.value.trim(), (text) => { answered = text; texts(); });
    if (outcome === true) {
      button.hidden = true;
      label.hidden = true;
      keyLabel.hidden = true;
    } else {
      keyLabel.hidden = outcome !== 'key';
      button.disabled = false;
    }
  });
  line.append(form);
}

document.addEventListener('tavloround', (e) => {
  if (!e.detail.newBest || host.watching) return;
  serverAnswers().then((ok) => { if (ok) offer(e.detail.score); });
});
