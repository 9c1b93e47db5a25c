// The game's debugger lines read into reports.
#include "game_report.h"

#include <charconv>
#include <utility>

#include "host.h"

namespace replay {
namespace {

// A decimal number as the game's sprintf writes one ("%d"), the whole of `digits`.
std::optional<int> Number(std::string_view digits) {
    int value = 0;
    const char* end = digits.data() + digits.size();
    const auto [stop, error] = std::from_chars(digits.data(), end, value);
    if (digits.empty() || error != std::errc() || stop != end) return std::nullopt;
    return value;
}

// `text` as `before`, a number, `after`; the number.
std::optional<int> Between(std::string_view text, std::string_view before, std::string_view after) {
    if (!text.starts_with(before) || !text.ends_with(after) ||
        text.size() < before.size() + after.size()) {
        return std::nullopt;
    }
    return Number(text.substr(before.size(), text.size() - before.size() - after.size()));
}

std::function<void(const GameReport&)>& Listener() {
    static std::function<void(const GameReport&)> listener;
    return listener;
}

void Heard(const char* text) {
    if (const auto report = ReadGameReport(text); report && Listener()) Listener()(*report);
}

}  // namespace

std::optional<GameReport> ReadGameReport(std::string_view text) {
    if (const auto kind = Between(text, "picture ", " shown\n"); kind && *kind >= 0 && *kind <= 3) {
        return PictureShown{*kind};
    }
    if (const auto key = Between(text, "key ", " taken\n"); key && *key >= 0 && *key <= 255) {
        return KeyTaken{*key};
    }
    if (!text.starts_with("score ") || !text.ends_with("\n")) return std::nullopt;
    const std::size_t comma = text.find(", best ");
    if (comma == std::string_view::npos) return std::nullopt;
    const auto score = Number(text.substr(6, comma - 6));
    const auto best = Between(text.substr(comma), ", best ", "\n");
    if (!score || !best) return std::nullopt;
    return RoundResult{*score, *best};
}

void ListenToGame(std::function<void(const GameReport&)> listener) {
    Listener() = std::move(listener);
    host::SetDebugListener(Listener() ? Heard : nullptr);
}

}  // namespace replay
