// Shared helpers for the artwork tests: finding pictures, reading pixels of a region.
#pragma once

#include <string>
#include <vector>

#include "art/pictures.h"
#include "art/layout.h"

namespace art_test {

// The four pictures, drawn once per test process.
inline const std::vector<art::NamedPicture>& Pictures() {
    static const std::vector<art::NamedPicture> pictures = art::DrawAll();
    return pictures;
}

inline const art::Picture& PictureNamed(const std::string& name) {
    for (const art::NamedPicture& named : Pictures())
        if (named.name == name) return named.picture;
    throw std::runtime_error("no picture " + name);
}

inline double Luminance(const art::Rgb& c) {
    return 0.299 * c.r + 0.587 * c.g + 0.114 * c.b;
}

}  // namespace art_test
