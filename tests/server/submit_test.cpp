// The game's side of the score server: `tavlo --submit` against a real server on a loopback
// port, and the runs a player who opted in (settings.conf) has sent after a new best.
#include <chrono>
#include <filesystem>
#include <fstream>
#include <regex>
#include <thread>

#include <gtest/gtest.h>

#include "loopback.h"
#include "process.h"
#include "test_server.h"

namespace scores {
namespace {

using testing_support::GameFolder;
using testing_support::RunResult;

class SubmitTest : public ::testing::Test {
  protected:
    void SetUp() override {
        folder_ = testing_support::FreshFolder("submit");
        store_ = OpenSqliteStore(folder_ + "/scores.sqlite");
    }
    void TearDown() override {
        store_.reset();
        testing_support::RemoveFolder(folder_);
    }
    std::string folder_;
    std::unique_ptr<Store> store_;
};

// The program's words, standard output and error both (in the language `environment` asks
// for); the names' keys kept in `folder`.
RunResult Submit(const std::string& file, const std::string& server, const std::string& name,
                 const std::string& folder, const std::string& environment = "") {
    return testing_support::Run(environment, "{ " TAVLO_BINARY " --submit '" + file +
                                                 "' --server '" + server + "' --name '" + name +
                                                 "' --data-dir '" + folder + "' 1>&2; }");
}

TEST_F(SubmitTest, SubmitSaysTheServersAnswerAndExitsByIt) {
    Running server(*store_, TestConfig());
    const std::string here = "http://127.0.0.1:" + std::to_string(server.Port());
    std::string edited = Golden("wrong");  // one byte: a frame count on an event line
    edited[edited.find("@217") + 3] = '8';
    const std::string editedFile = folder_ + "/edited.replay";
    std::ofstream(editedFile, std::ios::binary) << edited;
    const std::string replays = std::string(TAVLO_SOURCE_DIR) + "/tests/e2e/replays/";
    const std::string round = replays + "round.replay";
    const std::string paced = replays + "paced.replay";
    // The player's data folder keeps the name's key; another's has none.
    const std::string mine = folder_ + "/mine";
    const std::string theirs = folder_ + "/theirs";
    struct Case {
        const char* what;
        std::string file;
        std::string server;
        std::string folder;
        int exitCode;
        const char* says;
        std::string environment = "";
    };
    const Case cases[] = {
        {"the golden round", round, here + "/", mine, 0,
         "verified: score 101, rank 1, run 1\non the board for assisted runs: 101 pictures "
         "answered before they could be seen"},
        {"the same again", round, here, mine, 0,
         "already in the table: score 101, rank 1, run 1\non the board for assisted runs"},
        {"a person's pace, with the key", paced, here, mine, 0,
         "verified: score 31, rank 1, run 2\non the board for people: every picture was "
         "answered 100 ms or more after it appeared"},
        {"another player's folder", replays + "window.replay", here, theirs, 1,
         "the server refused the run: this name belongs to the player who first sent"},
        {"a refused run", editedFile, here, mine, 1,
         "the server refused the run: the run did not verify"},
        // The server says why in the player's language, from the same catalogues.
        {"a refused run, in German", editedFile, here, mine, 1,
         "der Server hat den Lauf abgelehnt: der Lauf hat die Prüfung nicht bestanden: ",
         "export LANG=de_DE.UTF-8 LANGUAGE= LC_ALL= LC_MESSAGES=;"},
        {"nobody listening", round, "http://127.0.0.1:" + std::to_string(loopback::FreePort()),
         mine, 1, "no server answered at http://127.0.0.1:"},
        {"no such file", folder_ + "/none.replay", here, mine, 1, "none.replay: "},
        {"another scheme", round, "ftp://127.0.0.1/", mine, 2, "not a web address"},
    };
    std::string keyFile;
    for (const Case& c : cases) {
        const auto start = std::chrono::steady_clock::now();
        const RunResult result = Submit(c.file, c.server, "Zoë", c.folder, c.environment);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(90)) << c.what;
        EXPECT_EQ(result.exitCode, c.exitCode) << c.what << ": " << result.standardError;
        EXPECT_NE(result.standardError.find(c.says), std::string::npos)
            << c.what << ": " << result.standardError;
        // The first run's answer says where the key is, once.
        const std::size_t kept = result.standardError.find("is kept in " + mine + "/keys/");
        EXPECT_EQ(kept != std::string::npos, c.what == cases[0].what) << result.standardError;
        if (kept != std::string::npos) {
            keyFile = result.standardError.substr(kept + 11);
            keyFile = keyFile.substr(0, keyFile.find(')'));
        }
    }
    EXPECT_EQ(server.Get("/api/top").body.size(), 1u);
    ASSERT_FALSE(keyFile.empty());
    EXPECT_EQ(std::filesystem::status(keyFile).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    EXPECT_NE(ReadFile(keyFile).find("\nname Zoë\nkey "), std::string::npos) << ReadFile(keyFile);
    EXPECT_FALSE(std::filesystem::exists(theirs + "/keys"));
}

// The golden round played again on the headless host (its keys as the input script, the
// calendar clock at its seed) in a folder whose best is `best`, by a player whose settings ask
// for runs to go to `server`.
RunResult PlayTheGoldenRound(const GameFolder& game, const std::string& config,
                             const std::string& server) {
    std::filesystem::create_directories(config + "/tavlo");
    std::ofstream(config + "/tavlo/settings.conf")
        << "submit_server=" << server << "\nsubmit_name=Zoë\n";
    static const std::regex event(R"(^([0-9]+ (down|up) [A-Z]+) @[0-9]+$)");
    std::istringstream replay(Golden("round"));
    std::string script;
    for (std::string line; std::getline(replay, line);) {
        std::smatch match;
        if (std::regex_match(line, match, event)) script += match[1].str() + "\n";
    }
    // (A sanitizer build wants its runtime first; the clock goes in front all the same.)
    return game.Start(script, "LD_PRELOAD=" TAVLO_FIXED_TIME
                              " ASAN_OPTIONS=\"$ASAN_OPTIONS:verify_asan_link_order=0\""
                              " XDG_CONFIG_HOME=" +
                                  config);
}

TEST_F(SubmitTest, AnOptedInPlayersNewBestIsSentAfterTheGameAndOnlyThen) {
    Running server(*store_, TestConfig());
    const std::string here = "http://127.0.0.1:" + std::to_string(server.Port());
    struct Case {
        const char* what;
        const char* best;  // score.dat before the game
        bool sent;
    };
    const Case cases[] = {
        {"a best of 200 stands", "\310\0\0\0", false},
        {"101 beats 0", "\0\0\0\0", true},
    };
    for (const Case& c : cases) {
        const GameFolder game("optin");
        // Recordings the game made before, and a file of the player's own, in runs/.
        std::filesystem::create_directories(game.path + "/runs");
        for (int i = 0; i < 6; ++i) {
            std::ofstream(game.path + "/runs/2025010" + std::to_string(i) + "-120000.replay");
        }
        std::ofstream(game.path + "/runs/mine.replay");
        std::string raw(c.best, 4);
        std::ofstream(game.path + "/score.dat", std::ios::binary) << raw;

        const RunResult played = PlayTheGoldenRound(game, folder_ + "/config", here);
        EXPECT_EQ(played.exitCode, 1) << c.what << ": " << played.standardError;
        std::vector<std::string> runs;
        for (const auto& entry : std::filesystem::directory_iterator(game.path + "/runs")) {
            runs.push_back(entry.path().filename().string());
        }
        std::sort(runs.begin(), runs.end());
        // The newest five recordings (this game's among them) and the player's own file.
        ASSERT_GE(runs.size(), 6u) << c.what;
        EXPECT_EQ(runs[0], "20250102-120000.replay") << c.what;
        EXPECT_EQ(std::count(runs.begin(), runs.end(), "mine.replay"), 1) << c.what;
        EXPECT_EQ(runs.size(), c.sent ? 7u : 6u) << c.what;  // + submit.log

        // The game has ended; its run goes on being sent (the server plays it first).
        const std::string log = game.path + "/runs/submit.log";
        std::string said;
        const std::string answer =
            "verified: score 101, rank 1, run 1\non the board for assisted runs: 101 pictures "
            "answered before they could be seen: under 100 ms after they appeared\n";
        for (int i = 0; c.sent && i < 600 && said.size() < answer.size(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            said = game.Read("runs/submit.log");
        }
        EXPECT_EQ(std::filesystem::exists(log), c.sent) << c.what;
        if (c.sent) {
            // The name's key is kept in the game's data folder, for its next best.
            EXPECT_EQ(said.rfind(answer.substr(0, answer.size() - 1) +
                                     " (the name is yours: its key, which later runs under it "
                                     "need, is kept in " +
                                     game.path + "/keys/",
                                 0),
                      0u)
                << said;
        }
        testing_support::RemoveFolder(game.path);
    }
}

}  // namespace
}  // namespace scores
