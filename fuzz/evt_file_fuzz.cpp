// Arbitrary bytes as an .evt file: the reader must neither crash nor loop, whatever it accepts
// must survive being written again (plain and wrapped around the end) and read back, and the
// simulated service must deliver exactly those records through a backup handle.
#include <cstddef>
#include <cstdint>

#include "platform/sim/formats/event_record.h"
#include "platform/sim/formats/evt_file.h"
#include "platform/sim/machine.h"

namespace {

namespace ev = qb::platform::evflags;

// Records a handle delivers in one direction; traps when the reads do not add up.
std::size_t ReadAll(qb::sim::SimEventLogService& service, qb::platform::Handle h,
                    std::uint32_t direction, std::size_t limit) {
  qb::platform::Bytes buffer(0x10000);
  std::size_t count = 0;
  for (std::size_t calls = 0; calls <= limit + 1; ++calls) {
    const auto r = service.ReadEventLog(h, ev::kSequentialRead | direction, 0, buffer);
    if (r.error == qb::platform::err::kHandleEof) return count;
    if (r.error != qb::platform::err::kSuccess) __builtin_trap();
    for (std::size_t at = 0; at < r.bytesRead; ++count) {
      const auto length = qb::sim::RecordLength(std::span(buffer).subspan(at));
      if (length == 0) __builtin_trap();
      at += length;
    }
  }
  __builtin_trap();  // more calls than records: the position did not advance
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto bytes = std::as_bytes(std::span(data, size));
  auto log = qb::sim::ReadEvtFile(bytes);
  if (!log) return 0;

  // A header may claim any MaxSize; the rewrite only needs room for the records.
  log->maxSize = 0;
  std::uint64_t total = 0;
  for (const auto& record : log->records) total += record.size();
  const auto fileSize =
      static_cast<std::uint32_t>(qb::sim::kEvtHeaderSize + total + qb::sim::kEvtEofRecordSize + 64);
  const std::uint32_t slots = (fileSize - qb::sim::kEvtHeaderSize) / 4;
  const auto start = static_cast<std::uint32_t>(qb::sim::kEvtHeaderSize + 4 * (size % slots));
  // Dirty rewrites are left out: record data crafted to hold end-of-file markers may
  // legitimately mislead the scan a dirty file needs.
  for (const qb::sim::EvtWriteOptions& options :
       {qb::sim::EvtWriteOptions{}, qb::sim::EvtWriteOptions{fileSize, start, false}}) {
    const auto again = qb::sim::ReadEvtFile(qb::sim::WriteEvtFile(*log, options));
    if (!again || again->damaged || again->records != log->records) __builtin_trap();
  }

  for (const auto& record : log->records) {
    if (record.size() > 0x10000) return 0;  // every record fits the reads' buffer below
  }
  qb::sim::Machine machine;
  machine.system().AddFile(u"C:\\Temp\\f.evt", bytes);
  auto& service = machine.eventlog();
  qb::platform::Handle h = 0;
  if (service.OpenBackupEventLog(u"C:\\Temp\\f.evt", h) != qb::platform::err::kSuccess) {
    __builtin_trap();
  }
  const std::size_t n = log->records.size();
  if (ReadAll(service, h, ev::kForwardsRead, n) != n) __builtin_trap();
  qb::platform::Handle back = 0;
  service.OpenBackupEventLog(u"C:\\Temp\\f.evt", back);
  if (ReadAll(service, back, ev::kBackwardsRead, n) != n) __builtin_trap();
  return 0;
}
