// Arbitrary bytes as a regedit export (the registry of a machine folder): the reader must
// neither crash nor loop, what it gives must be well formed, and loading the same bytes into
// the simulated registry must report the same fault as the reader.
#include <cstddef>
#include <cstdint>

#include "platform/sim/formats/reg_file.h"
#include "platform/sim/services/registry.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using Kind = qb::sim::RegFileEntry::Kind;
  const qb::platform::ByteSpan file(reinterpret_cast<const std::byte*>(data), size);
  const qb::sim::RegFile export_ = qb::sim::ReadRegFile(file);
  for (const auto& entry : export_.entries) {
    // Keys and removals carry no data.
    if (entry.kind != Kind::kValue && !entry.data.empty()) __builtin_trap();
  }
  qb::sim::SimRegistry registry;
  if (registry.LoadRegFile(file) != export_.error) __builtin_trap();
  return 0;
}
