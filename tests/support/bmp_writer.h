// Small .bmp files for tests, written byte by byte: any depth the loader reads uncompressed
// (1, 4, 8, 24, 32 bits), a colour table of any length and a chosen colours-used field.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "byte_order.h"

namespace test_bmp {

struct Picture {
    int width = 0;
    int height = 0;
    int bitCount = 8;
    // Colour table entries as 0x00RRGGBB, written blue, green, red, 0.
    std::vector<std::uint32_t> colours;
    // The colours-used field; -1 writes the number of entries in `colours`.
    long coloursUsed = -1;
    // Top row first: table indices for 1-8 bits, 0x00RRGGBB for 24 and 32 bits.
    std::vector<std::uint32_t> pixels;
    // Bytes written behind the colour table, before the pixel rows.
    std::vector<std::uint8_t> gap;
};

inline void Put16(std::vector<std::uint8_t>& out, unsigned v) {
    platform::AppendLe16(out, static_cast<std::uint16_t>(v));
}

inline void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    platform::AppendLe32(out, v);
}

// The file's bytes: 14-byte file header, 40-byte info header, colour table, gap, rows
// bottom-up padded to 4 bytes.
inline std::vector<std::uint8_t> Encode(const Picture& p) {
    const int rowBytes = ((p.width * p.bitCount + 31) / 32) * 4;
    const std::uint32_t tableBytes = static_cast<std::uint32_t>(p.colours.size() * 4);
    const std::uint32_t offset = 54 + tableBytes + static_cast<std::uint32_t>(p.gap.size());
    std::vector<std::uint8_t> out;
    out.push_back('B');
    out.push_back('M');
    Put32(out, offset + static_cast<std::uint32_t>(rowBytes * p.height));
    Put32(out, 0);
    Put32(out, offset);
    Put32(out, 40);
    Put32(out, static_cast<std::uint32_t>(p.width));
    Put32(out, static_cast<std::uint32_t>(p.height));
    Put16(out, 1);
    Put16(out, static_cast<unsigned>(p.bitCount));
    Put32(out, 0);  // BI_RGB
    Put32(out, static_cast<std::uint32_t>(rowBytes * p.height));
    Put32(out, 2835);
    Put32(out, 2835);
    Put32(out, static_cast<std::uint32_t>(p.coloursUsed < 0 ? p.colours.size() : p.coloursUsed));
    Put32(out, 0);
    for (std::uint32_t c : p.colours) {
        out.push_back(static_cast<std::uint8_t>(c));
        out.push_back(static_cast<std::uint8_t>(c >> 8));
        out.push_back(static_cast<std::uint8_t>(c >> 16));
        out.push_back(0);
    }
    out.insert(out.end(), p.gap.begin(), p.gap.end());
    for (int y = p.height - 1; y >= 0; --y) {
        std::vector<std::uint8_t> row(static_cast<size_t>(rowBytes), 0);
        for (int x = 0; x < p.width; ++x) {
            const std::uint32_t v = p.pixels[static_cast<size_t>(y * p.width + x)];
            if (p.bitCount >= 24) {
                const int at = x * (p.bitCount / 8);
                row[at] = static_cast<std::uint8_t>(v);
                row[at + 1] = static_cast<std::uint8_t>(v >> 8);
                row[at + 2] = static_cast<std::uint8_t>(v >> 16);
            } else {
                const int bit = x * p.bitCount;
                const int shift = 8 - p.bitCount - bit % 8;
                row[bit / 8] |= static_cast<std::uint8_t>(v << shift);
            }
        }
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

inline void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return;
    if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
}

inline void Write(const std::string& path, const Picture& p) {
    WriteFile(path, Encode(p));
}

}  // namespace test_bmp
