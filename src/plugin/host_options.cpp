#include "plugin/host_options.h"

#include <mutex>
#include <string>

#include "platform/platform.h"
#include "util/no_destructor.h"

namespace qb::plugin {
namespace {

HostOptions g_options;

// Apart from the plugin's lock: a message may be shown from any thread, whatever it holds.
struct Requests {
  std::mutex lock;
  int pluginNr = 0;
  fs::tRequestProc request = nullptr;
  fs::tRequestProcW requestW = nullptr;
};

Requests& TheRequests() {
  static util::NoDestructor<Requests> requests;
  return *requests;
}

}  // namespace

void SetHostOptions(const HostOptions& options) {
  g_options = options;
}

const HostOptions& Options() {
  return g_options;
}

void RememberRequestProc(int pluginNr, fs::tRequestProc request) {
  auto& r = TheRequests();
  std::lock_guard lock(r.lock);
  r.pluginNr = pluginNr;
  r.request = request;
}

void RememberRequestProcW(int pluginNr, fs::tRequestProcW request) {
  auto& r = TheRequests();
  std::lock_guard lock(r.lock);
  r.pluginNr = pluginNr;
  r.requestW = request;
}

void ForgetRequestProcs() {
  auto& r = TheRequests();
  std::lock_guard lock(r.lock);
  r.pluginNr = 0;
  r.request = nullptr;
  r.requestW = nullptr;
}

std::optional<bool> AskHost(int requestType, std::u16string_view title, std::u16string_view text) {
  int pluginNr = 0;
  fs::tRequestProc request = nullptr;
  fs::tRequestProcW requestW = nullptr;
  {
    auto& r = TheRequests();
    std::lock_guard lock(r.lock);
    pluginNr = r.pluginNr;
    request = r.request;
    requestW = r.requestW;
  }
  // The host's answer may take as long as the user: no lock of ours is held over it.
  if (requestW != nullptr) {
    std::u16string t(title);
    std::u16string x(text);
    // The host may write into the returned text: a buffer it may use, though none is asked.
    std::u16string returned(2, u'\0');
    return requestW(pluginNr, requestType, t.data(), x.data(), returned.data(), 1) != fs::kFalse;
  }
  if (request != nullptr) {
    auto& locale = platform::Locale();
    std::string t = locale.WideToAnsi(title);
    std::string x = locale.WideToAnsi(text);
    std::string returned(2, '\0');
    return request(pluginNr, requestType, t.data(), x.data(), returned.data(), 1) != fs::kFalse;
  }
  return std::nullopt;
}

}  // namespace qb::plugin
