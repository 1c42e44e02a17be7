// The suites' backend natively: a fresh simulated machine per test, set up as a Windows
// machine is before any test runs (the Application log exists, the plugin's resources are its
// own module's). The user of its dialogs acts from the dialog's own thread, in the script the
// simulated dialog runs while it is up.
#include <chrono>
#include <thread>

#include "backend.h"
#include "channel_hooks.h"
#include "platform/sim/machine.h"
#include "platform/sim/services/channel_config.h"
#include "support/channel_fixture.h"
#include "support/own_resources.h"

namespace qb::suite {
namespace {

// The icon groups of the plugin's resources.
constexpr const char16_t* kOwnIcons[] = {u"AMAINICON",     u"INFORMATION",  u"ERROR",    u"WARNING",
                                         u"AUDIT_SUCCESS", u"AUDIT_FAILED", u"CRITICAL", u"VERBOSE",
                                         u"ARROWUP",       u"ARROWDOWN",    u"COPYPAGES"};

sim::ModuleImage OwnImage() {
  sim::ModuleImage image = support::OwnResources();
  for (const char16_t* name : kOwnIcons) {
    image.iconGroups[name] = sim::IconGroup{{sim::IconImage{16, 16, 32, {}}}};
    image.iconGroupOrder.push_back(name);
  }
  return image;
}

sim::SimUi::DialogScript Acting(sim::SimUi& ui, DialogUser::Script script,
                                std::shared_ptr<bool> ran);

class SimDialogUser final : public DialogUser {
 public:
  SimDialogUser(sim::SimUi& ui, sim::SimDialog& dialog) : ui_(ui), dialog_(dialog) {}

  void Click(int id) override { dialog_.Click(id); }
  void PressKey(std::uint32_t virtualKey) override { dialog_.PressKey(virtualKey); }
  void CloseBox() override { dialog_.CloseBox(); }
  void ClickOpening(int id, const Script& script) override {
    auto ran = std::make_shared<bool>(false);
    ui_.QueueDialogScript(Acting(ui_, script, ran));
    dialog_.Click(id);
    if (!*ran) ADD_FAILURE() << "no dialog came over the dialog";
  }
  Box ClickAnswering(int id, int button) override {
    const std::size_t before = ui_.MessageBoxes().size();
    ui_.QueueAnswer(button);
    dialog_.Click(id);
    const auto boxes = ui_.MessageBoxes();
    if (boxes.size() == before) {
      ADD_FAILURE() << "no message box came over the dialog";
      return {};
    }
    EXPECT_EQ(boxes.back().owner, dialog_.Window()) << "the box is not over the dialog";
    return {boxes.back().caption, boxes.back().text};
  }

  std::u16string Caption() override { return dialog_.Caption(); }
  std::u16string Text(int id) override { return dialog_.Text(id); }
  bool IsChecked(int id) override { return dialog_.IsChecked(id); }
  bool IsEnabled(int id) override { return dialog_.IsEnabled(id); }
  bool IsVisible(int id) override { return dialog_.IsVisible(id); }
  int Focused() override { return dialog_.Focused(); }
  // What the user does here has taken effect when the call returns.
  bool Until(const std::function<bool()>& done) override { return done(); }

 private:
  sim::SimUi& ui_;
  sim::SimDialog& dialog_;
};

sim::SimUi::DialogScript Acting(sim::SimUi& ui, DialogUser::Script script,
                                std::shared_ptr<bool> ran) {
  return [&ui, script = std::move(script), ran](sim::SimDialog& dialog) {
    *ran = true;
    SimDialogUser user(ui, dialog);
    script(user);
    if (!dialog.closed()) ADD_FAILURE() << "the dialog is still open after the user's last action";
  };
}

// Checks at its end that the user met the window expected over the owner.
class SimSession final : public UserSession {
 public:
  explicit SimSession(std::function<void()> check) : check_(std::move(check)) {}
  ~SimSession() override { check_(); }

 private:
  std::function<void()> check_;
};

class SimBackend final : public Backend {
 public:
  SimBackend() {
    machine_.modules().SetOwnImage(OwnImage());
    machine_.eventlog().AddLog(u"Application");
    machine_.registry().CreateKey(sim::kWinevtChannelsKey);
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

  bool ChannelWithEvents(std::span<const ChannelEvent> events, std::u16string& channel) override {
    return MakeChannelWithEvents(machine_, events, channel);
  }
  bool ManifestPublisher(const PublisherDesc& desc) override {
    MakeManifestPublisher(machine_, desc);
    return true;
  }
  bool ClassicSource(std::u16string_view log, std::u16string_view source,
                     const std::map<std::uint32_t, std::u16string>& messages) override {
    MakeClassicSource(machine_, log, source, messages);
    return true;
  }
  bool AsStandardUser() override {
    support::MakeStandardUser(machine_);
    return true;
  }

  platform::Handle Window(platform::Rect place) override {
    const platform::Handle window = nextWindow_;
    nextWindow_ += 0x10;
    ui().SetWindowRect(window, place);
    return window;
  }
  platform::Handle ListBox(const std::vector<std::u16string>& items,
                           bool multipleSelection) override {
    return ui().AddListBox(items, multipleSelection).handle();
  }
  std::optional<std::u16string> ClipboardText() override { return ui().ClipboardText(); }
  std::optional<platform::CursorShape> CursorShown() override { return ui().Cursor(); }
  bool PumpUntil(const std::function<bool()>& done, unsigned milliseconds) override {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
      ui().PumpMessages();
      if (done()) return true;
      if (std::chrono::steady_clock::now() >= end) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }

  std::unique_ptr<UserSession> ActOnDialog(platform::Handle owner,
                                           DialogUser::Script script) override {
    auto ran = std::make_shared<bool>(false);
    ui().QueueDialogScript(Acting(ui(), std::move(script), ran));
    const std::size_t before = ui().Dialogs().size();
    return std::make_unique<SimSession>([this, ran, owner, before] {
      const auto dialogs = ui().Dialogs();
      if (!*ran || dialogs.size() == before) {
        ADD_FAILURE() << "no dialog came over the owner";
        return;
      }
      // Nested ones close first: the outermost is the last.
      EXPECT_EQ(dialogs.back().owner, owner) << "the dialog is not over its owner";
    });
  }
  std::unique_ptr<UserSession> AnswerMessageBox(platform::Handle owner, int button,
                                                DialogUser::Box& seen) override {
    ui().QueueAnswer(button);
    const std::size_t before = ui().MessageBoxes().size();
    return std::make_unique<SimSession>([this, owner, before, &seen] {
      const auto boxes = ui().MessageBoxes();
      if (boxes.size() == before) {
        ADD_FAILURE() << "no message box came over the owner";
        return;
      }
      EXPECT_EQ(boxes.back().owner, owner) << "the box is not over its owner";
      seen = {boxes.back().caption, boxes.back().text};
    });
  }
  std::unique_ptr<UserSession> AnswerSaveDialog(platform::Handle owner,
                                                std::optional<std::u16string> path,
                                                SaveDialogSeen& seen) override {
    ui().QueueSaveAnswer(std::move(path));
    const std::size_t before = ui().SaveRequests().size();
    return std::make_unique<SimSession>([this, owner, before, &seen] {
      const auto requests = ui().SaveRequests();
      if (requests.size() == before) {
        ADD_FAILURE() << "no save-file dialog came over the owner";
        return;
      }
      EXPECT_EQ(requests.back().owner, owner) << "the dialog is not over its owner";
      seen = {requests.back().fileName, false};
    });
  }

 private:
  sim::SimUi& ui() { return machine_.ui(); }

  static constexpr char16_t kScratch[] = u"C:\\Temp\\Quillerbankton Suite";
  sim::Machine machine_;
  platform::Handle nextWindow_ = 0x40000;
};

}  // namespace

std::unique_ptr<Backend> MakeBackend() {
  return std::make_unique<SimBackend>();
}

bool RunsOnWine() {
  return false;
}

}  // namespace qb::suite
