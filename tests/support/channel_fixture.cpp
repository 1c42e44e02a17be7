#include "support/channel_fixture.h"

#include "platform/sim/formats/evtx_writer.h"
#include "platform/sim/formats/wevt_writer.h"
#include "platform/sim/rules/text.h"
#include "platform/sim/services/channel_config.h"
#include "support/pe_builder.h"

namespace qb::support {
namespace {

constexpr std::uint64_t kBaseTime = 133500000000000000ull;  // late 2024, as a FILETIME

std::u16string KeyOf(const ChannelFields& form) {
  return std::u16string(form.classic ? sim::kClassicLogsKey : sim::kWinevtChannelsKey) + u"\\" +
         form.name;
}

}  // namespace

void AddChannel(sim::Machine& machine, const ChannelFields& form) {
  auto& reg = machine.registry();
  const std::u16string key = KeyOf(form);
  reg.CreateKey(key);
  if (!form.classic) {
    if (form.type) reg.SetDword(key, u"Type", *form.type);
    if (form.enabled) reg.SetDword(key, u"Enabled", *form.enabled ? 1 : 0);
    if (!form.owningPublisher.empty()) reg.SetString(key, u"OwningPublisher", form.owningPublisher);
  }
  if (form.file) reg.SetString(key, u"File", *form.file, platform::regtype::kExpandSz);
  if (form.maxSize) reg.SetDword(key, u"MaxSize", *form.maxSize);
  if (form.retention) reg.SetDword(key, u"Retention", *form.retention ? 1 : 0);
  if (form.autoBackup) {
    reg.SetDword(key, form.classic ? u"AutoBackupLogFiles" : u"AutoBackup",
                 *form.autoBackup ? 1 : 0);
  }
}

std::u16string ChannelFilePath(sim::Machine& machine, std::u16string_view channel) {
  const auto config = sim::ReadChannelConfig(machine.registry(), channel);
  return config ? sim::ExpandPath(machine.system(), config->file) : std::u16string();
}

platform::Bytes EvtxOf(std::span<const sim::WindowsEventFields> events,
                       const sim::EvtxWriterOptions& options) {
  sim::WindowsEventMaker maker;
  std::vector<sim::EvtxEvent> made;
  made.reserve(events.size());
  for (const auto& form : events) made.push_back(maker.Make(form));
  return sim::WriteEvtxFile(made, options);
}

void WriteChannelFile(sim::Machine& machine, std::u16string_view channel,
                      std::span<const sim::WindowsEventFields> events,
                      const sim::EvtxWriterOptions& options) {
  machine.system().AddFile(ChannelFilePath(machine, channel), EvtxOf(events, options));
}

std::vector<sim::WindowsEventFields> GeneratedEvents(std::u16string_view channel,
                                                     std::u16string_view provider,
                                                     std::size_t count,
                                                     std::uint64_t firstRecordId) {
  std::vector<sim::WindowsEventFields> events(count);
  for (std::size_t n = 0; n < count; ++n) {
    auto& e = events[n];
    e.provider = provider;
    e.eventId = static_cast<std::uint16_t>(100 + n % 7);
    e.level = static_cast<std::uint8_t>(1 + n % 5);
    e.task = static_cast<std::uint16_t>(n % 3);
    e.timeCreated = kBaseTime + n * 10'000'000ull;
    e.recordId = firstRecordId + n;
    e.channel = channel;
    e.computer = u"QBSIM";
    e.data = {{u"Index", sim::EvtxValue::String(sim::Decimal(n))},
              {u"Text", sim::EvtxValue::String(u"event " + sim::Decimal(firstRecordId + n))}};
  }
  return events;
}

void AddManifestPublisher(sim::Machine& machine, const ManifestPublisher& publisher) {
  sim::WevtProviderDesc provider;
  provider.guid = publisher.guid;
  PeBuilder texts;
  std::uint32_t nextMessage = 0x10000001;
  const auto message = [&](const std::u16string& text) {
    const std::uint32_t id = nextMessage++;
    texts.AddMessage(id, text + u"\r\n");
    return id;
  };
  for (const auto& [value, name] : publisher.tasks) {
    provider.tasks.push_back({value, message(name), {}, u"Task" + sim::Decimal(value)});
  }
  for (const auto& [value, name] : publisher.levels) {
    provider.levels.push_back({value, message(name), u"Level" + sim::Decimal(value)});
  }
  for (const auto& [mask, name] : publisher.keywords) {
    provider.keywords.push_back({mask, message(name), name});
  }
  for (const auto& event : publisher.events) {
    sim::WevtTemplateDesc templ;
    templ.guid = publisher.guid;
    templ.guid.data1 += static_cast<std::uint32_t>(provider.templates.size() + 1);
    for (const auto& name : event.data) templ.items.push_back({name, 1, 1, 0, 0});
    provider.templates.push_back(templ);
    sim::WevtEvent definition;
    definition.id = event.id;
    definition.version = event.version;
    definition.level = event.level;
    definition.task = event.task;
    definition.keywords = event.keywords;
    definition.messageId = event.message.empty() ? sim::kWevtNoMessage : message(event.message);
    provider.events.push_back({definition, provider.templates.size() - 1});
  }
  const std::vector<sim::WevtProviderDesc> providers{provider};
  const platform::Bytes manifest = sim::WriteWevtManifest(providers);

  auto& files = machine.system();
  const std::u16string& module = publisher.resourceFile;
  if (publisher.split) {
    const auto slash = module.find_last_of(u'\\');
    const std::u16string folder = module.substr(0, slash);
    const std::u16string name = module.substr(slash + 1);
    files.AddFile(module, PeBuilder().AddString(1, u"no resources here").Build());
    files.AddFile(folder + u"\\en-US\\" + name + u".mui", texts.Build());
    std::vector<char16_t> buffer(260);
    const auto n = files.ExpandEnvironmentStrings(u"%SystemRoot%", buffer);
    files.AddFile(std::u16string(buffer.data(), n - 1) + u"\\SystemResources\\" + name + u".mun",
                  PeBuilder().AddRawResource(u"WEVT_TEMPLATE", 1, kLangEnUs, manifest).Build());
  } else {
    texts.AddRawResource(u"WEVT_TEMPLATE", 1, kLangEnUs, manifest);
    files.AddFile(module, texts.Build());
  }
  auto& reg = machine.registry();
  const std::u16string key =
      std::u16string(sim::kWinevtPublishersKey) + u"\\" + publisher.guid.ToString();
  reg.SetString(key, u"", publisher.name);
  reg.SetString(key, u"ResourceFileName", module, platform::regtype::kExpandSz);
  reg.SetString(key, u"MessageFileName", module, platform::regtype::kExpandSz);
  if (!publisher.parameters.empty()) {
    PeBuilder parameters;
    for (const auto& [id, text] : publisher.parameters) parameters.AddMessage(id, text);
    const std::u16string file = module + u".parameters.dll";
    files.AddFile(file, parameters.Build());
    reg.SetString(key, u"ParameterFileName", file, platform::regtype::kExpandSz);
  }
}

void AddClassicSource(sim::Machine& machine, const ClassicSource& source) {
  const std::u16string key =
      std::u16string(sim::kClassicLogsKey) + u"\\" + source.log + u"\\" + source.name;
  auto& reg = machine.registry();
  reg.CreateKey(key);
  if (!source.eventFile.empty()) {
    PeBuilder pe;
    for (const auto& [id, text] : source.messages) pe.AddMessage(id, text);
    machine.system().AddFile(source.eventFile, pe.Build());
    reg.SetString(key, u"EventMessageFile", source.eventFile, platform::regtype::kExpandSz);
  }
  if (!source.categoryFile.empty()) {
    PeBuilder pe;
    for (const auto& [id, text] : source.categories) pe.AddMessage(id, text);
    machine.system().AddFile(source.categoryFile, pe.Build());
    reg.SetString(key, u"CategoryMessageFile", source.categoryFile, platform::regtype::kExpandSz);
  }
}

void MakeStandardUser(sim::Machine& machine) {
  machine.accounts().SetTokenGroups({sim::SimAccounts::SidFromString(u"S-1-1-0"),
                                     sim::SimAccounts::SidFromString(u"S-1-5-32-545"),
                                     sim::SimAccounts::SidFromString(u"S-1-5-11")});
}

}  // namespace qb::support
