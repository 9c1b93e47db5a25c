// The score table's cost by the size of the store: SQLite and a PostgreSQL cluster of the
// benchmark's own, each filled straight in the database (not through submissions) with 1,000
// runs from 100 players and with 1,000,000 runs from 100,000 players. Measured at each size:
// the store's read of a board (what the server's copy in memory costs when it is read again),
// /api/top through the server (kept-alive client, the copy's time to live passing meanwhile),
// and a submission's store step (Store::Add of a new player's run, a new best, and its Rank),
// both for a run that goes to the top and one that goes to the bottom. p50 and p99 of the calls
// are counters; the goal is the large store within twice the small one.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <benchmark/benchmark.h>
#include <httplib.h>
#include <libpq-fe.h>
#include <sqlite3.h>

#include "front.h"
#include "service.h"
#include "store.h"
#include "test_postgres.h"

namespace {

using Clock = std::chrono::steady_clock;

enum class Kind { Sqlite, Postgres };

// Runs i = 1..N, player i % P + 1, scores spread over 0..210 (i * 7919 mod 211), every tenth on the
// assisted board; each player's bests made from them as the migration makes them. Replays are short
// stand-ins (a real one is a few KiB; the row is apart from the run either way).
std::string FillSql(Kind kind, int runs, int players) {
    const std::string n = std::to_string(runs);
    const std::string p = std::to_string(players);
    const std::string playerIds =
        kind == Kind::Sqlite
            ? "WITH RECURSIVE s(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM s WHERE i < " + p + ") "
            : "";
    const std::string runIds =
        kind == Kind::Sqlite
            ? "WITH RECURSIVE s(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM s WHERE i < " + n + ") "
            : "";
    const std::string from =
        kind == Kind::Sqlite ? " FROM s" : " FROM generate_series(1, " + n + ") AS s(i)";
    const std::string fromPlayers =
        kind == Kind::Sqlite ? " FROM s" : " FROM generate_series(1, " + p + ") AS s(i)";
    return "BEGIN;" + playerIds +
           "INSERT INTO players (id, name, name_key, skeleton, secret_hash) SELECT i, 'p' || i, "
           "'p' || i, 'p' || i, ''" +
           fromPlayers + ";" + runIds +
           "INSERT INTO runs (id, player_id, hash, score, program, submitted_at, reactions, "
           "board, hits, median_ms, fastest_ms, unseen) SELECT i, i % " +
           p +
           " + 1, 'h' || i, (i % 211) * 112 % 211, '1.0.0', 1700000000 + i, '', CASE WHEN i % 10 = "
           "0 THEN 'assisted' ELSE 'human' END, 40, 300, 200, 0" +
           from + ";" + runIds + "INSERT INTO replays (run_id, replay) SELECT i, " +
           (kind == Kind::Sqlite ? "CAST('program 1.0.0 ' || i AS BLOB)"
                                 : "convert_to('program 1.0.0 ' || i, 'UTF8')") +
           from +
           ";INSERT INTO bests (player_id, board, run_id, score) SELECT player_id, board, id, "
           "score FROM (SELECT id, player_id, board, score, ROW_NUMBER() OVER (PARTITION BY "
           "player_id, board ORDER BY score DESC, id) AS n FROM runs) AS ranked WHERE n = 1;" +
           (kind == Kind::Postgres ? "SELECT setval('players_id_seq', " + p +
                                         "); SELECT setval('runs_id_seq', " + n + ");"
                                   : "") +
           "COMMIT;";
}

void Fail(const std::string& message) {
    std::fprintf(stderr, "tavlo_scores_store_bench: %s\n", message.c_str());
    std::exit(1);
}

// A store of `runs` runs, made once for the whole program and kept.
struct Filled {
    std::unique_ptr<scores::Store> store;
    int next = 0;  // for the names and hashes of the runs the benchmark adds
};

Filled& StoreOf(Kind kind, int runs) {
    static std::map<std::pair<Kind, int>, Filled> made;
    Filled& filled = made[{kind, runs}];
    if (filled.store) return filled;
    const int players = std::max(1, runs / 10);
    const std::string sql = FillSql(kind, runs, players);
    const auto start = Clock::now();
    if (kind == Kind::Sqlite) {
        const std::filesystem::path file = std::filesystem::temp_directory_path() /
                                           ("tavlo-store-bench-" + std::to_string(getpid()) + "-" +
                                            std::to_string(runs) + ".sqlite");
        scores::OpenSqliteStore(file.string()).reset();  // the schema
        sqlite3* db = nullptr;
        char* error = nullptr;
        if (sqlite3_open(file.c_str(), &db) != SQLITE_OK ||
            sqlite3_exec(db, (sql + "ANALYZE;").c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
            Fail(std::string("sqlite: ") + (error ? error : sqlite3_errmsg(db)));
        }
        sqlite3_close(db);
        filled.store = scores::OpenSqliteStore(file.string());
    } else {
        const std::string conninfo = scores::testing::NewPostgresDatabase();
        scores::OpenPostgresStore(conninfo).reset();
        PGconn* conn = PQconnectdb(conninfo.c_str());
        for (const std::string& statement : {sql, std::string("VACUUM ANALYZE")}) {
            PGresult* result = PQexec(conn, statement.c_str());
            const ExecStatusType status = PQresultStatus(result);
            PQclear(result);
            if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
                Fail(std::string("postgresql: ") + PQerrorMessage(conn));
            }
        }
        PQfinish(conn);
        filled.store = scores::OpenPostgresStore(conninfo);
    }
    std::fprintf(stderr, "%s: %d runs from %d players made in %.1f s\n",
                 kind == Kind::Sqlite ? "sqlite" : "postgresql", runs, players,
                 std::chrono::duration<double>(Clock::now() - start).count());
    return filled;
}

double Percentile(std::vector<double> values, double p) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(p * static_cast<double>(values.size() - 1))];
}

void Report(benchmark::State& state, const std::vector<double>& ms) {
    state.counters["p50_ms"] = Percentile(ms, 0.5);
    state.counters["p99_ms"] = Percentile(ms, 0.99);
}

void StoreTop(benchmark::State& state, Kind kind, int runs) {
    scores::Store& store = *StoreOf(kind, runs).store;
    std::vector<double> ms;
    for (auto _ : state) {
        const auto t = Clock::now();
        benchmark::DoNotOptimize(store.Top(100, scores::Board::Human));
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t).count());
    }
    Report(state, ms);
}

void ApiTop(benchmark::State& state, Kind kind, int runs) {
    scores::Store& store = *StoreOf(kind, runs).store;
    scores::Service service(store, scores::ServiceConfig{},
                            [](const scores::PlayRequest&) { return scores::Verification{}; });
    // Every request is logged on standard error: not into the benchmark's report.
    std::fflush(stderr);
    const int savedErr = dup(2);
    const int devNull = open("/dev/null", O_WRONLY);
    dup2(devNull, 2);
    close(devNull);
    scores::http::Front front(service.Http(), {});
    if (!front.Bind("127.0.0.1", 0)) state.SkipWithError("cannot listen");
    const int port = front.Port();
    std::thread serving([&] { front.Run(); });
    {
        httplib::Client client("127.0.0.1", port);
        client.set_keep_alive(true);
        client.set_tcp_nodelay(true);
        std::vector<double> ms;
        for (auto _ : state) {
            const auto t = Clock::now();
            const httplib::Result result = client.Get("/api/top?limit=10");
            if (!result || result->status != 200) state.SkipWithError("/api/top failed");
            ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t).count());
        }
        Report(state, ms);
    }
    front.Stop();
    serving.join();
    std::fflush(stderr);
    dup2(savedErr, 2);
    close(savedErr);
}

void AddAndRank(benchmark::State& state, Kind kind, int runs, int score) {
    Filled& filled = StoreOf(kind, runs);
    std::vector<double> ms;
    for (auto _ : state) {
        scores::NewRun run;
        const std::string n = std::to_string(++filled.next) + "-" + std::to_string(score);
        run.name = run.nameKey = run.skeleton = "new" + n;
        run.newSecretHash = "s";
        run.hash = "bench" + n;
        run.replay = "program 1.0.0 " + n;
        run.program = "1.0.0";
        run.score = score;
        run.when = 1800000000;
        const auto t = Clock::now();
        const scores::AddResult added = filled.store->Add(run);
        benchmark::DoNotOptimize(filled.store->Rank(added.run.id));
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t).count());
        if (!added.newBest) state.SkipWithError("the run was not a new best");
    }
    Report(state, ms);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::pair<Kind, const char*>> kinds = {{Kind::Sqlite, "sqlite"}};
    if (scores::testing::PostgresMissing().empty()) {
        kinds.emplace_back(Kind::Postgres, "postgres");
    } else {
        std::fprintf(stderr, "%s\n", scores::testing::PostgresMissing().c_str());
    }
    for (const auto& [kind, name] : kinds) {
        for (const int runs : {1000, 1000000}) {
            const std::string at = std::string(name) + "/" + std::to_string(runs);
            const Kind k = kind;
            benchmark::RegisterBenchmark(("StoreTop100/" + at).c_str(), StoreTop, k, runs)
                ->Unit(benchmark::kMillisecond);
            // Past the copy's time to live (2 s) a few times.
            benchmark::RegisterBenchmark(("ApiTop10/" + at).c_str(), ApiTop, k, runs)
                ->Unit(benchmark::kMillisecond)
                ->MinTime(5);
            benchmark::RegisterBenchmark(("AddAndRank/top/" + at).c_str(), AddAndRank, k, runs,
                                         100000)
                ->Unit(benchmark::kMillisecond);
            benchmark::RegisterBenchmark(("AddAndRank/bottom/" + at).c_str(), AddAndRank, k, runs,
                                         0)
                ->Unit(benchmark::kMillisecond);
        }
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
