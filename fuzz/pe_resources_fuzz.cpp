// Feeds arbitrary bytes to the PE resource reader: it must reject or accept them without
// reading out of bounds, throwing or running away.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/sim/formats/pe_resources.h"

namespace {

std::u16string Latin1(std::string_view narrow) {
  std::u16string wide;
  for (char c : narrow) wide.push_back(static_cast<unsigned char>(c));
  return wide;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  qb::platform::ByteSpan file(reinterpret_cast<const std::byte*>(data), size);
  std::string error;
  std::optional<qb::sim::ModuleImage> image = qb::sim::ParsePeResources(file, Latin1, &error);
  // Exactly one of image and reason.
  if (image.has_value() == !error.empty()) __builtin_trap();
  return 0;
}
