// Measures the web build's pacing in headless Chromium: the time between flips (performance.now()
// in the page) on the title and in play, and the processor time of all of Chromium's processes
// while the title runs. Prints figures; asserts nothing.
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
const flipsOf = (page) => page.evaluate(() => Module.tavloHost.flips.slice());

const { server, url } = await startSite();
const browser = await launchBrowser(tempFolder('profile'));
try {
  const page = await browser.newPage();
  await page.setViewport({ width: 1024, height: 768 });
  await page.goto(url + (process.env.TAVLO_PAGE_QUERY || ""));
  await waitFor('the title', () => page.evaluate(() => (Module.tavloHost.shown || {}).gameMs >= 6500), 20000);

  // The title: flips and the processor.
  const pid = browser.process().pid;
  const cpuBefore = treeCpuSeconds(pid), wallBefore = Date.now();
  const flipsBefore = (await flipsOf(page)).length;
  await sleep(titleSeconds * 1000);
  const cpuAfter = treeCpuSeconds(pid), wall = (Date.now() - wallBefore) / 1000;
  const cpu = cpuAfter.total - cpuBefore.total;
  const titleFlips = (await flipsOf(page)).slice(flipsBefore);
  const titleIntervals = titleFlips.slice(1).map((t, i) => t - titleFlips[i]);
  console.log(`title: ${stats(titleIntervals)}`);
  console.log(`title: Chromium's processes used ${(100 * cpu / wall).toFixed(1)} % of one core ` +
    `over ${wall.toFixed(0)} s`);
  const share = (type) => (100 * (cpuAfter.byType[type] - (cpuBefore.byType[type] || 0)) / wall);
  console.log('title: by process: ' + Object.keys(cpuAfter.byType).filter((t) => t !== 'gone')
    .map((t) => `${t} ${share(t).toFixed(1)} %`).join(', '));

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
} finally {
  await browser.close();
  server.close();
}
