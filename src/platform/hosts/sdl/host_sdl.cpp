// The SDL2 host: a real window. The game's screen is shown full screen (desktop full screen) or
// in a resizable window, at the largest whole factor or smoothly filled, as the player chose
// (the settings the entry read); keys and game controllers arrive as Windows virtual-key codes,
// through the player's bindings. While the game spins on its clock the host sleeps until input
// arrives or the game's next frame is due, and presents at most once per change of the screen, in
// the same wake as the change, without waiting for the display's refresh.
//
// This file is the clock, the game's frames and waits, the window and its dialogs; SDL's events
// are host_sdl_events.cpp's. The picture is drawn by the presenter (sdl_presenter), the sleep
// between frames is sdl_wait's, the window system's side is sdl_window's.
#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <utility>

#include "host_sdl.h"
#include "catalog.h"
#include "host_sdl_impl.h"
#include "numbers.h"
#include "run_options.h"
#include "sdl_connection.h"
#include "system.h"

namespace sdl {
namespace {

using platform::MonotonicNanoseconds;

// How often SDL's event queue is filled while the game runs without waiting (Ctrl held): it asks
// the window system, the controllers and the device monitor each time.
constexpr std::int64_t kPollEveryNs = 4000000;
constexpr std::int64_t kMillisecondNs = 1000000;

// The desktop file's id: the window's class (X11) and app id (Wayland), so that the desktop
// matches the window with its menu entry and icon.
constexpr char kAppId[] = "org.tavlo.Tavlo";

}  // namespace

SdlHostSettings SdlHostSettingsOf(const host::LoadedSettings& loaded) {
    SdlHostSettings given;
    given.display = loaded.settings.Display();
    given.pauseOnFocusLoss = loaded.settings.pauseOnFocusLoss;
    given.bindings = loaded.settings.bindings;
    for (const platform::Said& note : loaded.notes) {
        given.notes.push_back(loaded.path + ": " + note.Translated());
    }
    given.keep = KeeperOf(loaded);
    given.writeDefaults = loaded.missing;
    return given;
}

SdlHost::SdlHost(SdlHostSettings settings)
    : saved_(settings.display),
      settings_(settings.display),
      keep_(std::move(settings.keep)),
      pauseOnFocusLoss_(settings.pauseOnFocusLoss),
      keys_(settings.bindings) {
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    // A present must never wait for the display's refresh: the game keeps its own time.
    SDL_SetHint(SDL_HINT_RENDER_VSYNC, "0");
    // SDL 2.26 reads the window class from these variables (a value set by the user stays).
    platform::SetEnvironment("SDL_VIDEO_X11_WMCLASS", kAppId, false);
    platform::SetEnvironment("SDL_VIDEO_WAYLAND_WMCLASS", kAppId, false);
    SDL_SetHint(SDL_HINT_APP_NAME, "Tavlo");
    SDL_Init(SDL_INIT_TIMER | SDL_INIT_EVENTS);
    // Controllers are a convenience: without them the keyboard still works.
    SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER);
    origin_ = MonotonicNanoseconds();
    clockStart_ =
        static_cast<std::uint32_t>(platform::NumberVariable("TAVLO_CLOCK_START", UINT32_MAX, 0));
    if (const char* script = std::getenv("TAVLO_INPUT")) script_ = host::LoadInputScript(script);
    for (const std::string& note : settings.notes)
        std::fprintf(stderr, "tavlo: %s\n", note.c_str());
    if (settings.writeDefaults) KeepChoices();
    // The command line's choices hold for this run only; the file keeps the saved ones.
    const host::RunOptions& options = host::CurrentRunOptions();
    if (options.window)
        settings_.mode = *options.window ? host::WindowMode::Window : host::WindowMode::FullScreen;
    if (options.smooth)
        settings_.scaling = *options.smooth ? host::Scaling::Smooth : host::Scaling::Sharp;
    controllers_->SetMap(PadMapOf(settings.bindings));
}

SdlHost::~SdlHost() {
    controllers_.reset();
    presenter_.Detach();
    if (window_) SDL_DestroyWindow(window_);
    SDL_Quit();
}

bool SdlHost::NextEvent(host::InputEvent& event) {
    if (nextScripted_ < script_.size() && script_[nextScripted_].at <= ElapsedMilliseconds()) {
        event = script_[nextScripted_++].event;
        // Scripted keys reach the host's own keys too (no modifiers: F11, F9 and F12).
        if (event.kind == host::InputEvent::Kind::KeyDown) {
            if (auto action = keys_.HostActionOfVirtualKey(event.virtualKey)) {
                HostAction(*action);
            }
        }
        Given(event);
        return true;
    }
    if (pending_.empty() && PollDue()) PollAll();
    if (pending_.empty()) return false;
    event = pending_.front();
    pending_.pop_front();
    Given(event);
    return true;
}

void SdlHost::Idle() {
    presenter_.PresentIfChanged(Hidden());
    if (probe_) probe_->Presented(MonotonicNanoseconds());
    const std::uint64_t elapsed = ElapsedMilliseconds();
    const auto clock = static_cast<std::uint32_t>(clockStart_ + elapsed);
    if (probe_ && probe_->Wait(pacer_.JustDrew(),
                               origin_ + static_cast<std::int64_t>(elapsed + 1) * kMillisecondNs)) {
        pacer_.Woke(Milliseconds());
        return;
    }
    if (pacer_.JustDrew()) {
        pacer_.Woke(clock);
        return;
    }
    const std::uint32_t wait = pacer_.WaitFrom(clock);
    // Controllers are read by SDL's pump: with one open, SDL waits.
    sdl::WaitForInput(origin_ + static_cast<std::int64_t>(elapsed + wait) * kMillisecondNs,
                      controllers_->Any() ? -1 : connection_, *this);
    pacer_.Woke(Milliseconds());
}

void SdlHost::DesktopSize(int& width, int& height) {
    SDL_DisplayMode mode;
    if (videoOpen_ && SDL_GetDesktopDisplayMode(0, &mode) == 0) {
        width = mode.w;
        height = mode.h;
    } else {
        width = 1024;
        height = 768;
    }
}

void SdlHost::WindowChanged(bool visible, const std::string& title) {
    title_ = title;
    if (!OpenVideoSubsystem() || !EnsureWindow()) return;
    SDL_SetWindowTitle(window_, title_.c_str());
    if (visible) {
        SDL_ShowWindow(window_);
        presenter_.Draw();
    } else {
        SDL_HideWindow(window_);
    }
}

void SdlHost::ShowScreen(const host::ScreenImage& image, host::ScreenChange cause) {
    if (probe_ && cause == host::ScreenChange::Flip) probe_->Flipped(MonotonicNanoseconds());
    // Kept as 8-bit pixels and colours: the next idle moment shows them, a screenshot
    // saves them, and an expose or a lost texture redraws them.
    presenter_.Keep(image);
    pacer_.Changed();
}

void SdlHost::Dialog(Uint32 kind, const std::string& caption, const std::string& text) {
    if (!OpenVideoSubsystem()) return;
    SDL_Window* parent = nullptr;
    if (window_) {
        // Out of full screen, so that the dialog is not hidden behind the picture.
        SDL_SetWindowFullscreen(window_, 0);
        if (!Hidden()) parent = window_;
    }
    // The design's caption is Japanese, a translated note may be too: SDL's X11 dialog draws
    // them in the environment's locale, UTF-8 whatever that names.
    const platform::Utf8Locale utf8;
    if (SDL_ShowSimpleMessageBox(kind, caption.c_str(), text.c_str(), parent) != 0 &&
        !dialogFailed_) {
        dialogFailed_ = true;
        std::fprintf(stderr, "tavlo: %s\n",
                     platform::Fill(tr("no dialog can be shown ({1}); the messages are here only"),
                                    {SDL_GetError()})
                         .c_str());
    }
}

bool SdlHost::PollDue() {
    const std::int64_t now = MonotonicNanoseconds();
    if (now - lastPoll_ < kPollEveryNs) return false;
    lastPoll_ = now;
    return true;
}

void SdlHost::Given(const host::InputEvent& event) {
    if (probe_ && (event.kind == host::InputEvent::Kind::KeyDown ||
                   event.kind == host::InputEvent::Kind::SysKeyDown)) {
        probe_->KeyDown(event.virtualKey, MonotonicNanoseconds());
    }
}

bool SdlHost::OpenVideoSubsystem() {
    if (!videoOpen_ && !videoFailed_) {
        videoOpen_ = sdl::OpenDisplay();
        videoFailed_ = !videoOpen_;
    }
    return videoOpen_;
}

bool SdlHost::EnsureWindow() {
    if (window_) return true;
    if (!videoOpen_) return false;
    window_ = CreateWindow();
    if (!window_) return false;
    // TAVLO_RENDERER=software or =accelerated overrides the choice (for measuring).
    const char* choice = std::getenv("TAVLO_RENDERER");
    const std::string chosen = choice ? choice : "";
    if (chosen != "software" && !presenter_.TryAccelerated(window_, chosen == "accelerated")) {
        // A fresh window, without the OpenGL the renderer asked of this one.
        SDL_DestroyWindow(window_);
        window_ = CreateWindow();
        if (!window_) return false;
    }
    presenter_.SetScaling(settings_.scaling);
    if (!presenter_.Attach(window_)) {
        SDL_DestroyWindow(window_);
        window_ = nullptr;
        return false;
    }
    ApplyWindowMode();
    presenter_.Draw();
    connection_ = sdl::DisplayConnection(window_);
    return true;
}

host::Host* CreateSdlHost(SdlHostSettings settings) {
    return new SdlHost(std::move(settings));
}

}  // namespace sdl
