// One game round: pictures of four kinds scroll in from the right, each answered by its arrow
// key; the score, the best score, the rating and the transitions in and out.
#pragma once

class GameRound {
  public:
    // The whole round: set-up, fade-in, countdown, the 16 ms frames until a miss or a wrong
    // key, the rating and the fade-out.
    void Play();
    // Loads "game0.bmp" (with its palette) into slot 2 and "game1.bmp" into slot 3, builds the
    // background in slot 4 and the digit panel in slot 5, and starts the first picture.
    void Setup();
    // Mosaic of the background (slot 4) from coarse to sharp.
    void FadeIn();
    // The four countdown pictures, 900 ms each.
    void Countdown();
    // Consumes the arrow keys; true when one of them does not belong to the current kind.
    [[nodiscard]] bool CheckKeys();
    // Draws the picture and moves it; true when it left the screen without being hit.
    [[nodiscard]] bool Step();
    // `score`, as three digits, into the bottom row of the panel in slot 5.
    void DrawScore();
    // `bestScore`, as three digits, into the top row of the panel in slot 5.
    void DrawBestScore();
    // The rating for the score onto the last frame, which is kept in slot 2; 2000 ms hold.
    void ShowRating();
    // Mosaic of the last frame (slot 2) from sharp to coarse.
    void FadeOut();

    int hit = 0;  // 1 once the right key was pressed; also the picture's row
    int kind = 0;
    int score = 0;
    float x = 0.0f;  // the picture's left edge
    float speed = 0.0f;
    int bestScore = 0;  // kept in "score.dat" by the title screen
};

extern GameRound gameRound;

// Where the kinds' pictures lie in "game0.bmp" (normal look at y 0, hit look at y 87) and the
// key that answers each.
extern const int TargetSourceX[4];
extern const int TargetWidth[4];
extern const unsigned char TargetKey[4];
