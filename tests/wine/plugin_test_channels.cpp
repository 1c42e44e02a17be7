#include "plugin_test_channels.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <optional>
#include <thread>
#include <vector>

#include "dialogs/clear_confirm.h"
#include "dialogs/log_properties.h"
#include "host/window_user.h"
#include "host/windows_exports.h"
#include "iat_patch.h"
#include "platform/sim/formats/byte_source.h"
#include "platform/sim/formats/evtx_event.h"
#include "platform/sim/formats/evtx_file.h"
#include "platform/sim/formats/evtx_windows_event.h"
#include "platform/sim/machine.h"
#include "platform/sim/services/channel_config.h"
#include "platform/sim/services/channel_service.h"
#include "plugin_test_checks.h"
#include "served_wevtapi.h"
#include "wine_test_support.h"

namespace qb::winetest {
namespace {

constexpr wchar_t kChannelsFolder[] = L"Applications and Services Logs";
constexpr char16_t kTestChannel[] = u"Quillerbankton-Test/Operational";
constexpr wchar_t kTestChannelFolder[] =
    L"\\Applications and Services Logs\\Quillerbankton-Test\\Operational";
constexpr char16_t kTestFile[] = u"C:\\Windows\\System32\\winevt\\Logs\\QbTest.evtx";
constexpr char16_t kRealChannel[] = u"Microsoft-Windows-CAPI2/Operational";
constexpr wchar_t kRealChannelFolder[] =
    L"\\Applications and Services Logs\\Microsoft\\Windows\\CAPI2\\Operational";
constexpr char16_t kRealFile[] = u"C:\\Windows\\System32\\winevt\\Logs\\CAPI2.evtx";
constexpr char16_t kProvider[] = u"Quillerbankton-Test";
constexpr std::uint32_t kEvents = 250;
constexpr std::uint32_t kBenchEvents = 100'000;

// EvtNext batches the column reader gets its events in are at least this long.
constexpr std::uint32_t kRunOfEvents = 25;

// The test channel's events: numbered from 1, their id, level and data following the number.
struct TestEvent {
  std::uint64_t recordId;
  std::uint16_t eventId;
  std::uint8_t level;
  std::u16string message;
};

TestEvent EventNumber(std::uint64_t n) {
  static constexpr std::uint8_t kLevels[] = {2, 3, 4};  // error, warning, information
  return {n, static_cast<std::uint16_t>(100 + n % 7), kLevels[n % 3],
          u"event number " + std::u16string(1, static_cast<char16_t>(u'A' + n % 26))};
}

const wchar_t* TypeWord(std::uint8_t level) {
  return level == 2 ? L"error" : level == 3 ? L"warning" : L"information";
}

std::wstring FileName(const TestEvent& event) {
  return L"[" + std::to_wstring(event.recordId) + L"] " + Wide(kProvider) + L"." +
         TypeWord(event.level);
}

platform::Bytes EventFile(std::uint32_t count) {
  sim::WindowsEventMaker maker;
  sim::MemoryByteSink sink;
  sim::EvtxWriter writer(sink);
  for (std::uint64_t n = 1; n <= count; ++n) {
    const TestEvent event = EventNumber(n);
    sim::WindowsEventFields form;
    form.provider = kProvider;
    form.providerGuid = platform::Bytes(16, std::byte{0x42});
    form.eventId = event.eventId;
    form.level = event.level;
    form.timeCreated = 133'500'000'000'000'000ull + n * 10'000'000ull;
    form.recordId = n;
    form.channel = kTestChannel;
    form.computer = u"QBHOST";
    form.data = {{u"Message", sim::EvtxValue::String(event.message)}};
    if (!writer.Write(maker.Make(form))) return {};
  }
  if (!writer.Finish()) return {};
  return std::move(sink.bytes());
}

void AddChannel(sim::Machine& machine, std::u16string_view name, std::u16string_view file) {
  const std::u16string key = std::u16string(sim::kWinevtChannelsKey) + u"\\" + std::u16string(name);
  auto& registry = machine.registry();
  registry.CreateKey(key);
  registry.SetDword(key, u"Enabled", 1);
  registry.SetDword(key, u"Type", platform::evtchannel::kOperational);
  registry.SetString(key, u"OwningPublisher", name.substr(0, name.find(u'/')));
  registry.SetString(key, u"File", file, platform::regtype::kExpandSz);
  registry.SetDword(key, u"MaxSize", 1 << 20);
}

std::vector<WIN32_FIND_DATAW> List(const LoadedPlugin& plugin, std::wstring path) {
  std::vector<WIN32_FIND_DATAW> entries;
  WIN32_FIND_DATAW data{};
  HANDLE find = plugin.fs.FsFindFirstW(Host(path), Host(&data));
  if (find == INVALID_HANDLE_VALUE) return entries;
  for (std::size_t guard = 0; guard <= kBenchEvents; ++guard) {
    entries.push_back(data);
    data = WIN32_FIND_DATAW{};
    if (!plugin.fs.FsFindNextW(find, Host(&data))) break;
  }
  plugin.fs.FsFindClose(find);
  return entries;
}

bool Holds(const std::vector<WIN32_FIND_DATAW>& entries, std::wstring_view name, bool folder) {
  return std::any_of(entries.begin(), entries.end(), [&](const WIN32_FIND_DATAW& entry) {
    return entry.cFileName == name &&
           ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) == folder;
  });
}

std::string Names(const std::vector<WIN32_FIND_DATAW>& entries) {
  std::string text;
  for (const auto& entry : entries) {
    text += (text.empty() ? "" : ", ") + Narrow(entry.cFileName);
    if (text.size() > 200) return "[" + text + ", ...]";
  }
  return "[" + text + "]";
}

// The plugin loaded as the host loads it, its wevtapi lookups served.
struct Session {
  explicit Session(const std::wstring& pluginPath) {
    plugin.path = pluginPath;
    plugin.folder = FolderOf(pluginPath);
    plugin.module = LoadLibraryW(pluginPath.c_str());
    if (!Check(plugin.module != nullptr, "LoadLibraryW loads the plugin")) return;
    PatchImports(plugin.module, "kernel32.dll", ServedWevtapi::LoaderReplacements());
    ready = Check(host::ResolveExports(plugin.module, plugin.fs).empty(),
                  "the plugin exports the host's functions") &&
            Check(plugin.fs.FsInitW(1, &QuietProgress, &QuietLog, &QuietRequest) == 0,
                  "FsInitW returns 0");
  }
  LoadedPlugin plugin;
  bool ready = false;
};

struct Value {
  int type = 0;
  std::wstring text;
  std::int32_t number = 0;
};

Value Column(const LoadedPlugin& plugin, std::wstring path, int field) {
  alignas(8) wchar_t buffer[1024] = {};
  Value value;
  value.type = plugin.fs.FsContentGetValueW(Host(path), field, 0, buffer, sizeof buffer, 0);
  if (value.type == kFieldStringW) value.text = buffer;
  if (value.type == kFieldNumeric32) std::memcpy(&value.number, buffer, sizeof value.number);
  return value;
}

void CheckTree(const LoadedPlugin& plugin, bool real) {
  const auto root = List(plugin, L"\\");
  Check(Holds(root, kChannelsFolder, true),
        "the root lists the folder \"Applications and Services Logs\" " + Names(root));
  struct Folder {
    const wchar_t* path;
    const wchar_t* child;
  };
  std::vector<Folder> folders = {
      {L"\\Applications and Services Logs", L"Quillerbankton-Test"},
      {L"\\Applications and Services Logs\\Quillerbankton-Test", L"Operational"},
  };
  if (real) {
    folders.push_back({L"\\Applications and Services Logs", L"Microsoft"});
    folders.push_back({L"\\Applications and Services Logs\\Microsoft\\Windows", L"CAPI2"});
  }
  for (const Folder& folder : folders) {
    const auto entries = List(plugin, folder.path);
    Check(Holds(entries, folder.child, true),
          Narrow(folder.path) + " holds the folder " + Narrow(folder.child) + " " + Names(entries));
  }
}

void CheckListing(const LoadedPlugin& plugin) {
  const auto& calls = ServedWevtapi::Calls();
  const std::uint64_t next = calls.next;
  const auto entries = List(plugin, kTestChannelFolder);
  if (!Check(entries.size() == kEvents, "the test channel lists its " + std::to_string(kEvents) +
                                            " events (" + std::to_string(entries.size()) + ")")) {
    return;
  }
  bool named = true;
  for (std::size_t i = 0; i < entries.size() && named; ++i) {
    const TestEvent event = EventNumber(kEvents - i);
    named = entries[i].cFileName == FileName(event) && entries[i].nFileSizeLow == event.eventId &&
            (entries[i].dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    if (!named) {
      Check(false, "entry " + std::to_string(i) + " is " + Narrow(FileName(event)) + " (got " +
                       Narrow(entries[i].cFileName) + ")");
    }
  }
  Check(named, "newest first, each named by number, provider and level, its event id as size");
  Check(calls.next - next <= kEvents / 100 + 2,
        "the listing takes its events in batches of EvtNext (" + std::to_string(calls.next - next) +
            " calls for " + std::to_string(kEvents) + ")");
}

// The host asks for the four columns from a thread of its own. Each event is read once for
// all its columns, and the events come in runs: EvtNext is never called per event.
void CheckColumns(const LoadedPlugin& plugin) {
  const auto& calls = ServedWevtapi::Calls();
  const std::uint64_t next = calls.next;
  const std::uint64_t render = calls.render;
  const std::uint64_t format = calls.format;
  std::vector<std::array<Value, 4>> columns(kEvents);
  std::thread([&] {
    for (std::uint32_t i = 0; i < kEvents; ++i) {
      const std::wstring path =
          std::wstring(kTestChannelFolder) + L"\\" + FileName(EventNumber(kEvents - i));
      for (int field = 0; field < 4; ++field) columns[i][field] = Column(plugin, path, field);
    }
  }).join();
  std::size_t right = 0;
  for (std::uint32_t i = 0; i < kEvents; ++i) {
    const TestEvent event = EventNumber(kEvents - i);
    const auto& [account, category, code, description] = columns[i];
    const bool ok = account.type == kFieldStringW && category.type == kFieldStringW &&
                    code.type == kFieldNumeric32 && code.number == event.eventId &&
                    description.type == kFieldStringW &&
                    description.text.find(L"Message: " + Wide(event.message)) != std::wstring::npos;
    if (!ok && right == i) {
      Note("event " + std::to_string(event.recordId) + ": code " + std::to_string(code.number) +
           ", description \"" + Narrow(description.text) + "\"");
    }
    if (ok) ++right;
  }
  Check(right == kEvents,
        "every event's four columns come from the background thread, the "
        "description naming its data (" +
            std::to_string(right) + " right)");
  const std::uint64_t batches = calls.next - next;
  const double renders = static_cast<double>(calls.render - render) / kEvents;
  const double formats = static_cast<double>(calls.format - format) / kEvents;
  Check(batches * kRunOfEvents <= kEvents + 2 * kRunOfEvents,
        "the columns read events in runs: " + std::to_string(batches) + " EvtNext calls for " +
            std::to_string(kEvents) + " events");
  // Its system values and its XML; its texts once each: four columns ask no more.
  Check(renders <= 2.0 && formats <= 2.0,
        "each event is rendered and formatted once for all "
        "its columns");
  char text[160];
  std::snprintf(text, sizeof text,
                "columns: %.3f EvtNext, %.2f EvtRender and %.2f EvtFormatMessage per event",
                static_cast<double>(batches) / kEvents, renders, formats);
  Note(text);
}

void CheckCopy(const LoadedPlugin& plugin, const std::wstring& folder) {
  const TestEvent event = EventNumber(kEvents / 2);
  std::wstring remote = std::wstring(kTestChannelFolder) + L"\\" + FileName(event);
  std::wstring local = folder + L"\\channel_event.txt";
  DeleteFileW(local.c_str());
  RemoteInfo info{};
  info.sizeLow = event.eventId;
  const int result = plugin.fs.FsGetFileW(Host(remote), Host(local), 0, Host(&info));
  Check(result == kFileOk, "an event copied out gives FS_FILE_OK (" + std::to_string(result) + ")");
  const auto text = ReadUtf16File(local);
  if (!Check(text.has_value(), "the copy is a UTF-16 file with a byte-order mark")) return;
  const std::wstring xmlId = L"<EventID>" + std::to_wstring(event.eventId) + L"</EventID>";
  const std::wstring record =
      L"<EventRecordID>" + std::to_wstring(event.recordId) + L"</EventRecordID>";
  Check(text->find(L"<Event ") != std::wstring::npos && text->find(xmlId) != std::wstring::npos &&
            text->find(record) != std::wstring::npos &&
            text->find(Wide(event.message)) != std::wstring::npos,
        "the copy holds the event's XML: its id, record number and data");
}

// Every event's system values read straight from the file with the sim's own reader, as a
// measure beside the plugin: how many were read.
std::uint64_t ReadDirectly(sim::Machine& machine, std::u16string_view path) {
  std::uint64_t count = 0;
  platform::ErrorCode error = 0;
  const auto source = machine.system().OpenFileSource(path, error);
  if (source == nullptr) return 0;
  const auto file = sim::EvtxFile::Open(source);
  if (file == nullptr) return 0;
  sim::EvtxEventReader reader(*file);
  sim::EvtxSystem system;
  reader.ForEachRecord(true, [&](sim::EvtxEventReader& at, const sim::EvtxRecordRef& record) {
    if (at.ReadSystem(record, system)) ++count;
    return true;
  });
  return count;
}

void CheckRealFile(const LoadedPlugin& plugin, sim::Machine& machine) {
  // The count the reader of the same file gives, for the file is not one of the test's making.
  const std::uint64_t expected = ReadDirectly(machine, kRealFile);
  const auto entries = List(plugin, kRealChannelFolder);
  Check(expected > 0 && entries.size() == expected,
        "the channel over a real .evtx file lists its " + std::to_string(expected) + " events (" +
            std::to_string(entries.size()) + ")");
}

// FsExecuteFileW(`verb`) on `remote` over a window of the host's, while a person at the
// screen acts on what it brings up; closes what the person left open. Its result.
int Execute(const LoadedPlugin& plugin, std::wstring remote, const wchar_t* verb,
            const std::function<void(HWND owner, const std::atomic<bool>& returned)>& act) {
  HWND owner = CreateWindowExW(0, L"STATIC", L"Host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 640,
                               480, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  std::atomic<bool> returned{false};
  std::thread person([&] {
    act(owner, returned);
    while (!returned) {
      std::string left;
      for (const auto& caption : host::CloseAllDialogs()) left += " \"" + Narrow(caption) + "\"";
      if (!left.empty()) Check(false, "the person closed every dialog (left open:" + left + ")");
      Sleep(100);
    }
  });
  std::wstring verbText = verb;
  const int result = plugin.fs.FsExecuteFileW(owner, Host(remote), Host(verbText));
  returned = true;
  person.join();
  DestroyWindow(owner);
  return result;
}

std::optional<sim::ChannelConfig> TestConfig(sim::Machine& machine) {
  return sim::ReadChannelConfig(machine.registry(), kTestChannel);
}

std::uint64_t LiveEvents(sim::Machine& machine) {
  platform::Handle log = 0;
  auto& service = machine.channels();
  if (service.OpenLog(kTestChannel, platform::evtflags::kChannelPath, log) != 0) return 0;
  platform::EvtValue count;
  service.GetLogInfo(log, platform::EvtLogProperty::kNumberOfLogRecords, count);
  service.Close(log);
  return count.number;
}

// Alt+Enter on the channel: its size and retention from its configuration, and OK writes the
// option chosen back into it.
void CheckProperties(const LoadedPlugin& plugin, sim::Machine& machine) {
  const auto before = TestConfig(machine);
  if (!Check(before && !before->retention && !before->autoBackup,
             "the channel begins overwriting events as needed")) {
    return;
  }
  std::wstring shownMaxSize;
  const int result =
      Execute(plugin, kTestChannelFolder, L"properties", [&](HWND owner, const auto& returned) {
        HWND dialog = host::WaitForDialog(owner, &returned);
        if (!Check(dialog != nullptr, "properties on a channel shows its properties")) return;
        host::WaitForFocusIn(dialog);
        shownMaxSize = host::ControlText(dialog, props::MaxSizeLabel);
        host::Click(dialog, props::RadioButton2);
        host::WaitFor(
            [&] { return host::IsChecked(host::ControlOf(dialog, props::RadioButton2)); });
        host::Click(dialog, props::OKBtn);
        Check(host::WaitGone(dialog), "OK closes the channel's properties");
      });
  Check(result == kExecOk, "FsExecuteFileW gives FS_EXEC_OK for the properties");
  Check(shownMaxSize == L"1,024",
        "the maximum size shown is the configuration's in kB (\"" + Narrow(shownMaxSize) + "\")");
  const auto after = TestConfig(machine);
  Check(after && after->retention && after->autoBackup && after->maxSize == 1 << 20,
        "OK saved the channel's configuration: archived when full, never overwritten");
}

// Save and Clear from the properties, onto a new file and onto one that exists: the file holds
// the channel's events, and the channel none.
void CheckClear(const LoadedPlugin& plugin, sim::Machine& machine, const std::wstring& folder) {
  const struct {
    const wchar_t* name;
    bool exists;
    const char* what;
  } kCases[] = {{L"\\saved.evtx", false, "a new file"},
                {L"\\existing.evtx", true, "an existing file"}};
  for (const auto& c : kCases) {
    machine.system().AddFile(kTestFile, EventFile(kEvents));  // the channel full again
    const std::wstring target = folder + c.name;
    DeleteFileW(target.c_str());
    if (c.exists) {
      HANDLE file = CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
      CloseHandle(file);
    }
    host::SaveDialogSeen seen;
    Execute(plugin, kTestChannelFolder, L"properties", [&](HWND owner, const auto& returned) {
      HWND dialog = host::WaitForDialog(owner, &returned);
      if (dialog == nullptr) return;
      host::WaitForFocusIn(dialog);
      host::Click(dialog, props::Button1);
      HWND confirm = host::WaitForDialog(dialog);
      if (!Check(confirm != nullptr, "Clear asks first")) return;
      host::WaitForFocusIn(confirm);
      host::Click(confirm, confirm::Button1);
      host::WaitGone(confirm);  // else the save dialog's wait would find the confirmation
      seen = host::FillSaveDialog(dialog, target, nullptr);
      host::WaitFor([&] { return LiveEvents(machine) == 0; });
      host::Click(dialog, props::CancelBtn);
      host::WaitGone(dialog);
    });
    platform::Bytes saved;
    std::uint64_t inFile = 0;
    {
      HANDLE file = CreateFileW(target.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
      LARGE_INTEGER size{};
      if (file != INVALID_HANDLE_VALUE && GetFileSizeEx(file, &size)) {
        saved.resize(static_cast<std::size_t>(size.QuadPart));
        DWORD read = 0;
        if (!saved.empty())
          ReadFile(file, saved.data(), static_cast<DWORD>(saved.size()), &read, nullptr);
      }
      if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
      sim::Machine reader;
      reader.system().AddFile(u"C:\\saved.evtx", saved);
      inFile = ReadDirectly(reader, u"C:\\saved.evtx");
    }
    Note("the save dialog proposed \"" + Narrow(seen.proposed) + "\"" +
         (seen.closed ? "" : " and did not close"));
    Check(seen.came && seen.closed && seen.replacePrompt.has_value() == c.exists,
          std::string("Save and Clear asks for a file, and before replacing only ") +
              (c.exists ? "an existing one" : "(none for a new one)"));
    Check(inFile == kEvents && LiveEvents(machine) == 0,
          std::string("Save and Clear onto ") + c.what + " saves the " + std::to_string(kEvents) +
              " events there (" + std::to_string(inFile) + ") and clears the channel (" +
              std::to_string(LiveEvents(machine)) + " left)");
  }
}

// A standard user: the configuration is not saved, and the refusal is told.
void CheckStandardUser(const LoadedPlugin& plugin, sim::Machine& machine) {
  machine.accounts().SetTokenGroups({sim::SimAccounts::SidFromString(u"S-1-1-0"),
                                     sim::SimAccounts::SidFromString(u"S-1-5-32-545")});
  const auto before = TestConfig(machine);
  std::optional<host::BoxText> told;
  Execute(plugin, kTestChannelFolder, L"properties", [&](HWND owner, const auto& returned) {
    HWND dialog = host::WaitForDialog(owner, &returned);
    if (dialog == nullptr) return;
    host::WaitForFocusIn(dialog);
    host::Click(dialog, props::RadioButton1);
    host::WaitFor([&] { return host::IsChecked(host::ControlOf(dialog, props::RadioButton1)); });
    host::Click(dialog, props::OKBtn);
    HWND box = host::WaitForDialog(dialog);
    if (box != nullptr) {
      told = host::ReadBox(box);
      host::PressButton(box, IDOK);
    }
    host::Click(dialog, props::CancelBtn);
    host::WaitGone(dialog);
  });
  const auto after = TestConfig(machine);
  Check(before && after && after->retention == before->retention,
        "a standard user's OK leaves the channel's configuration as it was");
  Check(told.has_value(), "the refusal is told in a message box (\"" +
                              (told ? Narrow(told->text) : std::string()) + "\")");
}

int VistaCase(const std::wstring& pluginPath, const std::wstring& realFile) {
  sim::Machine machine;
  const platform::Bytes events = EventFile(kEvents);
  if (!Check(!events.empty(), "the test channel's .evtx file is written")) return 1;
  machine.system().AddFile(kTestFile, events);
  AddChannel(machine, kTestChannel, kTestFile);
  const bool real = !realFile.empty();
  if (real) {
    machine.system().AddHostFile(kRealFile, std::filesystem::path(realFile));
    AddChannel(machine, kRealChannel, kRealFile);
  }
  ServedWevtapi served(machine.channels(), true, &machine.system());
  TempFolder folder(L"qb_channels_");
  Session session(pluginPath);
  if (!session.ready) return 1;
  Check(ServedWevtapi::Calls().loads == 0, "loading and FsInitW leave wevtapi.dll unloaded");
  CheckTree(session.plugin, real);
  Check(ServedWevtapi::Calls().loads >= 1 && GetModuleHandleW(L"wevtapi.dll") != nullptr,
        "the channel folder loaded wevtapi.dll");
  CheckListing(session.plugin);
  CheckColumns(session.plugin);
  CheckCopy(session.plugin, folder.path());
  CheckProperties(session.plugin, machine);
  CheckClear(session.plugin, machine, folder.path());
  CheckStandardUser(session.plugin, machine);
  if (real) CheckRealFile(session.plugin, machine);
  Check(ServedWevtapi::Calls().loads == 1,
        "wevtapi.dll was loaded once (" + std::to_string(ServedWevtapi::Calls().loads) + ")");
  return 0;
}

int XpCase(const std::wstring& pluginPath) {
  sim::Machine machine;
  machine.system().AddFile(kTestFile, EventFile(3));
  AddChannel(machine, kTestChannel, kTestFile);
  ServedWevtapi served(machine.channels(), false, &machine.system());
  Session session(pluginPath);
  if (!session.ready) return 1;
  for (int round = 0; round < 2; ++round) {
    const auto root = List(session.plugin, L"\\");
    Check(!root.empty() && !Holds(root, kChannelsFolder, true),
          "without wevtapi.dll the root has no channel folder " + Names(root));
  }
  std::wstring path = kTestChannelFolder;
  WIN32_FIND_DATAW data{};
  const HANDLE find = session.plugin.fs.FsFindFirstW(Host(path), Host(&data));
  Check(find == INVALID_HANDLE_VALUE, "a channel's folder is not there");
  if (find != INVALID_HANDLE_VALUE) session.plugin.fs.FsFindClose(find);
  Check(ServedWevtapi::Calls().loads == 1 && GetModuleHandleW(L"wevtapi.dll") == nullptr,
        "the library asked for wevtapi.dll once and holds no such module (asked " +
            std::to_string(ServedWevtapi::Calls().loads) + " times)");
  return 0;
}

int BenchCase(const std::wstring& pluginPath) {
  sim::Machine machine;
  const platform::Bytes events = EventFile(kBenchEvents);
  if (!Check(!events.empty(), "the 100,000-event file is written")) return 1;
  machine.system().AddFile(kTestFile, events);
  AddChannel(machine, kTestChannel, kTestFile);

  // The same file read directly with the sim's reader: every event's system values.
  auto start = std::chrono::steady_clock::now();
  const std::uint64_t direct = ReadDirectly(machine, kTestFile);
  const double directSeconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

  // The service alone, as the listing calls it: every event's system values, newest first.
  start = std::chrono::steady_clock::now();
  std::uint64_t rendered = 0;
  {
    auto& service = machine.channels();
    platform::Handle results = 0;
    platform::Handle context = 0;
    service.CreateRenderContext(platform::evtflags::kRenderContextSystem, context);
    service.Query(kTestChannel, u"*",
                  platform::evtflags::kChannelPath | platform::evtflags::kReverseDirection,
                  results);
    std::array<platform::Handle, 128> batch{};
    std::vector<platform::EvtValue> values;
    std::uint32_t returned = 0;
    while (service.Next(results, batch, returned) == 0) {
      for (std::uint32_t i = 0; i < returned; ++i) {
        if (service.RenderValues(context, batch[i], values) == 0) ++rendered;
        service.Close(batch[i]);
      }
    }
    service.Close(results);
    service.Close(context);
  }
  const double serviceSeconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

  ServedWevtapi served(machine.channels(), true, &machine.system());
  Session session(pluginPath);
  if (!session.ready) return 1;
  start = std::chrono::steady_clock::now();
  const auto entries = List(session.plugin, kTestChannelFolder);
  const double listSeconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  Check(entries.size() == kBenchEvents && direct == kBenchEvents && rendered == kBenchEvents,
        "both read all 100,000 events (listed " + std::to_string(entries.size()) + ", read " +
            std::to_string(direct) + ")");
  char text[300];
  std::snprintf(text, sizeof text,
                "100,000 events in a %d-bit process: listed through the exports %.2f s, "
                "read directly with the sim reader %.2f s (the sim's channel service alone, "
                "queried and rendered as the listing does: %.2f s)",
                static_cast<int>(sizeof(void*) * 8), listSeconds, directSeconds, serviceSeconds);
  Note(text);
  return 0;
}

constexpr ChildCase kChannelCases[] = {
    {L"vista", "channels through served wevtapi functions"},
    {L"xp", "a system without wevtapi.dll"},
};

}  // namespace

int RunChannelCase(const std::wstring& which, const std::wstring& pluginPath,
                   const std::wstring& realFile) {
  try {
    int result = 1;
    if (which == L"vista") result = VistaCase(pluginPath, realFile);
    if (which == L"xp") result = XpCase(pluginPath);
    if (which == L"bench") result = BenchCase(pluginPath);
    return result == 0 && Failures() == 0 ? 0 : static_cast<int>(kChildCheckFailed);
  } catch (...) {
    return static_cast<int>(kChildCheckFailed);
  }
}

void CheckChannels(const std::wstring& pluginPath, const std::wstring& realFile) {
  for (const auto& c : kChannelCases) {
    std::wstring arguments =
        L"--channel-case " + std::wstring(c.name) + L" \"" + pluginPath + L"\"";
    if (!realFile.empty()) arguments += L" \"" + realFile + L"\"";
    const auto status = RunSelf(arguments, 120'000);
    if (!Check(status.has_value(), std::string("start the child process: ") + c.what)) continue;
    Check(*status == 0, std::string(c.what) + ": every check of the child passed (status " +
                            std::to_string(*status) + ")");
  }
}

}  // namespace qb::winetest
