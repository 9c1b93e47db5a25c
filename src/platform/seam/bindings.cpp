// Key and controller bindings (bindings.h).
#include "bindings.h"

#include <algorithm>
#include <cctype>
#include <sstream>

#include "virtual_keys.h"

namespace host {
namespace {

struct ActionInfo {
    const char* name;
    unsigned virtualKey;
};

constexpr ActionInfo kActions[kActionCount] = {
    {"left", vk::kLeft},    {"right", vk::kRight},  {"up", vk::kUp},       {"down", vk::kDown},
    {"enter", vk::kReturn}, {"skip", vk::kControl}, {"pause", vk::kPause}, {"fullscreen", 0},
    {"scaling", 0},         {"screenshot", 0},
};

// The standard layout's names, in PadButton's and PadAxis's order.
constexpr const char* kButtonNames[kPadButtons] = {"a",
                                                   "b",
                                                   "x",
                                                   "y",
                                                   "back",
                                                   "guide",
                                                   "start",
                                                   "leftstick",
                                                   "rightstick",
                                                   "leftshoulder",
                                                   "rightshoulder",
                                                   "dpup",
                                                   "dpdown",
                                                   "dpleft",
                                                   "dpright"};
constexpr const char* kAxisNames[kPadAxes] = {"leftx",  "lefty",       "rightx",
                                              "righty", "lefttrigger", "righttrigger"};
constexpr int kTriggers = static_cast<int>(PadAxis::LeftTrigger);

std::size_t Index(Action action) {
    return static_cast<std::size_t>(action);
}

bool IsGameAction(Action action) {
    return kActions[Index(action)].virtualKey != 0;
}

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::vector<std::string> Split(const std::string& value) {
    std::vector<std::string> names;
    std::istringstream in(value);
    std::string name;
    while (std::getline(in, name, ',')) {
        name = Trim(name);
        if (!name.empty()) names.push_back(name);
    }
    return names;
}

std::optional<KeyChord> ChordOf(const std::string& name, bool hostAction, const KeyNames& names) {
    KeyChord chord;
    std::string key = name;
    if (key.size() > 4 && Lower(key.substr(0, 4)) == "alt+") {
        if (!hostAction) return std::nullopt;  // the game hears Alt combinations as system keys
        chord.alt = true;
        key = Trim(key.substr(4));
    }
    chord.key = names(key);
    if (chord.key.empty()) return std::nullopt;
    return chord;
}

int IndexIn(const char* const* table, std::size_t size, const std::string& name) {
    for (std::size_t i = 0; i < size; ++i) {
        if (name == table[i]) return static_cast<int>(i);
    }
    return -1;
}

std::optional<PadControl> ControlOf(const std::string& text) {
    const std::string name = Lower(text);
    if (const int button = IndexIn(kButtonNames, kPadButtons, name); button >= 0) {
        return PadControl{PadControl::Kind::Button, button};
    }
    // An axis with its direction; a trigger only pulls one way.
    const char sign = name[0];
    const int axis =
        IndexIn(kAxisNames, kPadAxes, sign == '+' || sign == '-' ? name.substr(1) : name);
    if (axis < 0) return std::nullopt;
    const bool trigger = axis >= kTriggers;
    if (trigger && sign != '-') return PadControl{PadControl::Kind::AxisPlus, axis};
    if (trigger || (sign != '+' && sign != '-')) return std::nullopt;
    return PadControl{sign == '+' ? PadControl::Kind::AxisPlus : PadControl::Kind::AxisMinus, axis};
}

// Binds `taken` to `action` alone: whatever else had them loses them.
template <typename T>
void Take(std::array<std::vector<T>, kActionCount>& table, Action action, std::vector<T> taken) {
    for (auto& list : table) {
        list.erase(std::remove_if(list.begin(), list.end(),
                                  [&](const T& item) {
                                      return std::find(taken.begin(), taken.end(), item) !=
                                             taken.end();
                                  }),
                   list.end());
    }
    table[Index(action)] = std::move(taken);
}

// The items of `value` that `parse` knows, each once; the others go to `unknown`.
template <typename T, typename Parse>
std::vector<T> Items(const std::string& value, Parse parse, std::vector<std::string>& unknown) {
    std::vector<T> items;
    for (const std::string& text : Split(value)) {
        const std::optional<T> item = parse(text);
        if (!item) {
            unknown.push_back(text);
        } else if (std::find(items.begin(), items.end(), *item) == items.end()) {
            items.push_back(*item);
        }
    }
    return items;
}

std::string PadName(const PadControl& control) {
    if (control.kind == PadControl::Kind::Button) return kButtonNames[control.index];
    return std::string(control.kind == PadControl::Kind::AxisPlus ? "+" : "-") +
           kAxisNames[control.index];
}

}  // namespace

Bindings DefaultBindings() {
    Bindings b;
    const auto keys = [&](Action a, std::vector<KeyChord> chords) { b.keys[Index(a)] = chords; };
    keys(Action::Left, {{"Left"}});
    keys(Action::Right, {{"Right"}});
    keys(Action::Up, {{"Up"}});
    keys(Action::Down, {{"Down"}});
    keys(Action::Enter, {{"Return"}, {"Keypad Enter"}});
    keys(Action::Skip, {{"Left Ctrl"}, {"Right Ctrl"}});
    keys(Action::Pause, {{"Pause"}});
    keys(Action::FullScreen, {{"Return", true}, {"Keypad Enter", true}});
    keys(Action::Scaling, {{"F11"}, {"F9"}});
    keys(Action::Screenshot, {{"F12"}});
    using Kind = PadControl::Kind;
    const auto pads = [&](Action a, PadButton button, Kind kind, PadAxis axis) {
        b.pads[Index(a)] = {{Kind::Button, static_cast<int>(button)},
                            {kind, static_cast<int>(axis)}};
    };
    pads(Action::Left, PadButton::DPadLeft, Kind::AxisMinus, PadAxis::LeftX);
    pads(Action::Right, PadButton::DPadRight, Kind::AxisPlus, PadAxis::LeftX);
    pads(Action::Up, PadButton::DPadUp, Kind::AxisMinus, PadAxis::LeftY);
    pads(Action::Down, PadButton::DPadDown, Kind::AxisPlus, PadAxis::LeftY);
    b.pads[Index(Action::Enter)] = {{Kind::Button, static_cast<int>(PadButton::South)},
                                    {Kind::Button, static_cast<int>(PadButton::Start)}};
    return b;
}

bool ParseBinding(const std::string& name, const std::string& value, const KeyNames& names,
                  Bindings& bindings, std::vector<std::string>& unknown) {
    const bool keys = name.rfind("key.", 0) == 0;
    if (!keys && name.rfind("pad.", 0) != 0) return false;
    std::optional<Action> action;
    for (std::size_t i = 0; i < kActionCount; ++i) {
        if (name.compare(4, std::string::npos, kActions[i].name) == 0) action = Action(i);
    }
    if (!action || (!keys && !IsGameAction(*action))) return false;
    if (keys) {
        const bool hostAction = !IsGameAction(*action);
        auto chords = Items<KeyChord>(
            value, [&](const std::string& text) { return ChordOf(text, hostAction, names); },
            unknown);
        if (!chords.empty()) Take(bindings.keys, *action, std::move(chords));
    } else {
        auto controls = Items<PadControl>(value, ControlOf, unknown);
        if (!controls.empty()) Take(bindings.pads, *action, std::move(controls));
    }
    return true;
}

std::vector<std::string> FillFromDefaults(Bindings& bindings) {
    const Bindings defaults = DefaultBindings();
    std::vector<std::string> unbound;
    const auto fill = [](auto& table, const auto& defaultTable, std::size_t i) {
        if (!table[i].empty()) return;
        for (const auto& item : defaultTable[i]) {
            const bool taken = std::any_of(table.begin(), table.end(), [&](const auto& list) {
                return std::find(list.begin(), list.end(), item) != list.end();
            });
            if (!taken) table[i].push_back(item);
        }
    };
    for (std::size_t i = 0; i < kActionCount; ++i) {
        fill(bindings.keys, defaults.keys, i);
        if (IsGameAction(Action(i))) fill(bindings.pads, defaults.pads, i);
        if (bindings.keys[i].empty()) unbound.push_back(kActions[i].name);
    }
    return unbound;
}

std::string FormatBindings(const Bindings& bindings) {
    std::ostringstream out;
    for (std::size_t i = 0; i < kActionCount; ++i) {
        out << "key." << kActions[i].name << "=";
        const char* comma = "";
        for (const KeyChord& chord : bindings.keys[i]) {
            out << comma << (chord.alt ? "Alt+" : "") << chord.key;
            comma = ",";
        }
        out << "\n";
    }
    for (std::size_t i = 0; i < kActionCount; ++i) {
        if (!IsGameAction(Action(i))) continue;
        out << "pad." << kActions[i].name << "=";
        const char* comma = "";
        for (const PadControl& control : bindings.pads[i]) {
            out << comma << PadName(control);
            comma = ",";
        }
        out << "\n";
    }
    return out.str();
}

unsigned GameKeyOf(const Bindings& bindings, const std::string& key, unsigned own) {
    for (std::size_t i = 0; i < kActionCount; ++i) {
        if (!IsGameAction(Action(i))) continue;
        for (const KeyChord& chord : bindings.keys[i]) {
            if (chord.key == key) return kActions[i].virtualKey;
        }
    }
    for (const ActionInfo& info : kActions) {
        if (info.virtualKey != 0 && info.virtualKey == own) return 0;
    }
    return own;
}

std::optional<Action> HostActionOf(const Bindings& bindings, const std::string& key, bool alt) {
    for (std::size_t i = 0; i < kActionCount; ++i) {
        if (IsGameAction(Action(i))) continue;
        for (const KeyChord& chord : bindings.keys[i]) {
            if (chord.key == key && chord.alt == alt) return Action(i);
        }
    }
    return std::nullopt;
}

std::optional<Action> HostActionOfVirtualKey(
    const Bindings& bindings, unsigned virtualKey,
    const std::function<unsigned(const std::string&)>& virtualKeyOf) {
    for (std::size_t i = 0; i < kActionCount; ++i) {
        if (IsGameAction(Action(i))) continue;
        for (const KeyChord& chord : bindings.keys[i]) {
            if (!chord.alt && virtualKeyOf(chord.key) == virtualKey) return Action(i);
        }
    }
    return std::nullopt;
}

KeyUse ResolveKey(const Bindings& bindings, const std::string& key, unsigned own) {
    return {GameKeyOf(bindings, key, own), HostActionOf(bindings, key, false),
            HostActionOf(bindings, key, true), GameKeyOf(bindings, key, 0) != 0};
}

PadMap PadMapOf(const Bindings& bindings) {
    PadMap map;
    for (std::size_t i = 0; i < kActionCount; ++i) {
        for (const PadControl& control : bindings.pads[i]) {
            const auto index = static_cast<std::size_t>(control.index);
            if (control.kind == PadControl::Kind::Button && index < kPadButtons) {
                map.buttons[index] = kActions[i].virtualKey;
            } else if (control.kind == PadControl::Kind::AxisMinus && index < kPadAxes) {
                map.negative[index] = kActions[i].virtualKey;
            } else if (control.kind == PadControl::Kind::AxisPlus && index < kPadAxes) {
                map.positive[index] = kActions[i].virtualKey;
            }
        }
    }
    return map;
}

}  // namespace host
