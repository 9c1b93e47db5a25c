// The SDL2 host: a real window. The game's screen is shown full screen (desktop full screen) or
// in a resizable window, at the largest whole factor or smoothly filled, as the player chose
// (settings.conf); keys and game controllers arrive as Windows virtual-key codes, through the
// player's bindings. While the game spins on its clock the host sleeps until input arrives or
// the game's next frame is due, and presents at most once per change of the screen, in the
// same wake as the change, without waiting for the display's refresh.
//
// This file is the clock, the window, the focus and the pump; the picture is drawn by the
// presenter (sdl_presenter), keys and controls are mapped by sdl_keys.
#include <SDL.h>
#include <time.h>
#if defined(SDL_VIDEO_DRIVER_X11)
#include <poll.h>
#endif

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <vector>

#include "host_sdl.h"
#include "controller_keys.h"
#include "frame_pacer.h"
#include "input_script.h"
#include "numbers.h"
#include "run_options.h"
#include "sdl_bindings.h"
#include "sdl_connection.h"
#include "sdl_keys.h"
#include "sdl_presenter.h"
#include "sdl_scaling.h"
#include "sdl_screenshot.h"
#include "sdl_settings.h"
#include "system.h"
#include "virtual_keys.h"
#include "sdl_window_icon.h"

namespace host {
namespace {

using sdl::Scaling;
using sdl::WindowMode;

// How often SDL's event queue is filled while the game runs without waiting (Ctrl held, or the
// earlier way of pacing, below): it asks the window system, the controllers and the device
// monitor each time.
constexpr std::int64_t kPollEveryNs = 4000000;
constexpr std::int64_t kMillisecondNs = 1000000;
// How long before the game's next frame the host looks for input the last time.
constexpr std::int64_t kLastLookNs = 200000;

// How the host passes the game's waits. Wait: it sleeps until input arrives or the game's next
// frame is due (FramePacer). Millisecond: the earlier way, kept for comparison
// (TAVLO_PACING=millisecond): a sleep to the start of every next millisecond, SDL's queue filled
// every 4 ms. Spin: no sleeping at all (TAVLO_SPIN=1), for comparison too.
enum class Pacing { Wait, Millisecond, Spin };
// The desktop file's id: the window's class (X11) and app id (Wayland), so that the desktop
// matches the window with its menu entry and icon.
constexpr char kAppId[] = "org.tavlo.Tavlo";

using platform::MonotonicNanoseconds;

// Sleeps until the monotonic clock reads `ns`.
void SleepUntil(std::int64_t ns) {
    platform::SleepUntil(ns);
}

FILE* OpenLog(const char* variable) {
    const char* name = std::getenv(variable);
    if (!name) return nullptr;
    FILE* log = std::fopen(name, "wb");
    if (log) std::setvbuf(log, nullptr, _IOFBF, 1 << 20);
    return log;
}

class SdlHost final : public Host {
  public:
    SdlHost() {
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
        clockStart_ = static_cast<std::uint32_t>(
            platform::NumberVariable("TAVLO_CLOCK_START", UINT32_MAX, 0));
        const char* spin = std::getenv("TAVLO_SPIN");
        const char* pacing = std::getenv("TAVLO_PACING");
        if (spin && std::strcmp(spin, "1") == 0) {
            pacing_ = Pacing::Spin;
        } else if (pacing && std::strcmp(pacing, "millisecond") == 0) {
            pacing_ = Pacing::Millisecond;
        }
        if (const char* script = std::getenv("TAVLO_INPUT")) script_ = LoadInputScript(script);
        // For measuring (bench/): the time of every flip and when it was on the window; the
        // time every key went down to the game.
        flipLog_ = OpenLog("TAVLO_FLIP_LOG");
        inputLog_ = OpenLog("TAVLO_INPUT_LOG");
        settingsPath_ = sdl::SettingsPath();
        const sdl::LoadedSettings loaded = sdl::LoadSettings(settingsPath_);
        saved_ = loaded.settings;
        if (!loaded.mayWrite) settingsPath_.clear();  // not ours to replace
        // The command line's choices hold for this run only; the file keeps the saved ones.
        settings_ = saved_;
        const RunOptions& options = CurrentRunOptions();
        if (options.window)
            settings_.mode = *options.window ? WindowMode::Window : WindowMode::FullScreen;
        if (options.smooth) settings_.scaling = *options.smooth ? Scaling::Smooth : Scaling::Sharp;
        pads_.SetMap(sdl::PadMapOf(settings_.bindings));
    }
    ~SdlHost() override {
        for (auto& [id, controller] : controllers_) SDL_GameControllerClose(controller);
        presenter_.Detach();
        if (window_) SDL_DestroyWindow(window_);
        if (flipLog_) std::fclose(flipLog_);
        if (inputLog_) std::fclose(inputLog_);
        SDL_Quit();
    }

    std::uint32_t Milliseconds() override {
        return static_cast<std::uint32_t>(clockStart_ + ElapsedMilliseconds());
    }

    bool NextEvent(InputEvent& event) override {
        if (nextScripted_ < script_.size() && script_[nextScripted_].at <= ElapsedMilliseconds()) {
            event = script_[nextScripted_++].event;
            // Scripted keys reach the host's own keys too (no modifiers: F11, F9 and F12).
            if (event.kind == InputEvent::Kind::KeyDown) {
                if (auto action =
                        sdl::HostActionOfVirtualKey(settings_.bindings, event.virtualKey)) {
                    HostAction(*action);
                }
            }
            LogInput(event);
            return true;
        }
        if (pending_.empty() && PollDue()) Poll();
        if (pending_.empty()) return false;
        event = pending_.front();
        pending_.pop_front();
        LogInput(event);
        return true;
    }

    // The game spins on the clock, pumping messages, until its frame is over. What it drew is
    // presented first, in this same wake. Then the host sleeps until input arrives or the start
    // of the millisecond in which the game is likely to draw next (FramePacer); the clock moves
    // in whole milliseconds, so nothing the game can see changes before one begins. The first
    // call after the screen changed returns at once, so a game that is already late (or runs
    // with its waits switched off) is never held back.
    void Idle() override {
        presenter_.PresentIfChanged(Hidden());
        LogPresented();
        if (pacing_ == Pacing::Spin) return;
        const std::uint64_t elapsed = ElapsedMilliseconds();
        const auto clock = static_cast<std::uint32_t>(clockStart_ + elapsed);
        if (pacer_.JustDrew()) {
            pacer_.Woke(clock);
            return;
        }
        if (pacing_ == Pacing::Millisecond) {
            SleepUntil(origin_ + static_cast<std::int64_t>(elapsed + 1) * kMillisecondNs);
        } else {
            const std::uint32_t wait = pacer_.WaitFrom(clock);
            WaitForInput(origin_ + static_cast<std::int64_t>(elapsed + wait) * kMillisecondNs);
        }
        pacer_.Woke(Milliseconds());
    }

    void DesktopSize(int& width, int& height) override {
        SDL_DisplayMode mode;
        if (videoOpen_ && SDL_GetDesktopDisplayMode(0, &mode) == 0) {
            width = mode.w;
            height = mode.h;
        } else {
            width = 1024;
            height = 768;
        }
    }

    bool OpenVideo() override { return OpenVideoSubsystem() && EnsureWindow(); }

    void WindowChanged(bool visible, const std::string& title) override {
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

    bool SetFullScreenMode() override {
        if (!EnsureWindow()) return false;
        ApplyWindowMode();
        return true;
    }

    void ShowScreen(const ScreenImage& image, ScreenChange cause) override {
        if (flipLog_ && cause == ScreenChange::Flip) flips_.push_back(MonotonicNanoseconds());
        // Kept as 8-bit pixels and colours: the next idle moment shows them, a screenshot
        // saves them, and an expose or a lost texture redraws them.
        presenter_.Keep(image);
        pacer_.Changed();
    }

    // On standard error, and in a dialog wherever there is a display (also before the game
    // opened its window), so that a player who started the game from the desktop sees it.
    void MessageBox(const std::string& caption, const std::string& text) override {
        std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
        std::fflush(stderr);
        Dialog(SDL_MESSAGEBOX_ERROR, caption, text);
    }

    void SetCursorVisible(bool visible) override {
        SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE);
    }

    // Already on standard error when it happened; the dialog is for the desktop's player.
    void ShowEndNotice(const std::string& text) override {
        Dialog(SDL_MESSAGEBOX_WARNING, "Tavlo", text);
    }

  private:
    // A dialog over the window, wherever there is a display. Without one (SDL's dummy driver; on
    // X11 without core fonts, xfonts-base) what went to standard error is all there is.
    void Dialog(Uint32 kind, const std::string& caption, const std::string& text) {
        if (!OpenVideoSubsystem()) return;
        SDL_Window* parent = nullptr;
        if (window_) {
            // Out of full screen, so that the dialog is not hidden behind the picture.
            SDL_SetWindowFullscreen(window_, 0);
            if (!Hidden()) parent = window_;
        }
        SDL_ShowSimpleMessageBox(kind, caption.c_str(), text.c_str(), parent);
    }
    // SDL's event pump asks the window system, the controllers and the device monitor each time;
    // at every idle millisecond that was a quarter of the program's time on the title screen. So
    // while the game does not wait the queue is filled every 4 ms; while it waits, SDL takes
    // input as it comes (WaitForInput).
    bool PollDue() {
        const std::int64_t now = MonotonicNanoseconds();
        if (now - lastPoll_ < kPollEveryNs) return false;
        lastPoll_ = now;
        return true;
    }

    // Sleeps until the monotonic clock reads `due`, or less when input comes first. On X11 the
    // host waits on the display's connection itself, to the nanosecond (WaitOnConnection).
    // Elsewhere SDL waits (on the window system's connection, or looking every millisecond where
    // it cannot): SDL counts its timeout in whole milliseconds of its own clock and may overrun
    // it by one, so it is asked to wake a millisecond early and the rest is slept here. The game
    // collects its input before it looks at the clock, so the last look at SDL's queue comes
    // kLastLookNs before `due`: what came by then is the game's before the frame reads its keys.
    void WaitForInput(std::int64_t due) {
        if (connection_ >= 0 && controllers_.empty()) {
            WaitOnConnection(due);
            return;
        }
        const std::int64_t origin = origin_;
        const std::int64_t lastLook = due - kLastLookNs;
        for (;;) {
            const std::int64_t left = lastLook - MonotonicNanoseconds();
            if (left <= 0) break;
            if (left < 2 * kMillisecondNs) {
                SleepUntil(lastLook);
                break;
            }
            SDL_Event e;
            const int timeout = static_cast<int>(left / kMillisecondNs) - 1;
            if (!SDL_WaitEventTimeout(&e, timeout)) continue;
            std::vector<KeyChange> changes;
            Handle(e, changes);
            // Input for the game, or a pause for lost focus (which moved the clock's origin).
            if (!pending_.empty() || origin_ != origin) return;
        }
        Poll();
        if (!pending_.empty() || origin_ != origin) return;
        SleepUntil(due);
    }

    // The X server's connection is the only way input reaches the program (controllers are read
    // by SDL's pump, so with one open SDL waits instead). Whatever the connection has brought is
    // taken into SDL's queue and handled first (the pump reads the socket empty); then the host
    // sleeps in ppoll on the connection until `due`, to the nanosecond. A wake with nothing for
    // the game (the server's replies, motion SDL drops) sleeps again. Whatever arrives after the
    // sleep ends is looked for once more, without waiting, before the game reads its keys.
    void WaitOnConnection(std::int64_t due) {
#if defined(SDL_VIDEO_DRIVER_X11)
        const std::int64_t origin = origin_;
        pollfd connection{connection_, POLLIN, 0};
        for (;;) {
            Poll();
            if (!pending_.empty() || origin_ != origin) return;
            const std::int64_t left = due - MonotonicNanoseconds();
            if (left <= 0) break;
            const timespec timeout{static_cast<time_t>(left / 1000000000),
                                   static_cast<long>(left % 1000000000)};
            const int ready = ::ppoll(&connection, 1, &timeout, nullptr);
            if (ready < 0 && errno != EINTR) break;
            if (ready == 0) break;
        }
        if (::poll(&connection, 1, 0) > 0) Poll();
#else
        (void)due;
#endif
    }

    void LogInput(const InputEvent& event) {
        if (!inputLog_) return;
        if (event.kind != InputEvent::Kind::KeyDown && event.kind != InputEvent::Kind::SysKeyDown) {
            return;
        }
        std::fprintf(inputLog_, "%lld %u\n", static_cast<long long>(MonotonicNanoseconds() / 1000),
                     event.virtualKey);
    }

    // Each flip's line: when the game flipped, and when the picture was on the window (or found
    // to be the one there already), in CLOCK_MONOTONIC µs.
    void LogPresented() {
        if (flips_.empty()) return;
        const long long presented = MonotonicNanoseconds() / 1000;
        for (const std::int64_t flip : flips_) {
            std::fprintf(flipLog_, "%lld %lld\n", static_cast<long long>(flip / 1000), presented);
        }
        flips_.clear();
    }

    std::uint64_t ElapsedMilliseconds() const {
        return static_cast<std::uint64_t>((MonotonicNanoseconds() - origin_) / 1000000);
    }

    bool OpenVideoSubsystem() {
        if (videoOpen_) return true;
        if (videoFailed_) return false;
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
            std::fprintf(stderr, "tavlo: no display: %s\n", SDL_GetError());
            videoFailed_ = true;
            return false;
        }
        // With no display to be had SDL falls back to drawing nowhere; a player would see a
        // game that runs invisibly. Those drivers serve only when asked for by name.
        const char* driver = SDL_GetCurrentVideoDriver();
        const bool invisible =
            driver && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0);
        if (invisible && !std::getenv("SDL_VIDEODRIVER")) {
            std::fprintf(stderr, "tavlo: no display (set DISPLAY or WAYLAND_DISPLAY)\n");
            SDL_QuitSubSystem(SDL_INIT_VIDEO);
            videoFailed_ = true;
            return false;
        }
        videoOpen_ = true;
        return true;
    }

    SDL_Window* CreateWindow() {
        // A window larger than the display costs memory and shows nothing more.
        SDL_Rect usable;
        if (SDL_GetDisplayUsableBounds(0, &usable) == 0 && usable.w > 0 && usable.h > 0) {
            sdl::FitWindowToDisplay(settings_, usable.w, usable.h);
        }
        SDL_Window* window =
            SDL_CreateWindow(title_.empty() ? "Tavlo" : title_.c_str(), SDL_WINDOWPOS_CENTERED,
                             SDL_WINDOWPOS_CENTERED, settings_.windowWidth, settings_.windowHeight,
                             SDL_WINDOW_HIDDEN | SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI);
        if (!window) {
            std::fprintf(stderr, "tavlo: no window: %s\n", SDL_GetError());
            return nullptr;
        }
        SDL_SetWindowMinimumSize(window, 320, 240);
        if (SDL_Surface* icon = SDL_CreateRGBSurfaceWithFormatFrom(
                const_cast<std::uint32_t*>(sdl::kWindowIcon), sdl::kWindowIconSize,
                sdl::kWindowIconSize, 32, sdl::kWindowIconSize * 4, SDL_PIXELFORMAT_ARGB8888)) {
            SDL_SetWindowIcon(window, icon);
            SDL_FreeSurface(icon);
        }
        return window;
    }

    bool EnsureWindow() {
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

    void ApplyWindowMode() {
        if (!window_) return;
        if (settings_.mode == WindowMode::FullScreen) {
            // Cover the display first: without a window manager to honour the full-screen
            // request, the window would otherwise keep its windowed size and place.
            SDL_Rect bounds;
            const int display = SDL_GetWindowDisplayIndex(window_);
            if (SDL_GetDisplayBounds(display < 0 ? 0 : display, &bounds) == 0) {
                SDL_SetWindowPosition(window_, bounds.x, bounds.y);
                SDL_SetWindowSize(window_, bounds.w, bounds.h);
            }
            if (SDL_SetWindowFullscreen(window_, SDL_WINDOW_FULLSCREEN_DESKTOP) != 0) {
                std::fprintf(stderr, "tavlo: staying in a window: %s\n", SDL_GetError());
            }
        } else {
            SDL_SetWindowFullscreen(window_, 0);
            SDL_SetWindowSize(window_, settings_.windowWidth, settings_.windowHeight);
            SDL_SetWindowPosition(window_, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
        }
        presenter_.Draw();
    }

    void SaveSettings() {
        if (!settingsPath_.empty() && !sdl::SaveSettings(settingsPath_, saved_)) {
            std::fprintf(stderr, "tavlo: cannot write %s\n", settingsPath_.c_str());
        }
    }

    bool Hidden() const {
        return !window_ ||
               (SDL_GetWindowFlags(window_) & (SDL_WINDOW_HIDDEN | SDL_WINDOW_MINIMIZED));
    }

    // What the host does itself when a key bound to one of its actions goes down (Alt+Enter, F11
    // or F9, F12 unless the player bound others), before the game gets the key as Windows would
    // send it.
    void HostAction(sdl::Action action) {
        if (action == sdl::Action::FullScreen) {
            settings_.mode = settings_.mode == WindowMode::FullScreen ? WindowMode::Window
                                                                      : WindowMode::FullScreen;
            saved_.mode = settings_.mode;
            ApplyWindowMode();
            SaveSettings();
        } else if (action == sdl::Action::Scaling) {
            settings_.scaling =
                settings_.scaling == Scaling::Sharp ? Scaling::Smooth : Scaling::Sharp;
            saved_.scaling = settings_.scaling;
            presenter_.SetScaling(settings_.scaling);
            presenter_.Draw();
            SaveSettings();
        } else if (action == sdl::Action::Screenshot) {
            TakeScreenshot();
        }
    }

    void TakeScreenshot() {
        ScreenImage image;
        if (!presenter_.Shown(image)) return;
        const std::string path =
            sdl::SaveScreenshot(sdl::ScreenshotFolder(), image, std::time(nullptr));
        if (path.empty()) {
            std::fprintf(stderr, "tavlo: the screenshot could not be saved\n");
        } else {
            std::fprintf(stderr, "tavlo: screenshot %s\n", path.c_str());
        }
    }

    void PushKeys(const std::vector<KeyChange>& changes) {
        for (const KeyChange& change : changes) {
            pending_.push_back({change.down ? InputEvent::Kind::KeyDown : InputEvent::Kind::KeyUp,
                                change.virtualKey});
        }
    }

    void WindowEvent(const SDL_WindowEvent& window) {
        switch (window.event) {
            case SDL_WINDOWEVENT_CLOSE:
                pending_.push_back({InputEvent::Kind::Close, 0});
                break;
            case SDL_WINDOWEVENT_RESIZED:
                // A size the player gave the window is kept for next time.
                if (settings_.mode == WindowMode::Window &&
                    !(SDL_GetWindowFlags(window_) &
                      (SDL_WINDOW_FULLSCREEN | SDL_WINDOW_MAXIMIZED | SDL_WINDOW_MINIMIZED)) &&
                    window.data1 >= 320 && window.data2 >= 240 &&
                    (window.data1 != settings_.windowWidth ||
                     window.data2 != settings_.windowHeight)) {
                    settings_.windowWidth = saved_.windowWidth = window.data1;
                    settings_.windowHeight = saved_.windowHeight = window.data2;
                    SaveSettings();
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

    // True when the window went out of the player's reach: focus lost or minimised.
    static bool LosesThePlayer(const SDL_Event& e) {
        return e.type == SDL_WINDOWEVENT && (e.window.event == SDL_WINDOWEVENT_FOCUS_LOST ||
                                             e.window.event == SDL_WINDOWEVENT_MINIMIZED);
    }

    // Out of the player's reach the game would play on and lose the round: its clock stops here
    // and the host sleeps in SDL until the window has the focus again; the clock then goes on
    // from where it stopped, so the game cannot tell. A close request ends the pause too, and so
    // does a stop asked from outside (a signal to a recording), looked for every 100 ms.
    void PauseUntilFocusReturns() {
        const std::int64_t pausedAt = MonotonicNanoseconds();
        if (window_) SDL_SetWindowTitle(window_, (TitleOrName() + " (paused)").c_str());
        bool minimised = window_ && (SDL_GetWindowFlags(window_) & SDL_WINDOW_MINIMIZED);
        bool focused = false;
        SDL_Event e;
        while (!(focused && !minimised) && !StopRequested()) {
            if (!SDL_WaitEventTimeout(&e, 100)) continue;
            if (e.type == SDL_QUIT ||
                (e.type == SDL_WINDOWEVENT && e.window.event == SDL_WINDOWEVENT_CLOSE)) {
                pending_.push_back({InputEvent::Kind::Close, 0});
                break;
            }
            // Keys let go meanwhile still reach the game; nothing else from keys or pads does.
            if (e.type == SDL_KEYUP) {
                if (const unsigned vk = sdl::GameKeyOf(settings_.bindings, e.key.keysym.sym)) {
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

    std::string TitleOrName() const {
        return title_.empty() ? "Tavlo" : title_;
    }

    void Poll() {
        lastPoll_ = MonotonicNanoseconds();
        SDL_Event e;
        std::vector<KeyChange> changes;
        while (SDL_PollEvent(&e)) Handle(e, changes);
    }

    // One event from SDL: what it means for the game goes to pending_.
    void Handle(const SDL_Event& e, std::vector<KeyChange>& changes) {
        if (settings_.pauseOnFocusLoss && LosesThePlayer(e)) {
            PauseUntilFocusReturns();
            return;
        }
        switch (e.type) {
            case SDL_QUIT:
                pending_.push_back({InputEvent::Kind::Close, 0});
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
                pending_.push_back({InputEvent::Kind::MouseOver, 0});
                break;
            case SDL_CONTROLLERDEVICEADDED:
                if (SDL_GameController* pad = SDL_GameControllerOpen(e.cdevice.which)) {
                    const SDL_JoystickID id =
                        SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(pad));
                    if (controllers_.count(id)) {
                        SDL_GameControllerClose(pad);
                    } else {
                        controllers_[id] = pad;
                    }
                }
                break;
            case SDL_CONTROLLERDEVICEREMOVED:
                if (auto it = controllers_.find(e.cdevice.which); it != controllers_.end()) {
                    SDL_GameControllerClose(it->second);
                    controllers_.erase(it);
                }
                changes.clear();
                pads_.Removed(e.cdevice.which, changes);
                PushKeys(changes);
                break;
            case SDL_CONTROLLERBUTTONDOWN:
            case SDL_CONTROLLERBUTTONUP:
                changes.clear();
                pads_.Button(e.cbutton.which, sdl::PadButtonOf(e.cbutton.button),
                             e.type == SDL_CONTROLLERBUTTONDOWN, changes);
                PushKeys(changes);
                break;
            case SDL_CONTROLLERAXISMOTION:
                changes.clear();
                pads_.Axis(e.caxis.which, sdl::PadAxisOf(e.caxis.axis), e.caxis.value, changes);
                PushKeys(changes);
                break;
            case SDL_KEYDOWN:
            case SDL_KEYUP: {
                const bool down = e.type == SDL_KEYDOWN;
                const bool alt = (e.key.keysym.mod & KMOD_ALT) != 0;
                if (down && !e.key.repeat) {
                    if (auto action =
                            sdl::HostActionOf(settings_.bindings, e.key.keysym.sym, alt)) {
                        HostAction(*action);
                    }
                }
                const unsigned vk = sdl::GameKeyOf(settings_.bindings, e.key.keysym.sym);
                if (vk != 0) pending_.push_back(sdl::KeyEvent(vk, e.key.keysym.mod, down));
                break;
            }
            default:
                break;
        }
    }

    std::int64_t origin_ = 0;
    std::int64_t lastPoll_ = 0;
    std::uint32_t clockStart_ = 0;
    Pacing pacing_ = Pacing::Wait;
    FramePacer pacer_;
    std::vector<ScriptedEvent> script_;
    std::size_t nextScripted_ = 0;
    FILE* flipLog_ = nullptr;
    std::vector<std::int64_t> flips_;  // flips not yet presented (for the flip log)
    FILE* inputLog_ = nullptr;
    std::string settingsPath_;
    sdl::Settings saved_;     // as in the file, and as written back
    sdl::Settings settings_;  // in force: the saved ones with this run's command line over them

    bool videoOpen_ = false;
    bool videoFailed_ = false;  // tried once; it is not tried again
    std::string title_;
    SDL_Window* window_ = nullptr;
    sdl::Presenter presenter_;

    std::deque<InputEvent> pending_;
    std::map<SDL_JoystickID, SDL_GameController*> controllers_;
    ControllerKeys pads_;
    int connection_ = -1;  // the X server's connection, when the window is on one
};

}  // namespace

Host* CreateSdlHost() {
    return new SdlHost();
}

}  // namespace host
