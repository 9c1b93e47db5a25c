// Sending a run to the score server, at the player's word only. After a round that set a new
// best, the page offers "Submit this run" (when a score server answers: watch.js says which);
// pressed, it sends this game's recording under the name given (kept in localStorage for next
// time) and shows what the server answered: the run's rank and score, or its reason.
import { fill, language, onLanguageChange, tr, trn } from './i18n.js';
import { scoresLine, scoresServer } from './watch.js';

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

// answer(text) shows a function's text, and shows it again when the language changes. The
// server gives its reason in the page's language, as the page asks.
async function send(name, answer) {
  const bytes = Module.tavloHost.recording();
  if (!bytes) {
    answer(() => tr('There is no recording of this game to send.'));
    return false;
  }
  answer(() => tr('Sending the run; the server plays it through first…'));
  try {
    const response = await fetch(new URL('api/runs?name=' + encodeURIComponent(name), scoresServer()),
      { method: 'POST', body: bytes,
        headers: { 'Content-Type': 'application/octet-stream',
          'Accept-Language': (language() || 'en').replace('_', '-') } });
    const said = await response.json().catch(() => ({}));
    if (response.ok) {
      answer(() => fill(trn('Sent: rank {1} on the score table, with {2} point.',
        'Sent: rank {1} on the score table, with {2} points.', said.score), said.rank, said.score));
      return true;
    }
    answer(() => fill(tr('The server did not take the run: {1}'),
      said.error || fill(tr('it answered {1}'), response.status)));
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
  const button = document.createElement('button');
  button.type = 'submit';
  const answer = document.createElement('span');
  answer.className = 'answer';
  let answered = () => '';
  const texts = () => {
    what.textContent = fill(tr('New best: {1}.'), score);
    labelText.textContent = tr('Name') + ' ';
    button.textContent = tr('Submit this run');
    answer.textContent = answered();
  };
  texts();
  onLanguageChange(texts);
  form.append(what, ' ', label, ' ', button, ' ', answer);
  form.addEventListener('submit', async (e) => {
    e.preventDefault();
    const given = name.value.trim();
    if (!given) return;
    keepName(given);
    button.disabled = true;
    if (await send(given, (text) => { answered = text; texts(); })) {
      button.hidden = true;
      label.hidden = true;
    } else {
      button.disabled = false;
    }
  });
  line.append(form);
}

document.addEventListener('tavloround', (e) => {
  if (!e.detail.newBest || Module.tavloHost.watching) return;
  serverAnswers().then((ok) => { if (ok) offer(e.detail.score); });
});
