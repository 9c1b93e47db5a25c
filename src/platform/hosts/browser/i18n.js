// The page's texts in the player's language. The page's scripts mark their texts as the C++
// does (tr('…'), trn('…', '…', n); fill() puts parts where the translation has them, {1}, {2}),
// so that scripts/po.sh gathers them into po/tavlo.pot. The catalogues are the ones every build
// reads, with the same reader: the game's module (texts_browser.cpp, over base/catalog) loads the
// player's language from the preloaded /locale and answers each text; until the module runs,
// and for English, a text is itself.
// The language: the page's choice (the Settings panel, kept in localStorage as tavlo.language),
// else navigator.languages. A change is applied at once: every onLanguageChange callback runs,
// and each re-renders its own texts.
// A module: the page's other modules import it.

// The Settings panel's choices: '' follows the browser; then each language in its own name.
export const languages = [
  ['', 'Automatic'], ['en', 'English'], ['ja', '日本語'], ['de', 'Deutsch'], ['fr', 'Français'],
  ['es', 'Español'], ['zh_CN', '简体中文'],
];

const listeners = [];
let reader = null;   // {setLanguages(tags) → language, translate(one, many, n)}, from the module
let current = '';    // the language in use, '' for English (the texts as written)

// The player's choice: '' follows the browser's languages. Kept in localStorage; without
// storage it holds for this visit.
let choice = '';
try { choice = localStorage.getItem('tavlo.language') || ''; } catch (e) { /* the browser's */ }

// The text in the player's language.
export function tr(text) {
  return reader && current ? reader.translate(text, null, 0) : text;
}
// The sentence for the number n in the player's language (the language's plural rule).
export function trn(one, many, n) {
  if (reader && current) return reader.translate(one, many, n);
  return n === 1 ? one : many;
}
// The text with {1}, {2}, ... replaced by the parts, in whatever order the translation has
// them; a brace not followed by a part's number and a closing brace stays as it is.
export function fill(text, ...parts) {
  return text.replace(/\{([1-9])\}/g, (whole, i) => (i <= parts.length ? String(parts[i - 1]) : whole));
}
// Calls callback(language) each time the language changes ('' English).
export function onLanguageChange(callback) {
  listeners.push(callback);
}
// The language in use ('' for English) and the player's choice ('' for the browser's).
export const language = () => current;
export const chosen = () => choice;

function apply() {
  if (!reader) return;
  const tags = choice ? [choice] : Array.from(navigator.languages || [navigator.language || 'en']);
  current = reader.setLanguages(tags);
  document.documentElement.lang = current ? current.replace('_', '-') : 'en';
  // The page's description, and the manifest the browser's offer to install the game reads
  // it from (one a language, made from the catalogues by the build).
  const description = document.querySelector('meta[name="description"]');
  if (description) {
    description.content = tr('A small reaction game: answer each picture with its arrow before it leaves the screen.');
  }
  const manifest = document.querySelector('link[rel="manifest"]');
  if (manifest) manifest.href = current ? `manifest.${current}.webmanifest` : 'manifest.webmanifest';
  for (const callback of listeners) {
    try {
      callback(current);
    } catch (e) {
      console.error('tavlo: a text could not be shown anew:', e);
    }
  }
}

// The player's choice ('' for the browser's languages): kept and applied at once.
export function choose(language) {
  choice = language;
  try {
    if (choice) localStorage.setItem('tavlo.language', choice);
    else localStorage.removeItem('tavlo.language');
  } catch (e) { /* this visit only */ }
  apply();
}

// The game's module hands over its reader once it runs (run.js); the player's language is
// loaded then.
export function useReader(moduleReader) {
  reader = moduleReader;
  apply();
}
