// The window system's side of the SDL host: the display opened, the window made with its icon
// and put in full screen or a window as the settings say.
#pragma once

#include <SDL.h>

#include <string>

#include "settings.h"

namespace sdl {

// Opens SDL's video. False, with the reason on standard error, where there is no display; SDL's
// drivers that draw nowhere (offscreen, dummy) count only when asked for by name
// (SDL_VIDEODRIVER), so that a player never gets a game running invisibly.
bool OpenDisplay();

// A hidden, resizable window of the choices' size (made to fit the display first), with the
// game's icon; nullptr, with the reason on standard error, when SDL cannot make one.
SDL_Window* MakeWindow(const std::string& title, host::DisplayChoices& choices);

// Full screen (covering the display, even without a window manager to honour the request) or a
// window of the choices' size, centred.
void PlaceWindow(SDL_Window* window, const host::DisplayChoices& choices);

}  // namespace sdl
