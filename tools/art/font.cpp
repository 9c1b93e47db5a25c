#include "font.h"

#include <array>
#include <cmath>
#include <numbers>
#include <vector>

namespace art {
namespace {

// ---- The block face -------------------------------------------------------------------------

struct Bitmap {
    char ch;
    std::array<const char*, 7> rows;
};

// clang-format off
constexpr Bitmap kBitmaps[] = {
    {'A', {".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
    {'B', {"####.", "#...#", "#...#", "####.", "#...#", "#...#", "####."}},
    {'C', {".###.", "#...#", "#....", "#....", "#....", "#...#", ".###."}},
    {'D', {"####.", "#...#", "#...#", "#...#", "#...#", "#...#", "####."}},
    {'E', {"#####", "#....", "#....", "####.", "#....", "#....", "#####"}},
    {'F', {"#####", "#....", "#....", "####.", "#....", "#....", "#...."}},
    {'G', {".###.", "#...#", "#....", "#.###", "#...#", "#...#", ".####"}},
    {'H', {"#...#", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
    {'I', {"###", ".#.", ".#.", ".#.", ".#.", ".#.", "###"}},
    {'J', {"..###", "...#.", "...#.", "...#.", "#..#.", "#..#.", ".##.."}},
    {'K', {"#...#", "#..#.", "#.#..", "##...", "#.#..", "#..#.", "#...#"}},
    {'L', {"#....", "#....", "#....", "#....", "#....", "#....", "#####"}},
    {'M', {"#...#", "##.##", "#.#.#", "#.#.#", "#...#", "#...#", "#...#"}},
    {'N', {"#...#", "#...#", "##..#", "#.#.#", "#..##", "#...#", "#...#"}},
    {'O', {".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'P', {"####.", "#...#", "#...#", "####.", "#....", "#....", "#...."}},
    {'Q', {".###.", "#...#", "#...#", "#...#", "#.#.#", "#..#.", ".##.#"}},
    {'R', {"####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"}},
    {'S', {".###.", "#...#", "#....", ".###.", "....#", "#...#", ".###."}},
    {'T', {"#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."}},
    {'U', {"#...#", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'V', {"#...#", "#...#", "#...#", "#...#", "#...#", ".#.#.", "..#.."}},
    {'W', {"#...#", "#...#", "#...#", "#.#.#", "#.#.#", "#.#.#", ".#.#."}},
    {'X', {"#...#", "#...#", ".#.#.", "..#..", ".#.#.", "#...#", "#...#"}},
    {'Y', {"#...#", "#...#", ".#.#.", "..#..", "..#..", "..#..", "..#.."}},
    {'Z', {"#####", "....#", "...#.", "..#..", ".#...", "#....", "#####"}},
    {'0', {".###.", "#...#", "#..##", "#.#.#", "##..#", "#...#", ".###."}},
    {'1', {"..#..", ".##..", "..#..", "..#..", "..#..", "..#..", ".###."}},
    {'2', {".###.", "#...#", "....#", "...#.", "..#..", ".#...", "#####"}},
    {'3', {".###.", "#...#", "....#", "..##.", "....#", "#...#", ".###."}},
    {'4', {"...#.", "..##.", ".#.#.", "#..#.", "#####", "...#.", "...#."}},
    {'5', {"#####", "#....", "####.", "....#", "....#", "#...#", ".###."}},
    {'6', {"..##.", ".#...", "#....", "####.", "#...#", "#...#", ".###."}},
    {'7', {"#####", "....#", "...#.", "..#..", ".#...", ".#...", ".#..."}},
    {'8', {".###.", "#...#", "#...#", ".###.", "#...#", "#...#", ".###."}},
    {'9', {".###.", "#...#", "#...#", ".####", "....#", "...#.", ".##.."}},
    {'!', {"#", "#", "#", "#", "#", ".", "#"}},
    {'?', {".###.", "#...#", "....#", "...#.", "..#..", ".....", "..#.."}},
    {'.', {".", ".", ".", ".", ".", ".", "#"}},
    {':', {".", ".", "#", ".", ".", "#", "."}},
    {'-', {"....", "....", "....", "####", "....", "....", "...."}},
    {'/', {"....#", "....#", "...#.", "..#..", ".#...", "#....", "#...."}},
    {'+', {".....", "..#..", "..#..", "#####", "..#..", "..#..", "....."}},
    {' ', {"...", "...", "...", "...", "...", "...", "..."}},
};
// clang-format on

const Bitmap* FindBitmap(char ch) {
    for (const Bitmap& bitmap : kBitmaps)
        if (bitmap.ch == ch) return &bitmap;
    return nullptr;
}

int BitmapWidth(const Bitmap& bitmap) {
    return static_cast<int>(std::string_view(bitmap.rows[0]).size());
}

bool BitmapAt(const Bitmap& bitmap, int x, int y) {
    if (y < 0 || y >= 7 || x < 0 || x >= BitmapWidth(bitmap)) return false;
    return bitmap.rows[static_cast<std::size_t>(y)][x] == '#';
}

// ---- The stroke face ------------------------------------------------------------------------

using Path = std::vector<Point>;

struct StrokeGlyph {
    double width = 4;  // grid steps between the leftmost and rightmost pen centres
    std::vector<Path> paths;
};

// Points along an elliptical arc; angles in degrees, 0 pointing right and 90 pointing down.
Path Arc(double cx, double cy, double rx, double ry, double from, double to) {
    const int steps = std::max(4, static_cast<int>(std::abs(to - from) / 10.0));
    Path path;
    for (int i = 0; i <= steps; ++i) {
        const double a = (from + (to - from) * i / steps) * std::numbers::pi / 180.0;
        path.push_back({cx + rx * std::cos(a), cy + ry * std::sin(a)});
    }
    return path;
}

Path Join(Path a, const Path& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

StrokeGlyph MakeStrokeGlyph(char ch) {
    switch (ch) {
        case 'A':
            return {4, {{{0, 6}, {2, 0}, {4, 6}}, {{0.75, 4}, {3.25, 4}}}};
        case 'B':
            return {4,
                    {{{0, 0}, {0, 6}},
                     Join({{0, 0}, {2.5, 0}}, Join(Arc(2.5, 1.5, 1.4, 1.5, -90, 90), {{0, 3}})),
                     Join({{0, 3}, {2.6, 3}}, Join(Arc(2.6, 4.5, 1.4, 1.5, -90, 90), {{0, 6}}))}};
        case 'C':
            return {4, {Arc(2.2, 3, 2.2, 3, -45, -315)}};
        case 'D':
            return {
                4,
                {Join({{0, 6}, {0, 0}, {1.4, 0}}, Join(Arc(1.4, 3, 2.6, 3, -90, 90), {{0, 6}}))}};
        case 'E':
            return {3.6, {{{3.6, 0}, {0, 0}, {0, 6}, {3.6, 6}}, {{0, 3}, {2.8, 3}}}};
        case 'F':
            return {3.6, {{{3.6, 0}, {0, 0}, {0, 6}}, {{0, 3}, {2.8, 3}}}};
        case 'G':
            return {4, {Arc(2, 3, 2, 3, -45, -360), {{4, 3}, {4, 5.2}}, {{4, 3}, {2.3, 3}}}};
        case 'H':
            return {4, {{{0, 0}, {0, 6}}, {{4, 0}, {4, 6}}, {{0, 3}, {4, 3}}}};
        case 'I':
            return {0, {{{0, 0}, {0, 6}}}};
        case 'J':
            return {3.6, {Join({{3.6, 0}, {3.6, 4.2}}, Arc(1.8, 4.2, 1.8, 1.8, 0, 170))}};
        case 'K':
            return {4, {{{0, 0}, {0, 6}}, {{4, 0}, {0, 3.6}}, {{1.3, 2.5}, {4, 6}}}};
        case 'L':
            return {3.6, {{{0, 0}, {0, 6}, {3.6, 6}}}};
        case 'M':
            return {5, {{{0, 6}, {0, 0}, {2.5, 4}, {5, 0}, {5, 6}}}};
        case 'N':
            return {4, {{{0, 6}, {0, 0}, {4, 6}, {4, 0}}}};
        case 'O':
            return {4, {Arc(2, 3, 2, 3, 0, 360)}};
        case 'P':
            return {4,
                    {Join({{0, 6}, {0, 0}, {2.4, 0}},
                          Join(Arc(2.4, 1.6, 1.6, 1.6, -90, 90), {{0, 3.2}}))}};
        case 'Q':
            return {4, {Arc(2, 3, 2, 3, 0, 360), {{2.6, 4.4}, {4.2, 6.2}}}};
        case 'R':
            return {4,
                    {Join({{0, 6}, {0, 0}, {2.4, 0}},
                          Join(Arc(2.4, 1.6, 1.6, 1.6, -90, 90), {{0, 3.2}})),
                     {{2, 3.2}, {4, 6}}}};
        case 'S':
            return {4, {Join(Arc(2, 1.5, 2, 1.5, -15, -270), Arc(2, 4.5, 2, 1.5, -90, 165))}};
        case 'T':
            return {4, {{{0, 0}, {4, 0}}, {{2, 0}, {2, 6}}}};
        case 'U':
            return {4, {Join({{0, 0}, {0, 4}}, Join(Arc(2, 4, 2, 2, 180, 0), {{4, 0}}))}};
        case 'V':
            return {4, {{{0, 0}, {2, 6}, {4, 0}}}};
        case 'W':
            return {5, {{{0, 0}, {1.2, 6}, {2.5, 2}, {3.8, 6}, {5, 0}}}};
        case 'X':
            return {4, {{{0, 0}, {4, 6}}, {{4, 0}, {0, 6}}}};
        case 'Y':
            return {4, {{{0, 0}, {2, 3}, {4, 0}}, {{2, 3}, {2, 6}}}};
        case 'Z':
            return {4, {{{0, 0}, {4, 0}, {0, 6}, {4, 6}}}};
        case '0':
            return {3.4, {Arc(1.7, 3, 1.7, 3, 0, 360), {{2.6, 1.6}, {0.8, 4.4}}}};
        case '1':
            return {3, {{{0.4, 1.2}, {1.8, 0}, {1.8, 6}}, {{0, 6}, {3, 6}}}};
        case '2':
            return {4, {Join(Arc(2, 2, 2, 2, -160, 25), {{0, 6}, {4, 6}})}};
        case '3':
            return {4, {Arc(2, 1.5, 1.9, 1.5, -160, 90), Arc(2, 4.5, 2, 1.5, -90, 160)}};
        case '4':
            return {4, {{{3, 6}, {3, 0}, {0, 4.2}, {4.2, 4.2}}}};
        case '5':
            return {4, {Join({{3.8, 0}, {0.4, 0}, {0.2, 2.9}}, Arc(2, 4.1, 2, 1.9, -125, 155))}};
        case '6':
            return {
                4,
                {Arc(2, 4, 2, 2, 0, 360), {{0, 4}, {0.3, 2.2}, {1.2, 0.8}, {2.6, 0.1}, {3.4, 0}}}};
        case '7':
            return {4, {{{0, 0}, {4, 0}, {1.6, 6}}}};
        case '8':
            return {4, {Arc(2, 1.5, 1.7, 1.5, 0, 360), Arc(2, 4.4, 2, 1.6, 0, 360)}};
        case '9':
            return {
                4,
                {Arc(2, 2, 2, 2, 0, 360), {{4, 2}, {3.7, 3.8}, {2.8, 5.2}, {1.4, 5.9}, {0.6, 6}}}};
        case '!':
            return {0, {{{0, 0}, {0, 3.8}}, {{0, 6}}}};
        case '?':
            return {4, {Join(Arc(2, 1.6, 2, 1.6, -160, 60), {{2, 3.9}}), {{2, 6}}}};
        case '.':
            return {0, {{{0, 6}}}};
        case ':':
            return {0, {{{0, 2}}, {{0, 5.5}}}};
        case '-':
            return {2.5, {{{0, 3}, {2.5, 3}}}};
        case '/':
            return {3, {{{3, 0}, {0, 6}}}};
        case '+':
            return {3, {{{0, 3}, {3, 3}}, {{1.5, 1.5}, {1.5, 4.5}}}};
        default:
            return {2, {}};  // space and anything unknown
    }
}

}  // namespace

// ---- Block face drawing ---------------------------------------------------------------------

int BlockTextWidth(std::string_view text, const BlockStyle& style) {
    int width = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const Bitmap* bitmap = FindBitmap(text[i]);
        width += (bitmap ? BitmapWidth(*bitmap) : 3) * style.scale;
        if (i + 1 < text.size()) width += style.spacing * style.scale;
    }
    return width;
}

int BlockTextHeight(const BlockStyle& style) {
    return 7 * style.scale;
}

void DrawBlockText(Mask& mask, std::string_view text, int x, int y, const BlockStyle& style) {
    const int s = style.scale;
    for (char ch : text) {
        const Bitmap* bitmap = FindBitmap(ch);
        if (!bitmap) {
            x += (3 + style.spacing) * s;
            continue;
        }
        const int w = BitmapWidth(*bitmap);
        for (int by = 0; by < 7; ++by)
            for (int bx = 0; bx < w; ++bx) {
                if (style.smooth && s == 2) {
                    // Scale2x: a sub-pixel takes a neighbour's value where two neighbours that
                    // meet at its corner agree, which turns staircases into diagonals.
                    const bool p = BitmapAt(*bitmap, bx, by);
                    const bool a = BitmapAt(*bitmap, bx, by - 1), b = BitmapAt(*bitmap, bx + 1, by);
                    const bool c = BitmapAt(*bitmap, bx - 1, by), d = BitmapAt(*bitmap, bx, by + 1);
                    const bool e0 = (c == a && c != d && a != b) ? a : p;
                    const bool e1 = (a == b && a != c && b != d) ? b : p;
                    const bool e2 = (d == c && d != b && c != a) ? c : p;
                    const bool e3 = (b == d && b != a && d != c) ? d : p;
                    const int px = x + bx * 2, py = y + by * 2;
                    if (e0) mask.Set(px, py);
                    if (e1) mask.Set(px + 1, py);
                    if (e2) mask.Set(px, py + 1);
                    if (e3) mask.Set(px + 1, py + 1);
                } else if (BitmapAt(*bitmap, bx, by)) {
                    for (int v = 0; v < s; ++v)
                        for (int u = 0; u < s; ++u) mask.Set(x + bx * s + u, y + by * s + v);
                }
            }
        x += (w + style.spacing) * s;
    }
}

// ---- Stroke face drawing --------------------------------------------------------------------

double StrokeTextWidth(std::string_view text, const StrokeStyle& style) {
    double width = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        width += MakeStrokeGlyph(text[i]).width * style.unitX + 2 * style.pen;
        if (i + 1 < text.size()) width += style.spacing;
    }
    return width;
}

double StrokeTextHeight(const StrokeStyle& style) {
    return 6 * style.unitY + 2 * style.pen;
}

void DrawStrokeText(Mask& mask, std::string_view text, double x, double y,
                    const StrokeStyle& style) {
    for (char ch : text) {
        const StrokeGlyph glyph = MakeStrokeGlyph(ch);
        for (const Path& path : glyph.paths) {
            Path placed;
            for (const Point& p : path)
                placed.push_back(
                    {x + style.pen + p.x * style.unitX, y + style.pen + p.y * style.unitY});
            mask.Stroke(placed, style.pen);
        }
        x += glyph.width * style.unitX + 2 * style.pen + style.spacing;
    }
}

}  // namespace art
