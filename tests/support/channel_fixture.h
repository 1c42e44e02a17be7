// Channels of the Windows Event Log on a simulated machine: their registry keys, .evtx files of
// generated events, and publishers with manifests and message files.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/sim/formats/evtx_windows_event.h"
#include "platform/sim/formats/wevt_manifest.h"
#include "platform/sim/machine.h"

namespace qb::support {

struct ChannelFields {
  std::u16string name;
  bool classic = false;  // a log of the EventLog key
  std::optional<std::uint32_t> type = 1;
  std::optional<bool> enabled = true;
  std::optional<std::u16string> file;  // the File value, unexpanded
  std::optional<std::uint32_t> maxSize;
  std::optional<bool> retention;
  std::optional<bool> autoBackup;
  std::u16string owningPublisher;
};

// Creates the channel's key.
void AddChannel(sim::Machine& machine, const ChannelFields& form);
// The expanded path of the file the service keeps the channel in.
std::u16string ChannelFilePath(sim::Machine& machine, std::u16string_view channel);
// Writes `events` as the channel's file.
void WriteChannelFile(sim::Machine& machine, std::u16string_view channel,
                      std::span<const sim::WindowsEventFields> events,
                      const sim::EvtxWriterOptions& options = {});
platform::Bytes EvtxOf(std::span<const sim::WindowsEventFields> events,
                       const sim::EvtxWriterOptions& options = {});

// `count` events of one provider numbered from `firstRecordId`: event id 100 + n % 7, level
// 1 + n % 5, task n % 3, time one second apart, two named data strings ("Index" n, "Text").
std::vector<sim::WindowsEventFields> GeneratedEvents(std::u16string_view channel,
                                                     std::u16string_view provider,
                                                     std::size_t count,
                                                     std::uint64_t firstRecordId = 1);

// A publisher registered with a manifest: one event (id, version 0) per message below, each with
// a template of the data names given.
struct ManifestPublisher {
  std::u16string name;
  sim::WevtGuid guid;
  std::u16string resourceFile;  // full path of its module
  struct Event {
    std::uint16_t id = 0;
    std::uint8_t version = 0;
    std::uint8_t level = 4;
    std::uint16_t task = 0;
    std::uint64_t keywords = 0;
    std::u16string message;  // empty: no message
    std::vector<std::u16string> data;
  };
  std::vector<Event> events;
  std::map<std::uint16_t, std::u16string> tasks;       // task value -> name
  std::map<std::uint32_t, std::u16string> levels;      // level value -> name
  std::map<std::uint64_t, std::u16string> keywords;    // single-bit mask -> name
  std::map<std::uint32_t, std::u16string> parameters;  // a ParameterFileName's messages
  // Where the texts and the manifest live: the module itself, or its en-US language file and
  // the SystemResources .mun beside an empty module, as Windows 10 keeps them.
  bool split = false;
};
void AddManifestPublisher(sim::Machine& machine, const ManifestPublisher& publisher);

// An event source of a classic log with its message files (built as modules at the paths).
struct ClassicSource {
  std::u16string log, name;
  std::u16string eventFile;
  std::map<std::uint32_t, std::u16string> messages;  // full 32-bit ids
  std::u16string categoryFile;
  std::map<std::uint32_t, std::u16string> categories;
};
void AddClassicSource(sim::Machine& machine, const ClassicSource& source);

// The token without the Administrators group: a standard user.
void MakeStandardUser(sim::Machine& machine);

}  // namespace qb::support
