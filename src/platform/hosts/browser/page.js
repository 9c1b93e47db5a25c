// The page's entry, the one module index.html loads. It imports the rest, in this order: the
// browser host's page side (core.js names its modules), then the page's own (the bar and the
// settings panel, offline play, the touch controls, watching a run and sending one), and once
// every one has run (a run to watch is asked for by then), makes the game's module (run.js).
import { host, runtime } from './core.js';
import './waits.js';
import './screen.js';
import './input.js';
import './storage.js';
import './lock.js';
import './session.js';
import { start } from './run.js';
import * as i18n from './i18n.js';
import './bar.js';
import './offline.js';
import './touch.js';
import './watch.js';
import './submit.js';

// The page's handle for tests, measurements and a look from the browser's console: the host
// (its state, flips, the picture shown, the keys it is sent), the page's texts (choose a
// language) and the game's module once it runs (its file system).
window.tavlo = { host, i18n, module: runtime };

start();
