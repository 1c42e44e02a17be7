// Reading a classic log to its end in tests: header-only, so the Windows suites program uses it
// as the native test programs do.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/eventlog_service.h"

namespace qb::support {

// The record numbers a handle delivers from here on. `readOnce` makes one ReadEventLog call
// with a generous buffer and returns an object with the call's `result` and the `numbers` of
// the records it delivered; the reading ends at ERROR_HANDLE_EOF (any other error fails).
template <class ReadOnce>
std::vector<std::uint32_t> DrainRecords(ReadOnce&& readOnce) {
  std::vector<std::uint32_t> all;
  for (int guard = 0; guard < 100; ++guard) {
    const auto read = readOnce();
    if (read.result.error != platform::err::kSuccess) {
      EXPECT_EQ(read.result.error, platform::err::kHandleEof);
      break;
    }
    all.insert(all.end(), read.numbers.begin(), read.numbers.end());
  }
  return all;
}

}  // namespace qb::support
