// What DirectDraw tells the rest of the platform: the colours in force on the screen.
#pragma once

#include <windows.h>

namespace platform {

// The 256 colours in force: the palette attached to the primary surface, with the twenty
// static colours at 0-9 and 246-255 while the screen is shared with the desktop. Black
// where no palette is attached.
void ColoursInForce(PALETTEENTRY out[256]);
// Bumped whenever those colours may have changed, so colour lookups can be cached.
unsigned ColoursGeneration();

}  // namespace platform
