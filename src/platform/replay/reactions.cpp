// The reaction lines, from what the game tells a debugger and what the session sees.
#include "reactions.h"

#include <cstdio>

namespace replay {

void ReactionLog::Heard(const GameReport& report, std::uint64_t now) {
    if (const auto* shown = std::get_if<PictureShown>(&report)) {
        if (picture_.shownHeard) picture_ = {};  // an answer never came: a new picture
        picture_.kind = shown->kind;
        picture_.shownHeard = true;
    } else if (const auto* taken = std::get_if<KeyTaken>(&report)) {
        if (picture_.taken) picture_ = {};
        picture_.taken = true;
        // A key the game found down without a down event reaching it cannot be; were it so, the
        // answer is timed from now.
        const auto key = static_cast<std::size_t>(taken->virtualKey) & 0xFF;
        picture_.pressAt = down_[key].value_or(now);
        down_[key].reset();
        WriteWhenWhole();
    } else {
        ++round_;
        hits_ = 0;
        picture_ = {};
    }
}

void ReactionLog::Received(const host::InputEvent& event, std::uint64_t at) {
    const std::size_t key = event.virtualKey & 0xFF;
    if (event.kind == host::InputEvent::Kind::KeyDown && !down_[key]) down_[key] = at;
    if (event.kind == host::InputEvent::Kind::KeyUp) down_[key].reset();
}

void ReactionLog::Screen(std::uint64_t index, std::uint64_t at) {
    if (!picture_.shownHeard || picture_.framed) return;
    picture_.framed = true;
    picture_.frame = index;
    picture_.shownAt = at;
    WriteWhenWhole();
}

void ReactionLog::WriteWhenWhole() {
    if (!picture_.framed || !picture_.taken) return;
    ++hits_;
    char line[160];
    std::snprintf(
        line, sizeof line, "%d\t%d\t%d\t%06llu\t%llu\t%llu\t%lld\n", round_, hits_, picture_.kind,
        static_cast<unsigned long long>(picture_.frame),
        static_cast<unsigned long long>(picture_.shownAt),
        static_cast<unsigned long long>(picture_.pressAt),
        static_cast<long long>(picture_.pressAt) - static_cast<long long>(picture_.shownAt));
    write_(line);
    picture_ = {};
}

}  // namespace replay
