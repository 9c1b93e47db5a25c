// DirectDraw bitmap utilities: Windows bitmaps and their colour tables into DirectDraw objects.
// They work only on the interfaces they are given and touch no global state; the game itself
// loads its pictures through Display::LoadArchiveBitmap instead.
//
// A bitmap name is tried first as a bitmap resource of the program, then as a file path; the
// program carries no resources, so only files are found.
#pragma once

#include <ddraw.h>
#include <windows.h>

// A new off-screen surface holding the bitmap, scaled while it loads to width × height (0 = the
// bitmap's own width or height); null when the bitmap cannot be loaded or the surface made.
IDirectDrawSurface* LoadBitmapSurface(IDirectDraw* directDraw, LPCSTR name, int width, int height);
// Loads the bitmap again and stretches it over the whole surface: E_FAIL when it cannot be
// loaded, else CopyBitmapToSurface's result.
HRESULT ReloadBitmapSurface(IDirectDrawSurface* surface, LPCSTR name);
// Stretches the bitmap's rectangle (x, y, width, height; 0 = the bitmap's own width or height)
// over the whole surface. E_FAIL for a null surface or bitmap, else the result of the surface's
// GetDC (DD_OK when the copy was made).
HRESULT CopyBitmapToSurface(IDirectDrawSurface* surface, HBITMAP bitmap, int x, int y, int width,
                            int height);
// An 8-bit palette with the bitmap's colour table over a 3-3-2 colour cube; the cube alone for a
// null name or one that is neither a resource nor a readable file. Null only when DirectDraw
// cannot make the palette.
IDirectDrawPalette* CreatePaletteFromBitmap(IDirectDraw* directDraw, LPCSTR name);
