// Every file the program reads (the archive, the score, the SDL host's settings, the input
// script), missing, a folder, empty, damaged, binary or 100 MB: the run ends with its exit code
// and message, within a time limit and without a large allocation (the address space is capped
// where no sanitizer needs it).
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "input_script.h"
#include "process.h"

using namespace testing_support;

namespace {

// A shell command the test's set-up needs; it must succeed.
void Shell(const std::string& command) {
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
}

enum class Place { Archive, Score, Settings, Script, Replay };
enum class Damage { Missing, Folder, Fifo, Empty, Binary, Truncated, Huge, HugeAfterArchive };

struct HostileCase {
    const char* name;
    Place place;
    Damage damage;
    int exitCode;
    const char* message;  // expected in standard error; "" for none
};

#if defined(__SANITIZE_ADDRESS__)
constexpr const char* kLimits = "timeout -s KILL 120";
#else
constexpr const char* kLimits = "timeout -s KILL 60 prlimit --as=536870912";
#endif

// Start a round (the round's pictures load from the archive), then Pause.
constexpr const char* kScript = "7000 down RETURN\n7050 up RETURN\n15000 down PAUSE\n";

void Write(const std::string& path, Damage damage) {
    const std::string archive = TAVLO_BINARY_DIR "/tavlo.rka";
    switch (damage) {
        case Damage::Missing:
            break;
        case Damage::Folder:
            Shell("mkdir -p '" + path + "'");
            break;
        case Damage::Fifo:  // nothing ever writes to it
            Shell("mkfifo '" + path + "'");
            break;
        case Damage::Empty:
            std::ofstream(path, std::ios::binary);
            break;
        case Damage::Binary: {
            std::ofstream out(path, std::ios::binary);
            std::uint32_t state = 12345;
            for (int i = 0; i < 4096; ++i) {
                state = state * 1103515245u + 12345u;
                out.put(static_cast<char>(state >> 24));
            }
            break;
        }
        case Damage::Truncated:  // the archive cut inside its last picture
            Shell("head -c 150000 '" + archive + "' >'" + path + "'");
            break;
        case Damage::Huge:  // 100 MB of zero bytes
            Shell("truncate -s 100M '" + path + "'");
            break;
        case Damage::HugeAfterArchive:  // the archive, then zeros up to 100 MB
            Shell("cp '" + archive + "' '" + path + "' && truncate -s 100M '" + path + "'");
            break;
    }
}

}  // namespace

class HostileFile : public ::testing::TestWithParam<HostileCase> {};

TEST_P(HostileFile, EndsWithItsCodeAndMessage) {
    const HostileCase& c = GetParam();
    const GameFolder game(std::string("hostile-") + c.name);
    const std::string& folder = game.path;
    std::ofstream(folder + "/script.txt")
        << (c.place == Place::Settings ? "300 down PAUSE\n" : kScript);
    const char* names[] = {"tavlo.rka", "score.dat", "config/tavlo/settings.conf", "script.txt",
                           "run.replay"};
    const std::string path = folder + "/" + names[static_cast<int>(c.place)];
    Shell("mkdir -p '" + folder + "/config/tavlo' && rm -f '" + path + "'");
    Write(path, c.damage);

    const std::string host =
        c.place == Place::Settings
            ? "TAVLO_VIDEO=sdl SDL_VIDEODRIVER=dummy XDG_CONFIG_HOME='" + folder + "/config'"
            : "TAVLO_VIDEO=headless TAVLO_TIME_LIMIT=20000";
    RunResult result =
        testing_support::Run("cd '" + folder + "' && TAVLO_INPUT=script.txt " + host,
                             std::string(kLimits) + " " TAVLO_BINARY +
                                 (c.place == Place::Replay ? " --replay run.replay --verify" : ""));
    EXPECT_EQ(result.exitCode, c.exitCode) << result.standardError;
    if (*c.message == '\0') {
        EXPECT_EQ(result.standardError, "");
    } else {
        EXPECT_NE(result.standardError.find(c.message), std::string::npos) << result.standardError;
    }
    Shell("rm -rf '" + folder + "'");
}

INSTANTIATE_TEST_SUITE_P(
    Files, HostileFile,
    ::testing::Values(
        HostileCase{"ArchiveMissing", Place::Archive, Damage::Missing, 1,
                    "File can't open[tavlo.rka]"},
        HostileCase{"ArchiveFolder", Place::Archive, Damage::Folder, 1,
                    "RKA archive [tavlo.rka] is damaged: the file could not be read"},
        HostileCase{"ArchiveEmpty", Place::Archive, Damage::Empty, 1, "no entry count"},
        HostileCase{"ArchiveBinary", Place::Archive, Damage::Binary, 1, "File max over"},
        HostileCase{"ArchiveTruncated", Place::Archive, Damage::Truncated, 1,
                    "RKA entry [game1.bmp] of [tavlo.rka] is damaged"},
        HostileCase{"ArchiveHuge", Place::Archive, Damage::Huge, 1, "[logo.bmp]"},
        HostileCase{"ArchiveHugeTail", Place::Archive, Damage::HugeAfterArchive, 1, ""},
        HostileCase{"ScoreMissing", Place::Score, Damage::Missing, 1, "file not found"},
        // The score is the file's first four bytes; a short or unreadable one leaves it 0.
        HostileCase{"ScoreFolder", Place::Score, Damage::Folder, 1, ""},
        HostileCase{"ScoreEmpty", Place::Score, Damage::Empty, 1, ""},
        HostileCase{"ScoreBinary", Place::Score, Damage::Binary, 1, ""},
        HostileCase{"ScoreHuge", Place::Score, Damage::Huge, 1, ""},
        HostileCase{"SettingsMissing", Place::Settings, Damage::Missing, 1, ""},
        HostileCase{"SettingsEmpty", Place::Settings, Damage::Empty, 1, ""},
        HostileCase{"SettingsBinary", Place::Settings, Damage::Binary, 1, "settings.conf"},
        HostileCase{"SettingsHuge", Place::Settings, Damage::Huge, 1, "settings.conf"},
        HostileCase{"ScriptMissing", Place::Script, Damage::Missing, 2, "cannot read script.txt"},
        HostileCase{"ScriptFifo", Place::Script, Damage::Fifo, 2,
                    "cannot read script.txt: it is not a regular file"},
        HostileCase{"ScriptEmpty", Place::Script, Damage::Empty, 3, "time limit"},
        HostileCase{"ScriptBinary", Place::Script, Damage::Binary, 2, "line 1: malformed"},
        HostileCase{"ScriptHuge", Place::Script, Damage::Huge, 2,
                    "script.txt is larger than 16 MiB"},
        HostileCase{"ReplayFolder", Place::Replay, Damage::Folder, 1,
                    "run.replay: cannot be read: it is a folder"},
        HostileCase{"ReplayFifo", Place::Replay, Damage::Fifo, 1,
                    "run.replay: cannot be read: it is not a regular file"},
        HostileCase{"ReplayBinary", Place::Replay, Damage::Binary, 1, "run.replay: line 1"},
        HostileCase{"ReplayHuge", Place::Replay, Damage::Huge, 1,
                    "run.replay: larger than 16 MiB"}),
    [](const auto& info) { return std::string(info.param.name); });

// The limit also holds where the size is not known beforehand (a pipe): the text is counted.
TEST(ScriptLimit, TextsUpToSixteenMiBParseAndLongerOnesAreRefused) {
    const std::string event = "100 down A\n";
    const std::string text =
        event + std::string(host::kMaxScriptBytes - event.size() - 1, '#') + "\n";
    const std::string unended = event + std::string(host::kMaxScriptBytes - event.size(), '#');
    for (const std::string& full : {text, unended}) {
        host::ParsedScript at = host::ParseInputScript(full);
        EXPECT_FALSE(at.tooLarge);
        EXPECT_EQ(at.badLine, 0);
        EXPECT_EQ(at.events.size(), 1u);
    }
    for (const std::string& over : {text + "1", text + "\n"}) {
        host::ParsedScript refused = host::ParseInputScript(over);
        EXPECT_TRUE(refused.tooLarge);
        EXPECT_TRUE(refused.events.empty());
    }
}
