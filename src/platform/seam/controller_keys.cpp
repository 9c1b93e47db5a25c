// Game-controller input mapped to keys.
#include "controller_keys.h"

#include "virtual_keys.h"

namespace host {
namespace {

using vk::kDown;
using vk::kLeft;
using vk::kReturn;
using vk::kRight;
using vk::kUp;

// The sources that can hold a key, one bit each.
enum Source : unsigned {
    kSouth = 1u << 0,
    kStart = 1u << 1,
    kDPad = 1u << 2,
    kStickNegative = 1u << 3,
    kStickPositive = 1u << 4,
};

// A stick axis's direction after a move: the old one holds until the value falls back past the
// release threshold; a new one needs the press threshold.
int StickDirection(int previous, int value) {
    if (value >= kPressAt) return 1;
    if (value <= -kPressAt) return -1;
    if (previous == 1 && value > kReleaseAt) return 1;
    if (previous == -1 && value < -kReleaseAt) return -1;
    return 0;
}

}  // namespace

void ControllerKeys::Hold(int pad, unsigned source, unsigned key, bool held,
                          std::vector<KeyChange>& out) {
    Holders& holders = holders_[key];
    bool wasDown = false;
    for (const auto& [p, sources] : holders) wasDown = wasDown || sources != 0;
    unsigned& mine = holders[pad];
    mine = held ? (mine | source) : (mine & ~source);
    bool isDown = false;
    for (const auto& [p, sources] : holders) isDown = isDown || sources != 0;
    if (isDown != wasDown) out.push_back(KeyChange{key, isDown});
}

void ControllerKeys::Button(int pad, PadButton button, bool pressed, std::vector<KeyChange>& out) {
    switch (button) {
        case PadButton::South:
            Hold(pad, kSouth, kReturn, pressed, out);
            break;
        case PadButton::Start:
            Hold(pad, kStart, kReturn, pressed, out);
            break;
        case PadButton::DPadUp:
            Hold(pad, kDPad, kUp, pressed, out);
            break;
        case PadButton::DPadDown:
            Hold(pad, kDPad, kDown, pressed, out);
            break;
        case PadButton::DPadLeft:
            Hold(pad, kDPad, kLeft, pressed, out);
            break;
        case PadButton::DPadRight:
            Hold(pad, kDPad, kRight, pressed, out);
            break;
        case PadButton::Other:
            break;
    }
}

void ControllerKeys::Axis(int pad, PadAxis axis, int value, std::vector<KeyChange>& out) {
    if (axis == PadAxis::Other) return;
    const bool horizontal = axis == PadAxis::LeftX;
    int& direction = horizontal ? stickX_[pad] : stickY_[pad];
    const int now = StickDirection(direction, value);
    if (now == direction) return;
    const unsigned negativeKey = horizontal ? kLeft : kUp;
    const unsigned positiveKey = horizontal ? kRight : kDown;
    // Release before press, so a stick flicked across gives up, then down.
    if (direction == -1) Hold(pad, kStickNegative, negativeKey, false, out);
    if (direction == 1) Hold(pad, kStickPositive, positiveKey, false, out);
    if (now == -1) Hold(pad, kStickNegative, negativeKey, true, out);
    if (now == 1) Hold(pad, kStickPositive, positiveKey, true, out);
    direction = now;
}

void ControllerKeys::Removed(int pad, std::vector<KeyChange>& out) {
    for (auto& [key, holders] : holders_) {
        auto mine = holders.find(pad);
        if (mine == holders.end() || mine->second == 0) continue;
        Hold(pad, mine->second, key, false, out);
    }
    for (auto& [key, holders] : holders_) holders.erase(pad);
    stickX_.erase(pad);
    stickY_.erase(pad);
}

}  // namespace host
