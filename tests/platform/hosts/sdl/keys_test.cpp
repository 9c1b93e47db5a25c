// SDL's keys and controller controls as the Windows keys the game hears, through the bindings'
// key map.
#include <gtest/gtest.h>

#include <vector>

#include "host_sdl.h"
#include "sdl_bindings.h"
#include "sdl_keys.h"
#include "settings.h"
#include "virtual_keys.h"

using host::Action;
using host::InputEvent;
using host::KeyUse;
using host::PadAxis;
using host::PadButton;
using namespace sdl;

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

host::Bindings BindingsOf(const char* text) {
    std::vector<platform::Said> notes;
    return host::ParseSettings(text, sdl::SdlKeyName, notes).bindings;
}

// What a key does, looked up by its code, as the bindings say it by name.
TEST(SdlKeyMap, KeysDoWhatTheirNamesAreBoundTo) {
    namespace vk = host::vk;
    const auto F = Action::FullScreen;
    const auto S = Action::Scaling;
    const struct {
        const char* settings;
        SDL_Keycode key;
        KeyUse use;
    } cases[] = {
        {"", SDLK_LEFT, {vk::kLeft, {}, {}, true}},
        {"", SDLK_RETURN, {vk::kReturn, {}, F, true}},
        {"", SDLK_KP_ENTER, {vk::kReturn, {}, F, true}},
        {"", SDLK_RCTRL, {vk::kControl, {}, {}, true}},
        {"", SDLK_F11, {vk::kF1 + 10, S, {}, false}},
        {"", SDLK_F12, {vk::kF1 + 11, Action::Screenshot, {}, false}},
        {"", SDLK_a, {'A', {}, {}, false}},
        {"", SDLK_CAPSLOCK, {}},
        {"key.left=A", SDLK_a, {vk::kLeft, {}, {}, true}},
        {"key.left=A", 'A', {vk::kLeft, {}, {}, true}},  // a code SDL names alike
        {"key.left=A", SDLK_LEFT, {}},  // one of the game's keys, now bound to none
        {"key.enter=Keypad 5", SDLK_KP_5, {vk::kReturn, {}, {}, true}},
        {"key.scaling=alt+s", SDLK_s, {'S', {}, S, false}},
        {"key.scaling=alt+s", SDLK_F11, {vk::kF1 + 10, {}, {}, false}},
        {"key.fullscreen=Menu", SDLK_MENU, {0, F, {}, false}},
        {"key.down=é", 0xE9, {vk::kDown, {}, {}, true}},
        {"key.down=é", 0xC9, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.settings) + " " + SDL_GetKeyName(c.key));
        const KeyMap map(BindingsOf(c.settings));
        EXPECT_EQ(map.Of(c.key), c.use);
    }
    const KeyMap defaults(host::DefaultBindings());
    EXPECT_EQ(defaults.HostActionOfVirtualKey(vk::kF1 + 10), S);  // a script's F11
    EXPECT_EQ(defaults.HostActionOfVirtualKey(vk::kF1 + 11), Action::Screenshot);
    EXPECT_EQ(defaults.HostActionOfVirtualKey(vk::kReturn), std::nullopt);  // Alt+ only
    EXPECT_EQ(defaults.HostActionOfVirtualKey(0x1234), std::nullopt);
}

// The table made once says of every key code what the bindings say of its name.
TEST(SdlKeyMap, AgreesWithTheBindingsForEveryCode) {
    for (const char* settings : {"", "key.left=a,keypad 4\nkey.scaling=Alt+Left,Return\n",
                                 "key.down=é,Return\nkey.skip=F12"}) {
        SCOPED_TRACE(settings);
        const host::Bindings bindings = BindingsOf(settings);
        const KeyMap map(bindings);
        std::vector<SDL_Keycode> codes = {0xE9, 0xC9, 0xDF, 0x3042};
        for (SDL_Keycode c = 1; c < 256; ++c) codes.push_back(c);
        for (int s = 1; s < SDL_NUM_SCANCODES; ++s) codes.push_back(SDL_SCANCODE_TO_KEYCODE(s));
        for (const SDL_Keycode code : codes) {
            EXPECT_EQ(map.Of(code),
                      host::ResolveKey(bindings, SDL_GetKeyName(code), VirtualKeyOf(code)))
                << SDL_GetKeyName(code);
        }
    }
}

}  // namespace
