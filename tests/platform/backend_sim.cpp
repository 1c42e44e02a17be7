// The suites' backend natively: a fresh simulated machine per test, set up as a Windows
// machine is before any test runs (the Application log exists, the plugin's resources are its
// own module's).
#include "backend.h"
#include "platform/sim/machine.h"
#include "support/own_resources.h"

namespace qb::suite {
namespace {

class SimBackend final : public Backend {
 public:
  SimBackend() {
    machine_.modules().SetOwnImage(testing::OwnResources());
    machine_.eventlog().AddLog(u"Application");
    machine_.system().AddDirectory(kScratch);
  }

  platform::Platform& Services() override { return machine_.platform(); }
  std::u16string ScratchFolder() override { return kScratch; }
  std::u16string ScratchKey() override { return u"Software\\Quillerbankton.Suite"; }
  void SetReadOnly(std::u16string_view file, bool readOnly) override {
    machine_.system().SetReadOnlyFolder(file, readOnly);
  }
  void SetEnvironmentValue(std::u16string_view name, std::u16string_view value) override {
    machine_.system().SetEnv(name, value);
  }
  void SetCurrentFolder(std::u16string_view folder) override {
    machine_.system().SetCurrentDirectory(std::u16string(folder));
  }
  unsigned AnsiCodePage() override { return machine_.locale().AnsiCodePage(); }
  bool WritableLog(std::u16string& log, std::u16string& source) override {
    log = u"Quillerbankton Suite";
    source = u"Quillerbankton Suite Source";
    machine_.eventlog().AddLog(log);
    machine_.registry().CreateKey(u"SYSTEM\\CurrentControlSet\\Services\\EventLog\\" + log + u"\\" +
                                  source);
    return true;
  }

 private:
  static constexpr char16_t kScratch[] = u"C:\\Temp\\Quillerbankton Suite";
  sim::Machine machine_;
};

}  // namespace

std::unique_ptr<Backend> MakeBackend() {
  return std::make_unique<SimBackend>();
}

bool RunsOnWine() {
  return false;
}

}  // namespace qb::suite
