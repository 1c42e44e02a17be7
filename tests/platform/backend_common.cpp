// The files the suites place, made the same way for every backend: the message DLL by the
// tests' PE builder, the .evt file by the format writer the sim and the tools use.
#include "backend.h"

#include "platform/sim/formats/event_record.h"
#include "platform/sim/formats/evt_file.h"
#include "platform/sim/rules/text.h"
#include "support/pe_builder.h"

namespace qb::suite {

platform::Bytes MessageLibrary(const std::map<std::uint32_t, std::u16string>& messages) {
  support::PeBuilder builder(sizeof(void*) == 8);
  for (const auto& [id, text] : messages) builder.AddMessage(id, text);
  return builder.Build();
}

platform::Bytes EventLogBackup(std::span<const LogRecord> records) {
  sim::EvtLog log;
  std::uint32_t number = 1;
  for (const LogRecord& record : records) {
    sim::RecordFields fields;
    fields.recordNumber = number++;
    // 2023-11-14 22:13:20 UTC, a second apart.
    fields.timeGenerated = fields.timeWritten = 1700000000 + fields.recordNumber;
    fields.eventId = record.eventId;
    fields.eventType = record.type;
    fields.category = record.category;
    fields.source = record.source;
    fields.strings = record.strings;
    log.records.push_back(sim::BuildEventRecord(fields));
  }
  log.oldestRecordNumber = records.empty() ? 0 : 1;
  log.currentRecordNumber = number;
  return sim::WriteEvtFile(log);
}

std::string U8(std::u16string_view text) {
  return sim::ToUtf8(text);
}

}  // namespace qb::suite
