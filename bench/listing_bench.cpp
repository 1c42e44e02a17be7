// The hot paths: listing a whole log (the light decoding of every record), the full decoding
// with message texts, and the same listing through the host's find exports.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>

#include "alloc_counter.h"
#include "dialogs/record_fields.h"
#include "eventlog/event_log.h"
#include "listing_run.h"
#include "localization/language.h"
#include "platform/sim/formats/event_record.h"
#include "platform/sim/machine.h"
#include "plugin/column_text.h"
#include "plugin/exports.h"
#include "plugin/lifecycle.h"
#include "plugin/plugin_state.h"
#include "plugin/record_name.h"
#include "plugin/record_text.h"
#include "util/text.h"

namespace {

using qb::sim::Machine;

const std::u16string kKey = u"SYSTEM\\CurrentControlSet\\Services\\EventLog\\";

// A machine with an Application log of `count` varied records and message libraries for
// most of its sources.
std::unique_ptr<Machine> MakeMachine(std::size_t count) {
  auto machine = std::make_unique<Machine>();
  machine->registry().CreateKey(kKey + u"Application");
  qb::sim::ModuleImage library;
  for (std::uint32_t id = 0; id < 64; ++id) {
    library.messages[0x40000000u | id] =
        u"The operation %1 finished on %2 after %3 seconds.\r\nDetails follow.\r\n";
    library.messages[id] =
        u"Category " + std::u16string(1, static_cast<char16_t>(u'A' + id % 26)) + u"\r\n";
  }
  machine->modules().AddImage(u"C:\\Windows\\System32\\benchmsg.dll", library);
  const std::u16string sources[] = {
      u"Service Control Manager", u"EventLog",     u"Tcpip",   u"Disk",
      u"Application Error",       u"MsiInstaller", u"Userenv", u"Unregistered Source"};
  for (int i = 0; i < 7; ++i) {
    const std::u16string key = kKey + u"Application\\" + sources[i];
    machine->registry().SetString(key, u"EventMessageFile", u"%SystemRoot%\\System32\\benchmsg.dll",
                                  qb::platform::regtype::kExpandSz);
    machine->registry().SetString(key, u"CategoryMessageFile",
                                  u"%SystemRoot%\\System32\\benchmsg.dll",
                                  qb::platform::regtype::kExpandSz);
  }
  const std::uint16_t types[] = {0, 1, 2, 4, 8, 16};
  const auto system = qb::sim::SimAccounts::SidFromString(u"S-1-5-18");
  auto& log = machine->eventlog().AddLog(u"Application");
  for (std::size_t i = 0; i < count; ++i) {
    qb::sim::RecordFields r;
    r.source = sources[i % 8];
    r.eventId = 0x40000000u | static_cast<std::uint32_t>(i % 64);
    r.eventType = types[i % 6];
    r.category = static_cast<std::uint16_t>(i % 64);
    r.timeGenerated = r.timeWritten = static_cast<std::uint32_t>(1'600'000'000 + i * 37);
    r.strings = {u"backup", u"SERVER" + std::u16string(1, static_cast<char16_t>(u'0' + i % 10)),
                 u"42"};
    if (i % 3 == 0) r.sid = system;
    r.data.assign(i % 5 == 0 ? 32 : 0, std::byte{0x11});
    log.Append(r);
  }
  return machine;
}

void BM_ListLogLight(benchmark::State& state) {
  const auto count = static_cast<std::size_t>(state.range(0));
  auto machine = MakeMachine(count);
  qb::platform::ScopedInstall install(machine->platform());
  qb::TLngResource language;
  qb::TFWEventLog log(language, u"Quillerbankton");
  log.Open(1, qb::TFSOpenState::osRead);
  std::size_t peak = 0;
  std::uint64_t reads = 0;
  for (auto _ : state) {
    const auto readsBefore = log.PlatformReads();
    const std::size_t live = qb::bench::LiveBytes();
    qb::bench::ResetPeak();
    qb::TFileItemList items;
    log.Read(false, false, &items);
    benchmark::DoNotOptimize(items.size());
    peak = qb::bench::PeakBytes() - live;
    reads = log.PlatformReads() - readsBefore;
    if (items.size() != count) state.SkipWithError("not every record was listed");
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * count));
  state.counters["reads_per_record"] = static_cast<double>(reads) / static_cast<double>(count);
  state.counters["peak_MiB"] = static_cast<double>(peak) / (1024.0 * 1024.0);
}
BENCHMARK(BM_ListLogLight)->Arg(100'000)->Unit(benchmark::kMillisecond);

void BM_DecodeFullWithMessages(benchmark::State& state) {
  const auto count = static_cast<std::size_t>(state.range(0));
  auto machine = MakeMachine(count);
  qb::platform::ScopedInstall install(machine->platform());
  qb::TLngResource language;
  qb::TFWEventLog log(language, u"Quillerbankton");
  log.Open(1, qb::TFSOpenState::osRead);
  for (auto _ : state) {
    std::size_t n = 0;
    log.Read(false, false,
             qb::TFWOnReadRecordEvent([&](qb::TFWEventLog&, const qb::TFWEventLogRecord& r, bool&) {
               benchmark::DoNotOptimize(r.Description.data());
               ++n;
             }));
    if (n != count) state.SkipWithError("not every record was decoded");
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * count));
}
BENCHMARK(BM_DecodeFullWithMessages)->Arg(10'000)->Unit(benchmark::kMillisecond);

void BM_FindFirstNextThroughExports(benchmark::State& state) {
  const auto count = static_cast<std::size_t>(state.range(0));
  auto machine = MakeMachine(count);
  qb::platform::ScopedInstall install(machine->platform());
  qb::plugin::OnProcessAttach();
  FsInitW(1, nullptr, nullptr, nullptr);
  qb::bench::ListThroughExports(state, u"\\Application", count);
  qb::plugin::OnProcessDetach(false);
}
BENCHMARK(BM_FindFirstNextThroughExports)
    ->Arg(100'000)
    ->Arg(1'000'000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

// Copies of 1,000 records whose SIDs take 50 ms each to look up (three distinct SIDs), and how
// long a listing on the main thread takes while the background thread is held inside a lookup.
void BM_CopyWithSlowAccountLookups(benchmark::State& state) {
  auto machine = std::make_unique<Machine>();
  machine->registry().CreateKey(kKey + u"Application");
  auto& log = machine->eventlog().AddLog(u"Application");
  for (std::uint32_t i = 0; i < 1000; ++i) {
    qb::sim::RecordFields r;
    r.source = u"S";
    r.sid = qb::sim::SimAccounts::SidFromString(
        u"S-1-5-21-7-8-9-" + std::u16string(1, static_cast<char16_t>(u'0' + i % 3)));
    log.Append(r);
  }
  qb::platform::ScopedInstall install(machine->platform());
  qb::plugin::OnProcessAttach();
  FsInitW(1, nullptr, nullptr, nullptr);
  auto& accounts = machine->accounts();
  accounts.SetLookupDelay(std::chrono::milliseconds(50));
  std::u16string path = u"\\Application";
  double lookups = 0;
  double listingMs = 0;
  for (auto _ : state) {
    qb::fs::WIN32_FIND_DATAW data;
    FsFindFirstW(path.data(), &data);  // a fresh listing: the names are asked again
    const auto before = accounts.LookupCount();
    for (std::uint32_t n = 1; n <= 1000; ++n) {
      std::u16string remote = u"\\Application\\[" + qb::util::ToDecimal(n) + u"] S.information";
      std::u16string local = u"C:\\Temp\\r.txt";
      FsGetFileW(remote.data(), local.data(), qb::fs::FS_COPYFLAGS_OVERWRITE, nullptr);
    }
    lookups = static_cast<double>(accounts.LookupCount() - before);
    state.PauseTiming();
    // A background column value held inside a lookup, and a whole listing meanwhile.
    FsFindFirstW(path.data(), &data);  // listed afresh: its names are not known yet
    accounts.HoldLookups();
    std::thread background([&] {
      std::vector<char16_t> buffer(512);
      std::u16string name = u"\\Application\\[1] S.information";
      FsContentGetValueW(name.data(), 0, 0, buffer.data(), 1024, 0);
    });
    accounts.WaitForHeldLookups(1, std::chrono::seconds(10));
    const auto start = std::chrono::steady_clock::now();
    const auto h = FsFindFirstW(path.data(), &data);
    while (h != qb::fs::kInvalidHandleValue && FsFindNextW(h, &data)) {
    }
    listingMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    accounts.ReleaseLookups();
    background.join();
    state.ResumeTiming();
  }
  state.counters["lookups_per_copy_run"] = lookups;
  state.counters["listing_during_lookup_ms"] = listingMs;
  qb::plugin::OnProcessDetach(false);
}
BENCHMARK(BM_CopyWithSlowAccountLookups)->Unit(benchmark::kMillisecond)->Iterations(3);

// The Description and Account columns of every record of a 100,000-record log, as the host asks
// for them when the user sorts by one, in list order or in reverse: through the column reader,
// which reads ahead, or as before it, each record with a seek read of its own and a full
// decoding through TFWEventLog::Read (as a copy reads a record).
void BM_ColumnsOfTheWholeLog(benchmark::State& state) {
  const bool readAhead = state.range(0) != 0;
  const bool reverse = state.range(1) != 0;
  constexpr std::size_t kCount = 100'000;
  auto machine = MakeMachine(kCount);
  qb::platform::ScopedInstall install(machine->platform());
  qb::plugin::OnProcessAttach();
  FsInitW(1, nullptr, nullptr, nullptr);
  std::u16string path = u"\\Application";
  std::vector<std::u16string> names;
  qb::fs::WIN32_FIND_DATAW data;
  const auto h = FsFindFirstW(path.data(), &data);
  do {
    names.push_back(u"\\Application\\" + std::u16string(data.cFileName));
  } while (FsFindNextW(h, &data));
  if (reverse) std::reverse(names.begin(), names.end());
  auto& plugin = qb::plugin::State();
  std::vector<char16_t> buffer(1024);
  std::uint64_t calls = 0;
  std::size_t lookups = 0;
  for (auto _ : state) {
    state.PauseTiming();
    FsFindFirstW(path.data(), &data);  // listed again: nothing read before is kept
    const auto before =
        readAhead ? plugin.columns->ServiceCalls() : plugin.eventLog->PlatformReads();
    const auto lookupsBefore = machine->accounts().LookupCount();
    state.ResumeTiming();
    if (readAhead) {
      for (auto& name : names) {
        for (const int field : {3, 0}) {
          benchmark::DoNotOptimize(
              FsContentGetValueW(name.data(), field, 0, buffer.data(), 2048, 0));
        }
      }
      calls = plugin.columns->ServiceCalls() - before;
    } else {
      std::lock_guard lock(qb::plugin::Lock());
      for (const auto& name : names) {
        const auto remote = qb::plugin::ExtractRecordNumber(name);
        qb::TFWEventLogRecord record;
        if (!remote || !plugin.eventLog->Read(false, remote->number, record)) {
          state.SkipWithError("a record could not be read");
          break;
        }
        benchmark::DoNotOptimize(qb::plugin::FlattenDescription(record.Description));
        benchmark::DoNotOptimize(qb::UserText(*plugin.language, record));
      }
      calls = plugin.eventLog->PlatformReads() - before;
    }
    lookups = machine->accounts().LookupCount() - lookupsBefore;
  }
  state.counters["calls_per_record"] = static_cast<double>(calls) / static_cast<double>(kCount);
  state.counters["lookups"] = static_cast<double>(lookups);
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kCount));
  qb::plugin::OnProcessDetach(false);
}
BENCHMARK(BM_ColumnsOfTheWholeLog)
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->ArgNames({"read_ahead", "reverse"})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);

}  // namespace
