// tavlo-art OUTDIR [--png] [--mock] [--zoom N]
// Writes the archive's four pictures as .bmp files into OUTDIR; --png adds a .png of each for
// viewing, --mock adds PNGs of the game's screens put together from the pictures' regions.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "bmp.h"
#include "mock.h"
#include "pictures.h"
#include "png.h"

namespace {

int Usage() {
    std::fprintf(stderr, "usage: tavlo-art OUTDIR [--png] [--mock] [--zoom N]\n");
    return 2;
}

std::string Stem(const std::string& name) {
    return name.substr(0, name.rfind('.'));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage();
    const std::string outdir = argv[1];
    bool png = false, mock = false;
    int zoom = 1;
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--png") {
            png = true;
        } else if (arg == "--mock") {
            mock = true;
        } else if (arg == "--zoom" && i + 1 < argc) {
            zoom = std::atoi(argv[++i]);
            if (zoom < 1 || zoom > 8) return Usage();
        } else {
            return Usage();
        }
    }

    const std::vector<art::NamedPicture> pictures = art::DrawAll();
    std::string error;
    for (const art::NamedPicture& named : pictures) {
        const std::string path = outdir + "/" + named.name;
        const std::vector<std::uint8_t> bytes = art::EncodeBmp(named.picture);
        std::ofstream file(path, std::ios::binary);
        file.write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        if (!file.flush()) {
            std::fprintf(stderr, "tavlo-art: cannot write %s\n", path.c_str());
            return 1;
        }
        if (png &&
            !art::WritePng(outdir + "/" + Stem(named.name) + ".png", named.picture, zoom, error)) {
            std::fprintf(stderr, "tavlo-art: %s\n", error.c_str());
            return 1;
        }
    }
    if (mock)
        for (const art::NamedPicture& screen : art::MockScreens(pictures))
            if (!art::WritePng(outdir + "/" + Stem(screen.name) + ".png", screen.picture, zoom,
                               error)) {
                std::fprintf(stderr, "tavlo-art: %s\n", error.c_str());
                return 1;
            }
    return 0;
}
