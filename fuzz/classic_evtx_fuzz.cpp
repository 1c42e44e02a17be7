// Arbitrary bytes as an .evtx backup file opened through the classic calls: neither a crash
// nor a hang, the count agrees with what reading delivers both ways, numbers ascend, and a
// backup of it (an .evtx file written again) reads back the same records.
//
// By hand, in the asan tree:
//   build/asan/fuzz/classic_evtx_fuzz -max_total_time=60 -max_len=200000 /tmp/classic-corpus \
//       ../shared/evtx/omerbenamram-evtx ../shared/evtx/python-evtx
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/sim/services/eventlog_service.h"
#include "platform/sim/services/registry.h"
#include "platform/sim/services/system.h"

namespace {

using namespace qb::sim;
namespace platform = qb::platform;

// Every record a handle delivers in one direction, as their bytes; traps on a read error other
// than the end of the log.
std::vector<platform::Bytes> ReadAll(SimEventLogService& service, platform::Handle h,
                                     std::uint32_t direction) {
  std::vector<platform::Bytes> records;
  platform::Bytes buffer(0x10000);
  for (;;) {
    const auto read =
        service.ReadEventLog(h, platform::evflags::kSequentialRead | direction, 0, buffer);
    if (read.error == platform::err::kHandleEof) break;
    if (read.error != platform::err::kSuccess) __builtin_trap();
    for (std::uint32_t at = 0; at < read.bytesRead;) {
      const auto rest = platform::ByteSpan(buffer).subspan(at, read.bytesRead - at);
      const std::uint32_t length = RecordLength(rest);
      if (!LooksLikeRecord(rest) || length > rest.size()) __builtin_trap();
      records.emplace_back(rest.begin(), rest.begin() + length);
      at += length;
    }
  }
  return records;
}

std::vector<platform::Bytes> Check(SimEventLogService& service, std::u16string_view path) {
  platform::Handle h = 0;
  if (service.OpenBackupEventLog(path, h) != platform::err::kSuccess) return {};
  std::uint32_t count = 0;
  service.GetNumberOfRecords(h, count);
  auto forwards = ReadAll(service, h, platform::evflags::kForwardsRead);
  if (forwards.size() != count) __builtin_trap();
  for (std::size_t i = 1; i < forwards.size(); ++i) {
    if (RecordNumber(forwards[i]) <= RecordNumber(forwards[i - 1])) __builtin_trap();
  }
  platform::Handle back = 0;
  service.OpenBackupEventLog(path, back);
  auto backwards = ReadAll(service, back, platform::evflags::kBackwardsRead);
  if (backwards.size() != forwards.size()) __builtin_trap();
  service.CloseEventLog(back);
  service.CloseEventLog(h);
  return forwards;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  SimSystem files;
  SimRegistry registry;
  SimEventLogService service(files, registry);
  files.AddFile(u"C:\\input.evtx", std::as_bytes(std::span(data, size)));
  const auto records = Check(service, u"C:\\input.evtx");
  platform::Handle h = 0;
  if (service.OpenBackupEventLog(u"C:\\input.evtx", h) != platform::err::kSuccess) return 0;
  if (service.BackupEventLog(h, u"C:\\copy.evtx") != platform::err::kSuccess) __builtin_trap();
  if (Check(service, u"C:\\copy.evtx") != records) __builtin_trap();
  return 0;
}
