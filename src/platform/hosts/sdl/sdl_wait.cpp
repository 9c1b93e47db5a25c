// The host's sleep between the game's frames (sdl_wait.h).
#include "sdl_wait.h"

#include <SDL.h>
#include <time.h>
#if defined(SDL_VIDEO_DRIVER_X11)
#include <poll.h>
#endif

#include <cerrno>

#include "system.h"

namespace sdl {
namespace {

using platform::MonotonicNanoseconds;
using platform::SleepUntil;

constexpr std::int64_t kMillisecondNs = 1000000;
// How long before the game's next frame the host looks for input the last time.
constexpr std::int64_t kLastLookNs = 200000;

// The X server's connection is the only way input reaches the program (controllers are read by
// SDL's pump, so with one open SDL waits instead). Whatever the connection has brought is taken
// into SDL's queue and handled first (the pump reads the socket empty); then the host sleeps in
// ppoll on the connection until `due`, to the nanosecond. A wake with nothing for the game (the
// server's replies, motion SDL drops) sleeps again. Whatever arrives after the sleep ends is
// looked for once more, without waiting, before the game reads its keys.
void WaitOnConnection(std::int64_t due, int connection, Pump& pump) {
#if defined(SDL_VIDEO_DRIVER_X11)
    pollfd watched{connection, POLLIN, 0};
    for (;;) {
        if (pump.Poll()) return;
        const std::int64_t left = due - MonotonicNanoseconds();
        if (left <= 0) break;
        const timespec timeout{static_cast<time_t>(left / 1000000000),
                               static_cast<long>(left % 1000000000)};
        const int ready = ::ppoll(&watched, 1, &timeout, nullptr);
        if (ready < 0 && errno != EINTR) break;
        if (ready == 0) break;
    }
    if (::poll(&watched, 1, 0) > 0) pump.Poll();
#else
    (void)due;
    (void)connection;
    (void)pump;
#endif
}

}  // namespace

// Elsewhere than on an X server's connection SDL waits (on the window system's connection, or
// looking every millisecond where it cannot): SDL counts its timeout in whole milliseconds of its
// own clock and may overrun it by one, so it is asked to wake a millisecond early and the rest is
// slept here. The game collects its input before it looks at the clock, so the last look at SDL's
// queue comes kLastLookNs before `due`: what came by then is the game's before the frame reads
// its keys.
void WaitForInput(std::int64_t due, int connection, Pump& pump) {
    if (connection >= 0) {
        WaitOnConnection(due, connection, pump);
        return;
    }
    const std::int64_t lastLook = due - kLastLookNs;
    for (;;) {
        const std::int64_t left = lastLook - MonotonicNanoseconds();
        if (left <= 0) break;
        if (left < 2 * kMillisecondNs) {
            SleepUntil(lastLook);
            break;
        }
        SDL_Event e;
        const int timeout = static_cast<int>(left / kMillisecondNs) - 1;
        if (!SDL_WaitEventTimeout(&e, timeout)) continue;
        if (pump.EndsTheWait(e)) return;
    }
    if (pump.Poll()) return;
    SleepUntil(due);
}

}  // namespace sdl
