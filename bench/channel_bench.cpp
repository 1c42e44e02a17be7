// Listing a channel through the simulated Windows Event Log: EvtNext in batches of 128 and
// EvtRender of the system values of every event, as the core lists a channel folder, over a
// generated channel of 100,000 events (figures in events per second).
#include <benchmark/benchmark.h>

#include <array>

#include "platform/sim/formats/evtx_windows_event.h"
#include "platform/sim/machine.h"
#include "platform/sim/rules/text.h"

namespace {

using namespace qb::sim;
namespace evtflags = qb::platform::evtflags;

constexpr char16_t kChannel[] = u"Bench-Provider/Operational";
constexpr std::size_t kEvents = 100'000;

// The machine with the channel, made once: writing the file is not what is measured.
Machine& BenchMachine() {
  static Machine machine;
  static const bool made = [](Machine* m) {
    m->registry().CreateKey(u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\WINEVT\\Channels\\" +
                            std::u16string(kChannel));
    WindowsEventMaker maker;
    std::vector<EvtxEvent> events;
    events.reserve(kEvents);
    for (std::size_t n = 0; n < kEvents; ++n) {
      WindowsEventFields form;
      form.provider = u"Bench-Provider";
      form.eventId = static_cast<std::uint16_t>(1000 + n % 17);
      form.level = static_cast<std::uint8_t>(1 + n % 5);
      form.timeCreated = 133500000000000000ull + n * 10'000'000ull;
      form.recordId = n + 1;
      form.channel = kChannel;
      form.computer = u"BENCH";
      form.data = {{u"Index", EvtxValue::String(Decimal(n))},
                   {u"Name", EvtxValue::String(u"bench event")}};
      events.push_back(maker.Make(form));
    }
    m->system().AddFile(u"C:\\Windows\\System32\\Winevt\\Logs\\Bench-Provider%4Operational.evtx",
                        WriteEvtxFile(events));
    return true;
  }(&machine);
  benchmark::DoNotOptimize(made);
  return machine;
}

void BM_ChannelNextAndRenderValues(benchmark::State& state) {
  auto& service = BenchMachine().channels();
  qb::platform::Handle context = 0;
  service.CreateRenderContext(evtflags::kRenderContextSystem, context);
  std::vector<qb::platform::EvtValue> values;
  std::array<qb::platform::Handle, 128> events{};
  std::size_t total = 0;
  for (auto _ : state) {
    qb::platform::Handle results = 0;
    if (service.Query(kChannel, u"*", evtflags::kChannelPath | evtflags::kReverseDirection,
                      results) != 0) {
      state.SkipWithError("query failed");
      break;
    }
    std::uint32_t returned = 0;
    std::size_t seen = 0;
    while (service.Next(results, events, returned) == 0) {
      for (std::uint32_t i = 0; i < returned; ++i) {
        service.RenderValues(context, events[i], values);
        benchmark::DoNotOptimize(values.data());
        service.Close(events[i]);
      }
      seen += returned;
    }
    service.Close(results);
    if (seen != kEvents) state.SkipWithError("events missing");
    total += seen;
  }
  service.Close(context);
  state.counters["events/s"] =
      benchmark::Counter(static_cast<double>(total), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ChannelNextAndRenderValues)->Unit(benchmark::kMillisecond);

}  // namespace
