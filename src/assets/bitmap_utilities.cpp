// DirectDraw bitmap utilities: surfaces from bitmaps, bitmaps stretched over surfaces, and
// palettes from bitmaps' colour tables.
#include "bitmap_utilities.h"

#include <utility>

namespace {

// A bitmap resource of the program first, then the file of that name.
HBITMAP LoadBitmapByName(LPCSTR name, int width, int height) {
    auto bitmap = static_cast<HBITMAP>(LoadImageA(GetModuleHandleA(nullptr), name, IMAGE_BITMAP,
                                                  width, height, LR_CREATEDIBSECTION));
    if (!bitmap) {
        bitmap = static_cast<HBITMAP>(LoadImageA(nullptr, name, IMAGE_BITMAP, width, height,
                                                 LR_LOADFROMFILE | LR_CREATEDIBSECTION));
    }
    return bitmap;
}

// How many colours a colour table holds, from the info header's bit count and colours-used.
int TableColours(const BITMAPINFOHEADER& header) {
    if (header.biBitCount > 8) return 0;
    DWORD n = header.biClrUsed != 0 ? header.biClrUsed : DWORD{1} << header.biBitCount;
    return n > 256 ? 256 : static_cast<int>(n);
}

}  // namespace

IDirectDrawSurface* LoadBitmapSurface(IDirectDraw* directDraw, LPCSTR name, int width, int height) {
    HBITMAP bitmap = LoadBitmapByName(name, width, height);
    if (!bitmap) return nullptr;

    BITMAP bitmapInfo{};
    GetObjectA(bitmap, sizeof bitmapInfo, &bitmapInfo);

    DDSURFACEDESC description{};
    description.dwSize = sizeof description;
    description.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
    description.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
    description.dwWidth = static_cast<DWORD>(bitmapInfo.bmWidth);
    description.dwHeight = static_cast<DWORD>(bitmapInfo.bmHeight);
    IDirectDrawSurface* surface = nullptr;
    if (!directDraw || directDraw->CreateSurface(&description, &surface, nullptr) != DD_OK) {
        DeleteObject(bitmap);
        return nullptr;
    }
    CopyBitmapToSurface(surface, bitmap, 0, 0, 0, 0);
    DeleteObject(bitmap);
    return surface;
}

HRESULT ReloadBitmapSurface(IDirectDrawSurface* surface, LPCSTR name) {
    HBITMAP bitmap = LoadBitmapByName(name, 0, 0);
    if (!bitmap) return E_FAIL;
    const HRESULT result = CopyBitmapToSurface(surface, bitmap, 0, 0, 0, 0);
    DeleteObject(bitmap);
    return result;
}

HRESULT CopyBitmapToSurface(IDirectDrawSurface* surface, HBITMAP bitmap, int x, int y, int width,
                            int height) {
    if (!bitmap || !surface) return E_FAIL;
    // A lost surface gets its memory back before it is drawn into.
    surface->Restore();

    HDC memoryDC = CreateCompatibleDC(nullptr);
    SelectObject(memoryDC, bitmap);

    BITMAP bitmapInfo{};
    GetObjectA(bitmap, sizeof bitmapInfo, &bitmapInfo);
    if (width == 0) width = bitmapInfo.bmWidth;
    if (height == 0) height = bitmapInfo.bmHeight;

    DDSURFACEDESC description{};
    description.dwSize = sizeof description;
    description.dwFlags = DDSD_HEIGHT | DDSD_WIDTH;
    surface->GetSurfaceDesc(&description);

    HDC surfaceDC = nullptr;
    const HRESULT result = surface->GetDC(&surfaceDC);
    if (result == DD_OK) {
        StretchBlt(surfaceDC, 0, 0, static_cast<int>(description.dwWidth),
                   static_cast<int>(description.dwHeight), memoryDC, x, y, width, height, SRCCOPY);
        surface->ReleaseDC(surfaceDC);
    }
    // Deleting the memory DC lets go of the bitmap, which the caller still owns.
    DeleteDC(memoryDC);
    return result;
}

IDirectDrawPalette* CreatePaletteFromBitmap(IDirectDraw* directDraw, LPCSTR name) {
    // The fallback: a 3-3-2 colour cube.
    PALETTEENTRY entries[256];
    for (int i = 0; i < 256; ++i) {
        entries[i].peRed = static_cast<BYTE>(((i >> 5) & 7) * 255 / 7);
        entries[i].peGreen = static_cast<BYTE>(((i >> 2) & 7) * 255 / 7);
        entries[i].peBlue = static_cast<BYTE>((i & 3) * 255 / 3);
        entries[i].peFlags = 0;
    }

    HRSRC found = name ? FindResourceA(nullptr, name, RT_BITMAP) : nullptr;
    if (found) {
        const auto* header =
            static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(nullptr, found)));
        int n = 0;
        if (header && header->biSize >= sizeof(BITMAPINFOHEADER)) n = TableColours(*header);
        if (n > 0) {
            // The colour table lies right behind the header, however long the header is.
            const auto* table = reinterpret_cast<const RGBQUAD*>(
                reinterpret_cast<const BYTE*>(header) + header->biSize);
            for (int k = 0; k < n; ++k) {
                entries[k].peRed = table[k].rgbRed;
                entries[k].peGreen = table[k].rgbGreen;
                entries[k].peBlue = table[k].rgbBlue;
                entries[k].peFlags = 0;
            }
        }
    } else if (name) {
        const HFILE file = _lopen(name, OF_READ);
        if (file != HFILE_ERROR) {
            // Headers that a short file leaves unread count as zero: no colours.
            BITMAPFILEHEADER fileHeader{};
            BITMAPINFOHEADER infoHeader{};
            _lread(file, &fileHeader, sizeof fileHeader);
            _lread(file, &infoHeader, sizeof infoHeader);
            // The colour table as it lies at byte 54, whatever the header's offset field says;
            // what a short file does not reach keeps the colour cube.
            _lread(file, entries, sizeof entries);
            _lclose(file);

            const int n =
                infoHeader.biSize == sizeof(BITMAPINFOHEADER) ? TableColours(infoHeader) : 0;
            // Blue, green, red, reserved becomes red, green, blue, flags.
            for (int k = 0; k < n; ++k) std::swap(entries[k].peRed, entries[k].peBlue);
        }
    }

    IDirectDrawPalette* palette = nullptr;
    if (!directDraw ||
        directDraw->CreatePalette(DDPCAPS_8BIT, entries, &palette, nullptr) != DD_OK) {
        return nullptr;
    }
    return palette;
}
