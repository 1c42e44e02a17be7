#include "support/eventlog_fixture.h"

namespace qb::support {

EventLogTest::EventLogTest() {
  machine().modules().SetOwnImage(OwnResources());
}

sim::SimEventLog& EventLogTest::AddLog(std::u16string_view name) {
  registry().CreateKey(kEventLogKey + std::u16string(name));
  return machine().eventlog().AddLog(name);
}

void EventLogTest::AddSource(std::u16string_view log, std::u16string_view source,
                             std::u16string_view eventMessageFile,
                             std::u16string_view categoryMessageFile) {
  const std::u16string key = kEventLogKey + std::u16string(log) + u"\\" + std::u16string(source);
  registry().CreateKey(key);
  if (!eventMessageFile.empty()) {
    registry().SetString(key, u"EventMessageFile", eventMessageFile, platform::regtype::kExpandSz);
  }
  if (!categoryMessageFile.empty()) {
    registry().SetString(key, u"CategoryMessageFile", categoryMessageFile,
                         platform::regtype::kExpandSz);
  }
}

void EventLogTest::AddLibrary(std::u16string_view path,
                              std::map<std::uint32_t, std::u16string> messages) {
  sim::ModuleImage image;
  image.messages = std::move(messages);
  machine().modules().AddImage(path, std::move(image));
}

sim::RecordFields EventLogTest::Record(std::u16string source, std::uint32_t eventId,
                                       std::uint16_t type) {
  sim::RecordFields r;
  r.source = std::move(source);
  r.eventId = eventId;
  r.eventType = type;
  r.timeGenerated = 1'700'000'000;
  r.timeWritten = 1'700'000'001;
  return r;
}

TLngResource& EventLogTest::language() {
  if (!language_) language_ = std::make_unique<TLngResource>();
  return *language_;
}

TFWEventLog& EventLogTest::log() {
  if (!log_) log_ = std::make_unique<TFWEventLog>(language(), u"Quillerbankton");
  return *log_;
}

}  // namespace qb::support
