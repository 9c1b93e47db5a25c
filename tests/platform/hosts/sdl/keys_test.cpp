// SDL's keys and controller controls as the Windows keys the game hears.
#include <gtest/gtest.h>

#include "sdl_keys.h"

using host::InputEvent;
using host::PadAxis;
using host::PadButton;
using namespace host::sdl;

namespace {

TEST(SdlKeys, VirtualKeys) {
    const struct {
        SDL_Keycode key;
        unsigned vk;
    } cases[] = {
        {SDLK_a, 'A'},       {SDLK_z, 'Z'},     {SDLK_0, '0'},       {SDLK_9, '9'},
        {SDLK_F1, 0x70},     {SDLK_F12, 0x7B},  {SDLK_RETURN, 0x0D}, {SDLK_KP_ENTER, 0x0D},
        {SDLK_KP_0, 0x60},   {SDLK_KP_1, 0x61}, {SDLK_KP_9, 0x69},   {SDLK_RCTRL, 0x11},
        {SDLK_RSHIFT, 0x10}, {SDLK_RALT, 0x12}, {SDLK_PAUSE, 0x13},  {SDLK_ESCAPE, 0x1B},
        {SDLK_SPACE, 0x20},  {SDLK_LEFT, 0x25}, {SDLK_DOWN, 0x28},   {SDLK_DELETE, 0x2E},
        {SDLK_CAPSLOCK, 0},  {SDLK_F13, 0},     {SDLK_KP_PERIOD, 0},
    };
    for (const auto& c : cases) EXPECT_EQ(VirtualKeyOf(c.key), c.vk) << SDL_GetKeyName(c.key);
}

TEST(SdlKeys, SystemKeysAsWindowsSendsThem) {
    using Kind = InputEvent::Kind;
    const struct {
        unsigned vk;
        Uint16 modifiers;
        bool down;
        Kind kind;
    } cases[] = {
        {'A', KMOD_NONE, true, Kind::KeyDown},     {'A', KMOD_LSHIFT, false, Kind::KeyUp},
        {0x0D, KMOD_RALT, true, Kind::SysKeyDown}, {0x0D, KMOD_LALT, false, Kind::SysKeyUp},
        {0x12, KMOD_NONE, true, Kind::SysKeyDown}, {0x79, KMOD_NONE, false, Kind::SysKeyUp},
        {0x7A, KMOD_LCTRL, true, Kind::KeyDown},
    };
    for (const auto& c : cases) {
        const InputEvent event = KeyEvent(c.vk, c.modifiers, c.down);
        EXPECT_EQ(event.kind, c.kind) << c.vk;
        EXPECT_EQ(event.virtualKey, c.vk);
    }
}

TEST(SdlKeys, ControllerControls) {
    EXPECT_EQ(PadButtonOf(SDL_CONTROLLER_BUTTON_A), PadButton::South);
    EXPECT_EQ(PadButtonOf(SDL_CONTROLLER_BUTTON_START), PadButton::Start);
    EXPECT_EQ(PadButtonOf(SDL_CONTROLLER_BUTTON_DPAD_UP), PadButton::DPadUp);
    EXPECT_EQ(PadButtonOf(SDL_CONTROLLER_BUTTON_DPAD_DOWN), PadButton::DPadDown);
    EXPECT_EQ(PadButtonOf(SDL_CONTROLLER_BUTTON_DPAD_LEFT), PadButton::DPadLeft);
    EXPECT_EQ(PadButtonOf(SDL_CONTROLLER_BUTTON_DPAD_RIGHT), PadButton::DPadRight);
    EXPECT_EQ(PadButtonOf(SDL_CONTROLLER_BUTTON_B), PadButton::East);
    EXPECT_EQ(PadButtonOf(SDL_CONTROLLER_BUTTON_MISC1), PadButton::Other);
    EXPECT_EQ(PadAxisOf(SDL_CONTROLLER_AXIS_LEFTX), PadAxis::LeftX);
    EXPECT_EQ(PadAxisOf(SDL_CONTROLLER_AXIS_LEFTY), PadAxis::LeftY);
    EXPECT_EQ(PadAxisOf(SDL_CONTROLLER_AXIS_RIGHTX), PadAxis::RightX);
    EXPECT_EQ(PadAxisOf(SDL_CONTROLLER_AXIS_TRIGGERRIGHT), PadAxis::RightTrigger);
    EXPECT_EQ(PadAxisOf(SDL_CONTROLLER_AXIS_MAX), PadAxis::Other);
}

}  // namespace
