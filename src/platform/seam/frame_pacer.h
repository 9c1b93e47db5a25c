// When a host wakes the game. The game spins on its clock between frames; a host that lets it
// spin wastes a core, and one that wakes it at every millisecond still wastes the wakes. So the
// host sleeps until the game is likely to draw next (and wakes at once for input). The game draws
// in frames of a fixed length, each timed from its start: the moment its wait ended, which is the
// host's last wake before it drew. So the next frame is due a frame after the last one started,
// the frame being the shortest of the recent ones: a frame that started late (the machine
// loaded) is longer, and waiting that long each time would make every later frame as late. So
// the host wakes a millisecond sooner at each of the first kProbeEvery frames after a one-off
// wait and every kProbeEvery frames after that, to see a frame shorter again. A wait longer than
// a frame is a one-off (a picture held for seconds); after it the next frame may be as short as
// the shortest. When the game has not drawn by the moment expected, the host wakes at every
// millisecond until it does: a frame longer than expected costs wakes, not time.
//
// Plain C++ shared by the hosts that wait (SDL, browser). Times are readings of the game's
// unsigned 32-bit millisecond clock; differences are taken modulo 2^32, as the game's own waits
// take them, so a clock that wraps paces like any other.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace host {

class FramePacer {
  public:
    static constexpr std::uint32_t kShortestFrameMs = 16;
    static constexpr std::uint32_t kLongestLikelyFrameMs = 40;
    static constexpr std::size_t kRecentFrames = 32;
    static constexpr std::uint64_t kProbeEvery = 8;

    // The host gave the thread back to the game at clockMs.
    void Woke(std::uint32_t clockMs);
    // The screen changed. Changes before the next wake (new colours, then the picture) are one.
    void Changed();
    // True when the game changed the screen since the host last woke it: it has just drawn and
    // is about to wait for its next frame, or it runs with its waits off (Ctrl held). Either way
    // the host hands the thread straight back (and calls Woke).
    bool JustDrew() const { return drewSinceWake_; }
    // Milliseconds from clockMs (the clock now) until the host should wake the game: at least 1,
    // and the host wakes at the start of that millisecond.
    std::uint32_t WaitFrom(std::uint32_t clockMs) const;

  private:
    std::uint32_t wokeMs_ = 0;
    std::uint32_t frameStartMs_ = 0;
    bool started_ = false;  // a frame has been drawn
    bool drewSinceWake_ = false;
    std::array<std::uint32_t, kRecentFrames> frames_{};  // a ring of the recent frames' lengths
    std::size_t frameCount_ = 0;
    std::size_t nextFrame_ = 0;
    std::uint64_t framesSeen_ = 0;
};

}  // namespace host
