// The game round.
#include "game_round.h"

#include <cstdio>

#include "display.h"
#include "services.h"
#include "title_screen.h"
#include "window.h"

GameRound gameRound;

const int TargetSourceX[4] = {1, 76, 160, 236};
const int TargetWidth[4] = {73, 82, 73, 82};
const unsigned char TargetKey[4] = {VK_RIGHT, VK_UP, VK_LEFT, VK_DOWN};

namespace {

constexpr DWORD kOpaque = DDBLTFAST_WAIT;                               // 0x10
constexpr DWORD kTransparent = DDBLTFAST_WAIT | DDBLTFAST_SRCCOLORKEY;  // 0x11
constexpr float kStartX = 320.0f;
constexpr float kGoneX = -82.0f;

// Three digits of `value` from the digit strip of slot 3 into row y of the panel in slot 5;
// from 1000 on, the first three of its digits. The strip has no minus sign: a negative value
// (a damaged "score.dat") is drawn as 000, so that no cell keeps what it showed before.
void DrawDigits(int value, int y) {
    std::sprintf(FormatBuffer, "%03d", value < 0 ? 0 : value);
    for (int i = 0; i < 3; ++i) {
        const int digit = FormatBuffer[i] - '0';
        display.Blit(19 * i, y, 19 * digit, 0, 19, 19, 5, 3, kOpaque);
    }
}

}  // namespace

void GameRound::Play() {
    Setup();
    FadeIn();
    Countdown();
    for (;;) {
        MarkFrameStart();
        display.Blit(0, 80, 0, 80, 320, 85, 1, 4, kOpaque);
        display.Blit(114, 0, 114, 0, 57, 38, 1, 4, kOpaque);
        display.Blit(114, 0, 0, 0, 57, 38, 1, 5, kTransparent);
        const bool wrongKey = CheckKeys();
        const bool missed = Step();
        if (wrongKey || missed) break;
        display.Present();
        WaitFrame(16);
    }
    // For a debugger, and the replay checker, which reports every round's result.
    std::sprintf(FormatBuffer, "score %d, best %d\n", score, bestScore);
    OutputDebugStringA(FormatBuffer);
    ShowRating();
    FadeOut();
}

void GameRound::Setup() {
    display.LoadArchiveBitmap("tavlo.rka", "game0.bmp", 320, 240, 0, 0, 0, 0, 1, 2);
    display.LoadArchiveBitmap("tavlo.rka", "game1.bmp", 320, 240, 0, 0, 0, 0, 0, 3);
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 4; ++column) {
            display.BlitClipped(80 * column, 80 * row, 240, 160, 80, 80, 4, 3, kOpaque);
        }
    }
    display.Blit(0, 0, 0, 19, 95, 38, 4, 3, kTransparent);
    score = 0;
    DrawScore();
    DrawBestScore();
    hit = 0;
    x = kStartX;
    kind = RandomRange(0, 3);
    speed = 3.0f;
}

void GameRound::FadeIn() {
    display.GetSurfaceMemory(4);
    display.GetSurfaceMemory(1);
    for (int block = 30; block >= 2; --block) {
        MarkFrameStart();
        display.Mosaic(0, 0, 0, 0, 320, 240, 1, 4, block);
        display.Present();
        WaitFrame(33);
    }
    display.Blit(0, 0, 0, 0, 320, 240, 1, 4, kOpaque);
    display.Present();
}

void GameRound::Countdown() {
    struct Picture {
        int dx, sx, w;
    };
    static const Picture kPictures[4] = {
        {144, 0, 35}, {144, 48, 35}, {144, 96, 32}, {96, 144, 128}};
    for (const Picture& picture : kPictures) {
        display.Blit(0, 0, 0, 0, 320, 240, 1, 4, kOpaque);
        display.Blit(picture.dx, 100, picture.sx, 176, picture.w, 48, 1, 2, kTransparent);
        display.Present();
        WaitMilliseconds(900);
    }
    display.Blit(0, 0, 0, 0, 320, 240, 1, 4, kOpaque);
    display.Present();
}

bool GameRound::CheckKeys() {
    // Examined in this order; a wrong key ends the round before the later ones are looked at.
    static const unsigned char kKeys[4] = {VK_RIGHT, VK_UP, VK_LEFT, VK_DOWN};
    for (unsigned char key : kKeys) {
        if (KeyTable[key] == 0) continue;
        KeyTable[key] = 0;
        if (key != TargetKey[kind]) return true;
        if (hit == 0) {
            // For a debugger, and the replay checker, which times each answer: the key that
            // answered this picture.
            std::sprintf(FormatBuffer, "key %d taken\n", key);
            OutputDebugStringA(FormatBuffer);
        }
        hit = 1;
    }
    return false;
}

bool GameRound::Step() {
    display.BlitClipped(static_cast<int>(x), 80, TargetSourceX[kind], 87 * hit, TargetWidth[kind],
                        85, 1, 2, kTransparent);
    // For a debugger, and the replay checker: a picture enters at 320, just off the screen, so
    // the draw one step in (a step is 3 pixels or more) is the first that shows it.
    if (x < kStartX && x + speed > kStartX - 1.0f) {
        std::sprintf(FormatBuffer, "picture %d shown\n", kind);
        OutputDebugStringA(FormatBuffer);
    }
    x = x - speed;
    if (x > kGoneX) return false;
    if (hit == 0) return true;
    x = kStartX;
    speed = speed + 0.1f;
    score = score + 1;
    kind = RandomRange(0, 3);
    DrawScore();
    if (bestScore < score) {
        bestScore = score;
        DrawBestScore();
    }
    hit = 0;
    return false;
}

void GameRound::DrawScore() {
    DrawDigits(score, 19);
}

void GameRound::DrawBestScore() {
    DrawDigits(bestScore, 0);
}

void GameRound::ShowRating() {
    const int row = score < 50 ? 2 : score < 100 ? 1 : 0;
    display.Blit(94, 200, 0, 57 + 19 * row, 133, 19, 1, 3, kTransparent);
    display.Blit(0, 0, 0, 0, 320, 240, 2, 1, kOpaque);
    display.Present();
    // Mended: a new best score is saved after the round (see KeepBestScore). The save takes its
    // time (two flushes to the disk), so it is done inside the rating's hold, once the rating is
    // on the screen: the round's last picture does not stand still for it.
    WaitMillisecondsDoing(2000, [] { titleScreen.KeepBestScore(); });
}

void GameRound::FadeOut() {
    display.GetSurfaceMemory(2);
    display.GetSurfaceMemory(1);
    for (int block = 2; block <= 29; ++block) {
        MarkFrameStart();
        display.Mosaic(0, 0, 0, 0, 320, 240, 1, 2, block);
        display.Present();
        WaitFrame(33);
    }
}
