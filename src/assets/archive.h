// The game's reader of RKA archives: the one global `Archive`, which keeps the directory of one
// archive file and unpacks an entry of it into an ordinary file.
//
// Every failure ends the program through FatalError. Besides the game's own messages, a damaged
// or truncated archive (offsets beyond the file, counts that cannot fit in it, short reads) ends
// with a message of ours naming the archive or the entry, before anything is allocated from the
// damaged counts.
#pragma once

#include <cstdint>

struct RkaArchive {
    // Does nothing: the object has static storage, so every field starts as zero and `path` empty.
    RkaArchive() {}

    // Reads the directory of the archive at `archivePath`, unless it is the one already loaded
    // (same string): then nothing is read. A path of 200 bytes or more is refused.
    void OpenDirectory(const char* archivePath);
    // Loads the entry `entryName` (the last of equal names) from the archive file, opened anew,
    // into the entry buffers. Called only by ExtractToFile.
    void LoadEntry(const char* entryName);
    // Expands the loaded entry into `output`; bytes no run or literal reaches are zero. Called
    // only by ExtractToFile.
    void Unpack();
    // Unpacks `entryName` of the loaded directory into the file `outputPath` (replaced if it
    // exists) and frees the entry buffers.
    void ExtractToFile(const char* entryName, const char* outputPath);

    unsigned char* literals;
    unsigned char* output;
    char path[200];
    char names[50][13];
    std::uint32_t offsets[50];
    std::uint8_t entryCount;
    std::uint32_t* runPositions;
    std::uint32_t* runLengths;
    unsigned char* runValues;
    std::uint32_t runCount;
    std::uint32_t literalCount;
    std::uint32_t unpackedSize;
};

extern RkaArchive Archive;
