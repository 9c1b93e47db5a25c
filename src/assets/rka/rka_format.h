// The RKA archive's on-disk layout: shared by the game's reader and the rka tool.
//
// An archive is a one-byte entry count E (at most 50), E name fields of 13 bytes, E little-endian
// 32-bit block offsets, and the entry blocks anywhere behind them. A block is
//   unpackedSize U, runCount N, N run positions, N run lengths, N run bytes, literalCount C,
//   C literal bytes
// with 32-bit little-endian counts and no padding. Unpacking inserts each run into the literal
// stream before the literal whose index is the run's position.
//
// Plain C++ with no platform headers: the game calls the checks and the unpack loop from its
// Archive, the tool and the fuzz targets use the parsers, the verifier and the writer as well.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
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

// `name` for messages and listings, control bytes shown as \xNN so that a damaged name cannot
// garble a terminal.
std::string PrintableName(std::string_view name);

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

struct DirectoryEntry {
    char nameField[kNameFieldSize];
    std::uint32_t offset;
    std::string_view Name() const { return FieldName(nameField); }
};

struct Directory {
    std::vector<DirectoryEntry> entries;
    // The index of the last entry named `name` (the reader's choice of equal names), or -1.
    int Find(const char* name) const;
};

struct Block {
    std::uint32_t unpackedSize = 0;
    std::vector<std::uint32_t> runPositions;
    std::vector<std::uint32_t> runLengths;
    std::vector<std::uint8_t> runValues;
    std::vector<std::uint8_t> literals;

    std::uint32_t RunCount() const { return static_cast<std::uint32_t>(runValues.size()); }
    std::uint64_t PackedSize() const { return BlockSize(runValues.size(), literals.size()); }
};

template <typename T>
struct Parsed {
    T value{};
    Damage damage = Damage::kNone;
    bool ok() const { return damage == Damage::kNone; }
};

// The directory at the start of `file`: fails with kNoEntryCount, kTooManyEntries or
// kDirectoryTruncated. Name fields are taken as they are (the reader tolerates a missing zero).
Parsed<Directory> ParseDirectory(std::span<const std::uint8_t> file);
// The block at `offset`, with the reader's checks in the reader's order.
Parsed<Block> ParseBlock(std::span<const std::uint8_t> file, std::uint32_t offset);
// The block's bytes as the game's reader unpacks them, unreached bytes zero.
std::vector<std::uint8_t> UnpackBlock(const Block& block);

// Every problem of the archive, one line each ("entry 2 [logo.bmp]: run positions decrease at
// run 4"); empty when the archive is sound. Beyond the reader's damage and ill-formed blocks it
// names what `rka pack` would not write and `rka extract` would not take: a name that is not a
// plain file name, an entry hidden by a later one of the same name (the reader only ever finds
// the later), and entries whose unpacked sizes add up to more than kMaxArchiveUnpackedSize.
std::vector<std::string> Verify(std::span<const std::uint8_t> file);

// The smallest well-formed block for `data` (at most 2^32 - 1 bytes). A block costs
// 12 + 9N + C bytes and every byte is either a literal or inside a run, so a run of length L
// changes the size by 9 - L: only runs longer than 9 bytes save anything. Each run covers
// consecutive equal bytes, so it lies inside one maximal stretch of equal bytes; covering a
// stretch of length m with k runs saves (their total length) - 9k, which is largest with one run
// over the whole stretch (splitting adds 9 per extra run and covers nothing more; merging across
// stretches is impossible, their bytes differ). So the optimum takes one run per maximal stretch
// longer than 9 and nothing else. (Leaving trailing bytes for the reader's zero fill would not
// be a well-formed block.)
Block Pack(std::span<const std::uint8_t> data);
// The block's bytes as the archive stores them.
std::vector<std::uint8_t> EncodeBlock(const Block& block);

struct Member {
    std::string name;
    std::vector<std::uint8_t> data;
};

struct Written {
    std::vector<std::uint8_t> bytes;
    std::string error;  // empty on success
};
// Whether `name` can be written as a file inside a folder: not empty, not "." or "..", no '/'.
bool IsPlainFileName(std::string_view name);
// Why `names` cannot make an archive: more than 50, a name that is not a plain file name, over 12
// bytes or holds a zero byte, or two equal names (the reader would only ever find the later).
// Empty when they can.
std::string CheckMemberNames(const std::vector<std::string>& names);
// Why members of these sizes cannot make an archive: one above kMaxUnpackedSize (the reader
// refuses it) or all together above kMaxArchiveUnpackedSize. Empty when they can.
std::string CheckMemberSizes(const std::vector<std::string>& names,
                             const std::vector<std::uint64_t>& sizes);
// A whole archive of `members` in their order, each block packed by Pack. Refuses what
// CheckMemberNames and CheckMemberSizes refuse, and archives too large for 32-bit offsets.
Written WriteArchive(const std::vector<Member>& members);

}  // namespace rka
