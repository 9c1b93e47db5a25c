// The SDL host on SDL's dummy driver, focus taken away by pushed window events: the game's clock
// stands still and the host waits in SDL until the focus is back, unless the settings say no.
#include <SDL.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "host_sdl.h"

namespace {

struct Pause {
    std::atomic<bool> over{false};
    std::string title;  // the window's title while the focus was away
};

Uint32 GiveFocusBack(Uint32, void* data) {
    auto* pause = static_cast<Pause*>(data);
    for (Uint32 id = 1; id < 64 && pause->title.empty(); ++id) {
        if (SDL_Window* window = SDL_GetWindowFromID(id)) pause->title = SDL_GetWindowTitle(window);
    }
    SDL_Event gained{};
    gained.type = SDL_WINDOWEVENT;
    gained.window.event = SDL_WINDOWEVENT_FOCUS_GAINED;
    SDL_PushEvent(&gained);
    pause->over = true;
    return 0;
}

std::int64_t Since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start)
        .count();
}

Uint32 AskToStop(Uint32, void*) {
    host::RequestStop();
    return 0;
}

TEST(FocusPause, TheClockStopsUntilTheFocusComesBack) {
    const char* tmp = std::getenv("TMPDIR");
    const std::string config =
        std::string(tmp ? tmp : "/tmp") + "/tavlo-focus-" + std::to_string(::getpid());
    ASSERT_EQ(std::system(("rm -rf '" + config + "' && mkdir -p '" + config + "/tavlo'").c_str()),
              0);
    ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    ::setenv("SDL_VIDEODRIVER", "dummy", 1);
    for (const bool pauses : {true, false}) {
        SCOPED_TRACE(pauses ? "pause_on_focus_loss=yes" : "pause_on_focus_loss=no");
        std::ofstream(config + "/tavlo/settings.conf")
            << "mode=window\npause_on_focus_loss=" << (pauses ? "yes" : "no") << "\n";
        std::unique_ptr<host::Host> host(sdl::CreateSdlHost(
            sdl::SdlHostSettingsOf(host::LoadSettings(host::SettingsPath(), sdl::SdlKeyName))));
        ASSERT_TRUE(host->OpenVideo());
        host->WindowChanged(true, "Tavlo");
        host::InputEvent event;
        while (host->NextEvent(event)) {
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));  // the next look is due

        SDL_Event lost{};
        lost.type = SDL_WINDOWEVENT;
        lost.window.event = SDL_WINDOWEVENT_FOCUS_LOST;
        SDL_PushEvent(&lost);
        Pause pause;
        // Both clocks are read before the timer starts, and SDL counts its timers in whole
        // milliseconds: the focus may come back a fraction before 300 ms have passed.
        const auto start = std::chrono::steady_clock::now();
        const std::uint32_t clockBefore = host->Milliseconds();
        ASSERT_NE(SDL_AddTimer(300, GiveFocusBack, &pause), 0);
        while (host->NextEvent(event)) {
        }
        // Paused, NextEvent came back only once the focus had; unpaused, at once.
        EXPECT_EQ(pause.over.load(), pauses);
        while (!pause.over) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        const std::int64_t wall = Since(start);
        const std::uint32_t ran = host->Milliseconds() - clockBefore;
        EXPECT_GE(wall, 299);
        if (pauses) {
            EXPECT_LT(ran, 100u) << "the wall clock ran " << wall << " ms";
            EXPECT_EQ(pause.title, "Tavlo (paused)");
        } else {
            EXPECT_GE(ran, 299u);
            EXPECT_EQ(pause.title, "Tavlo");
        }
        while (host->NextEvent(event)) {
        }
        host.reset();
    }
}

// A stop asked from outside (a signal to a recording) ends the wait for the focus: the recording
// is cut at once, not when the player comes back.
TEST(FocusPause, AStopAskedFromOutsideEndsTheWait) {
    ::setenv("SDL_VIDEODRIVER", "dummy", 1);
    std::unique_ptr<host::Host> host(sdl::CreateSdlHost(
        sdl::SdlHostSettingsOf(host::LoadSettings(host::SettingsPath(), sdl::SdlKeyName))));
    ASSERT_TRUE(host->OpenVideo());
    host->WindowChanged(true, "Tavlo");
    host::InputEvent event;
    while (host->NextEvent(event)) {
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    SDL_Event lost{};
    lost.type = SDL_WINDOWEVENT;
    lost.window.event = SDL_WINDOWEVENT_FOCUS_LOST;
    SDL_PushEvent(&lost);
    Pause pause;
    const auto start = std::chrono::steady_clock::now();
    ASSERT_NE(SDL_AddTimer(200, AskToStop, nullptr), 0);
    // Should it not end otherwise, the focus comes back after 5 s.
    const SDL_TimerID back = SDL_AddTimer(5000, GiveFocusBack, &pause);
    ASSERT_NE(back, 0);
    while (host->NextEvent(event)) {
    }
    EXPECT_LT(Since(start), 2000);
    EXPECT_FALSE(pause.over.load());
    SDL_RemoveTimer(back);
    host::RequestStop(false);
}

}  // namespace
