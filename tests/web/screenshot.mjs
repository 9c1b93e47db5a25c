// The pictures of the page in docs/web.md, a round under way: headless Chromium at 1024 × 768, or a
// phone in its mobile emulation (390 × 844 portrait or 844 × 390 landscape, DPR 3, touch).
// Run (after scripts/web.sh build):
//   node tests/web/screenshot.mjs docs/screenshots/web.png
//   node tests/web/screenshot.mjs docs/screenshots/phone-portrait.png portrait
//   node tests/web/screenshot.mjs docs/screenshots/phone-landscape.png landscape
import fs from 'node:fs';
import { launchBrowser, sleep, startSite, tempFolder, waitFor } from './tavlo_page.mjs';

const out = process.argv[2] || 'web.png';
const phone = { portrait: [390, 844], landscape: [844, 390] }[process.argv[3]];
const { server, url } = await startSite();
const profile = tempFolder('profile');
const browser = await launchBrowser(profile);
try {
  const page = await browser.newPage();
  let cdp = null;
  if (phone) {
    // The DevTools protocol's device metrics (mobile) and touch emulation, through puppeteer.
    const [width, height] = phone;
    await page.setViewport({ width, height, deviceScaleFactor: 3, isMobile: true, hasTouch: true,
      isLandscape: width > height });
    cdp = await page.target().createCDPSession();
  } else {
    await page.setViewport({ width: 1024, height: 768 });
  }
  await page.goto(url);
  await waitFor('the title', () => page.evaluate(() => (tavlo.host.shown || {}).gameMs >= 6500), 20000);
  if (cdp) {
    const enter = await page.$eval('#play button[aria-label=Enter]', (b) => {
      const r = b.getBoundingClientRect();
      return { x: r.left + r.width / 2, y: r.top + r.height / 2, id: 1 };
    });
    await cdp.send('Input.dispatchTouchEvent', { type: 'touchStart', touchPoints: [enter] });
    await sleep(80);
    await cdp.send('Input.dispatchTouchEvent', { type: 'touchEnd', touchPoints: [] });
  } else {
    await page.keyboard.down('Enter');
    await sleep(80);
    await page.keyboard.up('Enter');
  }
  // The countdown, then the first picture on its way in.
  await sleep(6200);
  await page.screenshot({ path: out });
  console.log(`wrote ${out}`);
} finally {
  await browser.close();
  server.close();
  fs.rmSync(profile, { recursive: true, force: true });
}
