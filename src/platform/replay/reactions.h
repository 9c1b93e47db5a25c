// The reaction times of a run (TAVLO_REACTIONS): for each hit, when its picture first showed and
// when the key that answered it went down. The game tells a debugger the facts only it knows
// ("picture K shown" as it draws a picture's first frame on the screen, "key V taken" as it takes
// the key that answers it, "score S, best B" at a round's end); the session adds what only it
// knows: the index and clock of the screen change that follows, and when each key went down.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "host.h"

namespace host::replay {

class ReactionLog {
  public:
    // Each finished line goes here, newline-terminated:
    // round, hit, kind, frame (six digits), shown ms, press ms, reaction ms; tab-separated.
    explicit ReactionLog(std::function<void(const std::string& line)> write)
        : write_(std::move(write)) {}

    // A line the game told a debugger, at game clock `now`. True when it was one of the
    // reaction facts; a round's result (or anything else) is left to the caller.
    bool Heard(const std::string& text, std::uint64_t now);
    // Every event the game receives, at the game clock when it receives it.
    void Received(const InputEvent& event, std::uint64_t at);
    // Every change of the screen.
    void Screen(std::uint64_t index, std::uint64_t at);

  private:
    struct Picture {
        int kind = -1;
        bool shownHeard = false;  // the game drew its first frame on the screen ...
        bool framed = false;      // ... and that frame has reached the screen
        std::uint64_t frame = 0;
        std::uint64_t shownAt = 0;
        bool taken = false;
        std::uint64_t pressAt = 0;
    };
    void WriteWhenWhole();

    std::function<void(const std::string&)> write_;
    int round_ = 1;
    int hits_ = 0;
    Picture picture_;
    // Per virtual key, when the down the game will find went down: the first down since the key
    // was released or last answered (auto-repeat downs keep the first).
    std::array<std::optional<std::uint64_t>, 256> down_{};
};

}  // namespace host::replay
