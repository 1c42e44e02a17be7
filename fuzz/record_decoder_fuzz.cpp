// Arbitrary bytes as a record buffer: the full and the light decoding must stay inside it,
// whatever its lengths and offsets claim.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "eventlog/event_log.h"
#include "eventlog/raw_record.h"
#include "localization/language.h"
#include "platform/sim/machine.h"

namespace {

struct World {
  World() : install(machine.platform()) {
    machine.registry().CreateKey(u"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application");
    // A source with a message library, so decoding formats with the record's inserts.
    const std::u16string key = u"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\S";
    machine.registry().SetString(key, u"EventMessageFile", u"C:\\m.dll");
    machine.registry().SetString(key, u"CategoryMessageFile", u"C:\\m.dll");
    qb::sim::ModuleImage image;
    for (std::uint32_t id = 0; id < 8; ++id) {
      image.messages[id] = u"message %1 and %2 and %" +
                           std::u16string(1, u'1' + static_cast<char16_t>(id)) + u"\r\n";
    }
    machine.modules().AddImage(u"C:\\m.dll", image);
    language = std::make_unique<qb::TLngResource>();
    log = std::make_unique<qb::TFWEventLog>(*language, u"Quillerbankton");
  }
  qb::sim::Machine machine;
  qb::platform::ScopedInstall install;
  std::unique_ptr<qb::TLngResource> language;
  std::unique_ptr<qb::TFWEventLog> log;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static World world;
  const auto buffer = std::as_bytes(std::span(data, size));
  std::size_t offset = 0;
  // Walk the buffer as the reading loop does.
  while (auto raw = qb::RawEventRecord::At(buffer, offset)) {
    (void)world.log->DecodeFileItem(*raw);
    const auto record = world.log->DecodeEventRecord(1, *raw);
    if (record.BinData.size() > raw->Length()) __builtin_trap();
    offset += raw->Length();
  }
  return 0;
}
