// Press-to-picture latency of the real game in the SDL host, on an X server of its own.
//
// Real key events go in through XTest at random moments (so at every phase of the game's
// frame); the time of a press is taken once the X server has it (XSync). The host writes down
// when it handed each key to the game (TAVLO_INPUT_LOG) and when each flip happened
// (TAVLO_FLIP_LOG), on the same clock as ours. The game reads its keys only in its waits and
// draws only after them, so the flip that answers a press is the first flip after the game
// received it. On the title screen Down and Up move the cursor (33 ms frames); then Enter starts
// rounds, during which Space is pressed (16 ms frames: the game receives it and reads no such
// key, so its frame goes on as it would; nobody answers, so each round ends when its first
// picture escapes). The same presses are measured with each way of waiting the host has, one
// run after the other, alternating.
//
//   tavlo_latency [--presses N] [--rounds N] [--runs N] [--modes wait,millisecond]
//                 [--game PATH] [--archive PATH] [--seed N]
// A mode may name another build of the program to run beside this one: before=wait@PATH.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "harness.h"

namespace {

// When the title's own frames are surely running: after the logo and the title's fade-in.
constexpr long long kTitleFromUs = 6500000;
constexpr unsigned kVkReturn = 0x0D;
constexpr unsigned kVkSpace = 0x20;
constexpr unsigned kVkUp = 0x26;
constexpr unsigned kVkDown = 0x28;
constexpr unsigned kVkPause = 0x13;

using bench::NowMicroseconds;
using bench::SleepMicroseconds;

struct Press {
    long long at;  // µs, once the X server had it
    unsigned vk;
};

struct Received {
    long long at;
    unsigned vk;
};

struct Figures {
    std::vector<double> received;  // ms, press to the game's receipt
    std::vector<double> flip;      // ms, press to the flip that answers it
    std::vector<double> present;   // ms, that flip to its picture on the window
    int unmatched = 0;
};

struct Options {
    int presses = 100;
    int rounds = 4;
    int runs = 2;
    std::string modes = "wait,millisecond";
    std::string game = TAVLO_GAME;
    std::string archive = TAVLO_ARCHIVE;
    unsigned seed = 0;
};

class Keyboard {
  public:
    explicit Keyboard(Display* display) : display_(display) {
        codes_[kVkDown] = XKeysymToKeycode(display, XK_Down);
        codes_[kVkUp] = XKeysymToKeycode(display, XK_Up);
        codes_[kVkReturn] = XKeysymToKeycode(display, XK_Return);
        codes_[kVkSpace] = XKeysymToKeycode(display, XK_space);
        codes_[kVkPause] = XKeysymToKeycode(display, XK_Pause);
    }
    // The moment the X server has the press.
    long long Down(unsigned vk) {
        XTestFakeKeyEvent(display_, codes_[vk], True, CurrentTime);
        XSync(display_, False);
        return NowMicroseconds();
    }
    void Up(unsigned vk) {
        XTestFakeKeyEvent(display_, codes_[vk], False, CurrentTime);
        XSync(display_, False);
    }
    void Tap(unsigned vk, long long holdUs) {
        Down(vk);
        SleepMicroseconds(holdUs);
        Up(vk);
    }

  private:
    Display* display_;
    std::map<unsigned, unsigned> codes_;
};

struct Run {
    std::vector<Press> title, play;
    std::vector<Received> received;
    std::vector<long long> flips;
    std::vector<long long> presented;  // when each flip's picture was on the window
    int exitCode = -1;
};

Run RunOnce(const Options& options, const bench::Variant& variant, const std::string& display,
            std::mt19937& random) {
    Run run;
    const std::string folder = bench::MakeGameFolder(options.archive);
    if (folder.empty()) return run;
    {
        ::mkdir((folder + "/.config").c_str(), 0755);
        ::mkdir((folder + "/.config/tavlo").c_str(), 0755);
        // No window manager gives the window the focus: the pause on losing it stays out.
        std::ofstream settings(folder + "/.config/tavlo/settings.conf");
        settings << "mode=fullscreen\npause_on_focus_loss=no\n";
    }
    const std::string flipLog = folder + "/flips.txt";
    const std::string inputLog = folder + "/input.txt";
    const pid_t pid = bench::StartGame(variant.game, folder,
                                       {{"SDL_VIDEODRIVER", "x11"},
                                        {"DISPLAY", display},
                                        {"TAVLO_FLIP_LOG", flipLog},
                                        {"TAVLO_INPUT_LOG", inputLog},
                                        {"TAVLO_PACING", variant.mode}});
    const long long started = NowMicroseconds();
    Display* x = XOpenDisplay(display.c_str());
    if (!x) {
        bench::WaitOrKill(pid, 0);
        return run;
    }
    Keyboard keys(x);
    // The pointer over the middle of the screen, where the full-screen window is.
    XTestFakeMotionEvent(x, -1, 640, 480, CurrentTime);
    XSync(x, False);
    SleepMicroseconds(started + kTitleFromUs - NowMicroseconds());

    std::uniform_int_distribution<long long> titleGap(150000, 400000);
    for (int i = 0; i < options.presses; ++i) {
        const unsigned vk = i % 2 == 0 ? kVkDown : kVkUp;  // an even count leaves it on START
        run.title.push_back({keys.Down(vk), vk});
        // Held longer than a frame even when one comes late: a key let go before the game's
        // frame has read it does not count, and a lost press would leave the cursor on QUIT.
        SleepMicroseconds(80000);
        keys.Up(vk);
        SleepMicroseconds(titleGap(random));
    }
    // Rounds: Enter once a second starts the next one whenever the title is back; Space at
    // random moments in between.
    std::uniform_int_distribution<long long> playGap(60000, 140000);
    const long long playUntil = NowMicroseconds() + options.rounds * 12000000LL;
    long long nextEnter = 0;
    while (NowMicroseconds() < playUntil) {
        if (NowMicroseconds() >= nextEnter) {
            keys.Tap(kVkReturn, 45000);
            nextEnter = NowMicroseconds() + 1000000;
        }
        run.play.push_back({keys.Down(kVkSpace), kVkSpace});
        SleepMicroseconds(25000);
        keys.Up(kVkSpace);
        SleepMicroseconds(playGap(random));
    }
    keys.Tap(kVkPause, 45000);
    XCloseDisplay(x);
    run.exitCode = bench::WaitOrKill(pid, 5000);
    const bench::FlipLog flips = bench::ReadFlipLog(flipLog);
    run.flips = flips.flips;
    run.presented = flips.presented;
    {
        std::ifstream in(inputLog);
        long long at = 0;
        unsigned vk = 0;
        while (in >> at >> vk) run.received.push_back({at, vk});
    }
    bench::RemoveFolder(folder);
    return run;
}

// Each press's receipt is the first key-down of its key after the previous press of it (the X
// server may hand it over before our XSync returns); its answer is the first flip after that.
void Measure(const Run& run, const std::vector<Press>& presses,
             const std::vector<bench::Window>& windows, Figures& figures) {
    std::map<unsigned, std::size_t> nextOf;
    std::map<unsigned, long long> previous;
    for (const Press& press : presses) {
        std::size_t& next = nextOf[press.vk];
        const long long after = previous.count(press.vk) ? previous[press.vk] : 0;
        previous[press.vk] = press.at;
        while (next < run.received.size() &&
               (run.received[next].vk != press.vk || run.received[next].at <= after)) {
            ++next;
        }
        if (next >= run.received.size() || run.received[next].at > press.at + 500000) {
            ++figures.unmatched;
            continue;
        }
        const long long got = run.received[next++].at;
        const auto flip = std::upper_bound(run.flips.begin(), run.flips.end(), got);
        if (flip == run.flips.end()) {
            ++figures.unmatched;
            continue;
        }
        bool inside = windows.empty();
        for (const bench::Window& w : windows) inside = inside || (got >= w.from && *flip <= w.to);
        if (!inside) continue;
        figures.received.push_back(double(got - press.at) / 1000.0);
        figures.flip.push_back(double(*flip - press.at) / 1000.0);
        const std::size_t at = static_cast<std::size_t>(flip - run.flips.begin());
        figures.present.push_back(double(run.presented[at] - *flip) / 1000.0);
    }
}

void PrintFigures(const std::string& mode, const char* screen, const Figures& f) {
    std::printf("%-12s %-6s %5zu | %6.2f %6.2f %6.2f | %6.2f %6.2f %6.2f | %5.2f %5.2f | %d\n",
                mode.c_str(), screen, f.received.size(), bench::Mean(f.received),
                bench::Percentile(f.received, 0.5), bench::Percentile(f.received, 0.99),
                bench::Mean(f.flip), bench::Percentile(f.flip, 0.5),
                bench::Percentile(f.flip, 0.99), bench::Mean(f.present),
                bench::Percentile(f.present, 0.99), f.unmatched);
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    options.seed = static_cast<unsigned>(NowMicroseconds());
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string key = argv[i];
        const std::string value = argv[i + 1];
        if (key == "--presses") {
            options.presses = std::atoi(value.c_str());
        } else if (key == "--rounds") {
            options.rounds = std::atoi(value.c_str());
        } else if (key == "--runs") {
            options.runs = std::atoi(value.c_str());
        } else if (key == "--game") {
            options.game = value;
        } else if (key == "--archive") {
            options.archive = value;
        } else if (key == "--seed") {
            options.seed = static_cast<unsigned>(std::strtoul(value.c_str(), nullptr, 10));
        } else if (key == "--modes") {
            options.modes = value;
        } else {
            std::fprintf(stderr, "unknown option %s\n", key.c_str());
            return 2;
        }
    }
    std::string display;
    const std::vector<bench::Variant> variants = bench::ParseVariants(options.modes, options.game);
    const pid_t xvfb = bench::StartXvfb(140, display);
    if (xvfb < 0) {
        std::fprintf(stderr, "no Xvfb\n");
        return 1;
    }
    std::fprintf(stderr, "seed %u\n", options.seed);
    std::mt19937 random(options.seed);
    std::map<std::string, Figures> title, play;
    std::map<std::string, std::vector<int>> exits;
    for (int r = 0; r < options.runs; ++r) {
        for (const bench::Variant& variant : variants) {
            const std::string& mode = variant.label;
            std::fprintf(stderr, "run %d, %s ...\n", r + 1, mode.c_str());
            const Run run = RunOnce(options, variant, display, random);
            exits[mode].push_back(run.exitCode);
            Measure(run, run.title, {}, title[mode]);
            Measure(run, run.play, bench::PlayWindows(run.flips), play[mode]);
        }
    }
    bench::Stop(xvfb);
    std::printf("%-12s %-6s %5s | %-20s | %-20s | %-11s | unmatched\n", "mode", "screen", "n",
                "received: mean p50 p99", "flip: mean  p50   p99", "shown: mean p99");
    for (const bench::Variant& variant : variants) {
        const std::string& mode = variant.label;
        PrintFigures(mode, "title", title[mode]);
        PrintFigures(mode, "play", play[mode]);
        std::printf("%-12s exit codes:", mode.c_str());
        for (int code : exits[mode]) std::printf(" %d", code);
        std::printf("\n");
    }
    return 0;
}
