// Which keys and controller controls do what, for every host: the game's keys (the arrows,
// Enter, Ctrl's skip, Pause) and the host's own (full screen, scaling, screenshot). Kept in
// settings.conf (or the page's storage) as `key.left=Left,A,H` and `pad.enter=A,Start`: keys by
// SDL's names, controls by SDL's standard layout names, any case, several to an action. A key
// (or control) does one thing: bound to an action it is taken from any other; an action left
// with nothing keeps those of its defaults no other action took.
//
// Keys are held by name. Each host knows its own keys (KeyNames): the SDL host asks SDL, the
// page has a table of the browser's keys under the same names. Each resolves its keys once,
// when the bindings are read, into a table of what each key does (ResolveKey).
#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "controller_keys.h"

namespace host {

// The game's actions first (each reaches the game as its own virtual key), then the host's.
enum class Action { Left, Right, Up, Down, Enter, Skip, Pause, FullScreen, Scaling, Screenshot };
inline constexpr std::size_t kActionCount = 10;

// A key by its name as the host spells it ("Left", "Keypad Enter"), with or without Alt held
// (only the host's actions tell the two apart).
struct KeyChord {
    std::string key;
    bool alt = false;
    bool operator==(const KeyChord&) const = default;
};

// A controller's button, or one direction of one of its axes (the standard layout).
struct PadControl {
    enum class Kind { Button, AxisMinus, AxisPlus };
    Kind kind = Kind::Button;
    int index = 0;  // a PadButton or PadAxis
    bool operator==(const PadControl&) const = default;
};

struct Bindings {
    std::array<std::vector<KeyChord>, kActionCount> keys;
    std::array<std::vector<PadControl>, kActionCount> pads;  // the game's actions only
    bool operator==(const Bindings&) const = default;
};

// A key name as the player wrote it (any case) in the host's own spelling; empty for a key the
// host does not know.
using KeyNames = std::function<std::string(const std::string& name)>;

// Left, Right, Up, Down; Return and Keypad Enter; both Ctrls; Pause; Alt+Return (and Alt+Keypad
// Enter) for full screen; F11 and F9 for scaling (window managers often keep F11 for their own
// full screen); F12 for a screenshot. Controllers: the D-pad and the left stick, A and Start.
Bindings DefaultBindings();

// Reads the setting `name=value` into `bindings` when name is `key.ACTION` or `pad.ACTION`;
// false when it is not. The names in value are separated by commas; each one that is not a key
// `names` knows (or a control) is skipped and added to `unknown`. A key bound here is taken from
// any action that had it; a list that leaves its own action with nothing keeps the action's keys.
bool ParseBinding(const std::string& name, const std::string& value, const KeyNames& names,
                  Bindings& bindings, std::vector<std::string>& unknown);
// Gives each action that ended with no key (or control) those of its defaults that no other
// action has taken; returns the names of the actions that still have no key.
std::vector<std::string> FillFromDefaults(Bindings& bindings);
// The settings' lines for every action, in the order ParseBinding reads them.
std::string FormatBindings(const Bindings& bindings);

// The virtual key the game gets for the key `key` (whose own virtual key is `own`; 0 for a key
// the game never hears of): its action's when the key is bound to one of the game's actions;
// none (0) when it is by default one of the game's keys but now bound to none; its own otherwise.
unsigned GameKeyOf(const Bindings& bindings, const std::string& key, unsigned own);
// The host action a key pressed with (or without) Alt is bound to, if any.
std::optional<Action> HostActionOf(const Bindings& bindings, const std::string& key, bool alt);
// The host action a key from an input script (a virtual key, no Alt) stands for, if any;
// `virtualKeyOf` gives a key name's own virtual key.
std::optional<Action> HostActionOfVirtualKey(
    const Bindings& bindings, unsigned virtualKey,
    const std::function<unsigned(const std::string&)>& virtualKeyOf);
// What one key does, resolved from the bindings once so that a host looks a key up in a table
// instead of reading the bindings again at each press.
struct KeyUse {
    unsigned gameKey = 0;           // the virtual key the game gets (GameKeyOf); 0 for none
    std::optional<Action> plain;    // the host action it stands for alone
    std::optional<Action> withAlt;  //   and with Alt held
    bool boundToGame = false;       // bound to one of the game's actions
    bool operator==(const KeyUse&) const = default;
    bool Does() const { return gameKey != 0 || plain || withAlt; }
};
// What the key `key` (by the host's name; its own virtual key `own`, 0 for a key the game never
// hears of) does under `bindings`.
KeyUse ResolveKey(const Bindings& bindings, const std::string& key, unsigned own);
// What each controller control gives the game, as ControllerKeys takes it.
PadMap PadMapOf(const Bindings& bindings);

}  // namespace host
