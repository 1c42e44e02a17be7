// The plugin driven through its exports, as the host drives it, on a simulated machine.
#pragma once

#include <string>
#include <vector>

#include "plugin/exports.h"
#include "support/eventlog_fixture.h"

namespace qb::support {

class PluginTest : public EventLogTest {
 protected:
  PluginTest();
  ~PluginTest() override;

  // FsInitW, as every host does first (it runs the load steps).
  void Init(int pluginNr = 7);
  // What the export reported, with the thread's last error after a failure.
  struct Listing {
    bool ok = false;
    std::uint32_t lastError = 0;
    std::vector<fs::WIN32_FIND_DATAW> entries;
    std::vector<std::u16string> names;
  };
  Listing List(std::u16string path);
  static std::u16string Name(const fs::WIN32_FIND_DATAW& data) { return data.cFileName; }

  // Progress calls seen by the wide callback, and the answer it gives.
  struct ProgressCall {
    int pluginNr;
    std::u16string source, target;
    int percent;
  };
  static std::vector<ProgressCall>& ProgressCalls();
  static int& ProgressAnswer();
  static int QB_STDCALL ProgressW(int pluginNr, fs::WCHAR* source, fs::WCHAR* target, int percent);

  int GetFile(std::u16string remote, std::u16string local);
  // A text column's value, with the delayed-value protocol already gone through.
  int Value(std::u16string file, int field, std::u16string& text, int maxlen = 1024, int flags = 0);
};

}  // namespace qb::support
