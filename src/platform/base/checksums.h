// Checksums of bytes: CRC-32 (as zip and PNG use it) and FNV-1a 64, and numbers as fixed-width
// lower-case hex, the way replays and their reports write them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

// CRC-32 of `size` bytes; pass the result of the bytes before as `crc` to go on from there.
std::uint32_t Crc32(const void* data, std::size_t size, std::uint32_t crc = 0);
std::uint64_t Fnv1a64(std::string_view bytes);
// The low `digits` hex digits of `value`, with leading zeros.
std::string Hex(std::uint64_t value, int digits);

}  // namespace platform
