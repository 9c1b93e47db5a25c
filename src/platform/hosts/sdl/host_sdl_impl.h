// The SDL host's class, shared by its two files: host_sdl.cpp (the clock, the game's frames and
// waits, the window and its dialogs) and host_sdl_events.cpp (what SDL's events mean: the
// player's keys and controllers, the window's events, the pause while the window is out of
// reach, the host's own actions). Only those two include it.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <cstdio>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "controller_keys.h"
#include "frame_pacer.h"
#include "host.h"
#include "host_probe.h"
#include "host_sdl.h"
#include "input_script.h"
#include "sdl_bindings.h"
#include "sdl_controllers.h"
#include "sdl_presenter.h"
#include "settings.h"
#include "sdl_wait.h"
#include "sdl_window.h"
#include "system.h"

namespace sdl {

class SdlHost final : public host::Host, private sdl::Pump {
  public:
    explicit SdlHost(SdlHostSettings settings);
    ~SdlHost() override;

    std::uint32_t Milliseconds() override {
        return static_cast<std::uint32_t>(clockStart_ + ElapsedMilliseconds());
    }

    bool NextEvent(host::InputEvent& event) override;

    // The game spins on the clock, pumping messages, until its frame is over. What it drew is
    // presented first, in this same wake. Then the host sleeps until input arrives or the start
    // of the millisecond in which the game is likely to draw next (FramePacer); the clock moves
    // in whole milliseconds, so nothing the game can see changes before one begins. The first
    // call after the screen changed returns at once, so a game that is already late (or runs
    // with its waits switched off) is never held back.
    void Idle() override;

    void DesktopSize(int& width, int& height) override;

    bool OpenVideo() override { return OpenVideoSubsystem() && EnsureWindow(); }

    void WindowChanged(bool visible, const std::string& title) override;

    bool SetFullScreenMode() override {
        if (!EnsureWindow()) return false;
        ApplyWindowMode();
        return true;
    }

    void ShowScreen(const host::ScreenImage& image, host::ScreenChange cause) override;

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
    // X11 without core fonts, xfonts-base) what went to standard error is all there is, and
    // standard error says so once, with SDL's reason, so that a player who saw nothing can find
    // out why.
    void Dialog(Uint32 kind, const std::string& caption, const std::string& text);
    // SDL's event pump asks the window system, the controllers and the device monitor each time;
    // at every idle millisecond that was a quarter of the program's time on the title screen. So
    // while the game does not wait the queue is filled every 4 ms; while it waits, SDL takes
    // input as it comes (WaitForInput).
    bool PollDue();

    // What the game is given, as the probe sees it.
    void Given(const host::InputEvent& event);

    // The wait's handling of SDL's events (sdl::Pump): it ends when there is input for the game
    // or a pause for lost focus moved the clock's origin.
    bool EndsTheWait(const SDL_Event& e) override;
    bool Poll() override;

    // SDL's video, opened once when first needed; a failure is not tried again.
    bool OpenVideoSubsystem();

    SDL_Window* CreateWindow() { return sdl::MakeWindow(TitleOrName(), settings_); }

    std::uint64_t ElapsedMilliseconds() const {
        return static_cast<std::uint64_t>((platform::MonotonicNanoseconds() - origin_) / 1000000);
    }

    bool EnsureWindow();

    void ApplyWindowMode() {
        if (!window_) return;
        sdl::PlaceWindow(window_, settings_);
        presenter_.Draw();
    }

    // The display choices as saved, kept in the settings file.
    void KeepChoices() { keep_(saved_); }

    bool Hidden() const {
        return !window_ ||
               (SDL_GetWindowFlags(window_) & (SDL_WINDOW_HIDDEN | SDL_WINDOW_MINIMIZED));
    }

    // What the host does itself when a key bound to one of its actions goes down (Alt+Enter, F11
    // or F9, F12 unless the player bound others), before the game gets the key as Windows would
    // send it.
    void HostAction(sdl::Action action);

    void TakeScreenshot();

    void PushKeys(const std::vector<host::KeyChange>& changes);

    void WindowEvent(const SDL_WindowEvent& window);

    // True when the window went out of the player's reach: focus lost or minimised.
    static bool LosesThePlayer(const SDL_Event& e);

    // Out of the player's reach the game would play on and lose the round: its clock stops here
    // and the host sleeps in SDL until the window has the focus again; the clock then goes on
    // from where it stopped, so the game cannot tell. A close request ends the pause too, and so
    // does a stop asked from outside (a signal to a recording), looked for every 100 ms.
    void PauseUntilFocusReturns();

    std::string TitleOrName() const { return title_.empty() ? "Tavlo" : title_; }

    void PollAll();

    // One event from SDL into what it means for the game (in pending_) and for the host.
    void Translate(const SDL_Event& e, std::vector<host::KeyChange>& changes);

    std::int64_t origin_ = 0;
    std::int64_t lastPoll_ = 0;
    std::uint32_t clockStart_ = 0;
    host::Probe* probe_ = host::CurrentProbe();  // none in the shipped program (host_probe.h)
    host::FramePacer pacer_;
    std::vector<host::ScriptedEvent> script_;
    std::size_t nextScripted_ = 0;
    host::DisplayChoices saved_;  // as in the file, and as written back
    host::DisplayChoices
        settings_;  // in force: the saved ones with this run's command line over them
    host::KeepDisplay keep_;
    bool pauseOnFocusLoss_ = true;
    sdl::KeyMap keys_;

    bool videoOpen_ = false;
    bool videoFailed_ = false;   // tried once; it is not tried again
    bool dialogFailed_ = false;  // said once on standard error
    std::string title_;
    SDL_Window* window_ = nullptr;
    sdl::Presenter presenter_;

    std::deque<host::InputEvent> pending_;
    // Made once SDL's controller subsystem is up; closed before SDL goes.
    std::optional<sdl::Controllers> controllers_{std::in_place};
    int connection_ = -1;  // the X server's connection, when the window is on one
};

}  // namespace sdl
