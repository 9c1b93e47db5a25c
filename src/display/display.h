// The Display: the one drawing object. It owns DirectDraw, the ten surface slots with the
// recorded address and pitch of their pixels, the palette and, in windowed mode, the clipper.
#pragma once

#include <ddraw.h>
#include <windows.h>

// 0 the primary surface, 1 the back buffer every screen draws into, 2 to 9 off-screen
// surfaces of the display's size.
using SurfaceSlot = int;
constexpr int kSurfaceSlots = 10;

class Display {
  public:
    Display();

    // Takes the screen (fullScreen 1: exclusive, width × height × 8 with a flip chain) or shares
    // the desktop (0: clipper on the window), creates the slots, clears them and records their
    // memory. 1 on success, 0 when a DirectDraw call failed; a display mode that cannot be set
    // ends the program through QuitProgram.
    [[nodiscard]] int Initialize(HWND window, int width, int height, int fullScreen);
    // Releases what Initialize made; safe after a failed Initialize at any step.
    void Shutdown();
    // Shows slot 1: a flip in full screen (recorded addresses of slots 0 and 1 exchanged), a
    // clipped blit to the window's place on the desktop in windowed mode.
    void Present();
    // WindowOrigin = where the play area's top-left pixel lies on the screen ((0, 0) in full
    // screen).
    void UpdateWindowOrigin();
    // Waits for the beginning of a vertical blank.
    void WaitVSync();
    // Records the address and pitch of a slot's pixels (null and 0 when it cannot be locked).
    void GetSurfaceMemory(SurfaceSlot slot);
    // Fills the whole slot with palette index 0.
    void ClearSlot(SurfaceSlot slot);

    // Copies between slots. Flags go to BltFast unchanged: 0x10 opaque, 0x11 with the source
    // colour key. A rectangle that leaves either slot is refused and nothing changes.
    void Blit(int dx, int dy, int sx, int sy, int w, int h, SurfaceSlot dstSlot,
              SurfaceSlot srcSlot, DWORD flags);
    void BlitRect(int dx, int dy, RECT* source, SurfaceSlot dstSlot, SurfaceSlot srcSlot,
                  DWORD flags);
    // Clips a copy to the display area in place; true when nothing is left to copy.
    [[nodiscard]] bool ClipRect(int* dx, int* dy, int* sx, int* sy, int* w, int* h);
    // ClipRect, then Blit of what is left.
    void BlitClipped(int dx, int dy, int sx, int sy, int w, int h, SurfaceSlot dstSlot,
                     SurfaceSlot srcSlot, DWORD flags);
    void FillSlot(SurfaceSlot slot, DWORD colour);
    void ClearRect(SurfaceSlot slot, int x, int y, int w, int h);
    // One-pixel outline covering columns x..x+w and rows y..y+h.
    void FrameRect(SurfaceSlot slot, int x, int y, int w, int h, unsigned char colour);
    // Restores lost surfaces, clears slot 0 and presents.
    void RestoreSurfaces();

    // Pictures from the archive (assets/bitmap_loader.cpp). Unpacks `entry` of the archive file
    // `archive` to "tmp.bmp", loads its colour table as the palette when loadPalette is non-zero,
    // copies width x height from (srcX, srcY) of the picture to (destX, destY) of the slot and
    // removes "tmp.bmp". Archive errors and an unreadable picture end the program (FatalError).
    void LoadArchiveBitmap(const char* archive, const char* entry, int width, int height, int destX,
                           int destY, int srcX, int srcY, int loadPalette, SurfaceSlot slot);
    // Takes the 256 colours at byte 54 of a .bmp file as MasterPalette and WorkingPalette, hands
    // them to DisplayPalette (windowed: entries 10-245 from colours 0-235) and makes colour 1 the
    // source colour key of the slots. A file that cannot be opened changes nothing.
    void LoadPaletteFromBitmapFile(const char* path);
    // Copies a rectangle of a .bmp file into a slot through GDI, colours matched to the palette in
    // force. A file GDI cannot load ends the program with a message naming it.
    void CopyBitmapFileToSlot(const char* path, int width, int height, int destX, int destY,
                              int srcX, int srcY, SurfaceSlot slot);

    // Pixel effects through the recorded memory (GetSurfaceMemory), without locking. Nothing
    // is clipped: rectangles must lie inside the slots. A slot whose recorded address is null
    // (a failed lock) is neither read nor written.
    // Sets every pixel of the w × h block at (x, y) to `colour`.
    void FillBlock(SurfaceSlot slot, int x, int y, int w, int h, unsigned char colour);
    // Draws the w × h rectangle at (sx, sy) of srcSlot into dstSlot as squares of block × block
    // pixels, each taking the colour of its top-left source pixel; the last column and row of
    // squares are narrowed to the rectangle. Block 1 copies exactly; a block below 1 draws
    // nothing.
    void Mosaic(int dx, int dy, int sx, int sy, int w, int h, SurfaceSlot dstSlot,
                SurfaceSlot srcSlot, int block);
    // The palette index GDI picks for a colour, found by drawing it at pixel (0, 0) of the back
    // buffer; the pixel is put back afterwards. 0 when the back buffer has no recorded memory.
    [[nodiscard]] unsigned char ColorToIndex(COLORREF colour);
    // Digits and capitals from the 16 × 16 glyph strip at y 464 of slot 2, copied with the
    // source colour key; other bytes leave a gap of one glyph.
    void WriteGlyphs(SurfaceSlot slot, int x, int y, const char* text);

    // Palette: MasterPalette holds the colours as loaded, WorkingPalette what is shown. The
    // brightness operations compute WorkingPalette from MasterPalette (so they never accumulate),
    // leave entry 1 (the transparent colour) alone and end by handing the palette over.
    void SetPaletteEntry(int index, BYTE red, BYTE green, BYTE blue);
    void RestorePalette();
    // Hands WorkingPalette to DisplayPalette: all 256 entries in full screen; in windowed mode
    // its first 236 entries become entries 10..245 (the desktop keeps its static colours).
    void ApplyPalette();
    // Adds a signed offset to red, green and blue of entries first..last (held to 0..255).
    void SetRangeBrightness(int first, int last, int offset);
    void SetEntryBrightness(int index, int offset);
    // Waits for the vertical blank, then the offset on the whole palette.
    void SetBrightness(int offset);
    // Timed fades, one frameMs frame per step; steps are four times larger in windowed mode.
    // Each ends with SetBrightness(to) over the whole palette.
    void FadeUp(int from, int to, int step, unsigned frameMs);
    void FadeRangeUp(int from, int to, int first, int last, int step, unsigned frameMs);
    void FadeDown(int from, int to, int step, unsigned frameMs);
    void FadeRangeDown(int from, int to, int first, int last, int step, unsigned frameMs);

    // Draws width × height pixels of srcSlot from (srcX, srcY) into dstSlot, turned by `angle`
    // whole degrees (counter-clockwise) about the centre of the box at (dstX, dstY). Pixels of
    // value 1 are transparent; each source pixel is mapped forwards to one destination pixel.
    void RotateBlit(int dstX, int dstY, int srcX, int srcY, int width, int height, int angle,
                    SurfaceSlot dstSlot, SurfaceSlot srcSlot);

    // GDI text in the device context's default font and colours.
    void WriteText(SurfaceSlot slot, int x, int y, const char* text);
    // Text in a font made for the call, with an optional drop shadow in MasterPalette entry 0's
    // colour; x or y of -1 centres the text on centreX or centreY. Ends the program with "font"
    // when no font can be made.
    void DrawFontText(int x, int y, int centreX, int centreY, const char* text, int height,
                      int width, int weight, int shadow, COLORREF colour, unsigned italic,
                      const char* faceName, unsigned charSet, SurfaceSlot slot, int escapement);

    DDBLTFX clearFx;
    DDBLTFX fillFx;
    int width;
    int height;
    int fullScreen;
};

extern Display display;

extern IDirectDraw* DirectDrawObject;
extern IDirectDrawSurface* SurfaceTable[kSurfaceSlots];
extern unsigned char* SurfaceMemory[kSurfaceSlots];
extern int SurfacePitch[kSurfaceSlots];
extern IDirectDrawPalette* DisplayPalette;
extern IDirectDrawClipper* DisplayClipper;
// The colours as last loaded, and as last handed to DisplayPalette.
extern PALETTEENTRY MasterPalette[256];
extern PALETTEENTRY WorkingPalette[256];
// Screen position of the play area's top-left pixel.
extern POINT WindowOrigin;
