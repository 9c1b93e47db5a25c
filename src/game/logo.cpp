// The logo sequence: the picture resolves out of a coarse mosaic, holds for two seconds and
// dissolves again.
#include "logo.h"

#include "display.h"
#include "services.h"

void ShowLogo() {
    display.LoadArchiveBitmap("tavlo.rka", "logo.bmp", 320, 240, 0, 0, 0, 0, 1, 2);
    // The mosaic steps read and write through the recorded addresses; Present keeps slot 1's
    // current after each flip.
    display.GetSurfaceMemory(2);
    display.GetSurfaceMemory(1);
    for (int block = 30; block >= 2; --block) {
        MarkFrameStart();
        display.Mosaic(0, 0, 0, 0, 320, 240, 1, 2, block);
        display.Present();
        WaitFrame(33);
    }
    display.Blit(0, 0, 0, 0, 320, 240, 1, 2, DDBLTFAST_WAIT);
    display.Present();
    WaitMilliseconds(2000);
    for (int block = 2; block <= 29; ++block) {
        MarkFrameStart();
        display.Mosaic(0, 0, 0, 0, 320, 240, 1, 2, block);
        display.Present();
        WaitFrame(33);
    }
}
