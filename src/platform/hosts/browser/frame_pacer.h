// When the browser host wakes the game. A wake costs the page far more than a clock tick, so the
// host sleeps until the game is likely to draw next. The game draws in frames of a fixed length,
// each timed from its start: the moment its wait ended, which is the host's last wake before it
// drew. So the next frame is due a frame after the last one started, the frame being the
// shortest of the recent ones: a frame that started late (the page busy, the machine loaded) is
// longer, and waiting that long each time would make every later frame as late. So the host
// wakes a millisecond sooner at each of the first kProbeEvery frames after a one-off wait and
// every kProbeEvery frames after that, to see a frame shorter again. A wait longer than a frame
// is a one-off (a picture held for seconds); after it the next frame may be as short as the
// shortest. When the game has not drawn by the moment expected, the host wakes at every
// millisecond until it does: a frame longer than expected costs wakes, not time. Plain C++, all
// times on the game's millisecond clock.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace host {

class FramePacer {
  public:
    static constexpr double kShortestFrameMs = 16.0;
    static constexpr double kLongestLikelyFrameMs = 40.0;
    static constexpr std::size_t kRecentFrames = 32;
    static constexpr std::uint64_t kProbeEvery = 8;

    // The host gave the thread back to the game at clockMs.
    void Woke(double clockMs) { wokeMs_ = clockMs; }
    // The screen changed; changes of one frame (new colours, then the picture) count once.
    void Changed();
    // The moment to wake the game next, later than clockMs (the clock now).
    double NextWake(double clockMs) const;

  private:
    double wokeMs_ = 0;
    double frameStartMs_ = 0;
    std::array<double, kRecentFrames> frames_{};  // a ring of the recent frames' lengths
    std::size_t frameCount_ = 0;
    std::size_t nextFrame_ = 0;
    std::uint64_t framesSeen_ = 0;
};

}  // namespace host
