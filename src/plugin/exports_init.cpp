// FsInit, FsInitW, FsSetDefaultParams and FsGetDefRootName.
#include <algorithm>
#include <cstring>

#include "plugin/export_call.h"
#include "plugin/exports.h"
#include "plugin/host_options.h"
#include "plugin/lifecycle.h"
#include "plugin/plugin_state.h"

namespace {
constexpr char kRootName[] = "Quillerbankton";
}

extern "C" int QB_STDCALL FsInit(int PluginNr, qb::fs::tProgressProc pProgressProc,
                                 qb::fs::tLogProc, qb::fs::tRequestProc pRequestProc) {
  // Before the load steps: what they have to say goes through the host's callback.
  qb::plugin::RememberRequestProc(PluginNr, pRequestProc);
  qb::plugin::EnsureLoaded();
  const qb::plugin::ExportCall call;
  if (!call) return 0;
  const qb::plugin::StateLock lock;
  auto& state = qb::plugin::State();
  state.pluginNr = PluginNr;
  state.progress = pProgressProc;
  state.progressW = nullptr;
  return 0;
}

extern "C" int QB_STDCALL FsInitW(int PluginNr, qb::fs::tProgressProcW pProgressProcW,
                                  qb::fs::tLogProcW, qb::fs::tRequestProcW pRequestProcW) {
  qb::plugin::RememberRequestProcW(PluginNr, pRequestProcW);
  qb::plugin::EnsureLoaded();
  const qb::plugin::ExportCall call;
  if (!call) return 0;
  const qb::plugin::StateLock lock;
  auto& state = qb::plugin::State();
  state.pluginNr = PluginNr;
  state.progressW = pProgressProcW;
  state.progress = nullptr;
  return 0;
}

extern "C" void QB_STDCALL FsGetDefRootName(char* DefRootName, int maxlen) {
  if (DefRootName == nullptr || maxlen <= 0) return;
  const std::size_t n =
      std::min<std::size_t>(sizeof(kRootName) - 1, static_cast<std::size_t>(maxlen) - 1);
  std::memcpy(DefRootName, kRootName, n);
  DefRootName[n] = '\0';
}

// Nothing of what the host tells here is needed; the record is not even read, so a record of
// any size (or none) is safe.
extern "C" void QB_STDCALL FsSetDefaultParams(qb::fs::FsDefaultParamStruct*) {}
