// The web build on phones, in headless Chromium's mobile emulation (touch, DPR 3): the title
// shows (the headless program's very pixels) with the touch buttons around it and never on it,
// in portrait, in landscape and after turning the phone while it plays, and the picture fits
// every viewport; the buttons step aside for a keyboard; a round played by touch alone (5 ms
// taps, two fingers at once); closing the tab right after a new best keeps it; a second tab
// waits for the first; a failed write to storage is said on the page; the page reloads offline
// and can be installed (a new build's update: update_test.mjs).
// Run: scripts/web.sh test (builds first), or node tests/web/phone_test.mjs on built trees.
import http from 'node:http';
import {
  archivePictures, checklist, crossingKind, gameStores, grabScreen, kinds, panelNumber, samePixels,
  sleep, startSession, titleReference, waitFor,
} from './tavlo_page.mjs';

const { check, stopped, finish } = checklist();

const { reference, isTitle } = titleReference();
const pictures = archivePictures();
const labels = ['Left', 'Up', 'Right', 'Down', 'Enter', 'Pause'];
const arrowLabel = { ArrowLeft: 'Left', ArrowUp: 'Up', ArrowRight: 'Right', ArrowDown: 'Down' };
const vkOf = { Left: 0x25, Up: 0x26, Right: 0x27, Down: 0x28, Enter: 0x0d };

// A phone: the viewport, its pixel ratio and touch. Puppeteer's viewport is the DevTools
// protocol's Emulation.setDeviceMetricsOverride (mobile, the screen's orientation) and
// Emulation.setTouchEmulationEnabled, and its screenshots follow it.
async function emulate(page, width, height, ratio = 3) {
  await page.setViewport({ width, height, deviceScaleFactor: ratio, isMobile: true, hasTouch: true,
    isLandscape: width > height });
  page.cdp = page.cdp || await page.target().createCDPSession();
  return page.cdp;
}

// Where the page put things, once it has laid itself out again.
async function geometry(page) {
  return page.evaluate(async () => {
    await new Promise((resolve) => requestAnimationFrame(() => requestAnimationFrame(resolve)));
    const box = (el) => {
      const r = el.getBoundingClientRect();
      return { left: r.left, top: r.top, right: r.right, bottom: r.bottom, width: r.width, height: r.height };
    };
    const buttons = {};
    for (const b of document.querySelectorAll('#play button')) {
      buttons[b.getAttribute('aria-label')] = { ...box(b), glyph: b.textContent.trim(), shown: b.offsetParent !== null };
    }
    return { canvas: box(document.getElementById('screen')), stage: box(document.getElementById('stage')),
      bar: box(document.getElementById('bar')), buttons, ratio: devicePixelRatio,
      viewport: { width: innerWidth, height: innerHeight },
      scrolls: document.scrollingElement.scrollHeight > innerHeight || document.scrollingElement.scrollWidth > innerWidth };
  });
}

const overlap = (a, b) => a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
const inside = (a, b) => a.left >= b.left - 0.5 && a.top >= b.top - 0.5 && a.right <= b.right + 0.5 && a.bottom <= b.bottom + 0.5;

// The picture at the largest whole factor of device pixels that fits its stage, or scaled down
// to fit when not even 1× does; the controls large, in the viewport, off the picture and the bar.
function checkLayout(g, what) {
  const view = { left: 0, top: 0, right: g.viewport.width, bottom: g.viewport.height };
  const scale = g.canvas.width * g.ratio / 320;
  const roomW = g.stage.width * g.ratio, roomH = g.stage.height * g.ratio;
  const fits = (s) => 320 * s <= roomW + 1 && 240 * s <= roomH + 1;
  const largest = scale >= 1
    ? Math.abs(scale - Math.round(scale)) < 0.01 && fits(scale) && !fits(Math.round(scale) + 1)
    : scale > 0 && (Math.abs(320 * scale - roomW) <= 2 || Math.abs(240 * scale - roomH) <= 2);
  check(largest && inside(g.canvas, g.stage) && !g.scrolls,
    `${what}: the picture at ${scale.toFixed(2)}× fills its ${g.stage.width.toFixed(0)} × ${g.stage.height.toFixed(0)} stage as the largest fit, the page does not scroll`);
  const bad = labels.filter((label) => {
    const b = g.buttons[label];
    return !b || !b.shown || !b.glyph || b.width < 48 || b.height < 48 || !inside(b, view) ||
      overlap(b, g.canvas) || overlap(b, g.bar);
  });
  check(bad.length === 0, `${what}: ${labels.join(', ')} shown, 48 px or more, in view, off the picture and the bar${bad.length ? ` (not: ${bad})` : ''}`);
  return g;
}

async function centre(page, label) {
  return page.$eval(`#play button[aria-label=${label}]`, (b) => {
    const r = b.getBoundingClientRect();
    return { x: r.left + r.width / 2, y: r.top + r.height / 2 };
  });
}
// Fingers on the named buttons for `ms`, put down and lifted together.
async function touch(page, names, ms) {
  const points = [];
  for (const [i, name] of names.entries()) points.push({ ...(await centre(page, name)), id: i + 1 });
  await page.cdp.send('Input.dispatchTouchEvent', { type: 'touchStart', touchPoints: points });
  await sleep(ms);
  await page.cdp.send('Input.dispatchTouchEvent', { type: 'touchEnd', touchPoints: [] });
}

async function readPanel(page, timeoutMs) {
  return waitFor('the round\'s panel', async () => {
    const shot = await grabScreen(page);
    const best = panelNumber(shot, pictures, 0), score = panelNumber(shot, pictures, 1);
    return best >= 0 && score >= 0 ? { best, score } : null;
  }, timeoutMs);
}
const nextPicture = (page) => waitFor('a picture', async () => {
  const k = crossingKind(await grabScreen(page), pictures);
  return k >= 0 ? { k } : null;
}, 10000);
const scoreIs = (page, n) => waitFor(`score ${n}`, async () => {
  const shot = await grabScreen(page);
  return panelNumber(shot, pictures, 1) === n ? shot : null;
}, 4000).catch(() => null);
const titleShown = (page, timeoutMs) => waitFor('the title', async () => isTitle(await grabScreen(page)), timeoutMs)
  .catch(() => false);
const state = (page) => page.evaluate(() => tavlo.host.state);

const session = await startSession();
const { url, browser } = session;
// The server (scripts/web.sh serve) refuses what is no path and goes on serving.
const status = (where) => new Promise((resolve) => {
  http.get(url + where, (r) => { r.resume(); resolve(r.statusCode); }).on('error', () => resolve(-1));
});
const statuses = [await status('/'), await status('%E0%A4%A'), await status('manifest.webmanifest')];
check(statuses.join() === '400,400,200', `the server answers "//" and a broken escape with 400, then serves: ${statuses}`);
try {
  // ---- a first visit, portrait ------------------------------------------------------------------
  const page = await browser.newPage();
  page.on('pageerror', (e) => check(false, `no error in the page: ${e.message}`));
  await emulate(page, 390, 844);
  await page.goto(url);
  await waitFor('the title', () => page.evaluate(() => (tavlo.host.shown || {}).gameMs >= 6500), 20000);
  const title = await grabScreen(page);
  const frame = reference[title.change];
  check(title.width === 320 && frame && frame.ms <= title.gameMs && samePixels(frame.rgb, title.rgb),
    `390 × 844 at DPR 3: the title (change ${title.change}, ${title.gameMs} ms) is the headless program's picture`);
  const portrait = checkLayout(await geometry(page), '390 × 844 portrait');
  const below = ['Left', 'Up', 'Right', 'Down', 'Enter'].every((l) => portrait.buttons[l].top >= portrait.canvas.bottom);
  check(below, 'portrait: the controls are below the picture');

  // The service worker has the build; the manifest makes the page installable.
  await waitFor('the service worker', () => page.evaluate(() => !!navigator.serviceWorker.controller), 15000);
  const { installabilityErrors } = await page.cdp.send('Page.getInstallabilityErrors');
  check(installabilityErrors.length === 0,
    `installable: ${JSON.stringify(installabilityErrors.map((e) => e.errorId))}`);

  // Turned while it plays; then the other sizes a phone or a split screen gives.
  await emulate(page, 844, 390);
  const landscape = checkLayout(await geometry(page), '844 × 390 landscape');
  check(['Left', 'Up', 'Right', 'Down'].every((l) => landscape.buttons[l].right <= landscape.canvas.left) &&
    ['Enter', 'Pause'].every((l) => landscape.buttons[l].left >= landscape.canvas.right),
  'landscape: the arrows left of the picture, Enter and Pause right of it');
  check(isTitle(await grabScreen(page)), 'after turning, the canvas still shows the title');
  for (const [w, h, ratio] of [[360, 740, 1], [740, 360, 1], [300, 220, 2]]) {
    await emulate(page, w, h, ratio);
    checkLayout(await geometry(page), `${w} × ${h} at DPR ${ratio}`);
  }

  // ---- a round by touch alone, in landscape ----------------------------------------------------
  await emulate(page, 844, 390);
  // A keyboard in use hides the controls; the next touch (on the picture) brings them back.
  const controlsShown = () => page.$eval('#pad', (pad) => pad.offsetParent !== null);
  await page.keyboard.press('Shift');
  const hidden = !(await controlsShown());
  const stage = await page.$eval('#stage', (s) => {
    const r = s.getBoundingClientRect();
    return { x: r.left + r.width / 2, y: r.top + r.height / 2, id: 1 };
  });
  await page.cdp.send('Input.dispatchTouchEvent', { type: 'touchStart', touchPoints: [stage] });
  await page.cdp.send('Input.dispatchTouchEvent', { type: 'touchEnd', touchPoints: [] });
  check(hidden && await controlsShown(), 'a key hides the touch controls, a touch brings them back');
  // So does a gamepad (the page's stand-in for one): its stick to the right (no key the title
  // reads), back, then a touch.
  await page.evaluate(() => {
    window.pad = { connected: true, axes: [0, 0], buttons: Array.from({ length: 17 }, () => ({ pressed: false })) };
    navigator.getGamepads = () => [window.pad];
    tavlo.host.toggleGamepads();
    window.pad.axes[0] = 0.9;
  });
  await sleep(100);
  await page.evaluate(() => { window.pad.axes[0] = 0; });
  const hiddenByPad = !(await controlsShown());
  await page.cdp.send('Input.dispatchTouchEvent', { type: 'touchStart', touchPoints: [stage] });
  await page.cdp.send('Input.dispatchTouchEvent', { type: 'touchEnd', touchPoints: [] });
  check(hiddenByPad && await controlsShown(), 'a gamepad hides them too, a touch brings them back');
  await page.evaluate(() => tavlo.host.toggleGamepads());
  await page.evaluate(() => {
    window.sent = [];
    const send = tavlo.host.sendKey;
    tavlo.host.sendKey = (vk, down) => { window.sent.push([vk, down, performance.now()]); send(vk, down); };
  });
  await touch(page, ['Enter'], 5);
  const panel = await readPanel(page, 8000).catch(() => null);
  check(panel && panel.best === 0 && panel.score === 0,
    `a 5 ms touch of Enter starts a round: ${JSON.stringify(panel)}`);
  const first = await nextPicture(page);
  const right = arrowLabel[kinds[first.k].key];
  await touch(page, [right], 5);
  check(await scoreIs(page, 1), `a 5 ms touch of ${right} answers picture ${first.k}: score 1`);
  const second = await nextPicture(page);
  const answer = arrowLabel[kinds[second.k].key];
  await page.evaluate(() => { window.sent = []; });
  await touch(page, ['Enter', answer], 5);
  check(await scoreIs(page, 2), `two fingers at once (Enter and ${answer}): the arrow scores, score 2`);
  const sent = await page.evaluate(() => window.sent);
  const heldMs = (vk) => {
    const down = sent.find((s) => s[0] === vk && s[1]), up = sent.find((s) => s[0] === vk && !s[1]);
    return down && up ? up[2] - down[2] : -1;
  };
  const held = [heldMs(vkOf.Enter), heldMs(vkOf[answer])];
  check(held.every((ms) => ms >= 33),
    `each finger's key went down and up, held ${held.map((ms) => ms.toFixed(0))} ms though touched for 5 ms`);
  const third = await nextPicture(page);
  const wrong = arrowLabel[kinds[(third.k + 1) % 4].key];
  await touch(page, [wrong], 5);
  check(await titleShown(page, 6000), `${wrong} on picture ${third.k} ends the round; the title returns`);
  // Closed at once: the new best (2) must already be in storage.
  await page.close();

  // ---- the next visit; a second tab ---------------------------------------------------------------
  const again = await browser.newPage();
  again.on('pageerror', (e) => check(false, `no error in the page: ${e.message}`));
  await emulate(again, 390, 844);
  await again.goto(url);
  check(await titleShown(again, 20000), 'a new tab reaches the title');
  const second2 = await browser.newPage();
  await emulate(second2, 390, 844);
  await second2.goto(url);
  await sleep(1500);
  check(await state(second2) === 'waiting' &&
    /already open in another tab/.test(await second2.$eval('#message', (m) => (m.hidden ? '' : m.textContent))),
  'a second tab does not start: it says the game is open in another tab');
  // Input goes to the tab in front.
  await again.bringToFront();
  await touch(again, ['Enter'], 5);
  const kept = await readPanel(again, 8000).catch(() => null);
  check(kept && kept.best === 2, `the tab closed right after its new best kept it: best ${kept && kept.best}`);

  // Storage refuses the write of a new best (a full quota): the page says so. Pause by touch
  // ends the game.
  await again.evaluate(() => {
    IDBObjectStore.prototype.put = () => { throw new DOMException('full', 'QuotaExceededError'); };
  });
  await gameStores(again, 3);
  await touch(again, ['Pause'], 5);
  await waitFor('the end', async () => (await state(again)) === 'ended', 8000);
  const notice = await again.$eval('#notice', (n) => (n.hidden ? '' : n.textContent));
  check(/could not be stored.*QuotaExceededError/.test(notice), `a failed write is said: "${notice}"`);
  await second2.bringToFront();
  check(await titleShown(second2, 20000), 'the waiting tab starts once the first tab\'s game has ended');
  await again.close();

  // ---- offline ------------------------------------------------------------------------------------
  const cdp = second2.cdp;
  await cdp.send('Network.enable');
  await cdp.send('Network.emulateNetworkConditions',
    { offline: true, latency: 0, downloadThroughput: -1, uploadThroughput: -1 });
  const fromNetwork = [];
  second2.on('response', (r) => { if (!r.fromServiceWorker()) fromNetwork.push(r.url()); });
  await second2.reload();
  check(await titleShown(second2, 20000) && fromNetwork.length === 0,
    `offline, a reload reaches the title from the service worker${fromNetwork.length ? ` (not: ${fromNetwork})` : ''}`);
} catch (error) {
  stopped(error);
} finally {
  await session.close();
}

finish();
