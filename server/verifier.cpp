// The child is made with fork and exec: only async-signal-safe calls between them (the box,
// folder, descriptors), everything it needs prepared before the fork.
#include "verifier.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>

#include "sandbox.h"

namespace scores {

namespace {

constexpr std::size_t kMaxOutput = 64 * 1024;
constexpr std::uintmax_t kMaxReactionBytes = 1 << 20;
constexpr const char* kFolderPrefix = "tavlo-play-";
// Held (flock) by the server for as long as the folder's play lasts: a sweep takes only
// folders whose lock is free.
constexpr const char* kLockName = ".server-lock";
// Exit codes of the child before the program runs: a layer could not be made, no exec.
constexpr int kNoBox = 126;
constexpr int kNoExec = 127;
// --verify's "cannot verify here": the play could not be set up on this machine.
constexpr int kCannotVerifyHere = 4;

struct Played {
    bool started = false;
    bool timedOut = false;
    int status = 0;
    double cpu = 0;  // CPU seconds, user and system
    std::string out;
    std::string err;
};

// Runs `argv` in `folder` with `env` inside `box`, its output collected; killed after
// `wallSeconds`.
Played RunChild(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                const std::string& folder, const Sandbox& box, int wallSeconds) {
    Played played;
    if (!box.Ready()) return played;
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
    const pid_t server = getpid();

    const pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], 1);
        dup2(err[1], 2);
        const int devNull = open("/dev/null", O_RDONLY);
        if (devNull >= 0) dup2(devNull, 0);
        setpgid(0, 0);
        if (chdir(folder.c_str()) != 0) _exit(kNoExec);
        // Nothing of the server's goes with the play (the box closes every other descriptor),
        // and a play without its box is not started.
        if (!box.Enter(server)) _exit(kNoBox);
        execve(args[0], args.data(), environment.data());
        _exit(kNoExec);
    }
    close(out[1]);
    close(err[1]);
    if (pid < 0) {
        close(out[0]);
        close(err[0]);
        return played;
    }
    played.started = true;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(wallSeconds);
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    std::string* sinks[2] = {&played.out, &played.err};
    int open = 2;
    while (open > 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            played.timedOut = true;
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
    // The group goes in every case: a play that closed its output but lives on is ended too.
    kill(-pid, SIGKILL);
    kill(pid, SIGKILL);
    for (const pollfd& f : fds) {
        if (f.fd >= 0) close(f.fd);
    }
    rusage usage{};
    while (wait4(pid, &played.status, 0, &usage) < 0 && errno == EINTR) {
    }
    played.cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                 static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    return played;
}

std::vector<std::string> ChildEnvironment(const std::string& folder) {
    // Everything the program writes during a play goes beneath its folder (TMPDIR among them).
    std::vector<std::string> env = {"PATH=/usr/bin:/bin",
                                    "HOME=" + folder,
                                    "TMPDIR=" + folder,
                                    "XDG_DATA_HOME=" + folder,
                                    "XDG_CONFIG_HOME=" + folder,
                                    "XDG_CACHE_HOME=" + folder,
                                    "XDG_STATE_HOME=" + folder,
                                    "XDG_RUNTIME_DIR=" + folder,
                                    "TAVLO_REACTIONS=" + folder + "/reactions.tsv",
                                    "TAVLO_VIDEO=headless",
                                    "SDL_VIDEODRIVER=dummy",
                                    "LC_ALL=C.UTF-8"};
    // A sanitizer build of the program reads its options from these. LeakSanitizer's check at
    // the end needs a process and ptrace, which the box refuses: it is left to the game's own
    // tests.
    for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"}) {
        if (const char* value = std::getenv(name)) env.push_back(std::string(name) + "=" + value);
    }
    bool asan = false;
    for (std::string& e : env) {
        if (e.starts_with("ASAN_OPTIONS=")) {
            e += ":detect_leaks=0";
            asan = true;
        }
    }
    if (!asan) env.push_back("ASAN_OPTIONS=detect_leaks=0");
    return env;
}

// The program's own words for a refusal: its first line on standard error, without the
// scratch folder's name.
std::string FirstLine(const std::string& text, const std::string& folder) {
    std::string line = text.substr(0, text.find('\n'));
    for (std::size_t at; (at = line.find(folder + "/")) != std::string::npos;) {
        line.erase(at, folder.size() + 1);
    }
    for (std::size_t at; (at = line.find(folder)) != std::string::npos;) {
        line.replace(at, folder.size(), "its folder");
    }
    if (line.starts_with("tavlo: ")) line.erase(0, 7);
    return line.substr(0, 300);
}

std::vector<std::string> Readable(const VerifierConfig& config) {
    std::error_code error;
    std::vector<std::string> files = {config.program, config.archive};
    // The link in the scratch folder and the program's own reads go to the file itself.
    const std::filesystem::path archive = std::filesystem::canonical(config.archive, error);
    if (!error) files.push_back(archive.string());
    return files;
}

SandboxLimits Limits(const VerifierConfig& config, int cpuSeconds) {
    SandboxLimits limits;
    limits.cpuSeconds = cpuSeconds;
    limits.memoryMiB = config.memoryMiB;
    limits.layers = config.layers;
    return limits;
}

enum class Read { Done, TooLarge, NotAFile };

// The play's reaction lines, read by the server (with its own rights): the play made that
// file, so a link to elsewhere, a second name of another file or anything but a regular file
// is not read. No file: no lines.
Read ReadReactions(const std::string& path, std::string& lines) {
    const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT ? Read::Done : Read::NotAFile;
    struct stat info {};
    Read read = Read::Done;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_nlink != 1) {
        read = Read::NotAFile;
    } else if (static_cast<std::uintmax_t>(info.st_size) > kMaxReactionBytes) {
        read = Read::TooLarge;
    } else {
        char buffer[65536];
        for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) != 0;) {
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 || lines.size() + static_cast<std::size_t>(n) > kMaxReactionBytes) {
                read = n < 0 ? Read::NotAFile : Read::TooLarge;
                break;
            }
            lines.append(buffer, static_cast<std::size_t>(n));
        }
    }
    close(fd);
    if (read != Read::Done) lines.clear();
    return read;
}

}  // namespace

int PlayCpuSeconds(const VerifierConfig& config, std::uint64_t pictures) {
    const double seconds =
        config.startSeconds + static_cast<double>(pictures) * config.microsPerPicture / 1e6;
    return static_cast<int>(std::min<double>(config.cpuSeconds, std::ceil(seconds)));
}

int PlayWallSeconds(const VerifierConfig& config, int cpuSeconds) {
    return std::min(config.wallSeconds, 2 * cpuSeconds + 5);
}

void SweepScratch(const VerifierConfig& config) {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(config.scratch, error)) {
        const std::string name = entry.path().filename().string();
        if (!name.starts_with(kFolderPrefix) || !entry.is_directory(error)) continue;
        const std::string lock = entry.path().string() + "/" + kLockName;
        const int fd = open(lock.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
        // A folder that lost its lock file was never a play's, or its play is over.
        if (fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) != 0) {
            close(fd);
            continue;
        }
        std::filesystem::remove_all(entry.path(), error);
        if (fd >= 0) close(fd);
    }
}

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

Verification Verify(const VerifierConfig& config, const PlayRequest& play) {
    Verification result;
    std::string pattern = config.scratch + "/" + kFolderPrefix + "XXXXXX";
    if (!mkdtemp(pattern.data())) {
        result.detail = "no scratch folder in " + config.scratch + ": " + std::strerror(errno);
        return result;
    }
    const std::string folder = pattern;
    const int lock =
        open((folder + "/" + kLockName).c_str(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC, 0600);
    if (lock < 0 || flock(lock, LOCK_EX) != 0) {
        result.detail = "cannot lock the scratch folder: " + std::string(std::strerror(errno));
    }
    std::error_code error;
    std::filesystem::create_symlink(std::filesystem::absolute(config.archive, error),
                                    folder + "/tavlo.rka", error);
    if (result.detail.empty() && error) {
        result.detail = "cannot link the archive: " + error.message();
    }
    const std::string file = folder + "/run.replay";
    if (result.detail.empty()) {
        std::ofstream stream(file, std::ios::binary);
        stream.write(play.replay.data(), static_cast<std::streamsize>(play.replay.size()));
        stream.close();
        if (!stream) result.detail = "cannot write the replay into the scratch folder";
    }
    Played played;
    if (result.detail.empty()) {
        const Sandbox box(Readable(config), folder, Limits(config, play.cpuSeconds));
        played = RunChild({config.program, "--data-dir", folder, "--replay", file, "--verify"},
                          ChildEnvironment(folder), folder, box,
                          PlayWallSeconds(config, play.cpuSeconds));
        if (!played.started) result.detail = "the game program could not be started";
    }
    result.cpuUsed = played.cpu;
    const bool exited = played.started && !played.timedOut && WIFEXITED(played.status);
    if (result.detail.empty() && exited && WEXITSTATUS(played.status) == 0) {
        switch (ReadReactions(folder + "/reactions.tsv", result.reactions)) {
            case Read::Done:
                break;
            case Read::TooLarge:
                result.outcome = Verification::Outcome::OverLimits;
                result.detail = "its play wrote more reaction lines than the server takes";
                break;
            case Read::NotAFile:
                result.outcome = Verification::Outcome::DidNotVerify;
                result.detail = "its play left something else than reaction lines";
                break;
        }
    }
    std::filesystem::remove_all(folder, error);
    if (lock >= 0) close(lock);
    if (!result.detail.empty()) return result;

    const int cpuLimit = play.cpuSeconds;
    if (played.timedOut) {
        result.outcome = Verification::Outcome::OverLimits;
        result.detail = "its play took longer than the server allows";
    } else if (WIFSIGNALED(played.status)) {
        const int signal = WTERMSIG(played.status);
        // A play stopped at its CPU limit, or one that crashed, earned it; any other signal
        // (the kernel's out-of-memory killer, an operator) came from outside.
        if (signal == SIGXCPU || (signal == SIGKILL && played.cpu >= cpuLimit)) {
            result.outcome = Verification::Outcome::OverLimits;
            result.detail = "its play took more time than the server allows";
        } else if (signal == SIGSEGV || signal == SIGBUS || signal == SIGABRT || signal == SIGILL ||
                   signal == SIGFPE || signal == SIGSYS) {
            result.outcome = Verification::Outcome::OverLimits;
            result.detail = "its play ended abnormally (out of memory?)";
        } else {
            result.detail = "the play was ended by signal " + std::to_string(signal);
        }
    } else if (WEXITSTATUS(played.status) == 0) {
        const std::optional<int> score = BestRoundScore(played.out);
        result.outcome = score ? Verification::Outcome::Verified : Verification::Outcome::NoRound;
        result.score = score.value_or(0);
    } else if (WEXITSTATUS(played.status) == 1) {
        result.outcome = Verification::Outcome::DidNotVerify;
        result.detail = FirstLine(played.err, folder);
    } else if (WEXITSTATUS(played.status) == kCannotVerifyHere) {
        result.detail = FirstLine(played.err, folder);
    } else if (WEXITSTATUS(played.status) == kNoBox) {
        result.detail = "the play's box could not be made";
    } else {
        result.detail =
            "the game program ended with code " + std::to_string(WEXITSTATUS(played.status));
    }
    return result;
}

std::string ProgramVersion(const VerifierConfig& config) {
    std::string pattern = config.scratch + "/" + kFolderPrefix + "XXXXXX";
    if (!mkdtemp(pattern.data())) return {};
    const std::string folder = pattern;
    const Sandbox box(Readable(config), folder, Limits(config, 10));
    const Played played =
        RunChild({config.program, "--version"}, ChildEnvironment(folder), folder, box, 10);
    std::error_code error;
    std::filesystem::remove_all(folder, error);
    if (!played.started || !WIFEXITED(played.status) || WEXITSTATUS(played.status) != 0) return {};
    std::string line = played.out.substr(0, played.out.find('\n'));
    if (!line.starts_with("tavlo ")) return {};
    return line.substr(6);
}

VerifyQueue::VerifyQueue(int workers, int capacity, int perAddress, Work work)
    : work_(std::move(work)),
      capacity_(static_cast<std::size_t>(capacity)),
      perAddress_(perAddress),
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

VerifyQueue::Admitted VerifyQueue::Submit(const std::string& address, PlayRequest play, Done done) {
    Admitted admitted;
    std::lock_guard lock(mutex_);
    const auto holding = held_.find(address);
    if (perAddress_ > 0 && holding != held_.end() && holding->second >= perAddress_) {
        admitted.refusal = Refusal::AddressBusy;
        return admitted;
    }
    // An idle worker takes the job at once; beyond those, `capacity` may wait.
    if (waitingCount_ >= capacity_ + idle_) {
        admitted.refusal = Refusal::Full;
        return admitted;
    }
    ++held_[address];
    std::deque<Job>& mine = waiting_[address];
    if (mine.empty()) turns_.push_back(address);
    Job& job = mine.emplace_back();
    job.play = std::move(play);
    job.then = std::move(done);
    admitted.done = job.done.get_future();
    ++waitingCount_;
    ready_.notify_one();
    return admitted;
}

void VerifyQueue::Worker() {
    for (;;) {
        Job job;
        std::string address;
        {
            std::unique_lock lock(mutex_);
            ready_.wait(lock, [&] { return stopping_ || !turns_.empty(); });
            if (turns_.empty()) return;
            --idle_;
            address = std::move(turns_.front());
            turns_.pop_front();
            std::deque<Job>& theirs = waiting_[address];
            job = std::move(theirs.front());
            theirs.pop_front();
            --waitingCount_;
            // The address's next play waits for every other address's turn.
            if (theirs.empty()) {
                waiting_.erase(address);
            } else {
                turns_.push_back(address);
            }
        }
        Verification played;
        try {
            played = work_(job.play);
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
        if (--held_[address] <= 0) held_.erase(address);
    }
}

}  // namespace scores
