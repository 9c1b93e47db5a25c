// The window system's connection (see sdl_connection.h). Apart, because SDL's window-system
// header brings Xlib's (or windows.h's) macros with it.
#include "sdl_connection.h"

#include <SDL.h>
#if defined(SDL_VIDEO_DRIVER_X11)
#include <SDL_syswm.h>
#endif

namespace sdl {

int DisplayConnection(SDL_Window* window) {
#if defined(SDL_VIDEO_DRIVER_X11)
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWindowWMInfo(window, &info) && info.subsystem == SDL_SYSWM_X11) {
        return ConnectionNumber(info.info.x11.display);
    }
#else
    (void)window;
#endif
    return -1;
}

}  // namespace sdl
