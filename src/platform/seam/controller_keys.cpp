// Game-controller input mapped to keys.
#include "controller_keys.h"

#include "virtual_keys.h"

namespace host {
namespace {

// The sources that can hold a key, one bit each: the buttons, then each axis's two ways.
unsigned ButtonSource(std::size_t button) {
    return 1u << button;
}
unsigned AxisSource(std::size_t axis, bool positive) {
    return 1u << (kPadButtons + 2 * axis + (positive ? 1 : 0));
}

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

PadMap PadMap::Default() {
    PadMap map;
    const auto button = [&](PadButton b, unsigned key) {
        map.buttons[static_cast<std::size_t>(b)] = key;
    };
    button(PadButton::South, vk::kReturn);
    button(PadButton::Start, vk::kReturn);
    button(PadButton::DPadUp, vk::kUp);
    button(PadButton::DPadDown, vk::kDown);
    button(PadButton::DPadLeft, vk::kLeft);
    button(PadButton::DPadRight, vk::kRight);
    map.negative[static_cast<std::size_t>(PadAxis::LeftX)] = vk::kLeft;
    map.positive[static_cast<std::size_t>(PadAxis::LeftX)] = vk::kRight;
    map.negative[static_cast<std::size_t>(PadAxis::LeftY)] = vk::kUp;
    map.positive[static_cast<std::size_t>(PadAxis::LeftY)] = vk::kDown;
    return map;
}

void ControllerKeys::Hold(int pad, unsigned source, unsigned key, bool held,
                          std::vector<KeyChange>& out) {
    if (key == 0) return;
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
    if (button == PadButton::Other) return;
    const auto index = static_cast<std::size_t>(button);
    Hold(pad, ButtonSource(index), map_.buttons[index], pressed, out);
}

void ControllerKeys::Axis(int pad, PadAxis axis, int value, std::vector<KeyChange>& out) {
    if (axis == PadAxis::Other) return;
    const auto index = static_cast<std::size_t>(axis);
    auto found = direction_.find(pad);
    if (found == direction_.end())
        found = direction_.emplace(pad, std::array<int, kPadAxes>{}).first;
    int& direction = found->second[index];
    const int now = StickDirection(direction, value);
    if (now == direction) return;
    // Release before press, so a stick flicked across gives up, then down.
    if (direction == -1) Hold(pad, AxisSource(index, false), map_.negative[index], false, out);
    if (direction == 1) Hold(pad, AxisSource(index, true), map_.positive[index], false, out);
    if (now == -1) Hold(pad, AxisSource(index, false), map_.negative[index], true, out);
    if (now == 1) Hold(pad, AxisSource(index, true), map_.positive[index], true, out);
    direction = now;
}

void ControllerKeys::Removed(int pad, std::vector<KeyChange>& out) {
    for (auto& [key, holders] : holders_) {
        auto mine = holders.find(pad);
        if (mine == holders.end() || mine->second == 0) continue;
        Hold(pad, mine->second, key, false, out);
    }
    for (auto& [key, holders] : holders_) holders.erase(pad);
    direction_.erase(pad);
}

}  // namespace host
