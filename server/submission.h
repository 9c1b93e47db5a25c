// A submitted replay's first look: the header facts the server needs before it spends a
// verification on the file, then the whole file read with the game's own replay reader, so that
// the play's length (and so its cost) is known before it is queued. Playing it is the program's
// job; this only sorts out what is plainly not a replay of this program.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace scores {

inline constexpr std::size_t kMaxReplayBytes = 64 * 1024;

struct Submission {
    enum class Verdict {
        Replay,        // looks like a replay; `program` holds its version
        NotAReplay,    // empty, binary, too large, or not the replay format
        OtherProgram,  // a replay of another program version (`program` says which)
        Damaged,       // the replay reader refused a line of it (`error` says which)
    };
    Verdict verdict = Verdict::NotAReplay;
    std::string program;
    std::string error;  // for the player, when not Verdict::Replay
    // With Verdict::Replay: where the run ends (the game's clock, the pictures shown by then)
    // and the file written again by the format's own writers (no comments, blank lines or
    // carriage returns), which is what identifies a run.
    std::uint64_t endAt = 0;
    std::uint64_t endFrames = 0;
    std::string canonical;
};

// Reads the header of `body`: the first line "tavlo-replay 1", then lines up to the first
// event, of which "program VERSION" must be one; then, for this program's `version`, the whole
// replay (replay::Parse). Never reads past `body`, whatever it holds.
Submission ReadSubmission(std::string_view body, std::string_view version);

}  // namespace scores
