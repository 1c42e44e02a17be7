// The host's commands against the real exports, on a machine loaded from a folder: what the
// native wfxhost does.
#include <gtest/gtest.h>

#include <regex>
#include <sstream>

#include "platform/sim/machine_folder.h"
#include "support/machine_folder_maker.h"
#include "support/own_resources.h"
#include "support/pe_builder.h"
#include "wfxhost/commands.h"
#include "wfxhost/native_plugin.h"
#include "wfxhost/text_codec.h"

namespace qb::support {
namespace {

namespace fs = std::filesystem;
using wfxhost::kExitFailed;
using wfxhost::kExitOk;

constexpr std::uint32_t kT0 = 1'700'000'000;  // 2023-11-14T22:13:20Z

class HostCommandsTest : public ::testing::Test {
 protected:
  HostCommandsTest() {
    WriteHostFile(
        root() / "registry.reg",
        RegistryWithLogs({"Application", "System"}) +
            R"([HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Services\EventLog\Application\Beta])"
            "\r\n"
            R"("EventMessageFile"="C:\\Windows\\System32\\qbsample.dll")"
            "\r\n"
            R"("CategoryMessageFile"="C:\\Windows\\System32\\qbsample.dll")"
            "\r\n");
    auto failed = RecordOf(u"Beta", 0x1234, 1, kT0 + 60);
    failed.strings = {u"disk full"};
    failed.category = 2;
    failed.sid = sim::SimAccounts::SidFromString(u"S-1-5-21-11-22-33-1001");
    WriteHostFile(
        root() / "logs" / "Application.evt",
        EvtOf({RecordOf(u"Alpha", 1000, 4, kT0), failed, RecordOf(u"Beta", 0x1235, 2, kT0 + 120)}));
    WriteHostFile(root() / "files" / "C" / "Windows" / "System32" / "qbsample.dll",
                  PeBuilder()
                      .AddMessage(0x1234, u"The disk is full: %1.\r\n")
                      .AddMessage(0x1235, u"Low on space.\r\n")
                      .AddMessage(2, u"Disk\r\n")
                      .Build());
    WriteHostFile(root() / "machine.ini",
                  "[Accounts]\nS-1-5-21-11-22-33-1001=WORKGROUP\\Jos\xC3\xA9\n");
  }

  fs::path root() const { return temp_.path() / "machine"; }
  fs::path scratch(const char* name) const { return temp_.path() / name; }

  struct Result {
    int status = -1;
    std::string out, err;
  };

  // One run of the host: a fresh machine from the folder, the plugin attached to it, the
  // command, the plugin detached. `prepare` may change the machine before the plugin runs.
  Result Run(std::vector<std::string> arguments,
             const std::function<void(sim::Machine&)>& prepare = {}, bool ownIcons = true) {
    const auto parsed = wfxhost::ParseCommandLine(arguments);
    EXPECT_TRUE(parsed.options) << parsed.error;
    if (!parsed.options) return {};
    machine_ = std::make_unique<sim::Machine>();
    std::string error;
    EXPECT_TRUE(sim::LoadMachineFolder(*machine_, root(), &error)) << error;
    if (parsed.options->pluginResources) {
      EXPECT_TRUE(wfxhost::LoadPluginResources(*machine_, *parsed.options->pluginResources, error))
          << error;
    } else {
      machine_->modules().SetOwnImage(OwnImage(ownIcons));
    }
    if (prepare) prepare(*machine_);
    std::ostringstream out, err;
    Result result;
    {
      wfxhost::NativePlugin plugin(*machine_);
      result.status = wfxhost::RunCommand(plugin.plugin(), *parsed.options, out, err);
    }
    result.out = out.str();
    result.err = err.str();
    return result;
  }

  static sim::ModuleImage OwnImage(bool icons) {
    sim::ModuleImage image = OwnResources();
    if (!icons) return image;
    for (const char16_t* name : {u"INFORMATION", u"ERROR", u"WARNING", u"AUDIT_SUCCESS",
                                 u"AUDIT_FAILED", u"CRITICAL", u"VERBOSE"}) {
      image.iconGroups[name] = sim::IconGroup{{sim::IconImage{16, 16, 32, {}}}};
      image.iconGroupOrder.push_back(name);
    }
    return image;
  }

  sim::Machine& machine() { return *machine_; }

 private:
  TempFolder temp_;
  std::unique_ptr<sim::Machine> machine_;
};

TEST_F(HostCommandsTest, RootNamesThePlugin) {
  const auto r = Run({"root"});
  EXPECT_EQ(r.status, kExitOk) << r.err;
  EXPECT_EQ(r.out, "Quillerbankton\n");
}

TEST_F(HostCommandsTest, TheRootListsTheLogsOfTheRegistry) {
  const auto r = Run({"ls", "\\"});
  EXPECT_EQ(r.status, kExitOk) << r.err;
  EXPECT_EQ(r.out,
            "d-          0 -                    Application\n"
            "d-          0 -                    System\n");
}

TEST_F(HostCommandsTest, ALogListsItsRecordsNewestFirst) {
  const auto r = Run({"ls", "\\Application"});
  EXPECT_EQ(r.status, kExitOk) << r.err;
  EXPECT_EQ(r.out,
            "-r       4661 2023-11-14T22:15:20Z [3] Beta.warning\n"
            "-r       4660 2023-11-14T22:14:20Z [2] Beta.error\n"
            "-r       1000 2023-11-14T22:13:20Z [1] Alpha.information\n");
  const auto limited = Run({"ls", "\\Application", "--limit", "1"});
  EXPECT_EQ(limited.out, "-r       4661 2023-11-14T22:15:20Z [3] Beta.warning\n");
}

TEST_F(HostCommandsTest, ColumnsComeWithTheDefaultViewAndEveryValueFilledIn) {
  const auto r = Run({"ls", "\\Application", "--columns"});
  EXPECT_EQ(r.status, kExitOk) << r.err;
  EXPECT_NE(r.out.find("default view:\n  contents: [=tc.writedate]\\n[=<fs>.Account]"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("  headers:  Date\\nAccount\\nCategory\\nCode\\nDescription\n"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("fields: Account (ft_stringw) Category (ft_stringw) Code (ft_numeric_32) "
                       "Description (ft_stringw)\n"),
            std::string::npos)
      << r.out;
  EXPECT_TRUE(std::regex_search(
      r.out, std::regex(R"(\[2\] Beta\.error +\| WORKGROUP\\Jos\xC3\xA9 +\| Disk +\| 4660 +\| )"
                        R"(The disk is full: disk full\.\n)")))
      << r.out;
  EXPECT_EQ(r.out.find("<pending>"), std::string::npos) << r.out;
  std::smatch counts;
  ASSERT_TRUE(std::regex_search(
      r.out, counts, std::regex(R"((\d+) values right away, (\d+) delayed and fetched)")))
      << r.out;
  EXPECT_EQ(std::stoi(counts[1]) + std::stoi(counts[2]), 12);
}

TEST_F(HostCommandsTest, IconsAreNamedAfterTheirResources) {
  const auto r = Run({"icons", "\\Application"});
  EXPECT_EQ(r.status, kExitOk) << r.err;
  EXPECT_EQ(r.out,
            "[3] Beta.warning      | WARNING\n"
            "[2] Beta.error        | ERROR\n"
            "[1] Alpha.information | INFORMATION\n");
  const auto folders = Run({"icons", "\\"});
  EXPECT_EQ(folders.out, "Application | default\nSystem      | default\n");
  // Without its own icons the plugin leaves the icons to the host.
  const auto bare = Run({"icons", "\\Application"}, {}, false);
  EXPECT_EQ(bare.out.find("ERROR"), std::string::npos) << bare.out;
  EXPECT_NE(bare.out.find("[2] Beta.error        | default"), std::string::npos) << bare.out;
}

TEST_F(HostCommandsTest, PluginResourcesComeFromABuiltDll) {
  const fs::path dll = scratch("Quillerbankton.wfx64");
  WriteHostFile(dll, PeBuilder()
                         .AddIconGroup(u"error", {PeIcon{16, 16, 32, platform::Bytes(64)}})
                         .AddIconGroup(u"WARNING", {PeIcon{16, 16, 32, platform::Bytes(64)}})
                         .Build());
  const auto r = Run({"icons", "\\Application", "--plugin-resources", dll.string()});
  EXPECT_EQ(r.status, kExitOk) << r.err;
  EXPECT_EQ(r.out,
            "[3] Beta.warning      | WARNING\n"
            "[2] Beta.error        | ERROR\n"
            "[1] Alpha.information | default\n");

  sim::Machine machine;
  std::string error;
  EXPECT_FALSE(wfxhost::LoadPluginResources(machine, scratch("missing.wfx64"), error));
  EXPECT_NE(error.find("missing.wfx64: cannot be read"), std::string::npos) << error;
  WriteHostFile(scratch("text.wfx64"), "not a DLL");
  EXPECT_FALSE(wfxhost::LoadPluginResources(machine, scratch("text.wfx64"), error));
  EXPECT_NE(error.find("text.wfx64: "), std::string::npos) << error;
}

TEST_F(HostCommandsTest, CopyCarriesTheRecordTextOutOfTheMachine) {
  const fs::path local = scratch("record.txt");
  const auto r = Run({"copy", "\\Application\\[2] Beta.error", local.string()});
  EXPECT_EQ(r.status, kExitOk) << r.err;
  EXPECT_NE(r.out.find("progress 100%\n"), std::string::npos) << r.out;
  EXPECT_TRUE(r.out.ends_with("result: FS_FILE_OK\n")) << r.out;
  const std::string bytes = ReadHostFile(local);
  ASSERT_GE(bytes.size(), 2u);
  EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
  const std::string text = wfxhost::DecodeTextFile(bytes);
  EXPECT_NE(text.find("Event Source:               Beta\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("User Name:                  WORKGROUP\\Jos\xC3\xA9\r\n"), std::string::npos)
      << text;
  EXPECT_NE(text.find("The disk is full: disk full."), std::string::npos) << text;
  // Nothing is left behind in the machine.
  EXPECT_FALSE(machine().system().FileContents(wfxhost::NativePlugin::kCopyTarget));

  // cat prints the same text.
  const auto cat = Run({"cat", "\\Application\\[2] Beta.error"});
  EXPECT_EQ(cat.status, kExitOk) << cat.err;
  EXPECT_EQ(cat.out, text);
  EXPECT_FALSE(machine().system().FileContents(wfxhost::NativePlugin::kScratchTarget));
}

TEST_F(HostCommandsTest, AnAbortedCopyWritesNothing) {
  const fs::path local = scratch("aborted.txt");
  const auto r =
      Run({"copy", "\\Application\\[1] Alpha.information", local.string(), "--abort-at", "0"});
  EXPECT_EQ(r.status, kExitFailed);
  EXPECT_NE(r.out.find("progress 0%\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("result: FS_FILE_USERABORT\n"), std::string::npos) << r.out;
  EXPECT_FALSE(fs::exists(local));
}

TEST_F(HostCommandsTest, AFileInTheWayIsVisibleToThePlugin) {
  const fs::path local = scratch("existing.txt");
  WriteHostFile(local, "old contents");
  sim::Machine machine;
  {
    wfxhost::NativePlugin plugin(machine);
    const auto& env = plugin.plugin().environment;
    const std::u16string target = env.copyTarget(local);
    EXPECT_EQ(env.readTarget(target), "old contents");
    env.removeTarget(target);
    // A target with nothing in the way starts out empty.
    EXPECT_FALSE(env.readTarget(env.copyTarget(scratch("new.txt"))));
  }
}

TEST_F(HostCommandsTest, AFileInTheWayIsReplacedOnlyWithOverwrite) {
  const fs::path local = scratch("existing.txt");
  WriteHostFile(local, "old contents");
  const auto refused = Run({"copy", "\\Application\\[1] Alpha.information", local.string()});
  EXPECT_EQ(refused.status, kExitFailed);
  EXPECT_NE(refused.out.find("result: FS_FILE_EXISTS\n"), std::string::npos) << refused.out;
  EXPECT_EQ(ReadHostFile(local), "old contents");
  const auto replaced =
      Run({"copy", "\\Application\\[1] Alpha.information", local.string(), "--overwrite"});
  EXPECT_EQ(replaced.status, kExitOk) << replaced.err;
  EXPECT_EQ(ReadHostFile(local).substr(0, 2), "\xFF\xFE");
}

TEST_F(HostCommandsTest, OpenAndPropertiesShowWhatTheirDialogsShow) {
  const auto open = Run({"open", "\\Application\\[2] Beta.error"});
  EXPECT_EQ(open.status, kExitOk) << open.err;
  for (const char* line :
       {"result: FS_EXEC_OK\n", "dialog \"Properties\" (RecordViewer, 490 x 468)\n",
        "  lblTypeVal         label        \"Error\"\n",
        "  lblCodeVal         label        \"4660\"\n", "  StatusImage        icon         ERROR\n",
        "  rbByte             radio        \"Bytes\"  [checked]  [disabled]\n",
        "  btnOK              button       \"OK\"\n"}) {
    EXPECT_NE(open.out.find(line), std::string::npos) << line << open.out;
  }
  const auto log = Run({"properties", "\\Application"});
  EXPECT_EQ(log.status, kExitOk) << log.err;
  for (const char* line : {"dialog \"Application log properties\" (LogProperties, 550 x 360)\n",
                           "  RecordLabel        label        \"3\"\n",
                           "  DayEdt             number       \"7\"  [disabled]  [hidden]\n"}) {
    EXPECT_NE(log.out.find(line), std::string::npos) << line << log.out;
  }
  const auto settings = Run({"properties", "\\"});
  EXPECT_NE(settings.out.find("dialog \"Settings\" (Settings, 290 x 128)\n"), std::string::npos)
      << settings.out;
  const auto none = Run({"properties", "\\Application\\[2] Beta.error"});
  EXPECT_EQ(none.out, "result: FS_EXEC_OK\nno dialog\n");
  const auto missing = Run({"open", "\\Application\\[9] Nobody.error"});
  EXPECT_EQ(missing.status, kExitFailed);
  EXPECT_NE(missing.err.find("is not in the listing"), std::string::npos) << missing.err;
}

TEST_F(HostCommandsTest, FailuresNameTheirCause) {
  const auto missingLog = Run({"ls", "\\Nope"});
  EXPECT_EQ(missingLog.status, kExitFailed);
  EXPECT_NE(missingLog.err.find("FsFindFirstW(\"\\Nope\") failed: error 3 (ERROR_PATH_NOT_FOUND)"),
            std::string::npos)
      << missingLog.err;

  const auto missingRecord = Run({"cat", "\\Application\\[9] Nobody.error"});
  EXPECT_EQ(missingRecord.status, kExitFailed);
  EXPECT_NE(missingRecord.err.find("is not in the listing of \\Application"), std::string::npos)
      << missingRecord.err;
  EXPECT_NE(missingRecord.err.find("FsGetFileW: FS_FILE_"), std::string::npos) << missingRecord.err;
}

TEST_F(HostCommandsTest, MessageBoxesThePluginShowsAreReported) {
  const auto r = Run({"ls", "\\Application"}, [](sim::Machine& machine) {
    machine.eventlog().SetOpenFails(u"Application", platform::err::kAccessDenied);
  });
  EXPECT_EQ(r.status, kExitFailed);
  EXPECT_NE(r.err.find("FsFindFirstW(\"\\Application\") failed"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("wfxhost: the plugin showed a message box: Quillerbankton: "),
            std::string::npos)
      << r.err;
}

}  // namespace
}  // namespace qb::support
