// The best score in the browser's storage, in headless Chromium: a stored best is never replaced
// by a lower one (after a first read that failed; from a tab that played without Web Locks while
// another stored a better one), one game runs at a time (the installed window, opened at the
// manifest's start URL, beside a tab; two tabs without Web Locks), and the page asks for
// persistent storage after the first stored best and says what the browser gave, and once when
// the storage lasts only for the window.
// Run: scripts/web.sh test (builds first), or node tests/web/storage_test.mjs on built trees.
import fs from 'node:fs';
import path from 'node:path';
import { serve } from './serve.mjs';
import {
  checklist, gameStores, site, sleep, startSession, storedBest, waitFor,
} from './tavlo_page.mjs';

const { check, stopped, finish } = checklist();

// A game page, with `prepare` run in it before its own scripts.
async function openGame(where, prepare) {
  const page = await browser.newPage();
  page.on('pageerror', (e) => check(false, `no error in the page: ${e.message}`));
  if (prepare) await page.evaluateOnNewDocument(prepare);
  await page.goto(where);
  return page;
}
const state = (page) => page.evaluate(() => tavlo.host.state);
const reaches = (page, wanted, timeoutMs = 20000) =>
  waitFor(`state ${wanted}`, async () => (await state(page)) === wanted, timeoutMs).catch(() => false);
const lineText = (page, id) => page.$eval(`#${id}`, (n) => (n.hidden ? '' : n.textContent));
// Pause ends the game, which stores "score.dat" once more.
async function endGame(page) {
  await page.evaluate(() => tavlo.host.sendKey(0x13, true));
  await sleep(100);
  await page.evaluate(() => tavlo.host.sendKey(0x13, false));
  return reaches(page, 'ended', 10000);
}
// What a page may lack: Web Locks (an insecure origin, an older browser), BroadcastChannel.
function withoutLocks() {
  Object.defineProperty(Navigator.prototype, 'locks', { value: undefined, configurable: true });
}
function withoutLocksOrChannel() {
  Object.defineProperty(Navigator.prototype, 'locks', { value: undefined, configurable: true });
  window.BroadcastChannel = undefined;
}
// The first indexedDB.open of the page fails (asked for an older version than the stored one:
// a VersionError, reported as any failed open is); later ones succeed.
function firstOpenFails() {
  const open = IDBFactory.prototype.open;
  let failed = false;
  IDBFactory.prototype.open = function (name, version) {
    if (failed) return open.call(this, name, version);
    failed = true;
    return open.call(this, name, 1);
  };
}

const session = await startSession();
const { browser } = session;
// Each case on an origin of its own (the site served again on another port): storage of its own.
async function onOrigin(what, work) {
  const server = await serve(site, 0);
  const before = new Set(await browser.pages());
  try {
    await work(`http://127.0.0.1:${server.address().port}/`);
  } catch (error) {
    check(false, `${what}: ${error && error.stack || error}`);
  } finally {
    for (const page of await browser.pages()) if (!before.has(page)) await page.close();
    server.close();
  }
}

try {
  // ---- a stored best is never replaced by a lower one --------------------------------------------
  const survivals = [
    { what: 'the first read of the stored best failed', stored: 150, prepare: firstOpenFails,
      notice: /could not be read \(VersionError\).*never replaced by a lower score/ },
    { what: 'without Web Locks or BroadcastChannel, another tab stored a better best meanwhile',
      later: 150, prepare: withoutLocksOrChannel, notice: /^$/ },
  ];
  for (const c of survivals) {
    await onOrigin(c.what, async (url) => {
      if (c.stored !== undefined) await storedBest(browser, url, c.stored);
      const page = await openGame(url, c.prepare);
      const started = await reaches(page, 'running');
      const notice = await lineText(page, 'notice');
      if (c.later !== undefined) await storedBest(browser, url, c.later);
      const ended = started && await endGame(page);
      const best = await storedBest(browser, url);
      check(ended && best === 150 && c.notice.test(notice),
        `${c.what}: the game ended with its best 0 and the stored best afterwards is ${best}; notice "${notice}"`);
    });
  }

  // ---- one game at a time ----------------------------------------------------------------------
  // The installed window opens the manifest's start URL (relative to the manifest).
  const manifest = JSON.parse(fs.readFileSync(path.join(site, 'manifest.webmanifest'), 'utf8'));
  const startAt = (url) => new URL(manifest.start_url, url + 'manifest.webmanifest').href;
  const pairs = [
    { what: `the installed window (the manifest's start URL, "${manifest.start_url}") and then a tab`,
      first: startAt, second: (url) => url + 'index.html' },
    { what: 'two tabs without Web Locks (BroadcastChannel)', first: (url) => url, second: (url) => url,
      prepare: withoutLocks },
  ];
  for (const c of pairs) {
    await onOrigin(c.what, async (url) => {
      const first = await openGame(c.first(url), c.prepare);
      await reaches(first, 'running');
      const second = await openGame(c.second(url), c.prepare);
      await sleep(1500);
      const waits = await state(second) === 'waiting' &&
        /already open in another tab/.test(await lineText(second, 'message'));
      const ended = await endGame(first);
      const followed = ended && await reaches(second, 'running');
      check(waits && followed,
        `${c.what}: the second waits (${waits}), and starts once the first game has ended (${followed})`);
    });
  }

  // ---- persistent storage ----------------------------------------------------------------------
  // The browser's answers stood in for: persist() grants, and a quota as small as a private
  // window's where a browser says so.
  await onOrigin('persistent storage', async (url) => {
    const page = await openGame(url, () => {
      let granted = false;
      window.persistAsked = 0;
      navigator.storage.persist = async () => {
        ++window.persistAsked;
        granted = true;
        return true;
      };
      navigator.storage.persisted = async () => granted;
    });
    await reaches(page, 'running');
    const panel = () => page.$eval('#storage-state', (n) => n.textContent);
    const before = { asked: await page.evaluate(() => window.persistAsked), panel: await panel() };
    await gameStores(page, 7);
    await waitFor('the store', () => page.evaluate(() => tavlo.host.stored >= 1), 5000);
    await gameStores(page, 8);
    await waitFor('the second store', () => page.evaluate(() => tavlo.host.stored >= 2), 5000);
    const after = await waitFor('the panel', async () => {
      const text = await panel();
      return /persistent storage/.test(text) ? text : null;
    }, 5000).catch(() => panel());
    const asked = await page.evaluate(() => window.persistAsked);
    check(before.asked === 0 && /may clear it/.test(before.panel) && asked === 1 &&
      /in persistent storage/.test(after),
    `persistent storage asked for once, after the first stored best (${before.asked}, then ${asked}); the settings panel said "${before.panel}", then "${after}"`);
  });
  await onOrigin('storage for this window only', async (url) => {
    const page = await openGame(url, () => {
      navigator.storage.estimate = async () => ({ quota: 50 * 1024 * 1024, usage: 0 });
    });
    await reaches(page, 'running');
    await sleep(300);
    const first = await lineText(page, 'notice');
    const panel = await page.$eval('#storage-state', (n) => n.textContent);
    await page.reload();
    await reaches(page, 'running');
    await sleep(300);
    const again = await lineText(page, 'notice');
    check(first === 'Scores in this window end when it closes.' && again === '' &&
      /only until this window closes/.test(panel),
    `storage for this window only is said once ("${first}", after a reload "${again}"); the panel: "${panel}"`);
  });
} catch (error) {
  stopped(error);
} finally {
  await session.close();
}

finish();
