// Where a backend under test may behave otherwise than Windows, and why: the one list of them.
// The suites expect what Windows does; the sim follows Windows, so every entry here is a way
// in which Wine is not Windows. A case that cannot hold where a difference applies starts with
// QB_SKIP_WHERE(difference); a single expectation is guarded with `if (!Applies(...))`.
#pragma once

#include <cstdlib>

#include "backend.h"

namespace qb::suite {

enum class Difference {
  // advapi32's event log functions are stubs: OpenEventLogW hands out one dummy handle for any
  // name and OpenBackupEventLogW for any existing file, ReadEventLogW always fails with
  // ERROR_HANDLE_EOF, the counts are 0, BackupEventLogW and ClearEventLogW write nothing,
  // ReportEventW stores nothing, CloseEventLog and DeregisterEventSource accept any handle
  // and NotifyChangeEventLog never signals.
  kEventLogServiceStubbed,
  // LookupAccountSidW takes a name or domain buffer with no room left for the terminator, or
  // one whose size is given as 0, as large enough (and writes past it).
  kAccountBufferEdges,
};

struct DifferenceInfo {
  Difference which;
  bool wine;  // applies under Wine
  const char* reason;
};

inline constexpr DifferenceInfo kDifferences[] = {
    {Difference::kEventLogServiceStubbed, true, "Wine's event log functions are stubs"},
    {Difference::kAccountBufferEdges, true,
     "Wine's LookupAccountSidW does not count the terminator"},
};

inline const DifferenceInfo& Describe(Difference which) {
  for (const DifferenceInfo& info : kDifferences) {
    if (info.which == which) return info;
  }
  std::abort();  // every enumerator has its row
}

inline bool Applies(Difference which) {
  return Describe(which).wine && RunsOnWine();
}

}  // namespace qb::suite

#define QB_SKIP_WHERE(difference)       \
  if (::qb::suite::Applies(difference)) \
  GTEST_SKIP() << "expected to differ here: " << ::qb::suite::Describe(difference).reason
