// The title screen: its scrolling background, the two-item menu, and the best score kept in
// "score.dat".
#pragma once

class TitleScreen {
  public:
    // The title loop; never returns (the program ends through QuitProgram or FatalError).
    [[noreturn]] void Run();
    // Loads "title.bmp" with its palette into slot 2; the cursor and the scroll go back to 0.
    void Load();
    // One title frame into the back buffer; the background moves on by one pixel.
    void Draw();
    // Mosaic of a title frame from coarse to sharp, then the sharp frame.
    void FadeIn();
    // Mosaic of a title frame from sharp to coarse.
    void FadeOut();
    // Takes at most one of Up, Down, Enter (in that order) from the KeyTable; true for Enter.
    [[nodiscard]] bool HandleMenuKeys();
    // Reads the best score from "score.dat"; a missing file is fatal.
    void LoadBestScore();
    // Replaces "score.dat" with the best score; when it cannot, the old file stays and the
    // program ends.
    void SaveBestScore();
    // After a round: a best score above the one in "score.dat" is saved at once, as
    // SaveBestScore does; when it cannot be, the old file stays, a line on stderr says so and
    // the game goes on.
    void KeepBestScore();
    // Writes the best score beside "score.dat" and renames it over; false (the old file kept)
    // when any step fails.
    [[nodiscard]] bool WriteBestScore();

    int scroll = 0;           // background offset, 0..79
    int cursor = 0;           // 0 play a round, 1 save and quit
    int storedBestScore = 0;  // what "score.dat" holds, as last read or written
};

extern TitleScreen titleScreen;

// The high-score file and the file a new score is written to before it replaces it.
extern const char* const ScoreFileName;
extern const char* const ScoreTemporaryName;
