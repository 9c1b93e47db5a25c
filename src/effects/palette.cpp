// The Display's palette operations: single colours, brightness offsets and timed fades. Every
// brightness step is computed afresh from MasterPalette, so nothing accumulates.
#include <algorithm>
#include <iterator>

#include "display.h"
#include "services.h"

namespace {

// Entry 1 holds the transparent colour (the slots' colour key): brightness never touches it.
constexpr int kTransparentEntry = 1;

BYTE Darken(BYTE component, int offset) {
    int v = component + offset;
    return static_cast<BYTE>(v > 0 ? v : 0);
}

BYTE Lighten(BYTE component, int offset) {
    // Offsets near INT_MAX would overflow the sum; anything at or above 255 ends white anyway.
    int v = component + std::min(offset, 255);
    return static_cast<BYTE>(v < 255 ? v : 255);
}

// Windowed mode fades in steps four times as large as full screen's.
int StepFactor(int fullScreen) {
    return fullScreen ? 1 : 4;
}

}  // namespace

void Display::ApplyPalette() {
    if (!DisplayPalette) return;
    if (fullScreen) {
        DisplayPalette->SetEntries(0, 0, 256, &WorkingPalette[0]);
    } else {
        // WorkingPalette 0..235 lands on 10..245; the desktop keeps its twenty static colours.
        DisplayPalette->SetEntries(0, 10, 236, &WorkingPalette[0]);
    }
}

void Display::SetPaletteEntry(int index, BYTE red, BYTE green, BYTE blue) {
    if (index < 0 || index > 255) return;
    MasterPalette[index] = {red, green, blue, PC_RESERVED};
    WorkingPalette[index] = MasterPalette[index];
    ApplyPalette();
}

void Display::RestorePalette() {
    std::copy(std::begin(MasterPalette), std::end(MasterPalette), std::begin(WorkingPalette));
    ApplyPalette();
}

void Display::SetRangeBrightness(int first, int last, int offset) {
    // Only the entries of the range that exist: 300..400 touches none, -5..3 the first four.
    first = std::max(first, 0);
    last = std::min(last, 255);
    for (int i = first; i <= last; ++i) {
        if (i == kTransparentEntry) continue;
        const PALETTEENTRY& master = MasterPalette[i];
        PALETTEENTRY& working = WorkingPalette[i];
        if (offset < 0) {
            working = {Darken(master.peRed, offset), Darken(master.peGreen, offset),
                       Darken(master.peBlue, offset), PC_RESERVED};
        } else if (offset == 0) {
            working = master;
        } else {
            working = {Lighten(master.peRed, offset), Lighten(master.peGreen, offset),
                       Lighten(master.peBlue, offset), PC_RESERVED};
        }
    }
    ApplyPalette();
}

void Display::SetEntryBrightness(int index, int offset) {
    SetRangeBrightness(index, index, offset);
}

void Display::SetBrightness(int offset) {
    WaitVSync();
    SetRangeBrightness(0, 255, offset);
}

// A step of 0 or less would never reach `to`; such a fade runs no steps and only applies `to`.
// Offsets are stepped in 64 bits so that a `to` near the integer limits cannot wrap the loop.

void Display::FadeUp(int from, int to, int step, unsigned frameMs) {
    const long long stride = static_cast<long long>(step) * StepFactor(fullScreen);
    for (long long v = from; stride > 0 && v <= to; v += stride) {
        MarkFrameStart();
        SetBrightness(static_cast<int>(v));
        WaitFrame(frameMs);
    }
    SetBrightness(to);
}

void Display::FadeDown(int from, int to, int step, unsigned frameMs) {
    const long long stride = static_cast<long long>(step) * StepFactor(fullScreen);
    for (long long v = from; stride > 0 && v >= to; v -= stride) {
        MarkFrameStart();
        SetBrightness(static_cast<int>(v));
        WaitFrame(frameMs);
    }
    SetBrightness(to);
}

void Display::FadeRangeUp(int from, int to, int first, int last, int step, unsigned frameMs) {
    const long long stride = static_cast<long long>(step) * StepFactor(fullScreen);
    for (long long v = from; stride > 0 && v <= to; v += stride) {
        MarkFrameStart();
        SetRangeBrightness(first, last, static_cast<int>(v));
        WaitFrame(frameMs);
    }
    // The range fade ends on the whole palette.
    SetBrightness(to);
}

void Display::FadeRangeDown(int from, int to, int first, int last, int step, unsigned frameMs) {
    const long long stride = static_cast<long long>(step) * StepFactor(fullScreen);
    for (long long v = from; stride > 0 && v >= to; v -= stride) {
        MarkFrameStart();
        SetRangeBrightness(first, last, static_cast<int>(v));
        WaitFrame(frameMs);
    }
    SetBrightness(to);
}
