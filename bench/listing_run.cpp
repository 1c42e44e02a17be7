#include "listing_run.h"

#include "alloc_counter.h"
#include "plugin/exports.h"

namespace qb::bench {

void ListThroughExports(benchmark::State& state, std::u16string folder, std::size_t count) {
  std::u16string root = u"\\";
  std::size_t peak = 0;
  std::size_t largest = 0;
  for (auto _ : state) {
    state.PauseTiming();
    fs::WIN32_FIND_DATAW rootData;
    FsFindFirstW(root.data(), &rootData);  // frees the previous listing
    state.ResumeTiming();
    const std::size_t live = LiveBytes();
    ResetPeak();
    fs::WIN32_FIND_DATAW data;
    std::size_t n = 0;
    const auto h = FsFindFirstW(folder.data(), &data);
    if (h != fs::kInvalidHandleValue) {
      do {
        benchmark::DoNotOptimize(data.cFileName);
        ++n;
      } while (FsFindNextW(h, &data));
      FsFindClose(h);
    }
    peak = PeakBytes() - live;
    largest = LargestBlock();
    if (n != count) state.SkipWithError("not every record was listed");
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * count));
  state.counters["peak_MiB"] = static_cast<double>(peak) / (1024.0 * 1024.0);
  state.counters["peak_bytes_per_record"] = static_cast<double>(peak) / static_cast<double>(count);
  state.counters["largest_block_KiB"] = static_cast<double>(largest) / 1024.0;
}

}  // namespace qb::bench
