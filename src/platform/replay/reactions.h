// The reaction times of a run (TAVLO_REACTIONS): for each hit, when its picture first showed and
// when the key that answered it went down. The game reports the facts only it knows (a picture's
// first frame drawn on the screen, the key that answers it taken, a round's end: game_report.h);
// the session adds what only it knows: the index and clock of the screen change that follows, and
// when each key went down.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "game_report.h"
#include "host.h"

namespace replay {

class ReactionLog {
  public:
    // Each finished line goes here, newline-terminated:
    // round, hit, kind, frame (six digits), shown ms, press ms, reaction ms; tab-separated.
    explicit ReactionLog(std::function<void(const std::string& line)> write)
        : write_(std::move(write)) {}

    // What the game reported, at game clock `now`.
    void Heard(const GameReport& report, std::uint64_t now);
    // Every event the game receives, at the game clock when it receives it.
    void Received(const host::InputEvent& event, std::uint64_t at);
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

}  // namespace replay
