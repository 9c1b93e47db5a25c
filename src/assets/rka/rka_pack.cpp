// The RKA archive's tool half: parsing, verifying, packing and writing.
#include "rka_pack.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <limits>

namespace rka {

namespace {

std::uint64_t SumOfLengths(const std::uint32_t* runLengths, std::uint32_t runCount) {
    std::uint64_t sum = 0;
    for (std::uint32_t r = 0; r < runCount; ++r) sum += runLengths[r];
    return sum;
}

}  // namespace

int Directory::Find(const char* name) const {
    int found = -1;
    for (std::size_t k = 0; k < entries.size(); ++k)
        if (NameMatches(entries[k].nameField, name)) found = static_cast<int>(k);
    return found;
}

Parsed<Directory> ParseDirectory(std::span<const std::uint8_t> file) {
    Parsed<Directory> result;
    if (file.empty()) {
        result.damage = Damage::kNoEntryCount;
        return result;
    }
    std::size_t count = file[0];
    if (count > kMaxEntries) {
        result.damage = Damage::kTooManyEntries;
        return result;
    }
    if (file.size() < DirectorySize(count)) {
        result.damage = Damage::kDirectoryTruncated;
        return result;
    }
    result.value.entries.resize(count);
    const std::uint8_t* names = file.data() + kEntryCountSize;
    const std::uint8_t* offsets = names + kNameFieldSize * count;
    for (std::size_t k = 0; k < count; ++k) {
        std::memcpy(result.value.entries[k].nameField, names + kNameFieldSize * k, kNameFieldSize);
        result.value.entries[k].offset = LoadU32(offsets + 4 * k);
    }
    return result;
}

Parsed<Block> ParseBlock(std::span<const std::uint8_t> file, std::uint32_t offset) {
    Parsed<Block> result;
    Block& block = result.value;
    const std::uint64_t size = file.size();
    if ((result.damage = CheckBlockOffset(size, offset)) != Damage::kNone) return result;
    const std::uint8_t* at = file.data() + offset;
    block.unpackedSize = LoadU32(at);
    std::uint32_t runCount = LoadU32(at + 4);
    if ((result.damage = CheckRunCount(size, offset, runCount)) != Damage::kNone) return result;
    at += kBlockHeaderSize;
    block.runPositions.resize(runCount);
    block.runLengths.resize(runCount);
    for (std::uint32_t r = 0; r < runCount; ++r) {
        block.runPositions[r] = LoadU32(at + 4 * std::size_t{r});
        block.runLengths[r] = LoadU32(at + 4 * (std::size_t{runCount} + r));
    }
    at += 8 * std::size_t{runCount};
    block.runValues.assign(at, at + runCount);
    at += runCount;
    std::uint32_t literalCount = LoadU32(at);
    if ((result.damage = CheckLiteralCount(size, offset, runCount, literalCount)) != Damage::kNone)
        return result;
    at += kLiteralCountSize;
    block.literals.assign(at, at + literalCount);
    result.damage = CheckUnpackedSize(block.unpackedSize);
    return result;
}

std::vector<std::uint8_t> UnpackBlock(const Block& block) {
    std::vector<std::uint8_t> output(block.unpackedSize, 0);
    Unpack(block.literals.data(), static_cast<std::uint32_t>(block.literals.size()),
           block.runPositions.data(), block.runLengths.data(), block.runValues.data(),
           block.RunCount(), output.data(), block.unpackedSize);
    return output;
}

namespace {

__attribute__((format(printf, 1, 2))) std::string Format(const char* format, ...) {
    char line[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    return line;
}

// For printf's %llu, which every C library we build with knows (unlike %zu).
unsigned long long Wide(std::uint64_t value) {
    return value;
}

}  // namespace

std::string PrintableName(std::string_view name) {
    std::string out;
    for (unsigned char c : name) {
        if (c < 0x20 || c == 0x7f)
            out += Format("\\x%02x", c);
        else
            out += static_cast<char>(c);
    }
    return out;
}

namespace {

// Checks entry `index` of `directory`; its unpacked size when its counts fit the file, else 0.
std::uint64_t VerifyEntry(std::span<const std::uint8_t> file, const Directory& directory,
                          std::size_t index, std::vector<std::string>& problems) {
    const DirectoryEntry& entry = directory.entries[index];
    const std::size_t entryCount = directory.entries.size();
    const std::string where =
        Format("entry %llu [%s]: ", Wide(index), PrintableName(entry.Name()).c_str());
    auto report = [&](Damage damage, const std::string& detail) {
        problems.push_back(where + Describe(damage) + detail);
    };
    if (!std::memchr(entry.nameField, 0, kNameFieldSize)) report(Damage::kNameUnterminated, "");
    if (entry.Name().empty())
        problems.push_back(where + "empty name");
    else if (!IsPlainFileName(entry.Name()))
        problems.push_back(where + "not a plain file name (holds '/' or is \".\" or \"..\")");
    for (std::size_t later = index + 1; later < entryCount; ++later) {
        if (directory.entries[later].Name() == entry.Name()) {
            problems.push_back(where + Format("hidden by entry %llu of the same name: the reader "
                                              "never finds it",
                                              Wide(later)));
            break;
        }
    }
    if (entry.offset < DirectorySize(entryCount))
        report(Damage::kOffsetInDirectory, Format(" (offset %u)", entry.offset));

    Parsed<Block> parsed = ParseBlock(file, entry.offset);
    const Block& block = parsed.value;
    switch (parsed.damage) {
        case Damage::kOffsetBeyondFile:
            report(parsed.damage,
                   Format(" (offset %u, file size %llu)", entry.offset, Wide(file.size())));
            return 0;
        case Damage::kRunCountTooLarge:
            report(parsed.damage, Format(" (%u runs at offset %u, file size %llu)",
                                         LoadU32(file.data() + entry.offset + 4), entry.offset,
                                         Wide(file.size())));
            return 0;
        case Damage::kLiteralCountTooLarge:
            report(parsed.damage, Format(" (%u literals, file size %llu)",
                                         LoadU32(file.data() + entry.offset + kBlockHeaderSize +
                                                 kRunSize * block.RunCount()),
                                         Wide(file.size())));
            return 0;
        case Damage::kUnpackedSizeTooLarge:
            report(parsed.damage,
                   Format(" (U = %u, at most %u)", block.unpackedSize, kMaxUnpackedSize));
            break;  // the counts fit: check the block's contents as well
        default:
            break;  // the counts fit: check the block's contents
    }

    const std::uint64_t filled =
        block.literals.size() + SumOfLengths(block.runLengths.data(), block.RunCount());
    if (block.unpackedSize != filled)
        report(Damage::kSizeMismatch,
               Format(" (U = %u, C + run lengths = %llu)", block.unpackedSize, Wide(filled)));

    // One line per kind of fault, naming the first run and counting the others.
    std::uint32_t firstDecrease = 0, decreases = 0, firstBeyond = 0, beyond = 0;
    for (std::uint32_t r = 0; r < block.RunCount(); ++r) {
        if (r > 0 && block.runPositions[r] < block.runPositions[r - 1] && decreases++ == 0)
            firstDecrease = r;
        if (block.runPositions[r] > block.literals.size() && beyond++ == 0) firstBeyond = r;
    }
    if (decreases)
        report(Damage::kPositionsDecrease,
               Format(" at run %u (%u < %u)%s", firstDecrease, block.runPositions[firstDecrease],
                      block.runPositions[firstDecrease - 1],
                      decreases > 1 ? Format(" and %u more places", decreases - 1).c_str() : ""));
    if (beyond)
        report(Damage::kPositionBeyondLiterals,
               Format(" at run %u (%u > %llu)%s", firstBeyond, block.runPositions[firstBeyond],
                      Wide(block.literals.size()),
                      beyond > 1 ? Format(" and %u more runs", beyond - 1).c_str() : ""));
    return block.unpackedSize;
}

}  // namespace

std::vector<std::string> Verify(std::span<const std::uint8_t> file) {
    std::vector<std::string> problems;
    Parsed<Directory> directory = ParseDirectory(file);
    if (!directory.ok()) {
        std::string line = std::string("directory: ") + Describe(directory.damage);
        if (directory.damage != Damage::kNoEntryCount)
            line += Format(" (%u entries, file size %llu)", file[0], Wide(file.size()));
        problems.push_back(line);
        return problems;
    }
    std::uint64_t total = 0;
    for (std::size_t k = 0; k < directory.value.entries.size(); ++k)
        total += VerifyEntry(file, directory.value, k, problems);
    if (total > kMaxArchiveUnpackedSize)
        problems.push_back(
            Format("archive: the entries unpack to %llu bytes in all, more than %llu", Wide(total),
                   Wide(kMaxArchiveUnpackedSize)));
    return problems;
}

// Pack is optimal. A block costs 12 + 9N + C bytes and every byte is either a literal or inside a
// run, so a run of length L changes the size by 9 - L: only runs longer than 9 bytes save
// anything. Each run covers consecutive equal bytes, so it lies inside one maximal stretch of
// equal bytes; covering a stretch of length m with k runs saves (their total length) - 9k, which
// is largest with one run over the whole stretch (splitting adds 9 per extra run and covers
// nothing more; merging across stretches is impossible, their bytes differ). So the optimum takes
// one run per maximal stretch longer than 9 and nothing else. (Leaving trailing bytes for the
// reader's zero fill would not be a well-formed block.)
Block Pack(std::span<const std::uint8_t> data) {
    Block block;
    block.unpackedSize = static_cast<std::uint32_t>(data.size());
    std::size_t k = 0;
    while (k < data.size()) {
        std::size_t end = k + 1;
        while (end < data.size() && data[end] == data[k]) ++end;
        std::size_t length = end - k;
        if (length > kRunSize) {
            block.runPositions.push_back(static_cast<std::uint32_t>(block.literals.size()));
            block.runLengths.push_back(static_cast<std::uint32_t>(length));
            block.runValues.push_back(data[k]);
        } else {
            block.literals.insert(block.literals.end(), data.begin() + static_cast<long>(k),
                                  data.begin() + static_cast<long>(end));
        }
        k = end;
    }
    return block;
}

std::vector<std::uint8_t> EncodeBlock(const Block& block) {
    std::vector<std::uint8_t> out;
    out.reserve(static_cast<std::size_t>(block.PackedSize()));
    AppendU32(out, block.unpackedSize);
    AppendU32(out, block.RunCount());
    for (std::uint32_t position : block.runPositions) AppendU32(out, position);
    for (std::uint32_t length : block.runLengths) AppendU32(out, length);
    out.insert(out.end(), block.runValues.begin(), block.runValues.end());
    AppendU32(out, static_cast<std::uint32_t>(block.literals.size()));
    out.insert(out.end(), block.literals.begin(), block.literals.end());
    return out;
}

bool IsPlainFileName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

std::string CheckMemberNames(const std::vector<std::string>& names) {
    if (names.size() > kMaxEntries)
        return Format("%llu entries: an archive holds at most %llu", Wide(names.size()),
                      Wide(kMaxEntries));
    for (std::size_t k = 0; k < names.size(); ++k) {
        const std::string& name = names[k];
        const std::string shown = PrintableName(name);
        if (name.empty()) return Format("entry %llu has an empty name", Wide(k));
        if (name.size() > kMaxNameLength)
            return Format("name [%s] is %llu bytes long: at most %llu fit", shown.c_str(),
                          Wide(name.size()), Wide(kMaxNameLength));
        if (name.find('\0') != std::string::npos)
            return Format("name [%s] holds a zero byte", shown.c_str());
        if (!IsPlainFileName(name))
            return Format("name [%s] is not a plain file name", shown.c_str());
        for (std::size_t j = 0; j < k; ++j)
            if (names[j] == name) return Format("name [%s] appears twice", shown.c_str());
    }
    return {};
}

std::string CheckMemberSizes(const std::vector<std::string>& names,
                             const std::vector<std::uint64_t>& sizes) {
    std::uint64_t total = 0;
    for (std::size_t k = 0; k < sizes.size(); ++k) {
        if (sizes[k] > kMaxUnpackedSize)
            return Format("[%s] holds %llu bytes: the game reads at most %llu per entry",
                          PrintableName(k < names.size() ? names[k] : "").c_str(), Wide(sizes[k]),
                          Wide(kMaxUnpackedSize));
        total += sizes[k];
    }
    if (total > kMaxArchiveUnpackedSize)
        return Format("the files hold %llu bytes in all: an archive holds at most %llu",
                      Wide(total), Wide(kMaxArchiveUnpackedSize));
    return {};
}

Written WriteArchive(const std::vector<Member>& members) {
    Written result;
    std::vector<std::string> names;
    std::vector<std::uint64_t> sizes;
    for (const Member& member : members) {
        names.push_back(member.name);
        sizes.push_back(member.data.size());
    }
    result.error = CheckMemberNames(names);
    if (result.error.empty()) result.error = CheckMemberSizes(names, sizes);
    if (!result.error.empty()) return result;

    std::vector<std::uint8_t>& out = result.bytes;
    out.assign(static_cast<std::size_t>(DirectorySize(members.size())), 0);
    out[0] = static_cast<std::uint8_t>(members.size());
    for (std::size_t k = 0; k < members.size(); ++k) {
        const Member& member = members[k];
        if (out.size() + member.data.size() + BlockSize(0, 0) >
            std::numeric_limits<std::uint32_t>::max()) {
            result.bytes.clear();
            result.error = Format("[%s] does not fit: an archive must stay below 4 GiB",
                                  PrintableName(member.name).c_str());
            return result;
        }
        std::memcpy(out.data() + kEntryCountSize + kNameFieldSize * k, member.name.data(),
                    member.name.size());
        StoreU32(out.data() + kEntryCountSize + kNameFieldSize * members.size() + 4 * k,
                 static_cast<std::uint32_t>(out.size()));
        std::vector<std::uint8_t> block = EncodeBlock(Pack(member.data));
        out.insert(out.end(), block.begin(), block.end());
    }
    return result;
}

}  // namespace rka
