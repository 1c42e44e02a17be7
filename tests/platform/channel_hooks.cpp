#include "channel_hooks.h"

#include "support/channel_fixture.h"

namespace qb::suite {

bool MakeChannelWithEvents(sim::Machine& machine, std::span<const ChannelEvent> events,
                           std::u16string& channel) {
  channel = u"Quillerbankton-Suite/Operational";
  support::ChannelFields form;
  form.name = channel;
  support::AddChannel(machine, form);
  std::vector<sim::WindowsEventFields> forms;
  for (std::size_t i = 0; i < events.size(); ++i) {
    const ChannelEvent& e = events[i];
    sim::WindowsEventFields event;
    auto& form = event;
    form.provider = e.provider;
    form.providerGuid = e.providerGuid;
    form.eventId = e.eventId;
    form.qualifiers = e.qualifiers;
    form.level = e.level;
    form.task = e.task;
    form.keywords = e.keywords;
    form.timeCreated = e.timeCreated;
    form.recordId = i + 1;
    form.channel = channel;
    form.computer = u"QBSIM";
    for (const auto& [name, value] : e.data) {
      form.data.emplace_back(name, sim::EvtxValue::String(value));
    }
    forms.push_back(std::move(event));
  }
  support::WriteChannelFile(machine, channel, forms);
  return true;
}

void MakeManifestPublisher(sim::Machine& machine, const PublisherDesc& desc) {
  support::ManifestPublisher publisher;
  publisher.name = desc.name;
  publisher.guid = *sim::WevtGuid::Parse(desc.guid);
  publisher.resourceFile = u"C:\\Windows\\System32\\" + desc.name + u".dll";
  for (const auto& e : desc.events) {
    publisher.events.push_back({e.id, 0, e.level, e.task, 0, e.message, e.data});
  }
  publisher.tasks = desc.tasks;
  publisher.levels = desc.levels;
  publisher.keywords = desc.keywords;
  publisher.parameters = desc.parameters;
  publisher.split = desc.split;
  support::AddManifestPublisher(machine, publisher);
}

void MakeClassicSource(sim::Machine& machine, std::u16string_view log, std::u16string_view source,
                       const std::map<std::uint32_t, std::u16string>& messages) {
  support::ClassicSource classic;
  classic.log = log;
  classic.name = source;
  classic.eventFile = u"C:\\Windows\\System32\\" + std::u16string(source) + u".dll";
  classic.messages = messages;
  support::AddClassicSource(machine, classic);
}

}  // namespace qb::suite
