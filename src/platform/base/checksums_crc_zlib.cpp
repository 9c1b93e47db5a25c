// CRC-32 by zlib (Linux and Windows): the same values as the table's (checksums_crc_table.cpp),
// several bytes a step. A replay's frame checksums are most of a verify's work.
#include <zlib.h>

#include "checksums.h"

namespace platform {

std::uint32_t Crc32(const void* data, std::size_t size, std::uint32_t crc) {
    return static_cast<std::uint32_t>(
        crc32_z(crc, static_cast<const Bytef*>(data), static_cast<z_size_t>(size)));
}

}  // namespace platform
