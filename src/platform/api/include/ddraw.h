// DirectDraw, version-1 interfaces: the surfaces, flip chain, palette and clipper the game
// draws with. Method order, struct layouts and constant values are the real platform's.
#pragma once

#include <windows.h>

typedef struct _GUID {
    DWORD Data1;
    WORD Data2;
    WORD Data3;
    BYTE Data4[8];
} GUID;
typedef const GUID& REFIID;

struct IUnknown {
    virtual HRESULT QueryInterface(REFIID riid, LPVOID* ppvObj) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

  protected:
    ~IUnknown() = default;
};

struct IDirectDraw;
struct IDirectDrawSurface;
struct IDirectDrawPalette;
struct IDirectDrawClipper;
typedef IDirectDraw* LPDIRECTDRAW;
typedef IDirectDrawSurface* LPDIRECTDRAWSURFACE;
typedef IDirectDrawPalette* LPDIRECTDRAWPALETTE;
typedef IDirectDrawClipper* LPDIRECTDRAWCLIPPER;
typedef IUnknown* LPUNKNOWN;

// Records of calls the game never makes; declared so the interfaces keep their real shape.
struct _DDCAPS;
struct _DDBLTBATCH;
struct _DDOVERLAYFX;
struct _RGNDATA;
typedef struct _DDCAPS* LPDDCAPS;
typedef struct _DDBLTBATCH* LPDDBLTBATCH;
typedef struct _DDOVERLAYFX* LPDDOVERLAYFX;
typedef struct _RGNDATA* LPRGNDATA;

typedef struct _DDCOLORKEY {
    DWORD dwColorSpaceLowValue;
    DWORD dwColorSpaceHighValue;
} DDCOLORKEY, *LPDDCOLORKEY;

typedef struct _DDSCAPS {
    DWORD dwCaps;
} DDSCAPS, *LPDDSCAPS;

typedef struct _DDPIXELFORMAT {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwFourCC;
    union {
        DWORD dwRGBBitCount;
        DWORD dwYUVBitCount;
        DWORD dwZBufferBitDepth;
        DWORD dwAlphaBitDepth;
    };
    union {
        DWORD dwRBitMask;
        DWORD dwYBitMask;
    };
    union {
        DWORD dwGBitMask;
        DWORD dwUBitMask;
    };
    union {
        DWORD dwBBitMask;
        DWORD dwVBitMask;
    };
    union {
        DWORD dwRGBAlphaBitMask;
        DWORD dwYUVAlphaBitMask;
    };
} DDPIXELFORMAT, *LPDDPIXELFORMAT;

typedef struct _DDSURFACEDESC {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwHeight;
    DWORD dwWidth;
    union {
        LONG lPitch;
        DWORD dwLinearSize;
    };
    DWORD dwBackBufferCount;
    union {
        DWORD dwMipMapCount;
        DWORD dwZBufferBitDepth;
        DWORD dwRefreshRate;
    };
    DWORD dwAlphaBitDepth;
    DWORD dwReserved;
    LPVOID lpSurface;
    DDCOLORKEY ddckCKDestOverlay;
    DDCOLORKEY ddckCKDestBlt;
    DDCOLORKEY ddckCKSrcOverlay;
    DDCOLORKEY ddckCKSrcBlt;
    DDPIXELFORMAT ddpfPixelFormat;
    DDSCAPS ddsCaps;
} DDSURFACEDESC, *LPDDSURFACEDESC;

typedef struct _DDBLTFX {
    DWORD dwSize;
    DWORD dwDDFX;
    DWORD dwROP;
    DWORD dwDDROP;
    DWORD dwRotationAngle;
    DWORD dwZBufferOpCode;
    DWORD dwZBufferLow;
    DWORD dwZBufferHigh;
    DWORD dwZBufferBaseDest;
    DWORD dwZDestConstBitDepth;
    union {
        DWORD dwZDestConst;
        LPDIRECTDRAWSURFACE lpDDSZBufferDest;
    };
    DWORD dwZSrcConstBitDepth;
    union {
        DWORD dwZSrcConst;
        LPDIRECTDRAWSURFACE lpDDSZBufferSrc;
    };
    DWORD dwAlphaEdgeBlendBitDepth;
    DWORD dwAlphaEdgeBlend;
    DWORD dwReserved;
    DWORD dwAlphaDestConstBitDepth;
    union {
        DWORD dwAlphaDestConst;
        LPDIRECTDRAWSURFACE lpDDSAlphaDest;
    };
    DWORD dwAlphaSrcConstBitDepth;
    union {
        DWORD dwAlphaSrcConst;
        LPDIRECTDRAWSURFACE lpDDSAlphaSrc;
    };
    union {
        DWORD dwFillColor;
        DWORD dwFillDepth;
        DWORD dwFillPixel;
        LPDIRECTDRAWSURFACE lpDDSPattern;
    };
    DDCOLORKEY ddckDestColorkey;
    DDCOLORKEY ddckSrcColorkey;
} DDBLTFX, *LPDDBLTFX;

// On the 32-bit platform the game was made for these are the sizes it relies on; on a
// 64-bit build the pointers widen the records, and every size field is filled with sizeof.
#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(sizeof(DDSURFACEDESC) == 108);
static_assert(sizeof(DDBLTFX) == 100);
#endif
static_assert(sizeof(DDCOLORKEY) == 8 && sizeof(DDPIXELFORMAT) == 32);

typedef HRESULT(FAR* LPDDENUMMODESCALLBACK)(LPDDSURFACEDESC, LPVOID);
typedef HRESULT(FAR* LPDDENUMSURFACESCALLBACK)(LPDIRECTDRAWSURFACE, LPDDSURFACEDESC, LPVOID);

// Results.
#define _FACDD 0x876
#define MAKE_DDHRESULT(code) ((HRESULT)((1UL << 31) | (_FACDD << 16) | (code)))
#define DD_OK S_OK
#define DDERR_GENERIC E_FAIL
#define DDERR_INVALIDPARAMS E_INVALIDARG
#define DDERR_OUTOFMEMORY E_OUTOFMEMORY
#define DDERR_ALREADYINITIALIZED MAKE_DDHRESULT(5)
#define DDERR_CANNOTATTACHSURFACE MAKE_DDHRESULT(10)
#define DDERR_EXCEPTION MAKE_DDHRESULT(55)
#define DDERR_INVALIDCAPS MAKE_DDHRESULT(100)
#define DDERR_INVALIDMODE MAKE_DDHRESULT(120)
#define DDERR_INVALIDOBJECT MAKE_DDHRESULT(130)
#define DDERR_INVALIDPIXELFORMAT MAKE_DDHRESULT(145)
#define DDERR_INVALIDRECT MAKE_DDHRESULT(150)
#define DDERR_NOCLIPLIST MAKE_DDHRESULT(205)
#define DDERR_NOCOLORKEY MAKE_DDHRESULT(215)
#define DDERR_NOEXCLUSIVEMODE MAKE_DDHRESULT(225)
#define DDERR_NOFLIPHW MAKE_DDHRESULT(230)
#define DDERR_NOTFOUND MAKE_DDHRESULT(255)
#define DDERR_NOCOOPERATIVELEVELSET MAKE_DDHRESULT(212)
#define DDERR_NOPALETTEATTACHED MAKE_DDHRESULT(572)
#define DDERR_SURFACEBUSY MAKE_DDHRESULT(430)
#define DDERR_SURFACELOST MAKE_DDHRESULT(450)
#define DDERR_UNSUPPORTED E_NOTIMPL
#define DDERR_WASSTILLDRAWING MAKE_DDHRESULT(540)
#define DDERR_NOTFLIPPABLE MAKE_DDHRESULT(582)
#define DDERR_NOTLOCKED MAKE_DDHRESULT(584)
#define DDERR_NODIRECTDRAWHW MAKE_DDHRESULT(563)
#define DDERR_PRIMARYSURFACEALREADYEXISTS MAKE_DDHRESULT(564)
#define DDERR_BLTFASTCANTCLIP MAKE_DDHRESULT(574)
#define DDERR_CANTCREATEDC MAKE_DDHRESULT(585)
#define DDERR_NODC MAKE_DDHRESULT(586)
#define DDERR_WRONGMODE MAKE_DDHRESULT(587)
#define DDERR_NOHWND MAKE_DDHRESULT(569)
#define DDERR_HWNDALREADYSET MAKE_DDHRESULT(571)
#define DDERR_DCALREADYCREATED MAKE_DDHRESULT(620)
#define E_NOTIMPL ((HRESULT)0x80004001L)

// Cooperative levels.
#define DDSCL_FULLSCREEN 0x00000001L
#define DDSCL_ALLOWREBOOT 0x00000002L
#define DDSCL_NOWINDOWCHANGES 0x00000004L
#define DDSCL_NORMAL 0x00000008L
#define DDSCL_EXCLUSIVE 0x00000010L
#define DDSCL_ALLOWMODEX 0x00000040L

// Surface description flags and capabilities.
#define DDSD_CAPS 0x00000001L
#define DDSD_HEIGHT 0x00000002L
#define DDSD_WIDTH 0x00000004L
#define DDSD_PITCH 0x00000008L
#define DDSD_BACKBUFFERCOUNT 0x00000020L
#define DDSD_LPSURFACE 0x00000800L
#define DDSD_PIXELFORMAT 0x00001000L
#define DDSCAPS_BACKBUFFER 0x00000004L
#define DDSCAPS_COMPLEX 0x00000008L
#define DDSCAPS_FLIP 0x00000010L
#define DDSCAPS_FRONTBUFFER 0x00000020L
#define DDSCAPS_OFFSCREENPLAIN 0x00000040L
#define DDSCAPS_PALETTE 0x00000100L
#define DDSCAPS_PRIMARYSURFACE 0x00000200L
#define DDSCAPS_SYSTEMMEMORY 0x00000800L
#define DDSCAPS_VIDEOMEMORY 0x00004000L
#define DDSCAPS_MODEX 0x00200000L
#define DDPF_PALETTEINDEXED8 0x00000020L
#define DDPF_RGB 0x00000040L

// Blits, flips, locks, colour keys, palettes, vertical blank.
#define DDBLT_COLORFILL 0x00000400L
#define DDBLT_KEYSRC 0x00008000L
#define DDBLT_WAIT 0x01000000L
#define DDBLTFAST_NOCOLORKEY 0x00000000
#define DDBLTFAST_SRCCOLORKEY 0x00000001
#define DDBLTFAST_DESTCOLORKEY 0x00000002
#define DDBLTFAST_WAIT 0x00000010
#define DDFLIP_WAIT 0x00000001L
#define DDLOCK_SURFACEMEMORYPTR 0x00000000L
#define DDLOCK_WAIT 0x00000001L
#define DDCKEY_SRCBLT 0x00000008L
#define DDPCAPS_8BIT 0x00000004L
#define DDPCAPS_ALLOW256 0x00000040L
#define DDWAITVB_BLOCKBEGIN 0x00000001L

// Creates the DirectDraw object (lpGUID and pUnkOuter NULL). Fails when the host has no screen.
HRESULT WINAPI DirectDrawCreate(GUID FAR* lpGUID, LPDIRECTDRAW FAR* lplpDD,
                                IUnknown FAR* pUnkOuter);

struct IDirectDraw : IUnknown {
    virtual HRESULT Compact() = 0;
    virtual HRESULT CreateClipper(DWORD, LPDIRECTDRAWCLIPPER FAR*, IUnknown FAR*) = 0;
    virtual HRESULT CreatePalette(DWORD, LPPALETTEENTRY, LPDIRECTDRAWPALETTE FAR*,
                                  IUnknown FAR*) = 0;
    virtual HRESULT CreateSurface(LPDDSURFACEDESC, LPDIRECTDRAWSURFACE FAR*, IUnknown FAR*) = 0;
    virtual HRESULT DuplicateSurface(LPDIRECTDRAWSURFACE, LPDIRECTDRAWSURFACE FAR*) = 0;
    virtual HRESULT EnumDisplayModes(DWORD, LPDDSURFACEDESC, LPVOID, LPDDENUMMODESCALLBACK) = 0;
    virtual HRESULT EnumSurfaces(DWORD, LPDDSURFACEDESC, LPVOID, LPDDENUMSURFACESCALLBACK) = 0;
    virtual HRESULT FlipToGDISurface() = 0;
    virtual HRESULT GetCaps(LPDDCAPS, LPDDCAPS) = 0;
    virtual HRESULT GetDisplayMode(LPDDSURFACEDESC) = 0;
    virtual HRESULT GetFourCCCodes(LPDWORD, LPDWORD) = 0;
    virtual HRESULT GetGDISurface(LPDIRECTDRAWSURFACE FAR*) = 0;
    virtual HRESULT GetMonitorFrequency(LPDWORD) = 0;
    virtual HRESULT GetScanLine(LPDWORD) = 0;
    virtual HRESULT GetVerticalBlankStatus(BOOL*) = 0;
    virtual HRESULT Initialize(GUID FAR*) = 0;
    virtual HRESULT RestoreDisplayMode() = 0;
    virtual HRESULT SetCooperativeLevel(HWND, DWORD) = 0;
    virtual HRESULT SetDisplayMode(DWORD, DWORD, DWORD) = 0;
    virtual HRESULT WaitForVerticalBlank(DWORD, HANDLE) = 0;

  protected:
    ~IDirectDraw() = default;
};

struct IDirectDrawSurface : IUnknown {
    virtual HRESULT AddAttachedSurface(LPDIRECTDRAWSURFACE) = 0;
    virtual HRESULT AddOverlayDirtyRect(LPRECT) = 0;
    virtual HRESULT Blt(LPRECT, LPDIRECTDRAWSURFACE, LPRECT, DWORD, LPDDBLTFX) = 0;
    virtual HRESULT BltBatch(LPDDBLTBATCH, DWORD, DWORD) = 0;
    virtual HRESULT BltFast(DWORD, DWORD, LPDIRECTDRAWSURFACE, LPRECT, DWORD) = 0;
    virtual HRESULT DeleteAttachedSurface(DWORD, LPDIRECTDRAWSURFACE) = 0;
    virtual HRESULT EnumAttachedSurfaces(LPVOID, LPDDENUMSURFACESCALLBACK) = 0;
    virtual HRESULT EnumOverlayZOrders(DWORD, LPVOID, LPDDENUMSURFACESCALLBACK) = 0;
    virtual HRESULT Flip(LPDIRECTDRAWSURFACE, DWORD) = 0;
    virtual HRESULT GetAttachedSurface(LPDDSCAPS, LPDIRECTDRAWSURFACE FAR*) = 0;
    virtual HRESULT GetBltStatus(DWORD) = 0;
    virtual HRESULT GetCaps(LPDDSCAPS) = 0;
    virtual HRESULT GetClipper(LPDIRECTDRAWCLIPPER FAR*) = 0;
    virtual HRESULT GetColorKey(DWORD, LPDDCOLORKEY) = 0;
    virtual HRESULT GetDC(HDC FAR*) = 0;
    virtual HRESULT GetFlipStatus(DWORD) = 0;
    virtual HRESULT GetOverlayPosition(LPLONG, LPLONG) = 0;
    virtual HRESULT GetPalette(LPDIRECTDRAWPALETTE FAR*) = 0;
    virtual HRESULT GetPixelFormat(LPDDPIXELFORMAT) = 0;
    virtual HRESULT GetSurfaceDesc(LPDDSURFACEDESC) = 0;
    virtual HRESULT Initialize(LPDIRECTDRAW, LPDDSURFACEDESC) = 0;
    virtual HRESULT IsLost() = 0;
    virtual HRESULT Lock(LPRECT, LPDDSURFACEDESC, DWORD, HANDLE) = 0;
    virtual HRESULT ReleaseDC(HDC) = 0;
    virtual HRESULT Restore() = 0;
    virtual HRESULT SetClipper(LPDIRECTDRAWCLIPPER) = 0;
    virtual HRESULT SetColorKey(DWORD, LPDDCOLORKEY) = 0;
    virtual HRESULT SetOverlayPosition(LONG, LONG) = 0;
    virtual HRESULT SetPalette(LPDIRECTDRAWPALETTE) = 0;
    virtual HRESULT Unlock(LPVOID) = 0;
    virtual HRESULT UpdateOverlay(LPRECT, LPDIRECTDRAWSURFACE, LPRECT, DWORD, LPDDOVERLAYFX) = 0;
    virtual HRESULT UpdateOverlayDisplay(DWORD) = 0;
    virtual HRESULT UpdateOverlayZOrder(DWORD, LPDIRECTDRAWSURFACE) = 0;

  protected:
    ~IDirectDrawSurface() = default;
};

struct IDirectDrawPalette : IUnknown {
    virtual HRESULT GetCaps(LPDWORD) = 0;
    virtual HRESULT GetEntries(DWORD, DWORD, DWORD, LPPALETTEENTRY) = 0;
    virtual HRESULT Initialize(LPDIRECTDRAW, DWORD, LPPALETTEENTRY) = 0;
    virtual HRESULT SetEntries(DWORD, DWORD, DWORD, LPPALETTEENTRY) = 0;

  protected:
    ~IDirectDrawPalette() = default;
};

struct IDirectDrawClipper : IUnknown {
    virtual HRESULT GetClipList(LPRECT, LPRGNDATA, LPDWORD) = 0;
    virtual HRESULT GetHWnd(HWND FAR*) = 0;
    virtual HRESULT Initialize(LPDIRECTDRAW, DWORD) = 0;
    virtual HRESULT IsClipListChanged(BOOL FAR*) = 0;
    virtual HRESULT SetClipList(LPRGNDATA, DWORD) = 0;
    virtual HRESULT SetHWnd(DWORD, HWND) = 0;

  protected:
    ~IDirectDrawClipper() = default;
};
