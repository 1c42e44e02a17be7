#include "modern_machine.h"

#include <algorithm>
#include <fstream>
#include <set>
#include <system_error>

#include "generator.h"
#include "platform/sim/formats/evtx_value.h"
#include "platform/sim/formats/evtx_windows_event.h"
#include "platform/sim/formats/pe_writer.h"
#include "platform/sim/formats/wevt_writer.h"
#include "random.h"
#include "util/text.h"

namespace qb::samplegen {
namespace {

namespace fs = std::filesystem;

constexpr std::uint64_t kFileTimeOf1970 = 116444736000000000ull;  // 100 ns units
constexpr std::uint64_t kClassicKeyword = 0x0080000000000000ull;
constexpr std::uint64_t kAuditSuccess = 0x0020000000000000ull;
constexpr std::uint64_t kAuditFailure = 0x0010000000000000ull;
constexpr std::uint8_t kFirstChannelValue = 16;  // what message compilers hand out first
constexpr char kLogsFolder[] = "%SystemRoot%\\System32\\winevt\\Logs\\";

// Message identifiers of a manifest's names, in the ranges the message compiler uses.
constexpr std::uint32_t kProviderMessage = 0x90000001;
constexpr std::uint32_t kLevelMessages = 0x50000000;
constexpr std::uint32_t kTaskMessages = 0x70000000;
constexpr std::uint32_t kKeywordMessages = 0x10000000;
constexpr std::uint32_t kEventMessages = 0xB0000000;

std::uint32_t EventMessageId(const EventDescription& event) {
  return kEventMessages | static_cast<std::uint32_t>(event.version) << 16 |
         (event.eventId & 0xFFFF);
}

std::uint8_t LevelOf(const EventDescription& event) {
  if (event.level) return *event.level;
  switch (event.eventType) {
    case 1:
      return 2;  // error
    case 2:
      return 3;  // warning
    case 8:
    case 16:
      return 0;  // audits are logged always
    default:
      return 4;  // information, success
  }
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() &&
         Lower(std::string(text.substr(0, prefix.size()))) == Lower(std::string(prefix));
}

// The channels (logs) a provider's events go to, in the description's order.
std::vector<const LogDescription*> ChannelsOf(const Description& d, const std::string& provider) {
  std::vector<const LogDescription*> logs;
  for (const auto& log : d.logs) {
    bool writes = log.owner == provider;
    for (const auto& source : log.sources) writes = writes || source.name == provider;
    if (writes) logs.push_back(&log);
  }
  return logs;
}

std::size_t ChannelIndex(const Description& d, const std::string& provider,
                         const LogDescription& log) {
  const auto logs = ChannelsOf(d, provider);
  return static_cast<std::size_t>(std::find(logs.begin(), logs.end(), &log) - logs.begin());
}

std::u16string U16(std::string_view text) {
  return util::Utf8ToUtf16(text);
}

sim::WevtGuid GuidOf(const ProviderDescription& provider) {
  return sim::WevtGuid::Parse(U16(provider.guid)).value_or(sim::WevtGuid{});
}

// The provider's manifest: its channels, the standard levels, tasks, keywords, one template per
// list of field names, and every event it defines.
sim::WevtProviderDesc Manifest(const Description& d, const ProviderDescription& provider) {
  sim::WevtProviderDesc out;
  out.guid = GuidOf(provider);
  out.messageId = kProviderMessage;
  const auto channels = ChannelsOf(d, provider.name);
  for (std::size_t i = 0; i < channels.size(); ++i) {
    out.channels.push_back({static_cast<std::uint32_t>(kFirstChannelValue + i), 0,
                            sim::kWevtNoMessage, U16(channels[i]->name)});
  }
  static const char16_t* const kLevels[] = {u"win:Critical", u"win:Error", u"win:Warning",
                                            u"win:Informational", u"win:Verbose"};
  for (std::uint32_t level = 1; level <= 5; ++level) {
    out.levels.push_back({level, kLevelMessages | level, kLevels[level - 1]});
  }
  for (const auto& task : provider.tasks) {
    out.tasks.push_back({static_cast<std::uint16_t>(task.value),
                         kTaskMessages | static_cast<std::uint32_t>(task.value),
                         {},
                         U16(task.name)});
  }
  for (std::size_t i = 0; i < provider.keywords.size(); ++i) {
    out.keywords.push_back({provider.keywords[i].value,
                            kKeywordMessages | static_cast<std::uint32_t>(i + 1),
                            U16(provider.keywords[i].name)});
  }
  std::map<std::vector<std::string>, std::size_t> templates;
  std::set<std::pair<std::uint16_t, std::uint8_t>> defined;
  for (const auto* log : channels) {
    const std::size_t channel = ChannelIndex(d, provider.name, *log);
    for (const auto& source : log->sources) {
      if (source.name != provider.name) continue;
      for (const auto& event : source.events) {
        const auto id = static_cast<std::uint16_t>(event.eventId & 0xFFFF);
        if (event.undefined || !defined.insert({id, event.version}).second) continue;
        std::optional<std::size_t> templateIndex;
        if (!event.fields.empty()) {
          auto [it, added] = templates.try_emplace(event.fields, out.templates.size());
          if (added) {
            sim::WevtTemplateDesc templ;
            for (const auto& field : event.fields) templ.items.push_back({U16(field), 1, 1, 0, 0});
            out.templates.push_back(std::move(templ));
          }
          templateIndex = it->second;
        }
        sim::WevtEvent definition;
        definition.id = id;
        definition.version = event.version;
        definition.channel = static_cast<std::uint8_t>(kFirstChannelValue + channel);
        definition.level = LevelOf(event);
        definition.opcode = event.opcode;
        definition.task = event.task;
        definition.keywords = event.keywords;
        definition.messageId = EventMessageId(event);
        out.events.push_back({definition, templateIndex});
      }
    }
  }
  return out;
}

// The messages a library holds, by identifier: message compilers end each with CR LF.
using MessageTable = std::map<std::uint32_t, std::u16string>;

void AddMessage(MessageTable& table, std::uint32_t id, std::string_view text) {
  table.emplace(id, U16(text) + u"\r\n");
}

MessageTable ProviderMessages(const Description& d, const ProviderDescription& provider) {
  MessageTable table;
  AddMessage(table, kProviderMessage, provider.name);
  static const char* const kLevelNames[] = {"Critical", "Error", "Warning", "Information",
                                            "Verbose"};
  for (std::uint32_t level = 1; level <= 5; ++level) {
    AddMessage(table, kLevelMessages | level, kLevelNames[level - 1]);
  }
  for (const auto& task : provider.tasks) {
    if (task.text)
      AddMessage(table, kTaskMessages | static_cast<std::uint32_t>(task.value), *task.text);
  }
  for (std::size_t i = 0; i < provider.keywords.size(); ++i) {
    if (provider.keywords[i].text) {
      AddMessage(table, kKeywordMessages | static_cast<std::uint32_t>(i + 1),
                 *provider.keywords[i].text);
    }
  }
  for (const auto& log : d.logs) {
    for (const auto& source : log.sources) {
      if (source.name != provider.name) continue;
      for (const auto& event : source.events) {
        if (event.text && !event.undefined) AddMessage(table, EventMessageId(event), *event.text);
      }
    }
  }
  return table;
}

// The language file's path beside a library: <dir>\en-US\<file>.mui.
std::string LanguageFilePath(const std::string& library) {
  const std::size_t slash = library.rfind('\\');
  const std::string dir = slash == std::string::npos ? std::string() : library.substr(0, slash + 1);
  return dir + "en-US\\" + library.substr(slash == std::string::npos ? 0 : slash + 1) + ".mui";
}

struct Library {
  std::string path;  // as the registry names it first
  MessageTable messages;
  std::vector<sim::WevtProviderDesc> manifests;
  bool mui = false;  // messages in the language file
};

std::string RegHex(std::string_view type, const platform::Bytes& bytes) {
  static const char* const kDigits = "0123456789abcdef";
  std::string out = "hex(" + std::string(type) + "):";
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const auto b = static_cast<unsigned>(bytes[i]);
    if (i > 0) out += ',';
    out += kDigits[b >> 4];
    out += kDigits[b & 0xF];
  }
  return out;
}

platform::Bytes Utf16Bytes(std::string_view text) {
  platform::Bytes bytes;
  for (char16_t c : U16(text) + u'\0') {
    bytes.push_back(static_cast<std::byte>(c & 0xFF));
    bytes.push_back(static_cast<std::byte>(c >> 8));
  }
  return bytes;
}

std::string RegString(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out + "\"";
}

std::string Hex8(std::uint32_t value) {
  static const char* const kDigits = "0123456789abcdef";
  std::string out(8, '0');
  for (int i = 7; i >= 0; --i, value >>= 4) out[static_cast<std::size_t>(i)] = kDigits[value & 0xF];
  return out;
}

class RegWriter {
 public:
  void Key(std::string_view path) { text_ += "\n[" + std::string(path) + "]\n"; }
  void String(std::string_view name, std::string_view value) {
    text_ += (name.empty() ? std::string("@") : RegString(name)) + "=" + RegString(value) + "\n";
  }
  // REG_EXPAND_SZ, with its text in a comment above as regedit's bytes are unreadable.
  void Expand(std::string_view name, std::string_view value) {
    text_ += "; " + std::string(name) + " = " + std::string(value) + "\n";
    text_ += RegString(name) + "=" + RegHex("2", Utf16Bytes(value)) + "\n";
  }
  void Dword(std::string_view name, std::uint32_t value) {
    text_ += RegString(name) + "=dword:" + Hex8(value) + "\n";
  }
  std::string Take() { return std::move(text_); }

 private:
  std::string text_;
};

std::uint32_t ChannelTypeValue(const std::string& type) {
  if (type == "Operational") return 1;
  if (type == "Analytic") return 2;
  if (type == "Debug") return 3;
  return 0;  // Admin
}

bool WriteBytes(const fs::path& path, const platform::Bytes& bytes) {
  std::error_code error;
  fs::create_directories(path.parent_path(), error);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  out.close();
  return static_cast<bool>(out);
}

}  // namespace

std::string EvtxFileName(const LogDescription& log) {
  std::string name;
  for (char c : log.name) name += c == '/' ? std::string("%4") : std::string(1, c);
  return name + ".evtx";
}

bool HasEvtxFile(const LogDescription& log) {
  return log.enabled || log.records > 0;
}

platform::Bytes GenerateEvtxFile(const Description& description, const LogDescription& log) {
  sim::WindowsEventMaker maker;
  std::vector<sim::EvtxEvent> events;
  const std::u16string computer = U16(description.computer);
  for (GeneratedEvent& generated : GenerateEvents(description, log)) {
    const EventDescription& event = *generated.event;
    const ProviderDescription* provider = description.FindProvider(generated.source->name);
    sim::WindowsEventFields form;
    form.provider = U16(generated.source->name);
    form.eventId = static_cast<std::uint16_t>(event.eventId & 0xFFFF);
    form.version = event.version;
    form.level = LevelOf(event);
    form.opcode = event.opcode;
    if (provider != nullptr) {
      form.providerGuid = sim::ParseEvtxGuid(U16(provider->guid)).value_or(platform::Bytes{});
      // A provider writing into a classic log names itself as that log's source too.
      if (!log.channel) form.eventSourceName = form.provider;
      form.task = event.task;
      const std::size_t channel = ChannelIndex(description, provider->name, log);
      form.keywords = event.keywords | (0x8000000000000000ull >> std::min<std::size_t>(channel, 7));
    } else {
      // A classic source: its identifier's upper half as qualifiers, its category as task.
      form.qualifiers = static_cast<std::uint16_t>(event.eventId >> 16);
      form.task = generated.category;
      form.keywords = kClassicKeyword | (event.eventType == 8    ? kAuditSuccess
                                         : event.eventType == 16 ? kAuditFailure
                                                                 : 0);
    }
    // Sub-second parts from the record number: the generator's random choices stay those of
    // the .evt form of the same description.
    const std::uint64_t fraction = generated.recordNumber * 7919ull % 10000000ull;
    form.timeCreated = kFileTimeOf1970 + generated.timeGenerated * 10000000ull + fraction;
    form.recordId = generated.recordNumber;
    const std::uint64_t hash =
        HashName(generated.source->name.data(), generated.source->name.size());
    form.processId = static_cast<std::uint32_t>(4 + hash % 2000 * 4);
    form.threadId = static_cast<std::uint32_t>(4 + (hash >> 16) % 3000 * 4);
    form.channel = U16(log.name);
    form.computer = computer;
    form.userSid = std::move(generated.sid);
    for (std::size_t i = 0; i < generated.strings.size(); ++i) {
      form.data.emplace_back(i < event.fields.size() ? U16(event.fields[i]) : std::u16string(),
                             sim::EvtxValue::String(generated.strings[i]));
    }
    form.binary = std::move(generated.data);
    sim::EvtxEvent made = maker.Make(form);
    made.recordId = generated.recordNumber;
    made.written = kFileTimeOf1970 + generated.timeWritten * 10000000ull + fraction;
    events.push_back(std::move(made));
  }
  sim::EvtxWriterOptions options;
  options.firstRecordId = log.firstNumber;
  options.dirty = log.dirty;
  return sim::WriteEvtxFile(events, options);
}

std::map<std::string, platform::Bytes> GenerateLibraries(const Description& description) {
  std::map<std::string, Library> libraries;  // by lower-case path
  auto library = [&libraries](const std::string& path) -> Library& {
    Library& entry = libraries[Lower(path)];
    if (entry.path.empty()) entry.path = path;
    return entry;
  };
  for (const auto& provider : description.providers) {
    if (provider.library.empty()) continue;
    library(provider.library).manifests.push_back(Manifest(description, provider));
    Library& messages = library(provider.messages);
    messages.messages.merge(ProviderMessages(description, provider));
    messages.mui = messages.mui || provider.mui;
  }
  for (const auto& log : description.logs) {
    for (const auto& source : log.sources) {
      if (source.messageFile.empty() || description.FindProvider(source.name) != nullptr) continue;
      Library& messages = library(source.messageFile);
      for (const auto& event : source.events) {
        if (event.text) AddMessage(messages.messages, event.eventId, *event.text);
      }
    }
  }

  std::map<std::string, platform::Bytes> out;
  for (const auto& [key, entry] : libraries) {
    sim::PeWriter main;
    if (!entry.manifests.empty()) {
      main.AddRawResource(u"WEVT_TEMPLATE", 1, sim::kPeLangEnUs,
                          sim::WriteWevtManifest(entry.manifests));
    }
    if (entry.mui) {
      // The texts move to the language file; both files carry their resource configuration.
      sim::MuiConfig config;
      config.language = u"en-US";
      config.mainNamedTypes = {u"MUI"};
      if (!entry.manifests.empty()) config.mainNamedTypes.push_back(u"WEVT_TEMPLATE");
      config.muiIdTypes = {11};
      main.AddRawResource(u"MUI", 1, sim::kPeLangNeutral, sim::WriteMuiResource(config));
      sim::PeWriter language;
      for (const auto& [id, text] : entry.messages) language.AddMessage(id, text);
      config.languageFile = true;
      language.AddRawResource(u"MUI", 1, sim::kPeLangEnUs, sim::WriteMuiResource(config));
      out[LanguageFilePath(entry.path)] = language.Build();
    } else {
      for (const auto& [id, text] : entry.messages) main.AddMessage(id, text);
    }
    out[entry.path] = main.Build();
  }
  return out;
}

std::string GenerateRegistryExport(const Description& d) {
  RegWriter reg;
  const std::string eventlog = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\EventLog";
  reg.Key(eventlog);
  for (const auto& log : d.logs) {
    if (log.channel) continue;
    reg.Key(eventlog + "\\" + log.name);
    reg.Expand("File", kLogsFolder + EvtxFileName(log));
    reg.Dword("MaxSize", log.maxSize);
    reg.Dword("Retention", log.retention);
    for (const auto& source : log.sources) {
      if (!source.registered) continue;
      reg.Key(eventlog + "\\" + log.name + "\\" + source.name);
      if (const auto* provider = d.FindProvider(source.name)) {
        reg.String("ProviderGuid", provider->guid);
        if (!provider->messages.empty()) reg.Expand("EventMessageFile", provider->messages);
      } else if (!source.messageFile.empty()) {
        reg.Expand("EventMessageFile", source.messageFile);
      }
      reg.Dword("TypesSupported", 7);
    }
  }
  // The parents as well: hive tools merge a key only below one that exists.
  std::string winevt = "HKEY_LOCAL_MACHINE\\SOFTWARE";
  for (const char* part : {"Microsoft", "Windows", "CurrentVersion", "WINEVT"}) {
    winevt += std::string("\\") + part;
    reg.Key(winevt);
  }
  reg.Key(winevt + "\\Channels");
  for (const auto& log : d.logs) {
    reg.Key(winevt + "\\Channels\\" + log.name);
    reg.Dword("Enabled", log.enabled ? 1 : 0);
    reg.Dword("Type", ChannelTypeValue(log.channelType));
    if (const auto* owner = d.FindProvider(log.owner)) reg.String("OwningPublisher", owner->guid);
    reg.Expand("File", kLogsFolder + EvtxFileName(log));
    reg.Dword("MaxSize", log.maxSize);
  }
  reg.Key(winevt + "\\Publishers");
  for (const auto& provider : d.providers) {
    const std::string key = winevt + "\\Publishers\\" + provider.guid;
    reg.Key(key);
    reg.String("", provider.name);
    if (!provider.library.empty()) reg.Expand("ResourceFileName", provider.library);
    if (!provider.messages.empty()) reg.Expand("MessageFileName", provider.messages);
    reg.Dword("Enabled", 1);
    const auto channels = ChannelsOf(d, provider.name);
    reg.Key(key + "\\ChannelReferences");
    reg.Dword("Count", static_cast<std::uint32_t>(channels.size()));
    for (std::size_t i = 0; i < channels.size(); ++i) {
      reg.Key(key + "\\ChannelReferences\\" + std::to_string(i));
      reg.String("", channels[i]->name);
      reg.Dword("Id", static_cast<std::uint32_t>(kFirstChannelValue + i));
      reg.Dword("Flags", 0);
    }
  }
  return "Windows Registry Editor Version 5.00\n" + reg.Take();
}

std::optional<fs::path> MachineFolderPath(std::string_view windowsPath) {
  std::string rest;
  fs::path base = fs::path("files") / "C";
  for (const auto& [prefix, folder] :
       std::initializer_list<std::pair<std::string_view, std::string_view>>{
           {"%SystemRoot%\\", "Windows"},
           {"%windir%\\", "Windows"},
           {"%ProgramFiles%\\", "Program Files"},
           {"%SystemDrive%\\", ""},
           {"C:\\", ""}}) {
    if (StartsWithNoCase(windowsPath, prefix)) {
      rest = std::string(windowsPath.substr(prefix.size()));
      if (!folder.empty()) base /= folder;
      break;
    }
  }
  if (rest.empty()) return std::nullopt;
  for (std::size_t start = 0; start <= rest.size();) {
    std::size_t end = rest.find('\\', start);
    if (end == std::string::npos) end = rest.size();
    const std::string part = rest.substr(start, end - start);
    if (part.empty() || part == "." || part == "..") return std::nullopt;
    base /= part;
    start = end + 1;
  }
  return base;
}

std::string WriteModernMachine(const Description& description, const fs::path& out) {
  const fs::path logs = out / "files" / "C" / "Windows" / "System32" / "winevt" / "Logs";
  std::error_code error;
  fs::create_directories(logs, error);
  if (error) return "cannot create " + logs.string() + ": " + error.message();
  for (const auto& log : description.logs) {
    if (!HasEvtxFile(log)) continue;
    const platform::Bytes file = GenerateEvtxFile(description, log);
    if (file.empty()) return "log " + log.name + " cannot be written as .evtx";
    if (!WriteBytes(logs / EvtxFileName(log), file)) return "cannot write " + log.name;
  }
  for (const auto& [path, bytes] : GenerateLibraries(description)) {
    const auto where = MachineFolderPath(path);
    if (!where) return "library " + path + " is not on drive C:";
    if (!WriteBytes(out / *where, bytes)) return "cannot write " + (out / *where).string();
  }
  const std::string reg = GenerateRegistryExport(description);
  const auto* begin = reinterpret_cast<const std::byte*>(reg.data());
  if (!WriteBytes(out / "registry.reg", platform::Bytes(begin, begin + reg.size()))) {
    return "cannot write registry.reg";
  }
  return {};
}

}  // namespace qb::samplegen
