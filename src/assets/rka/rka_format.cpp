// The RKA archive's layout: the reader's checks and the unpack loop.
#include "rka_format.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace rka {

std::uint32_t LoadU32(const std::uint8_t* bytes) {
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

void StoreU32(std::uint8_t* bytes, std::uint32_t value) {
    bytes[0] = static_cast<std::uint8_t>(value);
    bytes[1] = static_cast<std::uint8_t>(value >> 8);
    bytes[2] = static_cast<std::uint8_t>(value >> 16);
    bytes[3] = static_cast<std::uint8_t>(value >> 24);
}

void AppendU32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    std::uint8_t bytes[4];
    StoreU32(bytes, value);
    out.insert(out.end(), bytes, bytes + 4);
}

void FromLittleEndian(std::uint32_t* values, std::size_t count) {
    if constexpr (std::endian::native != std::endian::little) {
        for (std::size_t k = 0; k < count; ++k) {
            std::uint8_t bytes[4];
            std::memcpy(bytes, &values[k], 4);
            values[k] = LoadU32(bytes);
        }
    } else {
        (void)values;
        (void)count;
    }
}

std::string_view FieldName(const char* field) {
    const void* zero = std::memchr(field, 0, kNameFieldSize);
    std::size_t length =
        zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - field) : kNameFieldSize;
    return std::string_view(field, length);
}

bool NameMatches(const char* field, const char* name) {
    return FieldName(field) == name;
}

const char* Describe(Damage damage) {
    switch (damage) {
        case Damage::kNone:
            return "sound";
        case Damage::kNoEntryCount:
            return "the file is empty: no entry count";
        case Damage::kTooManyEntries:
            return "more than 50 entries";
        case Damage::kDirectoryTruncated:
            return "the directory runs past the end of the file";
        case Damage::kNameUnterminated:
            return "name field without a terminating zero byte";
        case Damage::kOffsetInDirectory:
            return "block offset points into the directory";
        case Damage::kOffsetBeyondFile:
            return "block offset lies beyond the end of the file";
        case Damage::kRunCountTooLarge:
            return "run count does not fit in the file";
        case Damage::kLiteralCountTooLarge:
            return "literal count does not fit in the file";
        case Damage::kUnpackedSizeTooLarge:
            return "unpacked size beyond any entry the reader takes";
        case Damage::kSizeMismatch:
            return "unpacked size differs from literal count plus run lengths";
        case Damage::kPositionsDecrease:
            return "run positions decrease";
        case Damage::kPositionBeyondLiterals:
            return "run position beyond the literal count";
        case Damage::kReadFailed:
            return "the file could not be read";
    }
    return "unknown damage";
}

Damage CheckBlockOffset(std::uint64_t fileSize, std::uint32_t offset) {
    if (std::uint64_t{offset} + kBlockHeaderSize > fileSize) return Damage::kOffsetBeyondFile;
    return Damage::kNone;
}

Damage CheckRunCount(std::uint64_t fileSize, std::uint32_t offset, std::uint32_t runCount) {
    // The runs and the literal count behind them must lie inside the file.
    if (std::uint64_t{offset} + kBlockHeaderSize + kRunSize * std::uint64_t{runCount} +
            kLiteralCountSize >
        fileSize)
        return Damage::kRunCountTooLarge;
    return Damage::kNone;
}

Damage CheckLiteralCount(std::uint64_t fileSize, std::uint32_t offset, std::uint32_t runCount,
                         std::uint32_t literalCount) {
    if (std::uint64_t{offset} + BlockSize(runCount, literalCount) > fileSize)
        return Damage::kLiteralCountTooLarge;
    return Damage::kNone;
}

Damage CheckUnpackedSize(std::uint32_t unpackedSize) {
    if (unpackedSize > kMaxUnpackedSize) return Damage::kUnpackedSizeTooLarge;
    return Damage::kNone;
}

void Unpack(const std::uint8_t* literals, std::uint32_t literalCount,
            const std::uint32_t* runPositions, const std::uint32_t* runLengths,
            const std::uint8_t* runValues, std::uint32_t runCount, std::uint8_t* output,
            std::uint32_t unpackedSize) {
    std::uint32_t i = 0;
    std::uint32_t r = 0;
    std::uint64_t o = 0;  // 64 bits: a long run moves it past U, never around to the start
    while (i < unpackedSize) {
        while (r < runCount && runPositions[r] == i) {
            if (o < unpackedSize) {
                std::uint64_t count = std::min<std::uint64_t>(runLengths[r], unpackedSize - o);
                std::memset(output + o, runValues[r], static_cast<std::size_t>(count));
            }
            o += runLengths[r];
            ++r;
        }
        if (o >= unpackedSize) break;  // o never falls back: nothing more is written
        if (i < literalCount) {
            // Literals up to the next run's position go out in one copy; the loop as written
            // would copy them one at a time with nothing else happening in between. A run
            // whose position was already passed is never reached, nor any behind it.
            std::uint64_t stop = literalCount;
            if (r < runCount && runPositions[r] > i)
                stop = std::min<std::uint64_t>(stop, runPositions[r]);
            stop = std::min<std::uint64_t>(stop, i + (unpackedSize - o));
            stop = std::min<std::uint64_t>(stop, unpackedSize);
            const auto count = static_cast<std::size_t>(stop - i);
            std::memcpy(output + o, literals + i, count);
            o += count;
            i = static_cast<std::uint32_t>(stop);
            continue;
        }
        // Past the literals only a run can write, and only one whose position the loop still
        // reaches.
        if (r < runCount && runPositions[r] > i && runPositions[r] < unpackedSize)
            i = runPositions[r];
        else
            break;
    }
}

}  // namespace rka
