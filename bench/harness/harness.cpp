// What the benchmarks that run the real program share (see harness.h).
#include "harness.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace bench {

long long NowMicroseconds() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
}

void SleepMicroseconds(long long us) {
    if (us <= 0) return;
    timespec span{static_cast<time_t>(us / 1000000), static_cast<long>(us % 1000000) * 1000};
    while (nanosleep(&span, &span) != 0) {
    }
}

double Percentile(std::vector<double> values, double p) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const std::size_t at =
        std::min(values.size() - 1, static_cast<std::size_t>(p * double(values.size() - 1) + 0.5));
    return values[at];
}

double Mean(const std::vector<double>& values) {
    double sum = 0;
    for (double v : values) sum += v;
    return values.empty() ? 0 : sum / double(values.size());
}

pid_t StartXvfb(int first, std::string& display) {
    for (int number = first; number < first + 20; ++number) {
        char lock[32];
        std::snprintf(lock, sizeof lock, "/tmp/.X%d-lock", number);
        if (::access(lock, F_OK) == 0) continue;
        display = ":" + std::to_string(number);
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
        Stop(pid);
    }
    return -1;
}

void Stop(pid_t pid) {
    ::kill(pid, SIGTERM);
    ::waitpid(pid, nullptr, 0);
}

int WaitOrKill(pid_t pid, int ms) {
    int status = 0;
    for (int i = 0; i < ms / 10 && ::waitpid(pid, &status, WNOHANG) == 0; ++i) ::usleep(10000);
    if (::waitpid(pid, &status, WNOHANG) == 0) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}

std::string MakeGameFolder(const std::string& archive) {
    char pattern[] = "/tmp/tavlo-bench-XXXXXX";
    const char* made = ::mkdtemp(pattern);
    if (!made) return "";
    const std::string folder = made;
    std::ifstream in(archive, std::ios::binary);
    std::ofstream out(folder + "/tavlo.rka", std::ios::binary);
    out << in.rdbuf();
    std::ofstream score(folder + "/score.dat", std::ios::binary);
    score.write("\0\0\0\0", 4);
    return folder;
}

void RemoveFolder(const std::string& folder) {
    std::error_code error;
    std::filesystem::remove_all(folder, error);
    if (error) std::fprintf(stderr, "cannot remove %s\n", folder.c_str());
}

pid_t StartGame(const std::string& game, const std::string& folder,
                const std::map<std::string, std::string>& environment) {
    const pid_t pid = ::fork();
    if (pid != 0) return pid;
    if (::chdir(folder.c_str()) != 0) ::_exit(127);
    ::setenv("HOME", folder.c_str(), 1);
    for (const char* name : {"XDG_CONFIG_HOME", "TAVLO_VIDEO", "TAVLO_INPUT", "TAVLO_SPIN",
                             "TAVLO_PACING", "TAVLO_FLIP_LOG", "TAVLO_INPUT_LOG"}) {
        ::unsetenv(name);
    }
    for (const auto& [name, value] : environment) ::setenv(name.c_str(), value.c_str(), 1);
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, 1);
    ::execl(game.c_str(), game.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
}

FlipLog ReadFlipLog(const std::string& path) {
    FlipLog log;
    std::ifstream in(path);
    long long at = 0, presented = 0;
    while (in >> at >> presented) {
        log.flips.push_back(at);
        log.presented.push_back(presented);
    }
    return log;
}

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

std::vector<Variant> ParseVariants(const std::string& list, const std::string& game) {
    std::vector<Variant> variants;
    std::stringstream in(list);
    std::string item;
    while (std::getline(in, item, ',')) {
        if (item.empty()) continue;
        Variant v{item, item, game};
        if (const auto at = item.find('@'); at != std::string::npos) {
            v.game = item.substr(at + 1);
            v.label = v.mode = item.substr(0, at);
        }
        if (const auto equals = v.label.find('='); equals != std::string::npos) {
            v.mode = v.label.substr(equals + 1);
            v.label = v.label.substr(0, equals);
        }
        variants.push_back(v);
    }
    return variants;
}

}  // namespace bench
