// Frame pacing and CPU use of the real game in the SDL host.
//
// Runs the program (its measuring build, bench/probe) on SDL's offscreen driver and on X11 (an
// Xvfb of its own unless DISPLAY is set), each time with the host waiting for input or the next
// frame, with the earlier way of sleeping to every millisecond (TAVLO_PACING=millisecond), and
// spinning (TAVLO_PACING=spin). A script watches the title screen for a while, then presses
// Enter every second, which chains rounds: nobody answers, so each round ends when its first
// picture escapes. The probe logs the time of every flip (TAVLO_FLIP_LOG); this program samples
// the process's CPU time from /proc meanwhile.
//
//   tavlo_pacing [--title-ms N] [--rounds N] [--runs N] [--drivers offscreen,x11]
//                [--modes wait,millisecond,spin] [--game PATH] [--archive PATH]
// A mode may name another build of the program to run beside this one: before=wait@PATH.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "harness.h"

namespace {

// When the title's own frames are surely running: after the logo (about 4.2 s) and the title's
// fade-in (about 1 s).
constexpr long kTitleFromMs = 6000;
// One round with nobody answering, from the Enter to the title's next fade-in, with room to spare.
constexpr long kRoundMs = 12000;

struct CpuSample {
    long long at;     // µs, CLOCK_MONOTONIC
    long long ticks;  // utime + stime of the whole process
};

long long ProcessTicks(pid_t pid) {
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%d/stat", static_cast<int>(pid));
    std::ifstream in(path);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto close = text.rfind(')');
    if (close == std::string::npos) return -1;
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    long long utime = 0, stime = 0;
    // Fields after the name: state is 3; utime 14 and stime 15.
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14) utime = std::atoll(field.c_str());
        if (i == 15) stime = std::atoll(field.c_str());
    }
    return utime + stime;
}

// CPU ticks at time `at`, interpolated between samples.
double TicksAt(const std::vector<CpuSample>& samples, long long at) {
    if (samples.empty()) return 0;
    if (at <= samples.front().at) return static_cast<double>(samples.front().ticks);
    for (std::size_t i = 1; i < samples.size(); ++i) {
        if (samples[i].at >= at) {
            const CpuSample& a = samples[i - 1];
            const CpuSample& b = samples[i];
            const double f = b.at == a.at ? 1.0 : double(at - a.at) / double(b.at - a.at);
            return static_cast<double>(a.ticks) + f * static_cast<double>(b.ticks - a.ticks);
        }
    }
    return static_cast<double>(samples.back().ticks);
}

struct Stretch {
    std::vector<double> intervals;  // ms
    double cpuSeconds = 0;
    double wallSeconds = 0;
};

void AddWindow(Stretch& stretch, const std::vector<long long>& flips, const bench::Window& w,
               const std::vector<CpuSample>& cpu, long ticksPerSecond, int skipFirst) {
    int seen = 0;
    for (std::size_t i = 1; i < flips.size(); ++i) {
        if (flips[i - 1] < w.from || flips[i] > w.to) continue;
        if (seen++ < skipFirst) continue;
        stretch.intervals.push_back(double(flips[i] - flips[i - 1]) / 1000.0);
    }
    stretch.cpuSeconds += (TicksAt(cpu, w.to) - TicksAt(cpu, w.from)) / double(ticksPerSecond);
    stretch.wallSeconds += double(w.to - w.from) / 1e6;
}

struct Options {
    long titleMs = 8000;
    int rounds = 3;
    int runs = 1;
    std::vector<std::string> drivers = {"offscreen", "x11"};
    std::string modes = "wait,millisecond,spin";
    std::string game = TAVLO_GAME;
    std::string archive = TAVLO_ARCHIVE;
};

struct Result {
    std::string driver, label;
    Stretch title, play;
    int exitCode = -1;
};

Result RunOnce(const Options& options, const std::string& driver, const bench::Variant& variant,
               const std::string& display) {
    Result result;
    result.driver = driver;
    result.label = variant.label;
    const std::string folder = bench::MakeGameFolder(options.archive);
    if (folder.empty()) return result;
    const long enterAt = kTitleFromMs + options.titleMs;
    const long endAt = enterAt + options.rounds * kRoundMs;
    {
        std::ofstream script(folder + "/input.txt");
        for (long t = enterAt; t < endAt; t += 1000) {
            script << t << " down RETURN\n" << t + 50 << " up RETURN\n";
        }
        script << endAt << " down PAUSE\n";
    }
    const std::string flipLog = folder + "/flips.txt";
    std::map<std::string, std::string> environment = {
        {"SDL_VIDEODRIVER", driver},
        {"TAVLO_INPUT", folder + "/input.txt"},
        {"TAVLO_FLIP_LOG", flipLog},
        {"TAVLO_PACING", variant.mode},
    };
    if (driver == "x11") environment["DISPLAY"] = display;
    // Builds of the program from before the probe read the spin from here.
    if (variant.mode == "spin") environment["TAVLO_SPIN"] = "1";

    const long long started = bench::NowMicroseconds();
    const pid_t pid = bench::StartGame(variant.game, folder, environment);
    std::vector<CpuSample> cpu;
    int status = 0;
    for (;;) {
        const long long ticks = ProcessTicks(pid);
        if (ticks >= 0) cpu.push_back({bench::NowMicroseconds(), ticks});
        if (::waitpid(pid, &status, WNOHANG) == pid) break;
        if (bench::NowMicroseconds() - started > (endAt + 20000) * 1000LL) ::kill(pid, SIGKILL);
        ::usleep(10000);
    }
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);

    const std::vector<long long> flips = bench::ReadFlipLog(flipLog).flips;
    const long ticksPerSecond = ::sysconf(_SC_CLK_TCK);
    AddWindow(result.title, flips, {started + kTitleFromMs * 1000LL, started + enterAt * 1000LL},
              cpu, ticksPerSecond, 0);
    for (const bench::Window& w : bench::PlayWindows(flips)) {
        AddWindow(result.play, flips, w, cpu, ticksPerSecond, 1);
    }
    bench::RemoveFolder(folder);
    return result;
}

void PrintStretch(const Stretch& s) {
    if (s.intervals.empty()) {
        std::printf(" %7s %7s %6s %5s |", "-", "-", "-", "0");
        return;
    }
    std::printf(" %7.2f %7.2f %5.1f%% %5zu |", bench::Percentile(s.intervals, 0.5),
                bench::Percentile(s.intervals, 0.99), 100.0 * s.cpuSeconds / s.wallSeconds,
                s.intervals.size());
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string key = argv[i];
        const std::string value = argv[i + 1];
        if (key == "--title-ms") {
            options.titleMs = std::atol(value.c_str());
        } else if (key == "--rounds") {
            options.rounds = std::atoi(value.c_str());
        } else if (key == "--game") {
            options.game = value;
        } else if (key == "--archive") {
            options.archive = value;
        } else if (key == "--runs") {
            options.runs = std::atoi(value.c_str());
        } else if (key == "--modes") {
            options.modes = value;
        } else if (key == "--drivers") {
            options.drivers.clear();
            std::stringstream list(value);
            std::string driver;
            while (std::getline(list, driver, ',')) options.drivers.push_back(driver);
        } else {
            std::fprintf(stderr, "unknown option %s\n", key.c_str());
            return 2;
        }
    }

    const std::vector<bench::Variant> variants = bench::ParseVariants(options.modes, options.game);
    std::string display;
    pid_t xvfb = -1;
    std::vector<Result> results;
    for (const std::string& driver : options.drivers) {
        if (driver == "x11") {
            if (const char* d = std::getenv("DISPLAY"); d && *d) {
                display = d;
            } else if ((xvfb = bench::StartXvfb(120, display)) < 0) {
                std::fprintf(stderr, "no X display and no Xvfb: skipping x11\n");
                continue;
            }
        }
        // The ways alternate, so that a change of the machine's load falls on all of them.
        for (int run = 0; run < options.runs; ++run) {
            for (const bench::Variant& variant : variants) {
                std::fprintf(stderr, "running %s, %s ...\n", driver.c_str(), variant.label.c_str());
                results.push_back(RunOnce(options, driver, variant, display));
            }
        }
    }
    if (xvfb > 0) bench::Stop(xvfb);

    std::printf("%-10s %-11s | %-31s | %-31s | exit\n", "", "",
                "title: median   p99    CPU  frames", "play: median   p99    CPU  frames");
    for (const Result& r : results) {
        std::printf("%-10s %-11s |", r.driver.c_str(), r.label.c_str());
        PrintStretch(r.title);
        PrintStretch(r.play);
        std::printf(" %d\n", r.exitCode);
    }
    return 0;
}
