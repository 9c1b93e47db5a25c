// Measures the web build's press-to-picture latency in headless Chromium: from a key's
// KeyboardEvent.timeStamp to the flip that answers it (performance.now() in the page). The game
// reads its keys only when it wakes and draws after that, so the answering flip is the first one
// after the page handled the key. Title: Down and Up at random moments (33 ms frames); play:
// Space at random moments during rounds nobody answers (16 ms frames). Prints figures; asserts
// nothing.
// Run: node tests/web/latency.mjs [presses] [rounds]   (after scripts/web.sh build)
import { launchBrowser, sleep, startSite, tempFolder, waitFor } from './tavlo_page.mjs';

const presses = Number(process.argv[2] || 100);
const rounds = Number(process.argv[3] || 3);

function stats(values) {
  if (values.length === 0) return 'n=0';
  const sorted = [...values].sort((a, b) => a - b);
  const at = (q) => sorted[Math.min(sorted.length - 1, Math.round(q * (sorted.length - 1)))];
  const mean = values.reduce((a, b) => a + b, 0) / values.length;
  return `n=${sorted.length} mean=${mean.toFixed(2)} p50=${at(0.5).toFixed(2)} ` +
    `p99=${at(0.99).toFixed(2)} ms`;
}
const random = (low, high) => low + Math.random() * (high - low);

// Each key going down: its timeStamp and when the page had handled it (the page's own listener
// runs first: it was added first).
async function listen(page) {
  await page.evaluate(() => {
    window.pressLog = [];
    window.addEventListener('keydown', (e) => {
      window.pressLog.push({ code: e.code, stamp: e.timeStamp, handled: performance.now() });
    });
  });
}
async function answers(page) {
  return page.evaluate(() => window.pressLog.map((p) => {
    const flip = tavlo.host.flips.find((f) => f > p.handled);
    return { code: p.code, stamp: p.stamp, flip };
  }));
}

const { server, url } = await startSite();
const browser = await launchBrowser(tempFolder('profile'));
try {
  const page = await browser.newPage();
  await page.setViewport({ width: 1024, height: 768 });
  await page.goto(url);
  await waitFor('the title', () => page.evaluate(() => (tavlo.host.shown || {}).gameMs >= 6500), 20000);
  await listen(page);
  for (let i = 0; i < presses; ++i) {
    const key = i % 2 === 0 ? 'ArrowDown' : 'ArrowUp';  // an even count leaves it on START
    await page.keyboard.down(key);
    await sleep(45);
    await page.keyboard.up(key);
    await sleep(random(150, 400));
  }
  const title = (await answers(page)).filter((a) => a.flip !== undefined);
  console.log(`title: press to answering flip: ${stats(title.map((a) => a.flip - a.stamp))}`);

  // Play: the flips between the countdown's last 900 ms wait and the rating's 2000 ms hold.
  const playLatency = [];
  for (let round = 0; round < rounds; ++round) {
    await listen(page);
    const first = await page.evaluate(() => tavlo.host.flips.length);
    await page.keyboard.down('Enter');
    await sleep(45);
    await page.keyboard.up('Enter');
    const until = Date.now() + 13000;
    while (Date.now() < until) {
      await page.keyboard.down('Space');
      await sleep(25);
      await page.keyboard.up('Space');
      await sleep(random(60, 140));
    }
    const flips = await page.evaluate((n) => tavlo.host.flips.slice(n), first);
    const gaps = flips.slice(1).map((t, i) => t - flips[i]);
    const rating = gaps.findIndex((g) => g > 1900);
    let countdownEnd = rating;
    while (countdownEnd > 0 && gaps[countdownEnd - 1] < 850) --countdownEnd;
    if (rating < 0 || countdownEnd <= 0) continue;
    const from = flips[countdownEnd], to = flips[rating];
    for (const a of await answers(page)) {
      if (a.code === 'Space' && a.flip !== undefined && a.stamp >= from && a.flip <= to) {
        playLatency.push(a.flip - a.stamp);
      }
    }
  }
  console.log(`play: press to answering flip: ${stats(playLatency)}`);
} finally {
  await browser.close();
  server.close();
}
