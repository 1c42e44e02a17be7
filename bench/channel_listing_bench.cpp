// The channels' hot paths against Debian's evtxexport on the same files, in the same run: a
// generated channel of a million events listed through the find exports, the XML of every
// event of the largest real file and of the generated one, and the Description column.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "eventlog/channel_log.h"
#include "eventlog/event_log.h"
#include "listing_run.h"
#include "localization/language.h"
#include "platform/sim/formats/evtx_windows_event.h"
#include "platform/sim/formats/evtx_writer.h"
#include "platform/sim/machine.h"
#include "plugin/exports.h"
#include "plugin/lifecycle.h"
#include "util/text.h"

namespace {

namespace fsys = std::filesystem;
using qb::sim::Machine;

const std::u16string kListedChannel = u"Qb-Bench/Operational";
const std::u16string kChannelFile =
    u"C:\\Windows\\System32\\winevt\\Logs\\Qb-Bench%4Operational.evtx";
const std::u16string kFolder = u"\\Applications and Services Logs\\Qb-Bench\\Operational";
const fsys::path kLargestRealFile = fsys::path(__FILE__).parent_path().parent_path().parent_path() /
                                    "shared" / "evtx" / "python-evtx" / "issue_43.evtx";

// A host file of `count` varied events, written once per size and kept in the temp folder.
fsys::path GeneratedFile(std::size_t count) {
  const fsys::path path =
      fsys::temp_directory_path() / ("qb-bench-channel-" + std::to_string(count) + ".evtx");
  if (fsys::exists(path)) return path;
  struct FileSink final : qb::sim::ByteSink {
    std::ofstream out;
    bool WriteAt(std::uint64_t offset, qb::platform::ByteSpan bytes) override {
      out.seekp(static_cast<std::streamoff>(offset));
      out.write(reinterpret_cast<const char*>(bytes.data()),
                static_cast<std::streamsize>(bytes.size()));
      return out.good();
    }
  } sink;
  const fsys::path partial = path.string() + ".part";
  sink.out.open(partial, std::ios::binary | std::ios::trunc);
  qb::sim::EvtxWriter writer(sink);
  qb::sim::WindowsEventMaker maker;
  const std::u16string providers[] = {u"Microsoft-Windows-PowerShell",
                                      u"Microsoft-Windows-TaskScheduler", u"Qb-Bench-Source"};
  for (std::size_t i = 0; i < count; ++i) {
    qb::sim::WindowsEventFields form;
    form.provider = providers[i % 3];
    form.providerGuid = qb::platform::Bytes(16, std::byte{static_cast<unsigned char>(i % 3)});
    form.eventId = static_cast<std::uint16_t>(4100 + i % 17);
    form.level = static_cast<std::uint8_t>(i % 6);
    form.task = static_cast<std::uint16_t>(i % 9);
    form.recordId = i + 1;
    form.timeCreated = 133'000'000'000'000'000ull + i * 10'000'000ull;
    form.channel = kListedChannel;
    form.computer = u"WS-10.example.org";
    form.data = {{u"ScriptBlockText",
                  qb::sim::EvtxValue::String(u"Get-Process -Id " + qb::util::ToDecimal(i % 5000))},
                 {u"Path", qb::sim::EvtxValue::String(u"C:\\Scripts\\task.ps1")}};
    writer.Write(maker.Make(form));
  }
  writer.Finish();
  sink.out.close();
  fsys::rename(partial, path);
  return path;
}

std::unique_ptr<Machine> MachineWith(const fsys::path& file) {
  auto machine = std::make_unique<Machine>();
  const std::u16string key =
      u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\WINEVT\\Channels\\" + kListedChannel;
  machine->registry().CreateKey(key);
  machine->registry().SetDword(key, u"Enabled", 1);
  machine->registry().SetDword(key, u"Type", 1);
  machine->system().AddHostFile(kChannelFile, file);
  return machine;
}

// Seconds evtxexport takes for the file in this format; 0 when it is not installed.
double Evtxexport(const char* format, const fsys::path& file) {
  if (!fsys::exists("/usr/bin/evtxexport")) return 0;
  const std::string command =
      std::string("/usr/bin/evtxexport -f ") + format + " '" + file.string() + "' >/dev/null 2>&1";
  const auto start = std::chrono::steady_clock::now();
  if (std::system(command.c_str()) != 0) return 0;
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_ChannelListingThroughExports(benchmark::State& state) {
  const auto count = static_cast<std::size_t>(state.range(0));
  const fsys::path file = GeneratedFile(count);
  auto machine = MachineWith(file);
  qb::platform::ScopedInstall install(machine->platform());
  qb::plugin::OnProcessAttach();
  FsInitW(1, nullptr, nullptr, nullptr);
  qb::bench::ListThroughExports(state, kFolder, count);
  qb::plugin::OnProcessDetach(false);
  const double bytes = static_cast<double>(fsys::file_size(file));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(bytes));
  state.counters["evtxexport_text_s"] = Evtxexport("text", file);
}
BENCHMARK(BM_ChannelListingThroughExports)
    ->Arg(1'000'000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// The XML (or the full decoding with its description) of every event of a file, read through
// the channel service as the copy and the viewer read it.
void ReadEveryEvent(benchmark::State& state, const fsys::path& file, bool descriptions) {
  if (!fsys::exists(file)) {
    state.SkipWithError("the file is not there");
    return;
  }
  auto machine = MachineWith(file);
  qb::platform::ScopedInstall install(machine->platform());
  qb::TLngResource language;
  qb::TFWEventLog log(language, u"Quillerbankton");
  const auto index = log.Channels().IndexOf(kListedChannel);
  if (!index) {
    state.SkipWithError("no channel");
    return;
  }
  std::size_t events = 0;
  if (descriptions) {
    log.Open(qb::kFirstChannelIndex + static_cast<std::int32_t>(*index), qb::TFSOpenState::osRead);
  }
  for (auto _ : state) {
    events = 0;
    if (descriptions) {
      log.Read(
          false, false,
          qb::TFWOnReadRecordEvent([&](qb::TFWEventLog&, const qb::TFWEventLogRecord& r, bool&) {
            benchmark::DoNotOptimize(r.Description.data());
            ++events;
          }));
    } else {
      qb::TChannelLog channel(kChannelFile, true);
      channel.ReadAll(false, [&](qb::platform::Handle event, const qb::TChannelEvent&) {
        benchmark::DoNotOptimize(channel.Xml(event).size());
        ++events;
        return true;
      });
    }
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * events));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(fsys::file_size(file)));
  state.counters["evtxexport_s"] = Evtxexport(descriptions ? "text" : "xml", file);
}

void BM_XmlOfTheLargestRealFile(benchmark::State& state) {
  ReadEveryEvent(state, kLargestRealFile, false);
}
BENCHMARK(BM_XmlOfTheLargestRealFile)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_XmlOfAGeneratedFile(benchmark::State& state) {
  ReadEveryEvent(state, GeneratedFile(100'000), false);
}
BENCHMARK(BM_XmlOfAGeneratedFile)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_DescriptionsOfTheLargestRealFile(benchmark::State& state) {
  ReadEveryEvent(state, kLargestRealFile, true);
}
BENCHMARK(BM_DescriptionsOfTheLargestRealFile)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
