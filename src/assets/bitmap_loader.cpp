// The game's picture loading: an archive entry through "tmp.bmp" into a surface slot, the
// picture's colour table as the palette, and the colour key that follows a palette load.
#include "bitmap_loader.h"

#include <cstdio>
#include <cstdlib>

#include "archive.h"
#include "display.h"
#include "services.h"

namespace {

// Every picture passes through this file in the working directory.
constexpr const char* kTemporaryFile = "tmp.bmp";
// The colour table of the game's pictures starts right behind the two headers.
constexpr long kColourTableOffset = 54;

// Mended: a picture that cannot be decoded ends the program between writing "tmp.bmp" and
// removing it, and the design left the file behind (as large as the entry says, up to 256 MiB);
// so does a disk that fills while it is written. From its writing on, the program's end removes
// it.
bool temporaryFileExists = false;

void RemoveTemporaryFileAtEnd() {
    if (temporaryFileExists) std::remove(kTemporaryFile);
}

}  // namespace

void Display::LoadArchiveBitmap(const char* archive, const char* entry, int width, int height,
                                int destX, int destY, int srcX, int srcY, int loadPalette,
                                SurfaceSlot slot) {
    static const int registered = std::atexit(RemoveTemporaryFileAtEnd);
    (void)registered;
    Archive.OpenDirectory(archive);
    // Set before the file is written: a write that fails part way ends the program, and the
    // part written must go with it.
    temporaryFileExists = true;
    Archive.ExtractToFile(entry, kTemporaryFile);  // ends the program when it cannot write it
    // The palette goes in first, so that GDI matches the picture against its own colours.
    if (loadPalette) LoadPaletteFromBitmapFile(kTemporaryFile);
    CopyBitmapFileToSlot(kTemporaryFile, width, height, destX, destY, srcX, srcY, slot);
    std::remove(kTemporaryFile);
    temporaryFileExists = false;
}

void Display::LoadPaletteFromBitmapFile(const char* path) {
    std::FILE* file = std::fopen(path, "rb");
    if (!file) return;
    std::fseek(file, kColourTableOffset, SEEK_SET);
    for (int k = 0; k < 256; ++k) {
        // Past the end of the file fgetc gives EOF, which becomes 255 in a byte.
        const BYTE blue = static_cast<BYTE>(std::fgetc(file));
        const BYTE green = static_cast<BYTE>(std::fgetc(file));
        const BYTE red = static_cast<BYTE>(std::fgetc(file));
        std::fgetc(file);  // the reserved byte
        MasterPalette[k].peRed = red;
        MasterPalette[k].peGreen = green;
        MasterPalette[k].peBlue = blue;
        MasterPalette[k].peFlags = PC_RESERVED;
        WorkingPalette[k] = MasterPalette[k];
    }
    std::fclose(file);

    // Windowed, the desktop keeps its twenty static colours at 0-9 and 246-255.
    if (DisplayPalette) {
        if (fullScreen) {
            DisplayPalette->SetEntries(0, 0, 256, MasterPalette);
        } else {
            DisplayPalette->SetEntries(0, 10, 236, MasterPalette);
        }
    }

    const COLORREF key =
        MasterPalette[1].peRed | (MasterPalette[1].peGreen << 8) | (MasterPalette[1].peBlue << 16);
    // The primary surface keeps no key in full screen.
    for (int slot = fullScreen; slot < kSurfaceSlots; ++slot) {
        SetSurfaceColorKey(SurfaceTable[slot], key);
    }
}

void Display::CopyBitmapFileToSlot(const char* path, int width, int height, int destX, int destY,
                                   int srcX, int srcY, SurfaceSlot slot) {
    auto bitmap = static_cast<HBITMAP>(LoadImageA(GetModuleHandleA(nullptr), path, IMAGE_BITMAP, 0,
                                                  0, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
    if (!bitmap) {
        // "%s ファイルが見つかりません" (file not found)
        std::snprintf(FormatBuffer, sizeof FormatBuffer,
                      "%s \x83\x74\x83\x40\x83\x43\x83\x8b\x82\xaa\x8c\xa9\x82\xc2\x82\xa9\x82\xe8"
                      "\x82\xdc\x82\xb9\x82\xf1",
                      path);
        FatalError(FormatBuffer);
    }
    HDC memoryDC = CreateCompatibleDC(nullptr);
    HGDIOBJ previous = SelectObject(memoryDC, bitmap);

    // A slot without a surface, or one whose device context cannot be had (a lost surface),
    // gets no copy; there is no message for it.
    IDirectDrawSurface* surface = slot >= 0 && slot < kSurfaceSlots ? SurfaceTable[slot] : nullptr;
    HDC surfaceDC = nullptr;
    if (surface && surface->GetDC(&surfaceDC) == DD_OK) {
        BitBlt(surfaceDC, destX, destY, width, height, memoryDC, srcX, srcY, SRCCOPY);
        surface->ReleaseDC(surfaceDC);
    }

    SelectObject(memoryDC, previous);
    DeleteDC(memoryDC);
    DeleteObject(bitmap);
}

HRESULT SetSurfaceColorKey(IDirectDrawSurface* surface, COLORREF colour) {
    if (!surface) return DDERR_INVALIDOBJECT;
    DDCOLORKEY key;
    key.dwColorSpaceLowValue = MatchSurfaceColor(surface, colour);
    key.dwColorSpaceHighValue = key.dwColorSpaceLowValue;
    return surface->SetColorKey(DDCKEY_SRCBLT, &key);
}

DWORD MatchSurfaceColor(IDirectDrawSurface* surface, COLORREF colour) {
    DWORD result = CLR_INVALID;
    if (!surface) return result;

    HDC dc = nullptr;
    COLORREF saved = 0;
    bool written = false;
    if (colour != CLR_INVALID && surface->GetDC(&dc) == DD_OK) {
        saved = GetPixel(dc, 0, 0);
        SetPixel(dc, 0, 0, colour);
        surface->ReleaseDC(dc);
        written = true;
    }

    DDSURFACEDESC description{};
    description.dwSize = sizeof description;
    HRESULT locked;
    do {
        locked = surface->Lock(nullptr, &description, 0, nullptr);
    } while (locked == DDERR_WASSTILLDRAWING);

    if (locked == DD_OK) {
        // The first pixel's bits, read a byte at a time (little-endian) and never beyond the
        // pixel itself: a one-pixel surface holds a single byte.
        const DWORD bits = description.ddpfPixelFormat.dwRGBBitCount;
        const DWORD bytes = bits >= 32 ? 4 : (bits + 7) / 8;
        const auto* memory = static_cast<const BYTE*>(description.lpSurface);
        DWORD word = 0;
        for (DWORD i = 0; i < bytes; ++i) word |= static_cast<DWORD>(memory[i]) << (8 * i);
        result = bits >= 32 ? word : word & ((DWORD{1} << bits) - 1);
        surface->Unlock(nullptr);
    }

    if (written && surface->GetDC(&dc) == DD_OK) {
        SetPixel(dc, 0, 0, saved);
        surface->ReleaseDC(dc);
    }
    return result;
}
