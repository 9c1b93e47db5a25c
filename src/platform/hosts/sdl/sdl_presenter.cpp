// The picture into the window: a texture drawn by SDL's renderer, or the window's own pixels.
#include "catalog.h"
#include "sdl_presenter.h"

#include <cstdio>
#include <cstring>

namespace sdl {
namespace {

// True when the renderer's OpenGL is drawn by the processor rather than a graphics chip.
bool RasterisesInSoftware(SDL_Renderer* renderer) {
    SDL_RendererInfo info;
    if (SDL_GetRendererInfo(renderer, &info) != 0) return false;
    if (info.flags & SDL_RENDERER_SOFTWARE) return true;
    if (!info.name || std::strncmp(info.name, "opengl", 6) != 0) return false;
    // The renderer's context is the current one once it is made.
    using GetString = const unsigned char* (*)(unsigned);
    const auto getString = reinterpret_cast<GetString>(SDL_GL_GetProcAddress("glGetString"));
    if (!getString) return false;
    const auto* name = reinterpret_cast<const char*>(getString(0x1F01 /* GL_RENDERER */));
    if (!name) return false;
    for (const char* software : {"llvmpipe", "softpipe", "Software Rasterizer", "swrast"}) {
        if (std::strstr(name, software)) return true;
    }
    return false;
}

}  // namespace

bool Presenter::TryAccelerated(SDL_Window* window, bool keepAnyway) {
    renderer_ = SDL_CreateRenderer(window, -1, SDL_RENDERER_ACCELERATED);
    if (renderer_ && !keepAnyway && RasterisesInSoftware(renderer_)) {
        SDL_DestroyRenderer(renderer_);
        renderer_ = nullptr;
        return false;
    }
    return true;
}

bool Presenter::Attach(SDL_Window* window) {
    window_ = window;
    if (renderer_) return true;
    // The window's own pixels, not a texture drawn by OpenGL behind them. A sharp picture is
    // written there by DrawDirect, with no renderer on the window; smooth scaling takes SDL's
    // software renderer (Draw switches between the two).
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    software_ = true;
    if (!DirectMode() && !EnsureRenderer()) {
        window_ = nullptr;
        return false;
    }
    return true;
}

void Presenter::Detach() {
    DropRenderer();
    window_ = nullptr;
}

void Presenter::Keep(const host::ScreenImage& image) {
    next_.Keep(image);
    changed_ = true;
}

void Presenter::TexturesLost() {
    uploaded_ = false;
    stepWidth_ = stepHeight_ = 0;
}

bool Presenter::Shown(host::ScreenImage& image) const {
    if (shown_.pixels.empty()) return false;
    image = shown_.Image();
    return true;
}

void Presenter::PresentIfChanged(bool hidden) {
    if (!changed_) return;
    changed_ = false;
    // An unchanged screen is not shown again: the title's flips of a still picture cost
    // nothing. Drawing into the window's pixels, only the rows that changed are redrawn.
    const bool sameColours =
        std::memcmp(next_.colours.data(), shown_.colours.data(), sizeof(platform::Rgb) * 256) == 0;
    std::vector<RowSpan> spans;
    const bool comparable =
        haveShown_ && sameColours && next_.width == shown_.width && next_.height == shown_.height;
    if (comparable) {
        spans = ChangedRows(shown_.pixels.data(), next_.pixels.data(), next_.width, next_.height);
        if (spans.empty()) return;
    }
    // The size goes with the pixels: a redraw before the next present shows these.
    shown_ = next_;
    haveShown_ = true;
    uploaded_ = false;
    // Minimised or hidden: nothing to draw on; a restore draws the kept picture.
    if (hidden) {
        directValid_ = false;
        return;
    }
    if (comparable && directValid_ && DirectMode() && DrawDirect(&spans)) return;
    Draw();
}

// A sharp picture without a graphics chip is drawn by the host itself, into the window's
// pixels, unless they turned out unable to take it.
bool Presenter::DirectMode() const {
    return software_ && scaling_ == host::Scaling::Sharp && !directRefused_;
}

// SDL's software renderer for the window; false (with a message) when it cannot be had.
bool Presenter::EnsureRenderer() {
    if (renderer_) return true;
    renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
    if (!renderer_) {
        std::fprintf(stderr, "tavlo: %s\n",
                     platform::Fill(tr("no renderer: {1}"), {SDL_GetError()}).c_str());
    }
    return renderer_ != nullptr;
}

// Takes the renderer and its textures off the window, so that its pixels may be written.
void Presenter::DropRenderer() {
    if (!renderer_) return;
    if (stepTexture_) SDL_DestroyTexture(stepTexture_);
    if (texture_) SDL_DestroyTexture(texture_);
    SDL_DestroyRenderer(renderer_);
    stepTexture_ = texture_ = nullptr;
    renderer_ = nullptr;
    stepWidth_ = stepHeight_ = textureWidth_ = textureHeight_ = 0;
    uploaded_ = false;
}

// Writes rows of the kept picture into the window's pixels at the whole factor and shows
// them: the given rows when the window still holds the picture shown before, else all of
// them with the black around. False when the window's pixels cannot take the picture.
// Only ever called with no renderer on the window: SDL forbids the two together.
bool Presenter::DrawDirect(const std::vector<RowSpan>* spans) {
    SDL_Surface* surface = SDL_GetWindowSurface(window_);
    if (!surface || surface->format->BytesPerPixel != 4) return false;
    if (shown_.pixels.empty()) {
        SDL_FillRect(surface, nullptr, SDL_MapRGB(surface->format, 0, 0, 0));
        SDL_UpdateWindowSurface(window_);
        directValid_ = false;
        return true;
    }
    const Placement place =
        PlacePicture(surface->w, surface->h, shown_.width, shown_.height, host::Scaling::Sharp);
    const Rect& target = place.target;
    if (target.x < 0 || target.y < 0 || target.x + target.w > surface->w ||
        target.y + target.h > surface->h) {
        return false;
    }
    const bool whole = !spans || !directValid_ || surface != directSurface_ ||
                       surface->w != directWidth_ || surface->h != directHeight_;
    if (whole) {
        for (int i = 0; i < 256; ++i) {
            const platform::Rgb& c = shown_.colours[static_cast<std::size_t>(i)];
            lookup_[static_cast<std::size_t>(i)] = SDL_MapRGB(surface->format, c.r, c.g, c.b);
        }
        SDL_FillRect(surface, nullptr, SDL_MapRGB(surface->format, 0, 0, 0));
    }
    if (SDL_MUSTLOCK(surface) && SDL_LockSurface(surface) != 0) return false;
    std::uint8_t* origin = static_cast<std::uint8_t*>(surface->pixels) +
                           static_cast<long>(target.y) * surface->pitch + target.x * 4;
    const int factor = place.factor;
    if (whole) {
        ScaleRows(shown_.pixels.data(), shown_.width, shown_.width, 0, shown_.height,
                  lookup_.data(), factor, origin, surface->pitch);
    } else {
        rects_.clear();
        for (const RowSpan& span : *spans) {
            ScaleRows(shown_.pixels.data(), shown_.width, shown_.width, span.first, span.end,
                      lookup_.data(), factor, origin, surface->pitch);
            rects_.push_back(SDL_Rect{target.x, target.y + span.first * factor, target.w,
                                      (span.end - span.first) * factor});
        }
    }
    if (SDL_MUSTLOCK(surface)) SDL_UnlockSurface(surface);
    if (whole) {
        SDL_UpdateWindowSurface(window_);
    } else {
        SDL_UpdateWindowSurfaceRects(window_, rects_.data(), static_cast<int>(rects_.size()));
    }
    directSurface_ = surface;
    directWidth_ = surface->w;
    directHeight_ = surface->h;
    directValid_ = true;
    return true;
}

// Converts the kept 8-bit picture to the texture's colours.
bool Presenter::Upload() {
    if (shown_.width <= 0 || shown_.height <= 0) return false;
    if (!texture_ || shown_.width != textureWidth_ || shown_.height != textureHeight_) {
        if (texture_) SDL_DestroyTexture(texture_);
        texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_ARGB8888,
                                     SDL_TEXTUREACCESS_STREAMING, shown_.width, shown_.height);
        if (!texture_) return false;
        SDL_SetTextureScaleMode(texture_, SDL_ScaleModeNearest);
        textureWidth_ = shown_.width;
        textureHeight_ = shown_.height;
    }
    void* pixels = nullptr;
    int pitch = 0;
    if (SDL_LockTexture(texture_, nullptr, &pixels, &pitch) != 0) return false;
    ConvertScreen(shown_.pixels.data(), shown_.width, shown_.height, shown_.width,
                  shown_.colours.data(), static_cast<std::uint32_t*>(pixels), pitch);
    SDL_UnlockTexture(texture_);
    uploaded_ = true;
    return true;
}

// Clears to black and puts the picture where the settings say; then presents.
void Presenter::Draw() {
    if (!window_) return;
    if (DirectMode()) {
        DropRenderer();
        if (DrawDirect(nullptr)) return;
        directRefused_ = true;  // the renderer from now on
    }
    if (!EnsureRenderer()) return;
    directValid_ = false;
    SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
    SDL_RenderClear(renderer_);
    if (!shown_.pixels.empty() && (uploaded_ || Upload())) {
        int outputWidth = 0, outputHeight = 0;
        SDL_GetRendererOutputSize(renderer_, &outputWidth, &outputHeight);
        const Placement place =
            PlacePicture(outputWidth, outputHeight, shown_.width, shown_.height, scaling_);
        const SDL_Rect target{place.target.x, place.target.y, place.target.w, place.target.h};
        SDL_Texture* source = texture_;
        if (scaling_ == host::Scaling::Smooth && StepTexture(place)) {
            // Nearest-neighbour to the whole factor, then linear from there.
            SDL_SetRenderTarget(renderer_, stepTexture_);
            SDL_RenderCopy(renderer_, texture_, nullptr, nullptr);
            SDL_SetRenderTarget(renderer_, nullptr);
            source = stepTexture_;
        }
        SDL_RenderCopy(renderer_, source, nullptr, &target);
    }
    SDL_RenderPresent(renderer_);
}

bool Presenter::StepTexture(const Placement& place) {
    if (stepTexture_ && stepWidth_ == place.stepWidth && stepHeight_ == place.stepHeight) {
        return true;
    }
    if (stepTexture_) SDL_DestroyTexture(stepTexture_);
    stepTexture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_TARGET,
                                     place.stepWidth, place.stepHeight);
    if (!stepTexture_) return false;
    SDL_SetTextureScaleMode(stepTexture_, SDL_ScaleModeLinear);
    stepWidth_ = place.stepWidth;
    stepHeight_ = place.stepHeight;
    return true;
}

}  // namespace sdl
