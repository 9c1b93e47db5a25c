// The title screen's menu keys, its scrolling background and the high-score file.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "display.h"
#include "game_round.h"
#include "title_screen.h"
#include "game_support.h"
#include "window.h"
#include "display_support.h"
#include "process.h"
#include "services.h"
#include "faults.h"
#include "trace_support.h"

using namespace game_testing;
using testing_support::SlotPixel;

namespace {

namespace fs = std::filesystem;

void EnterFreshFolder(const char* name) {
    std::error_code error;
    fs::current_path(testing_support::FreshFolder(name), error);
    ASSERT_FALSE(error) << error.message();
}

void WriteFile(const char* name, const std::string& bytes) {
    std::ofstream(name, std::ios::binary) << bytes;
}

using testing_support::ReadFile;

bool Exists(const char* name) {
    return fs::exists(name);
}

// In a death test's child: permissions hold only for an ordinary user (root passes every
// check); Windows' read-only attribute holds for everybody.
bool AsAPlayer() {
#ifdef _WIN32
    return true;
#else
    return testing_support::BecomeOrdinaryUserOwning({".", ScoreFileName});
#endif
}

// Takes the file's write permission away (Windows: its read-only attribute), or gives it back.
void SetReadOnly(const char* name, bool readOnly) {
    fs::permissions(name, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    readOnly ? fs::perm_options::remove : fs::perm_options::add);
}

}  // namespace

TEST(MenuKeys, UpDownUpMovesTheCursorBackAndForth) {
    titleScreen.cursor = 0;
    for (auto [key, cursor] : {std::pair{VK_UP, 1}, {VK_DOWN, 0}, {VK_UP, 1}}) {
        KeyTable[key] = 1;
        EXPECT_FALSE(titleScreen.HandleMenuKeys());
        EXPECT_EQ(titleScreen.cursor, cursor);
        EXPECT_EQ(KeyTable[key], 0);
    }
}

TEST(MenuKeys, UpAndEnterInOneFrameTakeTwoFrames) {
    titleScreen.cursor = 0;
    KeyTable[VK_UP] = KeyTable[VK_RETURN] = 1;
    EXPECT_FALSE(titleScreen.HandleMenuKeys());
    EXPECT_EQ(titleScreen.cursor, 1);
    EXPECT_EQ(KeyTable[VK_RETURN], 1);
    EXPECT_TRUE(titleScreen.HandleMenuKeys());
    EXPECT_EQ(titleScreen.cursor, 1);
    EXPECT_EQ(KeyTable[VK_RETURN], 0);
    EXPECT_FALSE(titleScreen.HandleMenuKeys());
}

TEST(MenuKeys, DownBeforeEnterAndOtherKeysAreIgnored) {
    titleScreen.cursor = 1;
    KeyTable[VK_DOWN] = KeyTable[VK_RETURN] = KeyTable[VK_LEFT] = KeyTable[VK_SPACE] = 1;
    EXPECT_FALSE(titleScreen.HandleMenuKeys());
    EXPECT_EQ(titleScreen.cursor, 0);
    EXPECT_TRUE(titleScreen.HandleMenuKeys());
    EXPECT_FALSE(titleScreen.HandleMenuKeys());
    EXPECT_EQ(KeyTable[VK_LEFT], 1);
    EXPECT_EQ(KeyTable[VK_SPACE], 1);
}

TEST(TitleDraw, BackgroundOffsetAfterNDrawsIsNModulo80) {
    OpenKeyedDisplay();
    PaintTexture(2);
    titleScreen.scroll = 0;
    for (int n = 1; n <= 200; ++n) {
        const int before = titleScreen.scroll;
        titleScreen.Draw();
        ASSERT_EQ(titleScreen.scroll, n % 80);
        // The top-left corner shows the tile's pixel (offset, offset); the band above the title
        // is background all along.
        ASSERT_EQ(SlotPixel(1, 0, 0), Texture(240 + before, 160 + before)) << n;
        ASSERT_EQ(SlotPixel(1, 319, 15),
                  Texture(240 + (319 + before) % 80, 160 + (15 + before) % 80))
            << n;
    }
}

TEST(TitleDraw, TitleMenuAndCursorLandInTheirPlaces) {
    OpenKeyedDisplay();
    FillRect(2, 0, 0, 320, 240, 5);     // background tile and title
    FillRect(2, 0, 144, 156, 20, 60);   // item 0
    FillRect(2, 0, 176, 156, 20, 61);   // item 1
    FillRect(2, 208, 144, 20, 20, 62);  // cursor
    FillRect(2, 10, 20, 5, 5, kKey);    // a transparent hole in the title
    for (int cursor : {0, 1}) {
        titleScreen.cursor = cursor;
        titleScreen.Draw();
        EXPECT_EQ(SlotPixel(1, 120, 144), 60);
        EXPECT_EQ(SlotPixel(1, 275, 163), 60);
        EXPECT_EQ(SlotPixel(1, 120, 168), 61);
        EXPECT_EQ(SlotPixel(1, 275, 187), 61);
        EXPECT_EQ(SlotPixel(1, 88, 144 + 24 * cursor), 62);
        EXPECT_EQ(SlotPixel(1, 107, 163 + 24 * cursor), 62);
        EXPECT_EQ(SlotPixel(1, 88, 144 + 24 * (1 - cursor)), 5);
        EXPECT_EQ(SlotPixel(1, 12, 22), 5);  // background under the hole
    }
}

TEST(BestScoreFile, FortyTwoFromItsFourBytes) {
    EnterFreshFolder("score42");
    WriteFile("score.dat", std::string("\x2A\x00\x00\x00", 4));
    gameRound.bestScore = 7;
    titleScreen.LoadBestScore();
    EXPECT_EQ(gameRound.bestScore, 42);
}

TEST(BestScoreFile, LittleEndianSignedAndExtraBytesIgnored) {
    EnterFreshFolder("scoreBytes");
    WriteFile("score.dat", std::string("\x01\x02\x03\x04\x05", 5));
    titleScreen.LoadBestScore();
    EXPECT_EQ(gameRound.bestScore, 0x04030201);
    WriteFile("score.dat", std::string("\xFF\xFF\xFF\xFF", 4));
    titleScreen.LoadBestScore();
    EXPECT_EQ(gameRound.bestScore, -1);
}

TEST(BestScoreFile, EmptyFileLeavesTheScoreAsItWas) {
    EnterFreshFolder("scoreEmpty");
    WriteFile("score.dat", "");
    gameRound.bestScore = 7;
    titleScreen.LoadBestScore();
    EXPECT_EQ(gameRound.bestScore, 7);
}

TEST(BestScoreFileDeathTest, MissingFileIsFatal) {
    EnterFreshFolder("scoreMissing");
    EXPECT_EXIT(titleScreen.LoadBestScore(), ::testing::ExitedWithCode(1), "file not found");
}

TEST(BestScoreFile, SaveReplacesTheFileWithFourBytes) {
    EnterFreshFolder("scoreSave");
    WriteFile("score.dat", "older and longer");
    gameRound.bestScore = 0x01020304;
    titleScreen.SaveBestScore();
    EXPECT_EQ(ReadFile("score.dat"), std::string("\x04\x03\x02\x01", 4));
    EXPECT_FALSE(Exists(ScoreTemporaryName));
    gameRound.bestScore = 0;
    titleScreen.LoadBestScore();
    EXPECT_EQ(gameRound.bestScore, 0x01020304);
}

TEST(BestScoreFile, SaveCreatesAMissingFile) {
    EnterFreshFolder("scoreCreate");
    gameRound.bestScore = 101;
    titleScreen.SaveBestScore();
    EXPECT_EQ(ReadFile("score.dat"), std::string("\x65\x00\x00\x00", 4));
}

// Every way the save can fail: the program ends as before (exit 1), the file keeps the score it
// held, no temporary file is left, and stderr names the file and the reason.
TEST(BestScoreFileDeathTest, AFailedSaveKeepsTheOldScoreAndSaysWhy) {
    struct Case {
        const char* what;
        void (*arrange)();
        const char* message;
        bool temporaryStays = false;
    };
    const Case cases[] = {
        {"a folder where the temporary goes", [] { fs::create_directory(ScoreTemporaryName); },
         R"(cannot write "score.dat.tmp": Is a directory)", true},
#ifndef _WIN32
        // (Windows: a folder's read-only attribute does not keep files out of it.)
        {"a read-only folder", [] { SetReadOnly(".", true); },
         R"(cannot write "score.dat.tmp": Permission denied)"},
#endif
        {"a read-only score.dat", [] { SetReadOnly(ScoreFileName, true); },
         R"(cannot replace "score.dat" with "score.dat.tmp": Permission denied)"},
        {"the flush fails", [] { platform::SetFailingCalls("FlushFileBuffers"); },
         R"(cannot write "score.dat.tmp": Input/output error)"},
        {"the rename fails", [] { platform::SetFailingCalls("MoveFileExA"); },
         R"(cannot replace "score.dat" with "score.dat.tmp": Input/output error)"},
    };
    testing_support::OpenDisplay(1);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EnterFreshFolder("scoreFails");
        WriteFile(ScoreFileName, std::string("\x2A\x00\x00\x00", 4));
        gameRound.bestScore = 99;
        EXPECT_EXIT(
            {
                if (!AsAPlayer()) std::exit(9);
                c.arrange();
                titleScreen.SaveBestScore();
            },
            ::testing::ExitedWithCode(1), std::string("^tavlo: ") + c.message);
        platform::SetFailingCalls("");
        EXPECT_EQ(ReadFile(ScoreFileName), std::string("\x2A\x00\x00\x00", 4));
        EXPECT_EQ(Exists(ScoreTemporaryName), c.temporaryStays);
        if (fs::exists(ScoreFileName)) SetReadOnly(ScoreFileName, false);
    }
}

TEST(BestScoreFileDeathTest, FailedReplaceLeavesNoTemporaryBehind) {
    EnterFreshFolder("scoreNoRename");
    testing_support::OpenDisplay(1);
    ASSERT_TRUE(fs::create_directory("score.dat"));  // rename cannot put a file over a folder
    WriteFile("score.dat/keep", "x");
    gameRound.bestScore = 99;
    EXPECT_EXIT(titleScreen.SaveBestScore(), ::testing::ExitedWithCode(1),
                R"(cannot replace "score.dat" with "score.dat.tmp")");
    EXPECT_FALSE(Exists(ScoreTemporaryName));
    EXPECT_EQ(ReadFile("score.dat/keep"), "x");
}

// After a round: a new best is written at once; an equal or lower one leaves the file alone; a
// failed save says so and returns.
TEST(BestScoreFile, ARoundAboveTheStoredBestSavesIt) {
    EnterFreshFolder("scoreKeep");
    WriteFile(ScoreFileName, std::string("\x2A\x00\x00\x00", 4));
    titleScreen.LoadBestScore();
    WriteFile(ScoreFileName, "mark");  // a save would replace this
    for (int best : {42, 41}) {
        gameRound.bestScore = best;
        titleScreen.KeepBestScore();
        EXPECT_EQ(ReadFile(ScoreFileName), "mark") << best;
    }
    gameRound.bestScore = 43;
    titleScreen.KeepBestScore();
    EXPECT_EQ(ReadFile(ScoreFileName), std::string("\x2B\x00\x00\x00", 4));
    EXPECT_FALSE(Exists(ScoreTemporaryName));

    ASSERT_TRUE(fs::create_directory(ScoreTemporaryName));
    gameRound.bestScore = 44;
    ::testing::internal::CaptureStderr();
    titleScreen.KeepBestScore();
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("the best score 44 is not saved; score.dat keeps 43"), std::string::npos)
        << said;
    EXPECT_EQ(ReadFile(ScoreFileName), std::string("\x2B\x00\x00\x00", 4));
}

// A best score that cannot be saved is told where the player looks: the window's title at once,
// and once, in plain words, when the game ends. A save that makes it takes both back.
// The note names the folder as it is called, in any language (é here: never read as CP932).
TEST(BestScoreFileDeathTest, AnUnsavedBestIsToldInTheTitleAndAtTheEnd) {
#ifdef _WIN32
    EnterFreshFolder("scoreUnsaved");
#else
    EnterFreshFolder("scoreUnsaved-\u00e9");
#endif
    testing_support::OpenDisplay(1);
    WriteFile(ScoreFileName, std::string("\x2B\x00\x00\x00", 4));
    titleScreen.LoadBestScore();
    ASSERT_TRUE(fs::create_directory(ScoreTemporaryName));  // no save can be made
    gameRound.bestScore = 44;
    // (Kept out of the death tests' output: on Windows their child runs the test from its start.)
    ::testing::internal::CaptureStderr();
    titleScreen.KeepBestScore();
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("the best score 44 is not saved"),
              std::string::npos);
    EXPECT_TRUE(testing_support::Traced("SetWindowTextA Tavlo - best score 44 not saved"));
#ifdef _WIN32
    const char* folder = ".:.*scoreUnsaved";
#else
    const char* folder = "/.*scoreUnsaved-\u00e9";
#endif
    EXPECT_EXIT(QuitProgram(), ::testing::ExitedWithCode(1),
                std::string("Tavlo: Tavlo could not save your best score of 44 in ") + folder +
                    ", so it is lost when the game ends; score.dat there still holds 43\\.");

    ASSERT_TRUE(fs::remove(ScoreTemporaryName));
    titleScreen.KeepBestScore();
    EXPECT_TRUE(testing_support::Traced("SetWindowTextA Tavlo"));
    EXPECT_EXIT(QuitProgram(), ::testing::ExitedWithCode(1), "^$");
}
