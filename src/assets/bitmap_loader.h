// The colour key's two surface operations, used by the palette load of the game's picture
// loading (the Display members live in display/display.h, their code in bitmap_loader.cpp).
#pragma once

#include <ddraw.h>
#include <windows.h>

// The pixel value `colour` (a COLORREF) becomes in `surface`: GDI draws it into the top-left
// pixel, which is read back from surface memory and then given its old colour again. With
// CLR_INVALID nothing is drawn and the pixel's present value is returned. 0xFFFFFFFF when the
// surface cannot be locked (or is null).
DWORD MatchSurfaceColor(IDirectDrawSurface* surface, COLORREF colour);
// Makes the pixel value of `colour` the surface's source colour key; the result of SetColorKey
// (DDERR_INVALIDOBJECT for a null surface).
HRESULT SetSurfaceColorKey(IDirectDrawSurface* surface, COLORREF colour);
