// A colour as pictures and screens hold it: red, green and blue, one byte each.
#pragma once

#include <cstdint>

namespace platform {

struct Rgb {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

}  // namespace platform
