// Every file the program reads (the archive, the score, the SDL host's settings, the input
// script, a replay), missing, a folder, empty, damaged, binary or 100 MB, and on Windows held
// open by another program or read-only: the run ends with its exit code and message, within a
// time limit and without a large allocation (the address space is capped where no sanitizer
// needs it; Windows: the memory the program commits).
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "input_script.h"
#include "process.h"

using namespace testing_support;

namespace {

namespace fs = std::filesystem;

enum class Place { Archive, Score, Settings, Script, Replay };
enum class Damage {
    Missing,
    Folder,
    Fifo,
    Empty,
    Binary,
    Truncated,
    Huge,
    HugeAfterArchive,
    HeldOpen,  // Windows: another program has it open and shares it with nobody
    ReadOnly,
};

struct HostileCase {
    const char* name;
    Place place;
    Damage damage;
    int exitCode;
    const char* message;  // expected in standard error; "" for none
    // Where Windows differs: its C runtime and CreateFile cannot open a folder, and a file
    // another program holds is refused at the open; the message then (null: the same).
    const char* windowsMessage = nullptr;
};

#if defined(__SANITIZE_ADDRESS__)
constexpr int kSeconds = 120;
constexpr std::size_t kMemoryLimit = 0;
#else
constexpr int kSeconds = 60;
constexpr std::size_t kMemoryLimit = std::size_t{512} << 20;
#endif

// Start a round (the round's pictures load from the archive), then Pause.
constexpr const char* kScript = "7000 down RETURN\n7050 up RETURN\n15000 down PAUSE\n";

const std::string kArchive = TAVLO_BINARY_DIR "/tavlo.rka";

void Write(const std::string& path, Damage damage) {
    switch (damage) {
        case Damage::Missing:
        case Damage::Fifo:
            break;
        case Damage::Folder:
            fs::create_directories(path);
            break;
        case Damage::Empty:
        case Damage::HeldOpen:
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
            std::ofstream(path, std::ios::binary) << ReadFile(kArchive).substr(0, 150000);
            break;
        case Damage::Huge:  // 100 MB of zero bytes
            std::ofstream(path, std::ios::binary);
            fs::resize_file(path, 100'000'000);
            break;
        case Damage::HugeAfterArchive:  // the archive, then zeros up to 100 MB
            fs::copy_file(kArchive, path);
            fs::resize_file(path, 100'000'000);
            break;
        case Damage::ReadOnly:  // the score the game ships with, that may not be written
            std::ofstream(path, std::ios::binary).write("\0\0\0\0", 4);
            fs::permissions(
                path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                fs::perm_options::remove);
            break;
    }
}

}  // namespace

class HostileFile : public ::testing::TestWithParam<HostileCase> {};

TEST_P(HostileFile, EndsWithItsCodeAndMessage) {
    const HostileCase& c = GetParam();
#ifdef _WIN32
    if (c.damage == Damage::Fifo) GTEST_SKIP() << "no FIFO stands in a Windows folder";
#endif
    const GameFolder game(std::string("hostile-") + c.name);
    const std::string& folder = game.path;
    std::ofstream(folder + "/script.txt")
        << (c.place == Place::Settings ? "300 down PAUSE\n" : kScript);
    const char* names[] = {"tavlo.rka", "score.dat", "config/tavlo/settings.conf", "script.txt",
                           "run.replay"};
    const std::string path = folder + "/" + names[static_cast<int>(c.place)];
    fs::create_directories(folder + "/config/tavlo");
    fs::remove(path);
    if (c.damage == Damage::Fifo) {
        ASSERT_EQ(std::system(("mkfifo '" + path + "'").c_str()), 0);  // nothing writes to it
    }
    Write(path, c.damage);
#ifdef _WIN32
    std::unique_ptr<HeldOpen> held;
    if (c.damage == Damage::HeldOpen) {
        held = std::make_unique<HeldOpen>(path);
        ASSERT_TRUE(held->ok());
    }
#endif

    Launch launch{TAVLO_BINARY, {}, folder, {"TAVLO_INPUT=script.txt"}, kSeconds, kMemoryLimit};
    if (c.place == Place::Settings) {
        launch.environment.insert(
            launch.environment.end(),
            {"TAVLO_VIDEO=sdl", "SDL_VIDEODRIVER=dummy", "XDG_CONFIG_HOME=" + folder + "/config"});
    } else {
        launch.environment.insert(launch.environment.end(),
                                  {"TAVLO_VIDEO=headless", "TAVLO_TIME_LIMIT=20000"});
    }
    if (c.place == Place::Replay) launch.arguments = {"--replay", "run.replay", "--verify"};
    const RunResult result = RunProgram(launch);
    EXPECT_EQ(result.exitCode, c.exitCode) << result.standardError;
    const char* message = c.message;
#ifdef _WIN32
    if (c.windowsMessage) message = c.windowsMessage;
#endif
    if (*message == '\0') {
        EXPECT_EQ(result.standardError, "");
    } else {
        EXPECT_NE(result.standardError.find(message), std::string::npos) << result.standardError;
    }
#ifdef _WIN32
    held.reset();
#endif
    RemoveFolder(folder);
}

const HostileCase kCases[] = {
    {"ArchiveMissing", Place::Archive, Damage::Missing, 1, "File can't open[tavlo.rka]"},
    {"ArchiveFolder", Place::Archive, Damage::Folder, 1,
     "RKA archive [tavlo.rka] is damaged: the file could not be read",
     "File can't open[tavlo.rka]"},
    {"ArchiveEmpty", Place::Archive, Damage::Empty, 1, "no entry count"},
    {"ArchiveBinary", Place::Archive, Damage::Binary, 1, "File max over"},
    {"ArchiveTruncated", Place::Archive, Damage::Truncated, 1,
     "RKA entry [game1.bmp] of [tavlo.rka] is damaged"},
    {"ArchiveHuge", Place::Archive, Damage::Huge, 1, "[logo.bmp]"},
    {"ArchiveHugeTail", Place::Archive, Damage::HugeAfterArchive, 1, ""},
#ifdef _WIN32
    {"ArchiveHeldOpen", Place::Archive, Damage::HeldOpen, 1, "File can't open[tavlo.rka]"},
#endif
    {"ScoreMissing", Place::Score, Damage::Missing, 1, "file not found"},
    // The score is the file's first four bytes; a short or unreadable one leaves it 0.
    {"ScoreFolder", Place::Score, Damage::Folder, 1, "", "file not found"},
    {"ScoreEmpty", Place::Score, Damage::Empty, 1, ""},
    {"ScoreBinary", Place::Score, Damage::Binary, 1, ""},
    {"ScoreHuge", Place::Score, Damage::Huge, 1, ""},
#ifdef _WIN32
    {"ScoreHeldOpen", Place::Score, Damage::HeldOpen, 1, "file not found"},
#endif
    {"ScoreReadOnly", Place::Score, Damage::ReadOnly, 1, ""},
    {"SettingsMissing", Place::Settings, Damage::Missing, 1, ""},
    {"SettingsEmpty", Place::Settings, Damage::Empty, 1, ""},
    {"SettingsBinary", Place::Settings, Damage::Binary, 1, "settings.conf"},
    {"SettingsHuge", Place::Settings, Damage::Huge, 1, "settings.conf"},
    {"ScriptMissing", Place::Script, Damage::Missing, 2, "cannot read script.txt"},
    {"ScriptFifo", Place::Script, Damage::Fifo, 2,
     "cannot read script.txt: it is not a regular file"},
    {"ScriptEmpty", Place::Script, Damage::Empty, 3, "time limit"},
    {"ScriptBinary", Place::Script, Damage::Binary, 2, "line 1: malformed"},
    {"ScriptHuge", Place::Script, Damage::Huge, 2, "script.txt is larger than 16 MiB"},
#ifdef _WIN32
    {"ScriptHeldOpen", Place::Script, Damage::HeldOpen, 2,
     "cannot read script.txt: Permission denied"},
#endif
    {"ReplayFolder", Place::Replay, Damage::Folder, 1,
     "run.replay: cannot be read: it is a folder"},
    {"ReplayFifo", Place::Replay, Damage::Fifo, 1,
     "run.replay: cannot be read: it is not a regular file"},
    {"ReplayBinary", Place::Replay, Damage::Binary, 1, "run.replay: line 1"},
    {"ReplayHuge", Place::Replay, Damage::Huge, 1, "run.replay: larger than 16 MiB"},
#ifdef _WIN32
    {"ReplayHeldOpen", Place::Replay, Damage::HeldOpen, 1,
     "run.replay: cannot be read: Permission denied"},
#endif
};

INSTANTIATE_TEST_SUITE_P(Files, HostileFile, ::testing::ValuesIn(kCases),
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
