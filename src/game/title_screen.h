// The title screen: its menu, and the best score kept in "score.dat".
#pragma once

class TitleScreen {
  public:
    // The title loop; never returns (the program ends through QuitProgram or FatalError).
    [[noreturn]] void Run();
};

extern TitleScreen titleScreen;
