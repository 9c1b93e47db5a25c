// SDL's keys and controller controls in the host's terms.
#include "sdl_keys.h"

#include "virtual_keys.h"

static_assert(SDL_CONTROLLER_BUTTON_DPAD_RIGHT + 1 == host::kPadButtons &&
              SDL_CONTROLLER_AXIS_TRIGGERRIGHT + 1 == host::kPadAxes);

namespace host::sdl {

unsigned VirtualKeyOf(SDL_Keycode key) {
    if (key >= SDLK_a && key <= SDLK_z) return static_cast<unsigned>('A' + (key - SDLK_a));
    if (key >= SDLK_0 && key <= SDLK_9) return static_cast<unsigned>('0' + (key - SDLK_0));
    if (key >= SDLK_F1 && key <= SDLK_F12) return vk::kF1 + static_cast<unsigned>(key - SDLK_F1);
    if (key >= SDLK_KP_1 && key <= SDLK_KP_9)
        return vk::kNumpad0 + 1 + static_cast<unsigned>(key - SDLK_KP_1);
    switch (key) {
        case SDLK_RETURN:
        case SDLK_KP_ENTER:
            return vk::kReturn;
        case SDLK_LCTRL:
        case SDLK_RCTRL:
            return vk::kControl;
        case SDLK_LSHIFT:
        case SDLK_RSHIFT:
            return vk::kShift;
        case SDLK_LALT:
        case SDLK_RALT:
            return vk::kAlt;
        case SDLK_PAUSE:
            return vk::kPause;
        case SDLK_ESCAPE:
            return vk::kEscape;
        case SDLK_SPACE:
            return vk::kSpace;
        case SDLK_BACKSPACE:
            return vk::kBack;
        case SDLK_TAB:
            return vk::kTab;
        case SDLK_PAGEUP:
            return vk::kPageUp;
        case SDLK_PAGEDOWN:
            return vk::kPageDown;
        case SDLK_END:
            return vk::kEnd;
        case SDLK_HOME:
            return vk::kHome;
        case SDLK_LEFT:
            return vk::kLeft;
        case SDLK_UP:
            return vk::kUp;
        case SDLK_RIGHT:
            return vk::kRight;
        case SDLK_DOWN:
            return vk::kDown;
        case SDLK_INSERT:
            return vk::kInsert;
        case SDLK_DELETE:
            return vk::kDelete;
        case SDLK_KP_0:
            return vk::kNumpad0;
        default:
            return 0;
    }
}

// PadButton and PadAxis follow SDL's own order.
PadButton PadButtonOf(Uint8 button) {
    return button < kPadButtons ? static_cast<PadButton>(button) : PadButton::Other;
}

PadAxis PadAxisOf(Uint8 axis) {
    return axis < kPadAxes ? static_cast<PadAxis>(axis) : PadAxis::Other;
}

InputEvent KeyEvent(unsigned virtualKey, Uint16 modifiers, bool down) {
    const bool system =
        (modifiers & KMOD_ALT) != 0 || virtualKey == vk::kAlt || virtualKey == vk::kF10;
    InputEvent event;
    event.virtualKey = virtualKey;
    if (system) {
        event.kind = down ? InputEvent::Kind::SysKeyDown : InputEvent::Kind::SysKeyUp;
    } else {
        event.kind = down ? InputEvent::Kind::KeyDown : InputEvent::Kind::KeyUp;
    }
    return event;
}

}  // namespace host::sdl
