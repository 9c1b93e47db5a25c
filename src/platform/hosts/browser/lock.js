// The browser host's page side: one game per site. The tab that holds the game starts it; a
// second tab says so and waits for the first to close (Web Locks, or messages).
import { host, say } from './core.js';
import { tr } from './i18n.js';

// The stored score is read, played with and written by one tab at a time. A second tab says
// so and starts when the first is closed (or its game has ended). The rule is a Web Lock;
// where the browser has none (an insecure origin, an older browser) the tabs agree over a
// BroadcastChannel, as far as messages can (a tab that crashes never says it has gone); with
// neither, each tab plays on its own, and the stores' larger-best rule still keeps the best.
let release = () => {};
function waitForOtherTab() {
  host.state = 'waiting';
  say(() => tr('Tavlo is already open in another tab. It starts here when that tab is closed.'));
}
function begin(start) {
  if (host.state === 'waiting') {
    const box = document.getElementById('message');
    if (box) box.hidden = true;
    host.state = 'loading';
  }
  start();
}
export function oneGameAtATime(start) {
  if (navigator.locks) {
    const hold = () => new Promise((resolve) => {
      release = resolve;
      begin(start);
    });
    navigator.locks.request('tavlo-game', { ifAvailable: true }, (lock) => {
      if (lock) return hold();
      waitForOtherTab();
      navigator.locks.request('tavlo-game', hold);
      return undefined;
    });
  } else if (typeof BroadcastChannel === 'function') {
    turnByMessages(start);
  } else {
    start();
  }
}
// Without Web Locks: a tab claims the game (its claim: when it first asked, and a random
// tie-break) and listens for a moment. A tab playing answers "here"; a tab still claiming
// answers with its own claim when that is older. Either heard, the tab waits for "free" (the
// playing tab's game has ended or the tab has gone) and claims again with its first claim,
// so the tab that has waited longest goes next.
const claimMs = 300;
function turnByMessages(start) {
  const channel = new BroadcastChannel('tavlo-game');
  const mine = { kind: 'claim', at: Date.now(), tie: Math.random() };
  const older = (a, b) => a.at < b.at || (a.at === b.at && a.tie < b.tie);
  let phase = 'claiming', beaten = false;
  const free = () => {
    if (phase !== 'playing') return;
    phase = 'done';
    channel.postMessage({ kind: 'free' });
  };
  const claim = () => {
    phase = 'claiming';
    beaten = false;
    channel.postMessage(mine);
    setTimeout(() => {
      if (beaten) {
        phase = 'waiting';
        if (host.state !== 'waiting') waitForOtherTab();
        return;
      }
      phase = 'playing';
      release = free;
      window.addEventListener('pagehide', free);
      begin(start);
    }, claimMs);
  };
  channel.onmessage = (e) => {
    const heard = e.data || {};
    if (heard.kind === 'claim') {
      if (phase === 'playing') channel.postMessage({ kind: 'here' });
      else if (phase === 'claiming' && older(mine, heard)) channel.postMessage(mine);
      else if (phase === 'claiming') beaten = true;
    } else if (heard.kind === 'here') {
      if (phase === 'claiming') beaten = true;
    } else if (heard.kind === 'free' && phase === 'waiting') {
      claim();
    }
  };
  claim();
}
// The game has ended: the next tab may start.
export const releaseGame = () => release();
