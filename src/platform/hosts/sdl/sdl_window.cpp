// The window system's side of the SDL host (sdl_window.h).
#include "catalog.h"
#include "sdl_window.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "sdl_window_icon.h"

namespace sdl {

bool OpenDisplay() {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "tavlo: %s\n",
                     platform::Fill(tr("no display: {1}"), {SDL_GetError()}).c_str());
        return false;
    }
    // With no display to be had SDL falls back to drawing nowhere; a player would see a game
    // that runs invisibly. Those drivers serve only when asked for by name.
    const char* driver = SDL_GetCurrentVideoDriver();
    const bool invisible =
        driver && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0);
    if (invisible && !std::getenv("SDL_VIDEODRIVER")) {
        std::fprintf(stderr, "tavlo: %s\n",
                     tr("no display (set DISPLAY or WAYLAND_DISPLAY)").c_str());
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return false;
    }
    return true;
}

SDL_Window* MakeWindow(const std::string& title, host::DisplayChoices& settings) {
    // A window larger than the display costs memory and shows nothing more.
    SDL_Rect usable;
    if (SDL_GetDisplayUsableBounds(0, &usable) == 0 && usable.w > 0 && usable.h > 0) {
        FitWindowToDisplay(settings, usable.w, usable.h);
    }
    SDL_Window* window = SDL_CreateWindow(
        title.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, settings.windowWidth,
        settings.windowHeight, SDL_WINDOW_HIDDEN | SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI);
    if (!window) {
        std::fprintf(stderr, "tavlo: %s\n",
                     platform::Fill(tr("no window: {1}"), {SDL_GetError()}).c_str());
        return nullptr;
    }
    SDL_SetWindowMinimumSize(window, 320, 240);
    if (SDL_Surface* icon = SDL_CreateRGBSurfaceWithFormatFrom(
            const_cast<std::uint32_t*>(kWindowIcon), kWindowIconSize, kWindowIconSize, 32,
            kWindowIconSize * 4, SDL_PIXELFORMAT_ARGB8888)) {
        SDL_SetWindowIcon(window, icon);
        SDL_FreeSurface(icon);
    }
    return window;
}

void PlaceWindow(SDL_Window* window, const host::DisplayChoices& settings) {
    if (settings.mode == host::WindowMode::FullScreen) {
        // Cover the display first: without a window manager to honour the full-screen request,
        // the window would otherwise keep its windowed size and place.
        SDL_Rect bounds;
        const int display = SDL_GetWindowDisplayIndex(window);
        if (SDL_GetDisplayBounds(display < 0 ? 0 : display, &bounds) == 0) {
            SDL_SetWindowPosition(window, bounds.x, bounds.y);
            SDL_SetWindowSize(window, bounds.w, bounds.h);
        }
        if (SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN_DESKTOP) != 0) {
            std::fprintf(stderr, "tavlo: %s\n",
                         platform::Fill(tr("staying in a window: {1}"), {SDL_GetError()}).c_str());
        }
    } else {
        SDL_SetWindowFullscreen(window, 0);
        SDL_SetWindowSize(window, settings.windowWidth, settings.windowHeight);
        SDL_SetWindowPosition(window, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
    }
}

}  // namespace sdl
