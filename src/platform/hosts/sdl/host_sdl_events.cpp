// What SDL's events mean to the SDL host (host_sdl_impl.h): keys through the player's bindings
// and the host's own actions (full screen, scaling, screenshots), controllers, the window's
// events, and the pause while the window is out of the player's reach.
#include <SDL.h>

#include <ctime>

#include "catalog.h"
#include "host_sdl_impl.h"
#include "sdl_keys.h"
#include "sdl_screenshot.h"

namespace sdl {

using platform::MonotonicNanoseconds;

bool SdlHost::EndsTheWait(const SDL_Event& e) {
    const std::int64_t origin = origin_;
    std::vector<host::KeyChange> changes;
    Translate(e, changes);
    return !pending_.empty() || origin_ != origin;
}

bool SdlHost::Poll() {
    const std::int64_t origin = origin_;
    PollAll();
    return !pending_.empty() || origin_ != origin;
}

void SdlHost::HostAction(sdl::Action action) {
    if (action == sdl::Action::FullScreen) {
        settings_.mode = settings_.mode == host::WindowMode::FullScreen
                             ? host::WindowMode::Window
                             : host::WindowMode::FullScreen;
        saved_.mode = settings_.mode;
        ApplyWindowMode();
        KeepChoices();
    } else if (action == sdl::Action::Scaling) {
        settings_.scaling = settings_.scaling == host::Scaling::Sharp ? host::Scaling::Smooth
                                                                      : host::Scaling::Sharp;
        saved_.scaling = settings_.scaling;
        presenter_.SetScaling(settings_.scaling);
        presenter_.Draw();
        KeepChoices();
    } else if (action == sdl::Action::Screenshot) {
        TakeScreenshot();
    }
}

void SdlHost::TakeScreenshot() {
    host::ScreenImage image;
    if (!presenter_.Shown(image)) return;
    const std::string path =
        sdl::SaveScreenshot(sdl::ScreenshotFolder(), image, std::time(nullptr));
    if (path.empty()) {
        std::fprintf(stderr, "tavlo: %s\n", tr("the screenshot could not be saved").c_str());
    } else {
        std::fprintf(stderr, "tavlo: %s\n", platform::Fill(tr("screenshot {1}"), {path}).c_str());
    }
}

void SdlHost::PushKeys(const std::vector<host::KeyChange>& changes) {
    for (const host::KeyChange& change : changes) {
        pending_.push_back(
            {change.down ? host::InputEvent::Kind::KeyDown : host::InputEvent::Kind::KeyUp,
             change.virtualKey});
    }
}

void SdlHost::WindowEvent(const SDL_WindowEvent& window) {
    switch (window.event) {
        case SDL_WINDOWEVENT_CLOSE:
            pending_.push_back({host::InputEvent::Kind::Close, 0});
            break;
        case SDL_WINDOWEVENT_RESIZED:
            // A size the player gave the window is kept for next time.
            if (settings_.mode == host::WindowMode::Window &&
                !(SDL_GetWindowFlags(window_) &
                  (SDL_WINDOW_FULLSCREEN | SDL_WINDOW_MAXIMIZED | SDL_WINDOW_MINIMIZED)) &&
                window.data1 >= 320 && window.data2 >= 240 &&
                (window.data1 != settings_.windowWidth || window.data2 != settings_.windowHeight)) {
                settings_.windowWidth = saved_.windowWidth = window.data1;
                settings_.windowHeight = saved_.windowHeight = window.data2;
                KeepChoices();
            }
            presenter_.Draw();
            break;
        case SDL_WINDOWEVENT_EXPOSED:
        case SDL_WINDOWEVENT_SIZE_CHANGED:
        case SDL_WINDOWEVENT_RESTORED:
        case SDL_WINDOWEVENT_SHOWN:
        case SDL_WINDOWEVENT_MAXIMIZED:
            // The picture is kept, so whatever uncovered the window, it is there again.
            presenter_.Draw();
            break;
        default:
            break;
    }
}

bool SdlHost::LosesThePlayer(const SDL_Event& e) {
    return e.type == SDL_WINDOWEVENT && (e.window.event == SDL_WINDOWEVENT_FOCUS_LOST ||
                                         e.window.event == SDL_WINDOWEVENT_MINIMIZED);
}

void SdlHost::PauseUntilFocusReturns() {
    const std::int64_t pausedAt = MonotonicNanoseconds();
    if (window_) {
        // TRANSLATORS: the window's title while the game stands still; {1} is its usual title.
        SDL_SetWindowTitle(window_, platform::Fill(tr("{1} (paused)"), {TitleOrName()}).c_str());
    }
    bool minimised = window_ && (SDL_GetWindowFlags(window_) & SDL_WINDOW_MINIMIZED);
    bool focused = false;
    SDL_Event e;
    while (!(focused && !minimised) && !host::StopRequested()) {
        if (!SDL_WaitEventTimeout(&e, 100)) continue;
        if (e.type == SDL_QUIT ||
            (e.type == SDL_WINDOWEVENT && e.window.event == SDL_WINDOWEVENT_CLOSE)) {
            pending_.push_back({host::InputEvent::Kind::Close, 0});
            break;
        }
        // Keys let go meanwhile still reach the game; nothing else from keys or pads does.
        if (e.type == SDL_KEYUP) {
            if (const unsigned vk = keys_.Of(e.key.keysym.sym).gameKey) {
                pending_.push_back(sdl::KeyEvent(vk, e.key.keysym.mod, false));
            }
        }
        if (e.type != SDL_WINDOWEVENT) continue;
        if (e.window.event == SDL_WINDOWEVENT_FOCUS_GAINED) focused = true;
        if (e.window.event == SDL_WINDOWEVENT_FOCUS_LOST) focused = false;
        minimised = e.window.event == SDL_WINDOWEVENT_MINIMIZED ||
                    (window_ && (SDL_GetWindowFlags(window_) & SDL_WINDOW_MINIMIZED));
        WindowEvent(e.window);
    }
    origin_ += MonotonicNanoseconds() - pausedAt;
    if (window_) SDL_SetWindowTitle(window_, TitleOrName().c_str());
}

void SdlHost::PollAll() {
    lastPoll_ = MonotonicNanoseconds();
    SDL_Event e;
    std::vector<host::KeyChange> changes;
    while (SDL_PollEvent(&e)) Translate(e, changes);
}

void SdlHost::Translate(const SDL_Event& e, std::vector<host::KeyChange>& changes) {
    if (pauseOnFocusLoss_ && LosesThePlayer(e)) {
        PauseUntilFocusReturns();
        return;
    }
    changes.clear();
    if (controllers_->Handle(e, changes)) {
        PushKeys(changes);
        return;
    }
    switch (e.type) {
        case SDL_QUIT:
            pending_.push_back({host::InputEvent::Kind::Close, 0});
            break;
        case SDL_WINDOWEVENT:
            WindowEvent(e.window);
            break;
        case SDL_RENDER_TARGETS_RESET:
        case SDL_RENDER_DEVICE_RESET:
            // Texture contents are gone: convert the kept picture again.
            presenter_.TexturesLost();
            presenter_.Draw();
            break;
        case SDL_MOUSEMOTION:
            pending_.push_back({host::InputEvent::Kind::MouseOver, 0});
            break;
        case SDL_KEYDOWN:
        case SDL_KEYUP: {
            const bool down = e.type == SDL_KEYDOWN;
            const bool alt = (e.key.keysym.mod & KMOD_ALT) != 0;
            const host::KeyUse& use = keys_.Of(e.key.keysym.sym);
            if (down && !e.key.repeat) {
                if (const auto action = alt ? use.withAlt : use.plain) HostAction(*action);
            }
            if (use.gameKey != 0) {
                pending_.push_back(sdl::KeyEvent(use.gameKey, e.key.keysym.mod, down));
            }
            break;
        }
        default:
            break;
    }
}

}  // namespace sdl
