// The page and the score server together: tavlo-scores serves the page beside its API (--site)
// over a fresh SQLite store. A golden replay sent to the server stands in its table on the human
// board, the golden round's bot on the assisted one, the human board first, each row with its
// reaction times; the table's link plays the run in the page (which says its board) to the score
// the server reported, storing no best score; a round played in the page through its keys that
// sets a best is sent with "Submit this run", which says its board, and appears in the table
// with its rank; the name's key comes
// back with it, shown and kept for that server and name, and the page's next run under the name
// sends it.
// Run: scripts/web.sh test (builds first), or node tests/web/scores_test.mjs on built trees.
// TAVLO_WEB_SHOTS=FOLDER keeps screenshots of the watched run and of the submit action.
import { spawn } from 'node:child_process';
import fs from 'node:fs';
import net from 'node:net';
import path from 'node:path';
import {
  archivePictures, checklist, crossingKind, grabScreen, kinds, launchBrowser, nativeBuild,
  panelNumber, root, site, sleep, storedBest, tempFolder, waitFor,
} from './tavlo_page.mjs';

const { check, stopped, finish } = checklist();
const program = path.join(nativeBuild, 'server/tavlo-scores');
if (!fs.existsSync(program)) {
  console.log(`skipped: ${program} is not built (the server's libraries: scripts/deps.sh server)`);
  process.exit(0);
}
const shots = process.env.TAVLO_WEB_SHOTS;
const shoot = (page, name) => shots && page.screenshot({ path: path.join(shots, `${name}.png`) });

const freePort = () => new Promise((resolve) => {
  const probe = net.createServer().listen(0, '127.0.0.1', () => {
    const { port } = probe.address();
    probe.close(() => resolve(port));
  });
});
const folder = tempFolder('scores');
const port = await freePort();
const base = `http://127.0.0.1:${port}/`;
const server = spawn(program, ['--db', path.join(folder, 'scores.sqlite'), '--listen',
  `127.0.0.1:${port}`, '--site', site, '--program', path.join(nativeBuild, 'src/tavlo'),
  '--archive', path.join(nativeBuild, 'tavlo.rka'), '--workers', '1'],
{ stdio: ['ignore', 'ignore', 'inherit'] });
const profile = tempFolder('profile');
const browser = await launchBrowser(profile);

async function press(page, key) {
  await page.keyboard.down(key);
  await sleep(80);
  await page.keyboard.up(key);
}
const message = (page) => page.$eval('#message', (m) => (m.hidden ? '' : m.textContent));

try {
  await waitFor('the server', () => fetch(base + 'api/top').then((r) => r.ok, () => false), 10000);
  const golden = fs.readFileSync(path.join(root, 'tests/e2e/replays/wrong.replay'));
  const sent = await fetch(base + 'api/runs?name=Golden', { method: 'POST', body: golden });
  const run = await sent.json();
  check(sent.status === 201 && run.board === 'human',
    `the golden run is taken, on the human board: ${sent.status} ${JSON.stringify(run)}`);
  // The golden round's bot answers every picture at once: the assisted board.
  const bot = await fetch(base + 'api/runs?name=Bot', {
    method: 'POST', body: fs.readFileSync(path.join(root, 'tests/e2e/replays/round.replay')),
  }).then((r) => r.json());
  check(bot.board === 'assisted', `the golden round goes on the assisted board: ${JSON.stringify(bot)}`);

  // The table links each run to the page beside it; the link plays the run there.
  const page = await browser.newPage();
  page.on('pageerror', (e) => check(false, `no error in the page: ${e.message}`));
  await page.setViewport({ width: 800, height: 640 });
  await page.goto(base);
  // Both boards, the people's first, each row with its median and fastest reaction.
  const boards = await page.$$eval('section', (parts) => parts.map((part) => ({
    id: part.id,
    rows: [...part.querySelectorAll('tbody tr')].map((r) => [...r.cells].map((c) => c.textContent)),
  })));
  check(boards.length === 2 && boards[0].id === 'human' && boards[1].id === 'assisted',
    `the table page shows the human board, then the assisted one: ${JSON.stringify(boards.map((b) => b.id))}`);
  check(boards[0].rows.length === 1 && boards[0].rows[0][1] === 'Golden' &&
    boards[0].rows[0][3] === `${run.reactions.median_ms} ms` &&
    boards[0].rows[0][4] === `${run.reactions.fastest_ms} ms`,
  `the human board holds Golden with its median and fastest reaction: ${JSON.stringify(boards[0].rows)}`);
  check(boards[1].rows.length === 1 && boards[1].rows[0][1] === 'Bot' &&
    boards[1].rows[0][3] === `${bot.reactions.median_ms} ms`,
  `the assisted board holds the bot's round: ${JSON.stringify(boards[1].rows)}`);
  const link = await page.$eval('table a', (a) => ({ href: a.href, row: a.closest('tr').textContent }));
  check(link.href === `${base}play/?replay=${run.id}` && link.row.includes('Golden'),
    `the table's row for Golden links to the page: ${link.href}`);
  await Promise.all([page.waitForNavigation(), page.click('table a')]);
  const watchLine = await waitFor('the board of the run watched', () => page.$eval('#scores',
    (line) => (/board/.test(line.textContent) ? line.textContent : '')), 10000);
  check(watchLine.includes(`On the board for people: ${run.why}.`),
    `watching says the run's board and why: "${watchLine}"`);
  await waitFor('the run to play', () => page.evaluate(
    () => window.tavlo && tavlo.host.shown && tavlo.host.shown.gameMs > 13000), 30000);
  await shoot(page, 'watching');
  const end = await waitFor('the end of the run', () => message(page), 60000);
  check(end.includes(`score of ${run.score} point`),
    `the watched run ends at the server's score ${run.score}: "${end}"`);
  check(await page.evaluate(() => tavlo.host.watched.outcome) === 'played' &&
    await storedBest(browser, base + 'play/') === null,
  'it played to its end, and watching stored no best score');

  // A round in the page: one right answer (best 1 from none), then a wrong one.
  await page.goto(base + 'play/');
  const pictures = archivePictures();
  await waitFor('the title', () => page.evaluate(
    () => tavlo.host.shown && tavlo.host.shown.gameMs >= 6500), 20000);
  await press(page, 'Enter');
  const nextKind = () => waitFor('a picture', async () => {
    const k = crossingKind(await grabScreen(page), pictures);
    return k >= 0 ? { k } : null;
  }, 10000).then((found) => found.k);
  const first = await nextKind();
  await press(page, kinds[first].key);
  await waitFor('score 1', async () => panelNumber(await grabScreen(page), pictures, 1) === 1, 4000);
  await press(page, kinds[(await nextKind() + 1) % 4].key);
  await waitFor('the offer to send the run', () => page.$('#submit button'), 10000);
  await page.type('#submit input', 'Zoë Page');
  await shoot(page, 'submit');
  await page.click('#submit button');
  const answer = await waitFor('the server\'s answer', () => page.$eval('#submit .answer',
    (a) => (/Sending/.test(a.textContent) ? '' : a.textContent)), 30000);
  const top = await fetch(base + 'api/top').then((r) => r.json());
  const mine = top.find((row) => row.name === 'Zoë Page');
  check(answer.includes('On the board for people: '), `the answer says the run's board: "${answer}"`);
  check(mine && mine.score === 1 && answer.includes(`rank ${mine.rank}`) &&
    await page.evaluate(() => localStorage.getItem('tavlo.name')) === 'Zoë Page',
  `the run sent from the page stands in the table at score 1: "${answer}"`);
  const key = await page.evaluate((server) => localStorage.getItem(`tavlo.key ${server} Zoë Page`),
    base);
  check(typeof key === 'string' && key.length >= 22 && answer.includes(key),
    `the name's key is shown once and kept for this server and name: ${key}`);
  await shoot(page, 'submitted');

  // The name is the page's player's now: a run without the key is refused, and the page's next
  // run under the name (this game's recording so far, sent again) brings it.
  const stranger = await fetch(base + 'api/runs?name=' + encodeURIComponent('Zoë Page'),
    { method: 'POST', body: fs.readFileSync(path.join(root, 'tests/e2e/replays/away.replay')) });
  check(stranger.status === 403, `a run under the name without its key is refused: ${stranger.status}`);
  await page.evaluate(() => document.dispatchEvent(
    new CustomEvent('tavloround', { detail: { newBest: true, score: 1 } })));
  await waitFor('the offer again', () => page.$('#submit button'), 10000);
  await page.click('#submit button');
  const again = await waitFor('the server\'s second answer', () => page.$eval('#submit .answer',
    (a) => (/Sending/.test(a.textContent) ? '' : a.textContent)), 30000);
  check(/rank \d/.test(again) && !again.includes(key),
    `the page's next run under the name is taken with the kept key: "${again}"`);
  await page.goto(base);
  check((await page.$$eval('table tr', (rows) => rows.map((r) => r.textContent)))
    .some((row) => row.includes('Zoë Page')), 'the table page shows the run sent from the page');
} catch (error) {
  stopped(error);
} finally {
  await browser.close();
  server.kill('SIGTERM');
  fs.rmSync(profile, { recursive: true, force: true });
  fs.rmSync(folder, { recursive: true, force: true });
}

finish();
