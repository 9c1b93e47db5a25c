// The API end to end: a server on a loopback port over each store, the golden replays submitted
// as a player would and played by the built game program.
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <future>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>
#include <httplib.h>
#include <nlohmann/json.hpp>

#include "service.h"
#include "store.h"
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
    for (const auto& [replay, player] : runs) {
        const int reported = BestRoundScore(Golden(replay, ".report")).value_or(-1);
        const Running::Answer answer = server.Post(player, Golden(replay));
        ASSERT_EQ(answer.status, 201) << replay << ": " << answer.raw;
        EXPECT_EQ(answer.body["score"], reported) << replay;
        ids.push_back(answer.body["id"].get<std::int64_t>());

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
    EXPECT_EQ(server.Post("Ana", Golden("quit")).status, 422);
    const Running::Answer again = server.Post("Zoë", Golden("round"));
    EXPECT_EQ(again.status, 200);
    EXPECT_EQ(again.body["id"], ids[0]);
    EXPECT_EQ(server.Post("Ana", Golden("round")).status, 409);
    const Running::Answer taken = server.Post("ÉMILE", Golden("round") + "# again\n");
    EXPECT_EQ(taken.status, 409);
    EXPECT_NE(ErrorOf(taken).find("is taken"), std::string::npos) << ErrorOf(taken);

    // Ties go to the first: a later 101 ranks behind Zoë's. Ana's second run at 0 (the same
    // run, its bytes changed by a comment) stands behind every earlier 0 of the others, and
    // leaves her once in the table, at her first.
    const Running::Answer later = server.Post("Bo", Golden("round") + "# later\n");
    ASSERT_EQ(later.status, 201) << later.raw;
    EXPECT_EQ(later.body["rank"], 2);
    const Running::Answer second = server.Post("Ana", Golden("wrong") + "# again\n");
    ASSERT_EQ(second.status, 201) << second.raw;
    EXPECT_EQ(second.body["rank"], 5);

    const Running::Answer top = server.Get("/api/top?limit=10");
    ASSERT_EQ(top.status, 200);
    const std::vector<std::pair<std::string, int>> expected = {
        {"Zoë", 101}, {"Bo", 101}, {"Ana", 0}, {"Émile", 0}, {"Tom & Jerry", 0}};
    ASSERT_EQ(top.body.size(), expected.size()) << top.raw;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(top.body[i]["rank"], i + 1);
        EXPECT_EQ(top.body[i]["name"], expected[i].first) << i;
        EXPECT_EQ(top.body[i]["score"], expected[i].second) << i;
    }
    EXPECT_EQ(top.body[2]["id"], ids[1]);  // Ana's first run, not her second
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

INSTANTIATE_TEST_SUITE_P(Stores, ApiTest, ::testing::Values(Kind::Sqlite, Kind::Postgres),
                         [](const ::testing::TestParamInfo<Kind>& info) {
                             return info.param == Kind::Sqlite ? "Sqlite" : "Postgres";
                         });

class LimitsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        folder_ = std::filesystem::temp_directory_path() /
                  ("tavlo-scores-limits-" + std::to_string(getpid()));
        std::filesystem::create_directories(folder_);
        store_ = OpenSqliteStore((folder_ / "scores.sqlite").string());
    }
    void TearDown() override {
        store_.reset();
        std::error_code error;
        std::filesystem::remove_all(folder_, error);
    }
    std::filesystem::path folder_;
    std::unique_ptr<Store> store_;
};

// The game's page on another site sends runs: the browser's preflight is answered, and the
// page may read what the server said of the run (here a refusal, with its reason).
TEST_F(LimitsTest, APageOnAnotherSiteMaySendRunsAndReadTheAnswer) {
    Running server(*store_, TestConfig());
    const Running::Answer preflight = server.Options("/api/runs");
    EXPECT_EQ(preflight.status, 204);
    EXPECT_EQ(preflight.allowOrigin, "*");
    EXPECT_NE(preflight.allowHeaders.find("Content-Type"), std::string::npos);
    const Running::Answer refused = server.Post("", Golden("wrong"));
    EXPECT_EQ(refused.status, 400);
    EXPECT_EQ(refused.allowOrigin, "*");
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

TEST_F(LimitsTest, AFloodFromOneAddressIsRefusedWithRetryAfter) {
    ServiceConfig config = TestConfig();
    config.perMinute = 3;
    Running server(*store_, config);
    // Refused or not, every submission counts; a forwarded address is not believed unless the
    // server is told to trust its proxy.
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(server.Post("", Golden("wrong"), {{"X-Forwarded-For", std::to_string(i)}}).status,
                  400);
    }
    const Running::Answer flooded = server.Post("Ana", Golden("wrong"));
    EXPECT_EQ(flooded.status, 429);
    EXPECT_NE(ErrorOf(flooded).find("too many runs"), std::string::npos);
    const int wait = std::atoi(flooded.retryAfter.c_str());
    EXPECT_GE(wait, 1);
    EXPECT_LE(wait, 60);
    EXPECT_EQ(server.Get("/api/top").status, 200);  // reading is not limited
}

TEST_F(LimitsTest, AFullVerificationQueueAnswers503WithRetryAfter) {
    ServiceConfig config = TestConfig();
    config.workers = 1;
    config.queue = 0;
    // A play that waits until the test lets it go, so that the one worker is surely busy.
    std::promise<void> started;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    Running server(*store_, config, [&](const std::string&) {
        started.set_value();
        released.wait();
        Verification v;
        v.outcome = Verification::Outcome::DidNotVerify;
        v.detail = "held";
        return v;
    });
    auto first =
        std::async(std::launch::async, [&] { return server.Post("Ana", Golden("wrong")); });
    started.get_future().wait();
    const Running::Answer busy = server.Post("Bo", Golden("away"));
    EXPECT_EQ(busy.status, 503);
    EXPECT_EQ(busy.retryAfter, "10");
    release.set_value();
    EXPECT_EQ(first.get().status, 422);
}

TEST_F(LimitsTest, APlayOverTheServersLimitsIsAnswered422WithTheLimitNamed) {
    // Stand-ins for a play that runs over: a program that spins, one that waits.
    struct Case {
        const char* what;
        const char* body;
        int cpuSeconds;
        int wallSeconds;
        const char* reason;
    };
    const Case cases[] = {
        {"CPU time", "while :; do :; done", 1, 60, "took more time than the server allows"},
        {"wall clock", "exec sleep 30", 60, 1, "took longer than the server allows"},
    };
    for (const Case& c : cases) {
        const std::string program = (folder_ / "overrun.sh").string();
        { std::ofstream(program) << "#!/bin/sh\n" << c.body << "\n"; }
        std::filesystem::permissions(program, std::filesystem::perms::owner_all);
        ServiceConfig config = TestConfig();
        config.verifier.program = program;
        config.verifier.cpuSeconds = c.cpuSeconds;
        config.verifier.wallSeconds = c.wallSeconds;
        Running server(*store_, config);
        const Running::Answer answer = server.Post("Ana", Golden("round"));
        EXPECT_EQ(answer.status, 422) << c.what << ": " << answer.raw;
        EXPECT_NE(ErrorOf(answer).find(c.reason), std::string::npos)
            << c.what << ": " << ErrorOf(answer);
    }
}

}  // namespace
}  // namespace scores
