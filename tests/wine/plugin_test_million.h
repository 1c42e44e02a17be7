// The check of a log of a million records.
#pragma once

#include "platform/sim/services/eventlog_service.h"
#include "plugin_test_checks.h"

namespace qb::winetest {

inline constexpr wchar_t kMillionLog[] = L"QbMillion";
inline constexpr std::uint32_t kMillionRecords = 1'000'000;

// Gives the simulated log its records (the registry key is the caller's).
void FillMillionLog(sim::SimEventLog& log);
// Lists it through the library's exports.
void CheckMillionRecords(const LoadedPlugin& plugin);

}  // namespace qb::winetest
