// Game controllers as keys: the D-pad and the left stick give the arrow keys, the south button
// (A) and Start give Enter. A pure state machine fed with button and axis changes, so that the
// mapping can be checked without a controller.
#pragma once

#include <map>
#include <vector>

namespace host {

enum class PadButton { South, Start, DPadUp, DPadDown, DPadLeft, DPadRight, Other };
enum class PadAxis { LeftX, LeftY, Other };

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

    std::map<unsigned, Holders> holders_;  // virtual key → pad → sources
    std::map<int, int> stickX_;            // pad → −1, 0, 1
    std::map<int, int> stickY_;
};

}  // namespace host
