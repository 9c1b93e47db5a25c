// The four pictures of the archive, and the background tiles two of them share a layout for.
#pragma once

#include <string>
#include <vector>

#include "picture.h"

namespace art {

Picture DrawLogo();   // the studio mark, full screen
Picture DrawTitle();  // title lettering, menu items, cursor, background tile
Picture DrawGame0();  // the four targets and their hit looks, the countdown
Picture DrawGame1();  // digits, score panel, ratings, background tile

inline constexpr int kTileSize = 80;
// Seamless 80×80 backgrounds: every shape is drawn with its copies one tile away on each side,
// so the tile's edges continue into each other.
Canvas TitleTile();
Canvas PlayTile();
// The 240×240 work areas the tiles are cut from (their middle cells).
Canvas TitleTileArea();
Canvas PlayTileArea();

struct NamedPicture {
    std::string name;  // its entry name in the archive
    Picture picture;
};
// All four, in archive order.
std::vector<NamedPicture> DrawAll();

}  // namespace art
