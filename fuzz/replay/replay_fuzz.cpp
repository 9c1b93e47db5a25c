// The replay parser on any bytes: it ends with a replay or an error, never a crash, and what it
// accepts is well formed (times and frame counts in order, all within the end, which exists).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "replay.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    replay::Replay replay;
    const auto error =
        replay::Parse(std::string_view(reinterpret_cast<const char*>(data), size), replay);
    if (error) {
        if (error->message.empty()) std::abort();
        return 0;
    }
    std::uint64_t at = 0, frames = 0;
    for (const auto& event : replay.events) {
        if (event.at < at || event.frames < frames || event.line <= 0) std::abort();
        at = event.at;
        frames = event.frames;
    }
    if (replay.endLine <= 0 || replay.endAt < at || replay.endFrames < frames ||
        replay.endAt > replay::kMaxClock || replay.archive.size() != 16) {
        std::abort();
    }
    // What the parser read, written again, reads back the same.
    std::string text = replay::HeaderText(replay);
    text.replace(text.find("\nseed ") + 6, replay::kSeedFieldWidth, replay::SeedField(replay.seed));
    for (const auto& event : replay.events) text += replay::EventLine(event);
    text += replay::EndLine(replay.endAt, replay.endFrames, replay.cut);
    replay::Replay again;
    if (replay::Parse(text, again) || again.events.size() != replay.events.size() ||
        again.seed != replay.seed || again.scores != replay.scores) {
        std::abort();
    }
    return 0;
}
