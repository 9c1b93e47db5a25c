// Which keys and controller controls do what: the game's keys (the arrows, Enter, Ctrl's skip,
// Pause) and the host's own (full screen, scaling, screenshot). Kept in settings.conf as
// `key.left=Left,A,H` and `pad.enter=A,Start`: SDL's names, any case, several to an action.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "controller_keys.h"

namespace host::sdl {

// The game's actions first (each reaches the game as its own virtual key), then the host's.
enum class Action { Left, Right, Up, Down, Enter, Skip, Pause, FullScreen, Scaling, Screenshot };
inline constexpr std::size_t kActionCount = 10;

// An SDL_Keycode (kept out of this header, which the settings' users include).
using Keycode = std::int32_t;

// A key, with or without Alt held (only the host's actions tell the two apart).
struct KeyChord {
    Keycode key = 0;
    bool alt = false;
    bool operator==(const KeyChord&) const = default;
};

// A controller's button, or one direction of one of its axes (SDL's standard layout).
struct PadControl {
    enum class Kind { Button, AxisMinus, AxisPlus };
    Kind kind = Kind::Button;
    int index = 0;  // SDL_GameControllerButton or SDL_GameControllerAxis
    bool operator==(const PadControl&) const = default;
};

struct Bindings {
    std::array<std::vector<KeyChord>, kActionCount> keys;
    std::array<std::vector<PadControl>, kActionCount> pads;  // the game's actions only
    bool operator==(const Bindings&) const = default;
};

// Left, Right, Up, Down; Return and Keypad Enter; both Ctrls; Pause; Alt+Return (and Alt+Keypad
// Enter) for full screen; F11 and F9 for scaling (window managers often keep F11 for their own
// full screen); F12 for a screenshot. Controllers: the D-pad and the left stick, A and Start.
Bindings DefaultBindings();

// The action's name in the settings: "left", "fullscreen", ...
const char* ActionName(Action action);
// The virtual key the game gets for one of its actions; 0 for the host's own.
unsigned ActionVirtualKey(Action action);

// Reads the setting `name=value` into `bindings` when name is `key.ACTION` or `pad.ACTION`;
// false when it is not. The names in value are separated by commas; each one that is not a key
// (or control) SDL knows is skipped and added to `unknown`. A key bound here is taken from any
// action that had it; a list that leaves its own action with nothing keeps the action's keys.
bool ParseBinding(const std::string& name, const std::string& value, Bindings& bindings,
                  std::vector<std::string>& unknown);
// Gives each action that ended with no key (or control) those of its defaults that no other
// action has taken; returns the names of the actions that still have no key.
std::vector<std::string> FillFromDefaults(Bindings& bindings);
// The settings' lines for every action, in the order ParseBinding reads them.
std::string FormatBindings(const Bindings& bindings);

// The virtual key the game gets for an SDL key: its action's when the key is bound to one of the
// game's actions; none (0) when it is by default one of the game's keys but now bound to none, or
// a key the game never hears of; its own otherwise.
unsigned GameKeyOf(const Bindings& bindings, Keycode key);
// The host action a key from an input script (a virtual key, no Alt) stands for, if any.
std::optional<Action> HostActionOfVirtualKey(const Bindings& bindings, unsigned virtualKey);
// What a key does: the game action it is bound to, if any.
std::optional<Action> GameActionOf(const Bindings& bindings, Keycode key);
// The host action a key pressed with (or without) Alt is bound to, if any.
std::optional<Action> HostActionOf(const Bindings& bindings, Keycode key, bool alt);
// What each controller control gives the game, as ControllerKeys takes it.
PadMap PadMapOf(const Bindings& bindings);

}  // namespace host::sdl
