// The web build played in headless Chromium, from a first visit to a reload:
// the logo and the title show the very pixels the headless program shows at the same moment;
// keys and gamepad buttons bound in the page's panel reach the game as their actions; Enter starts a round (best
// score 0 on a first visit); the right answer (a letter bound to its arrow) scores, a wrong one ends
// the round, and with the calendar clock at the golden round replay's seed the pictures come in
// the replay's order (the page draws from the project's generator, not the C library's rand);
// gamepads (turned on with the page's button) reach the game: QUIT from one stores the
// best score in the browser, and a reload shows it and keeps gamepads on.
// Run: scripts/web.sh test (builds first), or node tests/web/web_test.mjs on built trees.
import fs from 'node:fs';
import path from 'node:path';
import {
  archivePictures, checklist, crossingKind, grabScreen, kinds, panelNumber, root, samePixels,
  sleep, startSession, titleReference, waitFor,
} from './tavlo_page.mjs';

const { check, stopped, finish } = checklist();

// A key held for 80 ms, as a player's press: the game reads its keys once per frame.
async function press(page, key) {
  await page.keyboard.down(key);
  await sleep(80);
  await page.keyboard.up(key);
}

// The reference: the headless program's pictures of the logo and the title, on its virtual clock.
const { reference, isTitle } = titleReference();
const pictures = archivePictures();

// The golden round replay: the seed the game gave srand, and the kinds of its pictures in order
// (each answered by its arrow).
const replay = fs.readFileSync(path.join(root, 'tests/e2e/replays/round.replay'), 'utf8');
const seed = Number(/^seed (\d+)$/m.exec(replay)[1]);
const arrowKind = { RIGHT: 0, UP: 1, LEFT: 2, DOWN: 3 };
const replayKinds = [...replay.matchAll(/^\d+ down (RIGHT|UP|LEFT|DOWN) /gm)].map((m) => arrowKind[m[1]]);

// The browser's picture must be the one the headless program showed as the same change of the
// screen (the host numbers them alike), and the browser's game clock must not be ahead of the
// headless program's virtual one there: waits never end early.
function matchesReference(shot) {
  const frame = reference[shot.change];
  if (!frame) return false;
  console.log(`     change ${shot.change}: headless ${frame.ms} ms, browser ${shot.gameMs} ms`);
  return frame.ms <= shot.gameMs && samePixels(frame.rgb, shot.rgb);
}
// Whether the page listens for gamepads (which has the browser poll them all the time).
async function listensForPads(page) {
  const cdp = await page.target().createCDPSession();
  const { result } = await cdp.send('Runtime.evaluate', { expression: 'window' });
  const { listeners } = await cdp.send('DOMDebugger.getEventListeners', { objectId: result.objectId });
  await cdp.detach();
  return listeners.some((l) => l.type === 'gamepadconnected');
}

const session = await startSession();
const { url, browser } = session;
try {
  const page = await browser.newPage();
  page.on('pageerror', (e) => check(false, `no error in the page: ${e.message}`));
  await page.setViewport({ width: 800, height: 600 });
  // The calendar clock (what the game seeds with, time()) at the replay's seed, a thousandth as
  // fast as the real one: the seed holds however long the page takes to load.
  await page.evaluateOnNewDocument((seconds) => {
    const real = Date.now.bind(Date), start = real();
    Date.now = () => seconds * 1000 + Math.floor((real() - start) / 1000);
  }, seed);
  await page.goto(url);
  const shown = () => page.evaluate(() => tavlo.host.shown && tavlo.host.shown.gameMs);

  // The logo resolving out of its mosaic, then the title.
  await waitFor('the logo', async () => (await shown()) >= 600, 15000);
  const logo = await grabScreen(page);
  check(logo.width === 320 && logo.height === 240, 'the canvas holds the 320 × 240 screen at 1×');
  check(!(await listensForPads(page)), 'a first visit does not listen for gamepads');
  check(logo.gameMs < 1300 && matchesReference(logo),
    `the logo's mosaic at ${logo.gameMs} ms is the headless program's picture of that moment`);
  await waitFor('the title', async () => (await shown()) >= 6500, 15000);
  const title = await grabScreen(page);
  check(matchesReference(title),
    `the title at ${title.gameMs} ms is the headless program's picture of that moment`);

  // Listening after the page's own listeners: an arrow they leave to the browser would scroll.
  await page.evaluate(() => {
    window.arrowsLeftToBrowser = 0;
    window.addEventListener('keydown', (e) => {
      if (e.code.startsWith('Arrow') && !e.defaultPrevented) ++window.arrowsLeftToBrowser;
    });
  });

  // The bindings panel: each arrow also on a letter, typed into its field; the round below
  // answers with the letter. An unknown name is named and skipped. The gamepad's B becomes
  // Enter (QUIT below is chosen with it).
  await page.click('#keys-button');
  const letters = { ArrowRight: 'KeyD', ArrowUp: 'KeyW', ArrowLeft: 'KeyA', ArrowDown: 'KeyS' };
  for (const [field, keys] of [['key.right', 'd, Right'], ['key.up', 'W,up'],
    ['key.left', 'A,Left,Bogus'], ['key.down', 's,Down'], ['pad.enter', 'B']]) {
    await page.click(`#keys-fields input[name="${field}"]`, { clickCount: 3 });
    await page.keyboard.type(keys);
    await page.keyboard.press('Tab');
  }
  check(await page.$eval('#keys-notes', (n) => n.textContent) === 'key.left: no key "Bogus"; skipped',
    'the keys panel names a key it does not know');
  check(await page.evaluate(() => [localStorage.getItem('tavlo.key.up'),
    tavlo.host.bindings['key.left'], tavlo.host.bindings['pad.enter']])
    .then(([up, left, enter]) => up === 'W,up' && left === 'A,Left' && enter === 'b'),
  'the keys panel keeps the bindings in the page\'s storage');
  await page.click('#keys-button');

  // A round: the panel shows best score 0 and score 0 on a first visit.
  await press(page, 'Enter');
  const panel = await waitFor('the round\'s panel', async () => {
    const shot = await grabScreen(page);
    const best = panelNumber(shot, pictures, 0), score = panelNumber(shot, pictures, 1);
    return best >= 0 && score >= 0 ? { best, score } : null;
  }, 8000);
  check(panel.best === 0 && panel.score === 0, `Enter starts a round: best ${panel.best}, score ${panel.score}`);

  // Three right answers score, each picture of the kind the replay had there.
  const nextKind = () => waitFor('a picture', async () => {
    const k = crossingKind(await grabScreen(page), pictures);
    return k >= 0 ? { k } : null;
  }, 10000).then((found) => found.k);
  const seen = [];
  for (let n = 1; n <= 3; ++n) {
    seen.push(await nextKind());
    await press(page, letters[kinds[seen.at(-1)].key]);
    const scored = await waitFor(`score ${n}`, async () => {
      const shot = await grabScreen(page);
      return panelNumber(shot, pictures, 1) === n ? shot : null;
    }, 4000).catch(() => null);
    check(scored && panelNumber(scored, pictures, 0) === n,
      `${letters[kinds[seen.at(-1)].key]} (bound in the panel) answers picture ${seen.at(-1)}: score ${n}, best ${n}`);
  }

  // A wrong arrow ends the round, and the title comes back.
  seen.push(await nextKind());
  const wrong = kinds[(seen.at(-1) + 1) % 4].key;
  await press(page, wrong);
  check(seen.join() === replayKinds.slice(0, seen.length).join(),
    `seeded with ${seed}, the pictures come as in round.replay: ${seen} (the replay: ${replayKinds.slice(0, 4)})`);
  const back = await waitFor('the title again', async () => isTitle(await grabScreen(page)), 6000)
    .catch(() => false);
  check(back, `${wrong} on picture ${seen.at(-1)} ends the round; the title returns`);
  check(await page.evaluate(() => window.arrowsLeftToBrowser) === 0,
    'no arrow key reaches the browser (the page never scrolls)');

  // Gamepads on (the page's button), then QUIT with a gamepad: the D-pad down to it, B. The
  // pad is the page's own stand-in for the browser's (a headless browser has none). The page
  // stores the score and says the game ended.
  await page.click('#gamepad-button');
  check(await listensForPads(page), 'the page\'s button turns gamepads on');
  await page.evaluate(() => {
    window.pad = { connected: true, axes: [0, 0],
      buttons: Array.from({ length: 17 }, () => ({ pressed: false })) };
    navigator.getGamepads = () => [window.pad];
    window.dispatchEvent(new Event('gamepadconnected'));
  });
  for (const button of [13, 1]) {  // D-pad down, B (bound to Enter in the panel)
    await page.evaluate((b) => { window.pad.buttons[b].pressed = true; }, button);
    await sleep(100);
    await page.evaluate((b) => { window.pad.buttons[b].pressed = false; }, button);
    await sleep(100);
  }
  await waitFor('the end', () => page.evaluate(() => tavlo.host.state === 'ended'), 8000);
  check(await page.evaluate(() => tavlo.host.exitCode) === 1,
    'QUIT from a gamepad (B, bound in the panel) ends the game with code 1');

  // A reload: the best score is the one stored.
  await page.reload();
  await waitFor('the title after the reload', async () => isTitle(await grabScreen(page)), 15000);
  await press(page, 'Enter');
  const again = await waitFor('the panel after the reload', async () => {
    const shot = await grabScreen(page);
    const best = panelNumber(shot, pictures, 0), score = panelNumber(shot, pictures, 1);
    return best >= 0 && score >= 0 ? { best, score } : null;
  }, 8000);
  check(again.best === 3 && again.score === 0, `after a reload the round shows best ${again.best}`);
  check(await listensForPads(page) &&
    await page.$eval('#gamepad-button', (b) => b.textContent) === 'Gamepads: on',
  'after a reload gamepads are still on');
} catch (error) {
  stopped(error);
} finally {
  await session.close();
}

finish();
