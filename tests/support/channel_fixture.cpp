#include "support/channel_fixture.h"

#include "platform/sim/formats/evtx_writer.h"
#include "platform/sim/formats/wevt_writer.h"
#include "platform/sim/rules/text.h"
#include "platform/sim/services/channel_config.h"
#include "support/pe_builder.h"

namespace qb::support {
namespace {

constexpr std::uint64_t kBaseTime = 133500000000000000ull;  // late 2024, as a FILETIME

std::u16string KeyOf(const ChannelSpec& spec) {
  return std::u16string(spec.classic ? sim::kClassicLogsKey : sim::kWinevtChannelsKey) + u"\\" +
         spec.name;
}

}  // namespace

void AddChannel(sim::Machine& machine, const ChannelSpec& spec) {
  auto& reg = machine.registry();
  const std::u16string key = KeyOf(spec);
  reg.CreateKey(key);
  if (!spec.classic) {
    if (spec.type) reg.SetDword(key, u"Type", *spec.type);
    if (spec.enabled) reg.SetDword(key, u"Enabled", *spec.enabled ? 1 : 0);
    if (!spec.owningPublisher.empty()) reg.SetString(key, u"OwningPublisher", spec.owningPublisher);
  }
  if (spec.file) reg.SetString(key, u"File", *spec.file, platform::regtype::kExpandSz);
  if (spec.maxSize) reg.SetDword(key, u"MaxSize", *spec.maxSize);
  if (spec.retention) reg.SetDword(key, u"Retention", *spec.retention ? 1 : 0);
  if (spec.autoBackup) {
    reg.SetDword(key, spec.classic ? u"AutoBackupLogFiles" : u"AutoBackup",
                 *spec.autoBackup ? 1 : 0);
  }
}

std::u16string ChannelFilePath(sim::Machine& machine, std::u16string_view channel) {
  const auto config = sim::ReadChannelConfig(machine.registry(), channel);
  return config ? sim::ExpandPath(machine.system(), config->file) : std::u16string();
}

platform::Bytes EvtxOf(std::span<const sim::WindowsEventSpec> events,
                       const sim::EvtxWriterOptions& options) {
  sim::WindowsEventMaker maker;
  std::vector<sim::EvtxEvent> made;
  made.reserve(events.size());
  for (const auto& spec : events) made.push_back(maker.Make(spec));
  return sim::WriteEvtxFile(made, options);
}

void WriteChannelFile(sim::Machine& machine, std::u16string_view channel,
                      std::span<const sim::WindowsEventSpec> events,
                      const sim::EvtxWriterOptions& options) {
  machine.system().AddFile(ChannelFilePath(machine, channel), EvtxOf(events, options));
}

std::vector<sim::WindowsEventSpec> GeneratedEvents(std::u16string_view channel,
                                                   std::u16string_view provider, std::size_t count,
                                                   std::uint64_t firstRecordId) {
  std::vector<sim::WindowsEventSpec> events(count);
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
