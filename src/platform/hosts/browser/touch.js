// The page's touch controls: four arrows and Enter (and a small Pause) that press the game's
// keys, for screens with no keyboard. They show on touch screens (or when the player turns them
// on with the bar's button, kept in localStorage), hide while a keyboard or gamepad is played
// with (the host's "tavlokeys") and come back on the next touch.
// - Each finger holds its button's key down until it lifts; several fingers work at once, and a
//   key held by two fingers goes up with the last. A finger that slides from one arrow onto
//   another moves the key with it.
// - A key stays down for at least minHoldMs, however short the tap: the game reads its keys
//   once a frame (33 ms on the title, 16 in a round), so a shorter press could fall between two
//   readings and be lost. On a loaded machine a frame can take longer than that, so the key
//   also stays down until the game has flipped twice since it went down (the first flip may
//   be of a frame that read its keys before the press; the second read them after it), or for
//   maxHoldMs where nothing flips. A second tap of a key that is still being held joins that
//   press.
// - An optional vibration tick on each press (off by default, kept in localStorage).
// Their names (for screen readers) and the bar's buttons are in the player's language.
import { host } from './core.js';
import './input.js';  // host.sendKey
import { tr, onLanguageChange } from './i18n.js';

(function () {
  const minHoldMs = 40;  // longer than the game's longest frame (33 ms), with room for a late wake
  const maxHoldMs = 500;  // a screen that does not flip holds a tap no longer than this
  const tickMs = 12;
  const play = document.getElementById('play');
  const touchButton = document.getElementById('touch-button');
  const vibrateButton = document.getElementById('vibrate-button');
  if (!play) return;

  const stored = (name) => {
    try { return localStorage.getItem(name); } catch (e) { return null; }
  };
  const keep = (name, value) => {
    try { localStorage.setItem(name, value); } catch (e) { /* kept for this visit */ }
  };
  // 'on' or 'off' once the player has chosen; until then, whether this is a touch screen.
  let choice = stored('tavlo.touch');
  let touchScreen = navigator.maxTouchPoints > 0 || matchMedia('(any-pointer: coarse)').matches;
  let keysInUse = false;
  let vibrate = stored('tavlo.vibrate') === 'on' && !!navigator.vibrate;

  function show() {
    const wanted = choice ? choice === 'on' : touchScreen;
    document.body.classList.toggle('touch', wanted && !keysInUse);
    if (touchButton) touchButton.textContent = wanted ? tr('Touch: on') : tr('Touch: off');
    if (vibrateButton) {
      vibrateButton.hidden = !navigator.vibrate;
      vibrateButton.textContent = vibrate ? tr('Vibrate: on') : tr('Vibrate: off');
    }
  }
  // The buttons' names, by the key each presses.
  function nameButtons() {
    const names = {
      // TRANSLATORS: the touch controls' names for screen readers: the arrow keys, Enter, Pause.
      38: tr('Up'), 37: tr('Left'), 39: tr('Right'), 40: tr('Down'), 13: tr('Enter'), 19: tr('Pause'),
    };
    for (const button of play.querySelectorAll('button[data-key]')) {
      button.setAttribute('aria-label', names[button.dataset.key]);
    }
    const pad = document.getElementById('pad');
    if (pad) pad.setAttribute('aria-label', tr('Arrows'));
  }

  // ---- keys ----------------------------------------------------------------------------------
  const fingers = new Map();  // pointerId -> the button it holds
  const holders = new Map();  // virtual key -> {count, downAt, release (timer or null)}
  const flips = () => host.flipCount;
  const sendKey = (vk, down) => host.sendKey(vk, down);

  function press(button) {
    const vk = Number(button.dataset.key);
    let held = holders.get(vk);
    if (!held) {
      held = { count: 0, downAt: performance.now(), flipsAtDown: flips(), release: null };
      holders.set(vk, held);
      sendKey(vk, true);
    }
    if (held.release !== null) {
      clearTimeout(held.release);
      held.release = null;
    }
    ++held.count;
    button.classList.add('held');
    if (vibrate) navigator.vibrate(tickMs);
  }

  function release(button) {
    const vk = Number(button.dataset.key);
    const held = holders.get(vk);
    if (!held || --held.count > 0) return;
    button.classList.remove('held');
    const up = () => {
      holders.delete(vk);
      sendKey(vk, false);
    };
    const tryUp = () => {
      const heldMs = performance.now() - held.downAt;
      const seen = flips() - held.flipsAtDown >= 2 || heldMs >= maxHoldMs;
      if (heldMs >= minHoldMs && seen) {
        up();
      } else {
        held.release = setTimeout(tryUp, Math.max(minHoldMs - heldMs, 4));
      }
    };
    tryUp();
  }

  const keyButton = (target) => (target && target.closest ? target.closest('#play button[data-key]') : null);

  play.addEventListener('pointerdown', (e) => {
    const button = keyButton(e.target);
    if (!button || fingers.has(e.pointerId)) return;
    e.preventDefault();
    // The finger's moves come here even once it has left the button.
    if (button.setPointerCapture) button.setPointerCapture(e.pointerId);
    fingers.set(e.pointerId, button);
    press(button);
  });
  play.addEventListener('pointermove', (e) => {
    const from = fingers.get(e.pointerId);
    if (!from || !from.parentElement || from.parentElement.id !== 'pad') return;
    const to = keyButton(document.elementFromPoint(e.clientX, e.clientY));
    if (!to || to === from || to.parentElement !== from.parentElement) return;
    fingers.set(e.pointerId, to);
    press(to);
    release(from);
  });
  const lift = (e) => {
    const button = fingers.get(e.pointerId);
    if (!button) return;
    fingers.delete(e.pointerId);
    release(button);
  };
  for (const type of ['pointerup', 'pointercancel', 'lostpointercapture']) {
    play.addEventListener(type, lift);
  }
  play.addEventListener('contextmenu', (e) => e.preventDefault());

  // ---- showing and hiding ---------------------------------------------------------------------
  document.addEventListener('tavlokeys', () => {
    if (keysInUse) return;
    keysInUse = true;
    show();
  });
  window.addEventListener('pointerdown', (e) => {
    if (e.pointerType !== 'touch' && e.pointerType !== 'pen' && choice !== 'on') return;
    if (e.pointerType === 'touch') touchScreen = true;
    if (!keysInUse) return;
    keysInUse = false;
    show();
  }, true);
  if (touchButton) {
    touchButton.addEventListener('click', (e) => {
      e.currentTarget.blur();
      choice = document.body.classList.contains('touch') ? 'off' : 'on';
      keep('tavlo.touch', choice);
      keysInUse = false;
      show();
    });
  }
  if (vibrateButton) {
    vibrateButton.addEventListener('click', (e) => {
      e.currentTarget.blur();
      vibrate = !vibrate;
      keep('tavlo.vibrate', vibrate ? 'on' : 'off');
      if (vibrate) navigator.vibrate(tickMs);
      show();
    });
  }
  nameButtons();
  show();
  onLanguageChange(() => {
    nameButtons();
    show();
  });
})();
