// The round's rules on synthetic pictures: keys against kinds, the picture's path and scoring,
// the speed, the digit panel, the rating and keys held through the countdown.
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "display.h"
#include "game_round.h"
#include "game_support.h"
#include "host_headless.h"
#include "process.h"
#include "title_screen.h"
#include "window.h"
#include "display_support.h"

using namespace game_testing;
using testing_support::SlotPixel;

namespace {

constexpr unsigned char kBackground = 200;

class Round : public ::testing::Test {
  protected:
    void SetUp() override {
        OpenKeyedDisplay();
        PaintTexture(2);  // "game0.bmp": targets and countdown pictures
        // "game1.bmp": digit d is 20 + d and rating row r is 40 + r, each with a keyed corner.
        for (int d = 0; d < 10; ++d) {
            FillRect(3, 19 * d, 0, 19, 19, static_cast<unsigned char>(20 + d));
            SurfaceMemory[3][19 * d] = kKey;
        }
        for (int r = 0; r < 3; ++r) {
            FillRect(3, 0, 57 + 19 * r, 133, 19, static_cast<unsigned char>(40 + r));
            SurfaceMemory[3][(57 + 19 * r) * SurfacePitch[3]] = kKey;
        }
        FillRect(4, 0, 0, 320, 240, kBackground);
        Start(0);
    }

    // The state Setup leaves, with a chosen kind.
    static void Start(int kind) {
        gameRound.hit = 0;
        gameRound.kind = kind;
        gameRound.score = 0;
        gameRound.x = 320.0f;
        gameRound.speed = 3.0f;
    }

    // One frame of play as the round runs it; true when the round ends.
    static bool Frame() {
        const bool wrongKey = gameRound.CheckKeys();
        const bool missed = gameRound.Step();
        return wrongKey || missed;
    }

    // Presses the current picture's key in the first frame and plays until the next picture
    // comes; returns the frames played.
    static int HitOnePicture() {
        KeyTable[TargetKey[gameRound.kind]] = 1;
        const int score = gameRound.score;
        int frames = 0;
        while (gameRound.score == score) {
            EXPECT_FALSE(Frame());
            if (++frames > 1000) break;
        }
        return frames;
    }

    // The three digits a row of the panel in slot 5 shows ('?' for a cell that is no digit).
    static std::string Digits(int y) {
        std::string text;
        for (int i = 0; i < 3; ++i) {
            char shown = '?';
            for (int d = 0; d < 10; ++d) {
                if (SameRect(5, 19 * i, y, 3, 19 * d, 0, 19, 19))
                    shown = static_cast<char>('0' + d);
            }
            text += shown;
        }
        return text;
    }
};

}  // namespace

TEST_F(Round, NoKeyEndsTheRoundWhenThePictureFirstReachesMinus82) {
    int frames = 0;
    float before = gameRound.x;
    while (!Frame()) {
        before = gameRound.x;
        ASSERT_LT(++frames, 1000);
    }
    ++frames;
    EXPECT_EQ(frames, 134);  // 402 pixels at 3 a frame
    EXPECT_GT(before, -82.0f);
    EXPECT_LE(gameRound.x, -82.0f);
    EXPECT_EQ(gameRound.score, 0);

    gameRound.ShowRating();
    EXPECT_TRUE(SameRect(2, 95, 200, 3, 1, 57 + 19 * 2, 132, 19));
}

struct KeyCase {
    int kind;
    unsigned char key;
    bool ends;
};

class RoundKeys : public Round, public ::testing::WithParamInterface<KeyCase> {};

TEST_P(RoundKeys, OnlyTheKindsOwnArrowHits) {
    Start(GetParam().kind);
    KeyTable[GetParam().key] = 1;
    EXPECT_EQ(gameRound.CheckKeys(), GetParam().ends);
    EXPECT_EQ(KeyTable[GetParam().key], 0);
    EXPECT_EQ(gameRound.hit, GetParam().ends ? 0 : 1);
}

INSTANTIATE_TEST_SUITE_P(KindsAndArrows, RoundKeys,
                         ::testing::Values(KeyCase{0, VK_RIGHT, false}, KeyCase{0, VK_UP, true},
                                           KeyCase{0, VK_LEFT, true}, KeyCase{0, VK_DOWN, true},
                                           KeyCase{1, VK_UP, false}, KeyCase{1, VK_RIGHT, true},
                                           KeyCase{2, VK_LEFT, false}, KeyCase{2, VK_DOWN, true},
                                           KeyCase{3, VK_DOWN, false}, KeyCase{3, VK_LEFT, true}),
                         [](const auto& info) {
                             return "Kind" + std::to_string(info.param.kind) + "Key" +
                                    std::to_string(info.param.key);
                         });

TEST_F(Round, KeysAreExaminedRightUpLeftDownAndAWrongOneStopsTheLook) {
    // Kind 1 (Up) with Right and Up down: Right comes first and ends the round; Up stays.
    Start(1);
    KeyTable[VK_RIGHT] = KeyTable[VK_UP] = 1;
    EXPECT_TRUE(gameRound.CheckKeys());
    EXPECT_EQ(KeyTable[VK_RIGHT], 0);
    EXPECT_EQ(KeyTable[VK_UP], 1);
    EXPECT_EQ(gameRound.hit, 0);

    // Kind 0 (Right) with Right and Down: the hit is taken, then Down ends the round.
    KeyTable[VK_UP] = 0;
    Start(0);
    KeyTable[VK_RIGHT] = KeyTable[VK_DOWN] = 1;
    EXPECT_TRUE(gameRound.CheckKeys());
    EXPECT_EQ(gameRound.hit, 1);
    EXPECT_EQ(KeyTable[VK_DOWN], 0);
}

TEST_F(Round, AfterAHitTheSameKeyChangesNothingAndAWrongKeyStillEnds) {
    KeyTable[VK_RIGHT] = 1;
    EXPECT_FALSE(Frame());
    KeyTable[VK_RIGHT] = 1;
    EXPECT_FALSE(Frame());
    EXPECT_EQ(gameRound.hit, 1);
    KeyTable[VK_UP] = 1;
    EXPECT_TRUE(Frame());
}

TEST_F(Round, RightForKindZeroScoresWhenThePictureLeaves) {
    const int frames = HitOnePicture();
    EXPECT_EQ(frames, 134);
    EXPECT_EQ(gameRound.score, 1);
    EXPECT_EQ(gameRound.hit, 0);
    EXPECT_EQ(gameRound.x, 320.0f);
    EXPECT_GE(gameRound.kind, 0);
    EXPECT_LE(gameRound.kind, 3);
    EXPECT_EQ(Digits(19), "001");
}

TEST_F(Round, SpeedGrowsByATenthInSinglePrecision) {
    float expected = 3.0f;
    for (int n = 1; n <= 60; ++n) {
        HitOnePicture();
        expected = expected + 0.1f;
        ASSERT_EQ(gameRound.speed, expected) << n;
        ASSERT_EQ(gameRound.score, n);
    }
}

TEST_F(Round, ThePictureIsDrawnAtItsTruncatedPositionInItsRow) {
    // x -0.5 truncates to 0: the picture's left edge is at the screen's left edge.
    for (int hit : {0, 1}) {
        Start(2);
        gameRound.hit = hit;
        gameRound.x = -0.5f;
        FillRect(1, 0, 0, 320, 240, kBackground);
        EXPECT_FALSE(gameRound.Step());
        EXPECT_TRUE(SameRect(1, 0, 80, 2, 160, 87 * hit, 73, 85)) << hit;
        EXPECT_EQ(SlotPixel(1, 73, 80), kBackground);
        EXPECT_EQ(SlotPixel(1, 0, 79), kBackground);
        EXPECT_EQ(SlotPixel(1, 0, 165), kBackground);
    }
}

TEST_F(Round, BestScoreIsRedrawnOnlyWhenPassed) {
    gameRound.bestScore = 2;
    gameRound.DrawBestScore();
    ASSERT_EQ(Digits(0), "002");
    FillRect(5, 0, 0, 57, 19, 99);  // a marker where the best score stands

    HitOnePicture();
    HitOnePicture();
    EXPECT_EQ(gameRound.score, 2);
    EXPECT_EQ(gameRound.bestScore, 2);
    EXPECT_EQ(Digits(19), "002");
    EXPECT_EQ(SlotPixel(5, 30, 10), 99);

    HitOnePicture();
    EXPECT_EQ(gameRound.bestScore, 3);
    EXPECT_EQ(Digits(0), "003");
}

struct DigitsCase {
    int value;
    const char* shown;
};

class RoundDigits : public Round, public ::testing::WithParamInterface<DigitsCase> {};

TEST_P(RoundDigits, ShowTheFirstThreeCharactersOfThreeDigitText) {
    gameRound.score = GetParam().value;
    gameRound.bestScore = GetParam().value;
    gameRound.DrawScore();
    EXPECT_EQ(Digits(19), GetParam().shown);
    EXPECT_EQ(Digits(0), "???");  // not drawn yet
    gameRound.DrawBestScore();
    EXPECT_EQ(Digits(0), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(Values, RoundDigits,
                         ::testing::Values(DigitsCase{0, "000"}, DigitsCase{7, "007"},
                                           DigitsCase{42, "042"}, DigitsCase{999, "999"},
                                           DigitsCase{1000, "100"}, DigitsCase{12345, "123"},
                                           // A damaged "score.dat": no minus glyph, no stale cell.
                                           DigitsCase{-1, "000"}, DigitsCase{-57, "000"},
                                           DigitsCase{INT_MIN, "000"}),
                         [](const auto& info) {
                             const long long value = info.param.value;
                             return (value < 0 ? "Minus" : "") + std::to_string(std::llabs(value));
                         });

struct RatingCase {
    int score;
    int row;
};

class RoundRating : public Round, public ::testing::WithParamInterface<RatingCase> {};

TEST_P(RoundRating, PicksTheRowAndKeepsTheFrameInSlotTwo) {
    FillRect(1, 0, 0, 320, 240, kBackground);
    gameRound.score = GetParam().score;
    gameRound.ShowRating();
    const int row = GetParam().row;
    // The keyed corner keeps the frame beneath; the rest is the rating.
    EXPECT_EQ(SlotPixel(2, 94, 200), kBackground);
    EXPECT_TRUE(SameRect(2, 95, 200, 3, 1, 57 + 19 * row, 132, 19));
    EXPECT_TRUE(SameRect(2, 94, 201, 3, 0, 58 + 19 * row, 133, 18));
    EXPECT_EQ(SlotPixel(2, 93, 205), kBackground);
    EXPECT_EQ(SlotPixel(2, 227, 205), kBackground);
    // The frame is on the screen (slot 0 after the flip) and kept in slot 2.
    const auto& screen = headless::LastPicture();
    EXPECT_EQ(screen.pixels[205 * 320 + 100], 40 + row);
    EXPECT_TRUE(SameRect(2, 0, 0, 0, 0, 0, 320, 240));
}

INSTANTIATE_TEST_SUITE_P(Scores, RoundRating,
                         ::testing::Values(RatingCase{0, 2}, RatingCase{49, 2}, RatingCase{50, 1},
                                           RatingCase{99, 1}, RatingCase{100, 0},
                                           RatingCase{1000, 0}),
                         [](const auto& info) { return std::to_string(info.param.score); });

// A new best is saved inside the rating's hold, once the rating is on the screen, so the round's
// last picture does not stand still while the disk works; the hold still ends 2000 ms after it
// began.
TEST_F(Round, ANewBestIsSavedWhileTheRatingIsShown) {
    std::filesystem::current_path(testing_support::FreshFolder("ratingSave"));
    const std::string before("\x05\x00\x00\x00", 4), after("\x09\x00\x00\x00", 4);
    { std::ofstream("score.dat", std::ios::binary) << before; }
    titleScreen.LoadBestScore();
    gameRound.score = gameRound.bestScore = 9;
    struct Seen {
        bool ratingShown;
        std::string file;
    };
    std::vector<Seen> seen;  // at every empty look at the queue
    headless::SetIdleHook([&] {
        const auto& screen = headless::LastPicture();
        seen.push_back({screen.pixels.size() == 320 * 240 && screen.pixels[205 * 320 + 100] == 42,
                        testing_support::ReadFile("score.dat")});
    });
    const std::uint64_t start = headless::Elapsed();
    gameRound.ShowRating();
    headless::SetIdleHook(nullptr);
    EXPECT_EQ(headless::Elapsed() - start, 2000u);
    ASSERT_GE(seen.size(), 2u);
    EXPECT_TRUE(seen.front().ratingShown);
    EXPECT_EQ(seen.front().file, before);
    EXPECT_EQ(seen.back().file, after);
}

TEST_F(Round, AnArrowHeldThroughTheCountdownCountsInTheFirstFrame) {
    const auto start = headless::Elapsed();
    host::InputEvent down{host::InputEvent::Kind::KeyDown, VK_RIGHT};
    headless::InjectEvent(start + 500, down);
    gameRound.Countdown();
    EXPECT_GE(headless::Elapsed() - start, 3600u);
    EXPECT_TRUE(SameRect(0, 0, 0, 4, 0, 0, 320, 240));  // the screen: the clean background
    EXPECT_FALSE(gameRound.CheckKeys());
    EXPECT_EQ(gameRound.hit, 1);
}

TEST_F(Round, AnArrowReleasedDuringTheCountdownIsForgotten) {
    const auto start = headless::Elapsed();
    headless::InjectEvent(start + 500, {host::InputEvent::Kind::KeyDown, VK_UP});
    headless::InjectEvent(start + 700, {host::InputEvent::Kind::KeyUp, VK_UP});
    gameRound.Countdown();
    EXPECT_FALSE(gameRound.CheckKeys());
    EXPECT_EQ(gameRound.hit, 0);
}
