// Sending a run to the score server, at the player's word only. After a round that set a new
// best, the page offers "Submit this run" (when a score server answers: watch.js says which);
// pressed, it sends this game's recording under the name given (kept in localStorage for next
// time) and shows what the server answered: the run's rank, score and board (people's or assisted,
// and why), or its reason.
import { fill, tr, trn } from './i18n.js';
import { boardSentence, scoresLine, scoresServer } from './watch.js';

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

async function send(name, answer) {
  const bytes = Module.tavloHost.recording();
  if (!bytes) {
    answer.textContent = tr('There is no recording of this game to send.');
    return false;
  }
  answer.textContent = tr('Sending the run; the server plays it through first…');
  try {
    const response = await fetch(new URL('api/runs?name=' + encodeURIComponent(name), scoresServer()),
      { method: 'POST', body: bytes, headers: { 'Content-Type': 'application/octet-stream' } });
    const said = await response.json().catch(() => ({}));
    if (response.ok) {
      answer.textContent = fill(trn('Sent: rank {1} on the score table, with {2} point.',
        'Sent: rank {1} on the score table, with {2} points.', said.score), said.rank, said.score);
      const board = boardSentence(said);
      if (board) answer.textContent += ' ' + board;
      return true;
    }
    answer.textContent = fill(tr('The server did not take the run: {1}'),
      said.error || fill(tr('it answered {1}'), response.status));
  } catch (error) {
    answer.textContent = fill(tr('The score server could not be reached: {1}'), error.message);
  }
  return false;
}

function offer(score) {
  const line = scoresLine();
  line.textContent = '';
  const form = document.createElement('form');
  form.id = 'submit';
  const what = document.createElement('span');
  what.textContent = fill(tr('New best: {1}.'), score);
  const label = document.createElement('label');
  label.textContent = tr('Name') + ' ';
  const name = document.createElement('input');
  name.name = 'name';
  name.maxLength = 16;
  name.required = true;
  name.autocomplete = 'nickname';
  name.value = storedName();
  label.append(name);
  const button = document.createElement('button');
  button.type = 'submit';
  button.textContent = tr('Submit this run');
  const answer = document.createElement('span');
  answer.className = 'answer';
  form.append(what, ' ', label, ' ', button, ' ', answer);
  form.addEventListener('submit', async (e) => {
    e.preventDefault();
    const given = name.value.trim();
    if (!given) return;
    keepName(given);
    button.disabled = true;
    if (await send(given, answer)) {
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
