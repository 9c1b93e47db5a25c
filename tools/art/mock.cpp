#include "mock.h"

#include <cstdio>
#include <string>

#include "layout.h"

namespace art {
namespace {

const Picture& Find(const std::vector<NamedPicture>& pictures, const std::string& name) {
    for (const NamedPicture& named : pictures)
        if (named.name == name) return named.picture;
    return pictures.front().picture;
}

// The title screen's copies: tiles shifted up and left by `scroll`, then the title, the two menu
// items and the cursor, all with the key.
Picture TitleScreen(const Picture& title, int scroll, int cursor) {
    Picture screen{Canvas(kPictureWidth, kPictureHeight, kBlack), title.palette};
    Canvas& c = screen.canvas;
    for (int r = 0; r < 4; ++r)
        for (int col = 0; col < 5; ++col)
            c.Blit(title.canvas, {240, 160, 80, 80}, 80 * col - scroll, 80 * r - scroll, false);
    c.Blit(title.canvas, {0, 16, 320, 115}, 0, 16, true);
    for (int i = 0; i < 2; ++i)
        c.Blit(title.canvas, {0, 144 + 32 * i, 156, 20}, 120, 144 + 24 * i, true);
    c.Blit(title.canvas, {208, 144, 20, 20}, 88, 144 + 24 * cursor, true);
    return screen;
}

// The round's background (tiles, then the panel with the key) and the digit rows for `best` and
// `score`, put together opaque and copied onto it with the key.
Picture PlayScreen(const Picture& game0, const Picture& game1, int best, int score) {
    Picture screen{Canvas(kPictureWidth, kPictureHeight, kBlack), game0.palette};
    Canvas& c = screen.canvas;
    for (int r = 0; r < 3; ++r)
        for (int col = 0; col < 4; ++col)
            c.Blit(game1.canvas, {240, 160, 80, 80}, 80 * col, 80 * r, false);
    c.Blit(game1.canvas, {0, 19, 95, 38}, 0, 0, true);
    Canvas digits(57, 38, kBlack);
    char text[16];
    const int rows[2] = {best, score};
    for (int row = 0; row < 2; ++row) {
        std::snprintf(text, sizeof text, "%03d", rows[row]);
        for (int i = 0; i < 3; ++i)
            digits.Blit(game1.canvas, {19 * (text[i] - '0'), 0, 19, 19}, 19 * i, 19 * row, false);
    }
    c.Blit(digits, {0, 0, 57, 38}, 114, 0, true);
    return screen;
}

void Target(Canvas& c, const Picture& game0, int kind, bool hit, int x) {
    c.Blit(game0.canvas, {kTargetX[kind], hit ? kTargetHitY : 0, kTargetWidth[kind], kTargetHeight},
           x, 80, true);
}

}  // namespace

std::vector<NamedPicture> MockScreens(const std::vector<NamedPicture>& pictures) {
    const Picture& title = Find(pictures, "title.bmp");
    const Picture& game0 = Find(pictures, "game0.bmp");
    const Picture& game1 = Find(pictures, "game1.bmp");
    std::vector<NamedPicture> screens;
    screens.push_back({"mock_title", TitleScreen(title, 23, 0)});

    Picture play = PlayScreen(game0, game1, 57, 12);
    Target(play.canvas, game0, 1, false, 130);
    screens.push_back({"mock_play", play});

    Picture targets = PlayScreen(game0, game1, 57, 12);
    for (int kind = 0; kind < 4; ++kind) Target(targets.canvas, game0, kind, false, 80 * kind);
    screens.push_back({"mock_targets", targets});

    Picture hits = PlayScreen(game0, game1, 103, 103);
    for (int kind = 0; kind < 4; ++kind) Target(hits.canvas, game0, kind, true, 80 * kind);
    screens.push_back({"mock_hits", hits});

    const Rect countdown[4] = {
        {0, 176, 35, 48}, {48, 176, 35, 48}, {96, 176, 32, 48}, {144, 176, 128, 48}};
    for (int i = 0; i < 4; i += 3) {
        Picture count = PlayScreen(game0, game1, 57, 0);
        count.canvas.Blit(game0.canvas, countdown[i], i == 3 ? 96 : 144, 100, true);
        screens.push_back({i == 3 ? "mock_go" : "mock_countdown", count});
    }

    for (int row = 0; row < 3; ++row) {
        Picture rating = PlayScreen(game0, game1, 120, row == 0 ? 104 : row == 1 ? 64 : 7);
        Target(rating.canvas, game0, 2, false, -40);
        rating.canvas.Blit(game1.canvas, {0, 57 + 19 * row, 133, 19}, 94, 200, true);
        screens.push_back({"mock_rating" + std::to_string(row), rating});
    }
    return screens;
}

}  // namespace art
