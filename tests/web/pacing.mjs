// Measures the web build's pacing in headless Chromium: the time between flips (performance.now()
// in the page) on the title and in play, and the processor time of all of Chromium's processes
// while the title runs; then, for scale, the same for a bare page that does only what any page
// showing the title must: 30 new 320 × 240 pictures a second on a canvas of the same size.
// Prints figures; asserts nothing.
// Run: node tests/web/pacing.mjs [title seconds] [rounds]   (after scripts/web.sh build)
import {
  launchBrowser, sleep, startSite, tempFolder,
  treeCpuSeconds, waitFor,
} from './tavlo_page.mjs';

const titleSeconds = Number(process.argv[2] || 20);
const rounds = Number(process.argv[3] || 3);

function stats(intervals) {
  if (intervals.length === 0) return "n=0";
  const sorted = [...intervals].sort((a, b) => a - b);
  const at = (q) => sorted[Math.min(sorted.length - 1, Math.floor(q * sorted.length))];
  return `n=${sorted.length} median=${at(0.5).toFixed(2)} p1=${at(0.01).toFixed(2)} ` +
    `p99=${at(0.99).toFixed(2)} max=${sorted[sorted.length - 1].toFixed(2)} ms`;
}
const flipsOf = (page) => page.evaluate(() => tavlo.host.flips.slice());

// Chromium's processes' share of one core over the next `seconds`, in all and by process type.
async function cpuShare(pid, seconds) {
  const before = treeCpuSeconds(pid), start = Date.now();
  await sleep(seconds * 1000);
  const after = treeCpuSeconds(pid), wall = (Date.now() - start) / 1000;
  const share = (type) => 100 * (after.byType[type] - (before.byType[type] || 0)) / wall;
  return `${(100 * (after.total - before.total) / wall).toFixed(1)} % of one core over ` +
    `${wall.toFixed(0)} s (` + Object.keys(after.byType).filter((t) => t !== 'gone')
    .map((t) => `${t} ${share(t).toFixed(1)} %`).join(', ') + ')';
}

// The least a page can do to show the title: an opaque, desynchronized canvas of the game's
// size, scaled as the page scales it, given a new picture every 33 ms by putImageData.
const barePage = (cssWidth, cssHeight, rendering) => `<!doctype html>
<style>html, body { margin: 0; height: 100%; background: #000; }
body { display: flex; align-items: center; justify-content: center; }
canvas { width: ${cssWidth}; height: ${cssHeight}; image-rendering: ${rendering}; }</style>
<canvas width="320" height="240"></canvas>
<script>
const context = document.querySelector('canvas').getContext('2d',
  { alpha: false, desynchronized: true });
const pictures = [0, 1, 2, 3].map((k) => {
  const picture = new ImageData(320, 240);
  for (let i = 0; i < 320 * 240; ++i) {
    picture.data.set([(i * 7 + k * 50) & 255, ((i >> 5) + k * 30) & 255, 128, 255], i * 4);
  }
  return picture;
});
const start = performance.now();
let frame = 0;
window.flips = [];
(function draw() {
  context.putImageData(pictures[frame % 4], 0, 0);
  flips.push(performance.now());
  ++frame;
  setTimeout(draw, Math.max(0, start + frame * 33 - performance.now()));
})();
</script>`;

const { server, url } = await startSite();
const browser = await launchBrowser(tempFolder('profile'));
try {
  const page = await browser.newPage();
  await page.setViewport({ width: 1024, height: 768 });
  await page.goto(url + (process.env.TAVLO_PAGE_QUERY || ""));
  await waitFor('the title', () => page.evaluate(() => (tavlo.host.shown || {}).gameMs >= 6500), 20000);

  // The title: flips and the processor.
  const pid = browser.process().pid;
  const flipsBefore = (await flipsOf(page)).length;
  const titleCpu = await cpuShare(pid, titleSeconds);
  const titleFlips = (await flipsOf(page)).slice(flipsBefore);
  const titleIntervals = titleFlips.slice(1).map((t, i) => t - titleFlips[i]);
  console.log(`title: ${stats(titleIntervals)}`);
  console.log(`title: Chromium's processes used ${titleCpu}`);
  const shown = await page.evaluate(() => {
    const style = getComputedStyle(document.getElementById('screen'));
    return [style.width, style.height, style.imageRendering];
  });

  // Play: rounds in which the first picture passes unanswered (the page is left alone while
  // it is measured: reading the canvas from outside would take the page's thread).
  const playIntervals = [];
  for (let round = 0; round < rounds; ++round) {
    const start = (await flipsOf(page)).length;
    await page.keyboard.down('Enter');
    await sleep(80);
    await page.keyboard.up('Enter');
    await sleep(13000);
    const flips = (await flipsOf(page)).slice(start);
    // The play loop: after the countdown's last 900 ms wait (its first frame follows that
    // picture at once) up to the rating, which is held for 2000 ms.
    const gaps = flips.slice(1).map((t, i) => t - flips[i]);
    const rating = gaps.findIndex((g) => g > 1900);
    let countdownEnd = rating;
    while (countdownEnd > 0 && gaps[countdownEnd - 1] < 850) --countdownEnd;
    const play = gaps.slice(countdownEnd + 1, rating);
    console.log(`round ${round + 1}: play ${stats(play)}`);
    playIntervals.push(...play);
  }
  console.log(`play: ${stats(playIntervals)}`);

  // The bare page, the game's page closed.
  await page.close();
  const bare = await browser.newPage();
  await bare.setViewport({ width: 1024, height: 768 });
  await bare.setContent(barePage(...shown));
  await sleep(1000);
  const bareBefore = (await bare.evaluate(() => window.flips.length));
  const bareCpu = await cpuShare(pid, titleSeconds);
  const bareFlips = (await bare.evaluate(() => window.flips.slice())).slice(bareBefore);
  console.log(`bare canvas (${shown.join(' ')}): ` +
    `${stats(bareFlips.slice(1).map((t, i) => t - bareFlips[i]))}`);
  console.log(`bare canvas: Chromium's processes used ${bareCpu}`);
} finally {
  await browser.close();
  server.close();
}
