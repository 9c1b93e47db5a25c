// DirectDraw over plain memory: the flip chain, off-screen surfaces, palettes and clippers.
// Every surface holds one byte per pixel; its memory is allocated at creation and never moves.
// Whatever a call is given, it either works or fails with the code the real one would give.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <ddraw.h>

#include "faults.h"
#include "host.h"
#include "surface_dc.h"
#include "trace.h"
#include "user_internal.h"

namespace {

constexpr int kMaxSurfaceSide = 16384;
constexpr long long kMaxSurfaceBytes = 256LL << 20;

// The twenty colours a shared desktop keeps for itself.
constexpr PALETTEENTRY kStaticColours[20] = {
    {0, 0, 0, 0},       {128, 0, 0, 0},     {0, 128, 0, 0},     {128, 128, 0, 0},
    {0, 0, 128, 0},     {128, 0, 128, 0},   {0, 128, 128, 0},   {192, 192, 192, 0},
    {192, 220, 192, 0}, {166, 202, 240, 0}, {255, 251, 240, 0}, {160, 160, 164, 0},
    {128, 128, 128, 0}, {255, 0, 0, 0},     {0, 255, 0, 0},     {255, 255, 0, 0},
    {0, 0, 255, 0},     {255, 0, 255, 0},   {0, 255, 255, 0},   {255, 255, 255, 0}};

std::string Hex(DWORD value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", static_cast<unsigned>(value));
    return text;
}

// True when `r` is not empty and lies within a width × height surface.
bool FitsIn(const RECT& r, LONG width, LONG height) {
    return r.left >= 0 && r.top >= 0 && r.right <= width && r.bottom <= height &&
           r.left < r.right && r.top < r.bottom;
}

class DirectDraw;
class Surface;
class Palette;
class Clipper;

// The screen as the platform sees it.
struct Screen {
    Surface* primary = nullptr;       // the surface the screen shows
    DirectDraw* exclusive = nullptr;  // the object holding the screen exclusively, if any
    bool shared = false;              // the screen is shared with the desktop
    unsigned coloursGeneration = 1;
};
Screen screen;

void ScreenChanged(host::ScreenChange cause);

// Every DirectDraw object alive, so that tests can put the platform back between cases. Rank
// orders their release: surfaces hold palettes, clippers and back buffers, so they go first.
class LiveObject {
  public:
    virtual ~LiveObject() = default;
    virtual void ForceRelease() = 0;
    virtual int Rank() const = 0;
};

std::set<LiveObject*>& LiveObjects() {
    static std::set<LiveObject*> objects;
    return objects;
}

template <class Interface, int kRank>
class RefCounted : public Interface, public LiveObject {
  public:
    RefCounted() { LiveObjects().insert(this); }
    ~RefCounted() override { LiveObjects().erase(this); }
    void ForceRelease() override {
        references_ = 1;
        Release();
    }
    int Rank() const override { return kRank; }

    HRESULT QueryInterface(REFIID, LPVOID* out) override {
        if (out) *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++references_; }
    ULONG Release() override {
        if (references_ == 0) return 0;
        ULONG left = --references_;
        if (left == 0) Destroy();
        return left;
    }

  protected:
    virtual void Destroy() = 0;
    ULONG references_ = 1;
};

class Palette final : public RefCounted<IDirectDrawPalette, 1> {
  public:
    Palette(DWORD caps, const PALETTEENTRY* entries) : caps_(caps) {
        std::memcpy(entries_, entries, sizeof entries_);
    }
    HRESULT GetCaps(LPDWORD caps) override {
        if (!caps) return DDERR_INVALIDPARAMS;
        *caps = caps_;
        return DD_OK;
    }
    HRESULT GetEntries(DWORD flags, DWORD start, DWORD count, LPPALETTEENTRY out) override {
        if (flags != 0 || !out || start > 256 || count > 256 - start) return DDERR_INVALIDPARAMS;
        std::memcpy(out, entries_ + start, count * sizeof(PALETTEENTRY));
        return DD_OK;
    }
    HRESULT Initialize(LPDIRECTDRAW, DWORD, LPPALETTEENTRY) override {
        return DDERR_ALREADYINITIALIZED;
    }
    HRESULT SetEntries(DWORD flags, DWORD start, DWORD count, LPPALETTEENTRY in) override;

    const PALETTEENTRY* Entries() const { return entries_; }
    int attachments = 0;  // surfaces this palette is attached to

  protected:
    void Destroy() override { delete this; }

  private:
    DWORD caps_;
    PALETTEENTRY entries_[256];
};

class Clipper final : public RefCounted<IDirectDrawClipper, 1> {
  public:
    HRESULT GetClipList(LPRECT, LPRGNDATA, LPDWORD) override { return DDERR_UNSUPPORTED; }
    HRESULT GetHWnd(HWND* out) override {
        if (!out) return DDERR_INVALIDPARAMS;
        *out = window_;
        return DD_OK;
    }
    HRESULT Initialize(LPDIRECTDRAW, DWORD) override { return DDERR_ALREADYINITIALIZED; }
    HRESULT IsClipListChanged(BOOL* out) override {
        if (!out) return DDERR_INVALIDPARAMS;
        *out = FALSE;
        return DD_OK;
    }
    HRESULT SetClipList(LPRGNDATA, DWORD) override { return DDERR_UNSUPPORTED; }
    HRESULT SetHWnd(DWORD flags, HWND window) override {
        if (platform::ShouldFail("SetHWnd")) return DDERR_GENERIC;
        if (flags != 0 || (window != nullptr && !platform::IsLiveWindow(window))) {
            return DDERR_INVALIDPARAMS;
        }
        window_ = window;
        platform::Trace("SetHWnd");
        return DD_OK;
    }
    // The region blits through this clipper may touch, in screen coordinates. False when the
    // clipper has no window.
    bool Region(RECT& out) const { return platform::WindowClientRect(window_, &out); }

  protected:
    void Destroy() override { delete this; }

  private:
    HWND window_ = nullptr;
};

class Surface final : public RefCounted<IDirectDrawSurface, 0> {
  public:
    Surface(int width, int height, DWORD caps) : width_(width), height_(height), caps_(caps) {
        pitch_ = (width + 3) & ~3;
        buffer_.reset(new std::uint8_t[static_cast<std::size_t>(pitch_) * height]());
    }

    // IDirectDrawSurface
    HRESULT AddAttachedSurface(LPDIRECTDRAWSURFACE) override { return DDERR_UNSUPPORTED; }
    HRESULT AddOverlayDirtyRect(LPRECT) override { return DDERR_UNSUPPORTED; }
    HRESULT Blt(LPRECT dest, LPDIRECTDRAWSURFACE source, LPRECT sourceRect, DWORD flags,
                LPDDBLTFX fx) override;
    HRESULT BltBatch(LPDDBLTBATCH, DWORD, DWORD) override { return DDERR_UNSUPPORTED; }
    HRESULT BltFast(DWORD x, DWORD y, LPDIRECTDRAWSURFACE source, LPRECT sourceRect,
                    DWORD flags) override;
    HRESULT DeleteAttachedSurface(DWORD, LPDIRECTDRAWSURFACE) override { return DDERR_UNSUPPORTED; }
    HRESULT EnumAttachedSurfaces(LPVOID, LPDDENUMSURFACESCALLBACK) override {
        return DDERR_UNSUPPORTED;
    }
    HRESULT EnumOverlayZOrders(DWORD, LPVOID, LPDDENUMSURFACESCALLBACK) override {
        return DDERR_UNSUPPORTED;
    }
    HRESULT Flip(LPDIRECTDRAWSURFACE target, DWORD flags) override;
    HRESULT GetAttachedSurface(LPDDSCAPS caps, LPDIRECTDRAWSURFACE* out) override;
    HRESULT GetBltStatus(DWORD) override { return DD_OK; }
    HRESULT GetCaps(LPDDSCAPS caps) override {
        if (!caps) return DDERR_INVALIDPARAMS;
        caps->dwCaps = caps_;
        return DD_OK;
    }
    HRESULT GetClipper(LPDIRECTDRAWCLIPPER* out) override {
        if (!out) return DDERR_INVALIDPARAMS;
        if (!clipper_) return DDERR_NOCLIPLIST;
        clipper_->AddRef();
        *out = clipper_;
        return DD_OK;
    }
    HRESULT GetColorKey(DWORD flags, LPDDCOLORKEY key) override {
        if (!key || flags != DDCKEY_SRCBLT) return DDERR_INVALIDPARAMS;
        if (!hasSourceKey_) return DDERR_NOCOLORKEY;
        *key = sourceKey_;
        return DD_OK;
    }
    HRESULT GetDC(HDC* out) override;
    HRESULT GetFlipStatus(DWORD) override { return DD_OK; }
    HRESULT GetOverlayPosition(LPLONG, LPLONG) override { return DDERR_UNSUPPORTED; }
    HRESULT GetPalette(LPDIRECTDRAWPALETTE* out) override {
        if (!out) return DDERR_INVALIDPARAMS;
        if (!palette_) return DDERR_NOPALETTEATTACHED;
        palette_->AddRef();
        *out = palette_;
        return DD_OK;
    }
    HRESULT GetPixelFormat(LPDDPIXELFORMAT format) override {
        if (!format) return DDERR_INVALIDPARAMS;
        DescribeFormat(*format);
        return DD_OK;
    }
    HRESULT GetSurfaceDesc(LPDDSURFACEDESC desc) override {
        if (!desc || desc->dwSize != sizeof(DDSURFACEDESC)) return DDERR_INVALIDPARAMS;
        Describe(*desc, nullptr);
        return DD_OK;
    }
    HRESULT Initialize(LPDIRECTDRAW, LPDDSURFACEDESC) override { return DDERR_ALREADYINITIALIZED; }
    HRESULT IsLost() override { return DD_OK; }
    HRESULT Lock(LPRECT rect, LPDDSURFACEDESC desc, DWORD flags, HANDLE event) override;
    HRESULT ReleaseDC(HDC dc) override;
    HRESULT Restore() override { return DD_OK; }
    HRESULT SetClipper(LPDIRECTDRAWCLIPPER clipper) override;
    HRESULT SetColorKey(DWORD flags, LPDDCOLORKEY key) override;
    HRESULT SetOverlayPosition(LONG, LONG) override { return DDERR_UNSUPPORTED; }
    HRESULT SetPalette(LPDIRECTDRAWPALETTE palette) override;
    HRESULT Unlock(LPVOID address) override;
    HRESULT UpdateOverlay(LPRECT, LPDIRECTDRAWSURFACE, LPRECT, DWORD, LPDDOVERLAYFX) override {
        return DDERR_UNSUPPORTED;
    }
    HRESULT UpdateOverlayDisplay(DWORD) override { return DDERR_UNSUPPORTED; }
    HRESULT UpdateOverlayZOrder(DWORD, LPDIRECTDRAWSURFACE) override { return DDERR_UNSUPPORTED; }

    // The platform's own view.
    std::uint8_t* Pixels() const { return buffer_.get(); }
    int Width() const { return width_; }
    int Height() const { return height_; }
    int Pitch() const { return pitch_; }
    bool IsPrimary() const { return (caps_ & DDSCAPS_PRIMARYSURFACE) != 0; }
    const Palette* AttachedPalette() const { return palette_; }
    const Clipper* AttachedClipper() const { return clipper_; }
    void AttachBackBuffer(Surface* back) {
        back_ = back;
        back->front_ = this;
    }

  protected:
    void Destroy() override;

  private:
    void DescribeFormat(DDPIXELFORMAT& format) const {
        std::memset(&format, 0, sizeof format);
        format.dwSize = sizeof format;
        format.dwFlags = DDPF_PALETTEINDEXED8 | DDPF_RGB;
        format.dwRGBBitCount = 8;
    }
    void Describe(DDSURFACEDESC& desc, std::uint8_t* memory) const {
        DWORD size = desc.dwSize;
        std::memset(&desc, 0, sizeof desc);
        desc.dwSize = size;
        desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PITCH | DDSD_PIXELFORMAT;
        desc.dwWidth = static_cast<DWORD>(width_);
        desc.dwHeight = static_cast<DWORD>(height_);
        desc.lPitch = pitch_;
        desc.ddsCaps.dwCaps = caps_;
        if (back_) desc.dwBackBufferCount = 1;
        if (hasSourceKey_) desc.ddckCKSrcBlt = sourceKey_;
        DescribeFormat(desc.ddpfPixelFormat);
        if (memory) {
            desc.dwFlags |= DDSD_LPSURFACE;
            desc.lpSurface = memory;
        }
    }
    bool Busy() const { return locked_ || dc_ != nullptr; }
    bool Keyed(std::uint8_t pixel) const {
        return pixel >= sourceKey_.dwColorSpaceLowValue &&
               pixel <= sourceKey_.dwColorSpaceHighValue;
    }
    void Changed() {
        if (screen.primary == this) ScreenChanged(host::ScreenChange::Blit);
    }

    int width_, height_, pitch_;
    DWORD caps_;
    std::unique_ptr<std::uint8_t[]> buffer_;
    Surface* back_ = nullptr;   // front of a flip chain: its back buffer (owned)
    Surface* front_ = nullptr;  // back buffer: the front it belongs to
    Palette* palette_ = nullptr;
    Clipper* clipper_ = nullptr;
    bool hasSourceKey_ = false;
    DDCOLORKEY sourceKey_{};
    bool locked_ = false;
    HDC dc_ = nullptr;
};

class DirectDraw final : public RefCounted<IDirectDraw, 2> {
  public:
    HRESULT Compact() override { return DD_OK; }
    HRESULT CreateClipper(DWORD flags, LPDIRECTDRAWCLIPPER* out, IUnknown* outer) override;
    HRESULT CreatePalette(DWORD caps, LPPALETTEENTRY entries, LPDIRECTDRAWPALETTE* out,
                          IUnknown* outer) override;
    HRESULT CreateSurface(LPDDSURFACEDESC desc, LPDIRECTDRAWSURFACE* out, IUnknown* outer) override;
    HRESULT DuplicateSurface(LPDIRECTDRAWSURFACE, LPDIRECTDRAWSURFACE*) override {
        return DDERR_UNSUPPORTED;
    }
    HRESULT EnumDisplayModes(DWORD, LPDDSURFACEDESC, LPVOID, LPDDENUMMODESCALLBACK) override {
        return DDERR_UNSUPPORTED;
    }
    HRESULT EnumSurfaces(DWORD, LPDDSURFACEDESC, LPVOID, LPDDENUMSURFACESCALLBACK) override {
        return DDERR_UNSUPPORTED;
    }
    HRESULT FlipToGDISurface() override { return DD_OK; }
    HRESULT GetCaps(LPDDCAPS, LPDDCAPS) override { return DDERR_UNSUPPORTED; }
    HRESULT GetDisplayMode(LPDDSURFACEDESC desc) override {
        if (!desc || desc->dwSize != sizeof(DDSURFACEDESC)) return DDERR_INVALIDPARAMS;
        int width, height;
        platform::ScreenSize(width, height);
        desc->dwFlags = DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT;
        desc->dwWidth = static_cast<DWORD>(width);
        desc->dwHeight = static_cast<DWORD>(height);
        desc->ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
        desc->ddpfPixelFormat.dwFlags = DDPF_PALETTEINDEXED8 | DDPF_RGB;
        desc->ddpfPixelFormat.dwRGBBitCount = 8;
        return DD_OK;
    }
    HRESULT GetFourCCCodes(LPDWORD, LPDWORD) override { return DDERR_UNSUPPORTED; }
    HRESULT GetGDISurface(LPDIRECTDRAWSURFACE*) override { return DDERR_NOTFOUND; }
    HRESULT GetMonitorFrequency(LPDWORD out) override {
        if (!out) return DDERR_INVALIDPARAMS;
        *out = 60;
        return DD_OK;
    }
    HRESULT GetScanLine(LPDWORD) override { return DDERR_UNSUPPORTED; }
    HRESULT GetVerticalBlankStatus(BOOL* out) override {
        if (!out) return DDERR_INVALIDPARAMS;
        *out = FALSE;
        return DD_OK;
    }
    HRESULT Initialize(GUID*) override { return DDERR_ALREADYINITIALIZED; }
    HRESULT RestoreDisplayMode() override {
        if (modeSet_) {
            platform::SetScreenMode(0, 0);
            modeSet_ = false;
        }
        return DD_OK;
    }
    HRESULT SetCooperativeLevel(HWND window, DWORD flags) override;
    HRESULT SetDisplayMode(DWORD width, DWORD height, DWORD bits) override;
    HRESULT WaitForVerticalBlank(DWORD flags, HANDLE event) override {
        (void)event;
        if (flags != DDWAITVB_BLOCKBEGIN && flags != 4 /* DDWAITVB_BLOCKEND */) {
            return DDERR_INVALIDPARAMS;
        }
        // The host shows every change of the screen at once; there is no beam to wait for.
        return DD_OK;
    }

  protected:
    void Destroy() override {
        if (screen.exclusive == this) {
            screen.exclusive = nullptr;
            screen.shared = true;
        }
        RestoreDisplayMode();
        delete this;
    }

  private:
    DWORD level_ = 0;
    HWND window_ = nullptr;
    bool modeSet_ = false;
    friend class Surface;
};

// --- the screen ---------------------------------------------------------------------------------

void ScreenChanged(host::ScreenChange cause) {
    Surface* primary = screen.primary;
    if (primary == nullptr) return;
    PALETTEENTRY entries[256];
    platform::ColoursInForce(entries);
    host::Rgb colours[256];
    for (int i = 0; i < 256; ++i)
        colours[i] = {entries[i].peRed, entries[i].peGreen, entries[i].peBlue};

    host::ScreenImage image;
    image.colours = colours;
    image.pitch = primary->Pitch();
    RECT area{0, 0, primary->Width(), primary->Height()};
    if (screen.shared) {
        // The screen is the desktop; what the program shows is its window's client area.
        const Clipper* clipper = primary->AttachedClipper();
        RECT client;
        if (!clipper || !clipper->Region(client)) return;
        area.left = std::max(area.left, client.left);
        area.top = std::max(area.top, client.top);
        area.right = std::min(area.right, client.right);
        area.bottom = std::min(area.bottom, client.bottom);
        if (area.right <= area.left || area.bottom <= area.top) return;
    }
    image.pixels = primary->Pixels() + static_cast<long>(area.top) * primary->Pitch() + area.left;
    image.width = area.right - area.left;
    image.height = area.bottom - area.top;
    host::Current().ShowScreen(image, cause);
}

HRESULT Palette::SetEntries(DWORD flags, DWORD start, DWORD count, LPPALETTEENTRY in) {
    if (flags != 0 || !in || start > 256 || count > 256 - start) return DDERR_INVALIDPARAMS;
    std::memcpy(entries_ + start, in, count * sizeof(PALETTEENTRY));
    platform::Trace("SetEntries " + std::to_string(start) + " " + std::to_string(count));
    if (screen.primary && screen.primary->AttachedPalette() == this) {
        ++screen.coloursGeneration;
        ScreenChanged(host::ScreenChange::Palette);
    }
    return DD_OK;
}

// --- surfaces -----------------------------------------------------------------------------------

void Surface::Destroy() {
    if (screen.primary == this) {
        screen.primary = nullptr;
        ++screen.coloursGeneration;
    }
    if (palette_) {
        --palette_->attachments;
        palette_->Release();
    }
    if (clipper_) clipper_->Release();
    if (dc_) platform::DestroySurfaceDC(dc_);
    if (back_) {
        back_->front_ = nullptr;
        back_->Release();
    }
    if (front_) front_->back_ = nullptr;
    delete this;
}

HRESULT Surface::Blt(LPRECT destRect, LPDIRECTDRAWSURFACE sourceInterface, LPRECT sourceRect,
                     DWORD flags, LPDDBLTFX fx) {
    if (Busy()) return DDERR_SURFACEBUSY;
    RECT dest = destRect ? *destRect : RECT{0, 0, width_, height_};
    if (dest.left >= dest.right || dest.top >= dest.bottom) return DDERR_INVALIDRECT;

    // The part of the surface the blit may touch: all of it, or what the clipper lets through.
    RECT limit{0, 0, width_, height_};
    if (clipper_) {
        RECT region;
        if (clipper_->Region(region)) {
            limit.left = std::max(limit.left, region.left);
            limit.top = std::max(limit.top, region.top);
            limit.right = std::min(limit.right, region.right);
            limit.bottom = std::min(limit.bottom, region.bottom);
        }
    } else if (!FitsIn(dest, width_, height_)) {
        return DDERR_INVALIDRECT;
    }
    RECT visible{std::max(dest.left, limit.left), std::max(dest.top, limit.top),
                 std::min(dest.right, limit.right), std::min(dest.bottom, limit.bottom)};
    const bool anything = visible.left < visible.right && visible.top < visible.bottom;

    if (flags & DDBLT_COLORFILL) {
        if (!fx || fx->dwSize != sizeof(DDBLTFX)) return DDERR_INVALIDPARAMS;
        if (anything) {
            auto value = static_cast<std::uint8_t>(fx->dwFillColor);
            for (LONG y = visible.top; y < visible.bottom; ++y) {
                std::memset(buffer_.get() + static_cast<long>(y) * pitch_ + visible.left, value,
                            static_cast<std::size_t>(visible.right - visible.left));
            }
            Changed();
        }
        return DD_OK;
    }

    auto* source = static_cast<Surface*>(sourceInterface);
    if (!source) return DDERR_INVALIDPARAMS;
    if (source != this && source->Busy()) return DDERR_SURFACEBUSY;
    const RECT src = sourceRect ? *sourceRect : RECT{0, 0, source->width_, source->height_};
    if (!FitsIn(src, source->width_, source->height_)) return DDERR_INVALIDRECT;
    const bool keyed = (flags & DDBLT_KEYSRC) != 0;
    if (keyed && !source->hasSourceKey_) return DDERR_NOCOLORKEY;
    if (!anything) return DD_OK;

    // Copy through a snapshot of the source rectangle, so a surface can be blitted onto itself.
    const long srcW = src.right - src.left, srcH = src.bottom - src.top;
    std::vector<std::uint8_t> snapshot(static_cast<std::size_t>(srcW * srcH));
    for (long y = 0; y < srcH; ++y) {
        std::memcpy(snapshot.data() + y * srcW,
                    source->buffer_.get() + (src.top + y) * source->pitch_ + src.left,
                    static_cast<std::size_t>(srcW));
    }
    // In 64 bits: a destination from near INT_MIN to near INT_MAX is wider than a LONG holds.
    const long long dstW = static_cast<long long>(dest.right) - dest.left;
    const long long dstH = static_cast<long long>(dest.bottom) - dest.top;
    for (LONG y = visible.top; y < visible.bottom; ++y) {
        const long long sy = (static_cast<long long>(y) - dest.top) * srcH / dstH;
        std::uint8_t* out = buffer_.get() + static_cast<long>(y) * pitch_;
        for (LONG x = visible.left; x < visible.right; ++x) {
            const long long sx = (static_cast<long long>(x) - dest.left) * srcW / dstW;
            std::uint8_t pixel = snapshot[static_cast<std::size_t>(sy * srcW + sx)];
            if (keyed && source->Keyed(pixel)) continue;
            out[x] = pixel;
        }
    }
    Changed();
    return DD_OK;
}

HRESULT Surface::BltFast(DWORD x, DWORD y, LPDIRECTDRAWSURFACE sourceInterface, LPRECT sourceRect,
                         DWORD flags) {
    auto* source = static_cast<Surface*>(sourceInterface);
    if (!source) return DDERR_INVALIDPARAMS;
    if (clipper_) return DDERR_BLTFASTCANTCLIP;
    if (Busy() || (source != this && source->Busy())) return DDERR_SURFACEBUSY;
    const RECT src = sourceRect ? *sourceRect : RECT{0, 0, source->width_, source->height_};
    if (!FitsIn(src, source->width_, source->height_)) return DDERR_INVALIDRECT;
    const long w = src.right - src.left, h = src.bottom - src.top;
    if (x > static_cast<DWORD>(width_) || y > static_cast<DWORD>(height_) ||
        static_cast<long>(x) + w > width_ || static_cast<long>(y) + h > height_) {
        return DDERR_INVALIDRECT;
    }
    const bool keyed = (flags & DDBLTFAST_SRCCOLORKEY) != 0;
    if (keyed && !source->hasSourceKey_) return DDERR_NOCOLORKEY;

    // Rows go in the order that keeps an overlapping copy within one surface correct.
    const bool upwards = source == this && static_cast<long>(y) > src.top;
    for (long i = 0; i < h; ++i) {
        long row = upwards ? h - 1 - i : i;
        const std::uint8_t* in =
            source->buffer_.get() + (src.top + row) * source->pitch_ + src.left;
        std::uint8_t* out = buffer_.get() + (static_cast<long>(y) + row) * pitch_ + x;
        if (!keyed) {
            std::memmove(out, in, static_cast<std::size_t>(w));
        } else if (source != this) {
            for (long c = 0; c < w; ++c) {
                if (!source->Keyed(in[c])) out[c] = in[c];
            }
        } else {
            std::vector<std::uint8_t> copy(in, in + w);
            for (long c = 0; c < w; ++c) {
                if (!Keyed(copy[static_cast<std::size_t>(c)]))
                    out[c] = copy[static_cast<std::size_t>(c)];
            }
        }
    }
    Changed();
    return DD_OK;
}

HRESULT Surface::Flip(LPDIRECTDRAWSURFACE target, DWORD flags) {
    (void)flags;
    if (!back_) return DDERR_NOTFLIPPABLE;
    if (target != nullptr && target != back_) return DDERR_INVALIDPARAMS;
    if (Busy() || back_->Busy()) return DDERR_SURFACEBUSY;
    // Exchange the memory behind the front and the back buffer, as the hardware does.
    std::swap(buffer_, back_->buffer_);
    if (screen.primary == this) ScreenChanged(host::ScreenChange::Flip);
    return DD_OK;
}

HRESULT Surface::GetAttachedSurface(LPDDSCAPS caps, LPDIRECTDRAWSURFACE* out) {
    if (!caps || !out) return DDERR_INVALIDPARAMS;
    if (back_ && (caps->dwCaps & ~(DDSCAPS_BACKBUFFER | DDSCAPS_FLIP)) == 0 &&
        (caps->dwCaps & DDSCAPS_BACKBUFFER)) {
        back_->AddRef();
        *out = back_;
        platform::Trace("GetAttachedSurface backbuffer");
        return DD_OK;
    }
    return DDERR_NOTFOUND;
}

HRESULT Surface::GetDC(HDC* out) {
    if (!out) return DDERR_INVALIDPARAMS;
    if (platform::ShouldFail("GetDC")) return DDERR_CANTCREATEDC;
    if (dc_) return DDERR_DCALREADYCREATED;
    if (locked_) return DDERR_SURFACEBUSY;
    dc_ = platform::CreateSurfaceDC({buffer_.get(), width_, height_, pitch_});
    if (!dc_) return DDERR_CANTCREATEDC;
    *out = dc_;
    return DD_OK;
}

HRESULT Surface::ReleaseDC(HDC dc) {
    if (!dc_ || dc != dc_) return DDERR_NODC;
    platform::DestroySurfaceDC(dc_);
    dc_ = nullptr;
    Changed();
    return DD_OK;
}

HRESULT Surface::Lock(LPRECT rect, LPDDSURFACEDESC desc, DWORD flags, HANDLE event) {
    (void)flags, (void)event;
    if (!desc || desc->dwSize != sizeof(DDSURFACEDESC)) return DDERR_INVALIDPARAMS;
    if (platform::ShouldFail("Lock")) return DDERR_SURFACELOST;
    if (Busy()) return DDERR_SURFACEBUSY;
    std::uint8_t* memory = buffer_.get();
    if (rect) {
        if (!FitsIn(*rect, width_, height_)) return DDERR_INVALIDRECT;
        memory += static_cast<long>(rect->top) * pitch_ + rect->left;
    }
    Describe(*desc, memory);
    locked_ = true;
    return DD_OK;
}

HRESULT Surface::Unlock(LPVOID address) {
    (void)address;
    if (!locked_) return DDERR_NOTLOCKED;
    locked_ = false;
    Changed();
    return DD_OK;
}

HRESULT Surface::SetClipper(LPDIRECTDRAWCLIPPER clipperInterface) {
    if (platform::ShouldFail("SetClipper")) return DDERR_GENERIC;
    auto* clipper = static_cast<Clipper*>(clipperInterface);
    if (clipper) clipper->AddRef();
    if (clipper_) clipper_->Release();
    clipper_ = clipper;
    platform::Trace(clipper ? "SetClipper" : "SetClipper none");
    if (clipper) Changed();
    return DD_OK;
}

HRESULT Surface::SetColorKey(DWORD flags, LPDDCOLORKEY key) {
    if (flags != DDCKEY_SRCBLT) return DDERR_INVALIDPARAMS;
    if (platform::ShouldFail("SetColorKey")) return DDERR_GENERIC;
    hasSourceKey_ = key != nullptr;
    if (key) sourceKey_ = *key;
    platform::Trace("SetColorKey " + (key ? Hex(key->dwColorSpaceLowValue) : std::string("none")));
    return DD_OK;
}

HRESULT Surface::SetPalette(LPDIRECTDRAWPALETTE paletteInterface) {
    if (platform::ShouldFail("SetPalette")) return DDERR_GENERIC;
    auto* palette = static_cast<Palette*>(paletteInterface);
    if (palette) {
        palette->AddRef();
        ++palette->attachments;
    }
    if (palette_) {
        --palette_->attachments;
        palette_->Release();
    }
    palette_ = palette;
    platform::Trace(palette ? "SetPalette" : "SetPalette none");
    if (screen.primary == this) {
        ++screen.coloursGeneration;
        ScreenChanged(host::ScreenChange::Palette);
    }
    return DD_OK;
}

// --- the DirectDraw object ----------------------------------------------------------------------

HRESULT DirectDraw::SetCooperativeLevel(HWND window, DWORD flags) {
    platform::Trace("SetCooperativeLevel " + Hex(flags));
    if (platform::ShouldFail("SetCooperativeLevel")) return DDERR_GENERIC;
    const bool exclusive = (flags & DDSCL_EXCLUSIVE) != 0;
    const bool fullScreen = (flags & DDSCL_FULLSCREEN) != 0;
    const bool normal = (flags & DDSCL_NORMAL) != 0;
    if (exclusive != fullScreen || (normal && exclusive) || (!normal && !exclusive)) {
        return DDERR_INVALIDPARAMS;
    }
    if (exclusive && !platform::IsLiveWindow(window)) return DDERR_INVALIDPARAMS;
    if (exclusive && screen.exclusive && screen.exclusive != this) return DDERR_NOEXCLUSIVEMODE;
    level_ = flags;
    window_ = window;
    if (exclusive) {
        screen.exclusive = this;
        screen.shared = false;
    } else {
        if (screen.exclusive == this) screen.exclusive = nullptr;
        screen.shared = true;
    }
    ++screen.coloursGeneration;
    return DD_OK;
}

HRESULT DirectDraw::SetDisplayMode(DWORD width, DWORD height, DWORD bits) {
    platform::Trace("SetDisplayMode " + std::to_string(width) + "x" + std::to_string(height) + "x" +
                    std::to_string(bits));
    if (platform::ShouldFail("SetDisplayMode")) return DDERR_INVALIDMODE;
    if (screen.exclusive != this) return DDERR_NOEXCLUSIVEMODE;
    if (bits != 8 || width == 0 || height == 0 || width > 4096 || height > 4096) {
        return DDERR_INVALIDMODE;
    }
    if (!host::Current().SetFullScreenMode()) return DDERR_INVALIDMODE;
    platform::SetScreenMode(static_cast<int>(width), static_cast<int>(height));
    modeSet_ = true;
    return DD_OK;
}

HRESULT DirectDraw::CreateClipper(DWORD flags, LPDIRECTDRAWCLIPPER* out, IUnknown* outer) {
    if (!out || outer || flags != 0) return DDERR_INVALIDPARAMS;
    if (platform::ShouldFail("CreateClipper")) return DDERR_OUTOFMEMORY;
    *out = new Clipper();
    platform::Trace("CreateClipper");
    return DD_OK;
}

HRESULT DirectDraw::CreatePalette(DWORD caps, LPPALETTEENTRY entries, LPDIRECTDRAWPALETTE* out,
                                  IUnknown* outer) {
    platform::Trace("CreatePalette " + Hex(caps));
    if (!out || outer || !entries) return DDERR_INVALIDPARAMS;
    if (!(caps & DDPCAPS_8BIT)) return DDERR_INVALIDPARAMS;  // only 8-bit palettes exist here
    if (platform::ShouldFail("CreatePalette")) return DDERR_OUTOFMEMORY;
    *out = new Palette(caps, entries);
    return DD_OK;
}

HRESULT DirectDraw::CreateSurface(LPDDSURFACEDESC desc, LPDIRECTDRAWSURFACE* out, IUnknown* outer) {
    if (!desc || !out || outer || desc->dwSize != sizeof(DDSURFACEDESC)) return DDERR_INVALIDPARAMS;
    if (!(desc->dwFlags & DDSD_CAPS)) return DDERR_INVALIDPARAMS;
    const DWORD caps = desc->ddsCaps.dwCaps;
    if ((desc->dwFlags & DDSD_PIXELFORMAT) && desc->ddpfPixelFormat.dwRGBBitCount != 8) {
        return DDERR_INVALIDPIXELFORMAT;
    }
    if (level_ == 0) return DDERR_NOCOOPERATIVELEVELSET;

    if (caps & DDSCAPS_PRIMARYSURFACE) {
        const bool flip = (caps & DDSCAPS_FLIP) != 0;
        platform::Trace(std::string("CreateSurface primary") +
                        (flip ? " backbuffers=" + std::to_string(desc->dwBackBufferCount) : ""));
        if (desc->dwFlags & (DDSD_WIDTH | DDSD_HEIGHT)) return DDERR_INVALIDPARAMS;
        if (screen.primary) return DDERR_PRIMARYSURFACEALREADYEXISTS;
        if (flip) {
            if (!(level_ & DDSCL_EXCLUSIVE)) return DDERR_NOEXCLUSIVEMODE;
            if (!(caps & DDSCAPS_COMPLEX) || !(desc->dwFlags & DDSD_BACKBUFFERCOUNT) ||
                desc->dwBackBufferCount != 1) {
                return DDERR_INVALIDCAPS;
            }
        }
        if (platform::ShouldFail("CreateSurface")) return DDERR_OUTOFMEMORY;
        int width, height;
        platform::ScreenSize(width, height);
        auto* primary = new Surface(width, height, caps | (flip ? DDSCAPS_FRONTBUFFER : 0));
        if (flip) {
            auto* back =
                new Surface(width, height, (caps & ~(DDSCAPS_PRIMARYSURFACE)) | DDSCAPS_BACKBUFFER);
            primary->AttachBackBuffer(back);
        }
        screen.primary = primary;
        ++screen.coloursGeneration;
        *out = primary;
        return DD_OK;
    }

    const DWORD wanted = DDSD_WIDTH | DDSD_HEIGHT;
    platform::Trace("CreateSurface offscreen " + std::to_string(desc->dwWidth) + "x" +
                    std::to_string(desc->dwHeight));
    if ((desc->dwFlags & wanted) != wanted || (caps & (DDSCAPS_FLIP | DDSCAPS_BACKBUFFER))) {
        return DDERR_INVALIDPARAMS;
    }
    if (desc->dwWidth == 0 || desc->dwHeight == 0 || desc->dwWidth > kMaxSurfaceSide ||
        desc->dwHeight > kMaxSurfaceSide ||
        static_cast<long long>(desc->dwWidth) * desc->dwHeight > kMaxSurfaceBytes) {
        return DDERR_INVALIDPARAMS;
    }
    if (platform::ShouldFail("CreateSurface")) return DDERR_OUTOFMEMORY;
    *out = new Surface(static_cast<int>(desc->dwWidth), static_cast<int>(desc->dwHeight),
                       caps | DDSCAPS_OFFSCREENPLAIN);
    return DD_OK;
}

}  // namespace

namespace platform {

void ColoursInForce(PALETTEENTRY out[256]) {
    const Palette* palette = screen.primary ? screen.primary->AttachedPalette() : nullptr;
    if (palette) {
        std::memcpy(out, palette->Entries(), 256 * sizeof(PALETTEENTRY));
    } else {
        std::memset(out, 0, 256 * sizeof(PALETTEENTRY));
    }
    if (screen.shared) {
        std::memcpy(out, kStaticColours, 10 * sizeof(PALETTEENTRY));
        std::memcpy(out + 246, kStaticColours + 10, 10 * sizeof(PALETTEENTRY));
    }
}

unsigned ColoursGeneration() {
    return screen.coloursGeneration;
}

void ResetScreenForTests() {
    for (;;) {
        const auto& live = LiveObjects();
        if (live.empty()) break;
        LiveObject* next = *std::min_element(
            live.begin(), live.end(), [](auto* a, auto* b) { return a->Rank() < b->Rank(); });
        next->ForceRelease();
    }
    // The generation only ever grows, so that no cache of the colours outlives them.
    const unsigned generation = screen.coloursGeneration + 1;
    screen = Screen{};
    screen.coloursGeneration = generation;
}

}  // namespace platform

HRESULT WINAPI DirectDrawCreate(GUID* guid, LPDIRECTDRAW* out, IUnknown* outer) {
    platform::Trace("DirectDrawCreate");
    if (!out || outer || guid) return DDERR_INVALIDPARAMS;
    *out = nullptr;
    if (platform::ShouldFail("DirectDrawCreate") || !host::Current().OpenVideo()) {
        return DDERR_NODIRECTDRAWHW;
    }
    *out = new DirectDraw();
    return DD_OK;
}
