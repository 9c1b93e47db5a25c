// The window's icon: kWindowIconSize × kWindowIconSize ARGB words, top row first. Drawn from the
// game's artwork at build time (tools/icon) and given to this target by the build.
#pragma once

#include <cstdint>

namespace sdl {

extern const int kWindowIconSize;
extern const std::uint32_t kWindowIcon[];

}  // namespace sdl
