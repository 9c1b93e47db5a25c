// A submission on any bytes (the first line the name, the rest the body): the name check and
// the replay's reader end with an answer, never a crash, and what they accept holds.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "names.h"
#include "submission.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t newline = input.find('\n');
    const std::string_view name = input.substr(0, newline);
    const std::string_view body =
        newline == std::string_view::npos ? std::string_view() : input.substr(newline + 1);

    const scores::CheckedName checked = scores::CheckName(name);
    if (checked.error.empty() == checked.name.empty()) std::abort();
    if (!checked.name.empty()) {
        // An accepted name is its own normal form: checked again, it stays itself.
        const scores::CheckedName again = scores::CheckName(checked.name);
        if (again.name != checked.name || again.key != checked.key || checked.key.empty() ||
            again.skeleton != checked.skeleton || checked.skeleton.empty()) {
            std::abort();
        }
        if (checked.name.front() == ' ' || checked.name.back() == ' ') std::abort();
    }

    const scores::Submission submission = scores::ReadSubmission(body, "1.0.0");
    switch (submission.verdict) {
        case scores::Submission::Verdict::Replay:
            if (submission.program != "1.0.0" || !submission.error.empty()) std::abort();
            // The run's identity is a fixed point: its canonical text reads back to itself.
            if (scores::ReadSubmission(submission.canonical, "1.0.0").canonical !=
                    submission.canonical &&
                submission.canonical.size() <= scores::kMaxReplayBytes) {
                std::abort();
            }
            break;
        case scores::Submission::Verdict::OtherProgram:
            if (submission.program.empty() || submission.program == "1.0.0") std::abort();
            for (char c : submission.program) {
                if (c <= ' ' || c >= 0x7f) std::abort();
            }
            [[fallthrough]];
        case scores::Submission::Verdict::NotAReplay:
        case scores::Submission::Verdict::Damaged:
            if (submission.error.empty()) std::abort();
            break;
    }
    return 0;
}
