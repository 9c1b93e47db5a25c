// The browser host's pacing against a simulated game: frames of a fixed length timed from their
// start, as the game's frame loop times them, with the host waking where FramePacer says (late
// by a millisecond where a case says). The game must draw each frame on time once the host has
// seen a few, without being woken at every millisecond.
#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "frame_pacer.h"

namespace {

struct Phase {
    double frameMs;  // the game's wait after each frame
    int frames;
};

struct Paced {
    std::vector<double> starts;  // when each frame began
    int wakes = 0;
};

// The game waits from each frame's start; the host wakes it at NextWake, a millisecond late for
// the frames numbered in `late` (counting every frame from 0).
Paced Simulate(const std::vector<Phase>& phases, const std::set<int>& late) {
    host::FramePacer pacer;
    Paced run;
    double clock = 0;
    double start = 0;
    pacer.Woke(clock);
    pacer.Changed();
    for (const Phase& phase : phases) {
        for (int frame = 0; frame < phase.frames; ++frame) {
            const double due = start + phase.frameMs;
            while (clock < due) {
                double wake = pacer.NextWake(clock);
                EXPECT_GT(wake, clock);
                if (wake >= due && late.count(static_cast<int>(run.starts.size()))) wake += 1;
                clock = wake;
                ++run.wakes;
                pacer.Woke(clock);
            }
            start = clock;
            run.starts.push_back(start);
            pacer.Changed();
            pacer.Changed();  // a second change in the same frame (new colours) counts once
        }
    }
    return run;
}

TEST(FramePacer, DrawsEachFrameOnTimeWithAboutOneWakeAFrame) {
    // offTime: how many frames of the last phase (its first two aside) may start late.
    const struct {
        const char* name;
        std::vector<Phase> phases;
        std::set<int> late;
        int offTime;
    } cases[] = {
        {"title frames", {{33, 120}}, {}, 0},
        {"play frames", {{16, 120}}, {}, 0},
        {"title frames, the first ones late", {{33, 120}}, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, 20},
        {"title frames, some late", {{33, 120}}, {30, 50, 51, 90}, 8},
        {"a hold, then play frames", {{33, 60}, {900, 4}, {16, 120}}, {}, 0},
        {"a hold, then play frames, the first late", {{33, 60}, {900, 4}, {16, 120}}, {64, 65}, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Paced run = Simulate(c.phases, c.late);
        const Phase& last = c.phases.back();
        const std::size_t n = run.starts.size();
        int offTime = 0;
        for (std::size_t i = n - last.frames + 2; i < n; ++i) {
            if (run.starts[i] - run.starts[i - 1] != last.frameMs) ++offTime;
        }
        EXPECT_LE(offTime, c.offTime);
        // The last frames on time again, whatever came before.
        EXPECT_EQ(run.starts[n - 1] - run.starts[n - 2], last.frameMs);
        // About one wake a frame and one more every kProbeEvery frames and at the first ones;
        // the first frame of a phase and a hold are passed a millisecond at a time.
        double wakes = 0;
        for (const Phase& p : c.phases) {
            const bool hold = p.frameMs > host::FramePacer::kLongestLikelyFrameMs;
            wakes += hold ? p.frameMs * p.frames
                          : p.frameMs + host::FramePacer::kProbeEvery +
                                p.frames * (1 + 1.0 / host::FramePacer::kProbeEvery);
        }
        EXPECT_LE(run.wakes, wakes) << "wakes";
    }
}

}  // namespace
