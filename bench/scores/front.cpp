// tavlo_scores_front [--server TAVLO-SCORES] [--seconds S] [--names N]
// The front under many and slow clients. Makes an SQLite store straight through the store's own
// interface (the golden round's run under N names, 1000 by default), starts the server over it
// on a free loopback port (rates unlimited; the connections per address too where the server
// has the flag), and measures what a read of the table costs the store alone, then:
// (a) 1000 kept-alive readers of /api/top?limit=10 for S seconds (wrk): p50, p99, errors;
// (b) 200 readers opening a connection each request (a client of its own, so that the time
//     counts the connection's opening): p50, p99, failures;
// (c) the same reading from 20 readers while slowhttptest holds 400 slowloris connections: the
//     slowest answer, and the answers slower than 500 ms.
// --server names another build of the program, to compare.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "service.h"
#include "store.h"

namespace {

using Clock = std::chrono::steady_clock;

std::string ReadAll(const std::string& path) {
    std::ifstream stream(path, std::ios::binary);
    std::stringstream text;
    text << stream.rdbuf();
    return text.str();
}

int FreePort() {
    const int probe = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (probe < 0 || bind(probe, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        getsockname(probe, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        std::fprintf(stderr, "tavlo_scores_front: no free port\n");
        std::exit(1);
    }
    close(probe);
    return ntohs(address.sin_port);
}

// One GET on a connection of its own, from connect to the last byte: the status, or 0.
int Get(int port, const std::string& path) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const timeval wait{10, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &wait, sizeof wait);
    sockaddr_in server{};
    server.sin_family = AF_INET;
    server.sin_port = htons(static_cast<uint16_t>(port));
    server.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int status = 0;
    if (connect(fd, reinterpret_cast<sockaddr*>(&server), sizeof server) == 0) {
        const std::string request =
            "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
        if (send(fd, request.data(), request.size(), MSG_NOSIGNAL) ==
            static_cast<ssize_t>(request.size())) {
            std::string answer;
            char chunk[8192];
            for (ssize_t n; (n = recv(fd, chunk, sizeof chunk, 0)) > 0;) answer.append(chunk, n);
            if (answer.starts_with("HTTP/1.1 ")) status = std::atoi(answer.c_str() + 9);
        }
    }
    close(fd);
    return status;
}

// The system's count of connections dropped because a listening socket's queue was full
// (/proc/net/netstat, TcpExt ListenOverflows): a dropped SYN costs its client a second.
long ListenOverflows() {
    std::istringstream lines(ReadAll("/proc/net/netstat"));
    std::string names, values;
    while (std::getline(lines, names) && std::getline(lines, values)) {
        if (!names.starts_with("TcpExt:")) continue;
        std::istringstream n(names), v(values);
        for (std::string name, value; n >> name && v >> value;) {
            if (name == "ListenOverflows") return std::atol(value.c_str());
        }
    }
    return -1;
}

double Percentile(std::vector<double> values, double p) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(p * static_cast<double>(values.size() - 1))];
}

struct Reads {
    std::vector<double> ms;  // answered 200
    int failed = 0;
};

// `readers` threads, each a connection a request, for `seconds`.
Reads ReadFreshConnections(int port, int readers, int seconds) {
    Reads all;
    std::mutex mutex;
    std::vector<std::thread> threads;
    const auto until = Clock::now() + std::chrono::seconds(seconds);
    for (int r = 0; r < readers; ++r) {
        threads.emplace_back([&] {
            Reads mine;
            while (Clock::now() < until) {
                const auto start = Clock::now();
                if (Get(port, "/api/top?limit=10") == 200) {
                    mine.ms.push_back(
                        std::chrono::duration<double, std::milli>(Clock::now() - start).count());
                } else {
                    ++mine.failed;
                }
            }
            std::lock_guard lock(mutex);
            all.ms.insert(all.ms.end(), mine.ms.begin(), mine.ms.end());
            all.failed += mine.failed;
        });
    }
    for (std::thread& t : threads) t.join();
    return all;
}

pid_t Spawn(const std::vector<std::string>& words, const std::string& output) {
    const pid_t pid = fork();
    if (pid == 0) {
        if (!output.empty()) {
            if (std::FILE* out = std::fopen(output.c_str(), "w")) {
                dup2(fileno(out), 1);
                dup2(fileno(out), 2);
            }
        }
        std::vector<char*> argv;
        for (const std::string& w : words) argv.push_back(const_cast<char*>(w.c_str()));
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

// What a program printed, run to its end.
std::string RunToEnd(const std::vector<std::string>& words, const std::string& output) {
    const pid_t pid = Spawn(words, output);
    waitpid(pid, nullptr, 0);
    return ReadAll(output);
}

// wrk's "99%   12.34ms" as milliseconds.
double WrkMs(const std::string& report, const std::string& percent) {
    const std::regex line("\\s" + percent + "%\\s+([0-9.]+)(us|ms|s)");
    std::smatch match;
    if (!std::regex_search(report, match, line)) return -1;
    const double value = std::stod(match[1]);
    return match[2] == "us" ? value / 1000 : match[2] == "s" ? value * 1000 : value;
}

long WrkCount(const std::string& report, const std::string& pattern) {
    std::smatch match;
    if (!std::regex_search(report, match, std::regex(pattern))) return 0;
    long sum = 0;
    for (std::size_t i = 1; i < match.size(); ++i) sum += std::atol(match[i].str().c_str());
    return sum;
}

}  // namespace

int main(int argc, char** argv) {
    std::string server = TAVLO_SCORES_SERVER;
    int seconds = 10;
    int names = 1000;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string flag = argv[i];
        if (flag == "--server") {
            server = argv[i + 1];
        } else if (flag == "--seconds") {
            seconds = std::atoi(argv[i + 1]);
        } else if (flag == "--names") {
            names = std::atoi(argv[i + 1]);
        } else {
            std::fprintf(stderr, "tavlo_scores_front: unknown flag %s\n", flag.c_str());
            return 2;
        }
    }
    // Every connection is a descriptor, here and in the server, which inherits this.
    rlimit files{};
    getrlimit(RLIMIT_NOFILE, &files);
    files.rlim_cur = files.rlim_max;
    setrlimit(RLIMIT_NOFILE, &files);
    signal(SIGPIPE, SIG_IGN);

    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("tavlo-scores-front-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    const std::string db = (folder / "scores.sqlite").string();
    {
        const std::string round =
            ReadAll(std::string(TAVLO_SOURCE_DIR) + "/tests/e2e/replays/round.replay");
        std::unique_ptr<scores::Store> store = scores::OpenSqliteStore(db);
        for (int n = 0; n < names; ++n) {
            scores::NewRun run;
            run.name = "player" + std::to_string(n);
            run.nameKey = run.name;
            run.replay = round + "# player " + std::to_string(n) + "\n";
            run.hash = scores::Sha256Hex(run.replay);
            run.program = "1.0.0";
            run.score = 101;
            run.when = 1796000000 + n;
            store->Add(run);
        }
        // What one read of the table costs the store alone: the most reads a second its one
        // connection can give, whatever the front.
        const auto start = Clock::now();
        for (int i = 0; i < 200; ++i) store->Top(10, scores::Board::Human);
        const double each =
            std::chrono::duration<double, std::milli>(Clock::now() - start).count() / 200;
        std::printf("the store alone: %.2f ms a read of the top 10, at most %.0f reads a second\n",
                    each, 1000 / each);
    }

    const int port = FreePort();
    const std::string base = "http://127.0.0.1:" + std::to_string(port);
    std::vector<std::string> command = {server,
                                        "--db",
                                        db,
                                        "--listen",
                                        "127.0.0.1:" + std::to_string(port),
                                        "--program",
                                        std::string(TAVLO_BINARY_DIR) + "/src/tavlo",
                                        "--archive",
                                        std::string(TAVLO_BINARY_DIR) + "/tavlo.rka"};
    const std::string help = RunToEnd({server, "--help"}, (folder / "help.txt").string());
    if (help.find("--connections-per-address") != std::string::npos) {
        command.insert(command.end(), {"--connections-per-address", "0"});
    }
    const pid_t served = Spawn(command, (folder / "server.log").string());
    for (int i = 0; i < 200 && Get(port, "/api/top?limit=1") != 200; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    std::printf("%s over %d names (SQLite), %u cores\n", server.c_str(), names,
                std::thread::hardware_concurrency());

    // The front alone first: a path no handler takes (404), which costs the store nothing.
    const std::string alone =
        RunToEnd({"wrk", "-t2", "-c1000", "-d" + std::to_string(seconds) + "s", "--latency",
                  "--timeout", "10s", base + "/nothing"},
                 (folder / "wrk-alone.txt").string());
    std::printf(
        "(front alone) 1000 kept-alive readers of a path with no handler, %d s (wrk): %ld "
        "answers, p50 %.1f ms, p99 %.1f ms\n",
        seconds, WrkCount(alone, "([0-9]+) requests in"), WrkMs(alone, "50"), WrkMs(alone, "99"));

    // (a)
    const std::string wrk = RunToEnd({"wrk", "-t2", "-c1000", "-d" + std::to_string(seconds) + "s",
                                      "--latency", "--timeout", "10s", base + "/api/top?limit=10"},
                                     (folder / "wrk.txt").string());
    const long errors = WrkCount(wrk,
                                 "connect ([0-9]+), read ([0-9]+), write ([0-9]+), "
                                 "timeout ([0-9]+)") +
                        WrkCount(wrk, "Non-2xx or 3xx responses: ([0-9]+)");
    std::printf(
        "(a) 1000 kept-alive readers, %d s (wrk): %ld answers, p50 %.1f ms, p99 %.1f ms, "
        "%ld errors\n",
        seconds, WrkCount(wrk, "([0-9]+) requests in"), WrkMs(wrk, "50"), WrkMs(wrk, "99"), errors);
    std::fflush(stdout);

    // (b)
    long overflows = ListenOverflows();
    const Reads fresh = ReadFreshConnections(port, 200, seconds);
    std::printf(
        "(b) 200 readers, a connection a request, %d s: %zu answers, p50 %.1f ms, "
        "p99 %.1f ms, %d failed; %ld connections dropped by a full listen queue\n",
        seconds, fresh.ms.size(), Percentile(fresh.ms, 0.5), Percentile(fresh.ms, 0.99),
        fresh.failed, ListenOverflows() - overflows);
    std::fflush(stdout);

    // (c): the slow connections opened first (400 a second), then read beside them.
    const std::string slowLog = (folder / "slowhttptest.txt").string();
    const pid_t slow =
        Spawn({"slowhttptest", "-H", "-c", "400", "-r", "400", "-i", "5", "-x", "10", "-l",
               std::to_string(seconds + 10), "-p", "5", "-u", base + "/api/top"},
              slowLog);
    std::this_thread::sleep_for(std::chrono::seconds(3));
    overflows = ListenOverflows();
    const Reads beside = ReadFreshConnections(port, 20, seconds);
    overflows = ListenOverflows() - overflows;
    const long slower =
        std::count_if(beside.ms.begin(), beside.ms.end(), [](double ms) { return ms > 500; });
    // slowhttptest's last report of its connections, while the reading ended.
    std::string held = "?";
    {
        // Its report is for a terminal: the colours go first.
        const std::string log =
            std::regex_replace(ReadAll(slowLog), std::regex("\x1b\\[[0-9;]*[A-Za-z]"), "");
        const std::regex state(
            "pending:\\s+([0-9]+)\\s+connected:\\s+([0-9]+)\\s+"
            "error:\\s+([0-9]+)\\s+closed:\\s+([0-9]+)");
        for (auto it = std::sregex_iterator(log.begin(), log.end(), state);
             it != std::sregex_iterator(); ++it) {
            held = (*it)[2].str() + " connected, " + (*it)[4].str() + " closed by the server";
        }
    }
    kill(slow, SIGTERM);
    waitpid(slow, nullptr, 0);
    std::printf(
        "(c) 20 readers beside 400 slowloris connections (%s), %d s: %zu answers, "
        "p99 %.1f ms, slowest %.1f ms, %ld over 500 ms, %d failed\n",
        held.c_str(), seconds, beside.ms.size(), Percentile(beside.ms, 0.99),
        beside.ms.empty() ? 0.0 : *std::max_element(beside.ms.begin(), beside.ms.end()), slower,
        beside.failed);

    kill(served, SIGTERM);
    waitpid(served, nullptr, 0);
    std::error_code error;
    std::filesystem::remove_all(folder, error);
    return 0;
}
