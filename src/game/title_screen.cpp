// The title screen.
#include "title_screen.h"

#include <bit>
#include <cstdio>
#include <cwchar>

#include "display.h"
#include "game_round.h"
#include "services.h"
#include "window.h"

TitleScreen titleScreen;

const char* const ScoreFileName = "score.dat";
const char* const ScoreTemporaryName = "score.dat.tmp";

namespace {

constexpr DWORD kOpaque = DDBLTFAST_WAIT;                               // 0x10
constexpr DWORD kTransparent = DDBLTFAST_WAIT | DDBLTFAST_SRCCOLORKEY;  // 0x11

// The file holds the score's four bytes as they lie in memory: little-endian.
static_assert(std::endian::native == std::endian::little);

bool titleNoted = false;

// Mended: a best score that could not be saved was told on stderr only, which a player who
// started the game from the desktop never sees. The window's title says it at once (the picture
// stays the game's), and a note at the end says it in plain words: which score, where, and what
// to do. The design's own texts stay as they are.
void NoteUnsavedBest(int unsaved, int kept) {
    // Wide characters: the folder's name may be in any language.
    WCHAR folder[MAX_PATH] = L"";
    const DWORD length = GetCurrentDirectoryW(MAX_PATH, folder);
    if (length == 0 || length >= MAX_PATH) std::swprintf(folder, MAX_PATH, L"its folder");
    WCHAR note[512];
    std::swprintf(note, sizeof note / sizeof note[0],
                  L"Tavlo could not save your best score of %d in %ls, so it is lost when the game "
                  L"ends; score.dat there still holds %d.\n"
                  L"Check that the folder can be written, that score.dat is not read-only, and "
                  L"that the disk has room: the next new best score is then saved.",
                  unsaved, folder, kept);
    SetEndNote(note);
    char title[64];
    std::snprintf(title, sizeof title, "Tavlo - best score %d not saved", unsaved);
    SetWindowTextA(MainWindow, title);
    titleNoted = true;
}

// A later save made it: nothing is lost any more.
void TakeBackTheNote() {
    SetEndNote(nullptr);
    if (titleNoted) SetWindowTextA(MainWindow, "Tavlo");
    titleNoted = false;
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
    storedBestScore = gameRound.bestScore;
}

// The score goes to a file beside "score.dat" and replaces it only once it is safely on disk,
// so an interrupted or failed write never loses the score stored before.
// A save that fails with nothing new to keep (a score.dat kept read-only on purpose, say) loses
// nothing: the platform's line on stderr says why, and no note is shown.
void TitleScreen::SaveBestScore() {
    if (!WriteBestScore()) {
        if (gameRound.bestScore > storedBestScore) {
            NoteUnsavedBest(gameRound.bestScore, storedBestScore);
        }
        QuitProgram();
    }
}

// Mended: the design saved the best score only through the menu, so a new best was lost when the
// game ended any other way. A failed save here ends nothing; the platform has said why.
void TitleScreen::KeepBestScore() {
    if (gameRound.bestScore > storedBestScore && !WriteBestScore()) {
        std::fprintf(stderr, "tavlo: the best score %d is not saved; score.dat keeps %d\n",
                     gameRound.bestScore, storedBestScore);
        NoteUnsavedBest(gameRound.bestScore, storedBestScore);
    }
}

bool TitleScreen::WriteBestScore() {
    HANDLE file = CreateFileA(ScoreTemporaryName, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL saved = WriteFile(file, &gameRound.bestScore, 4, &written, nullptr) && written == 4;
    saved = FlushFileBuffers(file) && saved;
    saved = CloseHandle(file) && saved;
    if (!saved || !MoveFileExA(ScoreTemporaryName, ScoreFileName,
                               MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileA(ScoreTemporaryName);
        return false;
    }
    storedBestScore = gameRound.bestScore;
    TakeBackTheNote();
    return true;
}
