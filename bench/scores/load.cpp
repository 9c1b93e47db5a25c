// tavlo_scores_load [--store sqlite|postgres] [--clients N] [--submissions N] [--readers N]
//                   [--seconds S]
// Starts build/server/tavlo-scores on a free loopback port over a fresh store, then:
// 1. N clients submit M distinct real runs (the golden round, each cut a few ms before its end
//    at a point of its own, so that each is a new run that verifies): runs verified a second, and a
//    core;
// 2. R readers read /api/top?limit=10 for S seconds: the answers' p50 and p99;
// 3. clients submit again and the server is killed (SIGKILL) in the middle; started again on
//    the same store, every run it had acknowledged (201) must be there with its score.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
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
#include <map>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <httplib.h>
#include <nlohmann/json.hpp>

#include "loopback.h"
#include "test_postgres.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Options {
    std::string store = "sqlite";
    int clients = 8;
    int submissions = 40;
    int readers = 100;
    int seconds = 10;
};

std::string Round() {
    std::ifstream stream(std::string(TAVLO_SOURCE_DIR) + "/tests/e2e/replays/round.replay");
    std::stringstream text;
    text << stream.rdbuf();
    return text.str();
}

// The golden round cut before its end at one of the 886 ms after its last key, by `n` (as of
// round.frames, the pictures shown by then): the same round, so it verifies, but another run
// by content (comments would not be).
std::string RoundCut(const std::string& round, int n) {
    const std::size_t last = round.rfind('\n', round.size() - 2) + 1;
    const long at = std::stol(round.substr(last)) - n % 886;
    std::ifstream frames(std::string(TAVLO_SOURCE_DIR) + "/tests/e2e/replays/round.frames");
    long shown = 0;
    std::string index, sum;
    for (long ms; frames >> index >> ms >> sum;) shown += ms <= at;
    return round.substr(0, last) + std::to_string(at) + " cut @" + std::to_string(shown) + "\n";
}

class Server {
  public:
    Server(std::string db, int port) : db_(std::move(db)), port_(port) { Start(); }
    ~Server() { Stop(SIGTERM); }
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    void Start() {
        pid_ = loopback::Spawn({TAVLO_SCORES_SERVER, "--db", db_, "--listen",
                                "127.0.0.1:" + std::to_string(port_), "--cpu-per-address", "0",
                                "--plays-per-address", "0", "--queue", "64"});
        httplib::Client client("127.0.0.1", port_);
        for (int i = 0; i < 200; ++i) {
            if (client.Get("/api/top")) return;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        std::fprintf(stderr, "tavlo_scores_load: the server did not start\n");
        std::exit(1);
    }
    void Stop(int signal) {
        if (pid_ <= 0) return;
        kill(pid_, signal);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

  private:
    std::string db_;
    int port_;
    pid_t pid_ = -1;
};

struct Acknowledged {
    std::int64_t id;
    int score;
};

// The key each client's name was given with its first run, for its later ones (and those after
// a restart).
std::mutex keysMutex;
std::map<std::string, std::string> keys;

// Submits runs numbered from `first`, `count` in all, from `clients` threads; keeps the 201s.
// Stops early when `stop` is set. Returns the acknowledged runs.
std::vector<Acknowledged> Submit(int port, int clients, int first, int count,
                                 const std::atomic<bool>& stop, std::atomic<int>* busy,
                                 std::atomic<int>* acknowledgedCount = nullptr) {
    const std::string round = Round();
    std::atomic<int> next{first};
    std::mutex mutex;
    std::vector<Acknowledged> acknowledged;
    std::vector<std::thread> threads;
    for (int c = 0; c < clients; ++c) {
        threads.emplace_back([&, c] {
            httplib::Client client("127.0.0.1", port);
            client.set_read_timeout(300);
            for (int n = next++; n < first + count && !stop; n = next++) {
                const std::string body = RoundCut(round, n);
                const std::string path = "/api/runs?name=load" + std::to_string(c);
                for (;;) {
                    httplib::Headers headers;
                    {
                        std::lock_guard lock(keysMutex);
                        if (const auto key = keys.find(path); key != keys.end()) {
                            headers.emplace("Authorization", "Bearer " + key->second);
                        }
                    }
                    const httplib::Result r =
                        client.Post(path.c_str(), headers, body, "application/octet-stream");
                    if (r && r->status == 503) {
                        ++*busy;
                        std::this_thread::sleep_for(std::chrono::milliseconds(200));
                        continue;
                    }
                    if (r && r->status == 201) {
                        const auto json = nlohmann::json::parse(r->body);
                        if (json.contains("key")) {
                            std::lock_guard lock(keysMutex);
                            keys[path] = json["key"].get<std::string>();
                        }
                        std::lock_guard lock(mutex);
                        acknowledged.push_back(
                            {json["id"].get<std::int64_t>(), json["score"].get<int>()});
                        if (acknowledgedCount) ++*acknowledgedCount;
                    } else if (r) {
                        std::fprintf(stderr, "submission %d: %d %s", n, r->status, r->body.c_str());
                    }
                    break;
                }
            }
        });
    }
    for (std::thread& t : threads) t.join();
    return acknowledged;
}

double Percentile(std::vector<double> values, double p) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const auto at = static_cast<std::size_t>(p * static_cast<double>(values.size() - 1));
    return values[at];
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string flag = argv[i];
        const std::string value = argv[i + 1];
        if (flag == "--store")
            o.store = value;
        else if (flag == "--clients")
            o.clients = std::atoi(value.c_str());
        else if (flag == "--submissions")
            o.submissions = std::atoi(value.c_str());
        else if (flag == "--readers")
            o.readers = std::atoi(value.c_str());
        else if (flag == "--seconds")
            o.seconds = std::atoi(value.c_str());
        else {
            std::fprintf(stderr, "tavlo_scores_load: unknown flag %s\n", flag.c_str());
            return 2;
        }
    }
    std::string db;
    std::filesystem::path folder;
    if (o.store == "postgres") {
        if (const std::string missing = scores::testing::PostgresMissing(); !missing.empty()) {
            std::fprintf(stderr, "%s\n", missing.c_str());
            return 1;
        }
        // libpq's key=value form, as a URI: postgresql:///DB?host=FOLDER&user=postgres
        const std::string conninfo = scores::testing::NewPostgresDatabase();
        std::string host, name;
        std::istringstream words(conninfo);
        for (std::string word; words >> word;) {
            if (word.starts_with("host=")) host = word.substr(5);
            if (word.starts_with("dbname=")) name = word.substr(7);
        }
        db = "postgresql:///" + name + "?host=" + host + "&user=postgres";
    } else {
        folder = std::filesystem::temp_directory_path() /
                 ("tavlo-scores-load-" + std::to_string(getpid()));
        std::filesystem::create_directories(folder);
        db = (folder / "scores.sqlite").string();
    }
    const int port = loopback::FreePort();
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    std::atomic<bool> never{false};
    std::atomic<int> busy{0};
    {
        Server server(db, port);
        const auto start = Clock::now();
        const std::vector<Acknowledged> done =
            Submit(port, o.clients, 0, o.submissions, never, &busy);
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        std::printf(
            "store %s, %u cores, %d clients: %zu runs verified in %.2f s: %.2f a second, "
            "%.2f a second a core (%d answers 503 on the way)\n",
            o.store.c_str(), cores, o.clients, done.size(), seconds,
            static_cast<double>(done.size()) / seconds,
            static_cast<double>(done.size()) / seconds / cores, busy.load());

        for (const bool keepAlive : {false, true}) {
            std::vector<double> latencies;
            std::mutex mutex;
            std::vector<std::thread> readers;
            const auto until = Clock::now() + std::chrono::seconds(o.seconds);
            for (int r = 0; r < o.readers; ++r) {
                readers.emplace_back([&] {
                    httplib::Client client("127.0.0.1", port);
                    client.set_keep_alive(keepAlive);
                    std::vector<double> mine;
                    while (Clock::now() < until) {
                        const auto t = Clock::now();
                        const httplib::Result result = client.Get("/api/top?limit=10");
                        if (!result || result->status != 200) continue;
                        mine.push_back(
                            std::chrono::duration<double, std::milli>(Clock::now() - t).count());
                    }
                    std::lock_guard lock(mutex);
                    latencies.insert(latencies.end(), mine.begin(), mine.end());
                });
            }
            for (std::thread& t : readers) t.join();
            std::printf(
                "store %s, %d readers of /api/top?limit=10 for %d s, %s: %zu answers, "
                "p50 %.2f ms, p99 %.2f ms\n",
                o.store.c_str(), o.readers, o.seconds,
                keepAlive ? "connections kept alive" : "a connection a request", latencies.size(),
                Percentile(latencies, 0.5), Percentile(latencies, 0.99));
            std::fflush(stdout);
        }
    }

    // Killed in the middle: every acknowledged run is there after a restart.
    std::vector<Acknowledged> acknowledged;
    {
        Server server(db, port);
        std::atomic<bool> stop{false};
        std::atomic<int> count{0};
        std::thread submitting(
            [&] { acknowledged = Submit(port, o.clients, 100000, 1000000, stop, &busy, &count); });
        // Killed once a few runs are acknowledged, a moment into the next ones' plays.
        const auto limit = Clock::now() + std::chrono::minutes(5);
        while (count < 2 * o.clients && Clock::now() < limit) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(700));
        server.Stop(SIGKILL);
        stop = true;
        submitting.join();
    }
    int lost = 0;
    {
        Server server(db, port);
        httplib::Client client("127.0.0.1", port);
        for (const Acknowledged& a : acknowledged) {
            const httplib::Result r = client.Get(("/api/runs/" + std::to_string(a.id)).c_str());
            if (!r || r->status != 200 ||
                nlohmann::json::parse(r->body)["score"].get<int>() != a.score) {
                ++lost;
            }
        }
    }
    std::printf(
        "store %s, killed (SIGKILL) during submissions: %zu runs acknowledged before, "
        "%d of them missing after the restart\n",
        o.store.c_str(), acknowledged.size(), lost);
    std::error_code error;
    if (!folder.empty()) std::filesystem::remove_all(folder, error);
    return lost == 0 ? 0 : 1;
}
