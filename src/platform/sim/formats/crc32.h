// The CRC-32 of zlib and gzip (reflected polynomial 0xEDB88320), which .evtx headers and
// chunks carry.
#pragma once

#include <cstdint>

#include "platform/types.h"

namespace qb::sim {

// `crc` continues an earlier result, so a checksum may be taken over pieces.
std::uint32_t Crc32(platform::ByteSpan bytes, std::uint32_t crc = 0);

}  // namespace qb::sim
