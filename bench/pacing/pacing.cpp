// Frame pacing and CPU use of the real game in the SDL host.
//
// Runs the program on SDL's offscreen driver and on X11 (an Xvfb of its own unless DISPLAY is
// set), each time with the host waiting for input or the next frame, with the earlier way of
// sleeping to every millisecond (TAVLO_PACING=millisecond), and spinning (TAVLO_SPIN=1). A script
// watches the title screen for a while, then presses Enter every second, which chains rounds:
// nobody answers, so each round ends when its first picture escapes. The host logs the time of
// every flip (TAVLO_FLIP_LOG); this program samples the process's CPU time from /proc meanwhile.
//
//   tavlo_pacing [--title-ms N] [--rounds N] [--drivers offscreen,x11] [--game PATH]
//                [--archive PATH]
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

// When the title's own frames are surely running: after the logo (about 4.2 s) and the title's
// fade-in (about 1 s).
constexpr long kTitleFromMs = 6000;
// One round with nobody answering, from the Enter to the title's next fade-in, with room to spare.
constexpr long kRoundMs = 12000;

long long NowMicroseconds() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
}

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

struct Window {
    long long from, to;  // µs
};

struct Stretch {
    std::vector<double> intervals;  // ms
    double cpuSeconds = 0;
    double wallSeconds = 0;
};

double Percentile(std::vector<double> values, double p) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const std::size_t at =
        std::min(values.size() - 1, static_cast<std::size_t>(p * double(values.size() - 1) + 0.5));
    return values[at];
}

void AddWindow(Stretch& stretch, const std::vector<long long>& flips, const Window& w,
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

// The rounds' play: the flips between the countdown's last 900 ms pause and the rating's 2000 ms.
std::vector<Window> PlayWindows(const std::vector<long long>& flips) {
    std::vector<Window> windows;
    long long start = -1;
    for (std::size_t i = 1; i < flips.size(); ++i) {
        const long long gap = flips[i] - flips[i - 1];
        if (gap >= 800000 && gap < 1000000) {
            start = flips[i];
        } else if (gap >= 1800000 && gap < 2300000 && start >= 0) {
            windows.push_back({start, flips[i - 1]});
            start = -1;
        } else if (gap >= 100000) {
            start = -1;
        }
    }
    return windows;
}

struct Options {
    long titleMs = 8000;
    int rounds = 3;
    std::vector<std::string> drivers = {"offscreen", "x11"};
    std::string game = TAVLO_GAME;
    std::string archive = TAVLO_ARCHIVE;
};

struct Result {
    std::string driver, mode;
    Stretch title, play;
    int exitCode = -1;
    bool ran = false;
};

std::string MakeFolder() {
    char pattern[] = "/tmp/tavlo-pacing-XXXXXX";
    const char* made = ::mkdtemp(pattern);
    return made ? made : "";
}

pid_t StartXvfb(std::string& display) {
    for (int number = 120; number < 140; ++number) {
        char lock[32];
        std::snprintf(lock, sizeof lock, "/tmp/.X%d-lock", number);
        if (::access(lock, F_OK) == 0) continue;
        char name[16];
        std::snprintf(name, sizeof name, ":%d", number);
        display = name;
        const pid_t pid = ::fork();
        if (pid == 0) {
            const int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, 1);
            ::dup2(null, 2);
            ::execlp("Xvfb", "Xvfb", display.c_str(), "-screen", "0", "1280x960x24", "-nolisten",
                     "tcp", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        for (int i = 0; i < 50; ++i) {
            ::usleep(100000);
            if (::access(lock, F_OK) == 0) return pid;
        }
        ::kill(pid, SIGTERM);
        ::waitpid(pid, nullptr, 0);
    }
    return -1;
}

Result RunOnce(const Options& options, const std::string& driver, const std::string& mode,
               const std::string& display) {
    Result result;
    result.driver = driver;
    result.mode = mode;
    const std::string folder = MakeFolder();
    if (folder.empty()) return result;
    // The game's working folder: the archive and a best score of zero.
    {
        std::ifstream in(options.archive, std::ios::binary);
        std::ofstream out(folder + "/tavlo.rka", std::ios::binary);
        out << in.rdbuf();
        std::ofstream score(folder + "/score.dat", std::ios::binary);
        score.write("\0\0\0\0", 4);
    }
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

    const long long started = NowMicroseconds();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::chdir(folder.c_str());
        ::setenv("HOME", folder.c_str(), 1);  // settings and screenshots stay in the scratch folder
        ::unsetenv("XDG_CONFIG_HOME");
        ::unsetenv("TAVLO_VIDEO");
        ::setenv("SDL_VIDEODRIVER", driver.c_str(), 1);
        if (driver == "x11") ::setenv("DISPLAY", display.c_str(), 1);
        ::setenv("TAVLO_INPUT", (folder + "/input.txt").c_str(), 1);
        ::setenv("TAVLO_FLIP_LOG", flipLog.c_str(), 1);
        if (mode == "spin") {
            ::setenv("TAVLO_SPIN", "1", 1);
        } else {
            ::unsetenv("TAVLO_SPIN");
        }
        ::setenv("TAVLO_PACING", mode.c_str(), 1);
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 1);
        ::execl(options.game.c_str(), options.game.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    std::vector<CpuSample> cpu;
    int status = 0;
    for (;;) {
        const long long ticks = ProcessTicks(pid);
        if (ticks >= 0) cpu.push_back({NowMicroseconds(), ticks});
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid) break;
        if (NowMicroseconds() - started > (endAt + 20000) * 1000LL) {
            ::kill(pid, SIGKILL);
        }
        ::usleep(10000);
    }
    result.ran = true;
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);

    // Each line: the flip's time, then when it was on the window.
    std::vector<long long> flips;
    {
        std::ifstream in(flipLog);
        long long at = 0, presented = 0;
        while (in >> at >> presented) flips.push_back(at);
    }
    const long ticksPerSecond = ::sysconf(_SC_CLK_TCK);
    AddWindow(result.title, flips, {started + kTitleFromMs * 1000LL, started + enterAt * 1000LL},
              cpu, ticksPerSecond, 0);
    for (const Window& w : PlayWindows(flips)) {
        AddWindow(result.play, flips, w, cpu, ticksPerSecond, 1);
    }
    std::string remove = "rm -rf '" + folder + "'";
    if (std::system(remove.c_str()) != 0)
        std::fprintf(stderr, "cannot remove %s\n", folder.c_str());
    return result;
}

void PrintStretch(const Stretch& s) {
    if (s.intervals.empty()) {
        std::printf(" %7s %7s %6s %5s |", "-", "-", "-", "0");
        return;
    }
    std::printf(" %7.2f %7.2f %5.1f%% %5zu |", Percentile(s.intervals, 0.5),
                Percentile(s.intervals, 0.99), 100.0 * s.cpuSeconds / s.wallSeconds,
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

    std::string display;
    pid_t xvfb = -1;
    std::vector<Result> results;
    for (const std::string& driver : options.drivers) {
        if (driver == "x11") {
            if (const char* d = std::getenv("DISPLAY"); d && *d) {
                display = d;
            } else if ((xvfb = StartXvfb(display)) < 0) {
                std::fprintf(stderr, "no X display and no Xvfb: skipping x11\n");
                continue;
            }
        }
        for (const char* mode : {"wait", "millisecond", "spin"}) {
            std::fprintf(stderr, "running %s, %s ...\n", driver.c_str(), mode);
            results.push_back(RunOnce(options, driver, mode, display));
        }
    }
    if (xvfb > 0) {
        ::kill(xvfb, SIGTERM);
        ::waitpid(xvfb, nullptr, 0);
    }

    std::printf("%-10s %-11s | %-31s | %-31s | exit\n", "", "",
                "title: median   p99    CPU  frames", "play: median   p99    CPU  frames");
    for (const Result& r : results) {
        std::printf("%-10s %-11s |", r.driver.c_str(), r.mode.c_str());
        PrintStretch(r.title);
        PrintStretch(r.play);
        std::printf(" %d\n", r.exitCode);
    }
    return 0;
}
