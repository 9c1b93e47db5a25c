// The hosts' pacing against a simulated game: frames of a fixed length timed from their start on
// the game's 32-bit clock, as the game's frame loop times them, with the host waking where
// FramePacer says (late by a millisecond where a case says). The game must draw each frame on
// time once the host has seen a few, without being woken at every millisecond, and must never
// be held back when it has just drawn.
#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <vector>

#include "frame_pacer.h"

namespace {

struct Phase {
    std::uint32_t frameMs;  // the game's wait after each frame's start
    int frames;
    std::uint32_t drawMs = 0;  // the game's own work in each frame (the clock runs meanwhile)
    bool waitsOff = false;     // Ctrl held: every wait ends after one look at the queue
};

struct Paced {
    std::vector<std::uint32_t> starts;  // when each frame began
    int wakes = 0;                      // waits the host slept through
    int heldAfterDrawing = 0;           // waits right after a change (there must be none)
};

// The game's frame loop: mark the start, draw, present, then spin until frameMs after the start
// (modulo 2^32), calling the host's Idle each time it finds no input. The host wakes where the
// pacer says, a millisecond late for the frames numbered in `late` (counting every frame from 0).
Paced Simulate(std::uint32_t clock, const std::vector<Phase>& phases, const std::set<int>& late) {
    host::FramePacer pacer;
    Paced run;
    pacer.Woke(clock);
    for (const Phase& phase : phases) {
        for (int frame = 0; frame < phase.frames; ++frame) {
            const std::uint32_t start = clock;
            run.starts.push_back(start);
            clock += phase.drawMs;
            pacer.Changed();
            pacer.Changed();  // a second change in the same frame (new colours) counts once
            bool looked = false;
            while (!looked || (!phase.waitsOff && clock - start < phase.frameMs)) {
                looked = true;
                if (pacer.JustDrew()) {
                    pacer.Woke(clock);
                    continue;
                }
                if (phase.waitsOff) ++run.heldAfterDrawing;
                std::uint32_t wait = pacer.WaitFrom(clock);
                EXPECT_GE(wait, 1u);
                if (clock + wait - start >= phase.frameMs &&
                    late.count(static_cast<int>(run.starts.size()))) {
                    ++wait;
                }
                clock += wait;
                ++run.wakes;
                pacer.Woke(clock);
            }
        }
    }
    return run;
}

TEST(FramePacer, DrawsEachFrameOnTimeWithAboutOneWakeAFrame) {
    constexpr std::uint32_t kNearWrap = 0xFFFFFFFFu - 1000;  // wraps in the 31st title frame
    // offTime: how many frames of the last phase (its first two aside) may start late.
    const struct {
        const char* name;
        std::uint32_t clockStart;
        std::vector<Phase> phases;
        std::set<int> late;
        int offTime;
    } cases[] = {
        {"title frames", 0, {{33, 120}}, {}, 0},
        {"play frames", 0, {{16, 120, 1}}, {}, 0},
        {"title frames across the clock's wrap", kNearWrap, {{33, 120, 2}}, {}, 0},
        {"title frames, the first ones late", 0, {{33, 120}}, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, 20},
        {"title frames, some late", 0, {{33, 120}}, {30, 50, 51, 90}, 8},
        {"a hold, then play frames", 0, {{33, 60}, {900, 4}, {16, 120}}, {}, 0},
        {"a hold, then play frames, the first late",
         0,
         {{33, 60}, {900, 4}, {16, 120}},
         {64, 65},
         2},
        {"a stall: one frame's drawing takes 700 ms",
         0,
         {{33, 60}, {33, 1, 700}, {33, 120}},
         {},
         0},
        {"Ctrl held, then let go", 0, {{33, 60}, {33, 200, 1, true}, {33, 120}}, {}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Paced run = Simulate(c.clockStart, c.phases, c.late);
        const Phase& last = c.phases.back();
        const std::size_t n = run.starts.size();
        int offTime = 0;
        for (std::size_t i = n - last.frames + 2; i < n; ++i) {
            if (run.starts[i] - run.starts[i - 1] != last.frameMs) ++offTime;
        }
        EXPECT_LE(offTime, c.offTime);
        // The last frames on time again, whatever came before.
        EXPECT_EQ(run.starts[n - 1] - run.starts[n - 2], last.frameMs);
        EXPECT_EQ(run.heldAfterDrawing, 0);
        // About one wake a frame and one more every kProbeEvery frames and at the first ones;
        // the first frame of a phase and a hold are passed a millisecond at a time.
        double wakes = 0;
        for (const Phase& p : c.phases) {
            const bool hold = p.frameMs > host::FramePacer::kLongestLikelyFrameMs;
            if (p.waitsOff) continue;
            wakes += hold ? p.frameMs * p.frames
                          : p.frameMs + host::FramePacer::kProbeEvery +
                                p.frames * (1 + 1.0 / host::FramePacer::kProbeEvery);
        }
        EXPECT_LE(run.wakes, wakes) << "wakes";
    }
}

}  // namespace
