// Key and controller bindings: their names in settings.conf and what a key or control does.
#include "sdl_bindings.h"

#include <SDL.h>
#include <strings.h>

#include <algorithm>
#include <sstream>

#include "sdl_keys.h"
#include "virtual_keys.h"

namespace host::sdl {
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

std::optional<KeyChord> ChordOf(const std::string& name, bool hostAction) {
    KeyChord chord;
    std::string key = name;
    if (key.size() > 4 && strncasecmp(key.c_str(), "alt+", 4) == 0) {
        if (!hostAction) return std::nullopt;  // the game hears Alt combinations as system keys
        chord.alt = true;
        key = Trim(key.substr(4));
    }
    chord.key = SDL_GetKeyFromName(key.c_str());
    if (chord.key == SDLK_UNKNOWN) return std::nullopt;
    return chord;
}

std::optional<PadControl> ControlOf(const std::string& name) {
    const SDL_GameControllerButton button = SDL_GameControllerGetButtonFromString(name.c_str());
    if (button != SDL_CONTROLLER_BUTTON_INVALID) {
        return PadControl{PadControl::Kind::Button, static_cast<int>(button)};
    }
    // An axis with its direction; a trigger only pulls one way.
    const char sign = name[0];
    const std::string axisName = sign == '+' || sign == '-' ? name.substr(1) : name;
    const SDL_GameControllerAxis axis = SDL_GameControllerGetAxisFromString(axisName.c_str());
    if (axis == SDL_CONTROLLER_AXIS_INVALID) return std::nullopt;
    const bool trigger =
        axis == SDL_CONTROLLER_AXIS_TRIGGERLEFT || axis == SDL_CONTROLLER_AXIS_TRIGGERRIGHT;
    if (trigger && sign != '-') return PadControl{PadControl::Kind::AxisPlus, axis};
    if (trigger || (sign != '+' && sign != '-')) return std::nullopt;
    return PadControl{sign == '+' ? PadControl::Kind::AxisPlus : PadControl::Kind::AxisMinus, axis};
}

// Binds `taken` to `action` alone: whatever else had them loses them.
template <typename T>
void Take(std::array<std::vector<T>, kActionCount>& table, Action action, std::vector<T> taken) {
    for (std::size_t other = 0; other < kActionCount; ++other) {
        auto& list = table[other];
        list.erase(std::remove_if(list.begin(), list.end(),
                                  [&](const T& item) {
                                      return std::find(taken.begin(), taken.end(), item) !=
                                             taken.end();
                                  }),
                   list.end());
    }
    table[Index(action)] = std::move(taken);
}

std::string PadName(const PadControl& control) {
    if (control.kind == PadControl::Kind::Button) {
        const char* name = SDL_GameControllerGetStringForButton(
            static_cast<SDL_GameControllerButton>(control.index));
        return name ? name : "";
    }
    const char* name =
        SDL_GameControllerGetStringForAxis(static_cast<SDL_GameControllerAxis>(control.index));
    return std::string(control.kind == PadControl::Kind::AxisPlus ? "+" : "-") + (name ? name : "");
}

}  // namespace

Bindings DefaultBindings() {
    Bindings b;
    const auto keys = [&](Action a, std::vector<KeyChord> chords) { b.keys[Index(a)] = chords; };
    keys(Action::Left, {{SDLK_LEFT}});
    keys(Action::Right, {{SDLK_RIGHT}});
    keys(Action::Up, {{SDLK_UP}});
    keys(Action::Down, {{SDLK_DOWN}});
    keys(Action::Enter, {{SDLK_RETURN}, {SDLK_KP_ENTER}});
    keys(Action::Skip, {{SDLK_LCTRL}, {SDLK_RCTRL}});
    keys(Action::Pause, {{SDLK_PAUSE}});
    keys(Action::FullScreen, {{SDLK_RETURN, true}, {SDLK_KP_ENTER, true}});
    keys(Action::Scaling, {{SDLK_F11}, {SDLK_F9}});
    keys(Action::Screenshot, {{SDLK_F12}});
    using Kind = PadControl::Kind;
    const auto pads = [&](Action a, std::vector<PadControl> controls) {
        b.pads[Index(a)] = controls;
    };
    pads(Action::Left, {{Kind::Button, SDL_CONTROLLER_BUTTON_DPAD_LEFT},
                        {Kind::AxisMinus, SDL_CONTROLLER_AXIS_LEFTX}});
    pads(Action::Right, {{Kind::Button, SDL_CONTROLLER_BUTTON_DPAD_RIGHT},
                         {Kind::AxisPlus, SDL_CONTROLLER_AXIS_LEFTX}});
    pads(Action::Up, {{Kind::Button, SDL_CONTROLLER_BUTTON_DPAD_UP},
                      {Kind::AxisMinus, SDL_CONTROLLER_AXIS_LEFTY}});
    pads(Action::Down, {{Kind::Button, SDL_CONTROLLER_BUTTON_DPAD_DOWN},
                        {Kind::AxisPlus, SDL_CONTROLLER_AXIS_LEFTY}});
    pads(Action::Enter,
         {{Kind::Button, SDL_CONTROLLER_BUTTON_A}, {Kind::Button, SDL_CONTROLLER_BUTTON_START}});
    return b;
}

const char* ActionName(Action action) {
    return kActions[Index(action)].name;
}

unsigned ActionVirtualKey(Action action) {
    return kActions[Index(action)].virtualKey;
}

bool ParseBinding(const std::string& name, const std::string& value, Bindings& bindings,
                  std::vector<std::string>& unknown) {
    const bool keys = name.rfind("key.", 0) == 0;
    if (!keys && name.rfind("pad.", 0) != 0) return false;
    std::optional<Action> action;
    for (std::size_t i = 0; i < kActionCount; ++i) {
        if (name.compare(4, std::string::npos, kActions[i].name) == 0) action = Action(i);
    }
    if (!action || (!keys && !IsGameAction(*action))) return false;
    if (keys) {
        std::vector<KeyChord> chords;
        for (const std::string& item : Split(value)) {
            const std::optional<KeyChord> chord = ChordOf(item, !IsGameAction(*action));
            if (!chord) {
                unknown.push_back(item);
            } else if (std::find(chords.begin(), chords.end(), *chord) == chords.end()) {
                chords.push_back(*chord);
            }
        }
        if (!chords.empty()) Take(bindings.keys, *action, std::move(chords));
    } else {
        std::vector<PadControl> controls;
        for (const std::string& item : Split(value)) {
            const std::optional<PadControl> control = ControlOf(item);
            if (!control) {
                unknown.push_back(item);
            } else if (std::find(controls.begin(), controls.end(), *control) == controls.end()) {
                controls.push_back(*control);
            }
        }
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
            out << comma << (chord.alt ? "Alt+" : "") << SDL_GetKeyName(chord.key);
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

std::optional<Action> GameActionOf(const Bindings& bindings, Keycode key) {
    for (std::size_t i = 0; i < kActionCount; ++i) {
        if (!IsGameAction(Action(i))) continue;
        for (const KeyChord& chord : bindings.keys[i]) {
            if (chord.key == key) return Action(i);
        }
    }
    return std::nullopt;
}

unsigned GameKeyOf(const Bindings& bindings, Keycode key) {
    if (const std::optional<Action> action = GameActionOf(bindings, key)) {
        return ActionVirtualKey(*action);
    }
    const unsigned own = VirtualKeyOf(key);
    for (const ActionInfo& info : kActions) {
        if (info.virtualKey != 0 && info.virtualKey == own) return 0;
    }
    return own;
}

std::optional<Action> HostActionOfVirtualKey(const Bindings& bindings, unsigned virtualKey) {
    for (std::size_t i = 0; i < kActionCount; ++i) {
        if (IsGameAction(Action(i))) continue;
        for (const KeyChord& chord : bindings.keys[i]) {
            if (!chord.alt && VirtualKeyOf(chord.key) == virtualKey) return Action(i);
        }
    }
    return std::nullopt;
}

std::optional<Action> HostActionOf(const Bindings& bindings, Keycode key, bool alt) {
    for (std::size_t i = 0; i < kActionCount; ++i) {
        if (IsGameAction(Action(i))) continue;
        for (const KeyChord& chord : bindings.keys[i]) {
            if (chord.key == key && chord.alt == alt) return Action(i);
        }
    }
    return std::nullopt;
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

}  // namespace host::sdl
