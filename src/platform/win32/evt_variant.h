// EVT_VARIANT as wevtapi lays it out, and the conversions between it and the platform's
// EvtValue. Nothing here needs windows.h: the layout is fixed by the API (an 8-byte union, then
// the item count and the type, 16 bytes on 32- and 64-bit Windows alike).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "platform/channel_service.h"

namespace qb::win32 {

struct EvtVariant {
  union {
    std::uint64_t bits;   // every integer type, in its low bytes
    double real;          // Double
    float single;         // Single
    const void* pointer;  // strings, binary, GUID, SID, SYSTEMTIME and every array
  };
  std::uint32_t count;  // an array's items; a binary value's bytes
  std::uint32_t type;   // platform::evttype, kArray for arrays
};
static_assert(sizeof(EvtVariant) == 16 && offsetof(EvtVariant, count) == 8 &&
              offsetof(EvtVariant, type) == 12);

// The API's ANSI strings through the system's code page, which only the caller knows.
using AnsiToUtf16 = std::u16string (*)(std::string_view);
using Utf16ToAnsi = std::string (*)(std::u16string_view);

// The value a variant holds. A type the API does not define, or a pointer missing where the
// type needs one (other than an empty string's), gives ERROR_INVALID_DATA.
platform::ErrorCode FromVariant(const EvtVariant& variant, AnsiToUtf16 ansi,
                                platform::EvtValue& value);

// The variants of `values` laid out as EvtRender and EvtGet*Property fill a caller's buffer:
// the variants first, then what they point to. Returns the bytes needed; writes only when
// `buffer` holds that many (it must be aligned as a variant is). The pointers point into it.
std::size_t PackVariants(std::span<const platform::EvtValue> values, Utf16ToAnsi ansi,
                         std::span<std::byte> buffer);

// The number of bytes a SID at `sid` takes, from its header; 0 when the header is not a SID's.
std::size_t SidLength(const void* sid);

}  // namespace qb::win32
