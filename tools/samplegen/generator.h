// Turns a description into event logs and writes a machine folder: logs/<name>.evt for every
// log, plus the files of the description's machine folder (registry export, machine.ini).
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "description.h"
#include "platform/sim/formats/evt_file.h"

namespace qb::samplegen {

// One event of a log as the generator picked it, before it is written in either format.
struct GeneratedEvent {
  const SourceDescription* source = nullptr;
  const EventDescription* event = nullptr;
  std::uint32_t recordNumber = 0;
  std::uint32_t timeGenerated = 0, timeWritten = 0;  // seconds since 1970, UTC
  std::uint16_t category = 0;
  platform::Bytes sid;
  std::vector<std::u16string> strings;
  platform::Bytes data;
};

// The events of one log, oldest first: the same description always gives the same events.
std::vector<GeneratedEvent> GenerateEvents(const Description& description,
                                           const LogDescription& log);

// The records of one log of the description, oldest first. The same description always gives
// the same records: the random choices follow the description's seed and the log's name.
sim::EvtLog GenerateLog(const Description& description, const LogDescription& log);

// The log as its .evt file (circular-buffer start, dirty header as the description asks).
platform::Bytes GenerateEvtFile(const Description& description, const LogDescription& log);

// Writes every log to <out>/logs/<name>.evt and copies the description's machine folder
// (relative to `descriptionFolder`) into <out>. Returns what went wrong, empty on success.
std::string WriteMachineFolder(const Description& description,
                               const std::filesystem::path& descriptionFolder,
                               const std::filesystem::path& out);

}  // namespace qb::samplegen
