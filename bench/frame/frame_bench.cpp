// Per-frame costs, measured with Google Benchmark on the headless host.
//   build/bench/frame/tavlo_frame_bench [--benchmark_filter=...]
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "assets/archive.h"
#include "assets/rka_format.h"
#include "sdl_convert.h"

namespace {

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
        host::sdl::ConvertScreen(pixels.data(), 320, 240, 320, colours.data(), out.data(), 320 * 4);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_HostConvertScreen);

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
    ::setenv("TAVLO_VIDEO", "headless", 1);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
