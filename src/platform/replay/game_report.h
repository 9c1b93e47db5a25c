// What the game tells a debugger (OutputDebugStringA), read once: the facts the platform acts
// on, typed. The game tells them as text, as it would a debugger under Windows: "picture K shown"
// as it draws a picture's first frame on the screen, "key V taken" as it takes the key that
// answers it, and "score S, best B" at a round's end, each line ending in a newline. Anything
// else it says is for a person at a debugger, and is passed by.
#pragma once

#include <functional>
#include <optional>
#include <string_view>
#include <variant>

namespace replay {

struct PictureShown {
    int kind = 0;  // 0-3: right, up, left, down
    bool operator==(const PictureShown&) const = default;
};
struct KeyTaken {
    int virtualKey = 0;  // 0-255
    bool operator==(const KeyTaken&) const = default;
};
struct RoundResult {
    int score = 0;
    int best = 0;  // the best score as the game had it when the round ended
    bool operator==(const RoundResult&) const = default;
};
using GameReport = std::variant<PictureShown, KeyTaken, RoundResult>;

// One line the game told, as it told it (with its newline). Nothing for anything else: another
// text, a number out of range, a line not ended.
std::optional<GameReport> ReadGameReport(std::string_view text);

// Every report the game makes from now on goes to `listener`, at the moment the game makes it
// (an empty listener: nobody listens, and the game's text goes nowhere, as on Windows without a
// debugger). One listener at a time.
void ListenToGame(std::function<void(const GameReport&)> listener);

}  // namespace replay
