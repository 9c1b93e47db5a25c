// Helpers for playing the web build in headless Chromium: the site served, the browser started,
// the canvas read back, the game's pictures decoded from its archive, the headless program run
// for reference frames, and the game's screen read (which picture is crossing, which digits
// the panel shows).
import { execFileSync, spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import puppeteer from 'puppeteer-core';
import { serve } from './serve.mjs';

export const root = path.resolve(path.dirname(new URL(import.meta.url).pathname), '../..');
export const site = process.env.TAVLO_WEB_SITE || path.join(root, 'build-web/site');
export const nativeBuild = process.env.TAVLO_BUILD || path.join(root, 'build');
export const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

export const VK = { RETURN: 0x0d, LEFT: 0x25, UP: 0x26, RIGHT: 0x27, DOWN: 0x28 };
export const keyNames = { [VK.RETURN]: 'Enter', [VK.LEFT]: 'ArrowLeft', [VK.UP]: 'ArrowUp',
  [VK.RIGHT]: 'ArrowRight', [VK.DOWN]: 'ArrowDown' };
// The four kinds of picture: where each lies in "game0.bmp" and the key that answers it.
export const kinds = [
  { sourceX: 1, width: 73, key: 'ArrowRight' }, { sourceX: 76, width: 82, key: 'ArrowUp' },
  { sourceX: 160, width: 73, key: 'ArrowLeft' }, { sourceX: 236, width: 82, key: 'ArrowDown' },
];

// An 8-bit BMP as 0xRRGGBB per pixel, top-down, and its indices.
export function readBmp(file) {
  const b = fs.readFileSync(file);
  const offset = b.readUInt32LE(10), headerSize = b.readUInt32LE(14);
  const width = b.readInt32LE(18), rawHeight = b.readInt32LE(22), bits = b.readUInt16LE(28);
  if (bits !== 8) throw new Error(`${file}: ${bits} bits per pixel`);
  const height = Math.abs(rawHeight), stride = (width + 3) & ~3;
  const table = [];
  for (let i = 0; i < 256; ++i) {
    const at = 14 + headerSize + 4 * i;
    table.push((b[at + 2] << 16) | (b[at + 1] << 8) | b[at]);
  }
  const rgb = new Uint32Array(width * height), index = new Uint8Array(width * height);
  for (let y = 0; y < height; ++y) {
    const row = offset + stride * (rawHeight > 0 ? height - 1 - y : y);
    for (let x = 0; x < width; ++x) {
      index[y * width + x] = b[row + x];
      rgb[y * width + x] = table[b[row + x]];
    }
  }
  return { width, height, rgb, index };
}

export function tempFolder(name) {
  return fs.mkdtempSync(path.join(os.tmpdir(), `tavlo-web-${name}-`));
}

// The archive's entries, unpacked with the project's own tool.
export function archivePictures() {
  const folder = tempFolder('archive');
  execFileSync(path.join(nativeBuild, 'tools/rka/rka'),
    ['extract', path.join(nativeBuild, 'tavlo.rka'), '-C', folder]);
  return { game0: readBmp(path.join(folder, 'game0.bmp')), game1: readBmp(path.join(folder, 'game1.bmp')) };
}

// Runs the native program on the headless host with a script; returns its captures as
// [{ms, cause, rgb}] in order.
export function headlessRun(script, limitMs) {
  const folder = tempFolder('headless');
  fs.copyFileSync(path.join(nativeBuild, 'tavlo.rka'), path.join(folder, 'tavlo.rka'));
  fs.writeFileSync(path.join(folder, 'score.dat'), Buffer.alloc(4));
  fs.writeFileSync(path.join(folder, 'input.txt'), script);
  const run = spawnSync(path.join(nativeBuild, 'src/tavlo'), [], {
    cwd: folder,
    env: { ...process.env, TAVLO_VIDEO: 'headless', TAVLO_INPUT: 'input.txt',
      TAVLO_CAPTURE: 'capture', TAVLO_TIME_LIMIT: String(limitMs) },
  });
  if (run.status !== 1 && run.status !== 3) {
    throw new Error(`headless run ended with ${run.status}: ${run.stderr}`);
  }
  const lines = fs.readFileSync(path.join(folder, 'capture/frames.tsv'), 'utf8').trim().split('\n');
  const frames = lines.map((line) => {
    const [name, ms, cause] = line.split('\t');
    return { ms: Number(ms), cause, rgb: readBmp(path.join(folder, 'capture', `${name}.bmp`)).rgb };
  });
  fs.rmSync(folder, { recursive: true, force: true });
  return frames;
}

export async function startSite() {
  const server = await serve(site, 0);
  return { server, url: `http://127.0.0.1:${server.address().port}/` };
}

// `args`: more switches for this browser (--lang=ja, ...).
export async function launchBrowser(profile, args = []) {
  return puppeteer.launch({
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    headless: true,
    userDataDir: profile,
    // TAVLO_CHROMIUM_ARGS adds switches for measuring (e.g. --disable-gpu).
    args: ['--no-sandbox', '--no-first-run', '--autoplay-policy=no-user-gesture-required',
      ...args, ...(process.env.TAVLO_CHROMIUM_ARGS || '').split(' ').filter(Boolean)],
  });
}

// The canvas as 0xRRGGBB per pixel (sharp scaling: the canvas holds the game's 320 × 240),
// with the game's clock when that picture was put there and the number of the screen's change
// it shows.
export async function grabScreen(page) {
  const shot = await page.evaluate(() => {
    const canvas = document.getElementById('screen');
    const data = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data;
    let text = '';
    for (let i = 0; i < data.length; i += 4) {
      text += String.fromCharCode(data[i], data[i + 1], data[i + 2]);
    }
    return { width: canvas.width, height: canvas.height, pixels: btoa(text),
      gameMs: tavlo.host.shown ? tavlo.host.shown.gameMs : -1,
      change: tavlo.host.shown ? tavlo.host.shown.change : -1 };
  });
  const bytes = Buffer.from(shot.pixels, 'base64');
  const rgb = new Uint32Array(shot.width * shot.height);
  for (let i = 0; i < rgb.length; ++i) {
    rgb[i] = (bytes[3 * i] << 16) | (bytes[3 * i + 1] << 8) | bytes[3 * i + 2];
  }
  return { width: shot.width, height: shot.height, rgb, gameMs: shot.gameMs, change: shot.change };
}

export function samePixels(a, b) {
  if (a.length !== b.length) return false;
  for (let i = 0; i < a.length; ++i) if (a[i] !== b[i]) return false;
  return true;
}

// Whether the opaque pixels of a w × h part of `sheet` at (sx, sy) sit on the screen at (dx, dy);
// pixels of colour index 1 are the colour key (not drawn). Needs at least `least` pixels seen.
function placed(screen, sheet, sx, sy, w, h, dx, dy, least) {
  let seen = 0;
  for (let y = 0; y < h; ++y) {
    const ty = dy + y;
    if (ty < 0 || ty >= screen.height) continue;
    for (let x = 0; x < w; ++x) {
      const tx = dx + x;
      if (tx < 0 || tx >= screen.width) continue;
      const s = (sy + y) * sheet.width + sx + x;
      if (sheet.index[s] === 1) continue;
      if (screen.rgb[ty * screen.width + tx] !== sheet.rgb[s]) return false;
      ++seen;
    }
  }
  return seen >= least;
}

// The kind of the picture crossing the band (its unhit look), or -1 when none is seen whole
// enough to tell.
export function crossingKind(screen, pictures) {
  for (let k = 0; k < kinds.length; ++k) {
    const { sourceX, width } = kinds[k];
    for (let x = -width + 30; x < screen.width - 30; ++x) {
      if (placed(screen, pictures.game0, sourceX, 0, width, 85, x, 80, 1500)) return k;
    }
  }
  return -1;
}

// The number the panel shows in row `row` (0 the best score, 1 the score), or -1.
export function panelNumber(screen, pictures, row) {
  let value = 0;
  for (let i = 0; i < 3; ++i) {
    let digit = -1;
    for (let d = 0; d < 10 && digit < 0; ++d) {
      if (placed(screen, pictures.game1, 19 * d, 0, 19, 19, 114 + 19 * i, 19 * row, 20)) digit = d;
    }
    if (digit < 0) return -1;
    value = value * 10 + digit;
  }
  return value;
}

export async function waitFor(what, condition, timeoutMs) {
  const until = Date.now() + timeoutMs;
  for (;;) {
    const result = await condition();
    if (result) return result;
    if (Date.now() > until) throw new Error(`timed out waiting for ${what}`);
    await sleep(50);
  }
}

// CPU time (seconds) used so far by a process and all its descendants, in all and by Chromium's
// process type (--type=renderer, gpu-process, utility, ...; the browser process has none).
export function treeCpuSeconds(rootPid) {
  const children = new Map();
  const times = new Map();
  for (const entry of fs.readdirSync('/proc')) {
    if (!/^\d+$/.test(entry)) continue;
    let stat;
    try {
      stat = fs.readFileSync(`/proc/${entry}/stat`, 'utf8');
    } catch {
      continue;
    }
    const fields = stat.slice(stat.lastIndexOf(')') + 2).split(' ');
    const ppid = Number(fields[1]);
    times.set(Number(entry), Number(fields[11]) + Number(fields[12]));
    if (!children.has(ppid)) children.set(ppid, []);
    children.get(ppid).push(Number(entry));
  }
  const byType = {};
  let ticks = 0;
  const stack = [rootPid];
  while (stack.length) {
    const pid = stack.pop();
    const t = times.get(pid) || 0;
    ticks += t;
    let type = 'browser';
    try {
      const match = /--type=([a-z-]+)/.exec(fs.readFileSync(`/proc/${pid}/cmdline`, 'utf8'));
      if (match) type = match[1];
    } catch {
      type = 'gone';
    }
    byType[type] = (byType[type] || 0) + t / 100;
    stack.push(...(children.get(pid) || []));
  }
  return { total: ticks / 100, byType };
}

// The site served and a browser on a profile of its own (with more switches: `args`); close()
// ends both and removes the profile.
export async function startSession(args = []) {
  const { server, url } = await startSite();
  const profile = tempFolder('profile');
  const browser = await launchBrowser(profile, args);
  return {
    url, browser,
    async close() {
      await browser.close();
      server.close();
      fs.rmSync(profile, { recursive: true, force: true });
    },
  };
}

// A test's checks, each printed as it is made; an error that stopped the test fails it too;
// finish() says how the run went and ends the process, with 1 when any check failed.
export function checklist() {
  const started = Date.now();
  const failures = [];
  const check = (ok, what) => {
    console.log(`${ok ? 'ok  ' : 'FAIL'} ${what}`);
    if (!ok) failures.push(what);
  };
  return {
    check,
    stopped(error) { check(false, String(error && error.stack || error)); },
    finish() {
      console.log(`${failures.length ? 'FAILED' : 'passed'} in ${((Date.now() - started) / 1000).toFixed(0)} s`);
      process.exit(failures.length ? 1 : 0);
    },
  };
}

// The headless program's pictures of the logo and the title, on its virtual clock, and a test
// whether a screen shows the title as one of them.
export function titleReference() {
  const reference = headlessRun('', 9000);
  const titleFrames = reference.filter((f) => f.ms >= 5500);
  return { reference, isTitle: (shot) => titleFrames.some((f) => samePixels(f.rgb, shot.rgb)) };
}

// The stored "score.dat", read (no value given) or written as the page keeps it, from a page of
// the site that is not the game (the manifest); the best it holds, or null when none is stored.
export async function storedBest(browser, url, value) {
  const page = await browser.newPage();
  try {
    await page.goto(url + 'manifest.webmanifest');
    return await page.evaluate(async (best) => {
      const files = 'FILE_DATA', key = '/tavlo/score.dat';
      const db = await new Promise((resolve, reject) => {
        const request = indexedDB.open('/tavlo', 21);
        request.onupgradeneeded = () => {
          request.result.createObjectStore(files).createIndex('timestamp', 'timestamp', { unique: false });
        };
        request.onsuccess = () => resolve(request.result);
        request.onerror = () => reject(request.error);
      });
      const transaction = db.transaction(files, 'readwrite');
      const request = transaction.objectStore(files).get(key);
      if (best !== null) {
        const contents = new Uint8Array(new Int32Array([best]).buffer);
        transaction.objectStore(files).put({ timestamp: new Date(), mode: 33206, contents }, key);
      }
      await new Promise((resolve) => { transaction.oncomplete = resolve; });
      db.close();
      const entry = best === null ? request.result : { contents: new Uint8Array(new Int32Array([best]).buffer) };
      return entry ? new DataView(entry.contents.buffer, entry.contents.byteOffset, 4).getInt32(0, true) : null;
    }, value === undefined ? null : value);
  } finally {
    await page.close();
  }
}

// The game puts a new "score.dat" in place, as the game's replace reaches the host.
export const gameStores = (page, best) => page.evaluate((value) => {
  tavlo.module().FS.writeFile('/play/score.dat', new Uint8Array(new Int32Array([value]).buffer));
  tavlo.host.fileReplaced('/play/score.dat');
}, best);
