// Where the game looks for things in game0.bmp: the targets' columns and rows.
#pragma once

namespace art {

// By kind: 0 right, 1 up, 2 left, 3 down.
inline constexpr int kTargetX[4] = {1, 76, 160, 236};
inline constexpr int kTargetWidth[4] = {73, 82, 73, 82};
inline constexpr int kTargetHeight = 85;
inline constexpr int kTargetHitY = 87;  // the hit looks' row; the normal looks are at y 0

}  // namespace art
