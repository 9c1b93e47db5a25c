// The host's sleep between the game's frames: until the game's next frame is due or input
// arrives, whichever comes first.
#pragma once

#include <cstdint>

union SDL_Event;

namespace sdl {

// What the wait does with SDL's events: the host's own handling of them.
class Pump {
  public:
    virtual ~Pump() = default;
    // Handles one event; true when the wait should end (input for the game, or a pause for lost
    // focus, which moved the host's clock).
    virtual bool EndsTheWait(const SDL_Event& event) = 0;
    // Handles every event SDL has; true when the wait should end.
    virtual bool Poll() = 0;
};

// Sleeps until the monotonic clock reads `due` (ns), or less when input comes first. With an X
// server's `connection` (its file descriptor; -1 for none) the wait is on the connection itself,
// to the nanosecond; otherwise SDL waits.
void WaitForInput(std::int64_t due, int connection, Pump& pump);

}  // namespace sdl
