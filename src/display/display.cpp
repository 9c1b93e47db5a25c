// The Display's set-up, tear-down and presentation, and the recording of surface memory.
#include "display.h"

#include <cstring>

#include "services.h"
#include "window.h"

Display display;

IDirectDraw* DirectDrawObject;
IDirectDrawSurface* SurfaceTable[kSurfaceSlots];
unsigned char* SurfaceMemory[kSurfaceSlots];
int SurfacePitch[kSurfaceSlots];
IDirectDrawPalette* DisplayPalette;
IDirectDrawClipper* DisplayClipper;
PALETTEENTRY MasterPalette[256];
PALETTEENTRY WorkingPalette[256];
POINT WindowOrigin;

Display::Display() : width(0), height(0), fullScreen(0) {
    DirectDrawObject = nullptr;
    DisplayPalette = nullptr;
    for (IDirectDrawSurface*& surface : SurfaceTable) surface = nullptr;
    WindowOrigin.x = 0;
    WindowOrigin.y = 0;
    std::memset(&clearFx, 0, sizeof clearFx);
    clearFx.dwSize = sizeof(DDBLTFX);
    clearFx.dwFillColor = 0;
    std::memset(&fillFx, 0, sizeof fillFx);
    fillFx.dwSize = sizeof(DDBLTFX);
}

int Display::Initialize(HWND window, int requestedWidth, int requestedHeight,
                        int requestedFullScreen) {
    // From here on, every end of the program releases what this makes.
    SetShutdownHandler([] { display.Shutdown(); });
    width = requestedWidth;
    height = requestedHeight;
    fullScreen = requestedFullScreen;

    if (DirectDrawCreate(nullptr, &DirectDrawObject, nullptr) != DD_OK) return 0;

    DWORD level = DDSCL_NORMAL;
    if (fullScreen) {
        level = DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN;
        if (width == 320 && height == 240) level |= DDSCL_ALLOWMODEX;
    }
    if (DirectDrawObject->SetCooperativeLevel(window, level) != DD_OK) return 0;

    if (fullScreen && DirectDrawObject->SetDisplayMode(static_cast<DWORD>(width),
                                                       static_cast<DWORD>(height), 8) != DD_OK) {
        QuitProgram();
    }

    DDSURFACEDESC description;
    std::memset(&description, 0, sizeof description);
    description.dwSize = sizeof(DDSURFACEDESC);
    if (fullScreen) {
        description.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
        description.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX;
        description.dwBackBufferCount = 1;
    } else {
        description.dwFlags = DDSD_CAPS;
        description.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
    }
    if (DirectDrawObject->CreateSurface(&description, &SurfaceTable[0], nullptr) != DD_OK) return 0;

    if (fullScreen) {
        DDSCAPS caps;
        caps.dwCaps = DDSCAPS_BACKBUFFER;
        if (SurfaceTable[0]->GetAttachedSurface(&caps, &SurfaceTable[1]) != DD_OK) return 0;
    } else {
        if (DirectDrawObject->CreateClipper(0, &DisplayClipper, nullptr) != DD_OK) return 0;
        if (DisplayClipper->SetHWnd(0, MainWindow) != DD_OK) return 0;
        if (SurfaceTable[0]->SetClipper(DisplayClipper) != DD_OK) return 0;
    }

    if (DirectDrawObject->CreatePalette(DDPCAPS_8BIT, MasterPalette, &DisplayPalette, nullptr) !=
        DD_OK) {
        return 0;
    }
    SurfaceTable[0]->SetPalette(DisplayPalette);

    std::memset(&description, 0, sizeof description);
    description.dwSize = sizeof(DDSURFACEDESC);
    description.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PITCH;
    description.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
    description.dwWidth = static_cast<DWORD>(width);
    description.dwHeight = static_cast<DWORD>(height);
    for (int slot = fullScreen + 1; slot <= 9; ++slot) {
        if (DirectDrawObject->CreateSurface(&description, &SurfaceTable[slot], nullptr) != DD_OK) {
            return 0;
        }
    }

    for (int slot = 0; slot <= 9; ++slot) {
        ClearSlot(slot);
        GetSurfaceMemory(slot);
    }
    UpdateWindowOrigin();
    return 1;
}

void Display::Shutdown() {
    if (SurfaceTable[0]) ClearSlot(0);
    if (SurfaceTable[1]) ClearSlot(1);
    // In full screen slot 1 belongs to the flip chain and goes with slot 0.
    for (int slot = fullScreen ? 2 : 1; slot <= 9; ++slot) {
        if (SurfaceTable[slot]) SurfaceTable[slot]->Release();
    }
    if (DisplayPalette) DisplayPalette->Release();
    if (SurfaceTable[0]) SurfaceTable[0]->Release();
    if (DirectDrawObject) DirectDrawObject->Release();
}

void Display::Present() {
    if (fullScreen) {
        SurfaceTable[0]->Flip(nullptr, DDFLIP_WAIT);
        unsigned char* front = SurfaceMemory[0];
        SurfaceMemory[0] = SurfaceMemory[1];
        SurfaceMemory[1] = front;
    } else {
        RECT destination{WindowOrigin.x, WindowOrigin.y, WindowOrigin.x + width,
                         WindowOrigin.y + height};
        RECT source{0, 0, width, height};
        SurfaceTable[0]->Blt(&destination, SurfaceTable[1], &source, DDBLT_WAIT, nullptr);
    }
}

void Display::UpdateWindowOrigin() {
    WindowOrigin.x = 0;
    WindowOrigin.y = 0;
    if (fullScreen == 0) {
        // The first WM_MOVE comes from inside CreateWindowExA, before MainWindow is known:
        // there is no rectangle to go by yet, and the origin stays (0, 0) until the next move.
        RECT rectangle;
        if (!GetWindowRect(MainWindow, &rectangle)) return;
        WindowOrigin.x = rectangle.left + GetSystemMetrics(SM_CXBORDER) + 2;
        WindowOrigin.y = rectangle.top + GetSystemMetrics(SM_CYMENUSIZE) +
                         GetSystemMetrics(SM_CYCAPTION) + GetSystemMetrics(SM_CYBORDER) + 3;
    }
}

void Display::WaitVSync() {
    DirectDrawObject->WaitForVerticalBlank(DDWAITVB_BLOCKBEGIN, nullptr);
}

void Display::GetSurfaceMemory(SurfaceSlot slot) {
    DDSURFACEDESC description;
    std::memset(&description, 0, sizeof description);
    description.dwSize = sizeof(DDSURFACEDESC);
    SurfaceTable[slot]->Lock(nullptr, &description, DDLOCK_WAIT, nullptr);
    SurfaceMemory[slot] = static_cast<unsigned char*>(description.lpSurface);
    SurfacePitch[slot] = description.lPitch;
    SurfaceTable[slot]->Unlock(description.lpSurface);
}

void Display::ClearSlot(SurfaceSlot slot) {
    SurfaceTable[slot]->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &clearFx);
}
