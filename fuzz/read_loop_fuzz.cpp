// The reading loops over arbitrary service answers: whatever the service claims (sizes,
// errors, damaged records), the loops must end, stay inside their buffer and not crash.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "eventlog/event_log.h"
#include "localization/language.h"
#include "platform/sim/doubles/scripted_eventlog_service.h"
#include "platform/sim/machine.h"

namespace {

// Reads little pieces of the input in turn.
struct Input {
  const std::uint8_t* data;
  std::size_t size;
  std::size_t pos = 0;
  bool Empty() const { return pos >= size; }
  std::uint32_t U32() {
    std::uint32_t v = 0;
    for (int i = 0; i < 4 && pos < size; ++i) v |= std::uint32_t{data[pos++]} << (8 * i);
    return v;
  }
  std::uint8_t U8() { return pos < size ? data[pos++] : 0; }
  qb::platform::Bytes Take(std::size_t n) {
    n = std::min(n, size - pos);
    qb::platform::Bytes b(n);
    for (std::size_t i = 0; i < n; ++i) b[i] = std::byte{data[pos + i]};
    pos += n;
    return b;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static qb::sim::Machine machine;
  static qb::platform::ScopedInstall install(machine.platform());
  static qb::sim::ScriptedEventLogService service;
  static std::unique_ptr<qb::TLngResource> language;
  static std::unique_ptr<qb::TFWEventLog> log;
  if (!log) {
    machine.registry().CreateKey(u"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application");
    machine.platform().eventlog = &service;
    language = std::make_unique<qb::TLngResource>();
    log = std::make_unique<qb::TFWEventLog>(*language, u"Quillerbankton");
    log->Open(1, qb::TFSOpenState::osRead);
  }
  Input in{data, size};
  service.answers.clear();
  service.count = in.U32();
  service.oldest = in.U32();
  while (!in.Empty() && service.answers.size() < 64) {
    qb::sim::ScriptedEventLogService::Answer a;
    switch (in.U8() % 4) {
      case 0:
        a.error = qb::platform::err::kInsufficientBuffer;
        a.bytesNeeded = in.U32();
        break;
      case 1:
        a.error = in.U32();
        break;
      default:
        a.bytes = in.Take(in.U32() % 4096);
        a.bytesRead = in.U8() == 0 ? in.U32() : static_cast<std::uint32_t>(a.bytes.size());
        break;
    }
    service.answers.push_back(std::move(a));
  }
  const auto script = service.answers;
  std::vector<qb::TFileItem> items;
  (void)log->Read(false, false, &items);
  service.answers = script;
  std::size_t calls = 0;
  (void)log->Read(false, true,
                  qb::TFWOnReadRecordEvent(
                      [&](qb::TFWEventLog&, const qb::TFWEventLogRecord&, bool&) { ++calls; }));
  service.answers = script;
  qb::TFWEventLogRecord record;
  (void)log->Read(false, service.oldest, record);
  // Every answer delivers at most its bytes: the loops cannot invent records.
  if (items.size() > size || calls > size) __builtin_trap();
  return 0;
}
