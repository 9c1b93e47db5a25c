// The browser host's page side: the waits. The game hands the thread back to the page until a
// given moment (host.sleepUntil); a key or a gamepad wakes it at once (wakeNow).
import { host } from './core.js';

// The game sleeps until a moment on the page's clock (sleepUntil): the start of a millisecond
// of its own clock, and it must wake within that millisecond, or its frame slips by one. A
// timer set from inside a timer's callback is held to 4 ms or more once such callbacks nest
// five deep, and the game, resumed from each wake, would nest forever. So a timer's callback
// only posts a message, and the game resumes from the message's task: every timer it sets is
// then a first-level one. Timers count whole milliseconds and fire 0.2-0.5 ms late here (more
// on a loaded machine). So the timer is set for the whole milliseconds before the moment and
// the rest passes in message tasks (about 20 us each, the page free to paint and take keys in
// between); only when the moment is a quarter of a millisecond short of a whole one or less,
// the timer is set for that whole one, whose lateness then still falls within the moment's
// millisecond.
const channel = new MessageChannel();
let wake = null;  // {resolve, due}
let timer = null;
// While gamepads are seen, the game wakes at least this often to read them (input.js); null
// while none is.
let pollMs = null;
export function wakeEvery(ms) {
  pollMs = ms;
}
const post = () => channel.port2.postMessage(0);
channel.port1.onmessage = () => {
  if (!wake) return;
  if (performance.now() < wake.due) {
    post();
    return;
  }
  const resume = wake.resolve;
  wake = null;
  resume();
};
host.sleepUntil = function (due) {
  return new Promise((resolve) => {
    // A gamepad is read only when the game runs (input.js).
    if (pollMs !== null) due = Math.min(due, performance.now() + pollMs);
    wake = { resolve, due };
    const delay = due - performance.now();
    const whole = delay - Math.floor(delay) >= 0.75 ? Math.ceil(delay) : Math.floor(delay);
    if (whole <= 0) {
      post();
    } else {
      timer = setTimeout(() => {
        timer = null;
        post();
      }, whole);
    }
  });
};
// A key or a gamepad wakes the game at once.
export function wakeNow() {
  if (!wake) return;
  wake.due = 0;
  if (timer === null) return;
  clearTimeout(timer);
  timer = null;
  post();
}
