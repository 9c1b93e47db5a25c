// The main of the fuzz targets' replays (fuzz.NAME in ctest): runs LLVMFuzzerTestOneInput once
// over every file named, and every file in every folder named, as libFuzzer runs one input.
// A failure ends the process as it ends the fuzzer; a name that does not exist fails the run.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

void RunOne(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)),
                                  std::istreambuf_iterator<char>());
    // A copy of its own, as libFuzzer gives, so that a read past the end is caught.
    std::vector<std::uint8_t> input(bytes.begin(), bytes.end());
    LLVMFuzzerTestOneInput(input.data(), input.size());
}

}  // namespace

int main(int argc, char** argv) {
    int count = 0;
    for (int i = 1; i < argc; ++i) {
        const std::filesystem::path name(argv[i]);
        std::vector<std::filesystem::path> files;
        if (std::filesystem::is_directory(name)) {
            for (const auto& entry : std::filesystem::directory_iterator(name))
                if (entry.is_regular_file()) files.push_back(entry.path());
            std::sort(files.begin(), files.end());
        } else if (std::filesystem::is_regular_file(name)) {
            files.push_back(name);
        } else {
            std::fprintf(stderr, "replay: no such file or folder: %s\n", argv[i]);
            return 1;
        }
        for (const auto& file : files) {
            RunOne(file);
            ++count;
        }
    }
    std::printf("replayed %d inputs\n", count);
    return count > 0 ? 0 : 1;
}
