// The browser host's page side: the best score's storage. "score.dat" read from IndexedDB and
// stored there again (the larger best kept), the storage line under the picture, and keeping
// the site's storage (persistent storage asked for, what the browser gave said).
import { host, runtime } from './core.js';
import { fill, onLanguageChange, tr } from './i18n.js';

// The storage line under the picture: what the player must know of the best score's storage
// (it could not be read, a write failed, it lasts only for this window), a sentence each, in
// that order. The update offer has a line of its own (offline.js), so neither hides the other.
// Each is a function that makes it in the player's language, made again when that changes.
const storageNotes = { read: null, write: null, session: null };
function showNotes() {
  const line = document.getElementById('notice');
  if (!line) return;
  const shown = [storageNotes.read, storageNotes.write, storageNotes.session].filter((t) => t);
  line.textContent = shown.map((text) => text()).join(' ');
  line.hidden = !shown.length;
}
function storageNote(kind, text) {
  storageNotes[kind] = text;
  showNotes();
}
const errorName = (error) => (error && (error.name || error.message)) || String(error);

// The game plays in a folder in memory: the archive is linked in from the preloaded package,
// "score.dat" is read from IndexedDB, a first visit gets a best score of zero. Each time the
// game has put a new "score.dat" in place (host_browser.cpp hears of every replace that
// succeeded), and when it ends, the file is stored at once: a tab closed right after a new
// best keeps it. Only that file is ever stored.
// The stored file lies where emscripten's IDBFS kept it (database "/tavlo", store FILE_DATA,
// key "/tavlo/score.dat", {timestamp, mode, contents}), so the best of an earlier build is
// read. A store reads the stored best and writes the game's only when it is larger, in one
// transaction: a best that the start could not read, or that another tab stored meanwhile,
// is never replaced by a lower one, whichever tab stores last.
const folder = '/play';
const kept = 'score.dat';
const database = { name: '/tavlo', version: 21, files: 'FILE_DATA', key: '/tavlo/score.dat' };
const fileMode = 33206;  // a regular file, rw-rw-rw-, as IDBFS wrote it
let opened = null;       // the open database (a promise), kept while it stays open
function openDatabase() {
  if (opened) return opened;
  const attempt = new Promise((resolve, reject) => {
    const request = indexedDB.open(database.name, database.version);
    request.onupgradeneeded = () => {
      const db = request.result;
      const files = db.objectStoreNames.contains(database.files)
        ? request.transaction.objectStore(database.files) : db.createObjectStore(database.files);
      if (!files.indexNames.contains('timestamp')) {
        files.createIndex('timestamp', 'timestamp', { unique: false });
      }
    };
    request.onsuccess = () => {
      const db = request.result;
      // Closed by the browser (the site's data cleared) or for a newer version: opened anew.
      db.onclose = () => { if (opened === attempt) opened = null; };
      db.onversionchange = () => {
        db.close();
        if (opened === attempt) opened = null;
      };
      resolve(db);
    };
    request.onerror = (e) => {
      e.preventDefault();
      reject(request.error);
    };
  });
  opened = attempt;
  attempt.catch(() => { if (opened === attempt) opened = null; });
  return attempt;
}
// The best a stored file holds (its first four bytes, as the game reads them); null when it
// holds fewer.
const asBytes = (contents) => (contents instanceof Uint8Array ? contents : new Uint8Array(contents || []));
const bestIn = (bytes) => (bytes.length >= 4
  ? new DataView(bytes.buffer, bytes.byteOffset, 4).getInt32(0, true) : null);

// The stored "score.dat": its bytes, or null when none is stored.
function readStored() {
  return openDatabase().then((db) => new Promise((resolve, reject) => {
    const transaction = db.transaction(database.files, 'readonly');
    const request = transaction.objectStore(database.files).get(database.key);
    transaction.oncomplete = () => resolve(request.result ? asBytes(request.result.contents) : null);
    transaction.onabort = () => reject(transaction.error || request.error);
  }));
}
// Stores `bytes` unless the stored best is as large or larger, read and written in one
// transaction; true when written.
function keepLarger(bytes) {
  const best = bestIn(bytes);
  if (best === null) return Promise.resolve(false);
  return openDatabase().then((db) => new Promise((resolve, reject) => {
    const transaction = db.transaction(database.files, 'readwrite');
    const files = transaction.objectStore(database.files);
    const request = files.get(database.key);
    let written = false, failure = null;
    request.onsuccess = () => {
      const stored = request.result ? bestIn(asBytes(request.result.contents)) : null;
      if (stored !== null && stored >= best) return;
      try {
        files.put({ timestamp: new Date(), mode: fileMode, contents: bytes }, database.key);
        written = true;
      } catch (e) {
        failure = e;
        transaction.abort();
      }
    };
    transaction.oncomplete = () => resolve(written);
    transaction.onabort = () => reject(failure || transaction.error || request.error);
  }));
}

let readFailed = false;  // the start could not read the stored best
// At the start (run.js): the game's folder; then, its turn come, the stored "score.dat" (its
// bytes, or null when none is stored or it could not be read, which the page then says); then
// the files in place and the folder the game's own.
export const makeFolder = () => runtime().FS.mkdir(folder);
export const readScore = () => readStored().catch((error) => {
  console.error('tavlo: the stored best score could not be read:', error);
  readFailed = true;
  storageNote('read', () => fill(tr('The stored best score could not be read ({1}). This game ' +
    'counts from 0; the stored best is kept and never replaced by a lower score.'), errorName(error)));
  return null;
});
export function placeFiles(stored) {
  const FS = runtime().FS;
  FS.symlink('/pack/tavlo.rka', folder + '/tavlo.rka');
  FS.writeFile(folder + '/' + kept, stored || new Uint8Array(4));
  FS.chdir(folder);
}
let storing = Promise.resolve();
export function storeScore() {
  storing = storing.then(() => keepLarger(runtime().FS.readFile(folder + '/' + kept))).then(() => {
    ++host.stored;
    storageNote('write', null);
    askToKeep();
  }, (error) => {
    console.error('tavlo: the best score could not be stored:', error);
    storageNote('write', () => fill(tr('The best score could not be stored in this browser ' +
      '({1}): it will be lost when the page closes.'), errorName(error)));
  });
  return storing;
}
host.fileReplaced = function (path) {
  let where;
  try {
    where = runtime().FS.lookupPath(path).path;
  } catch (e) {
    return;
  }
  if (where === folder + '/' + kept) storeScore();
};
// Resolves once every store asked for so far, and any asked for meanwhile, has ended (an
// update waits for it before the page reloads).
host.whenStored = function () {
  const now = storing;
  return now.then(() => (storing === now ? undefined : host.whenStored()));
};

// A browser may clear a site's storage when space runs low unless it has made it persistent.
// The page asks for that once a best score has been stored (after the first round that set
// one) and when the page is installed; the settings panel says what the browser gave
// (host.storage, "tavlostorage" on the document when it changes). Where the storage lasts
// only for the window (private windows), the page says so once, at the start.
// A quota this small is storage held in memory, as some browsers report it for a private
// window; current Chromium reports an incognito window's quota like any other, and there the
// page cannot tell.
const sessionQuota = 120 * 1024 * 1024;
host.storage = '';
let askedToKeep = false;
function askToKeep() {
  if (askedToKeep || !navigator.storage || !navigator.storage.persist) return;
  askedToKeep = true;
  navigator.storage.persist().catch(() => false).then(showStorage);
}
window.addEventListener('appinstalled', () => {
  askedToKeep = false;
  askToKeep();
});
let storageState = '';
function showState() {
  const says = {
    unread: () => tr('Best score: the stored one could not be read.'),
    session: () => tr('Best score: kept only until this window closes.'),
    persistent: () => tr('Best score: in persistent storage, kept until this site\'s data is cleared.'),
    stored: () => tr('Best score: stored, but the browser may clear it when space runs low (storage not made persistent).'),
  };
  if (!says[storageState]) return;
  host.storage = says[storageState]();
  document.dispatchEvent(new Event('tavlostorage'));
}
onLanguageChange(() => {
  showNotes();
  showState();
});
export function showStorage() {
  const s = navigator.storage || {};
  const persisted = s.persisted ? s.persisted().catch(() => false) : Promise.resolve(false);
  const estimate = s.estimate ? s.estimate().catch(() => null) : Promise.resolve(null);
  return Promise.all([persisted, estimate]).then((answers) => {
    const persistent = answers[0] === true, room = answers[1];
    const sessionOnly = !persistent && !!room && room.quota > 0 && room.quota < sessionQuota;
    storageState = readFailed ? 'unread' : sessionOnly ? 'session' : persistent ? 'persistent' : 'stored';
    showState();
    if (!sessionOnly) return;
    let said = false;
    try {
      said = sessionStorage.getItem('tavlo.sessionOnly') === 'said';
      sessionStorage.setItem('tavlo.sessionOnly', 'said');
    } catch (e) { /* said each time, then */ }
    if (!said) storageNote('session', () => tr('Scores in this window end when it closes.'));
  });
}
