// A folder listed through the host's find exports, timed by the benchmark's loop, with the
// memory the listing holds at its peak.
#pragma once

#include <benchmark/benchmark.h>

#include <cstddef>
#include <string>

namespace qb::bench {

// Lists `folder` in every iteration of `state` (the listing before it freed untimed) and sets
// the counters: peak bytes per record, largest block. Fails the run when a listing does not
// give `count` entries.
void ListThroughExports(benchmark::State& state, std::u16string folder, std::size_t count);

}  // namespace qb::bench
