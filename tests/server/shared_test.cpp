// Several tavlo-scores processes over one PostgreSQL: the addresses' limits are the database's,
// a --verify-only process plays what a server queued, and a server killed with runs queued and
// under way leaves them to the others once their leases lapse.
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <httplib.h>
#include <libpq-fe.h>
#include <nlohmann/json.hpp>

#include "test_postgres.h"
#include "loopback.h"
#include "test_server.h"
#include "verifier.h"

namespace scores {
namespace {

const std::string kServer = std::string(TAVLO_BINARY_DIR) + "/server/tavlo-scores";

// The test's database as the URI the program takes ("host=H user=U dbname=D" in, the same
// out).
std::string Uri(const std::string& conninfo) {
    const auto value = [&](const std::string& key) {
        const std::size_t at = conninfo.find(key + "=") + key.size() + 1;
        return conninfo.substr(at, conninfo.find(' ', at) - at);
    };
    return "postgresql:///" + value("dbname") + "?host=" + value("host") + "&user=" + value("user");
}

// One number from the database.
long long Count(const std::string& conninfo, const std::string& query) {
    PGconn* conn = PQconnectdb(conninfo.c_str());
    PGresult* result = PQexec(conn, query.c_str());
    const long long n = PQresultStatus(result) == PGRES_TUPLES_OK && PQntuples(result) == 1
                            ? std::atoll(PQgetvalue(result, 0, 0))
                            : -1;
    PQclear(result);
    PQfinish(conn);
    return n;
}

// Waits up to `seconds` for `done`.
template <typename Done>
bool Within(int seconds, Done done) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return true;
}

// tavlo-scores as a process of its own, its standard error to `log`; a server (not
// --verify-only) is waited for until it answers.
class Program {
  public:
    Program(const std::string& db, std::vector<std::string> flags, const std::string& log)
        : port_(loopback::FreePort()) {
        const bool serves = std::find(flags.begin(), flags.end(), "--verify-only") == flags.end();
        std::vector<std::string> args = {kServer, "--db", db};
        if (serves) {
            args.push_back("--listen");
            args.push_back("127.0.0.1:" + std::to_string(port_));
        }
#ifdef TAVLO_SANITIZED
        flags.push_back("--verify-memory");
        flags.push_back("0");
#endif
        args.insert(args.end(), flags.begin(), flags.end());
        pid_ = fork();
        if (pid_ == 0) {
            std::vector<char*> argv;
            for (std::string& a : args) argv.push_back(a.data());
            argv.push_back(nullptr);
            if (!freopen(log.c_str(), "a", stderr)) _exit(126);
            execv(argv[0], argv.data());
            _exit(127);
        }
        if (serves) {
            httplib::Client client("127.0.0.1", port_);
            Within(60, [&] { return static_cast<bool>(client.Get("/api/top")); });
        }
    }
    ~Program() {
        End(SIGTERM);
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    void End(int signal) {
        if (pid_ <= 0) return;
        kill(pid_, signal);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
    // A run sent from `address` (the servers trust X-Forwarded-For).
    Running::Answer Post(const std::string& name, const std::string& replay,
                         const std::string& address = "192.0.2.1") const {
        httplib::Client client("127.0.0.1", port_);
        client.set_read_timeout(300);
        Running::Answer answer;
        const auto result =
            client.Post(("/api/runs?name=" + Encoded(name)).c_str(), {{"X-Forwarded-For", address}},
                        replay, "application/octet-stream");
        if (!result) return answer;
        answer.status = result->status;
        answer.raw = result->body;
        answer.body = json::parse(result->body, nullptr, false);
        return answer;
    }

  private:
    int port_;
    pid_t pid_ = -1;
};

class SharedPostgresTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const std::string missing = testing::PostgresMissing();
        if (!missing.empty()) GTEST_SKIP() << missing;
        conninfo_ = testing::NewPostgresDatabase();
        db_ = Uri(conninfo_);
        folder_ = std::filesystem::temp_directory_path() /
                  ("tavlo-shared-test-" + std::to_string(getpid()));
        std::filesystem::create_directories(folder_);
        log_ = (folder_ / "servers.log").string();
    }
    void TearDown() override {
        if (::testing::Test::HasFailure()) std::fprintf(stderr, "%s", ReadFile(log_).c_str());
        std::error_code error;
        if (!folder_.empty()) std::filesystem::remove_all(folder_, error);
    }
    // The flags every process here shares: its scratch folder, addresses from the test.
    std::vector<std::string> Flags(std::vector<std::string> more) const {
        more.insert(more.end(), {"--scratch", folder_.string(), "--trust-forwarded"});
        return more;
    }
    std::string code(const Running::Answer& answer) const {
        return answer.body.is_object() ? answer.body.value("code", answer.raw) : answer.raw;
    }

    std::string conninfo_;
    std::string db_;
    std::filesystem::path folder_;
    std::string log_;
};

// Two servers, one address: its one play at a time and its CPU seconds are counted once across
// both, not once each. The plays are a stand-in that spins until its CPU limit (3 s) stops it.
TEST_F(SharedPostgresTest, TwoServersCountAnAddresssPlaysAndCpuSecondsTogether) {
    const std::string spin = (folder_ / "spin.sh").string();
    std::ofstream(spin) << "#!/bin/sh\ncase \"$1\" in --version) echo 'tavlo "
                        << TestConfig().version << "';; *) while :; do :; done;; esac\n";
    std::filesystem::permissions(spin, std::filesystem::perms::owner_all);
    // Each play is charged 3 s when queued; 7 s fit two plays of an address, not three.
    const std::vector<std::string> flags =
        Flags({"--program", spin, "--workers", "1", "--plays-per-address", "1", "--cpu-per-address",
               "7", "--verify-start", "2500", "--verify-cpu", "3"});
    const Program a(db_, flags, log_);
    const Program b(db_, flags, log_);
    const std::string run = Golden("wrong");

    auto first = std::async(std::launch::async, [&] { return a.Post("Ana", run); });
    ASSERT_TRUE(Within(30, [&] {
        return Count(conninfo_, "SELECT COUNT(*) FROM queued_plays WHERE state = 'playing'") == 1;
    }));
    const Running::Answer busy = b.Post("Ana", run);
    EXPECT_EQ(busy.status, 429) << busy.raw;
    EXPECT_EQ(code(busy), "address-busy");
    EXPECT_EQ(first.get().status, 422);  // over its CPU limit

    struct Step {
        const Program& to;
        const char* address;
        int status;
        const char* code;
    };
    const Step steps[] = {
        {b, "192.0.2.1", 422, "over-limits"},     // the second play's 3 s fit: 6 of 7
        {a, "192.0.2.1", 429, "cpu-share-used"},  // a third's do not, on either server
        {a, "192.0.2.2", 422, "over-limits"},     // another address has its own
    };
    for (const Step& step : steps) {
        const Running::Answer answer = step.to.Post("Ana", run, step.address);
        EXPECT_EQ(answer.status, step.status) << step.address << ": " << answer.raw;
        EXPECT_EQ(code(answer), step.code) << step.address;
    }
    EXPECT_EQ(Count(conninfo_, "SELECT COUNT(*) FROM queued_plays WHERE state <> 'done'"), 0);
}

// A server with no workers queues; a --verify-only process plays the run and the server
// answers it as it would have. Over SQLite, --verify-only is refused.
TEST_F(SharedPostgresTest, AVerifyOnlyProcessPlaysWhatAServerWithoutWorkersQueued) {
    const Program server(db_, Flags({"--workers", "0"}), log_);
    const Program player(db_, Flags({"--verify-only", "--workers", "1"}), log_);
    const Running::Answer answer = server.Post("Zoë", Golden("round"));
    EXPECT_EQ(answer.status, 201) << answer.raw;
    EXPECT_EQ(answer.body.value("score", 0), 101);
    EXPECT_EQ(answer.body.value("rank", 0), 1);
    EXPECT_TRUE(answer.body.contains("key"));
    EXPECT_EQ(Count(conninfo_, "SELECT COUNT(*) FROM runs"), 1);
    EXPECT_EQ(Count(conninfo_, "SELECT COUNT(*) FROM queued_plays"), 0);

    const std::string sqlite = (folder_ / "scores.sqlite").string();
    for (const char* flag : {"--verify-only", "--workers"}) {
        const std::string command = kServer + " --db " + sqlite + " " + flag +
                                    (flag == std::string("--workers") ? " 0" : "") + " 2>/dev/null";
        const int status = std::system(command.c_str());  // NOLINT(cert-env33-c)
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << command;
    }
}

// A server killed (SIGKILL) with one run under way and one queued: once the lease of the one
// it was playing lapses, a --verify-only process plays both, beside a run sent to a second
// server meanwhile; each run is stored once.
TEST_F(SharedPostgresTest, RunsOfAKilledServerAreFinishedByTheOthersAndStoredOnce) {
    {
        Program killed(db_, Flags({"--workers", "1", "--lease-seconds", "2"}), log_);
        std::vector<std::future<Running::Answer>> sent;
        for (const auto& [name, k] : {std::pair{"Bo", 2}, std::pair{"Cy", 3}}) {
            sent.push_back(
                std::async(std::launch::async, [&killed, name = std::string(name), cut = k] {
                    return killed.Post(name, GoldenVariant("round", cut));
                }));
        }
        ASSERT_TRUE(Within(30, [&] {
            return Count(conninfo_, "SELECT COUNT(*) FROM queued_plays WHERE state = 'playing'") ==
                       1 &&
                   Count(conninfo_, "SELECT COUNT(*) FROM queued_plays") == 2;
        }));
        killed.End(SIGKILL);
        for (auto& answer : sent) EXPECT_EQ(answer.get().status, 0);  // no answer came
    }
    EXPECT_EQ(Count(conninfo_, "SELECT COUNT(*) FROM runs"), 0);
    const Program server(db_, Flags({"--workers", "0", "--lease-seconds", "2"}), log_);
    const Program player(db_, Flags({"--verify-only", "--workers", "1", "--lease-seconds", "2"}),
                         log_);
    const Running::Answer answer = server.Post("Di", GoldenVariant("round", 4), "192.0.2.9");
    EXPECT_EQ(answer.status, 201) << answer.raw;
    ASSERT_TRUE(Within(120, [&] { return Count(conninfo_, "SELECT COUNT(*) FROM runs") == 3; }));
    // The run the killed server was playing was taken again.
    EXPECT_EQ(Count(conninfo_, "SELECT MAX(takes) FROM queued_plays"), 2);
    EXPECT_EQ(Count(conninfo_, "SELECT COUNT(DISTINCT hash) FROM runs"), 3);
    EXPECT_EQ(Count(conninfo_,
                    "SELECT COUNT(DISTINCT p.name) FROM runs r JOIN players p ON p.id = "
                    "r.player_id WHERE p.name IN ('Bo', 'Cy', 'Di')"),
              3);
    EXPECT_EQ(Count(conninfo_, "SELECT COUNT(*) FROM runs WHERE id = " +
                                   std::to_string(answer.body.value("id", 0))),
              1);
    // Each outcome written (the run is stored a moment before).
    EXPECT_TRUE(Within(10, [&] {
        return Count(conninfo_, "SELECT COUNT(*) FROM queued_plays WHERE state <> 'done'") == 0;
    }));
}

// Addresses take turns in the shared queue: a run from an address that has had no turn yet is
// played next, before the runs another address queued earlier (one worker; stand-in plays, the
// first held until all four are queued).
TEST_F(SharedPostgresTest, AddressesTakeTurnsInTheSharedQueue) {
    const std::unique_ptr<Store> store = OpenPostgresStore(conninfo_);
    ServiceConfig config = TestConfig();
    config.workers = 1;
    config.trustForwarded = true;
    std::promise<void> playing;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::mutex mutex;
    std::vector<std::string> order;
    std::map<std::string, std::string> who;  // replay -> "A1", ...
    Running server(*store, config, [&](const PlayRequest& play) {
        {
            std::lock_guard lock(mutex);
            order.push_back(who[play.replay]);
            if (order.size() == 1) playing.set_value();
        }
        released.wait();
        Verification v;
        v.outcome = Verification::Outcome::Verified;
        v.score = 5;
        return v;
    });
    const std::pair<const char*, const char*> runs[] = {
        {"A1", "192.0.2.1"}, {"A2", "192.0.2.1"}, {"A3", "192.0.2.1"}, {"B1", "198.51.100.7"}};
    std::vector<std::future<Running::Answer>> answers;
    int k = 1;
    for (const auto& [label, address] : runs) {
        const std::string replay = GoldenVariant("round", ++k);
        {
            std::lock_guard lock(mutex);
            who[replay] = label;
        }
        answers.push_back(std::async(std::launch::async, [&server, replay, label, address] {
            return server.Post(label, replay, {{"X-Forwarded-For", address}});
        }));
        if (k == 2) playing.get_future().wait();
        ASSERT_TRUE(Within(
            30, [&] { return Count(conninfo_, "SELECT COUNT(*) FROM queued_plays") == k - 1; }));
    }
    release.set_value();
    for (auto& answer : answers) EXPECT_EQ(answer.get().status, 201);
    EXPECT_EQ(order, (std::vector<std::string>{"A1", "B1", "A2", "A3"}));
}

}  // namespace
}  // namespace scores
