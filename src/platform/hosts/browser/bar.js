// The page's bar and settings panel: the bar's buttons (full screen, scaling, gamepads, the
// small screens' menu, the settings), the panel of the player's keys and gamepad controls and of
// what the browser gave the best score's storage; and the page's Module, which emscripten's
// loader (tavlo.js, loaded after this) takes up.

// The buttons give up focus at once, so that Enter and the arrows always reach the game.
const scalingButton = document.getElementById('scaling-button');
const showScaling = () => {
  scalingButton.textContent = Module.tavloHost.scaling === 'sharp' ? 'Smooth' : 'Sharp';
};
document.getElementById('fullscreen-button').addEventListener('click', (e) => {
  e.currentTarget.blur();
  Module.tavloHost.toggleFullscreen();
});
scalingButton.addEventListener('click', (e) => {
  e.currentTarget.blur();
  Module.tavloHost.toggleScaling();
});
const gamepadButton = document.getElementById('gamepad-button');
const showGamepads = () => {
  // Also called while the host is being made (a choice kept from an earlier visit).
  const on = Module.tavloHost ? Module.tavloHost.gamepads : localStorage.getItem('tavlo.gamepads') === 'on';
  gamepadButton.textContent = on ? 'Gamepads: on' : 'Gamepads: off';
};
gamepadButton.addEventListener('click', (e) => {
  e.currentTarget.blur();
  Module.tavloHost.toggleGamepads();
});
const bar = document.getElementById('bar');
document.getElementById('menu-button').addEventListener('click', (e) => {
  e.currentTarget.blur();
  e.currentTarget.setAttribute('aria-expanded', String(bar.classList.toggle('open')));
});
// The bindings panel: one field a setting (key.left, pad.enter, ...); a change is stored and
// read back at once.
const keysPanel = document.getElementById('keys-panel');
const showKeys = (notes) => {
  const fields = document.getElementById('keys-fields');
  fields.replaceChildren();
  for (const [name, keys] of Object.entries(Module.tavloHost.bindings)) {
    const label = document.createElement('label');
    const field = document.createElement('input');
    label.append(name, field);
    field.name = name;
    field.value = keys;
    field.addEventListener('change', () => showKeys(Module.tavloHost.setBinding(name, field.value)));
    fields.append(label);
  }
  document.getElementById('keys-notes').textContent = (notes || []).join('; ');
};
document.getElementById('keys-button').addEventListener('click', (e) => {
  e.currentTarget.blur();
  keysPanel.hidden = !keysPanel.hidden;
  if (!keysPanel.hidden) showKeys();
});
keysPanel.addEventListener('submit', (e) => e.preventDefault());
// What the browser gave the best score's storage (persistent or not, this window only).
document.addEventListener('tavlostorage', () => {
  document.getElementById('storage-state').textContent = Module.tavloHost.storage;
});
document.addEventListener('tavloscaling', showScaling);
document.addEventListener('tavlogamepads', showGamepads);
var Module = { onRuntimeInitialized: () => { showScaling(); showGamepads(); } };
