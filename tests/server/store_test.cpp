// The table kept by each store: bests and ranks through adds and verdicts, a store from before
// the bests table migrated to the same table, and the server's copy of it in memory.
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <functional>

#include <gtest/gtest.h>
#include <httplib.h>
#include <libpq-fe.h>
#include <sqlite3.h>

#include "store.h"
#include "store_sql.h"
#include "test_postgres.h"
#include "test_server.h"

namespace scores {
namespace {

enum class Kind { Sqlite, Postgres };

class StoreTest : public ::testing::TestWithParam<Kind> {
  protected:
    void SetUp() override {
        if (GetParam() == Kind::Sqlite) {
            folder_ = std::filesystem::temp_directory_path() /
                      ("tavlo-store-test-" + std::to_string(getpid()));
            std::filesystem::create_directories(folder_);
            where_ = (folder_ / "scores.sqlite").string();
        } else {
            const std::string missing = testing::PostgresMissing();
            if (!missing.empty()) GTEST_SKIP() << missing;
            where_ = testing::NewPostgresDatabase();
        }
    }
    void TearDown() override {
        std::error_code error;
        if (!folder_.empty()) std::filesystem::remove_all(folder_, error);
    }
    std::unique_ptr<Store> Open() {
        return GetParam() == Kind::Sqlite ? OpenSqliteStore(where_) : OpenPostgresStore(where_);
    }
    // Statements on the database itself, as an older server left it.
    void Execute(const std::string& statements) {
        if (GetParam() == Kind::Sqlite) {
            sqlite3* db = nullptr;
            ASSERT_EQ(sqlite3_open(where_.c_str(), &db), SQLITE_OK);
            char* error = nullptr;
            EXPECT_EQ(sqlite3_exec(db, statements.c_str(), nullptr, nullptr, &error), SQLITE_OK)
                << (error ? error : "");
            sqlite3_free(error);
            sqlite3_close(db);
        } else {
            PGconn* conn = PQconnectdb(where_.c_str());
            PGresult* result = PQexec(conn, statements.c_str());
            EXPECT_NE(PQresultStatus(result), PGRES_FATAL_ERROR) << PQerrorMessage(conn);
            PQclear(result);
            PQfinish(conn);
        }
    }

    std::filesystem::path folder_;
    std::string where_;
};

NewRun RunOf(const std::string& name, int score, Board board) {
    static std::atomic<int> made = 0;
    NewRun run;
    run.name = run.nameKey = run.skeleton = name;
    run.newSecretHash = "secret of " + name;
    run.secretHash = run.newSecretHash;
    run.hash = "run " + std::to_string(++made);
    run.replay = std::string("replay\n\0", 8) + run.hash;  // bytes, a NUL among them
    run.program = "1.0.0";
    run.score = score;
    run.verdict.board = board;
    return run;
}

// A board as "name:score#n", n the number of the run in the test's order.
std::string Board_(Store& store, Board board, const std::vector<std::int64_t>& ids) {
    std::string text;
    for (const TableRow& row : store.Top(kTableRows, board)) {
        const auto n = std::find(ids.begin(), ids.end(), row.id) - ids.begin();
        text += (text.empty() ? "" : " ") + row.name + ":" + std::to_string(row.score) + "#" +
                std::to_string(n);
    }
    return text;
}

TEST_P(StoreTest, BestsAndRanksStayRightThroughAddsAndVerdicts) {
    const std::unique_ptr<Store> store = Open();
    constexpr Board H = Board::Human;
    constexpr Board A = Board::Assisted;
    struct Step {
        const char* what;
        const char* name;
        int score;
        Board board;
        bool newBest;
        int rank;
        const char* human;
        const char* assisted;
    };
    const Step steps[] = {
        {"first", "Ana", 10, H, true, 1, "Ana:10#0", ""},
        {"a tie goes to the first", "Bo", 10, H, true, 2, "Ana:10#0 Bo:10#1", ""},
        {"a weaker second run", "Ana", 5, H, false, 2, "Ana:10#0 Bo:10#1", ""},
        {"the other board", "Cy", 20, A, true, 1, "Ana:10#0 Bo:10#1", "Cy:20#3"},
        {"a new best", "Bo", 30, H, true, 1, "Bo:30#4 Ana:10#0", "Cy:20#3"},
        {"the same again, later", "Ana", 10, H, false, 2, "Bo:30#4 Ana:10#0", "Cy:20#3"},
        {"a best on both", "Bo", 20, A, true, 2, "Bo:30#4 Ana:10#0", "Cy:20#3 Bo:20#6"},
    };
    std::vector<std::int64_t> ids;
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        const NewRun run = RunOf(step.name, step.score, step.board);
        const AddResult added = store->Add(run);
        ASSERT_EQ(added.outcome, AddResult::Outcome::Added);
        ids.push_back(added.run.id);
        EXPECT_EQ(added.newBest, step.newBest);
        EXPECT_EQ(store->Rank(added.run.id), step.rank);
        EXPECT_EQ(Board_(*store, H, ids), step.human);
        EXPECT_EQ(Board_(*store, A, ids), step.assisted);
        EXPECT_EQ(store->Replay(added.run.id), run.replay);
    }
    EXPECT_EQ(store->Top(1, H).size(), 1u);

    // --rejudge moves runs between boards: the players' bests on both follow.
    const auto move = [&](std::size_t n, Board board) {
        Verdict verdict;
        verdict.board = board;
        ASSERT_TRUE(store->SetVerdict(ids[n], verdict));
    };
    struct Move {
        std::size_t run;
        Board to;
        const char* human;
        const char* assisted;
        int rank;  // of the run moved
    };
    const Move moves[] = {
        {4, A, "Ana:10#0 Bo:10#1", "Bo:30#4 Cy:20#3", 1},
        {3, H, "Cy:20#3 Ana:10#0 Bo:10#1", "Bo:30#4", 1},
        {4, H, "Bo:30#4 Cy:20#3 Ana:10#0", "Bo:20#6", 1},
        {0, A, "Bo:30#4 Cy:20#3 Ana:10#5", "Bo:20#6 Ana:10#0", 2},
    };
    for (const Move& m : moves) {
        SCOPED_TRACE(m.run);
        move(m.run, m.to);
        EXPECT_EQ(Board_(*store, H, ids), m.human);
        EXPECT_EQ(Board_(*store, A, ids), m.assisted);
        EXPECT_EQ(store->Rank(ids[m.run]), m.rank);
    }
    EXPECT_FALSE(store->SetVerdict(ids.back() + 100, Verdict{}));
}

// A store as the server left it before bests and replays had tables of their own: opened, it
// shows the same table, ranks and replays, and takes runs on.
TEST_P(StoreTest, AStoreFromBeforeTheBestsTableShowsTheSameTable) {
    const bool sqlite = GetParam() == Kind::Sqlite;
    std::string old =
        "CREATE TABLE schema_version (version INTEGER NOT NULL);"
        "INSERT INTO schema_version VALUES (3);";
    const auto& migrations = sqlite
                                 ? std::vector<const char*>(sql::kSqliteMigrations.begin(),
                                                            sql::kSqliteMigrations.begin() + 3)
                                 : std::vector<const char*>(sql::kPostgresMigrations.begin(),
                                                            sql::kPostgresMigrations.begin() + 3);
    for (const char* migration : migrations) old += migration;
    const std::string bytes = sqlite ? "X'72210a00'" : "'\\x72210a00'::BYTEA";
    // Ana's best is her first 10 (her second ties it, her third is weaker); Bo ties Ana's 10
    // later; Cy's 50 is assisted, his human best a 1.
    old +=
        "INSERT INTO players (id, name, name_key) VALUES (1, 'Ana', 'ana'), (2, 'Bo', 'bo'),"
        " (3, 'Cy', 'cy');"
        "INSERT INTO runs (id, player_id, hash, score, program, submitted_at, replay, board)"
        " VALUES (1, 1, 'a', 10, '1.0.0', 0, " +
        bytes + ", 'human'), (2, 2, 'b', 10, '1.0.0', 0, " + bytes +
        ", 'human'), (3, 1, 'c', 10, '1.0.0', 0, " + bytes +
        ", 'human'), (4, 1, 'd', 3, '1.0.0', 0, " + bytes +
        ", 'human'), (5, 3, 'e', 50, '1.0.0', 0, " + bytes +
        ", 'assisted'), (6, 3, 'f', 1, '1.0.0', 0, " + bytes + ", 'human');";
    if (!sqlite) {
        old += "SELECT setval('players_id_seq', 3); SELECT setval('runs_id_seq', 6);";
    }
    Execute(old);
    const std::unique_ptr<Store> store = Open();
    const std::vector<std::int64_t> ids = {0, 1, 2, 3, 4, 5, 6};
    EXPECT_EQ(Board_(*store, Board::Human, ids), "Ana:10#1 Bo:10#2 Cy:1#6");
    EXPECT_EQ(Board_(*store, Board::Assisted, ids), "Cy:50#5");
    const int ranks[] = {0, 1, 2, 2,
                         2, 1, 3};  // Ana's later runs stand where they would, behind Bo
    for (std::int64_t id = 1; id <= 6; ++id) {
        EXPECT_EQ(store->Rank(id), ranks[id]) << id;
        EXPECT_EQ(store->Replay(id), std::string("r!\n\0", 4)) << id;
    }
    NewRun run = RunOf("Cy", 11, Board::Human);
    run.secretHash.clear();  // Cy has no secret yet: this run claims the name
    const AddResult added = store->Add(run);
    ASSERT_EQ(added.outcome, AddResult::Outcome::Added);
    EXPECT_TRUE(added.newBest);
    EXPECT_EQ(store->Rank(added.run.id), 1);
}

INSTANTIATE_TEST_SUITE_P(Stores, StoreTest, ::testing::Values(Kind::Sqlite, Kind::Postgres),
                         [](const ::testing::TestParamInfo<Kind>& info) {
                             return info.param == Kind::Sqlite ? "Sqlite" : "Postgres";
                         });

// A store that counts the server's reads of the table.
class CountingStore final : public Store {
  public:
    explicit CountingStore(Store& store) : store_(store) {}
    AddResult Add(const NewRun& run) override { return store_.Add(run); }
    std::optional<StoredRun> FindByHash(const std::string& hash) override {
        return store_.FindByHash(hash);
    }
    std::optional<Holder> HolderOf(const std::string& key, const std::string& skeleton) override {
        return store_.HolderOf(key, skeleton);
    }
    std::vector<TableRow> Top(int limit, Board board) override {
        ++tops;
        return store_.Top(limit, board);
    }
    std::optional<StoredRun> Run(std::int64_t id) override { return store_.Run(id); }
    std::optional<std::string> Replay(std::int64_t id) override { return store_.Replay(id); }
    int Rank(std::int64_t id) override { return store_.Rank(id); }
    std::vector<std::pair<std::int64_t, std::string>> ReactionLines() override {
        return store_.ReactionLines();
    }
    bool SetVerdict(std::int64_t id, const Verdict& verdict) override {
        return store_.SetVerdict(id, verdict);
    }
    std::atomic<int> tops = 0;

  private:
    Store& store_;
};

// Readers in a burst cost one read of the store; a new best shows in /api/top and the page at
// once, a weaker run leaves the copy as it is.
TEST(TableCacheTest, ANewBestShowsAtOnceAndReadsInBetweenCostTheStoreNothing) {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("tavlo-cache-test-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    {
        const std::unique_ptr<Store> sqlite = OpenSqliteStore((folder / "scores.sqlite").string());
        CountingStore store(*sqlite);
        ServiceConfig config;
        config.version = "1.0.0";
        config.cpuPerAddress = 0;
        config.playsPerAddress = 0;
        config.tableTimeToLive = std::chrono::minutes(10);
        std::atomic<int> score = 0;
        Running server(store, config, [&](const PlayRequest&) {
            Verification v;
            v.outcome = Verification::Outcome::Verified;
            v.score = score;
            return v;
        });
        const auto send = [&](const std::string& name, int points, const std::string& key = "") {
            score = points;
            static int n = 0;
            // Runs of their own (a comment would not make one: runs are told apart by content).
            return server.Post(name, GoldenVariant("wrong", ++n),
                               key.empty() ? httplib::Headers{} : Bearer(key));
        };
        // The first read after a change is the store's, the others the copy's (answered on the
        // connection's own thread): the same bytes.
        const auto reads = [&] {
            std::string seen;
            for (int i = 0; i < 5; ++i) {
                const std::string now = server.Get("/api/top?limit=5").raw;
                if (i > 0) {
                    EXPECT_EQ(now, seen) << "read " << i;
                }
                seen = now;
            }
            server.Get("/api/top?board=assisted");
            return seen + server.Get("/?lang=en").raw;
        };
        const Running::Answer ana = send("Ana", 7);
        ASSERT_EQ(ana.status, 201) << ana.raw;
        EXPECT_NE(reads().find("Ana"), std::string::npos);
        EXPECT_EQ(store.tops, 2);  // both boards, once
        httplib::Client client("127.0.0.1", server.Port());
        const httplib::Result top = client.Get("/api/top");
        ASSERT_TRUE(top);
        EXPECT_EQ(top->get_header_value("Cache-Control"), "public, max-age=5");
        EXPECT_EQ(client.Get("/")->get_header_value("Cache-Control"), "public, max-age=5");

        ASSERT_EQ(send("Bo", 9).status, 201);
        const std::string afterBo = reads();
        EXPECT_LT(afterBo.find("Bo"), afterBo.find("Ana"));
        EXPECT_NE(afterBo.find(">Bo<"), std::string::npos);
        EXPECT_EQ(store.tops, 4);

        ASSERT_EQ(send("Ana", 1, ana.body["key"]).status, 201);  // no new best
        reads();
        EXPECT_EQ(store.tops, 4);
    }
    std::error_code error;
    std::filesystem::remove_all(folder, error);
}

}  // namespace
}  // namespace scores
