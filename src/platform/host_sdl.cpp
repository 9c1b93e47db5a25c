// The SDL2 host: a real window. The game's full-screen mode is shown as desktop full screen,
// scaled by the largest whole factor and centred on black; keys arrive as Windows virtual-key
// codes.
#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <deque>
#include <vector>

#include "host.h"

namespace host {
namespace {

unsigned VirtualKeyOf(SDL_Keycode key) {
    if (key >= SDLK_a && key <= SDLK_z) return static_cast<unsigned>('A' + (key - SDLK_a));
    if (key >= SDLK_0 && key <= SDLK_9) return static_cast<unsigned>('0' + (key - SDLK_0));
    if (key >= SDLK_F1 && key <= SDLK_F12) return 0x70u + static_cast<unsigned>(key - SDLK_F1);
    if (key >= SDLK_KP_1 && key <= SDLK_KP_9) return 0x61u + static_cast<unsigned>(key - SDLK_KP_1);
    switch (key) {
        case SDLK_RETURN:
        case SDLK_KP_ENTER:
            return 0x0D;
        case SDLK_LCTRL:
        case SDLK_RCTRL:
            return 0x11;
        case SDLK_LSHIFT:
        case SDLK_RSHIFT:
            return 0x10;
        case SDLK_LALT:
        case SDLK_RALT:
            return 0x12;
        case SDLK_PAUSE:
            return 0x13;
        case SDLK_ESCAPE:
            return 0x1B;
        case SDLK_SPACE:
            return 0x20;
        case SDLK_BACKSPACE:
            return 0x08;
        case SDLK_TAB:
            return 0x09;
        case SDLK_PAGEUP:
            return 0x21;
        case SDLK_PAGEDOWN:
            return 0x22;
        case SDLK_END:
            return 0x23;
        case SDLK_HOME:
            return 0x24;
        case SDLK_LEFT:
            return 0x25;
        case SDLK_UP:
            return 0x26;
        case SDLK_RIGHT:
            return 0x27;
        case SDLK_DOWN:
            return 0x28;
        case SDLK_INSERT:
            return 0x2D;
        case SDLK_DELETE:
            return 0x2E;
        case SDLK_KP_0:
            return 0x60;
        default:
            return 0;
    }
}

class SdlHost final : public Host {
  public:
    SdlHost() {
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        SDL_Init(SDL_INIT_TIMER | SDL_INIT_EVENTS);
        if (const char* start = std::getenv("TAVLO_CLOCK_START")) {
            clockStart_ = static_cast<std::uint32_t>(std::strtoul(start, nullptr, 10));
        }
    }
    ~SdlHost() override {
        if (texture_) SDL_DestroyTexture(texture_);
        if (renderer_) SDL_DestroyRenderer(renderer_);
        if (window_) SDL_DestroyWindow(window_);
        SDL_Quit();
    }

    std::uint32_t Milliseconds() override {
        return static_cast<std::uint32_t>(clockStart_ + SDL_GetTicks64());
    }

    bool NextEvent(InputEvent& event) override {
        if (pending_.empty()) Poll();
        if (pending_.empty()) return false;
        event = pending_.front();
        pending_.pop_front();
        return true;
    }

    void Idle() override {}

    void DesktopSize(int& width, int& height) override {
        SDL_DisplayMode mode;
        if (videoOpen_ && SDL_GetDesktopDisplayMode(0, &mode) == 0) {
            width = mode.w;
            height = mode.h;
        } else {
            width = 1024;
            height = 768;
        }
    }

    bool OpenVideo() override {
        if (!videoOpen_) {
            if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
                std::fprintf(stderr, "tavlo: no display: %s\n", SDL_GetError());
                return false;
            }
            videoOpen_ = true;
        }
        return EnsureWindow();
    }

    void WindowChanged(int, int, int, int, bool visible, const std::string& title) override {
        title_ = title;
        visible_ = visible;
        if (!videoOpen_) {
            if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return;
            videoOpen_ = true;
        }
        if (!EnsureWindow()) return;
        SDL_SetWindowTitle(window_, title_.c_str());
        if (visible) {
            SDL_ShowWindow(window_);
            Redraw();
        } else {
            SDL_HideWindow(window_);
        }
    }

    bool SetFullScreenMode(int width, int height) override {
        if (!EnsureWindow()) return false;
        if (SDL_SetWindowFullscreen(window_, SDL_WINDOW_FULLSCREEN_DESKTOP) != 0) {
            // No full screen to be had: stay in the window, scaled the same way.
            std::fprintf(stderr, "tavlo: staying windowed: %s\n", SDL_GetError());
        }
        SDL_RenderSetLogicalSize(renderer_, width, height);
        SDL_RenderSetIntegerScale(renderer_, SDL_TRUE);
        return true;
    }

    void ShowScreen(const ScreenImage& image, ScreenChange) override {
        if (!EnsureWindow()) return;
        if (image.width != textureWidth_ || image.height != textureHeight_ || !texture_) {
            if (texture_) SDL_DestroyTexture(texture_);
            texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_ARGB8888,
                                         SDL_TEXTUREACCESS_STREAMING, image.width, image.height);
            textureWidth_ = image.width;
            textureHeight_ = image.height;
            SDL_RenderSetLogicalSize(renderer_, image.width, image.height);
            SDL_RenderSetIntegerScale(renderer_, SDL_TRUE);
        }
        if (!texture_) return;
        std::uint32_t lookup[256];
        for (int i = 0; i < 256; ++i) {
            lookup[i] = 0xFF000000u | (static_cast<std::uint32_t>(image.colours[i].r) << 16) |
                        (static_cast<std::uint32_t>(image.colours[i].g) << 8) | image.colours[i].b;
        }
        void* pixels = nullptr;
        int pitch = 0;
        if (SDL_LockTexture(texture_, nullptr, &pixels, &pitch) != 0) return;
        for (int y = 0; y < image.height; ++y) {
            const std::uint8_t* in = image.pixels + static_cast<long>(y) * image.pitch;
            auto* out = reinterpret_cast<std::uint32_t*>(static_cast<std::uint8_t*>(pixels) +
                                                         static_cast<long>(y) * pitch);
            for (int x = 0; x < image.width; ++x) out[x] = lookup[in[x]];
        }
        SDL_UnlockTexture(texture_);
        Redraw();
    }

    void MessageBox(const std::string& caption, const std::string& text) override {
        std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
        std::fflush(stderr);
        if (window_) SDL_SetWindowFullscreen(window_, 0);
        if (videoOpen_) {
            SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, caption.c_str(), text.c_str(), window_);
        }
    }

    void SetCursorVisible(bool visible) override {
        SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE);
    }

  private:
    bool EnsureWindow() {
        if (window_) return true;
        if (!videoOpen_) return false;
        window_ =
            SDL_CreateWindow(title_.empty() ? "Tavlo" : title_.c_str(), SDL_WINDOWPOS_CENTERED,
                             SDL_WINDOWPOS_CENTERED, 960, 720,
                             SDL_WINDOW_HIDDEN | SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI);
        if (!window_) {
            std::fprintf(stderr, "tavlo: no window: %s\n", SDL_GetError());
            return false;
        }
        renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_ACCELERATED);
        if (!renderer_) renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
        if (!renderer_) {
            std::fprintf(stderr, "tavlo: no renderer: %s\n", SDL_GetError());
            SDL_DestroyWindow(window_);
            window_ = nullptr;
            return false;
        }
        SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
        SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
        SDL_RenderClear(renderer_);
        SDL_RenderPresent(renderer_);
        return true;
    }

    void Redraw() {
        if (!renderer_) return;
        SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
        SDL_RenderClear(renderer_);
        if (texture_) SDL_RenderCopy(renderer_, texture_, nullptr, nullptr);
        SDL_RenderPresent(renderer_);
    }

    void Poll() {
        SDL_Event e;
        while (SDL_PollEvent(&e)) {
            switch (e.type) {
                case SDL_QUIT:
                    pending_.push_back({InputEvent::Kind::Close, 0});
                    break;
                case SDL_WINDOWEVENT:
                    if (e.window.event == SDL_WINDOWEVENT_CLOSE) {
                        pending_.push_back({InputEvent::Kind::Close, 0});
                    } else if (e.window.event == SDL_WINDOWEVENT_EXPOSED ||
                               e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED ||
                               e.window.event == SDL_WINDOWEVENT_RESTORED) {
                        Redraw();
                    }
                    break;
                case SDL_MOUSEMOTION:
                    pending_.push_back({InputEvent::Kind::MouseOver, 0});
                    break;
                case SDL_KEYDOWN:
                case SDL_KEYUP: {
                    unsigned vk = VirtualKeyOf(e.key.keysym.sym);
                    if (vk == 0) break;
                    const bool down = e.type == SDL_KEYDOWN;
                    // Alt combinations and F10 are system keys, as Windows sends them.
                    const bool system =
                        (e.key.keysym.mod & KMOD_ALT) != 0 || vk == 0x12 || vk == 0x79;
                    InputEvent event;
                    event.virtualKey = vk;
                    if (system) {
                        event.kind =
                            down ? InputEvent::Kind::SysKeyDown : InputEvent::Kind::SysKeyUp;
                    } else {
                        event.kind = down ? InputEvent::Kind::KeyDown : InputEvent::Kind::KeyUp;
                    }
                    pending_.push_back(event);
                    break;
                }
                default:
                    break;
            }
        }
    }

    std::uint32_t clockStart_ = 0;
    bool videoOpen_ = false;
    bool visible_ = false;
    std::string title_;
    SDL_Window* window_ = nullptr;
    SDL_Renderer* renderer_ = nullptr;
    SDL_Texture* texture_ = nullptr;
    int textureWidth_ = 0;
    int textureHeight_ = 0;
    std::deque<InputEvent> pending_;
};

}  // namespace

Host* CreateSdlHost() {
    return new SdlHost();
}

}  // namespace host
