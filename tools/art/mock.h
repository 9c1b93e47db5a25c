// The game's screens put together from the pictures' regions the way the game copies them, for
// judging how the pictures work together.
#pragma once

#include <vector>

#include "pictures.h"

namespace art {

// `pictures` as DrawAll returns them; the results are named mock_*.png.
std::vector<NamedPicture> MockScreens(const std::vector<NamedPicture>& pictures);

}  // namespace art
