// Text for the GDI layer: code page 932 to UTF-8, fonts found through fontconfig (Linux) or in
// the Windows fonts folder and the package's own (Windows), drawn by FreeType without
// anti-aliasing (text_engine.cpp; the browser build has none: text_none.cpp).
// Plain C++; the GDI layer wraps a Font in its font object.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace platform::text {

// The game's strings are Shift-JIS (code page 932). Bytes that are not valid CP932 become
// U+FFFD; the conversion never fails.
std::string Cp932ToUtf8(std::string_view bytes);

inline constexpr int kShiftJisCharset = 128;
inline constexpr int kDefaultCellHeight = 16;
// Requested heights and widths are held to this many pixels.
inline constexpr int kMaxFontPixels = 2048;

// What CreateFontA is asked for.
struct FontRequest {
    int height = 0;        // > 0 cell height, < 0 character (em) height, 0 kDefaultCellHeight
    int width = 0;         // average character width; 0 keeps the face's own proportions
    int escapement = 0;    // tenths of a degree, turning the baseline counter-clockwise
    int weight = 0;        // 0 normal (400); 600 and above bold, synthesized if the face has none
    bool italic = false;   // slanted by shearing if the face has no italic
    int charSet = 0;       // kShiftJisCharset prefers a face that covers Japanese
    std::string faceName;  // CP932 bytes; empty means the default sans face
    friend bool operator==(const FontRequest&, const FontRequest&) = default;
};

// Pixel metrics of a font as drawn: height == ascent + descent (the text cell).
struct FontMetrics {
    int height = 0;
    int ascent = 0;
    int descent = 0;
    int averageCharWidth = 0;
};

struct TextExtent {
    int width = 0;
    int height = 0;
    friend bool operator==(const TextExtent&, const TextExtent&) = default;
};

// Pixels outside [left, right) x [top, bottom) are not plotted.
struct ClipRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

// How many times Font::Create has gone to the font finder and FreeType in this process: the costly
// step that callers keep fonts to avoid.
unsigned long FontsBuilt();

class Font {
  public:
    // The best face the system offers for the request (a missing face name falls back to the
    // closest match). nullptr only when no usable face exists at all.
    static std::unique_ptr<Font> Create(const FontRequest& request);
    // The font of a device context that has none selected: 16-pixel cell, normal weight, sans,
    // covering Japanese.
    static std::unique_ptr<Font> CreateDefault();

    ~Font();
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;

    const FontMetrics& Metrics() const;
    // The family of the primary face, UTF-8.
    const std::string& FamilyName() const;

    // What GetTextExtentPoint32A answers for CP932 text: the sum of the characters' advances
    // and the cell height, whatever the escapement. Empty text is 0 wide.
    TextExtent Measure(std::string_view cp932) const;

    // Draws CP932 text in one colour: plot(x, y) is called once for every set pixel inside
    // clip, never for anything in between (no grey levels). (x, y) is the top-left of the text
    // cell, so the baseline starts at (x, y + ascent); with an escapement the whole line turns
    // about (x, y). Characters the primary face lacks come from another face that has them,
    // when there is one. Returns the advance along the baseline, as Measure's width.
    int Draw(int x, int y, std::string_view cp932, const ClipRect& clip,
             const std::function<void(int x, int y)>& plot) const;

  private:
    struct Impl;
    explicit Font(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

}  // namespace platform::text
