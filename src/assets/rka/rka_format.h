// The RKA archive's on-disk layout and the reader's half: shared by the game's reader and the rka
// tool.
//
// An archive is a one-byte entry count E (at most 50), E name fields of 13 bytes, E little-endian
// 32-bit block offsets, and the entry blocks anywhere behind them. A block is
//   unpackedSize U, runCount N, N run positions, N run lengths, N run bytes, literalCount C,
//   C literal bytes
// with 32-bit little-endian counts and no padding. Unpacking inserts each run into the literal
// stream before the literal whose index is the run's position.
//
// Plain C++ with no platform headers: the game calls the checks and the unpack loop from its
// Archive. Parsing whole archives, verifying and packing are the tool's (rka_pack.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace rka {

inline constexpr std::size_t kMaxEntries = 50;
// Largest unpacked entry the reader accepts (a 16384 × 16384 8-bit picture).
inline constexpr std::uint32_t kMaxUnpackedSize = 256u << 20;
// Largest sum of the entries' unpacked sizes that `rka pack` writes and `rka verify` passes (four
// of the largest entries). The game reads one entry at a time and does not check it; the limit
// keeps a small archive from unpacking to gigabytes on the disk of whoever extracts it.
inline constexpr std::uint64_t kMaxArchiveUnpackedSize = std::uint64_t{kMaxUnpackedSize} * 4;
inline constexpr std::size_t kNameFieldSize = 13;
inline constexpr std::size_t kMaxNameLength = kNameFieldSize - 1;
// Entry count byte, then per entry a name field and an offset.
inline constexpr std::size_t kEntryCountSize = 1;
inline constexpr std::size_t kDirectoryEntrySize = kNameFieldSize + 4;
// unpackedSize and runCount.
inline constexpr std::size_t kBlockHeaderSize = 8;
// What one run takes in a block: its position, its length and its byte.
inline constexpr std::size_t kRunSize = 9;
inline constexpr std::size_t kLiteralCountSize = 4;

// Bytes taken by the directory of `entryCount` entries.
constexpr std::uint64_t DirectorySize(std::uint64_t entryCount) {
    return kEntryCountSize + kDirectoryEntrySize * entryCount;
}
// Bytes taken by a block with `runCount` runs and `literalCount` literals.
constexpr std::uint64_t BlockSize(std::uint64_t runCount, std::uint64_t literalCount) {
    return kBlockHeaderSize + kRunSize * runCount + kLiteralCountSize + literalCount;
}

// Little-endian 32-bit values, whatever the host's byte order.
std::uint32_t LoadU32(const std::uint8_t* bytes);
void StoreU32(std::uint8_t* bytes, std::uint32_t value);
void AppendU32(std::vector<std::uint8_t>& out, std::uint32_t value);
// Turns `count` values read raw from a file into host order in place (nothing to do on
// little-endian hosts).
void FromLittleEndian(std::uint32_t* values, std::size_t count);

// The name held in a 13-byte field: up to its zero byte, or all 13 bytes when it has none (such a
// field is not valid, but it is never read past).
std::string_view FieldName(const char* field);
// strcmp equality of `name` with the name held in `field`, never looking past the field.
bool NameMatches(const char* field, const char* name);

// What is wrong with an archive. The reader ends on the first it finds; the verifier lists them.
enum class Damage {
    kNone,
    kNoEntryCount,            // the file is empty
    kTooManyEntries,          // entry count above 50
    kDirectoryTruncated,      // the name or offset table runs past the end of the file
    kNameUnterminated,        // a name field without a zero byte
    kOffsetInDirectory,       // a block offset pointing into the directory itself
    kOffsetBeyondFile,        // no room for a block header at the offset
    kRunCountTooLarge,        // the runs and the literal count cannot fit behind the offset
    kLiteralCountTooLarge,    // the literals cannot fit behind the runs
    kUnpackedSizeTooLarge,    // U larger than any entry the reader takes
    kSizeMismatch,            // U differs from C + the sum of the run lengths
    kPositionsDecrease,       // a run position below the one before it
    kPositionBeyondLiterals,  // a run position above C
    kReadFailed,              // a read came back short although the counts fit (the file changed)
};
// One line, lower case, without the entry's name: "run count does not fit in the file".
const char* Describe(Damage damage);

// The reader's checks, made in this order as a block is read, each from what has been read so
// far. They keep a damaged archive from making the reader allocate or read more than the file
// holds. `fileSize` is the archive's size in bytes, `offset` the block's offset.
Damage CheckBlockOffset(std::uint64_t fileSize, std::uint32_t offset);
Damage CheckRunCount(std::uint64_t fileSize, std::uint32_t offset, std::uint32_t runCount);
Damage CheckLiteralCount(std::uint64_t fileSize, std::uint32_t offset, std::uint32_t runCount,
                         std::uint32_t literalCount);
// The reader allocates U bytes before it unpacks, so U is refused above kMaxUnpackedSize: a
// damaged U could otherwise ask for gigabytes. Below that the reader takes any U, also one that
// differs from C + the sum of the run lengths: a smaller U cuts the rest off, a larger one leaves
// zeros at the end (only the verifier calls either a problem).
Damage CheckUnpackedSize(std::uint32_t unpackedSize);

// The unpack loop exactly as the game's reader defines it. For each literal index i from 0 to
// U - 1: first every run whose position is i, in array order (bytes landing at U or beyond are
// dropped, the output position still advancing by the whole length), then literal i when
// i < C. A run whose position is below the index already reached is never written, nor is any
// run behind it. Bytes nothing reaches are left as they are: the caller zeroes `output`, which
// holds `unpackedSize` bytes. Output positions are counted without wrapping.
void Unpack(const std::uint8_t* literals, std::uint32_t literalCount,
            const std::uint32_t* runPositions, const std::uint32_t* runLengths,
            const std::uint8_t* runValues, std::uint32_t runCount, std::uint8_t* output,
            std::uint32_t unpackedSize);

}  // namespace rka
