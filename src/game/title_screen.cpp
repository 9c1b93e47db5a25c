// The title screen.
#include "game/title_screen.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include <bit>
#include <cstdio>

#include "display/display.h"
#include "game/game_round.h"
#include "shell/shell.h"
#include "shell/window.h"

TitleScreen titleScreen;

const char* const ScoreFileName = "score.dat";
const char* const ScoreTemporaryName = "score.dat.tmp";

namespace {

constexpr DWORD kOpaque = 0x10;       // DDBLTFAST_WAIT
constexpr DWORD kTransparent = 0x11;  // DDBLTFAST_WAIT | DDBLTFAST_SRCCOLORKEY

// The file holds the score's four bytes as they lie in memory: little-endian.
static_assert(std::endian::native == std::endian::little);

// Flushes the file's buffer and waits until its bytes are on the disk.
bool FlushToDisk(std::FILE* file) {
    if (std::fflush(file) != 0) return false;
#ifdef _WIN32
    return _commit(_fileno(file)) == 0;
#else
    return ::fsync(::fileno(file)) == 0;
#endif
}

// Puts `from` in the place of `to` in one step, replacing it.
bool PutInPlace(const char* from, const char* to) {
#ifdef _WIN32
    return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
#else
    return std::rename(from, to) == 0;
#endif
}

}  // namespace

void TitleScreen::Run() {
    LoadBestScore();
    Load();
    FadeIn();
    for (;;) {
        MarkFrameStart();
        Draw();
        display.Present();
        if (HandleMenuKeys()) {
            FadeOut();
            if (cursor == 0) {
                gameRound.Play();
                Load();
                FadeIn();
            } else {
                SaveBestScore();
                QuitProgram();
            }
        }
        WaitFrame(33);
    }
}

void TitleScreen::Load() {
    display.LoadArchiveBitmap("tavlo.rka", "title.bmp", 320, 240, 0, 0, 0, 0, 1, 2);
    cursor = 0;
    scroll = 0;
}

void TitleScreen::Draw() {
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 5; ++column) {
            display.BlitClipped(80 * column - scroll, 80 * row - scroll, 240, 160, 80, 80, 1, 2,
                                kOpaque);
        }
    }
    scroll = (scroll + 1) % 80;
    display.Blit(0, 16, 0, 16, 320, 115, 1, 2, kTransparent);
    for (int item = 0; item < 2; ++item) {
        display.Blit(120, 144 + 24 * item, 0, 144 + 32 * item, 156, 20, 1, 2, kTransparent);
    }
    display.Blit(88, 144 + 24 * cursor, 208, 144, 20, 20, 1, 2, kTransparent);
}

void TitleScreen::FadeIn() {
    Draw();
    display.Blit(0, 0, 0, 0, 320, 240, 5, 1, kOpaque);
    display.GetSurfaceMemory(5);
    display.GetSurfaceMemory(1);
    for (int block = 30; block >= 2; --block) {
        MarkFrameStart();
        display.Mosaic(0, 0, 0, 0, 320, 240, 1, 5, block);
        display.Present();
        WaitFrame(33);
    }
    display.Blit(0, 0, 0, 0, 320, 240, 1, 5, kOpaque);
    display.Present();
}

void TitleScreen::FadeOut() {
    Draw();
    display.Blit(0, 0, 0, 0, 320, 240, 5, 1, kOpaque);
    display.GetSurfaceMemory(5);
    display.GetSurfaceMemory(1);
    for (int block = 2; block <= 29; ++block) {
        MarkFrameStart();
        display.Mosaic(0, 0, 0, 0, 320, 240, 1, 5, block);
        display.Present();
        WaitFrame(33);
    }
}

bool TitleScreen::HandleMenuKeys() {
    // The first key found wins; the others wait for a later frame.
    if (KeyTable[VK_UP]) {
        KeyTable[VK_UP] = 0;
        cursor = cursor == 0 ? 1 : 0;
        return false;
    }
    if (KeyTable[VK_DOWN]) {
        KeyTable[VK_DOWN] = 0;
        cursor = cursor == 0 ? 1 : 0;
        return false;
    }
    if (KeyTable[VK_RETURN]) {
        KeyTable[VK_RETURN] = 0;
        return true;
    }
    return false;
}

void TitleScreen::LoadBestScore() {
    std::FILE* file = std::fopen(ScoreFileName, "rb");
    if (file == nullptr) FatalError("file not found");
    // A short file leaves what the read did not reach as it was.
    const std::size_t count = std::fread(&gameRound.bestScore, 4, 1, file);
    (void)count;
    std::fclose(file);
}

// The score goes to a file beside "score.dat" and replaces it only once it is safely on disk,
// so an interrupted or failed write never loses the score stored before.
void TitleScreen::SaveBestScore() {
    std::FILE* file = std::fopen(ScoreTemporaryName, "wb");
    if (file == nullptr) QuitProgram();
    bool written = std::fwrite(&gameRound.bestScore, 4, 1, file) == 1;
    written = FlushToDisk(file) && written;
    written = std::fclose(file) == 0 && written;
    if (!written || !PutInPlace(ScoreTemporaryName, ScoreFileName)) {
        std::remove(ScoreTemporaryName);
        QuitProgram();
    }
}
