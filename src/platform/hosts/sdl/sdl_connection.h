// The window system's connection, for a host that waits on it itself.
#pragma once

struct SDL_Window;

namespace sdl {

// The file descriptor of the X server's connection the window is on; -1 on any other window
// system (or where SDL was built without X11).
int DisplayConnection(SDL_Window* window);

}  // namespace sdl
