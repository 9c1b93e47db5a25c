// A submitted replay's first look: the few header facts the server needs before it spends a
// verification on the file. Playing it is the program's job; this only sorts out what is
// plainly not a replay of this program.
#pragma once

#include <string>
#include <string_view>

namespace scores {

inline constexpr std::size_t kMaxReplayBytes = 64 * 1024;

struct Submission {
    enum class Verdict {
        Replay,        // looks like a replay; `program` holds its version
        NotAReplay,    // empty, binary, too large, or not the replay format
        OtherProgram,  // a replay of another program version (`program` says which)
    };
    Verdict verdict = Verdict::NotAReplay;
    std::string program;
    std::string error;  // for the player, when not Verdict::Replay
};

// Reads the header of `body`: the first line "tavlo-replay 1", then lines up to the first
// event, of which "program VERSION" must be one. `version` is the program version this server
// plays. Never reads past `body`, whatever it holds.
Submission ReadSubmission(std::string_view body, std::string_view version);

}  // namespace scores
