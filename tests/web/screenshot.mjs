// The README's picture of the page: headless Chromium at 1024 × 768, a round under way.
// Run: node tests/web/screenshot.mjs docs/screenshots/web.png   (after scripts/web.sh build)
import fs from 'node:fs';
import { launchBrowser, sleep, startSite, tempFolder, waitFor } from './tavlo_page.mjs';

const out = process.argv[2] || 'web.png';
const { server, url } = await startSite();
const profile = tempFolder('profile');
const browser = await launchBrowser(profile);
try {
  const page = await browser.newPage();
  await page.setViewport({ width: 1024, height: 768 });
  await page.goto(url);
  await waitFor('the title', () => page.evaluate(() => (Module.tavloHost.shown || {}).gameMs >= 6500), 20000);
  await page.keyboard.down('Enter');
  await sleep(80);
  await page.keyboard.up('Enter');
  // The countdown, then the first picture on its way in.
  await sleep(6200);
  await page.screenshot({ path: out });
  console.log(`wrote ${out}`);
} finally {
  await browser.close();
  server.close();
  fs.rmSync(profile, { recursive: true, force: true });
}
