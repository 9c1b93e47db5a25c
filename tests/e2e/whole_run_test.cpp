// The whole program in-process on the headless host, played by a bot that reads the round's
// state from the idle hook and presses the right arrow for each picture: logo, title, a round
// past 100 points, then the end: Pause during the rating (an end that saves nothing itself), or
// back to the title and QUIT from the menu; then a second start that shows the saved best score.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include <windows.h>

#include "byte_order.h"
#include "display.h"
#include "game_round.h"
#include "host_headless.h"
#include "pictures.h"
#include "round_bot.h"
#include "window.h"

using namespace e2e;
using testing_support::Press;

namespace {

constexpr unsigned kSeed = 20240601;
constexpr int kEnough = 100;  // the bot stops pressing once it has more than this

// True when the w × h area at (x, y) of the screen shows the w × h area at (sx, sy) of slot 3
// ("game1.bmp") copied with its colour key: equal wherever the source is not the key.
bool ShowsFromGame1(int x, int y, int sx, int sy, int w, int h) {
    DDCOLORKEY key{};
    SurfaceTable[3]->GetColorKey(DDCKEY_SRCBLT, &key);
    const auto& screen = headless::LastPicture();
    int compared = 0;
    for (int row = 0; row < h; ++row) {
        for (int column = 0; column < w; ++column) {
            const unsigned char source =
                SurfaceMemory[3][(sy + row) * SurfacePitch[3] + sx + column];
            if (source >= key.dwColorSpaceLowValue && source <= key.dwColorSpaceHighValue) continue;
            ++compared;
            if (screen.pixels[static_cast<std::size_t>((y + row) * 320 + x + column)] != source)
                return false;
        }
    }
    return compared > 0;
}

// The panel row at y shows `value` as three digits.
bool PanelShows(int y, int value) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%03d", value);
    for (int i = 0; i < 3; ++i) {
        if (!ShowsFromGame1(114 + 19 * i, y, 19 * (digits[i] - '0'), 0, 19, 19)) return false;
    }
    return true;
}

void Note(const std::string& line) {
    std::ofstream("observed.txt", std::ios::app) << line << "\n";
}

int StartProgram() {
    static char commandLine[] = "";
    return WinMain(GetModuleHandleA(nullptr), nullptr, commandLine, SW_SHOWDEFAULT);
}

enum class End { Pause, Menu };

// The first run: the bot plays one round past kEnough points, then ends the game.
void PlayAndEnd(End end) {
    host::Current();  // as the process entry does: the headless host takes events from now on
    Press(6000, VK_RETURN);  // the title is up by then
    bool seeded = false;
    testing_support::RoundBot bot(kEnough);
    headless::SetIdleHook([&] {
        const GameRound& round = gameRound;
        const std::uint64_t now = headless::Elapsed();
        // Start-up seeds the generator with the time before the logo; seed it again after that.
        if (!seeded && now >= 1000) {
            std::srand(kSeed);
            seeded = true;
        }
        // A round ends only when an unhit picture has left: the rating frame is on the screen.
        if (bot.Look(round, now)) {
            Note("score " + std::to_string(round.score));
            Note("best " + std::to_string(round.bestScore));
            Note(std::string("panel ") +
                 (PanelShows(19, round.score) && PanelShows(0, round.bestScore) ? "ok" : "wrong"));
            const int row = round.score < 50 ? 2 : round.score < 100 ? 1 : 0;
            Note("rating row " + std::to_string(row) + " " +
                 (ShowsFromGame1(94, 200, 0, 57 + 19 * row, 133, 19) ? "shown" : "missing"));
            if (end == End::Pause) {
                Press(now + 500, VK_PAUSE);  // during the rating
            } else {
                // Rating, fade-out, the title again: then the menu's second item.
                Press(now + 5000, VK_DOWN);
                Press(now + 5200, VK_RETURN);
            }
        }
    });
    StartProgram();
}

// The second run: enter a round and look at the best score in the panel.
void StartAndLookAtTheBestScore() {
    host::Current();
    Press(6000, VK_RETURN);
    headless::SetIdleHook([] {
        const GameRound& round = gameRound;
        if (round.speed > 0.0f && round.x < 320.0f) {
            Note("loaded best " + std::to_string(round.bestScore));
            Note(std::string("best shown ") + (PanelShows(0, round.bestScore) ? "ok" : "wrong"));
            std::exit(1);
        }
    });
    StartProgram();
}

std::string Observed() {
    return ReadFile("observed.txt");
}

}  // namespace

TEST(WholeRunDeathTest, ABotScoresPastAHundredAndTheBestScoreIsKept) {
    for (const End end : {End::Pause, End::Menu}) {
        SCOPED_TRACE(end == End::Pause ? "Pause during the rating" : "QUIT from the menu");
        const std::string folder = testing_support::GameFolder("wholerun", "\x05\0\0\0").path;
        ASSERT_EQ(::chdir(folder.c_str()), 0);

        EXPECT_EXIT(PlayAndEnd(end), ::testing::ExitedWithCode(1), "^$");
        const std::string observed = Observed();
        int score = 0, best = 0;
        ASSERT_EQ(std::sscanf(observed.c_str(), "score %d\nbest %d", &score, &best), 2) << observed;
        EXPECT_GT(score, kEnough);
        EXPECT_EQ(best, score);
        EXPECT_NE(observed.find("panel ok"), std::string::npos) << observed;
        EXPECT_NE(observed.find("rating row 0 shown"), std::string::npos) << observed;

        const std::string saved = ReadFile("score.dat");
        ASSERT_EQ(saved.size(), 4u);
        const std::uint32_t value =
            platform::ReadLe32(reinterpret_cast<const std::uint8_t*>(saved.data()));
        EXPECT_EQ(value, static_cast<std::uint32_t>(score));
        EXPECT_NE(::access("score.dat.tmp", F_OK), 0);

        std::remove("observed.txt");
        EXPECT_EXIT(StartAndLookAtTheBestScore(), ::testing::ExitedWithCode(1), "");
        const std::string next = Observed();
        EXPECT_NE(next.find("loaded best " + std::to_string(score)), std::string::npos) << next;
        EXPECT_NE(next.find("best shown ok"), std::string::npos) << next;
    }
}
