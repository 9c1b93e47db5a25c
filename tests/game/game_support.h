// Slots filled the way the game's pictures fill them, without the archive: tests of the round
// and the title screen draw from these.
#pragma once

namespace game_testing {

// The colour key every picture slot gets from a palette load: index 1.
constexpr unsigned char kKey = 1;

// Opens the 320×240 full-screen display and gives slots 1 to 9 the colour key.
void OpenKeyedDisplay();
// Fills a w × h rectangle of a slot with one value.
void FillRect(int slot, int x, int y, int w, int h, unsigned char value);
// True when every pixel of the w × h rectangle at (x, y) of slot `a` equals the one at
// (sx, sy) of slot `b`.
bool SameRect(int a, int x, int y, int b, int sx, int sy, int w, int h);
// A value of its own for every pixel, never the key: 2 + (x + 3y) mod 250.
unsigned char Texture(int x, int y);
void PaintTexture(int slot);

}  // namespace game_testing
