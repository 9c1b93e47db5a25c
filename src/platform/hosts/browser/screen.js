// The browser host's page side: the screen. The canvas and the game's pictures on it, their
// layout and scaling (sharp or smooth, kept in localStorage), full screen, the title, the cursor
// and the game's message boxes.
import { host, runtime, say } from './core.js';
import { fill, tr } from './i18n.js';

let picture = null;  // the last ImageData shown, kept for redrawing
let pictureAt = 0;   // where its pixels lie in the game's memory
let offscreen = null;
const stage = () => document.getElementById('stage');
const canvas = () => document.getElementById('screen');

try {
  if (localStorage.getItem('tavlo.scaling') === 'smooth') host.scaling = 'smooth';
} catch (e) { /* no storage: the default */ }

// Sharp: the largest whole factor of device pixels that fits. Smooth: that factor by nearest
// neighbour, then filtered to the largest 4:3 rectangle that fits. Where not even one device
// pixel a pixel fits (a small phone, a split screen), both scale the picture down, filtered.
function layout() {
  const c = canvas(), s = stage();
  if (!c || !s) return;
  const ratio = window.devicePixelRatio || 1;
  const width = picture ? picture.width : 320, height = picture ? picture.height : 240;
  const outW = Math.floor(s.clientWidth * ratio), outH = Math.floor(s.clientHeight * ratio);
  if (outW <= 0 || outH <= 0) return;  // hidden: placed when it shows again
  const fit = Math.min(outW / width, outH / height);
  const factor = Math.max(1, Math.floor(fit));
  let cssW, cssH, backW = width, backH = height;
  if (fit < 1) {
    cssW = Math.floor(width * fit) / ratio;
    cssH = Math.floor(height * fit) / ratio;
  } else if (host.scaling === 'sharp') {
    cssW = width * factor / ratio;
    cssH = height * factor / ratio;
  } else {
    cssW = Math.floor(width * fit) / ratio;
    cssH = Math.floor(height * fit) / ratio;
    backW = width * factor;
    backH = height * factor;
  }
  c.style.width = cssW + 'px';
  c.style.height = cssH + 'px';
  c.style.imageRendering = host.scaling === 'sharp' && fit >= 1 ? 'pixelated' : 'auto';
  if (c.width !== backW || c.height !== backH) {
    c.width = backW;
    c.height = backH;
  }
  draw();
}

// The canvas is opaque, and desynchronized: the browser may show it without waiting for the
// page's next paint. On the title, where every frame is new, that took Chromium's share of a
// core from about 13 % to 9 % here (docs/performance.md).
const contextOptions = { alpha: false, desynchronized: true };

// Puts rows [top, bottom) of the picture on the canvas (all of them by default).
function draw(top, bottom) {
  const c = canvas();
  if (!c || !picture) return;
  // Grown memory is a new buffer: the view follows it.
  const heap = runtime().HEAPU8;
  if (picture.data.buffer !== heap.buffer) {
    picture = new ImageData(new Uint8ClampedArray(heap.buffer, pictureAt,
      picture.width * picture.height * 4), picture.width, picture.height);
    top = undefined;
  }
  if (top === undefined) {
    top = 0;
    bottom = picture.height;
  }
  const context = c.getContext('2d', contextOptions);
  if (c.width === picture.width && c.height === picture.height) {
    context.putImageData(picture, 0, 0, 0, top, picture.width, bottom - top);
    return;
  }
  if (!offscreen || offscreen.width !== picture.width || offscreen.height !== picture.height) {
    offscreen = document.createElement('canvas');
    offscreen.width = picture.width;
    offscreen.height = picture.height;
    top = 0;
    bottom = picture.height;
  }
  offscreen.getContext('2d').putImageData(picture, 0, 0, 0, top, picture.width, bottom - top);
  context.imageSmoothingEnabled = false;
  context.drawImage(offscreen, 0, 0, c.width, c.height);
}

// A new picture from the game: RGBA rows [top, bottom) changed; change is the number of the
// screen's change it shows (counting from 0, as the headless host numbers its captures).
// The picture is a view of the host's RGBA buffer, which keeps the whole picture shown (not
// a copy of it); made anew when the buffer moves or the memory grows.
host.present = function (rgba, width, height, top, bottom, gameMs, change) {
  const sized = !picture || picture.width !== width || picture.height !== height;
  const heap = runtime().HEAPU8;
  if (sized || pictureAt !== rgba || picture.data.buffer !== heap.buffer) {
    pictureAt = rgba;
    picture = new ImageData(new Uint8ClampedArray(heap.buffer, rgba, width * height * 4),
      width, height);
    if (sized) layout();
    else draw();
  } else {
    draw(top, bottom);
  }
  host.shown = { gameMs: gameMs, change: change, at: performance.now() };
  if (host.state === 'loading') host.state = 'running';
};

host.logFlip = function () {
  if (host.flips.length >= 100000) host.flips.splice(0, 50000);
  host.flips.push(performance.now());
  ++host.flipCount;
};

function toggleScaling() {
  host.scaling = host.scaling === 'sharp' ? 'smooth' : 'sharp';
  try { localStorage.setItem('tavlo.scaling', host.scaling); } catch (e) { /* kept for now */ }
  layout();
  document.dispatchEvent(new Event('tavloscaling'));
}
function toggleFullscreen() {
  const s = stage();
  if (document.fullscreenElement) document.exitFullscreen().catch(() => {});
  else if (s && s.requestFullscreen) s.requestFullscreen().catch(() => {});
}
host.toggleScaling = toggleScaling;
host.toggleFullscreen = toggleFullscreen;
window.addEventListener('resize', layout);
document.addEventListener('fullscreenchange', layout);
// The stage also changes size when the page's controls come or go, or its bar wraps.
if (window.ResizeObserver && stage()) new ResizeObserver(() => layout()).observe(stage());

host.setTitle = (title) => { document.title = title; };
host.setCursor = (visible) => {
  const c = canvas();
  if (c) c.style.cursor = visible ? '' : 'none';
};
// The game's message box, on the page: its caption and its text (the port's texts already in
// the player's language, from the module's catalogue).
// TRANSLATORS: a message box shown on the page: {1} its caption, {2} its text.
host.messageBox = (caption, text) => say(fill(tr('{1}: {2}'), caption, text));
