// SDL's keys and controller controls in the host's terms.
#include "sdl_keys.h"

#include "virtual_keys.h"

static_assert(SDL_CONTROLLER_BUTTON_DPAD_RIGHT + 1 == host::kPadButtons &&
              SDL_CONTROLLER_AXIS_TRIGGERRIGHT + 1 == host::kPadAxes);

namespace sdl {

unsigned VirtualKeyOf(SDL_Keycode key) {
    if (key >= SDLK_a && key <= SDLK_z) return static_cast<unsigned>('A' + (key - SDLK_a));
    if (key >= SDLK_0 && key <= SDLK_9) return static_cast<unsigned>('0' + (key - SDLK_0));
    if (key >= SDLK_F1 && key <= SDLK_F12)
        return host::vk::kF1 + static_cast<unsigned>(key - SDLK_F1);
    if (key >= SDLK_KP_1 && key <= SDLK_KP_9)
        return host::vk::kNumpad0 + 1 + static_cast<unsigned>(key - SDLK_KP_1);
    switch (key) {
        case SDLK_RETURN:
        case SDLK_KP_ENTER:
            return host::vk::kReturn;
        case SDLK_LCTRL:
        case SDLK_RCTRL:
            return host::vk::kControl;
        case SDLK_LSHIFT:
        case SDLK_RSHIFT:
            return host::vk::kShift;
        case SDLK_LALT:
        case SDLK_RALT:
            return host::vk::kAlt;
        case SDLK_PAUSE:
            return host::vk::kPause;
        case SDLK_ESCAPE:
            return host::vk::kEscape;
        case SDLK_SPACE:
            return host::vk::kSpace;
        case SDLK_BACKSPACE:
            return host::vk::kBack;
        case SDLK_TAB:
            return host::vk::kTab;
        case SDLK_PAGEUP:
            return host::vk::kPageUp;
        case SDLK_PAGEDOWN:
            return host::vk::kPageDown;
        case SDLK_END:
            return host::vk::kEnd;
        case SDLK_HOME:
            return host::vk::kHome;
        case SDLK_LEFT:
            return host::vk::kLeft;
        case SDLK_UP:
            return host::vk::kUp;
        case SDLK_RIGHT:
            return host::vk::kRight;
        case SDLK_DOWN:
            return host::vk::kDown;
        case SDLK_INSERT:
            return host::vk::kInsert;
        case SDLK_DELETE:
            return host::vk::kDelete;
        case SDLK_KP_0:
            return host::vk::kNumpad0;
        default:
            return 0;
    }
}

// PadButton and PadAxis follow SDL's own order.
host::PadButton PadButtonOf(Uint8 button) {
    return button < host::kPadButtons ? static_cast<host::PadButton>(button)
                                      : host::PadButton::Other;
}

host::PadAxis PadAxisOf(Uint8 axis) {
    return axis < host::kPadAxes ? static_cast<host::PadAxis>(axis) : host::PadAxis::Other;
}

host::InputEvent KeyEvent(unsigned virtualKey, Uint16 modifiers, bool down) {
    const bool system =
        (modifiers & KMOD_ALT) != 0 || virtualKey == host::vk::kAlt || virtualKey == host::vk::kF10;
    host::InputEvent event;
    event.virtualKey = virtualKey;
    if (system) {
        event.kind = down ? host::InputEvent::Kind::SysKeyDown : host::InputEvent::Kind::SysKeyUp;
    } else {
        event.kind = down ? host::InputEvent::Kind::KeyDown : host::InputEvent::Kind::KeyUp;
    }
    return event;
}

}  // namespace sdl
