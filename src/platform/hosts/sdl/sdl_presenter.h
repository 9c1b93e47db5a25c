// The SDL host's presenter: the game's 8-bit picture into the window, through a texture drawn by
// SDL's renderer, or, where OpenGL would be drawn by the processor, written by the presenter
// itself into the window's pixels at a whole factor, only the rows that changed. It keeps the
// picture last shown for redraws and screenshots; the window is the host's.
#pragma once

#include <SDL.h>

#include <array>
#include <cstdint>
#include <vector>

#include "host.h"
#include "sdl_convert.h"
#include "sdl_scaling.h"

namespace sdl {

class Presenter {
  public:
    Presenter() = default;
    Presenter(const Presenter&) = delete;
    Presenter& operator=(const Presenter&) = delete;
    ~Presenter() { Detach(); }

    // Tries SDL's accelerated renderer on a new window. False when its OpenGL turned out to be
    // drawn by the processor (unless `keepAnyway`): the renderer is gone again, and the window,
    // which OpenGL has marked, should be made anew before Attach.
    bool TryAccelerated(SDL_Window* window, bool keepAnyway);
    // Draws on `window` from now on: through the renderer TryAccelerated made, else in software.
    // False (with a message) when nothing can draw there; the presenter then holds no window.
    bool Attach(SDL_Window* window);
    // Lets go of the renderer and its textures (before the window they belong to is destroyed).
    void Detach();

    // Keeps the game's new picture; the next PresentIfChanged shows it.
    void Keep(const host::ScreenImage& image);
    // Shows the kept picture unless it is the one already shown (only the changed rows, where
    // the presenter writes the window's pixels itself). Nothing is drawn while `hidden`.
    void PresentIfChanged(bool hidden);
    // Clears to black, puts the picture where the scaling says, and presents.
    void Draw();
    void SetScaling(host::Scaling scaling) { scaling_ = scaling; }
    // The renderer's textures lost their contents: the next Draw converts the picture again.
    void TexturesLost();
    // The picture last shown; false before there was one.
    bool Shown(host::ScreenImage& image) const;

  private:
    bool DirectMode() const;
    bool EnsureRenderer();
    void DropRenderer();
    bool DrawDirect(const std::vector<RowSpan>* spans);
    bool Upload();
    bool StepTexture(const Placement& place);

    SDL_Window* window_ = nullptr;
    host::Scaling scaling_ = host::Scaling::Sharp;
    SDL_Renderer* renderer_ = nullptr;
    SDL_Texture* texture_ = nullptr;
    int textureWidth_ = 0;
    int textureHeight_ = 0;
    SDL_Texture* stepTexture_ = nullptr;
    int stepWidth_ = 0;
    int stepHeight_ = 0;
    // SDL's software renderer, chosen because OpenGL would be drawn by the processor; sharp
    // pictures then go straight into the window's pixels (DrawDirect).
    bool software_ = false;
    // The window's pixels as DrawDirect last wrote them: valid while nothing else drew there.
    SDL_Surface* directSurface_ = nullptr;
    int directWidth_ = 0;
    int directHeight_ = 0;
    bool directValid_ = false;
    bool directRefused_ = false;               // the window's pixels could not take the picture
    std::array<std::uint32_t, 256> lookup_{};  // the colours in the window's pixel format
    std::vector<SDL_Rect> rects_;

    // The screen as the game last changed it, and as last shown.
    host::KeptScreen next_;
    bool changed_ = false;
    host::KeptScreen shown_;
    bool haveShown_ = false;
    bool uploaded_ = false;
};

}  // namespace sdl
