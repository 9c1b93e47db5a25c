// The page's offline play: the service worker's registration, and its update offer on the
// page's update line, in the player's language.
import { host } from './core.js';
import './storage.js';  // host.whenStored
import { tr, onLanguageChange } from './i18n.js';

// Played offline and installed through the service worker (a secure origin only: https or
// localhost). A new build waits until the player takes it (the update line's button); one
// that could not be installed is said on the same line, and the page goes on with this one.
if ('serviceWorker' in navigator && window.isSecureContext) {
  const update = document.getElementById('update');
  // What the line says: a function that makes its parts in the player's language, made again
  // when that changes.
  let shown = null;
  const showUpdate = (parts) => {
    shown = parts;
    update.replaceChildren(...parts());
    update.hidden = false;
  };
  onLanguageChange(() => { if (shown) update.replaceChildren(...shown()); });
  // A best score being stored is stored before the new build takes over and the page reloads.
  const stored = () => host.whenStored();
  navigator.serviceWorker.register('sw.js').then((registration) => {
    const offer = () => {
      if (!registration.waiting || !navigator.serviceWorker.controller) return;
      const button = document.createElement('button');
      button.type = 'button';
      button.addEventListener('click', () => {
        button.disabled = true;
        navigator.serviceWorker.addEventListener('controllerchange',
          () => stored().then(() => location.reload()));
        stored().then(() => registration.waiting && registration.waiting.postMessage('activate'));
      });
      showUpdate(() => {
        button.textContent = tr('Update');
        return [tr('A new version of the game is ready.'), button];
      });
    };
    offer();
    registration.addEventListener('updatefound', () => {
      const worker = registration.installing;
      if (!worker) return;
      let installed = false;
      worker.addEventListener('statechange', () => {
        if (worker.state === 'installed') installed = true;
        // (A first visit's failed install leaves no build to go on with: nothing to say.)
        if (worker.state === 'redundant' && !installed && navigator.serviceWorker.controller) {
          showUpdate(() => [tr('An update of the game could not be installed; this version goes ' +
            'on, and the next visit tries again.')]);
        }
        offer();
      });
    });
  }).catch((error) => console.error('tavlo: no offline play:', error));
}
