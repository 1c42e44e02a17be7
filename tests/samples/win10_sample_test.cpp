// The Windows 10 sample machine against an independent reader: Debian's evtxexport (libevtx)
// reads every .evtx samplegen writes, with hives made by hivexregedit from its registry export
// and its provider libraries, and must find the description's events: count, record numbers,
// providers, identifiers, data, and a description exactly for those meant to have one.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <sstream>

#include "description.h"
#include "generator.h"
#include "modern_machine.h"
#include "platform/sim/formats/reg_file.h"
#include "samples/sample_files.h"
#include "util/text.h"

namespace qb::samplegen {
namespace {

namespace fs = std::filesystem;

const fs::path kTests = fs::path(__FILE__).parent_path().parent_path();

Description Win10() {
  std::string error;
  auto d = ParseDescription(ReadText(kSamples / "description-win10.txt"), &error);
  EXPECT_TRUE(d) << error;
  return d.value_or(Description{});
}

struct Exported {
  std::uint64_t number = 0;
  std::uint32_t id = 0;
  std::string source;
  std::vector<std::string> strings;
  bool described = false;
};

// evtxexport's text: "Field\t\t: value" lines, a blank line after each record; a value with
// line breaks goes on over the following lines.
std::vector<Exported> ParseExport(const std::string& text) {
  std::vector<Exported> out;
  std::istringstream in(text);
  std::string line;
  std::string* open = nullptr;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::size_t colon = line.find("\t: ");
    if (colon == std::string::npos || line.empty() || line[0] == '\t') {
      if (line.empty()) open = nullptr;
      if (open != nullptr) *open += "\n" + line;
      continue;
    }
    const std::string field = line.substr(0, line.find('\t'));
    const std::string value = line.substr(colon + 3);
    open = nullptr;
    if (field == "Event number") {
      out.push_back({std::stoull(value), 0, {}, {}, false});
    } else if (out.empty()) {
      continue;
    } else if (field == "Event identifier") {
      out.back().id = static_cast<std::uint32_t>(std::stoul(value.substr(value.find('(') + 1)));
    } else if (field == "Source name") {
      out.back().source = value;
    } else if (field.rfind("String: ", 0) == 0) {
      out.back().strings.push_back(value);
      open = &out.back().strings.back();
    } else if (field == "Message string") {
      out.back().described = true;
    }
  }
  return out;
}

std::string Utf8Lines(const std::u16string& text) {
  std::string out;
  for (char c : util::Utf16ToUtf8(text)) {
    if (c != '\r') out += c;
  }
  return out;
}

// Whether the sample means the event to have a description through its registered library.
bool MeantToBeDescribed(const Description& d, const SourceDescription& source,
                        const EventDescription& event) {
  if (!event.text) return false;
  if (const auto* provider = d.FindProvider(source.name)) {
    return !provider->library.empty() && !event.undefined;
  }
  return source.registered && !source.messageFile.empty();
}

class Win10Sample : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device seed;
    work_ = fs::temp_directory_path() / ("qb-win10-" + std::to_string(seed()));
    ASSERT_EQ(WriteMachineFolder(d_, kSamples, work_ / "machine"), "");
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(work_, ignored);
  }

  Description d_ = Win10();
  fs::path work_;
};

TEST_F(Win10Sample, EvtxexportReadsTheDescribedEvents) {
  for (const char* tool : {"evtxexport", "hivexregedit", "python3"}) {
    if (std::system((std::string("command -v ") + tool + " >/dev/null").c_str()) != 0) {
      GTEST_SKIP() << tool << " is not installed";
    }
  }
  // Hives from the export: SYSTEM with its EventLog keys in ControlSet001, SOFTWARE with WINEVT.
  // hivexregedit takes no comments and merges a key only below an existing one.
  const fs::path config = work_ / "config";
  fs::create_directories(config);
  std::ofstream system(config / "SYSTEM.reg"), software(config / "SOFTWARE.reg");
  system << "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\SYSTEM\\Select]\n"
            "\"Current\"=dword:00000001\n\n[HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet001]\n\n"
            "[HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet001\\Services]\n\n";
  software << "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes]\n\n";
  std::istringstream lines(ReadText(work_ / "machine/registry.reg"));
  std::ofstream* to = nullptr;
  for (std::string line; std::getline(lines, line);) {
    const std::string set = "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\";
    if (line.rfind(set, 0) == 0) {
      to = &system;
      line = "[HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet001\\" + line.substr(set.size());
    } else if (line.rfind("[HKEY_LOCAL_MACHINE\\SOFTWARE\\", 0) == 0) {
      to = &software;
    }
    if (to != nullptr && line.rfind(";", 0) != 0) *to << line << "\n";
  }
  system.close();
  software.close();
  const std::string hive =
      "python3 '" + (kTests / "offline_machine/empty_hive.py").string() + "' '";
  const std::string merge =
      "hivexregedit --merge --encoding utf-16le --prefix 'HKEY_LOCAL_MACHINE\\";
  for (const std::string name : {"SYSTEM", "SOFTWARE"}) {
    const std::string file = (config / name).string();
    const std::string command =
        hive + file + "' && " + merge + name + "' '" + file + "' '" + file + ".reg'";
    ASSERT_EQ(std::system(("(" + command + ") >/dev/null 2>&1").c_str()), 0) << command;
  }

  std::size_t logsRead = 0, described = 0, undescribed = 0;
  for (const auto& log : d_.logs) {
    SCOPED_TRACE(log.name);
    const fs::path file =
        work_ / "machine/files/C/Windows/System32/winevt/Logs" / EvtxFileName(log);
    ASSERT_EQ(fs::exists(file), HasEvtxFile(log));
    if (!HasEvtxFile(log)) continue;
    const fs::path text = work_ / "export.txt";
    const std::string command = "evtxexport -p '" + (work_ / "machine/files/C").string() +
                                "' -r '" + config.string() + "' '" + file.string() + "' > '" +
                                text.string() + "' 2>/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    const std::vector<Exported> records = ParseExport(ReadText(text));
    const std::vector<GeneratedEvent> events = GenerateEvents(d_, log);
    ASSERT_EQ(records.size(), events.size());
    for (std::size_t i = 0; i < events.size(); ++i) {
      const GeneratedEvent& want = events[i];
      const Exported& got = records[i];
      SCOPED_TRACE(want.recordNumber);
      EXPECT_EQ(got.number, want.recordNumber);
      EXPECT_EQ(got.id, want.event->eventId & 0xFFFF);
      EXPECT_EQ(got.source, want.source->name);
      // evtxexport gives the binary data as one more string, in hexadecimal.
      std::vector<std::string> strings;
      for (const auto& text : want.strings) strings.push_back(Utf8Lines(text));
      if (!want.data.empty()) {
        std::string hex;
        for (std::byte b : want.data) {
          hex += "0123456789ABCDEF"[static_cast<unsigned>(b) >> 4];
          hex += "0123456789ABCDEF"[static_cast<unsigned>(b) & 0xF];
        }
        strings.push_back(hex);
      }
      EXPECT_EQ(got.strings, strings);
      const bool meant = MeantToBeDescribed(d_, *want.source, *want.event);
      EXPECT_EQ(got.described, meant);
      ++(meant ? described : undescribed);
    }
    ++logsRead;
  }
  EXPECT_EQ(logsRead, 7u);  // the disabled analytic channel has no file
  EXPECT_GT(described, 0u);
  EXPECT_GT(undescribed, 0u);
}

// The export read back through the registry reader: every log has its channel key, its File
// naming a file the folder has (unless disabled), and every provider its publisher key.
TEST_F(Win10Sample, RegistryExportNamesWhatTheFolderHolds) {
  const std::string text = ReadText(work_ / "machine/registry.reg");
  const sim::RegFile reg =
      sim::ReadRegFile({reinterpret_cast<const std::byte*>(text.data()), text.size()});
  ASSERT_EQ(reg.error, "");
  auto value = [&reg](std::u16string_view key,
                      std::u16string_view name) -> std::optional<std::u16string> {
    for (const auto& entry : reg.entries) {
      if (entry.kind != sim::RegFileEntry::Kind::kValue || !util::EqualsNoCase(entry.path, key) ||
          !util::EqualsNoCase(entry.name, name)) {
        continue;
      }
      std::u16string out;
      for (std::size_t i = 0; i + 1 < entry.data.size(); i += 2) {
        out += static_cast<char16_t>(static_cast<unsigned>(entry.data[i]) |
                                     static_cast<unsigned>(entry.data[i + 1]) << 8);
      }
      while (!out.empty() && out.back() == u'\0') out.pop_back();
      return out;
    }
    return std::nullopt;
  };
  const std::u16string channels =
      u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\WINEVT\\Channels\\";
  for (const auto& log : d_.logs) {
    SCOPED_TRACE(log.name);
    const auto file = value(channels + util::Utf8ToUtf16(log.name), u"File");
    ASSERT_TRUE(file);
    const auto where = MachineFolderPath(util::Utf16ToUtf8(*file));
    ASSERT_TRUE(where);
    EXPECT_EQ(fs::exists(work_ / "machine" / *where), HasEvtxFile(log));
    const auto classic = value(
        u"SYSTEM\\CurrentControlSet\\Services\\EventLog\\" + util::Utf8ToUtf16(log.name), u"File");
    EXPECT_EQ(classic.has_value(), !log.channel);
    EXPECT_EQ(classic.value_or(*file), *file);
  }
  for (const auto& provider : d_.providers) {
    SCOPED_TRACE(provider.name);
    const std::u16string key =
        u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\WINEVT\\Publishers\\" +
        util::Utf8ToUtf16(provider.guid);
    EXPECT_EQ(value(key, u""), util::Utf8ToUtf16(provider.name));
    const auto library = value(key, u"ResourceFileName");
    ASSERT_EQ(library.has_value(), !provider.library.empty());
    const auto where = MachineFolderPath(util::Utf16ToUtf8(library.value_or(u"")));
    EXPECT_EQ(where && fs::exists(work_ / "machine" / *where), library.has_value());
  }
}

TEST_F(Win10Sample, GivesTheSameBytesEveryTime) {
  const fs::path again = work_ / "again";
  ASSERT_EQ(WriteMachineFolder(d_, kSamples, again), "");
  std::size_t files = 0;
  for (const auto& entry : fs::recursive_directory_iterator(work_ / "machine")) {
    if (!entry.is_regular_file()) continue;
    const fs::path relative = fs::relative(entry.path(), work_ / "machine");
    EXPECT_EQ(ReadText(entry.path()), ReadText(again / relative)) << relative;
    ++files;
  }
  EXPECT_GT(files, 10u);
}

TEST(Win10Description, FaultsOfTheNewLinesNameTheirLine) {
  const std::string head = "os 10\nprovider P guid={5770385f-c22a-43e0-bf4c-06f5698ffbd9}\n";
  const struct {
    std::string text, fault;
  } cases[] = {
      {"provider P guid=nope\nlog L records=1 gap=1..1\n", "line 1: bad GUID nope"},
      {"provider P\nlog L records=1 gap=1..1\n", "line 1: provider needs guid="},
      {"task 1 T\n", "line 1: task outside a provider"},
      {head + "provider P guid={5770385f-c22a-43e0-bf4c-06f5698ffbd9}\n",
       "line 3: provider P described twice"},
      {head + "log L records=1 gap=1..1 channel type=Sideways\n",
       "line 3: unknown channel type 'Sideways'"},
      {head + "log L records=1 gap=1..1 owner=Q\nsource P\nevent 1 error\n",
       "line 3: log L: no provider Q"},
      {head + "log L records=1 gap=1..1\nsource P\nevent 1 error fields=a,b : x\n",
       "line 5: fields= names 2 items for 1 inserts"},
      {head + "log L records=1 gap=1..1\ntext hello\n", "line 4: text outside an event"},
      {"log L records=1 gap=1..1 channel\nsource S\nevent 1 error\n",
       "line 1: channels need os 6 or later"},
  };
  for (const auto& c : cases) {
    std::string error;
    EXPECT_FALSE(ParseDescription(c.text, &error)) << c.text;
    EXPECT_EQ(error, c.fault) << c.text;
  }
}

TEST(Win10Description, ProviderLibrariesGoWhereTheRegistrySays) {
  const struct {
    std::string path;
    std::optional<std::string> where;
  } cases[] = {
      {"%SystemRoot%\\System32\\x.dll", "files/C/Windows/System32/x.dll"},
      {"%windir%\\x.dll", "files/C/Windows/x.dll"},
      {"C:\\Windows\\Sysmon64.exe", "files/C/Windows/Sysmon64.exe"},
      {"%ProgramFiles%\\App\\m.dll", "files/C/Program Files/App/m.dll"},
      {"D:\\x.dll", std::nullopt},
      {"%SystemRoot%\\..\\x.dll", std::nullopt},
      {"x.dll", std::nullopt},
  };
  for (const auto& c : cases) {
    const auto where = MachineFolderPath(c.path);
    EXPECT_EQ(where ? std::optional<std::string>(where->generic_string()) : std::nullopt, c.where)
        << c.path;
  }
}

}  // namespace
}  // namespace qb::samplegen
