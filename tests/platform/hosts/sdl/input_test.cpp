// The SDL host with a key that comes while it sleeps towards the game's next frame: on SDL's
// dummy driver (the key pushed into SDL's queue) and on X11 (an Xvfb of the test's own, the key
// sent by another connection), it wakes at once. Keys reach the game through the player's
// bindings in settings.conf.
#include <SDL.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host_sdl.h"
#include "process.h"
#include "virtual_keys.h"

// Last: Xlib's macros (None, Bool, Status) would rename what the headers above declare.
#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>

// SDL's X11 video opens a D-Bus connection whose library keeps a buffer to the end of the
// process: not ours to free, so the leak checker (the sanitizer build) leaves it out.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libdbus-1.so\n";
}

// Nothing this test binary loads is ever unloaded. SDL unloads the libraries it loaded itself
// (the OpenGL driver it tries and gives up for drawing by the processor, the X server's
// extensions, D-Bus's) while it runs and when it quits; memory such a library keeps in its own
// variables would then show in the sanitizer build's leak check as a leak from "<unknown
// module>", which nothing can name. Kept loaded, that memory stays reachable, and whatever a
// library truly leaks is reported under its own name. (Defined here, the program's dlclose is
// the one every library's call reaches.)
extern "C" int dlclose(void*) {
    return 0;
}

namespace {

using Clock = std::chrono::steady_clock;

// A fresh config folder holding `settings`, SDL's `driver`, and a host with a shown window.
std::unique_ptr<host::Host> MakeHost(const std::string& settings, std::string& config,
                                     const char* driver = "dummy") {
    const char* tmp = std::getenv("TMPDIR");
    config = std::string(tmp ? tmp : "/tmp") + "/tavlo-input-" + std::to_string(::getpid());
    EXPECT_EQ(std::system(("rm -rf '" + config + "' && mkdir -p '" + config + "/tavlo'").c_str()),
              0);
    ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    ::setenv("SDL_VIDEODRIVER", driver, 1);
    std::ofstream(config + "/tavlo/settings.conf") << "mode=window\n" << settings;
    std::unique_ptr<host::Host> host(sdl::CreateSdlHost(
        sdl::SdlHostSettingsOf(host::LoadSettings(host::SettingsPath(), sdl::SdlKeyName))));
    EXPECT_TRUE(host->OpenVideo());
    host->WindowChanged(true, "Tavlo");
    host::InputEvent event;
    while (host->NextEvent(event)) {
    }
    return host;
}

void PushKey(SDL_Keycode key, bool down, Uint16 modifiers = KMOD_NONE) {
    SDL_Event e{};
    e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    e.key.keysym.sym = key;
    e.key.keysym.mod = modifiers;
    SDL_PushEvent(&e);
}

// An Xvfb of the test's own on a free display (DISPLAY points at it); none where there is no
// Xvfb. Stopped when it goes.
class PrivateDisplay {
  public:
    PrivateDisplay() {
        for (int number = 170 + ::getpid() % 20; number < 220 && pid_ < 0; ++number) {
            const std::string lock = "/tmp/.X" + std::to_string(number) + "-lock";
            if (::access(lock.c_str(), F_OK) == 0) continue;
            const std::string name = ":" + std::to_string(number);
            pid_ = ::fork();
            if (pid_ == 0) {
                const int null = ::open("/dev/null", O_WRONLY);
                ::dup2(null, 1);
                ::dup2(null, 2);
                ::execlp("Xvfb", "Xvfb", name.c_str(), "-nolisten", "tcp",
                         static_cast<char*>(nullptr));
                ::_exit(127);
            }
            for (int i = 0; i < 50 && !ready_; ++i) {
                ::usleep(100000);
                ready_ =
                    ::access(lock.c_str(), F_OK) == 0 && ::waitpid(pid_, nullptr, WNOHANG) == 0;
            }
            if (ready_) ::setenv("DISPLAY", name.c_str(), 1);
        }
    }
    ~PrivateDisplay() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
    }
    bool Ready() const { return ready_; }

  private:
    pid_t pid_ = -1;
    bool ready_ = false;
};

// Sends Return to the game: pushed into SDL's queue, or (on X11) as a key press from a
// connection of its own to the window.
struct Push {
    std::atomic<bool> done{false};
    Clock::time_point at;
    Display* x = nullptr;
    ::Window window = 0;
};

Uint32 PushReturn(Uint32, void* data) {
    auto* push = static_cast<Push*>(data);
    push->at = Clock::now();
    if (push->x) {
        XEvent e{};
        e.xkey.type = KeyPress;
        e.xkey.display = push->x;
        e.xkey.window = push->window;
        e.xkey.root = DefaultRootWindow(push->x);
        e.xkey.keycode = XKeysymToKeycode(push->x, XK_Return);
        e.xkey.same_screen = True;
        XSendEvent(push->x, push->window, True, KeyPressMask, &e);
        XFlush(push->x);
    } else {
        PushKey(SDLK_RETURN, true);
    }
    push->done = true;
    return 0;
}

class SdlWake : public ::testing::TestWithParam<const char*> {};

TEST_P(SdlWake, AKeyDuringTheWaitForTheNextFrameWakesTheHostAtOnce) {
    const bool x11 = std::string(GetParam()) == "x11";
    std::optional<PrivateDisplay> display;
    if (x11) {
        display.emplace();
        if (!display->Ready()) GTEST_SKIP() << "no Xvfb";
    }
    std::string config;
    std::unique_ptr<host::Host> host = MakeHost("", config, GetParam());
    Push push;
    if (x11) {
        push.x = XOpenDisplay(nullptr);
        ASSERT_NE(push.x, nullptr);
        SDL_SysWMinfo info;
        SDL_VERSION(&info.version);
        SDL_Window* window = nullptr;
        for (Uint32 id = 1; id < 64 && !window; ++id) window = SDL_GetWindowFromID(id);
        ASSERT_TRUE(window && SDL_GetWindowWMInfo(window, &info));
        push.window = info.info.x11.window;
    }
    std::vector<std::uint8_t> pixels(320 * 240);
    std::vector<host::Rgb> colours(256);
    const host::ScreenImage image{pixels.data(), 320, 240, 320, colours.data()};
    // The game's frame loop: 33 ms frames, each timed from its start, input read at each look.
    host::InputEvent event;
    const auto frame = [&] {
        const std::uint32_t start = host->Milliseconds();
        ++pixels[0];
        host->ShowScreen(image, host::ScreenChange::Flip);
        do {
            while (host->NextEvent(event)) {
            }
            host->Idle();
        } while (host->Milliseconds() - start < 33);
    };
    for (int i = 0; i < 12; ++i) frame();
    // A frame starts; the key comes 3 ms later, 30 ms before the next frame is due. A loaded
    // machine may run the timer late: then the next frame is tried.
    bool woke = false;
    for (int attempt = 0; attempt < 3 && !woke; ++attempt) {
        frame();
        const Clock::time_point began = Clock::now();
        const std::uint32_t start = host->Milliseconds();
        ++pixels[0];
        host->ShowScreen(image, host::ScreenChange::Flip);
        host->Idle();  // just drew: back at once
        push.done = false;
        ASSERT_NE(SDL_AddTimer(3, PushReturn, &push), 0);
        host->Idle();
        const Clock::time_point back = Clock::now();
        const std::uint32_t slept = host->Milliseconds() - start;
        while (!push.done) SDL_Delay(1);
        // The timer ran late (the key came less than 10 ms before the frame): the next frame.
        if (back < push.at || push.at - began > std::chrono::milliseconds(20)) continue;
        woke = true;
        const auto after =
            std::chrono::duration_cast<std::chrono::microseconds>(back - push.at).count();
        std::printf("the host woke %lld us after the key came, %u ms into the frame\n",
                    static_cast<long long>(after), slept);
        EXPECT_LT(slept, 30u) << "woken at the frame, not by the key";
        ASSERT_TRUE(host->NextEvent(event));
        EXPECT_EQ(event.kind, host::InputEvent::Kind::KeyDown);
        EXPECT_EQ(event.virtualKey, host::vk::kReturn);
    }
    EXPECT_TRUE(woke);
    host.reset();
    if (push.x) XCloseDisplay(push.x);
    EXPECT_EQ(std::system(("rm -rf '" + config + "'").c_str()), 0);
}

INSTANTIATE_TEST_SUITE_P(Drivers, SdlWake, ::testing::Values("dummy", "x11"),
                         [](const auto& info) { return std::string(info.param); });

std::string Kinds(const host::InputEvent& e) {
    using Kind = host::InputEvent::Kind;
    const char* kind = e.kind == Kind::KeyDown      ? "down"
                       : e.kind == Kind::KeyUp      ? "up"
                       : e.kind == Kind::SysKeyDown ? "sysdown"
                       : e.kind == Kind::SysKeyUp   ? "sysup"
                                                    : "other";
    char text[32];
    std::snprintf(text, sizeof text, "%s %02X", kind, e.virtualKey);
    return text;
}

TEST(SdlInput, KeysReachTheGameThroughTheBindings) {
    std::string config;
    std::unique_ptr<host::Host> host =
        MakeHost("key.left=A,h\nkey.scaling=S\nkey.enter=Return,Bogus\npad.left=b\n", config);
    const struct {
        SDL_Keycode key;
        Uint16 modifiers;
        const char* reaches;  // "" for nothing
    } cases[] = {
        {SDLK_a, KMOD_NONE, "down 25"},       // bound to left
        {SDLK_h, KMOD_NONE, "down 25"},       // bound to left
        {SDLK_LEFT, KMOD_NONE, ""},           // left's default, bound to nothing now
        {SDLK_RETURN, KMOD_NONE, "down 0D"},  // enter, as before
        {SDLK_KP_ENTER, KMOD_NONE, ""},       // no longer enter's
        {SDLK_b, KMOD_NONE, "down 42"},       // bound to nothing: its own key
        {SDLK_F11, KMOD_NONE, "down 7A"},     // no longer scaling, still a key
        {SDLK_a, KMOD_LALT, "sysdown 25"},    // Alt: a system key, as Windows sends it
        {SDLK_s, KMOD_NONE, "down 53"},       // scaling (the host's), and its own key
    };
    std::string expected, got;
    for (const auto& c : cases) {
        PushKey(c.key, true, c.modifiers);
        if (c.reaches[0]) expected += std::string(c.reaches) + "\n";
    }
    // A controller's B is left now, its D-pad's left nothing.
    for (const Uint8 button : {SDL_CONTROLLER_BUTTON_B, SDL_CONTROLLER_BUTTON_DPAD_LEFT}) {
        SDL_Event e{};
        e.type = SDL_CONTROLLERBUTTONDOWN;
        e.cbutton.button = button;
        e.cbutton.state = SDL_PRESSED;
        SDL_PushEvent(&e);
    }
    expected += "down 25\n";
    SDL_Delay(10);  // the next look at SDL's queue is due
    host::InputEvent event;
    while (host->NextEvent(event)) got += Kinds(event) + "\n";
    EXPECT_EQ(got, expected);
    // S switched the scaling, which is saved.
    const std::string saved = testing_support::ReadFile(config + "/tavlo/settings.conf");
    EXPECT_NE(saved.find("scaling=smooth\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find("key.left=A,H\n"), std::string::npos) << saved;
    host.reset();
    EXPECT_EQ(std::system(("rm -rf '" + config + "'").c_str()), 0);
}

}  // namespace
