// The API end to end: a server on a loopback port over each store, the golden replays submitted
// as a player would and played by the built game program.
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <atomic>
#include <future>
#include <map>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>
#include <httplib.h>
#include <libpq-fe.h>
#include <sqlite3.h>
#include <nlohmann/json.hpp>

#include "names.h"
#include "sandbox.h"
#include "secrets.h"
#include "service.h"
#include "store.h"
#include "store_sql.h"
#include "submission.h"
#include "test_postgres.h"
#include "test_server.h"

namespace scores {
namespace {

using nlohmann::json;

enum class Kind { Sqlite, Postgres };

class ApiTest : public ::testing::TestWithParam<Kind> {
  protected:
    void SetUp() override {
        if (GetParam() == Kind::Sqlite) {
            folder_ = std::filesystem::temp_directory_path() /
                      ("tavlo-scores-test-" + std::to_string(getpid()));
            std::filesystem::create_directories(folder_);
            store_ = OpenSqliteStore((folder_ / "scores.sqlite").string());
        } else {
            const std::string missing = testing::PostgresMissing();
            if (!missing.empty()) GTEST_SKIP() << missing;
            store_ = OpenPostgresStore(testing::NewPostgresDatabase());
        }
    }
    void TearDown() override {
        store_.reset();
        std::error_code error;
        if (!folder_.empty()) std::filesystem::remove_all(folder_, error);
    }

    std::filesystem::path folder_;
    std::unique_ptr<Store> store_;
};

std::string ErrorOf(const Running::Answer& answer) {
    return answer.body.is_object() && answer.body.contains("error")
               ? answer.body["error"].get<std::string>()
               : "(no error: " + answer.raw + ")";
}

TEST_P(ApiTest, GoldenReplaysVerifyToTheirReportsScoresAndRankFirstComeFirst) {
    ServiceConfig config = TestConfig();
    ASSERT_EQ(config.version, "1.0.0");
    Running server(*store_, config);

    // Each golden replay with a round, by a player of its own; its score is its report's.
    const std::vector<std::pair<std::string, std::string>> runs = {
        {"round", "Zoë"}, {"away", "Ana"}, {"wrong", "Émile"}, {"window", "Tom & Jerry"}};
    std::vector<std::int64_t> ids;
    std::map<std::string, std::string> keys;
    for (const auto& [replay, player] : runs) {
        const int reported = BestRoundScore(Golden(replay, ".report")).value_or(-1);
        const Running::Answer answer = server.Post(player, Golden(replay));
        ASSERT_EQ(answer.status, 201) << replay << ": " << answer.raw;
        EXPECT_EQ(answer.body["score"], reported) << replay;
        ids.push_back(answer.body["id"].get<std::int64_t>());
        keys[player] = answer.body.value("key", "");

        const Running::Answer facts = server.Get("/api/runs/" + std::to_string(ids.back()));
        EXPECT_EQ(facts.body["name"], player);
        EXPECT_EQ(facts.body["score"], reported);
        EXPECT_EQ(facts.body["program"], "1.0.0");
        EXPECT_EQ(server.Get("/api/runs/" + std::to_string(ids.back()) + "/replay").raw,
                  Golden(replay));
    }
    EXPECT_EQ(BestRoundScore(Golden("round", ".report")), 101);

    // A run with no round has no score; the same replay again is the run already stored; under
    // another name, or a name taken in another case, it is refused.
    EXPECT_EQ(server.Post("Ana", Golden("quit"), Bearer(keys["Ana"])).status, 422);
    const Running::Answer again = server.Post("Zoë", Golden("round"));
    EXPECT_EQ(again.status, 200);
    EXPECT_EQ(again.body["id"], ids[0]);
    EXPECT_EQ(server.Post("Ana", Golden("round")).status, 409);
    // A run is its content: comments, blank lines and line ends do not make another one.
    std::string dressed = "tavlo-replay 1\r\n\r\n# mine\r\n" + Golden("round").substr(15);
    const Running::Answer same = server.Post("Zoë", dressed + "\n# again\n");
    EXPECT_EQ(same.status, 200) << same.raw;
    EXPECT_EQ(same.body["id"], ids[0]);
    const Running::Answer taken = server.Post("ÉMILE", GoldenVariant("round", 1));
    EXPECT_EQ(taken.status, 409);
    EXPECT_NE(ErrorOf(taken).find("is taken"), std::string::npos) << ErrorOf(taken);

    // Ties go to the first: a later 101 ranks behind Zoë's (both on the assisted board: the
    // golden round's bot answers at once). Ana's second run at 0 (another's run, cut just before
    // its end) stands behind every earlier 0 of the others, and leaves her once in the table, at
    // her first.
    const Running::Answer later = server.Post("Bo", GoldenVariant("round", 2));
    ASSERT_EQ(later.status, 201) << later.raw;
    EXPECT_EQ(later.body["rank"], 2);
    const Running::Answer second =
        server.Post("Ana", GoldenVariant("wrong", 1), Bearer(keys["Ana"]));
    ASSERT_EQ(second.status, 201) << second.raw;
    EXPECT_EQ(second.body["rank"], 3);

    const Running::Answer top = server.Get("/api/top?limit=10");
    ASSERT_EQ(top.status, 200);
    const std::vector<std::pair<std::string, int>> expected = {
        {"Ana", 0}, {"Émile", 0}, {"Tom & Jerry", 0}};
    ASSERT_EQ(top.body.size(), expected.size()) << top.raw;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(top.body[i]["rank"], i + 1);
        EXPECT_EQ(top.body[i]["name"], expected[i].first) << i;
        EXPECT_EQ(top.body[i]["score"], expected[i].second) << i;
    }
    EXPECT_EQ(top.body[0]["id"], ids[1]);  // Ana's first run, not her second
    const Running::Answer assisted = server.Get("/api/top?board=assisted");
    ASSERT_EQ(assisted.body.size(), 2u) << assisted.raw;
    EXPECT_EQ(assisted.body[0]["name"], "Zoë");
    EXPECT_EQ(assisted.body[1]["name"], "Bo");
    EXPECT_EQ(server.Get("/api/top?limit=2").body.size(), 2u);
    EXPECT_EQ(server.Get("/api/top?limit=0").status, 400);

    // The page: the table in the language asked for, names escaped, rows linking to the runs.
    const Running::Answer page = server.Get("/", {{"Accept-Language", "ja,en;q=0.5"}});
    EXPECT_NE(page.raw.find("<html lang=\"ja\">"), std::string::npos);
    EXPECT_NE(page.raw.find("順位"), std::string::npos);
    EXPECT_NE(page.raw.find("Tom &amp; Jerry"), std::string::npos);
    EXPECT_NE(page.raw.find("href=\"/api/runs/" + std::to_string(ids[0]) + "\""),
              std::string::npos);
    EXPECT_NE(server.Get("/?lang=de").raw.find("<th>Platz</th>"), std::string::npos);
    EXPECT_EQ(server.Get("/api/runs/999").status, 404);
}

// The first run under a name gives its player the name's key, once; every later run must bring
// it. A look-alike of a name, or a name of blanks, is refused; a name stored before names had
// keys is claimed by its next run.
TEST_P(ApiTest, ANameBelongsToItsFirstPlayer) {
    Running server(*store_, TestConfig());
    const Running::Answer first = server.Post("Zoë", Golden("round"));
    ASSERT_EQ(first.status, 201) << first.raw;
    const std::string key = first.body.value("key", "");
    EXPECT_GE(key.size(), 22u);  // 128 bits and more, in URL-safe base64
    EXPECT_EQ(
        key.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_"),
        std::string::npos);
    // Kept only as its hash.
    const std::optional<Holder> holder = store_->HolderOf(CheckName("Zoë").key, "");
    ASSERT_TRUE(holder);
    EXPECT_EQ(holder->secretHash, Sha256Hex(key));

    // A store holding a name from before keys: its next verified run claims it.
    NewRun old;
    old.name = "Paypal";
    old.nameKey = CheckName(old.name).key;
    old.skeleton = CheckName(old.name).skeleton;
    old.hash = "0";
    old.replay = "-";
    old.program = "1.0.0";
    ASSERT_EQ(store_->Add(old).outcome, AddResult::Outcome::Added);

    struct Case {
        const char* what;
        std::string name;
        std::string replay;
        httplib::Headers headers;
        int status;
        const char* says;  // in the error, or "key" for a 201 that gives one
    };
    const Case cases[] = {
        {"no key", "Zoë", "away", {}, 403, "belongs to the player who first sent"},
        {"another key", "Zoë", "away", Bearer(NewSecret()), 403, "not this name's key"},
        {"not a key", "Zoë", "away", {{"Authorization", "Basic Wm/DqzpwdzE="}}, 403, "form"},
        {"the key", "Zoë", "away", Bearer(key), 201, ""},
        {"Cyrillic ё", "Zo\u0435\u0308", "wrong", {}, 409, "looks like \"Zoë\""},
        {"Cyrillic а", "P\u0430ypal", "wrong", {}, 409, "looks like \"Paypal\""},
        {"a name of fillers", "\u3164\u3164", "wrong", {}, 400, "invisible"},
        {"an old name claimed", "Paypal", "window", {}, 201, "key"},
        {"and then its", "Paypal", "wrong", {}, 403, "belongs to the player"},
    };
    for (const Case& c : cases) {
        const Running::Answer answer = server.Post(c.name, Golden(c.replay), c.headers);
        EXPECT_EQ(answer.status, c.status) << c.what << ": " << answer.raw;
        if (c.status == 201) {
            EXPECT_EQ(answer.body.contains("key"), std::string(c.says) == "key") << c.what;
        } else {
            EXPECT_NE(ErrorOf(answer).find(c.says), std::string::npos)
                << c.what << ": " << ErrorOf(answer);
        }
    }
}

TEST_P(ApiTest, RefusedSubmissionsSayWhyAndStoreNothing) {
    Running server(*store_, TestConfig());
    std::string edited = Golden("wrong");  // one byte: a frame count on an event line
    const std::size_t at = edited.find("@217");
    ASSERT_NE(at, std::string::npos);
    edited[at + 3] = '8';
    std::string otherVersion = Golden("wrong");
    otherVersion.replace(otherVersion.find("program 1.0.0"), 13, "program 1.0.1");
    std::string huge = Golden("wrong");
    while (huge.size() <= kMaxReplayBytes) huge += "# padding padding padding padding\n";

    struct Case {
        const char* what;
        std::string name;
        std::string body;
        int status;
        const char* reason;
    };
    const Case cases[] = {
        {"one byte edited", "Ana", edited, 422, "did not verify"},
        {"six hours of game time", "Ana", EndAhead(21600000, 654545), 422,
         "lasts 360 minutes of game time; the table takes runs of up to 60"},
        {"no end", "Ana", Golden("wrong").substr(0, Golden("wrong").rfind("19155")), 422,
         "did not verify: "},
        {"another version", "Ana", otherVersion, 422, "recorded by Tavlo 1.0.1"},
        {"huge body", "Ana", huge, 413, "larger than 64 KiB"},
        {"not a replay", "Ana", "GIF89a", 400, "not a Tavlo replay"},
        {"empty body", "Ana", "", 400, "no replay"},
        {"empty name", "", Golden("wrong"), 400, "name refused"},
        {"long name", "abcdefghijklmnopq", Golden("wrong"), 400, "longer than 16"},
        {"bidi override", "a\u202Eb", Golden("wrong"), 400, "text-direction"},
        {"markup", "<script>", Golden("wrong"), 400, "only letters"},
    };
    for (const Case& c : cases) {
        const Running::Answer answer = server.Post(c.name, c.body);
        EXPECT_EQ(answer.status, c.status) << c.what << ": " << answer.raw;
        EXPECT_NE(ErrorOf(answer).find(c.reason), std::string::npos)
            << c.what << ": " << ErrorOf(answer);
    }
    EXPECT_EQ(server.Get("/api/top").body, json::array());
}

// The golden round's bot answers every picture before it could be seen: the assisted board; the
// person-paced round the human one. Runs of 9 and 10 unseen hits (a bot answering that many at
// once, the rest at a person's pace; scripts/replays.sh --make-unseen) fall either side of the
// rule. Each board ranks its own; a new rule re-judges the stored runs without playing them.
TEST_P(ApiTest, RunsGoOnTheHumanOrTheAssistedBoardByTheirUnseenHits) {
    ServiceConfig config = TestConfig();
    // --rejudge is another process: the server sees its change once its copy of the table is
    // this old.
    config.tableTimeToLive = std::chrono::milliseconds(100);
    const auto outlived = [] { std::this_thread::sleep_for(std::chrono::milliseconds(150)); };
    Running server(*store_, config);
    const auto run = [](int unseen) {
        return ReadFile(std::string(TAVLO_SOURCE_DIR) + "/tests/server/runs/unseen" +
                        std::to_string(unseen) + ".replay");
    };
    struct Case {
        const char* player;
        std::string replay;
        const char* board;
        int hits, unseen;
        const char* why;
        int rank;  // on its board
    };
    const Case cases[] = {
        {"Bot", Golden("round"), "assisted", 101, 101,
         "101 pictures answered before they could be seen: under 100 ms after they appeared", 1},
        {"Person", Golden("paced"), "human", 31, 0, "every picture was answered 100 ms or more", 1},
        {"Nine", run(9), "human", 24, 9, "fewer than the 10", 2},
        {"Ten", run(10), "assisted", 25, 10, "10 pictures answered", 2},
    };
    std::map<std::string, std::int64_t> ids;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.player);
        const Running::Answer answer = server.Post(c.player, c.replay);
        ASSERT_EQ(answer.status, 201) << answer.raw;
        ids[c.player] = answer.body["id"].get<std::int64_t>();
        const Running::Answer facts = server.Get("/api/runs/" + std::to_string(ids[c.player]));
        for (const json& body : {answer.body, facts.body}) {
            EXPECT_EQ(body["board"], c.board) << body;
            EXPECT_EQ(body["reactions"]["hits"], c.hits) << body;
            EXPECT_EQ(body["reactions"]["unseen"], c.unseen) << body;
            EXPECT_NE(body["why"].get<std::string>().find(c.why), std::string::npos) << body;
            EXPECT_EQ(body["rank"], c.rank) << body;
        }
    }
    const Running::Answer person = server.Get("/api/runs/" + std::to_string(ids["Person"]));
    EXPECT_GE(person.body["reactions"]["fastest_ms"].get<int>(), 200);
    EXPECT_LE(person.body["reactions"]["median_ms"].get<int>(), 600);

    const auto names = [&](const std::string& path) {
        std::vector<std::string> listed;
        for (const json& row : server.Get(path).body) listed.push_back(row["name"]);
        return listed;
    };
    using Names = std::vector<std::string>;
    EXPECT_EQ(names("/api/top"), (Names{"Person", "Nine"}));
    EXPECT_EQ(names("/api/top?board=human"), (Names{"Person", "Nine"}));
    EXPECT_EQ(names("/api/top?board=assisted"), (Names{"Bot", "Ten"}));
    EXPECT_EQ(server.Get("/api/top?board=robots").status, 400);
    const Running::Answer page = server.Get("/?lang=en");
    const std::size_t human = page.raw.find("<section id=\"human\">");
    const std::size_t assisted = page.raw.find("<section id=\"assisted\">");
    ASSERT_LT(human, assisted);
    EXPECT_GT(page.raw.find(">Person<"), human);
    EXPECT_LT(page.raw.find(">Person<"), assisted);
    EXPECT_GT(page.raw.find(">Bot<"), assisted);

    // Under a rule of 102 unseen hits the assisted runs move to the human board, by their stored
    // reaction lines: the replays are not played again.
    const ReactionRule lenient{100, 102};
    if (GetParam() == Kind::Sqlite) {
        const std::string command = std::string(TAVLO_BINARY_DIR) + "/server/tavlo-scores --db '" +
                                    (folder_ / "scores.sqlite").string() +
                                    "' --rejudge --assisted-from 102 >/dev/null";
        ASSERT_EQ(std::system(command.c_str()), 0);
    } else {
        EXPECT_EQ(Rejudge(*store_, lenient), 2);
    }
    outlived();
    EXPECT_EQ(names("/api/top?board=assisted"), Names{});
    EXPECT_EQ(names("/api/top"), (Names{"Bot", "Person", "Ten", "Nine"}));
    EXPECT_EQ(Rejudge(*store_, ReactionRule{}), 2);
    outlived();
    EXPECT_EQ(names("/api/top?board=assisted"), (Names{"Bot", "Ten"}));
}

INSTANTIATE_TEST_SUITE_P(Stores, ApiTest, ::testing::Values(Kind::Sqlite, Kind::Postgres),
                         [](const ::testing::TestParamInfo<Kind>& info) {
                             return info.param == Kind::Sqlite ? "Sqlite" : "Postgres";
                         });

// PostgreSQL restarted while runs are being sent: the server answers 503 while it is away (a
// run already in its play is stored once it is back), recovers by itself, and every run it
// answered 201 for is in the table.
TEST(PostgresTroubleTest, EveryRunAnswered201IsStoredAndTheServerRecoversByItself) {
    const std::string missing = testing::PostgresMissing();
    if (!missing.empty()) GTEST_SKIP() << missing;
    const std::unique_ptr<Store> store = OpenPostgresStore(testing::NewPostgresDatabase());
    // Plays that wait while the test says, so that one is surely under way when the database
    // goes.
    std::promise<void> playing;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::atomic<int> plays = 0;
    Running server(*store, TestConfig(), [&](const PlayRequest&) {
        if (++plays == 2) {
            playing.set_value();
            released.wait();
        }
        Verification v;
        v.outcome = Verification::Outcome::Verified;
        v.score = 7;
        return v;
    });
    std::vector<std::int64_t> stored;
    const auto take = [&](const Running::Answer& answer) {
        if (answer.status == 201) stored.push_back(answer.body["id"].get<std::int64_t>());
    };
    take(server.Post("Ana", Golden("round")));
    auto during = std::async(std::launch::async, [&] { return server.Post("Bo", Golden("away")); });
    playing.get_future().wait();
    testing::StopPostgres();
    const Running::Answer away = server.Get("/api/top");
    EXPECT_EQ(away.status, 503) << away.raw;
    EXPECT_EQ(away.retryAfter, "5");
    const Running::Answer sentWhileAway = server.Post("Cy", Golden("window"));
    EXPECT_EQ(sentWhileAway.status, 503) << sentWhileAway.raw;
    release.set_value();  // the play ends, and its run waits for the store
    std::this_thread::sleep_for(std::chrono::seconds(2));
    testing::StartPostgres();
    const Running::Answer held = during.get();
    EXPECT_EQ(held.status, 201) << held.raw;
    EXPECT_TRUE(held.body.contains("key")) << held.raw;
    take(held);
    int status = 0;
    for (int i = 0; i < 100 && status != 200; ++i) {
        status = server.Get("/api/top").status;
        if (status != 200) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    EXPECT_EQ(status, 200);
    take(server.Post("Cy", Golden("window")));
    ASSERT_EQ(stored.size(), 3u);
    for (const std::int64_t id : stored) {
        const Running::Answer run = server.Get("/api/runs/" + std::to_string(id));
        EXPECT_EQ(run.status, 200) << id;
        EXPECT_EQ(run.body["score"], 7) << id;
    }
}

// A table locked by another client (a migration, an operator's hand): statements end at their
// timeout and requests beyond the pool's connections at the pool's wait, each answered 503, none
// held for good.
TEST(PostgresTroubleTest, AStuckDatabaseCostsARequestSecondsNotItsThread) {
    const std::string missing = testing::PostgresMissing();
    if (!missing.empty()) GTEST_SKIP() << missing;
    const std::string database = testing::NewPostgresDatabase();
    const std::unique_ptr<Store> store = OpenPostgresStore(database);
    Running server(*store, TestConfig());
    PGconn* locker = PQconnectdb(database.c_str());
    ASSERT_EQ(PQstatus(locker), CONNECTION_OK);
    PQclear(PQexec(locker, "BEGIN; LOCK TABLE runs IN ACCESS EXCLUSIVE MODE"));
    std::vector<std::future<Running::Answer>> readers;
    for (int i = 0; i < 6; ++i) {
        readers.push_back(std::async(std::launch::async, [&] { return server.Get("/api/top"); }));
    }
    for (auto& reader : readers) {
        ASSERT_EQ(reader.wait_for(std::chrono::seconds(60)), std::future_status::ready);
        const Running::Answer answer = reader.get();
        EXPECT_EQ(answer.status, 503) << answer.raw;
        EXPECT_EQ(answer.retryAfter, "5");
    }
    PQclear(PQexec(locker, "ROLLBACK"));
    PQfinish(locker);
    EXPECT_EQ(server.Get("/api/top").status, 200);
}

class LimitsTest : public WithStore {
  protected:
    LimitsTest() : WithStore("limits") {}
};

// The game's page on another site sends runs: the browser's preflight is answered, and the
// page may read what the server said of the run (here a refusal, with its reason).
// A store made before names had keys and skeletons opens with its runs, its old names' look-alikes
// are refused, and an old name's next run claims it.
TEST_F(LimitsTest, AStoreFromBeforeKeysKeepsItsRunsAndItsNames) {
    store_.reset();
    const std::string file = (folder_ / "old.sqlite").string();
    {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
        const std::string old = std::string(sql::kSqliteMigrations[0]) +
                                "CREATE TABLE schema_version (version INTEGER NOT NULL);"
                                "INSERT INTO schema_version VALUES (1);"
                                "INSERT INTO players VALUES (1, 'Paypal', 'paypal');"
                                "INSERT INTO runs VALUES (1, 1, 'h', 101, '1.0.0', 0, 'r');";
        EXPECT_EQ(sqlite3_exec(db, old.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);
    }
    store_ = OpenSqliteStore(file);
    Running server(*store_, TestConfig());
    EXPECT_EQ(server.Get("/api/runs/1").body["name"], "Paypal");
    const Running::Answer alike = server.Post("P\u0430ypal", Golden("wrong"));
    EXPECT_EQ(alike.status, 409) << alike.raw;
    const Running::Answer claimed = server.Post("Paypal", Golden("wrong"));
    EXPECT_EQ(claimed.status, 201) << claimed.raw;
    EXPECT_TRUE(claimed.body.contains("key")) << claimed.raw;
    EXPECT_EQ(server.Post("Paypal", Golden("away")).status, 403);
}

// Every answer under /api/, the refusals and errors among them, once.
TEST_F(LimitsTest, APageOnAnotherSiteMaySendRunsAndReadTheAnswer) {
    Running server(*store_, TestConfig());
    const Running::Answer preflight = server.Options("/api/runs");
    EXPECT_EQ(preflight.status, 204);
    EXPECT_EQ(preflight.allowOrigin, "*");
    EXPECT_NE(preflight.allowHeaders.find("Content-Type"), std::string::npos);
    EXPECT_NE(preflight.allowHeaders.find("Authorization"), std::string::npos);
    std::string huge(kMaxReplayBytes + 1, 'x');
    const struct {
        Running::Answer answer;
        int status;
    } cases[] = {
        {server.Post("", Golden("wrong")), 400},
        {server.Post("Ana", huge), 413},
        {server.Get("/api/nothing"), 404},
        {server.Get("/api/runs/999"), 404},
        {server.Get("/api/runs/999/replay"), 404},
        {server.Get("/api/top?limit=x"), 400},
        {server.Get("/api/top"), 200},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.answer.status, c.status) << c.answer.raw;
        EXPECT_EQ(c.answer.allowOrigin, "*") << c.status << ": " << c.answer.raw;
    }
}

// A refusal's code is the same in every language; its sentence is in the request's language,
// by the game's own rule (the first the catalogues have, English when it comes first).
TEST_F(LimitsTest, ARefusalSaysWhyInTheRequestsLanguageBesideItsCode) {
    Running server(*store_, TestConfig());
    const struct {
        const char* accept;
        const char* says;
    } cases[] = {
        {"", "there is no such run"},
        {"fr-CA, de;q=0.5", "cette partie n\u2019existe pas"},
        {"zh-TW, ja;q=0.8", "そのようなプレイはありません"},
        {"en-GB, de;q=0.9", "there is no such run"},
    };
    for (const auto& c : cases) {
        const Running::Answer answer = server.Get("/api/runs/999", {{"Accept-Language", c.accept}});
        EXPECT_EQ(answer.status, 404) << c.accept;
        EXPECT_EQ(answer.body.value("code", ""), "no-such-run") << c.accept;
        EXPECT_EQ(ErrorOf(answer), c.says) << c.accept;
    }
}

// A name's reason is said in the request's language too, inside the refusal's sentence.
TEST_F(LimitsTest, ANamesReasonIsSaidInTheRequestsLanguage) {
    Running server(*store_, TestConfig());
    const struct {
        const char* accept;
        const char* says;
    } cases[] = {
        {"", "name refused: the name has two spaces in a row"},
        {"de", "Name abgelehnt: der Name hat zwei Leerzeichen hintereinander"},
        {"ja", "名前を使えません: 名前にスペースが 2 つ続いています"},
    };
    for (const auto& c : cases) {
        const Running::Answer answer =
            server.Post("Ana  Bo", Golden("round"), {{"Accept-Language", c.accept}});
        EXPECT_EQ(answer.status, 400) << c.accept;
        EXPECT_EQ(answer.body.value("code", ""), "bad-name") << c.accept;
        EXPECT_EQ(ErrorOf(answer), c.says) << c.accept;
    }
}

// A request's target is logged as it came, escaped: a %0A (or a raw byte) makes no line of
// its own.
TEST_F(LimitsTest, ATargetIsLoggedOnOneLine) {
    const std::string log = (folder_ / "log").string();
    std::fflush(stderr);
    const int saved = dup(2);
    std::FILE* file = std::fopen(log.c_str(), "w");
    ASSERT_TRUE(file);
    dup2(fileno(file), 2);
    {
        Running server(*store_, TestConfig());
        server.Get("/api/runs/1%0A127.0.0.1%20GET%20/forged%20200");
    }
    std::fflush(stderr);
    dup2(saved, 2);
    close(saved);
    std::fclose(file);
    const std::string said = ReadFile(log);
    EXPECT_EQ(said, "127.0.0.1 GET /api/runs/1%0A127.0.0.1%20GET%20/forged%20200 404\n");
}

// A play that says it took `cpu` seconds, at once.
VerifyQueue::Work Instant(double cpu, std::atomic<int>* plays = nullptr) {
    return [cpu, plays](const PlayRequest&) {
        if (plays) ++*plays;
        Verification v;
        v.outcome = Verification::Outcome::DidNotVerify;
        v.detail = "stand-in";
        v.cpuUsed = cpu;
        return v;
    };
}

TEST_F(LimitsTest, AnAddressIsChargedTheCpuItsPlaysTookAndIPv6CountsBy64) {
    ServiceConfig config = TestConfig();
    config.trustForwarded = true;
    config.cpuPerAddress = 10;
    std::atomic<int> plays{0};
    Running server(*store_, config, Instant(10, &plays));
    const auto from = [&](const std::string& address) {
        return server.Post("Ana", Golden("wrong"), {{"X-Forwarded-For", address}});
    };
    struct Case {
        const char* address;
        int status;
    };
    const Case cases[] = {
        {"2001:db8:1:2::1", 422},       // its play took the whole budget ...
        {"2001:db8:1:2:ffff::9", 429},  // ... of its /64
        {"2001:db8:1:3::1", 422},       // another network
        {"192.0.2.1", 422},
        {"::ffff:192.0.2.1", 429},  // the same IPv4 address
    };
    for (const Case& c : cases) {
        const Running::Answer answer = from(c.address);
        EXPECT_EQ(answer.status, c.status) << c.address << ": " << answer.raw;
        if (c.status == 429) {
            EXPECT_NE(ErrorOf(answer).find("share of the server's time"), std::string::npos);
            const int wait = std::atoi(answer.retryAfter.c_str());
            EXPECT_GE(wait, 1);
            EXPECT_LE(wait, config.cpuWindowSeconds);
        }
    }
    EXPECT_EQ(plays, 3);
    EXPECT_EQ(server.Get("/api/top").status, 200);  // reading is not limited

    // What a play did not use goes back: plays of no CPU never run out.
    Running cheap(*store_, config, Instant(0));
    for (int i = 0; i < 5; ++i) EXPECT_EQ(cheap.Post("Ana", Golden("wrong")).status, 422);
}

TEST_F(LimitsTest, AFullQueueAnswers503AndABusyAddress429) {
    ServiceConfig config = TestConfig();
    config.workers = 1;
    config.queue = 0;
    config.playsPerAddress = 1;
    config.trustForwarded = true;
    // A play that waits until the test lets it go, so that the one worker is surely busy.
    std::promise<void> started;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::atomic<bool> first{true};
    Running server(*store_, config, [&](const PlayRequest&) {
        if (first.exchange(false)) started.set_value();
        released.wait();
        Verification v;
        v.outcome = Verification::Outcome::DidNotVerify;
        v.detail = "held";
        return v;
    });
    const auto post = [&](const std::string& address, const std::string& replay) {
        return server.Post("Ana", Golden(replay), {{"X-Forwarded-For", address}});
    };
    auto running = std::async(std::launch::async, [&] { return post("192.0.2.1", "wrong"); });
    started.get_future().wait();
    const Running::Answer busy = post("192.0.2.1", "away");
    EXPECT_EQ(busy.status, 429);
    EXPECT_EQ(busy.allowOrigin, "*");
    EXPECT_NE(ErrorOf(busy).find("being checked already"), std::string::npos);
    const Running::Answer full = post("192.0.2.2", "away");
    EXPECT_EQ(full.status, 503);
    EXPECT_EQ(full.retryAfter, "10");
    EXPECT_EQ(full.allowOrigin, "*");
    release.set_value();
    EXPECT_EQ(running.get().status, 422);
}

// Folders of plays, and the game's own copies of the archive, anywhere they could be.
std::vector<std::string> Leftovers(const std::filesystem::path& scratch) {
    std::vector<std::string> left;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(scratch, error)) {
        left.push_back(entry.path().string());
    }
    // In /tmp, other programs' folders may come and go: ours hold the score file of the
    // replays below.
    for (const auto& entry : std::filesystem::directory_iterator("/tmp", error)) {
        const std::string name = entry.path().filename().string();
        if ((name.starts_with("tavlo-replay-") || name.starts_with("tavlo-play-")) &&
            ReadFile((entry.path() / "score.dat").string()) == "****") {
            left.push_back(entry.path().string());
        }
    }
    return left;
}

TEST_F(LimitsTest, APlayOverItsLimitsIsAnswered422AndLeavesNothingBehind) {
    // The real game on the title screen for six hours of its clock: it plays until stopped.
    std::string replay = EndAhead(21600000, 654545);
    replay.replace(replay.find("scores 00000000"), 15, "scores 2a2a2a2a");
    struct Case {
        const char* what;
        int cpuSeconds;
        int wallSeconds;
        const char* reason;
    };
    const Case cases[] = {
        {"CPU time", 1, 60, "took more time than the server allows"},
        {"wall clock", 60, 1, "took longer than the server allows"},
    };
    const std::filesystem::path scratch = folder_ / "scratch";
    std::filesystem::create_directories(scratch);
    for (const Case& c : cases) {
        ServiceConfig config = TestConfig();
        config.maxGameMinutes = 360;
        config.verifier.scratch = scratch.string();
        config.verifier.cpuSeconds = c.cpuSeconds;
        config.verifier.wallSeconds = c.wallSeconds;
        Running server(*store_, config);
        const Running::Answer answer = server.Post("Ana", replay);
        EXPECT_EQ(answer.status, 422) << c.what << ": " << answer.raw;
        EXPECT_NE(ErrorOf(answer).find(c.reason), std::string::npos)
            << c.what << ": " << ErrorOf(answer);
        EXPECT_EQ(Leftovers(scratch), std::vector<std::string>()) << c.what;
    }
}

TEST_F(LimitsTest, APlayTheServerCannotRunIs503WithItsCauseLoggedAndNoPathSaid) {
    const std::string exit4 = (folder_ / "exit4.sh").string();
    std::ofstream(exit4) << "#!/bin/sh\necho 'tavlo: cannot verify here: no room in "
                         << folder_.string() << "' >&2\nexit 4\n";
    const std::string killed = (folder_ / "killed.sh").string();
    std::ofstream(killed) << "#!/bin/sh\nkill -TERM $$\n";
    for (const std::string& file : {exit4, killed}) {
        std::filesystem::permissions(file, std::filesystem::perms::owner_all);
    }
    struct Case {
        const char* what;
        std::string program;
        std::string scratch;
        const char* logged;
    };
    const Case cases[] = {
        {"no scratch folder", "", (folder_ / "gone" / "deeper").string(), "no scratch folder"},
        {"cannot verify here", exit4, "", "cannot verify here: no room in"},
        {"a signal from outside", killed, "", "ended by signal 15"},
    };
    for (const Case& c : cases) {
        ServiceConfig config = TestConfig();
        config.version = "1.0.0";
        if (!c.program.empty()) config.verifier.program = c.program;
        if (!c.scratch.empty()) config.verifier.scratch = c.scratch;
        Running server(*store_, config);
        ::testing::internal::CaptureStderr();
        const Running::Answer answer = server.Post("Ana", Golden("wrong"));
        const std::string log = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(answer.status, 503) << c.what << ": " << answer.raw;
        EXPECT_EQ(ErrorOf(answer), "the server cannot verify runs now; please try later") << c.what;
        EXPECT_EQ(answer.raw.find('/'), std::string::npos) << c.what << ": " << answer.raw;
        EXPECT_NE(log.find(c.logged), std::string::npos) << c.what << ": " << log;
    }
}

// Six hours of game time is refused unplayed; a flood of such runs, and of short ones that
// are played, from one address keeps another's golden round waiting for one play at most.
TEST_F(LimitsTest, ALongRunCostsNoPlayAndAFloodDoesNotHoldAnotherAddressUp) {
    ServiceConfig config = TestConfig();
    config.workers = 2;
    config.playsPerAddress = 2;
    config.trustForwarded = true;
    std::mutex mutex;
    std::vector<bool> started;  // each play's start: the golden round's or another
    const std::string round = Golden("round");
    Running server(*store_, config, [&](const PlayRequest& play) {
        {
            std::lock_guard lock(mutex);
            started.push_back(play.replay == round);
        }
        return Verify(config.verifier, play);
    });
    const std::string sixHours = EndAhead(21600000, 654545);
    const auto start = std::chrono::steady_clock::now();
    const Running::Answer alone = server.Post("Ana", sixHours, {{"X-Forwarded-For", "192.0.2.1"}});
    EXPECT_EQ(alone.status, 422) << alone.raw;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_TRUE(started.empty());

    std::atomic<bool> stop{false};
    std::vector<std::thread> flood;
    for (int t = 0; t < 4; ++t) {
        flood.emplace_back([&, t] {
            // Half are six hours long, half two minutes of the title (played, to their end).
            for (int i = 0; !stop; ++i) {
                const std::string body =
                    (i + t) % 2 ? sixHours
                                : EndAhead(120000, 100000, "# " + std::to_string(i) + "\n");
                server.Post("Ana", body, {{"X-Forwarded-For", "192.0.2.1"}});
            }
        });
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    std::size_t before = 0;
    {
        std::lock_guard lock(mutex);
        before = started.size();
    }
    auto golden = std::async(std::launch::async, [&] {
        return server.Post("Bo", round, {{"X-Forwarded-For", "198.51.100.7"}});
    });
#ifdef TAVLO_SANITIZED
    const auto bound = std::chrono::seconds(90);  // a play is several times slower there
#else
    const auto bound = std::chrono::seconds(15);
#endif
    const bool answered = golden.wait_for(bound) == std::future_status::ready;
    stop = true;
    for (std::thread& t : flood) t.join();
    ASSERT_TRUE(answered) << "the golden round waited more than " << bound.count() << " s";
    const Running::Answer answer = golden.get();
    EXPECT_EQ(answer.status, 201) << answer.raw;
    std::lock_guard lock(mutex);
    const auto at = std::find(started.begin() + static_cast<long>(before), started.end(), true);
    ASSERT_NE(at, started.end());
    // Of the flood's plays, at most one started after the round was sent and before it.
    EXPECT_LE(at - (started.begin() + static_cast<long>(before)), 1);
}

// At start, the folders of plays a killed server left are removed, not those of plays under
// way (their lock is held), nor anything else.
TEST_F(LimitsTest, TheSweepAtStartRemovesOnlyFoldersOfPlaysNoServerHolds) {
    const std::filesystem::path scratch = folder_ / "sweep";
    struct Case {
        const char* name;
        bool lockFile;
        bool held;
        bool kept;
    };
    const Case cases[] = {
        {"tavlo-play-left", true, false, false},
        {"tavlo-play-nolock", false, false, false},
        {"tavlo-play-live", true, true, true},
        {"someone-else", false, false, true},
    };
    std::vector<int> locks;
    for (const Case& c : cases) {
        std::filesystem::create_directories(scratch / c.name / "tavlo-replay-x");
        std::ofstream((scratch / c.name / "tavlo-replay-x" / "tavlo.rka").string()) << "copy";
        if (!c.lockFile) continue;
        const int fd = open((scratch / c.name / ".server-lock").c_str(), O_CREAT | O_RDWR, 0600);
        ASSERT_GE(fd, 0);
        if (!c.held) {
            close(fd);
            continue;
        }
        ASSERT_EQ(flock(fd, LOCK_EX), 0);
        locks.push_back(fd);
    }
    VerifierConfig config = TestConfig().verifier;
    config.scratch = scratch.string();
    SweepScratch(config);
    for (const Case& c : cases) {
        EXPECT_EQ(std::filesystem::exists(scratch / c.name), c.kept) << c.name;
    }
    for (int fd : locks) close(fd);
}

// The play's reaction lines come back from its folder; a link in their place, or too many, are
// a failed play and nothing is read.
TEST_F(LimitsTest, TheReactionLinesAreReadBackOnlyFromAFileOfThePlaysOwn) {
    const std::string secret = (folder_ / "secret").string();
    std::ofstream(secret) << "the server's own\n";
    struct Case {
        const char* what;
        std::string replay;
        Verification::Outcome outcome;
        std::string reactions;
    };
    const Case cases[] = {
        {"its lines", "# reactions 1\t1\t2\t000123\t4000\t4350\t350\n",
         Verification::Outcome::Verified, "1\t1\t2\t000123\t4000\t4350\t350\n"},
        {"none", "", Verification::Outcome::Verified, ""},
        {"a link", "# reactions-link " + secret + "\n", Verification::Outcome::DidNotVerify, ""},
        {"over 1 MiB", "# reactions-bytes 1048577\n", Verification::Outcome::OverLimits, ""},
    };
    for (const Case& c : cases) {
        VerifierConfig config = TestConfig().verifier;
        config.program = TAVLO_ESCAPE;
        PlayRequest play;
        play.replay = c.replay;
        play.cpuSeconds = 10;
        const Verification v = Verify(config, play);
        EXPECT_EQ(v.outcome, c.outcome) << c.what << ": " << v.detail;
        EXPECT_EQ(v.reactions, c.reactions) << c.what;
    }
}

// A stand-in that tries to connect, to write outside its folder and to fork, in boxes of each
// layer alone and of all: what each layer stops is stopped. Layers this kernel lacks are
// skipped (then the rows of the others still hold).
TEST_F(LimitsTest, APlayConnectsToNothingWritesOnlyInItsFolderAndStartsNoProcess) {
    const int listener = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), size), 0);
    ASSERT_EQ(listen(listener, 8), 0);
    getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size);
    const int port = ntohs(address.sin_port);

    const SandboxSupport& support = ProbeSandbox();
    std::fprintf(stderr, "%s\n", support.Describe().c_str());
    enum Got { kConnected = 1, kWrote = 2, kForked = 4 };
    struct Case {
        const char* what;
        unsigned layers;
        int got;  // what gets through
        bool offered;
    };
    // The limits, always there, stop a new process by RLIMIT_NPROC, but not for root.
    const int forked = geteuid() == 0 ? kForked : 0;
    const Case cases[] = {
        {"the limits alone (the stand-in's own check)", 0, kConnected | kWrote | forked, true},
        {"namespaces", kLayerNamespaces, kWrote | forked,
         support.namespaces != SandboxSupport::Namespaces::None},
        {"Landlock", kLayerLandlock, support.landlockAbi >= 4 ? forked : kConnected | forked,
         support.landlockAbi > 0},
        {"the system-call filter", kLayerFilter, kWrote, support.seccomp},
        {"all", kAllLayers, 0, true},
    };
    int row = 0;
    for (const Case& c : cases) {
        if (!c.offered) {
            std::fprintf(stderr, "%s: not in this kernel, skipped\n", c.what);
            continue;
        }
        const std::string outside = (folder_ / ("escaped-" + std::to_string(++row))).string();
        VerifierConfig config = TestConfig().verifier;
        config.program = TAVLO_ESCAPE;
        config.layers = c.layers;
        PlayRequest play;
        play.replay = "# port " + std::to_string(port) + "\n# outside " + outside + "\n";
        play.cpuSeconds = 10;
        const Verification v = Verify(config, play);
        ASSERT_EQ(v.outcome, Verification::Outcome::Verified) << c.what << ": " << v.detail;
        EXPECT_EQ(v.score, c.got) << c.what;
        // Seen from outside too: a connection accepted, a file made.
        int accepted = 0;
        for (int fd; (fd = accept(listener, nullptr, nullptr)) >= 0; ++accepted) close(fd);
        EXPECT_EQ(accepted > 0, (c.got & kConnected) != 0) << c.what;
        EXPECT_EQ(std::filesystem::exists(outside), (c.got & kWrote) != 0) << c.what;
    }
    close(listener);

    // The game itself plays the golden replays in the whole box.
    const VerifierConfig config = TestConfig().verifier;
    for (const char* name : {"round", "wrong"}) {
        PlayRequest play;
        play.replay = Golden(name);
        play.cpuSeconds = config.cpuSeconds;
        const Verification v = Verify(config, play);
        EXPECT_EQ(v.outcome, Verification::Outcome::Verified) << name << ": " << v.detail;
        EXPECT_EQ(v.score, BestRoundScore(Golden(name, ".report")).value_or(-1)) << name;
    }
}

}  // namespace
}  // namespace scores
