// A player for whole runs of the game on the headless host: from the idle hook it reads the
// round's state and presses the right arrow for each picture once it is on the screen, until the
// score passes `enough`; then it lets the next picture get away. At once (as a program would),
// or at a person's pace: 200 to 600 ms after the picture's first frame, drawn from a fixed seed;
// or the first `atOnce` pictures at once and the rest at a person's pace.
#pragma once

#include <cstdint>
#include <random>

#include "game_round.h"
#include "host_headless.h"

namespace testing_support {

// A key held for 40 ms: long enough for a 33 ms title frame or a 16 ms play frame to see it.
inline void Press(std::uint64_t at, unsigned key) {
    headless::InjectEvent(at, {host::InputEvent::Kind::KeyDown, key});
    headless::InjectEvent(at + 40, {host::InputEvent::Kind::KeyUp, key});
}

class RoundBot {
  public:
    enum class Pace { AtOnce, Person };
    static constexpr int kFastestMs = 200;
    static constexpr int kSlowestMs = 600;

    explicit RoundBot(int enough, Pace pace = Pace::AtOnce, unsigned seed = 1, int atOnce = 0)
        : enough_(enough), pace_(pace), random_(seed), atOnce_(atOnce) {}

    // One look at the round at the game clock `now`; true at the look that finds the round over
    // (an unanswered picture has left: the rating is on the screen).
    bool Look(const GameRound& round, std::uint64_t now) {
        const bool playing = round.speed > 0.0f && round.x < 320.0f && round.x > -82.0f;
        // Once x has moved a step past the draw at 320 (which shows nothing), the picture's
        // first frame on the screen has been presented.
        const bool atOnce = pace_ == Pace::AtOnce || round.score < atOnce_;
        const bool shown = atOnce || round.x < 320.0f - 1.5f * round.speed;
        if (playing && shown && round.hit == 0 && round.score <= enough_ &&
            pressedFor_ != round.score) {
            const std::uint64_t delay =
                atOnce ? 0 : std::uniform_int_distribution<int>(kFastestMs, kSlowestMs)(random_);
            Press(now + delay, TargetKey[round.kind]);
            pressedFor_ = round.score;
        }
        if (roundOver_ == 0 && round.speed > 0.0f && round.x <= -82.0f && round.hit == 0) {
            roundOver_ = now;
            return true;
        }
        return false;
    }
    // When the round ended; 0 while it goes on.
    std::uint64_t RoundOver() const { return roundOver_; }

  private:
    int enough_;
    Pace pace_;
    std::mt19937 random_;
    int atOnce_;           // pictures answered at once before the person's pace starts
    int pressedFor_ = -1;  // the score at the last press: one press a picture
    std::uint64_t roundOver_ = 0;
};

}  // namespace testing_support
