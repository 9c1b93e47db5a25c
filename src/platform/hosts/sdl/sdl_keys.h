// SDL's keys and controller controls as the host hands them on: pure functions of SDL's numbers,
// so that the mapping is checked without a keyboard or a controller.
#pragma once

#include <SDL.h>

#include "controller_keys.h"
#include "host.h"

namespace sdl {

// The Windows virtual-key code of an SDL key; 0 for a key the game never hears of.
unsigned VirtualKeyOf(SDL_Keycode key);

// A key going down or up, as Windows sends it: Alt combinations and F10 are system keys.
host::InputEvent KeyEvent(unsigned virtualKey, Uint16 modifiers, bool down);

// A controller's button and axis in the standard layout, as ControllerKeys knows them.
host::PadButton PadButtonOf(Uint8 button);
host::PadAxis PadAxisOf(Uint8 axis);

}  // namespace sdl
