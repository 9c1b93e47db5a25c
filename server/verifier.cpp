// The child is made with fork and exec: only async-signal-safe calls between them (limits,
// folder, descriptors), everything it needs prepared before the fork.
#include "verifier.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>

namespace scores {

namespace {

constexpr std::size_t kMaxOutput = 64 * 1024;

struct Played {
    bool started = false;
    bool timedOut = false;
    int status = 0;
    std::string out;
    std::string err;
};

// Runs `argv` in `folder` with `env`, its output collected; killed after `wallSeconds`.
Played RunChild(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                const std::string& folder, const VerifierConfig& config) {
    Played played;
    int out[2];
    int err[2];
    if (pipe2(out, O_CLOEXEC) != 0) return played;
    if (pipe2(err, O_CLOEXEC) != 0) {
        close(out[0]);
        close(out[1]);
        return played;
    }
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    std::vector<char*> environment;
    for (const std::string& e : env) environment.push_back(const_cast<char*>(e.c_str()));
    environment.push_back(nullptr);
    // SIGXCPU at the limit, SIGKILL a second later for a play that ignores it: with both at the
    // same value the kernel's SIGKILL comes first, and the play reads as a crash, not as time.
    const rlimit cpu{static_cast<rlim_t>(config.cpuSeconds),
                     static_cast<rlim_t>(config.cpuSeconds) + 1};
    const rlim_t bytes = static_cast<rlim_t>(config.memoryMiB) * 1024 * 1024;
    const rlimit memory{bytes, bytes};
    const rlimit noCore{0, 0};

    const pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], 1);
        dup2(err[1], 2);
        const int devNull = open("/dev/null", O_RDONLY);
        if (devNull >= 0) dup2(devNull, 0);
        // Nothing of the server's goes with the play: not its listening socket, its clients'
        // connections or its database (Asio opens its sockets without close-on-exec).
        if (close_range(3, ~0U, 0) != 0) {
            for (int fd = 3; fd < 4096; ++fd) close(fd);
        }
        // A play without its limits is not started (code 126: the server's trouble, logged).
        if (setrlimit(RLIMIT_CPU, &cpu) != 0 || setrlimit(RLIMIT_CORE, &noCore) != 0 ||
            (config.memoryMiB > 0 && setrlimit(RLIMIT_AS, &memory) != 0)) {
            _exit(126);
        }
        setpgid(0, 0);
        if (chdir(folder.c_str()) != 0) _exit(127);
        execve(args[0], args.data(), environment.data());
        _exit(127);
    }
    close(out[1]);
    close(err[1]);
    if (pid < 0) {
        close(out[0]);
        close(err[0]);
        return played;
    }
    played.started = true;
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::seconds(config.wallSeconds);
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    std::string* sinks[2] = {&played.out, &played.err};
    int open = 2;
    while (open > 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            played.timedOut = true;
            kill(-pid, SIGKILL);
            kill(pid, SIGKILL);
            break;
        }
        const int ready = poll(fds, 2, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0) break;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) continue;
            char buffer[4096];
            const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                if (sinks[i]->size() < kMaxOutput)
                    sinks[i]->append(buffer, static_cast<std::size_t>(n));
            } else if (n == 0 || errno != EINTR) {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    for (const pollfd& f : fds) {
        if (f.fd >= 0) close(f.fd);
    }
    while (waitpid(pid, &played.status, 0) < 0 && errno == EINTR) {
    }
    return played;
}

std::vector<std::string> ChildEnvironment(const std::string& folder) {
    std::vector<std::string> env = {"PATH=/usr/bin:/bin",      "HOME=" + folder,
                                    "XDG_DATA_HOME=" + folder, "TAVLO_VIDEO=headless",
                                    "SDL_VIDEODRIVER=dummy",   "LC_ALL=C.UTF-8"};
    // A sanitizer build of the program reads its options from these.
    for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"}) {
        if (const char* value = std::getenv(name)) env.push_back(std::string(name) + "=" + value);
    }
    return env;
}

// The program's own words for a refusal: its first line on standard error, without the
// scratch file's name.
std::string FirstLine(const std::string& text, const std::string& file) {
    std::string line = text.substr(0, text.find('\n'));
    const std::size_t at = line.find(file);
    if (at != std::string::npos) line.replace(at, file.size(), "run.replay");
    if (line.starts_with("tavlo: ")) line.erase(0, 7);
    return line.substr(0, 300);
}

}  // namespace

std::optional<int> BestRoundScore(const std::string& report) {
    static const std::regex round(R"(^round [0-9]+: score ([0-9]{1,9}), best [0-9]+\r?$)",
                                  std::regex::multiline);
    std::optional<int> best;
    for (auto it = std::sregex_iterator(report.begin(), report.end(), round);
         it != std::sregex_iterator(); ++it) {
        const int score = std::stoi((*it)[1].str());
        if (!best || score > *best) best = score;
    }
    return best;
}

Verification Verify(const VerifierConfig& config, const std::string& replay) {
    Verification result;
    std::string pattern = config.scratch + "/tavlo-verify-XXXXXX";
    if (!mkdtemp(pattern.data())) {
        result.detail = std::string("no scratch folder: ") + std::strerror(errno);
        return result;
    }
    const std::string folder = pattern;
    std::error_code error;
    std::filesystem::create_symlink(std::filesystem::absolute(config.archive, error),
                                    folder + "/tavlo.rka", error);
    const std::string file = folder + "/run.replay";
    {
        std::ofstream stream(file, std::ios::binary);
        stream.write(replay.data(), static_cast<std::streamsize>(replay.size()));
        if (!stream) result.detail = "cannot write the scratch replay";
    }
    Played played;
    if (result.detail.empty()) {
        played = RunChild({config.program, "--data-dir", folder, "--replay", file, "--verify"},
                          ChildEnvironment(folder), folder, config);
    }
    std::filesystem::remove_all(folder, error);
    if (!result.detail.empty()) return result;
    if (!played.started) {
        result.detail = "the game program could not be started";
    } else if (played.timedOut) {
        result.outcome = Verification::Outcome::OverLimits;
        result.detail = "its play took longer than the server allows";
    } else if (WIFSIGNALED(played.status)) {
        result.outcome = Verification::Outcome::OverLimits;
        result.detail = WTERMSIG(played.status) == SIGXCPU
                            ? "its play took more time than the server allows"
                            : "its play ended abnormally (out of memory?)";
    } else if (WEXITSTATUS(played.status) == 0) {
        const std::optional<int> score = BestRoundScore(played.out);
        result.outcome = score ? Verification::Outcome::Verified : Verification::Outcome::NoRound;
        result.score = score.value_or(0);
    } else if (WEXITSTATUS(played.status) == 1) {
        result.outcome = Verification::Outcome::DidNotVerify;
        result.detail = FirstLine(played.err, file);
    } else {
        result.detail =
            "the game program ended with code " + std::to_string(WEXITSTATUS(played.status));
    }
    return result;
}

std::string ProgramVersion(const VerifierConfig& config) {
    char folder[] = "/tmp/tavlo-version-XXXXXX";
    if (!mkdtemp(folder)) return {};
    VerifierConfig quick = config;
    quick.wallSeconds = 10;
    const Played played =
        RunChild({config.program, "--version"}, ChildEnvironment(folder), folder, quick);
    rmdir(folder);
    if (!played.started || !WIFEXITED(played.status) || WEXITSTATUS(played.status) != 0) return {};
    std::string line = played.out.substr(0, played.out.find('\n'));
    if (!line.starts_with("tavlo ")) return {};
    return line.substr(6);
}

VerifyQueue::VerifyQueue(int workers, int capacity, Work work)
    : work_(std::move(work)),
      capacity_(static_cast<std::size_t>(capacity)),
      idle_(static_cast<std::size_t>(workers)) {
    for (int i = 0; i < workers; ++i) workers_.emplace_back([this] { Worker(); });
}

VerifyQueue::~VerifyQueue() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    ready_.notify_all();
    for (std::thread& t : workers_) t.join();
}

std::optional<std::future<Verification>> VerifyQueue::Submit(std::string replay, Done done) {
    std::lock_guard lock(mutex_);
    // An idle worker takes the job at once; beyond those, `capacity` may wait.
    if (jobs_.size() >= capacity_ + idle_) return std::nullopt;
    Job& job = jobs_.emplace_back();
    job.replay = std::move(replay);
    job.then = std::move(done);
    std::future<Verification> played = job.done.get_future();
    ready_.notify_one();
    return played;
}

void VerifyQueue::Worker() {
    for (;;) {
        Job job;
        {
            std::unique_lock lock(mutex_);
            ready_.wait(lock, [&] { return stopping_ || !jobs_.empty(); });
            if (jobs_.empty()) return;
            --idle_;
            job = std::move(jobs_.front());
            jobs_.pop_front();
        }
        Verification played;
        try {
            played = work_(job.replay);
            job.done.set_value(played);
        } catch (const std::exception& e) {
            played.outcome = Verification::Outcome::ServerTrouble;
            played.detail = e.what();
            job.done.set_exception(std::current_exception());
        } catch (...) {
            played.outcome = Verification::Outcome::ServerTrouble;
            played.detail = "an unknown error";
            job.done.set_exception(std::current_exception());
        }
        if (job.then) {
            try {
                job.then(played);
            } catch (const std::exception& e) {
                std::fprintf(stderr, "tavlo-scores: %s\n", e.what());
            }
            job.then = nullptr;  // what it holds goes now, not with the next job
        }
        std::lock_guard lock(mutex_);
        ++idle_;
    }
}

}  // namespace scores
