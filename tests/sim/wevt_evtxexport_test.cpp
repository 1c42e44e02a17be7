// The manifest writer, the PE builder and the message step against an independent reader:
// Debian's evtxexport (libevtx-utils) renders the records of a Security log written by
// Windows with a provider library built here, registered in a SOFTWARE hive made with
// hivexregedit; its descriptions must be ours. The library defines the events of that log
// with messages of our own making (escapes, conversions, missing inserts, blank lines).
// evtxexport leaves %%n as it is, drops blank lines and carriage returns: both sides are
// compared without them, and without parameter messages.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <unistd.h>

#include "platform/sim/formats/pe_resources.h"
#include "platform/sim/formats/wevt_messages.h"
#include "platform/sim/formats/wevt_writer.h"
#include "sim/wevt_fixture.h"
#include "support/pe_builder.h"

namespace {

namespace fs = std::filesystem;
using namespace qb::sim;

const fs::path kTests = fs::path(__FILE__).parent_path().parent_path();
const fs::path kLog = kTests.parent_path().parent_path() / "shared/evtx/omerbenamram-evtx" /
                      "Security_short_selected.evtx";

struct Definition {
  std::uint16_t id;
  std::uint8_t version;  // as the log's records carry it
  std::u16string message;
};

const Definition kDefinitions[] = {
    {5152, 0,
     u"Packet dropped.\r\n\r\nApplication:\t%1 (%2!s!)\r\nDirection:%t%3%nSource: %4:%5 to "
     u"%6:%7, protocol %8\r\nFilter %9, layer %10 (%11)\r\n"},
    {4611, 0, u"Logon process %5 registered by %2\\%3 (%1, logon id %4).\r\n"},
    {4776, 0, u"Credentials of %2 from %3 checked by %1: %4, 100%% done, %7 unknown.\r\n"},
    {4625, 0, u"Logon failure for %6\\%7: %9 (%8/%10), type %11 from %20:%21 via %12%13.\r\n"},
    {5157, 1, u"Connection of %2 blocked: %4:%5 -> %6:%7.\r\n"},
};

std::string RunQuietly(const std::string& command) {
  return std::system(("(" + command + ") >/dev/null 2>&1").c_str()) == 0 ? ""
                                                                         : "failed: " + command;
}

void WriteFile(const fs::path& path, const qb::platform::Bytes& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

std::u16string FromUtf8(std::string_view text) {
  std::u16string out;
  for (std::size_t i = 0; i < text.size();) {
    auto c = static_cast<unsigned char>(text[i]);
    int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
    char32_t cp = extra == 0 ? c : c & (0x3F >> extra);
    for (int k = 1; k <= extra && i + k < text.size(); ++k) cp = cp << 6 | (text[i + k] & 0x3F);
    i += 1 + extra;
    if (cp >= 0x10000) {
      out.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
      cp = 0xDC00 + ((cp - 0x10000) & 0x3FF);
    }
    out.push_back(static_cast<char16_t>(cp));
  }
  return out;
}

std::u16string WithoutBlankLines(std::u16string text) {
  std::u16string out;
  for (char16_t c : text) {
    if (c == u'\r' || (c == u'\n' && (out.empty() || out.back() == u'\n'))) continue;
    out.push_back(c);
  }
  while (!out.empty() && out.back() == u'\n') out.pop_back();
  return out;
}

struct Record {
  std::uint16_t id = 0;
  std::vector<std::u16string> values;
  std::optional<std::u16string> message;
};

std::vector<Record> ParseExport(const std::string& text) {
  std::vector<Record> records;
  std::istringstream in(text);
  std::string line;
  bool inMessage = false;
  while (std::getline(in, line)) {
    auto field = [&](const char* name) -> std::optional<std::string> {
      if (line.rfind(name, 0) != 0) return std::nullopt;
      std::size_t colon = line.find("\t: ");
      return colon == std::string::npos ? std::string() : line.substr(colon + 3);
    };
    if (field("Event number")) {
      records.emplace_back();
      inMessage = false;
    } else if (records.empty()) {
      continue;
    } else if (auto id = field("Event identifier")) {
      records.back().id = static_cast<std::uint16_t>(std::stoul(id->substr(id->find('(') + 1)));
    } else if (auto value = field("String: ")) {
      records.back().values.push_back(FromUtf8(*value));
    } else if (auto message = field("Message string")) {
      records.back().message = FromUtf8(*message);
      inMessage = true;
    } else if (inMessage) {
      *records.back().message += u"\n" + FromUtf8(line);
    }
  }
  return records;
}

TEST(WevtEvtxexport, DescriptionsOfARealLogMatch) {
  for (const char* tool : {"evtxexport", "hivexregedit", "python3"}) {
    if (std::system((std::string("command -v ") + tool + " >/dev/null").c_str()) != 0) {
      GTEST_SKIP() << tool << " is not installed";
    }
  }
  if (!fs::exists(kLog)) GTEST_SKIP() << "no real logs in " << kLog.parent_path();

  WevtProviderDesc provider;
  provider.guid = qb::test::kSecurityGuid;
  qb::support::PeBuilder library;
  for (const Definition& d : kDefinitions) {
    const std::uint32_t messageId = 0xB0000000u | d.version << 16 | d.id;
    provider.templates.push_back({{}, {{u"Value", 1, 1, 0, 0}}});
    provider.events.push_back(
        {{d.id, d.version, 0, 0, 0, 0, 0, messageId, 0}, provider.templates.size() - 1});
    library.AddMessage(messageId, d.message);
  }
  qb::platform::Bytes dll = library
                                .AddRawResource(u"WEVT_TEMPLATE", 1, qb::support::kLangEnUs,
                                                WriteWevtManifest({&provider, 1}))
                                .Build();

  const fs::path work = fs::temp_directory_path() / ("qb-wevt-" + std::to_string(::getpid()));
  fs::remove_all(work);
  fs::create_directories(work / "files/Windows/System32");
  fs::create_directories(work / "config");
  WriteFile(work / "files/Windows/System32/adtschema.dll", dll);
  std::ofstream(work / "software.reg")
      << "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes]\n\n"
         "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft]\n\n[HKEY_LOCAL_"
         "MACHINE\\SOFTWARE\\Microsoft\\Windows]\n\n"
         "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion]\n\n"
         "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\WINEVT]\n\n"
         "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\WINEVT\\Publishers]"
         "\n\n"
         "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\WINEVT\\Publishers\\"
         "{54849625-5478-4994-a5ba-3e3b0328c30d}]\n@=\"Microsoft-Windows-Security-Auditing\"\n"
         "\"ResourceFileName\"=\"%SystemRoot%\\\\system32\\\\adtschema.dll\"\n"
         "\"MessageFileName\"=\"%SystemRoot%\\\\system32\\\\adtschema.dll\"\n\n";
  std::ofstream(work / "system.reg")
      << "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\SYSTEM\\Select]\n"
         "\"Current\"=dword:00000001\n\n[HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet001]\n\n";
  const std::string hive = "python3 '" + (kTests / "offline_machine/empty_hive.py").string() + "' ";
  const std::string merge = "hivexregedit --merge --encoding utf-16le --prefix ";
  for (const std::string& command :
       {hive + "'" + (work / "config/SOFTWARE").string() + "'",
        hive + "'" + (work / "config/SYSTEM").string() + "'",
        merge + "'HKEY_LOCAL_MACHINE\\SOFTWARE' '" + (work / "config/SOFTWARE").string() + "' '" +
            (work / "software.reg").string() + "'",
        merge + "'HKEY_LOCAL_MACHINE\\SYSTEM' '" + (work / "config/SYSTEM").string() + "' '" +
            (work / "system.reg").string() + "'",
        "evtxexport -p '" + (work / "files").string() + "' -r '" + (work / "config").string() +
            "' '" + kLog.string() + "' > '" + (work / "export.txt").string() + "'"}) {
    ASSERT_EQ(RunQuietly(command), "");
  }
  std::stringstream exported;
  exported << std::ifstream(work / "export.txt").rdbuf();
  fs::remove_all(work);

  // Our side reads the library as the machine will: its resources, then its manifest.
  std::optional<ModuleImage> image = ParsePeResources(dll, nullptr);
  ASSERT_TRUE(image);
  std::optional<WevtManifest> manifest = ParseWevtManifest(image->eventManifest);
  ASSERT_TRUE(manifest);
  std::vector<Record> records = ParseExport(exported.str());
  ASSERT_EQ(records.size(), 7u) << exported.str();
  std::size_t described = 0;
  for (const Record& record : records) {
    auto d = std::ranges::find(kDefinitions, record.id, &Definition::id);
    std::uint8_t version = d != std::end(kDefinitions) ? d->version : 0;
    WevtEventTexts ours = FormatWevtEvent(*manifest, {qb::test::kSecurityGuid, record.id, version},
                                          record.values, image->messages, {});
    SCOPED_TRACE(record.id);
    if (ours.description.error == evt_err::kMessageIdNotFound) {
      EXPECT_FALSE(record.message);
      continue;
    }
    ASSERT_TRUE(record.message);
    EXPECT_EQ(WithoutBlankLines(ours.description.text), WithoutBlankLines(*record.message));
    ++described;
  }
  EXPECT_EQ(described, 6u);  // 5152 twice; 4673 is left undefined
}

}  // namespace
