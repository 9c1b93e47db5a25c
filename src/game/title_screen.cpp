// The title screen.
#include "game/title_screen.h"

#include "display/display.h"
#include "shell/shell.h"

TitleScreen titleScreen;

// Placeholder until the title screen exists: a plain frame loop that keeps the window alive.
void TitleScreen::Run() {
    for (;;) {
        MarkFrameStart();
        display.Present();
        WaitFrame(33);
    }
}
