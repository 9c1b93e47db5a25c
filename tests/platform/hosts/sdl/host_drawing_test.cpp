// The SDL host in this process on SDL's dummy video driver, drawing without a graphics chip:
// one drawing API a window, and a redraw that shows the picture last presented.
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include <SDL.h>
#include <gtest/gtest.h>

#include "host_probe.h"
#include "host_sdl.h"
#include "process.h"
#include "sdl_scaling.h"

namespace {

constexpr host::Rgb kBlack{0, 0, 0}, kRed{255, 0, 0}, kGreen{0, 255, 0};

// The host never sleeps here: every wait is passed at once.
struct NoWaits final : host::Probe {
    void Flipped(std::int64_t) override {}
    void Presented(std::int64_t) override {}
    void KeyDown(unsigned, std::int64_t) override {}
    bool Wait(bool, std::int64_t) override { return true; }
};

class SdlHostDrawing : public ::testing::Test {
  protected:
    void Start(const char* scaling) {
        const std::string config = testing_support::FreshFolder("sdl-drawing");
        ASSERT_EQ(std::system(("mkdir -p '" + config + "/tavlo'").c_str()), 0);
        std::ofstream(config + "/tavlo/settings.conf")
            << "mode=fullscreen\nscaling=" << scaling << "\nwindow=960x720\n";
        ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
        ::setenv("SDL_VIDEODRIVER", "dummy", 1);
        ::setenv("TAVLO_RENDERER", "software", 1);
        host::SetProbe(&noWaits_);
        host_ = sdl::CreateSdlHost(
            sdl::SdlHostSettingsOf(host::LoadSettings(host::SettingsPath(), sdl::SdlKeyName)));
        ASSERT_TRUE(host_->OpenVideo());
        host_->WindowChanged(true, "Tavlo");
        for (Uint32 id = 1; id < 64 && !window_; ++id) window_ = SDL_GetWindowFromID(id);
        ASSERT_NE(window_, nullptr);
    }
    void TearDown() override {
        delete host_;
        host::SetProbe(nullptr);
    }

    // A width × height screen of palette index 1, whose colour is `colour`.
    void Show(int width, int height, host::Rgb colour) {
        pixels_.assign(static_cast<std::size_t>(width) * height, 1);
        colours_.assign(256, kBlack);
        colours_[1] = colour;
        host::ScreenImage image;
        image.pixels = pixels_.data();
        image.width = width;
        image.height = height;
        image.pitch = width;
        image.colours = colours_.data();
        host_->ShowScreen(image, host::ScreenChange::Flip);
    }

    // The window's pixel at (x, y) as red, green and blue.
    host::Rgb WindowPixel(int x, int y) {
        SDL_Surface* surface = SDL_GetWindowSurface(window_);
        const auto* row = static_cast<const std::uint8_t*>(surface->pixels) + y * surface->pitch;
        Uint32 value = reinterpret_cast<const Uint32*>(row)[x];
        host::Rgb rgb{};
        SDL_GetRGB(value, surface->format, &rgb.r, &rgb.g, &rgb.b);
        return rgb;
    }

    NoWaits noWaits_;
    host::Host* host_ = nullptr;
    SDL_Window* window_ = nullptr;
    std::vector<std::uint8_t> pixels_;
    std::vector<host::Rgb> colours_;
};

bool Same(host::Rgb a, host::Rgb b) {
    return a.r == b.r && a.g == b.g && a.b == b.b;
}

}  // namespace

// SDL forbids its renderer and the window's own pixels on one window: a sharp picture goes
// into the pixels with no renderer; smooth scaling has the renderer and leaves them alone.
TEST_F(SdlHostDrawing, SharpUsesTheWindowsPixelsWithoutARenderer) {
    Start("sharp");
    Show(320, 240, kRed);
    host_->Idle();
    EXPECT_EQ(SDL_GetRenderer(window_), nullptr);
    int w = 0, h = 0;
    SDL_GetWindowSize(window_, &w, &h);
    EXPECT_TRUE(Same(WindowPixel(w / 2, h / 2), kRed));
}

TEST_F(SdlHostDrawing, SmoothUsesTheRenderer) {
    Start("smooth");
    Show(320, 240, kRed);
    host_->Idle();
    EXPECT_NE(SDL_GetRenderer(window_), nullptr);
}

TEST_F(SdlHostDrawing, ARedrawBeforeTheNextPresentShowsThePresentedPictureAtItsSize) {
    Start("sharp");
    Show(320, 240, kRed);
    host_->Idle();
    Show(640, 480, kGreen);               // not presented yet
    host_->WindowChanged(true, "Tavlo");  // a redraw of what is shown
    SDL_Surface* surface = SDL_GetWindowSurface(window_);
    const auto shown =
        sdl::PlacePicture(surface->w, surface->h, 320, 240, sdl::Scaling::Sharp).target;
    const auto newer =
        sdl::PlacePicture(surface->w, surface->h, 640, 480, sdl::Scaling::Sharp).target;
    ASSERT_LT(shown.x, newer.x);  // a corner of the shown picture lies outside the newer one
    EXPECT_TRUE(Same(WindowPixel(shown.x, shown.y), kRed));
    EXPECT_TRUE(Same(WindowPixel(shown.x + shown.w - 1, shown.y + shown.h - 1), kRed));
    EXPECT_TRUE(Same(WindowPixel(shown.x + shown.w / 2, shown.y + shown.h / 2), kRed));
}
