// The page's bar and settings panel: the bar's buttons (full screen, scaling, gamepads, the
// small screens' menu, the settings), the panel of the player's language, keys and gamepad
// controls and of what the browser gave the best score's storage. Every text is set here, in the
// player's language, and set again when it changes (i18n.js).
import { host } from './core.js';
// What the bar's buttons and the panel call on the host: its scaling and full screen, its
// bindings and gamepads.
import './screen.js';
import './input.js';
import { languages, tr, chosen, choose, onLanguageChange } from './i18n.js';

const byId = (id) => document.getElementById(id);
// The buttons give up focus at once, so that Enter and the arrows always reach the game.
const scalingButton = byId('scaling-button');
const showScaling = () => {
  const sharp = host.scaling === 'sharp';
  // TRANSLATORS: the scaling button names the mode a press switches to (pixels kept square
  // and whole, or stretched smoothly to fill), not the mode in use.
  scalingButton.textContent = sharp ? tr('Smooth') : tr('Sharp');
};
byId('fullscreen-button').addEventListener('click', (e) => {
  e.currentTarget.blur();
  host.toggleFullscreen();
});
scalingButton.addEventListener('click', (e) => {
  e.currentTarget.blur();
  host.toggleScaling();
});
const gamepadButton = byId('gamepad-button');
const showGamepads = () => {
  gamepadButton.textContent = host.gamepads ? tr('Gamepads: on') : tr('Gamepads: off');
};
gamepadButton.addEventListener('click', (e) => {
  e.currentTarget.blur();
  host.toggleGamepads();
});
const bar = byId('bar');
byId('menu-button').addEventListener('click', (e) => {
  e.currentTarget.blur();
  e.currentTarget.setAttribute('aria-expanded', String(bar.classList.toggle('open')));
});

// The settings panel: the player's language, then one field a binding (key.left, pad.enter,
// ...); a change is stored and read back at once.
const keysPanel = byId('keys-panel');
const languageChoice = byId('language-choice');
for (const [code, name] of languages) {
  const option = document.createElement('option');
  option.value = code;
  option.textContent = name;
  if (code) option.lang = code.replace('_', '-');
  languageChoice.append(option);
}
languageChoice.value = chosen();
languageChoice.addEventListener('change', () => choose(languageChoice.value));
const showKeys = (notes) => {
  const fields = byId('keys-fields');
  fields.replaceChildren();
  for (const [name, keys] of Object.entries(host.bindings)) {
    const label = document.createElement('label');
    const field = document.createElement('input');
    label.append(name, field);
    field.name = name;
    field.value = keys;
    field.addEventListener('change', () => showKeys(host.setBinding(name, field.value)));
    fields.append(label);
  }
  byId('keys-notes').textContent = (notes || []).join('; ');
};
byId('keys-button').addEventListener('click', (e) => {
  e.currentTarget.blur();
  keysPanel.hidden = !keysPanel.hidden;
  if (!keysPanel.hidden) showKeys();
});
keysPanel.addEventListener('submit', (e) => e.preventDefault());
// What the browser gave the best score's storage (persistent or not, this window only).
document.addEventListener('tavlostorage', () => {
  byId('storage-state').textContent = host.storage;
});
document.addEventListener('tavloscaling', showScaling);
document.addEventListener('tavlogamepads', showGamepads);

// The texts of the bar and the panel, in the player's language.
function showTexts() {
  const texts = {
    'menu-button': [tr('☰ Menu')],
    'fullscreen-button': [tr('Full screen'), tr('Alt+Enter')],
    'gamepad-button': [null, tr('Listen for gamepads (press a button on the pad after turning this on)')],
    'scaling-button': [null, tr('F11 or F9')],
    'touch-button': [null, tr('The buttons beside the picture')],
    'vibrate-button': [null, tr('A short buzz when a button is pressed')],
    'keys-button': [tr('Settings'), tr('The language, which keys do what, and where the best score is kept')],
    'hint-keys': [tr('Arrows answer · Enter chooses · Ctrl held skips waits · Pause ends')],
    'hint-touch': [tr('Arrows answer · ⏎ chooses · II ends')],
    'language-label': [tr('Language')],
    'keys-heading': [tr('Keys and gamepad controls (names as in settings.conf, several separated by commas)')],
  };
  for (const [id, [text, title]] of Object.entries(texts)) {
    const element = byId(id);
    if (text !== null) element.textContent = text;
    if (title) element.title = title;
  }
  languageChoice.options[0].textContent = tr('Automatic');
  languageChoice.value = chosen();
  showScaling();
  showGamepads();
  // The notes of the bindings come from the module, in the language it now has.
  if (!keysPanel.hidden) showKeys(host.readBindings());
}
showTexts();
onLanguageChange(showTexts);
