// tavlo_scores_front [--server TAVLO-SCORES] [--seconds S] [--names N] [--wrk-threads T]
// The front under many and slow clients. Makes an SQLite store straight through the store's own
// interface (the golden round's run under N names, 1000 by default), starts the server over it
// on a free loopback port (rates unlimited; the connections per address too where the server
// has the flag), and measures what a read of the table costs the store alone, then:
// (a) 1000 kept-alive readers of /api/top?limit=10 for S seconds (wrk): p50, p99, errors, and
//     the CPU the server and wrk had of the machine meanwhile (the front alone too);
// (b) 200 readers opening a connection each request (a client of its own, so that the time
//     counts the connection's opening): p50, p99, failures;
// (c) the same reading from 20 readers while slowhttptest holds 400 slowloris connections: the
//     slowest answer, and the answers slower than 500 ms.
// --server names another build of the program, to compare; --wrk-threads gives wrk more
// threads than its 2 (it is a client of the same cores, and one of what is measured).
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

#include "loopback.h"
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
                if (loopback::Get(port, "/api/top?limit=10") == 200) {
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

// The CPU seconds (user and system) that process `pid` has used so far (/proc/PID/stat).
double CpuSeconds(pid_t pid) {
    const std::string stat = ReadAll("/proc/" + std::to_string(pid) + "/stat");
    std::istringstream fields(stat.substr(stat.rfind(')') + 2));
    std::string field;
    double ticks = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i >= 14) ticks += std::atof(field.c_str());  // utime, stime
    }
    return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

struct Ran {
    std::string output;  // what it printed
    double cpu = 0;      // its CPU seconds
};

// A program run to its end.
Ran RunToEnd(const std::vector<std::string>& words, const std::string& output) {
    const pid_t pid = loopback::Spawn(words, output);
    rusage used{};
    wait4(pid, nullptr, 0, &used);
    const auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return {ReadAll(output), seconds(used.ru_utime) + seconds(used.ru_stime)};
}

// wrk's "99%   12.34ms" as milliseconds; "max": its slowest answer ("Latency  avg stdev max").
double WrkMs(const std::string& report, const std::string& percent) {
    const std::regex line(percent == "max"
                              ? std::string("Latency\\s+\\S+\\s+\\S+\\s+([0-9.]+)(us|ms|s)")
                              : "\\s" + percent + "%\\s+([0-9.]+)(us|ms|s)");
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
    int wrkThreads = 2;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string flag = argv[i];
        if (flag == "--server") {
            server = argv[i + 1];
        } else if (flag == "--seconds") {
            seconds = std::atoi(argv[i + 1]);
        } else if (flag == "--names") {
            names = std::atoi(argv[i + 1]);
        } else if (flag == "--wrk-threads") {
            wrkThreads = std::atoi(argv[i + 1]);
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
            run.nameKey = run.skeleton = run.name;
            run.newSecretHash = run.secretHash = "secret of " + run.name;
            run.replay = round + "# player " + std::to_string(n) + "\n";
            run.hash = scores::Sha256Hex(run.replay);
            run.program = "1.0.0";
            run.score = 101;
            run.when = 1796000000 + n;
            // Each name its own player: a refusal (a name or a look-alike taken) would leave
            // the table shorter than it says.
            if (store->Add(run).outcome != scores::AddResult::Outcome::Added) {
                std::fprintf(stderr, "tavlo_scores_front: %s was not stored\n", run.name.c_str());
                return 1;
            }
        }
        // What one read of the table costs the store alone: the most reads a second its one
        // connection can give, whatever the front.
        const auto start = Clock::now();
        std::size_t rows = 0;
        for (int i = 0; i < 200; ++i) rows = store->Top(10, scores::Board::Human).size();
        const double each =
            std::chrono::duration<double, std::milli>(Clock::now() - start).count() / 200;
        std::printf(
            "the store alone: %.2f ms a read of the top 10 (%zu rows), at most %.0f reads a "
            "second\n",
            each, rows, 1000 / each);
    }

    const int port = loopback::FreePort();
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
    const std::string help = RunToEnd({server, "--help"}, (folder / "help.txt").string()).output;
    if (help.find("--connections-per-address") != std::string::npos) {
        command.insert(command.end(), {"--connections-per-address", "0"});
    }
    const pid_t served = loopback::Spawn(command, (folder / "server.log").string());
    for (int i = 0; i < 200 && loopback::Get(port, "/api/top?limit=1") != 200; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    std::printf("%s over %d names (SQLite), %u cores\n", server.c_str(), names,
                std::thread::hardware_concurrency());

    // 1000 kept-alive wrk connections on `path`: the answers' times, and the CPU the server
    // and wrk took of the machine's meanwhile (what is left of it went to other programs).
    const auto keptAlive = [&](const char* what, const std::string& path, const char* file) {
        const double before = CpuSeconds(served);
        const Ran wrk = RunToEnd(
            {"wrk", "-t" + std::to_string(wrkThreads), "-c1000",
             "-d" + std::to_string(seconds) + "s", "--latency", "--timeout", "10s", base + path},
            (folder / file).string());
        const double serverCpu = CpuSeconds(served) - before;
        const long answers = WrkCount(wrk.output, "([0-9]+) requests in");
        // A socket's error or timeout, or an answer but 200 (the path with no handler: but 404).
        const long statuses = WrkCount(wrk.output, "Non-2xx or 3xx responses: ([0-9]+)");
        const long errors = WrkCount(wrk.output,
                                     "connect ([0-9]+), read ([0-9]+), write ([0-9]+), "
                                     "timeout ([0-9]+)") +
                            (path == "/nothing" ? answers - statuses : statuses);
        std::printf(
            "%s, %d s (wrk -t%d): %ld answers, p50 %.1f ms, p99 %.1f ms, slowest %.1f ms, %ld "
            "errors; CPU: the server %.1f s (%.0f us an answer), wrk %.1f s, of %u x %d s\n",
            what, seconds, wrkThreads, answers, WrkMs(wrk.output, "50"), WrkMs(wrk.output, "99"),
            WrkMs(wrk.output, "max"), errors, serverCpu,
            answers > 0 ? serverCpu * 1e6 / static_cast<double>(answers) : 0.0, wrk.cpu,
            std::thread::hardware_concurrency(), seconds);
        std::fflush(stdout);
    };
    // The front alone first: a path no handler takes (404), which costs the store nothing.
    keptAlive("(front alone) 1000 kept-alive readers of a path with no handler", "/nothing",
              "wrk-alone.txt");
    keptAlive("(a) 1000 kept-alive readers", "/api/top?limit=10", "wrk.txt");

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
        loopback::Spawn({"slowhttptest", "-H", "-c", "400", "-r", "400", "-i", "5", "-x", "10",
                         "-l", std::to_string(seconds + 10), "-p", "5", "-u", base + "/api/top"},
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
