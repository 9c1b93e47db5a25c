// tavlo-showcase: brings the Display up as the game does and runs what no screen of the game
// uses: palette fades, the rotation blit and text in chosen fonts with a shadow.
//
//   tavlo-showcase [archive] [--windowed]
//
// The picture is "title.bmp" from the archive (default build/tavlo.rka); without one a test
// pattern stands in. Headless with captures: TAVLO_VIDEO=headless TAVLO_CAPTURE=<dir>.
#include <cstdio>
#include <cstring>
#include <string>

#include <windows.h>

#include "display.h"
#include "host_choice.h"
#include "services.h"
#include "shell.h"
#include "window.h"

namespace {

constexpr SurfaceSlot kBack = 1;
constexpr SurfaceSlot kPicture = 2;
constexpr unsigned kFrame = 33;

HWND OpenWindow() {
    WNDCLASSA windowClass{};
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    windowClass.lpszClassName = "qv";
    if (!RegisterClassA(&windowClass)) return nullptr;
    const int width = 2 * GetSystemMetrics(SM_CXBORDER) + 324;
    const int height = 2 * GetSystemMetrics(SM_CYBORDER) + GetSystemMetrics(SM_CYMENUSIZE) +
                       GetSystemMetrics(SM_CYCAPTION) + 245;
    HWND window = CreateWindowExA(WS_EX_APPWINDOW, "qv", "Tavlo showcase",
                                  WS_POPUP | WS_BORDER | WS_SYSMENU, CW_USEDEFAULT, CW_USEDEFAULT,
                                  width, height, nullptr, nullptr, windowClass.hInstance, nullptr);
    ShowWindow(window, SW_SHOWDEFAULT);
    UpdateWindow(window);
    return window;
}

// Loads the archive's title picture with its palette into the picture slot, when the Display
// offers archive loading and the archive is there.
template <class D>
bool LoadPicture(D& d, const std::string& archive) {
    if constexpr (requires {
                      d.LoadArchiveBitmap(archive.c_str(), "title.bmp", 320, 240, 0, 0, 0, 0, 1,
                                          kPicture);
                  }) {
        if (std::FILE* file = std::fopen(archive.c_str(), "rb")) {
            std::fclose(file);
            d.LoadArchiveBitmap(archive.c_str(), "title.bmp", 320, 240, 0, 0, 0, 0, 1, kPicture);
            return true;
        }
    }
    return false;
}

// A palette of colour ramps and a picture of rings and bands, with transparent (value 1) holes.
void PaintTestPattern() {
    for (int i = 0; i < 256; ++i) {
        const int band = i / 64, level = (i % 64) * 4 + 3;
        BYTE r = 0, g = 0, b = 0;
        if (band == 0) r = static_cast<BYTE>(level), g = static_cast<BYTE>(level / 2);
        if (band == 1) g = static_cast<BYTE>(level), b = static_cast<BYTE>(level / 3);
        if (band == 2) b = static_cast<BYTE>(level), r = static_cast<BYTE>(level / 2);
        if (band == 3) r = g = b = static_cast<BYTE>(level);
        MasterPalette[i] = {r, g, b, PC_RESERVED};
    }
    MasterPalette[0] = {16, 16, 48, PC_RESERVED};   // the shadow colour
    MasterPalette[1] = {255, 0, 255, PC_RESERVED};  // the transparent colour
    display.RestorePalette();

    display.GetSurfaceMemory(kPicture);
    unsigned char* pixels = SurfaceMemory[kPicture];
    if (!pixels) return;
    for (int y = 0; y < display.height; ++y) {
        for (int x = 0; x < display.width; ++x) {
            const int dx = x - 160, dy = y - 120;
            const int ring = (dx * dx + dy * dy) / 300;
            unsigned char value =
                static_cast<unsigned char>(2 + ((ring * 16 + x / 40 * 64) & 0xFD));
            if ((x / 20 + y / 20) % 7 == 0) value = 1;
            pixels[y * SurfacePitch[kPicture] + x] = value;
        }
    }
}

void ShowPicture(int ms) {
    MarkFrameStart();
    display.Blit(0, 0, 0, 0, 320, 240, kBack, kPicture, DDBLTFAST_WAIT);
    display.Present();
    WaitFrame(static_cast<unsigned>(ms));
}

void Fades() {
    ShowPicture(500);
    display.FadeDown(0, -255, 8, kFrame);
    display.FadeUp(-255, 0, 8, kFrame);
    display.FadeUp(0, 160, 16, kFrame);  // towards white
    display.FadeDown(160, 0, 16, kFrame);
    // The first quarter of the palette only, then the whole palette ends on 0.
    display.FadeRangeDown(0, -255, 0, 63, 16, kFrame);
    display.FadeRangeUp(-255, 0, 0, 63, 16, kFrame);
}

void Rotation() {
    for (int angle = 0; angle <= 360; angle += 4) {
        MarkFrameStart();
        display.FillSlot(kBack, 0);
        display.RotateBlit(60, 40, 60, 40, 200, 160, angle, kBack, kPicture);
        display.Present();
        WaitFrame(kFrame);
    }
}

void Text() {
    MarkFrameStart();
    display.Blit(0, 0, 0, 0, 320, 240, kBack, kPicture, DDBLTFAST_WAIT);
    display.DrawFontText(-1, 24, 160, 0, "Tavlo showcase", 28, 0, FW_BOLD, 2, RGB(255, 255, 255), 0,
                         "DejaVu Sans", ANSI_CHARSET, kBack, 0);
    // "回転とフェード" in a Japanese face, shadow up and to the left.
    display.DrawFontText(
        -1, -1, 160, 120, "\x89\xf1\x93\x5d\x82\xc6\x83\x74\x83\x46\x81\x5b\x83\x68", 32, 0,
        FW_NORMAL, -2, RGB(255, 240, 80), 0, "IPAGothic", SHIFTJIS_CHARSET, kBack, 0);
    display.DrawFontText(24, 220, 0, 0, "italic, turned 10 degrees", 16, 0, FW_NORMAL, 1,
                         RGB(160, 255, 160), 1, "DejaVu Serif", ANSI_CHARSET, kBack, 100);
    display.WriteText(kBack, 4, 4, "WriteText");
    display.Present();
    WaitFrame(2000);
}

}  // namespace

int main(int argc, char** argv) {
    host::SetHostFactory(entry::CreateHostNamedByEnvironment);
    std::string archive = "build/tavlo.rka";
    int fullScreen = 1;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--windowed") == 0) {
            fullScreen = 0;
        } else if (argv[i][0] == '-') {
            std::fprintf(stderr, "usage: %s [archive] [--windowed]\n", argv[0]);
            return 2;
        } else {
            archive = argv[i];
        }
    }

    MainWindow = OpenWindow();
    if (!MainWindow) {
        std::fprintf(stderr, "tavlo-showcase: cannot open the window\n");
        return 1;
    }
    if (!display.Initialize(MainWindow, 320, 240, fullScreen)) FatalError("DirectDraw");
    display.Present();

    if (!LoadPicture(display, archive)) {
        std::fprintf(stderr, "tavlo-showcase: no picture from %s; showing a test pattern\n",
                     archive.c_str());
        PaintTestPattern();
    }
    Fades();
    Rotation();
    Text();
    display.Shutdown();
    return 0;
}
