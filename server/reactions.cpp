// Reaction lines read strictly: a play that wrote anything else did not play as ours does.
#include "reactions.h"

#include <algorithm>
#include <charconv>
#include <cstdint>

namespace scores {

namespace {

// A decimal number (a minus sign only where `negative` allows it) of at most 12 digits.
std::optional<std::int64_t> Field(std::string_view text, bool negative) {
    const bool minus = negative && !text.empty() && text.front() == '-';
    const std::string_view digits = minus ? text.substr(1) : text;
    if (digits.empty() || digits.size() > 12) return std::nullopt;
    for (char c : digits) {
        if (c < '0' || c > '9') return std::nullopt;
    }
    std::int64_t value = 0;
    std::from_chars(digits.data(), digits.data() + digits.size(), value);
    return minus ? -value : value;
}

}  // namespace

std::optional<Board> BoardNamed(std::string_view name) {
    if (name == "human") return Board::Human;
    if (name == "assisted") return Board::Assisted;
    return std::nullopt;
}

const char* BoardName(Board board) {
    return board == Board::Assisted ? "assisted" : "human";
}

std::optional<std::vector<int>> ReadReactionLines(std::string_view lines) {
    if (lines.size() > kMaxReactionBytes) return std::nullopt;
    std::vector<int> reactions;
    while (!lines.empty()) {
        const std::size_t end = lines.find('\n');
        if (end == std::string_view::npos) return std::nullopt;
        std::string_view line = lines.substr(0, end);
        lines.remove_prefix(end + 1);
        std::int64_t fields[7];
        for (int i = 0; i < 7; ++i) {
            const std::size_t tab = line.find('\t');
            if ((tab == std::string_view::npos) != (i == 6)) return std::nullopt;
            const auto value = Field(line.substr(0, tab), i == 6);
            if (!value) return std::nullopt;
            fields[i] = *value;
            line = i == 6 ? std::string_view() : line.substr(tab + 1);
        }
        // round and hit from 1, a kind of four, and the difference what it says it is.
        if (fields[0] < 1 || fields[1] < 1 || fields[2] > 3 || fields[6] != fields[5] - fields[4] ||
            fields[6] < -1000000000 || fields[6] > 1000000000) {
            return std::nullopt;
        }
        reactions.push_back(static_cast<int>(fields[6]));
    }
    return reactions;
}

std::optional<Reactions> Summarise(std::string_view lines, const ReactionRule& rule) {
    std::optional<std::vector<int>> read = ReadReactionLines(lines);
    if (!read) return std::nullopt;
    std::vector<int>& times = *read;
    Reactions summary;
    summary.hits = static_cast<int>(times.size());
    summary.unseen = static_cast<int>(
        std::count_if(times.begin(), times.end(), [&](int ms) { return ms < rule.unseenBelowMs; }));
    if (!times.empty()) {
        std::sort(times.begin(), times.end());
        summary.fastestMs = times.front();
        summary.medianMs = times[(times.size() - 1) / 2];
    }
    return summary;
}

Board BoardFor(const Reactions& reactions, const ReactionRule& rule) {
    return reactions.unseen >= rule.assistedFrom ? Board::Assisted : Board::Human;
}

std::string WhyOnBoard(const Reactions& r, const ReactionRule& rule) {
    const std::string ms = std::to_string(rule.unseenBelowMs) + " ms";
    const auto pictures = [](int n) {
        return std::to_string(n) + (n == 1 ? " picture" : " pictures");
    };
    if (BoardFor(r, rule) == Board::Assisted) {
        return pictures(r.unseen) + " answered before they could be seen: under " + ms +
               " after they appeared";
    }
    if (r.hits == 0) return "no picture was answered";
    if (r.unseen == 0) return "every picture was answered " + ms + " or more after it appeared";
    return pictures(r.unseen) + " answered under " + ms + " after " +
           (r.unseen == 1 ? "it" : "they") + " appeared, fewer than the " +
           std::to_string(rule.assistedFrom) + " that put a run on the assisted board";
}

}  // namespace scores
