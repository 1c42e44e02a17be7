// The PE writer under the names the tests know it by.
#pragma once

#include "platform/sim/formats/pe_writer.h"

namespace qb::support {

using PeBuilder = sim::PeWriter;
using sim::PeIcon;

inline constexpr std::uint16_t kLangEnUs = sim::kPeLangEnUs;
inline constexpr std::uint16_t kLangNeutral = sim::kPeLangNeutral;
inline constexpr std::uint16_t kLangGerman = sim::kPeLangGerman;
inline constexpr std::size_t kPeRsrcFileOffset = sim::kPeRsrcFileOffset;
inline constexpr std::uint32_t kPeRsrcRva = sim::kPeRsrcRva;

}  // namespace qb::support
