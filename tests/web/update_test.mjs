// The page's service worker and its updates, in headless Chromium: a host that redirects between
// "/" and "/index.html" still gets the page from the worker, online and offline; a new build
// replaces the old one whole, when the player takes it: refused while half deployed (and the page
// says the update could not be installed), offered whole on a line of its own beside a storage
// notice, and Update waits for a best score being stored before the new build takes over.
// Run: scripts/web.sh test (builds first), or node tests/web/update_test.mjs on built trees.
import crypto from 'node:crypto';
import fs from 'node:fs';
import path from 'node:path';
import { serve } from './serve.mjs';
import {
  checklist, gameStores, site, sleep, startSession, storedBest, tempFolder, waitFor,
} from './tavlo_page.mjs';

const { check, stopped, finish } = checklist();

const session = await startSession();
const { browser } = session;

async function gamePage(url) {
  const page = await browser.newPage();
  page.on('pageerror', (e) => check(false, `no error in the page: ${e.message}`));
  await page.goto(url);
  await waitFor('the service worker', () => page.evaluate(() => !!navigator.serviceWorker.controller), 15000);
  return page;
}
const started = (page) => waitFor('the game', () => page.evaluate(() => tavlo.host.state === 'running'), 20000)
  .catch(() => false);
const line = (page, id) => page.$eval(`#${id}`, (n) => (n.hidden ? '' : n.textContent));

// A host that redirects one way or the other: the page, reloaded through the worker (online,
// then offline), starts the game.
async function redirects() {
  for (const [from, to] of [['/index.html', '/'], ['/', '/index.html']]) {
    const served = await serve(site, 0, { [from]: to });
    const url = `http://127.0.0.1:${served.address().port}/`;
    const page = await gamePage(url);
    const results = [];
    for (const offline of [false, true]) {
      await page.setOfflineMode(offline);
      const reloaded = await page.reload().then(() => started(page), () => false);
      results.push(reloaded);
    }
    check(results.every((r) => r),
      `a host redirecting ${from} to ${to}: the page comes from the worker online (${results[0]}) and offline (${results[1]})`);
    await page.close();
    served.close();
  }
}

// A copy of the site on its own origin; the next build differs in touch.js.
async function nextBuild() {
  const copy = tempFolder('site');
  fs.cpSync(site, copy, { recursive: true });
  const served = await serve(copy, 0);
  const url = `http://127.0.0.1:${served.address().port}/`;
  try {
    const page = await gamePage(url);
    const cacheNames = () => page.evaluate(() => caches.keys());
    const [first] = await cacheNames();
    const update = () => page.evaluate(async () => {
      const registration = await navigator.serviceWorker.getRegistration();
      await registration.update().catch(() => {});
    });

    // Only the new sw.js is deployed: its worker refuses the old touch.js, the old build goes
    // on, and the page says so.
    const digest = (text) => crypto.createHash('sha256').update(text).digest('hex');
    const touch = fs.readFileSync(path.join(copy, 'touch.js'), 'utf8');
    const nextTouch = touch + '// the next build\n';
    const sw = fs.readFileSync(path.join(copy, 'sw.js'), 'utf8');
    const nextSw = sw.replace(digest(touch), digest(nextTouch)).replace(/const version = '[0-9a-f]+'/, "const version = 'next'");
    fs.writeFileSync(path.join(copy, 'sw.js'), nextSw);
    await page.reload();
    await started(page);
    await update();
    await sleep(1500);
    const half = await page.evaluate(async () => {
      const registration = await navigator.serviceWorker.getRegistration();
      return { waiting: !!registration.waiting, installing: !!registration.installing, caches: await caches.keys() };
    });
    const said = await line(page, 'update');
    check(!half.waiting && !half.installing && half.caches.join() === first && /could not be installed/.test(said),
      `a half-deployed build (new sw.js, old touch.js) is refused, the cache stays ${first} (${JSON.stringify(half)}), and the page says "${said}"`);

    // A write to storage fails (a full quota), then the whole build is deployed: the storage
    // notice and the update offer are both shown.
    await page.evaluate(() => {
      const put = IDBObjectStore.prototype.put;
      IDBObjectStore.prototype.put = function () {
        IDBObjectStore.prototype.put = put;
        throw new DOMException('full', 'QuotaExceededError');
      };
    });
    await gameStores(page, 5);
    fs.writeFileSync(path.join(copy, 'touch.js'), nextTouch);
    await update();
    const offered = await waitFor('the update offered', () => page.evaluate(() => {
      const button = document.querySelector('#update button');
      return !!button && !document.getElementById('update').hidden && button.textContent === 'Update';
    }), 15000).catch(() => false);
    const notice = await line(page, 'notice');
    check(offered && /could not be stored.*QuotaExceededError/.test(notice),
      `the whole build installed: the page offers "Update" (${offered}) and still says "${notice}"`);

    // Update pressed while a best score is being stored (another page of the site holds the
    // database for 3 s): the store ends before the new build takes over and the page reloads.
    const holder = await browser.newPage();
    await holder.goto(url + 'manifest.webmanifest');
    await holder.evaluate(() => new Promise((resolve) => {
      const request = indexedDB.open('/tavlo');
      request.onsuccess = () => {
        const files = request.result.transaction('FILE_DATA', 'readwrite').objectStore('FILE_DATA');
        const until = Date.now() + 3000;
        const hold = () => { if (Date.now() < until) files.get('hold').onsuccess = hold; };
        files.get('hold').onsuccess = () => {
          resolve();
          hold();
        };
      };
    }));
    await gameStores(page, 9);
    const pressed = Date.now();
    await Promise.all([page.waitForNavigation({ timeout: 20000 }),
      page.$eval('#update button', (button) => button.click())]);
    const waitedMs = Date.now() - pressed;
    await waitFor('the new worker', () => page.evaluate(() => !!navigator.serviceWorker.controller), 15000);
    await holder.close();
    const best = await storedBest(browser, url);
    check(best === 9, `Update during a store: the page reloaded after ${waitedMs} ms with the best score stored: ${best}`);
    const after = await cacheNames();
    const servedTouch = await page.evaluate(() => fetch('touch.js').then((r) => r.text()));
    check(after.join() === 'tavlo-next' && servedTouch.endsWith('// the next build\n'),
      `after the update only the new build's cache is left (${after}) and it serves the new touch.js`);
    await page.close();
  } finally {
    served.close();
    fs.rmSync(copy, { recursive: true, force: true });
  }
}

try {
  await redirects();
  await nextBuild();
} catch (error) {
  stopped(error);
} finally {
  await session.close();
}

finish();
