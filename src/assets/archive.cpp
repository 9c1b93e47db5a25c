// The game's reader of RKA archives: the one global `Archive`.
#include "archive.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "rka_format.h"
#include "services.h"

RkaArchive Archive;

namespace {

// Our own ending for a damaged archive: the game has no message for it.
[[noreturn]] void ArchiveDamaged(std::FILE* file, const char* archivePath, rka::Damage damage) {
    std::fclose(file);
    std::snprintf(FormatBuffer, sizeof FormatBuffer, "RKA archive [%s] is damaged: %s\n",
                  archivePath, rka::Describe(damage));
    FatalError(FormatBuffer);
}

[[noreturn]] void EntryDamaged(std::FILE* file, const char* entryName, const char* archivePath,
                               rka::Damage damage) {
    std::fclose(file);
    std::snprintf(FormatBuffer, sizeof FormatBuffer, "RKA entry [%s] of [%s] is damaged: %s\n",
                  entryName, archivePath, rka::Describe(damage));
    FatalError(FormatBuffer);
}

// malloc that ends the program when it fails. A zero-byte request asks for one byte, so an empty
// buffer is never mistaken for a failed allocation.
void* AllocateOrDie(std::size_t size) {
    void* memory = std::malloc(size ? size : 1);
    if (!memory) FatalError("mem over");
    return memory;
}

// The archive's size, measured once per entry so no count read from it can ask for more.
std::uint64_t FileSize(std::FILE* file) {
    if (std::fseek(file, 0, SEEK_END) != 0) return 0;
    long size = std::ftell(file);
    return size < 0 ? 0 : static_cast<std::uint64_t>(size);
}

bool ReadU32(std::FILE* file, std::uint32_t* value) {
    std::uint8_t bytes[4];
    if (std::fread(bytes, 1, 4, file) != 4) return false;
    *value = rka::LoadU32(bytes);
    return true;
}

}  // namespace

void RkaArchive::OpenDirectory(const char* archivePath) {
    if (std::strcmp(archivePath, path) == 0) return;
    // Cut short to fit `path`, the name would later open another file.
    std::size_t length = std::strlen(archivePath);
    if (length >= sizeof path) {
        std::snprintf(FormatBuffer, sizeof FormatBuffer,
                      "RKA archive path of %u bytes is too long (at most %u)[%.160s...]\n",
                      static_cast<unsigned>(length), static_cast<unsigned>(sizeof path - 1),
                      archivePath);
        FatalError(FormatBuffer);
    }

    std::FILE* file = std::fopen(archivePath, "rb");
    if (!file) {
        std::snprintf(FormatBuffer, sizeof FormatBuffer, "File can't open[%s]\n", archivePath);
        FatalError(FormatBuffer);
    }
    // A folder opens, but reading it fails: that is no empty file.
    if (std::fread(&entryCount, 1, 1, file) != 1)
        ArchiveDamaged(file, archivePath,
                       std::ferror(file) ? rka::Damage::kReadFailed : rka::Damage::kNoEntryCount);
    if (entryCount > rka::kMaxEntries) {
        std::snprintf(FormatBuffer, sizeof FormatBuffer, "File max over\n");
        FatalError(FormatBuffer);
    }
    std::size_t nameBytes = rka::kNameFieldSize * entryCount;
    if (std::fread(names, 1, nameBytes, file) != nameBytes ||
        std::fread(offsets, 4, entryCount, file) != entryCount)
        ArchiveDamaged(file, archivePath, rka::Damage::kDirectoryTruncated);
    rka::FromLittleEndian(offsets, entryCount);
    std::fclose(file);
    std::memcpy(path, archivePath, length + 1);
}

void RkaArchive::LoadEntry(const char* entryName) {
    int found = -1;
    for (int k = 0; k < entryCount; ++k)
        if (rka::NameMatches(names[k], entryName)) found = k;
    if (found < 0) {
        std::snprintf(FormatBuffer, sizeof FormatBuffer,
                      "[%s]\x82\xb1\x82\xcc\x83\x74\x83\x40\x83\x43\x83\x8b\x82\xcd\x82\x71\x82\x6a"
                      "\x82\x60\x83\x74\x83\x40\x83\x43\x83\x8b\x82\xc9\x82\xcd\x8a\xdc\x82\xdc\x82"
                      "\xea\x82\xc4\x82\xa2\x82\xdc\x82\xb9\x82\xf1\n",
                      /* [%s]このファイルはＲＫＡファイルには含まれていません */ entryName);
        FatalError(FormatBuffer);
    }

    std::FILE* file = std::fopen(path, "rb");
    if (!file) {
        std::snprintf(FormatBuffer, sizeof FormatBuffer,
                      "tmp,\x83\x74\x83\x40\x83\x43\x83\x8b\x82\xaa\x83\x49\x81\x5b\x83\x76\x83\x93"
                      "\x82\xc5\x82\xab\x82\xdc\x82\xb9\x82\xf1[%s]\n",
                      /* tmp,ファイルがオープンできません[%s] */ entryName);
        FatalError(FormatBuffer);
    }

    // Every count is checked against the file's size before anything is allocated from it.
    const std::uint64_t fileSize = FileSize(file);
    const std::uint32_t offset = offsets[found];
    auto check = [&](rka::Damage damage) {
        if (damage != rka::Damage::kNone) EntryDamaged(file, entryName, path, damage);
    };
    auto read = [&](void* into, std::size_t itemSize, std::size_t count) {
        if (std::fread(into, itemSize, count, file) != count)
            EntryDamaged(file, entryName, path, rka::Damage::kReadFailed);
    };
    check(rka::CheckBlockOffset(fileSize, offset));
    if (std::fseek(file, static_cast<long>(offset), SEEK_SET) != 0)
        check(rka::Damage::kOffsetBeyondFile);
    if (!ReadU32(file, &unpackedSize) || !ReadU32(file, &runCount)) check(rka::Damage::kReadFailed);
    check(rka::CheckRunCount(fileSize, offset, runCount));

    // An entry without runs asks for one byte, so that no allocation of zero bytes can come back
    // empty and be taken for a failure.
    const std::size_t runs = runCount ? runCount : 1;
    runPositions = static_cast<std::uint32_t*>(std::malloc(4 * runs));
    runLengths = static_cast<std::uint32_t*>(std::malloc(4 * runs));
    runValues = static_cast<unsigned char*>(std::malloc(runs));
    if (!runPositions || !runLengths || !runValues) FatalError("mem over");
    read(runPositions, 4, runCount);
    read(runLengths, 4, runCount);
    read(runValues, 1, runCount);
    rka::FromLittleEndian(runPositions, runCount);
    rka::FromLittleEndian(runLengths, runCount);

    if (!ReadU32(file, &literalCount)) check(rka::Damage::kReadFailed);
    check(rka::CheckLiteralCount(fileSize, offset, runCount, literalCount));
    // U is checked before `output` is allocated from it.
    check(rka::CheckUnpackedSize(unpackedSize));
    output = static_cast<unsigned char*>(AllocateOrDie(unpackedSize));
    literals = static_cast<unsigned char*>(AllocateOrDie(literalCount));
    read(literals, 1, literalCount);
    std::fclose(file);
}

void RkaArchive::Unpack() {
    std::memset(output, 0, unpackedSize);
    rka::Unpack(literals, literalCount, runPositions, runLengths, runValues, runCount, output,
                unpackedSize);
}

void RkaArchive::ExtractToFile(const char* entryName, const char* outputPath) {
    LoadEntry(entryName);
    Unpack();
    std::FILE* file = std::fopen(outputPath, "wb");
    if (!file) {
        std::snprintf(FormatBuffer, sizeof FormatBuffer,
                      "\x83\x74\x83\x40\x83\x43\x83\x8b\x82\xaa\x83\x49\x81\x5b\x83\x76\x83\x93\x8f"
                      "\x6f\x97\x88\x82\xdc\x82\xb9\x82\xf1[%s]\n",
                      /* ファイルがオープン出来ません[%s] */ outputPath);
        FatalError(FormatBuffer);
    }
    // A full disk would otherwise show up later as a picture that cannot be found.
    bool written = std::fwrite(output, 1, unpackedSize, file) == unpackedSize;
    written = std::fclose(file) == 0 && written;
    if (!written) {
        std::snprintf(FormatBuffer, sizeof FormatBuffer, "File can't write[%s]\n", outputPath);
        FatalError(FormatBuffer);
    }
    std::free(runPositions);
    std::free(runLengths);
    std::free(runValues);
    std::free(literals);
    std::free(output);
    runPositions = runLengths = nullptr;
    runValues = literals = output = nullptr;
}
