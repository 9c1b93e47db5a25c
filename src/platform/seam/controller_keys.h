// Game controllers as keys: by default the D-pad and the left stick give the arrow keys, the
// south button (A) and Start give Enter; the player may bind any button or stick direction to
// any key (PadMap). A key held by several controls or pads goes up when the last lets go. A pure
// state machine fed with button and axis changes, so that the mapping can be checked without a
// controller.
#pragma once

#include <array>
#include <cstddef>
#include <map>
#include <vector>

namespace host {

// The standard layout's buttons and axes, in SDL's order.
enum class PadButton {
    South,
    East,
    West,
    North,
    Back,
    Guide,
    Start,
    LeftStick,
    RightStick,
    LeftShoulder,
    RightShoulder,
    DPadUp,
    DPadDown,
    DPadLeft,
    DPadRight,
    Other
};
enum class PadAxis { LeftX, LeftY, RightX, RightY, LeftTrigger, RightTrigger, Other };
inline constexpr std::size_t kPadButtons = static_cast<std::size_t>(PadButton::Other);
inline constexpr std::size_t kPadAxes = static_cast<std::size_t>(PadAxis::Other);

// The virtual key each control gives; 0 for none. An axis has a key each way (y grows
// downwards; a trigger only pulls the positive way).
struct PadMap {
    std::array<unsigned, kPadButtons> buttons{};
    std::array<unsigned, kPadAxes> negative{};
    std::array<unsigned, kPadAxes> positive{};
    // The D-pad and the left stick are the arrows, South and Start are Enter.
    static PadMap Default();
};

// A key going down or up, as the Windows virtual-key code.
struct KeyChange {
    unsigned virtualKey = 0;
    bool down = false;
    bool operator==(const KeyChange&) const = default;
};

// The stick must pass kPressAt to press a direction and fall back below kReleaseAt to release it:
// the gap between the two keeps a stick resting near the threshold from chattering.
constexpr int kPressAt = 16000;
constexpr int kReleaseAt = 10000;

class ControllerKeys {
  public:
    // Which keys the controls give from now on (before any control is held).
    void SetMap(const PadMap& map) { map_ = map; }
    // A button of controller `pad` changed. Appends the key changes it causes.
    void Button(int pad, PadButton button, bool pressed, std::vector<KeyChange>& out);
    // An axis of controller `pad` moved to `value` (−32768..32767; y grows downwards).
    void Axis(int pad, PadAxis axis, int value, std::vector<KeyChange>& out);
    // Controller `pad` went away: whatever it held is released.
    void Removed(int pad, std::vector<KeyChange>& out);

  private:
    // What holds a key down: one bit per pad control.
    using Holders = std::map<int, unsigned>;
    void Hold(int pad, unsigned source, unsigned key, bool held, std::vector<KeyChange>& out);

    PadMap map_ = PadMap::Default();
    std::map<unsigned, Holders> holders_;                 // virtual key → pad → sources
    std::map<int, std::array<int, kPadAxes>> direction_;  // pad → per axis −1, 0, 1
};

}  // namespace host
