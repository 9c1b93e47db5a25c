// The header read line by line first, so that a replay of another version is told so in those
// words; the rest is the replay format's own reader and writers.
#include "submission.h"

#include <algorithm>

#include "replay.h"

namespace scores {

namespace {

Submission NotAReplay(std::string reason) {
    Submission s;
    s.error = std::move(reason);
    return s;
}

}  // namespace

Submission ReadSubmission(std::string_view body, std::string_view version) {
    if (body.empty()) return NotAReplay("the request has no replay in its body");
    if (body.size() > kMaxReplayBytes) return NotAReplay("the replay is larger than 64 KiB");
    if (std::find(body.begin(), body.end(), '\0') != body.end()) {
        return NotAReplay("this is not a Tavlo replay (it holds binary data)");
    }
    std::string_view program;
    bool first = true;
    std::size_t at = 0;
    while (at < body.size()) {
        std::size_t end = body.find('\n', at);
        if (end == std::string_view::npos) end = body.size();
        std::string_view line = body.substr(at, end - at);
        at = end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (first) {
            if (line != "tavlo-replay 1") return NotAReplay("this is not a Tavlo replay");
            first = false;
            continue;
        }
        if (line.empty() || line.front() == '#') continue;
        // The first event (a line starting with its time) ends the header.
        if (line.front() >= '0' && line.front() <= '9') break;
        if (line.starts_with("program ")) {
            if (!program.empty()) return NotAReplay("the replay names its program twice");
            program = line.substr(8);
            const auto printable = [](char c) { return c > ' ' && c < 0x7f; };
            if (program.empty() || program.size() > 32 ||
                !std::all_of(program.begin(), program.end(), printable)) {
                return NotAReplay("the replay's program version is damaged");
            }
        }
    }
    if (first) return NotAReplay("this is not a Tavlo replay");
    if (program.empty()) return NotAReplay("the replay does not say which program recorded it");
    Submission s;
    s.program = std::string(program);
    if (program != version) {
        s.verdict = Submission::Verdict::OtherProgram;
        s.error = "this run was recorded by Tavlo " + s.program +
                  "; the table takes runs of Tavlo " + std::string(version);
        return s;
    }
    replay::Replay replay;
    if (const auto damaged = replay::Parse(body, replay)) {
        s.verdict = Submission::Verdict::Damaged;
        s.error = damaged->line > 0
                      ? "line " + std::to_string(damaged->line) + ": " + damaged->message
                      : damaged->message;
        return s;
    }
    s.canonical = replay::HeaderText(replay);
    for (const replay::Event& event : replay.events) {
        s.canonical += replay::EventLine(event);
    }
    s.canonical += replay::EndLine(replay.endAt, replay.endFrames, replay.cut);
    s.endAt = replay.endAt;
    s.endFrames = replay.endFrames;
    s.verdict = Submission::Verdict::Replay;
    return s;
}

}  // namespace scores
