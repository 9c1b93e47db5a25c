// The judge every host's session plays a replay back with.
#include "judge.h"

#include <cstdio>
#include <cstdlib>

namespace replay {
namespace {

// The rounds a report lists at most: far more than a replay's 6 hours hold, and a bound on what a
// damaged or foreign file can make the program keep.
constexpr std::size_t kMaxKept = 100000;

}  // namespace

ReplayHost* Judge::Start(std::unique_ptr<host::Host> inner) {
    host_ = new ReplayHost(std::move(inner), ReplayHost::Mode::Play, replay.clockStart);
    host_->PlayFrom(&replay);
    host_->onDiverged = [this](int line, const platform::Said& why) {
        partedLine_ = line;
        parted_ = why;
        std::exit(1);
    };
    host_->onPoll = [this] {
        // Where the recording was stopped: the run ends, played to its end.
        if (replay.cut && host_->Elapsed() >= replay.endAt) std::exit(1);
    };
    return host_;
}

unsigned Judge::Seed(unsigned given) {
    if (seeded_) return given;
    seeded_ = true;
    return replay.seed.value_or(given);
}

void Judge::RoundEnded(const RoundResult& result) {
    ++rounds_;
    if (result.score > bestRound_) bestRound_ = result.score;
    if (results_.size() < kMaxKept) results_.push_back(result);
}

Verdict Judge::Decide() const {
    if (partedLine_ >= 0) return {Verdict::Kind::WentAnotherWay, partedLine_, parted_};
    if (!host_) return {Verdict::Kind::Stopped, 0, platform::Said("the program did not start")};
    const std::string elapsed = std::to_string(host_->Elapsed());
    if (host_->Delivered() < replay.events.size()) {
        return {Verdict::Kind::Stopped, replay.events[host_->Delivered()].line,
                platform::Said("the program ended before this event, at " + elapsed + " ms")};
    }
    if (host_->Elapsed() != replay.endAt || host_->Frames() != replay.endFrames) {
        return {Verdict::Kind::Stopped, replay.endLine,
                platform::Said("the program ended at " + elapsed + " ms @" +
                               std::to_string(host_->Frames()))};
    }
    return {};
}

std::string Judge::Ending(const std::string& path, const Verdict& verdict) const {
    if (verdict.kind != Verdict::Kind::Played) {
        return "tavlo: " + path + " line " + std::to_string(verdict.line) +
               ": the run went another way: " + verdict.why.English() + "\n";
    }
    return "replay " + path + ": played to its " + (replay.cut ? "cut" : "end") + " at " +
           std::to_string(host_ ? host_->Elapsed() : 0) + " ms\n";
}

std::string Judge::RoundLines() const {
    std::string lines;
    for (std::size_t i = 0; i < results_.size(); ++i) {
        char line[96];
        std::snprintf(line, sizeof line, "round %zu: score %d, best %d\n", i + 1, results_[i].score,
                      results_[i].best);
        lines += line;
    }
    return lines;
}

}  // namespace replay
