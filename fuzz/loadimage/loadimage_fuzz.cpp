// Any bytes as a .bmp file loaded the way the game loads its pictures: LoadImageA from the file,
// GetObjectA, the bitmap selected into a memory DC and copied with BitBlt into a surface's DC,
// once whole and once from its middle to above and left of the surface. The API loads exactly
// what the decoder takes, with the decoder's size, and nothing reads or writes out of bounds.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <ddraw.h>
#include <windows.h>

#include "bmp_codec.h"
#include "host_headless.h"

namespace {

void Require(bool condition) {
    if (!condition) __builtin_trap();
}

std::string path;
IDirectDrawSurface* surface = nullptr;

void RemoveFile() {
    std::remove(path.c_str());
}

// The window, full screen at 320×240×8, a primary with a grey palette and a small surface.
void OpenScreen() {
    host::SetHostFactory(headless::CreateHeadlessHost);
    const char* tmp = std::getenv("TMPDIR");
    path =
        std::string(tmp ? tmp : "/tmp") + "/tavlo-loadimage-" + std::to_string(getpid()) + ".bmp";
    std::atexit(RemoveFile);

    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.lpszClassName = "fuzz";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowExA(0, "fuzz", "fuzz", WS_POPUP, 0, 0, 320, 240, nullptr, nullptr,
                                  nullptr, nullptr);
    IDirectDraw* dd = nullptr;
    Require(DirectDrawCreate(nullptr, &dd, nullptr) == DD_OK);
    Require(dd->SetCooperativeLevel(window, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN) == DD_OK);
    Require(dd->SetDisplayMode(320, 240, 8) == DD_OK);
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
    IDirectDrawSurface* primary = nullptr;
    Require(dd->CreateSurface(&desc, &primary, nullptr) == DD_OK);
    PALETTEENTRY grey[256];
    for (int i = 0; i < 256; ++i) grey[i] = {BYTE(i), BYTE(i), BYTE(i), 0};
    IDirectDrawPalette* palette = nullptr;
    Require(dd->CreatePalette(DDPCAPS_8BIT, grey, &palette, nullptr) == DD_OK);
    Require(primary->SetPalette(palette) == DD_OK);
    desc = {};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
    desc.dwWidth = 40;
    desc.dwHeight = 30;
    Require(dd->CreateSurface(&desc, &surface, nullptr) == DD_OK);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (!surface) OpenScreen();
    std::FILE* file = std::fopen(path.c_str(), "wb");
    Require(file && std::fwrite(data, 1, size, file) == size && std::fclose(file) == 0);

    const auto decoded = platform::DecodeBmp(data, size);
    auto bitmap = static_cast<HBITMAP>(LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0,
                                                  LR_LOADFROMFILE | LR_CREATEDIBSECTION));
    if (!decoded) Require(bitmap == nullptr);
    if (!bitmap) return 0;
    BITMAP description{};
    Require(GetObjectA(bitmap, sizeof description, &description) == sizeof description);
    Require(description.bmWidth == decoded->width && description.bmHeight == decoded->height);

    HDC memoryDC = CreateCompatibleDC(nullptr);
    HGDIOBJ previous = SelectObject(memoryDC, bitmap);
    HDC surfaceDC = nullptr;
    Require(surface->GetDC(&surfaceDC) == DD_OK);
    const int w = description.bmWidth, h = description.bmHeight;
    BitBlt(surfaceDC, 0, 0, w, h, memoryDC, 0, 0, SRCCOPY);
    BitBlt(surfaceDC, -3, -2, w, h, memoryDC, w / 2, h / 2, SRCCOPY);
    surface->ReleaseDC(surfaceDC);
    SelectObject(memoryDC, previous);
    DeleteDC(memoryDC);
    DeleteObject(bitmap);
    return 0;
}
