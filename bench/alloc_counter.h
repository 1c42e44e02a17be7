// Counts the heap bytes live in the process, so a benchmark can report the peak memory a
// piece of work needs.
#pragma once

#include <cstddef>

namespace qb::bench {

std::size_t LiveBytes();
std::size_t PeakBytes();
// Starts a new peak measurement at the current live bytes.
void ResetPeak();
// The largest single allocation since the last ResetPeak.
std::size_t LargestBlock();

}  // namespace qb::bench
