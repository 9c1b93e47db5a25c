// The RKA archive's tool half: whole archives parsed, verified and written (rka_format.h has the
// layout and the reader's checks). The rka tool, the fuzz targets and the tests link it; the game
// does not.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "rka_format.h"

namespace rka {

// `name` for messages and listings, control bytes shown as \xNN so that a damaged name cannot
// garble a terminal.
std::string PrintableName(std::string_view name);

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

// The smallest well-formed block for `data` (at most 2^32 - 1 bytes): one run for each stretch
// of more than 9 equal bytes, literals for the rest.
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
