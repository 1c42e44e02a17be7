// A log of a million records, served through the import table, listed by the real library:
// the record list must fit the 32-bit host's address space and the listing stay quick.
#include <chrono>
#include <cstdio>

#include "plugin_test_million.h"
#include "wine_test_support.h"

namespace qb::winetest {

void FillMillionLog(sim::SimEventLog& log) {
  // One record's bytes, renumbered by the service as it stores each copy.
  sim::RecordFields contents;
  contents.source = u"Bulk Source";
  contents.eventId = 7;
  contents.eventType = 4;
  contents.timeGenerated = contents.timeWritten = 1'700'000'000;
  const platform::Bytes record = sim::BuildEventRecord(contents);
  for (std::uint32_t i = 0; i < kMillionRecords; ++i) log.Append(record);
}

void CheckMillionRecords(const LoadedPlugin& plugin) {
  std::wstring path = L"\\" + std::wstring(kMillionLog);
  const auto start = std::chrono::steady_clock::now();
  WIN32_FIND_DATAW data{};
  HANDLE find = plugin.fs.FsFindFirstW(Host(path), Host(&data));
  if (!Check(find != INVALID_HANDLE_VALUE, "FsFindFirstW lists the log of a million records")) {
    return;
  }
  const std::wstring first = data.cFileName;
  std::wstring last;
  std::size_t count = 1;
  while (plugin.fs.FsFindNextW(find, Host(&data))) {
    ++count;
    if (count > kMillionRecords + 1) break;  // a runaway listing ends the loop, not the run
    last = data.cFileName;
  }
  plugin.fs.FsFindClose(find);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  Check(count == kMillionRecords, "every one of the " + std::to_string(kMillionRecords) +
                                      " records is listed (" + std::to_string(count) + ")");
  Check(first == L"[1000000] Bulk Source.information" && last == L"[1] Bulk Source.information",
        "newest first, oldest last (" + Narrow(first) + " ... " + Narrow(last) + ")");
  char text[64];
  std::snprintf(text, sizeof text, "%.2f", seconds);
  Note(std::string("listing a million records took ") + text + " s in a " +
       (sizeof(void*) == 4 ? "32" : "64") + "-bit process");
  // The next listing frees the list again.
  std::wstring root = L"\\";
  find = plugin.fs.FsFindFirstW(Host(root), Host(&data));
  Check(find != INVALID_HANDLE_VALUE, "the root lists after the large log");
}

}  // namespace qb::winetest
