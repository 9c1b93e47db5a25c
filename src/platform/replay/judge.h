// A run played back from a replay, as every host's session plays one: the game gets the recorded
// seed, the playing host in front of the real one hands it the recorded events, and the judge
// says at the end how the run compares with the recorded one, and what its rounds were
// (docs/replays.md).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "catalog.h"
#include "game_report.h"
#include "host.h"
#include "replay.h"
#include "replay_host.h"

namespace replay {

struct Verdict {
    enum class Kind {
        Played,          // to the replay's end, or its cut
        Stopped,         // the program ended before the replay's end (Pause, a close, an end of
                         // the game's own that the replay does not have)
        WentAnotherWay,  // the game, as it ran, did what the replay does not have
    };
    Kind kind = Kind::Played;
    int line = 0;        // the replay's line where the run stopped or parted from it
    platform::Said why;  // what happened there
};

class Judge {
  public:
    // The run to play: read into before Start, and kept as it is while the run plays.
    Replay replay;

    // The playing host in front of `inner`. A run that goes another way ends the program there
    // and then (exit 1, so that a run which can no longer come right does not go on for ever),
    // and so does a replay that was cut, at its cut; the session's end reads the verdict. The
    // host is the caller's to hand on (as every host in front, it owns the one behind).
    ReplayHost* Start(std::unique_ptr<host::Host> inner);
    // The seed the game gets when it seeds its generator with `given`: the recorded one, the
    // first time (a replay recorded before the game seeded keeps what it is given).
    unsigned Seed(unsigned given);
    // A round ended as the game reported it.
    void RoundEnded(const RoundResult& result);

    // At the program's end: how the run played compares with the replay.
    Verdict Decide() const;
    // How a run ended, a line, as --replay and --verify say it: "replay FILE: played to its end
    // at N ms" for a run played, else "tavlo: FILE line N: the run went another way: WHY" (a
    // verify has nobody to stop it: a run that ends before the replay's end went another way).
    std::string Ending(const std::string& path, const Verdict& verdict) const;
    // "round N: score S, best B", a line a round.
    std::string RoundLines() const;
    int Rounds() const { return rounds_; }
    // The highest score of a round; -1 before the first round's end.
    int BestRound() const { return bestRound_; }

  private:
    ReplayHost* host_ = nullptr;
    bool seeded_ = false;
    int partedLine_ = -1;
    platform::Said parted_;
    int rounds_ = 0;
    int bestRound_ = -1;
    std::vector<RoundResult> results_;  // the first kMaxKept rounds
};

}  // namespace replay
