// Windows virtual-key codes, for the hosts: the one table of the numbers the game's keys arrive
// as (the game itself has them from <windows.h>), and the names input scripts may use.
#pragma once

#include <string_view>

namespace host::vk {

inline constexpr unsigned kBack = 0x08;
inline constexpr unsigned kTab = 0x09;
inline constexpr unsigned kReturn = 0x0D;
inline constexpr unsigned kShift = 0x10;
inline constexpr unsigned kControl = 0x11;
inline constexpr unsigned kAlt = 0x12;  // VK_MENU
inline constexpr unsigned kPause = 0x13;
inline constexpr unsigned kEscape = 0x1B;
inline constexpr unsigned kSpace = 0x20;
inline constexpr unsigned kPageUp = 0x21;
inline constexpr unsigned kPageDown = 0x22;
inline constexpr unsigned kEnd = 0x23;
inline constexpr unsigned kHome = 0x24;
inline constexpr unsigned kLeft = 0x25;
inline constexpr unsigned kUp = 0x26;
inline constexpr unsigned kRight = 0x27;
inline constexpr unsigned kDown = 0x28;
inline constexpr unsigned kInsert = 0x2D;
inline constexpr unsigned kDelete = 0x2E;
inline constexpr unsigned kNumpad0 = 0x60;
inline constexpr unsigned kF1 = 0x70;  // F1..F12 follow one another
inline constexpr unsigned kF10 = 0x79;
inline constexpr unsigned kF11 = 0x7A;
inline constexpr unsigned kF12 = 0x7B;

// The named keys of input scripts (A-Z, 0-9 and F1-F12 are their own characters and numbers).
struct NamedKey {
    std::string_view name;
    unsigned code;
};
inline constexpr NamedKey kScriptNames[] = {
    {"RETURN", kReturn}, {"CONTROL", kControl}, {"PAUSE", kPause},
    {"ESCAPE", kEscape}, {"SPACE", kSpace},     {"LEFT", kLeft},
    {"UP", kUp},         {"RIGHT", kRight},     {"DOWN", kDown},
};

}  // namespace host::vk
