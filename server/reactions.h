// The verdict on a run's reaction times: read from the lines its play wrote (TAVLO_REACTIONS:
// round, hit, kind, frame, shown ms, press ms, reaction ms, tab-separated, one a hit), judged by
// how many pictures were answered sooner than a person can see and press. The lines come from
// an untrusted play: anything that is not such a line makes them unreadable, never a crash.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace scores {

inline constexpr std::size_t kMaxReactionBytes = 1024 * 1024;

enum class Board { Human, Assisted };

// "human" or "assisted"; nullopt for anything else.
std::optional<Board> BoardNamed(std::string_view name);
const char* BoardName(Board board);

struct ReactionRule {
    int unseenBelowMs = 100;  // a hit answered sooner than this after its picture showed is unseen
    int assistedFrom = 10;    // this many unseen hits put a run on the assisted board
};

struct Reactions {
    int hits = 0;
    std::optional<int> medianMs;  // none without hits; of an even count, the lower middle
    std::optional<int> fastestMs;
    int unseen = 0;
};

// Each line's reaction ms, in order; nullopt when a line is not a reaction line (seven
// tab-separated decimal fields, the last press − shown, a newline at the end of each).
std::optional<std::vector<int>> ReadReactionLines(std::string_view lines);

// The summary of `lines` under `rule`; nullopt when they cannot be read.
std::optional<Reactions> Summarise(std::string_view lines, const ReactionRule& rule);

Board BoardFor(const Reactions& reactions, const ReactionRule& rule);

// Why the run stands on its board, in a sentence for the player (English).
std::string WhyOnBoard(const Reactions& reactions, const ReactionRule& rule);

}  // namespace scores
