// Per-frame costs, measured with Google Benchmark on the headless host.
//   build/bench/frame/tavlo_frame_bench [--benchmark_filter=...]
// The game's steps run on the real pictures: the benchmark works in a folder of its own that
// holds a copy of the built archive.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "archive.h"
#include "rka_format.h"
#include "rka_pack.h"
#include "display.h"
#include "game_round.h"
#include "title_screen.h"
#include "host_headless.h"
#include "sdl_convert.h"
#include "services.h"
#include "shell.h"
#include "window.h"

namespace {

// The game's window and its 320×240 full-screen display, opened once as WinMain opens them.
bool OpenDisplay() {
    static int opened = -1;
    if (opened >= 0) return opened == 1;
    WNDCLASSA windowClass{};
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = WindowProc;
    windowClass.lpszClassName = "qv";
    RegisterClassA(&windowClass);
    MainWindow = CreateWindowExA(WS_EX_APPWINDOW, "qv", "Tavlo", WS_POPUP | WS_BORDER | WS_SYSMENU,
                                 0, 0, 324, 280, nullptr, nullptr, nullptr, nullptr);
    ShowWindow(MainWindow, SW_SHOWDEFAULT);
    opened = display.Initialize(MainWindow, 320, 240, 1);
    return opened == 1;
}

// Every pixel of a 320×240 slot, so that no mosaic block is a plain copy of its neighbour.
void PaintSlot(int slot) {
    for (int y = 0; y < 240; ++y) {
        for (int x = 0; x < 320; ++x) {
            SurfaceMemory[slot][y * SurfacePitch[slot] + x] =
                static_cast<unsigned char>((x * 7 + y * 13) & 0xFF);
        }
    }
}

// One step of a mosaic transition, full screen from slot 5 to the back buffer, as the screens
// call it.
void BM_Mosaic(benchmark::State& state) {
    if (!OpenDisplay()) {
        state.SkipWithError("no display");
        return;
    }
    display.GetSurfaceMemory(5);
    display.GetSurfaceMemory(1);
    PaintSlot(5);
    const int block = static_cast<int>(state.range(0));
    for (auto _ : state) {
        display.Mosaic(0, 0, 0, 0, 320, 240, 1, 5, block);
        benchmark::DoNotOptimize(SurfaceMemory[1]);
        benchmark::ClobberMemory();
    }
    // The bottom-right block takes the colour of its top-left source pixel.
    const int last = (239 / block) * block, right = (319 / block) * block;
    if (SurfaceMemory[1][239 * SurfacePitch[1] + 319] !=
        SurfaceMemory[5][last * SurfacePitch[5] + right]) {
        state.SkipWithError("the last block has the wrong colour");
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Mosaic)->Arg(2)->Arg(30);

// Text in a font made for the call, as Display::DrawFontText draws it: CreateFontA, two
// TextOutA (shadow and text) and DeleteObject every time.
void BM_DrawFontText(benchmark::State& state) {
    if (!OpenDisplay()) {
        state.SkipWithError("no display");
        return;
    }
    for (auto _ : state) {
        display.DrawFontText(-1, -1, 160, 120, "SCORE 123", 24, 0, FW_BOLD, 2, RGB(255, 255, 0), 0,
                             "", SHIFTJIS_CHARSET, 1, 0);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DrawFontText)->Unit(benchmark::kMicrosecond);

// One title frame: the scrolling background, the title, the menu and the cursor.
void BM_TitleScreenDraw(benchmark::State& state) {
    if (!OpenDisplay()) {
        state.SkipWithError("no display");
        return;
    }
    titleScreen.Load();
    for (auto _ : state) {
        titleScreen.Draw();
        benchmark::DoNotOptimize(titleScreen.scroll);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_TitleScreenDraw);

// The body of one frame of play, between MarkFrameStart and the present: the play band and the
// digit area restored from the background, the digits, the keys and the picture's step. The
// pictures are hit as they come, so the round never ends and scoring and the digit panel's
// redraw happen at their usual rate.
void BM_PlayFrame(benchmark::State& state) {
    if (!OpenDisplay()) {
        state.SkipWithError("no display");
        return;
    }
    gameRound.bestScore = 0;
    gameRound.Setup();
    bool ended = false;
    for (auto _ : state) {
        display.Blit(0, 80, 0, 80, 320, 85, 1, 4, 0x10);
        display.Blit(114, 0, 114, 0, 57, 38, 1, 4, 0x10);
        display.Blit(114, 0, 0, 0, 57, 38, 1, 5, 0x11);
        if (gameRound.hit == 0) KeyTable[TargetKey[gameRound.kind]] = 1;
        const bool wrongKey = gameRound.CheckKeys();
        const bool missed = gameRound.Step();
        ended = ended || wrongKey || missed;
        // A fast picture would leave the screen within a frame or two: start again from the
        // round's first speed now and then.
        if (gameRound.speed > 12.0f) gameRound.speed = 3.0f;
        benchmark::ClobberMemory();
    }
    if (ended) state.SkipWithError("the round ended");
    state.counters["score"] = gameRound.score;
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PlayFrame);

// A whole picture load as the title screen does it: unpack "title.bmp" from the archive to
// "tmp.bmp", its palette, GDI's copy into slot 2 and the file's removal.
void BM_LoadArchiveBitmap(benchmark::State& state) {
    if (!OpenDisplay()) {
        state.SkipWithError("no display");
        return;
    }
    for (auto _ : state) {
        display.LoadArchiveBitmap("tavlo.rka", "title.bmp", 320, 240, 0, 0, 0, 0, 1, 2);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LoadArchiveBitmap)->Unit(benchmark::kMillisecond);

// The SDL host's conversion of the 8-bit screen and its colours to ARGB, once per shown frame.
void BM_HostConvertScreen(benchmark::State& state) {
    std::vector<std::uint8_t> pixels(320 * 240);
    for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<std::uint8_t>(i * 7);
    std::vector<host::Rgb> colours(256);
    for (int i = 0; i < 256; ++i) {
        colours[static_cast<std::size_t>(i)] = {static_cast<std::uint8_t>(i),
                                                static_cast<std::uint8_t>(i ^ 0x55),
                                                static_cast<std::uint8_t>(255 - i)};
    }
    std::vector<std::uint32_t> out(320 * 240);
    for (auto _ : state) {
        sdl::ConvertScreen(pixels.data(), 320, 240, 320, colours.data(), out.data(), 320 * 4);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_HostConvertScreen);

// Without a graphics chip the SDL host writes the screen into the window's pixels at the whole
// factor: the full picture, as on every title frame. Factor 4 fills 1280×960 pixels.
void BM_HostScaleScreen(benchmark::State& state) {
    const int factor = static_cast<int>(state.range(0));
    std::vector<std::uint8_t> pixels(320 * 240);
    for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<std::uint8_t>(i * 7);
    std::uint32_t lookup[256];
    for (int i = 0; i < 256; ++i)
        lookup[i] = 0xFF000000u | static_cast<std::uint32_t>(i * 0x010203);
    const int pitch = 320 * factor * 4;
    std::vector<std::uint8_t> window(static_cast<std::size_t>(pitch) * 240 * factor);
    for (auto _ : state) {
        sdl::ScaleRows(pixels.data(), 320, 320, 0, 240, lookup, factor, window.data(), pitch);
        benchmark::DoNotOptimize(window.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(window.size()));
}
BENCHMARK(BM_HostScaleScreen)->Arg(3)->Arg(4);

// Archive::Unpack of a 1 MiB entry that looks like a picture: stretches of one colour between
// stretches of varied pixels, so that both runs and literals are many.
void BM_ArchiveUnpack1MiB(benchmark::State& state) {
    constexpr std::size_t kSize = 1 << 20;
    std::vector<std::uint8_t> data;
    data.reserve(kSize);
    std::mt19937 random(12345);
    while (data.size() < kSize) {
        const std::size_t length = 1 + random() % 48;
        const bool run = random() % 2 == 0;
        const std::uint8_t value = static_cast<std::uint8_t>(random());
        for (std::size_t i = 0; i < length && data.size() < kSize; ++i) {
            data.push_back(run ? value : static_cast<std::uint8_t>(random()));
        }
    }
    rka::Block block = rka::Pack(data);
    Archive.literals = block.literals.data();
    Archive.literalCount = static_cast<std::uint32_t>(block.literals.size());
    Archive.runPositions = block.runPositions.data();
    Archive.runLengths = block.runLengths.data();
    Archive.runValues = block.runValues.data();
    Archive.runCount = block.RunCount();
    Archive.unpackedSize = block.unpackedSize;
    std::vector<std::uint8_t> output(kSize);
    Archive.output = output.data();
    for (auto _ : state) {
        Archive.Unpack();
        benchmark::DoNotOptimize(output.data());
        benchmark::ClobberMemory();
    }
    if (output != data) state.SkipWithError("unpacked bytes differ from the original");
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kSize);
    state.counters["runs"] = block.RunCount();
    Archive.literals = Archive.output = Archive.runValues = nullptr;
    Archive.runPositions = Archive.runLengths = nullptr;
}
BENCHMARK(BM_ArchiveUnpack1MiB);

}  // namespace

int main(int argc, char** argv) {
    // The game's own steps run on the headless host: no window, and no time spent presenting.
    host::SetHostFactory(headless::CreateHeadlessHost);
    // The pictures are read from, and "tmp.bmp" written to, the working directory.
    namespace fs = std::filesystem;
    const fs::path folder =
        fs::temp_directory_path() / ("tavlo-bench-" + std::to_string(::getpid()));
    std::error_code error;
    fs::create_directories(folder, error);
    fs::copy_file(TAVLO_ARCHIVE, folder / "tavlo.rka", fs::copy_options::overwrite_existing, error);
    if (error || ::chdir(folder.c_str()) != 0) {
        std::fprintf(stderr, "cannot prepare %s with %s: %s\n", folder.c_str(), TAVLO_ARCHIVE,
                     error.message().c_str());
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    display.Shutdown();
    fs::remove_all(folder, error);
    return 0;
}
