// ReadEventLog over a classic log kept as an .evtx file of 100,000 records on disk: the first
// open (which indexes the file), and reading every record forwards and backwards with the
// largest buffer the call takes; the peak heap shows the file is never held whole.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "alloc_counter.h"
#include "platform/sim/formats/evtx_classic_record.h"
#include "platform/sim/rules/text.h"
#include "platform/sim/services/eventlog_service.h"
#include "platform/sim/services/registry.h"
#include "platform/sim/services/system.h"

namespace {

using namespace qb::sim;
namespace platform = qb::platform;

constexpr std::uint64_t kRecords = 100'000;
constexpr char16_t kPath[] = u"C:\\Windows\\System32\\winevt\\Logs\\Application.evtx";

const std::filesystem::path& LogFile() {
  static const auto path = [] {
    auto file = std::filesystem::temp_directory_path() / "qb_bench_classic_application.evtx";
    auto sink = FileByteSink::Create(file);
    EvtxWriter writer(*sink);
    WindowsEventMaker maker;
    for (std::uint64_t i = 1; i <= kRecords; ++i) {
      WindowsEventFields form;
      form.provider = u"Service Control Manager";
      form.eventId = static_cast<std::uint16_t>(7000 + i % 40);
      form.qualifiers = 0x4000;
      form.level = static_cast<std::uint8_t>(2 + i % 3);
      form.keywords = kClassicKeyword;
      form.timeCreated = 132223104000000000ull + i * 10'000'000;
      form.recordId = i;
      form.channel = u"System";
      form.computer = u"DESKTOP-BENCH";
      form.data = {{u"param1", EvtxValue::String(u"Windows Update " + Decimal(i % 97))},
                   {u"param2", EvtxValue::String(u"running")},
                   {u"param3", EvtxValue::UInt(evtxtype::kUInt32, i)}};
      writer.Write(maker.Make(form));
    }
    writer.Finish();
    sink->Close();
    return file;
  }();
  return path;
}

void ReadAll(benchmark::State& state, std::uint32_t direction) {
  const auto& file = LogFile();
  platform::Bytes buffer(platform::kMaxReadBuffer);
  std::uint64_t records = 0;
  std::size_t peak = 0;
  for (auto _ : state) {
    SimSystem files;
    SimRegistry registry;
    SimEventLogService service(files, registry);
    files.AddHostFile(kPath, file);
    qb::bench::ResetPeak();
    const std::size_t before = qb::bench::LiveBytes();
    if (!service.LoadEvtx(u"Application", kPath)) return state.SkipWithError("cannot load");
    platform::Handle h = 0;
    service.OpenEventLog(u"Application", h);
    records = 0;
    for (;;) {
      const auto read =
          service.ReadEventLog(h, platform::evflags::kSequentialRead | direction, 0, buffer);
      if (read.error != platform::err::kSuccess) break;
      for (std::uint32_t at = 0; at < read.bytesRead;
           at += RecordLength(platform::ByteSpan(buffer).subspan(at))) {
        ++records;
      }
    }
    peak = qb::bench::PeakBytes() - before;
    service.CloseEventLog(h);
  }
  if (records != kRecords) state.SkipWithError("not every record was read");
  state.counters["records_per_second"] = benchmark::Counter(
      static_cast<double>(records), benchmark::Counter::kIsIterationInvariantRate);
  state.counters["file_MiB"] =
      static_cast<double>(std::filesystem::file_size(file)) / (1024.0 * 1024.0);
  state.counters["peak_MiB"] = static_cast<double>(peak) / (1024.0 * 1024.0);
}

void BM_ClassicEvtxReadForwards(benchmark::State& state) {
  ReadAll(state, platform::evflags::kForwardsRead);
}
void BM_ClassicEvtxReadBackwards(benchmark::State& state) {
  ReadAll(state, platform::evflags::kBackwardsRead);
}
BENCHMARK(BM_ClassicEvtxReadForwards)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ClassicEvtxReadBackwards)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace
