// The page in the player's language, in headless Chromium: a browser asking for Japanese gets
// the page in Japanese (its bar, the touch controls' names, the note when the game ends), one
// asking for a language the port has no catalogue of gets English; the Settings panel's choice
// changes every text at once, without a reload, and is kept. Then every language's texts fit:
// on the desktop and on a phone in portrait, with the bar, the Settings panel and the touch
// controls shown, no text overflows its element, the controls and the bar's buttons do not
// overlap, and nothing leaves the viewport. A screenshot of each is kept (printed at the end).
// A watched run the game refuses is refused in the player's language, with its reason.
// Run: scripts/web.sh test (builds first), or node tests/web/language_test.mjs on built trees.
import fs from 'node:fs';
import path from 'node:path';
import { checklist, root, sleep, startSession, tempFolder, waitFor } from './tavlo_page.mjs';

const { check, stopped, finish } = checklist();
const out = process.env.TAVLO_WEB_OUT || tempFolder('languages');
fs.mkdirSync(out, { recursive: true });

// A catalogue's translations, as po/LL.po has them (kept unwrapped: a msgid and its msgstr a
// line each); none for English.
function catalogue(language) {
  const texts = new Map();
  if (language === 'en') return texts;
  const lines = fs.readFileSync(path.join(root, 'po', `${language}.po`), 'utf8').split('\n');
  for (let i = 0; i + 1 < lines.length; ++i) {
    const id = /^msgid (".+")$/.exec(lines[i]), str = /^msgstr (".+")$/.exec(lines[i + 1]);
    if (id && str) texts.set(JSON.parse(id[1]), JSON.parse(str[1]));
  }
  return texts;
}
// Some of the page's texts (an element's text, or an attribute after @), as written.
const probes = {
  '#keys-button': 'Settings', '#fullscreen-button': 'Full screen', '#language-label': 'Language',
  '#hint-keys': 'Arrows answer · Enter chooses · Ctrl held skips waits · Pause ends',
  '#play button[data-key="38"]@aria-label': 'Up', '#pad@aria-label': 'Arrows',
};
const expected = (language, texts = probes) => {
  const translations = catalogue(language);
  return Object.fromEntries(Object.entries(texts).map(([at, en]) => [at, translations.get(en) || en]));
};
const shownTexts = (page, texts = probes) => page.evaluate((selectors) => Object.fromEntries(selectors.map((at) => {
  const [selector, attribute] = at.split('@');
  const element = document.querySelector(selector);
  return [at, attribute ? element.getAttribute(attribute) : element.textContent];
})), Object.keys(texts));
const same = (a, b) => JSON.stringify(a) === JSON.stringify(b);
const running = (page) => waitFor('the game', () => page.evaluate(() => tavlo.host.state === 'running'), 20000);

// ---- the browser's language, and the Settings panel's choice ----------------------------------
const ended = { '#message': 'The game has ended. Reload the page to play again.' };
const browsers = [
  { lang: 'ja', shows: 'ja', pageLang: 'ja' },
  { lang: 'sv', shows: 'en', pageLang: 'en' },
];
for (const { lang, shows, pageLang } of browsers) {
  const session = await startSession([`--lang=${lang}`, `--accept-lang=${lang}`]);
  try {
    const page = await session.browser.newPage();
    await page.setExtraHTTPHeaders({ 'Accept-Language': lang });
    await page.setViewport({ width: 1024, height: 768 });
    await page.goto(session.url);
    await running(page);
    const seen = await shownTexts(page);
    check(same(seen, expected(shows)) && await page.evaluate(() => document.documentElement.lang) === pageLang,
      `a browser asking for "${lang}" (${await page.evaluate(() => navigator.languages.join(','))}) gets the page in "${pageLang}": ${JSON.stringify(seen)}`);
    if (shows !== 'en') {
      // The game ended (Pause), the page says so in the player's language.
      await sleep(500);
      await page.keyboard.press('Pause');
      await waitFor('the end', () => page.evaluate(() => tavlo.host.state === 'ended'), 10000);
      const note = await shownTexts(page, ended);
      check(same(note, expected(shows, ended)) && note['#message'] !== ended['#message'],
        `the note when the game ends is in "${shows}": ${JSON.stringify(note)}`);
      continue;
    }
    // The player's choice, at once: every text in German, the page not reloaded; kept for the
    // next visit; Automatic gives the browser's language back.
    await page.evaluate(() => { window.sameVisit = true; });
    await page.click('#keys-button');
    for (const [choice, language] of [['de', 'de'], ['zh_CN', 'zh_CN'], ['', 'en']]) {
      await page.select('#language-choice', choice);
      const now = await shownTexts(page);
      check(same(now, expected(language)) && await page.evaluate(() => window.sameVisit === true),
        `choosing "${choice || 'Automatic'}" in the Settings panel shows the page in "${language}" at once, without a reload: ${JSON.stringify(now)}`);
      if (choice !== 'de') continue;
      await page.reload();
      await running(page);
      const kept = await shownTexts(page);
      check(same(kept, expected('de')) && await page.$eval('#language-choice', (s) => s.value) === 'de',
        `the choice is kept: after a reload the page is in German: ${JSON.stringify(kept)}`);
      await page.evaluate(() => { window.sameVisit = true; });
      await page.click('#keys-button');
    }
  } catch (error) {
    stopped(error);
  } finally {
    await session.close();
  }
}

// ---- a watched run's reason, in the player's language ------------------------------------------
// The game's reason for not playing a run (here one recorded by another version) reaches the
// page in French, and in German once the player picks German: the reason is said again too.
const version = /project\(tavlo VERSION ([0-9.]+)/.exec(fs.readFileSync(path.join(root, 'CMakeLists.txt'), 'utf8'))[1];
const other = fs.readFileSync(path.join(root, 'tests/e2e/replays/round.replay'), 'utf8')
  .replace(/^program .*$/m, 'program 0.9.9');
{
  const session = await startSession(['--lang=fr', '--accept-lang=fr']);
  try {
    const page = await session.browser.newPage();
    await page.setExtraHTTPHeaders({ 'Accept-Language': 'fr' });
    await page.setViewport({ width: 1024, height: 768 });
    await page.goto(`${session.url}?replay=${encodeURIComponent(`data:text/plain,${encodeURIComponent(other)}`)}`);
    const reasonIn = (language) => {
      const texts = catalogue(language), t = (text) => texts.get(text) || text;
      return t('This run cannot be played here: {1}.').replace('{1}',
        t('recorded by tavlo {1}, this is tavlo {2}').replace('{1}', '0.9.9').replace('{2}', version));
    };
    const message = () => page.$eval('#message', (e) => (e.hidden ? '' : e.textContent));
    await waitFor('the reason', async () => (await message()) !== '', 20000);
    const french = await message();
    check(french === reasonIn('fr') && french !== reasonIn('en'),
      `a run this version cannot play is refused in French, its reason too: "${french}"`);
    await page.evaluate(() => tavlo.i18n.choose('de'));
    const german = await message();
    check(german === reasonIn('de'), `and in German once the player picks German: "${german}"`);
  } catch (error) {
    stopped(error);
  } finally {
    await session.close();
  }
}

// ---- every language fits ------------------------------------------------------------------------
// What is wrong with the page as laid out: a text larger than its element, an element out of
// the viewport, two that overlap (the bar's buttons and hints; the touch controls, with each
// other, the picture and the bar; the Settings panel's rows).
function problems() {
  const shown = (e) => e.getClientRects().length > 0 && getComputedStyle(e).visibility !== 'hidden';
  const name = (e) => (e.id ? `#${e.id}` : `${e.parentElement.id ? `#${e.parentElement.id} ` : ''}${e.tagName.toLowerCase()}` +
    `${e.dataset.key ? `[data-key=${e.dataset.key}]` : ''} "${(e.textContent || '').trim().slice(0, 24)}"`);
  const all = (selector) => Array.from(document.querySelectorAll(selector)).filter(shown);
  const found = [];
  const texts = all('#bar button, #bar span, #play button, #keys-panel, #keys-panel label, #keys-panel > div, #keys-panel select, #notice, #update');
  for (const e of texts) {
    const r = e.getBoundingClientRect();
    if (r.left < -0.5 || r.top < -0.5 || r.right > innerWidth + 0.5 || r.bottom > innerHeight + 0.5) {
      found.push(`${name(e)} leaves the ${innerWidth} × ${innerHeight} viewport`);
    }
    if (e.scrollWidth > e.clientWidth + 1 || e.scrollHeight > e.clientHeight + 1) {
      found.push(`${name(e)}: its text (${e.scrollWidth} × ${e.scrollHeight}) overflows it (${e.clientWidth} × ${e.clientHeight})`);
    }
  }
  const overlap = (a, b) => {
    const p = a.getBoundingClientRect(), q = b.getBoundingClientRect();
    return p.left < q.right - 0.5 && q.left < p.right - 0.5 && p.top < q.bottom - 0.5 && q.top < p.bottom - 0.5;
  };
  const apart = (group, others = []) => {
    group.forEach((a, i) => {
      for (const b of group.slice(i + 1).concat(others)) if (overlap(a, b)) found.push(`${name(a)} overlaps ${name(b)}`);
    });
  };
  apart(all('#bar > button, #menu > button, #bar > span'));
  apart(all('#play button'), all('#screen, #bar'));
  apart(all('#keys-panel > *'));
  apart(all('#keys-fields > label'));
  return [...new Set(found)];
}

const viewports = [
  { name: 'desktop', size: { width: 1024, height: 768 } },
  { name: 'phone', size: { width: 390, height: 844, deviceScaleFactor: 3, isMobile: true, hasTouch: true } },
];
const languages = ['en', 'ja', 'de', 'fr', 'es', 'zh_CN'];
const session = await startSession();
try {
  for (const { name, size } of viewports) {
    const page = await session.browser.newPage();
    await page.setViewport(size);
    await page.goto(session.url);
    await running(page);
    // The touch controls shown (a phone shows them by itself), the folded bar opened, the
    // Settings panel open.
    await page.evaluate(() => {
      if (!document.body.classList.contains('touch')) document.getElementById('touch-button').click();
      const menu = document.getElementById('menu-button');
      if (menu.offsetParent !== null) menu.click();
      document.getElementById('keys-button').click();
    });
    for (const language of languages) {
      const found = await page.evaluate(async (choice) => {
        tavlo.i18n.choose(choice);
        await new Promise((resolve) => requestAnimationFrame(() => requestAnimationFrame(resolve)));
        return document.documentElement.lang;
      }, language);
      const wrong = await page.evaluate(problems);
      const shot = path.join(out, `${language}-${name}.png`);
      await page.screenshot({ path: shot });
      check(found === language.replace('_', '-') && wrong.length === 0,
        `${language} on the ${name} (${size.width} × ${size.height}): every text fits, nothing overlaps or leaves the viewport${wrong.length ? `: ${wrong.join('; ')}` : ''}`);
    }
    await page.close();
  }
} catch (error) {
  stopped(error);
} finally {
  await session.close();
}
console.log(`screenshots in ${out}`);
finish();
