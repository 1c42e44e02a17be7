#include "eventlog/channel_log.h"

#include <array>
#include <span>

#include "platform/platform.h"

namespace qb {
namespace {

namespace err = platform::err;
namespace evtflags = platform::evtflags;
using platform::EvtSystem;
using platform::EvtValue;
using platform::Handle;

// Events asked for per EvtNext: a listing of a million events makes four thousand calls, and a
// run of the columns one.
constexpr std::uint32_t kBatch = 256;

constexpr std::uint64_t kAuditSuccess = 0x0020000000000000ull;
constexpr std::uint64_t kAuditFailure = 0x0010000000000000ull;

const EvtValue& At(const std::vector<EvtValue>& values, EvtSystem id) {
  static const EvtValue kNone;
  const auto i = static_cast<std::size_t>(id);
  return i < values.size() ? values[i] : kNone;
}

void Fill(const std::vector<EvtValue>& values, TChannelEvent& event) {
  event.provider = At(values, EvtSystem::kProviderName).text;
  event.eventId = static_cast<std::uint16_t>(At(values, EvtSystem::kEventId).number);
  event.level = static_cast<std::uint8_t>(At(values, EvtSystem::kLevel).number);
  event.task = static_cast<std::uint16_t>(At(values, EvtSystem::kTask).number);
  event.keywords = At(values, EvtSystem::kKeywords).number;
  event.timeCreated = platform::FileTime::from(At(values, EvtSystem::kTimeCreated).number);
  event.recordId = At(values, EvtSystem::kEventRecordId).number;
  event.computer = At(values, EvtSystem::kComputer).text;
  event.userSid = At(values, EvtSystem::kUserId).bytes;
}

std::u16string Decimal(std::uint64_t value) {
  std::u16string text;
  do {
    text.insert(text.begin(), static_cast<char16_t>(u'0' + value % 10));
    value /= 10;
  } while (value != 0);
  return text;
}

}  // namespace

TFWEventLogRecordType ChannelEventType(std::uint8_t level, std::uint64_t keywords) {
  if ((keywords & kAuditSuccess) != 0) return TFWEventLogRecordType::rtAuditSuccess;
  if ((keywords & kAuditFailure) != 0) return TFWEventLogRecordType::rtAuditFailed;
  switch (level) {
    case 1:
      return TFWEventLogRecordType::rtCritical;
    case 2:
      return TFWEventLogRecordType::rtError;
    case 3:
      return TFWEventLogRecordType::rtWarning;
    case 5:
      return TFWEventLogRecordType::rtVerbose;
    default:
      return TFWEventLogRecordType::rtInformation;
  }
}

TChannelLog::TChannelLog(std::u16string path, bool isFile)
    : fPath(std::move(path)), fIsFile(isFile) {}

TChannelLog::~TChannelLog() {
  auto& service = platform::Channels();
  for (const auto& [provider, metadata] : fMetadata) {
    if (metadata != 0) service.Close(metadata);
  }
  if (fSystemContext != 0) service.Close(fSystemContext);
  if (fUserContext != 0) service.Close(fUserContext);
}

Handle TChannelLog::Context(std::uint32_t flags, Handle& cache) {
  if (cache == 0) {
    ++fCalls;
    fLastError = platform::Channels().CreateRenderContext(flags, cache);
    if (fLastError != err::kSuccess) cache = 0;
  }
  return cache;
}

bool TChannelLog::Query(std::u16string_view query, bool forwards, Handle& results) {
  const std::uint32_t flags =
      (fIsFile ? evtflags::kFilePath : evtflags::kChannelPath) |
      (forwards ? evtflags::kForwardDirection : evtflags::kReverseDirection);
  ++fCalls;
  fLastError = platform::Channels().Query(fPath, query, flags, results);
  return fLastError == err::kSuccess && results != 0;
}

bool TChannelLog::Check() {
  Handle results = 0;
  if (!Query(u"*", false, results)) return false;
  platform::Channels().Close(results);
  return true;
}

bool TChannelLog::Walk(Handle results, const Visit& visit, std::uint64_t limit) {
  auto& service = platform::Channels();
  const Handle context = Context(evtflags::kRenderContextSystem, fSystemContext);
  if (context == 0) return false;
  std::array<Handle, kBatch> events{};
  TChannelEvent values;
  bool complete = true;
  bool going = true;
  // Events the query can still give: no EvtNext is made only to hear that there are no more.
  while (going && limit > 0) {
    std::uint32_t returned = 0;
    ++fCalls;
    const auto asked = static_cast<std::size_t>(std::min<std::uint64_t>(kBatch, limit));
    const platform::ErrorCode next =
        service.Next(results, std::span<Handle>(events).first(asked), returned);
    if (next == err::kNoMoreItems) break;
    if (next != err::kSuccess) {
      fLastError = next;
      complete = false;
      break;
    }
    returned = std::min<std::uint32_t>(returned, static_cast<std::uint32_t>(asked));
    limit -= returned;
    for (std::uint32_t i = 0; i < returned; ++i) {
      if (going) {
        ++fCalls;
        const platform::ErrorCode rendered = service.RenderValues(context, events[i], fValues);
        if (rendered == err::kSuccess) {
          Fill(fValues, values);
          going = visit(events[i], values);
        } else {
          fLastError = rendered;
          complete = false;
        }
      }
      service.Close(events[i]);
    }
    if (returned == 0) break;  // a success that delivers nothing would never end
  }
  return complete;
}

bool TChannelLog::List(bool forwards, TFileItemList& list) {
  Handle results = 0;
  if (!Query(u"*", forwards, results)) return false;
  const bool complete = Walk(results, [&list](Handle, const TChannelEvent& event) {
    list.Add(event.recordId, event.eventId, event.timeCreated, event.provider,
             ChannelEventType(event.level, event.keywords));
    return true;
  });
  platform::Channels().Close(results);
  return complete;
}

bool TChannelLog::ReadAll(bool forwards, const Visit& visit) {
  Handle results = 0;
  if (!Query(u"*", forwards, results)) return false;
  const bool complete = Walk(results, visit);
  platform::Channels().Close(results);
  return complete;
}

bool TChannelLog::ReadRange(RecordNumber first, RecordNumber last, bool forwards,
                            const Visit& visit) {
  const std::u16string query = first == last ? u"*[System[(EventRecordID=" + Decimal(first) + u")]]"
                                             : u"*[System[(EventRecordID>=" + Decimal(first) +
                                                   u" and EventRecordID<=" + Decimal(last) + u")]]";
  Handle results = 0;
  if (!Query(query, forwards, results)) return false;
  const bool complete = Walk(results, visit, last - first + 1);
  platform::Channels().Close(results);
  return complete;
}

std::optional<TChannelEvent> TChannelLog::Edge(bool newest) {
  std::optional<TChannelEvent> edge;
  Handle results = 0;
  if (!Query(u"*", !newest, results)) return edge;
  Walk(
      results,
      [&](Handle, const TChannelEvent& event) {
        edge = event;
        return false;
      },
      1);
  platform::Channels().Close(results);
  return edge;
}

std::optional<std::uint64_t> TChannelLog::LogInfo(platform::EvtLogProperty id) {
  Handle log = 0;
  ++fCalls;
  fLastError = platform::Channels().OpenLog(
      fPath, fIsFile ? evtflags::kFilePath : evtflags::kChannelPath, log);
  if (fLastError != err::kSuccess) return std::nullopt;
  EvtValue value;
  ++fCalls;
  fLastError = platform::Channels().GetLogInfo(log, id, value);
  platform::Channels().Close(log);
  if (fLastError != err::kSuccess || value.IsNull()) return std::nullopt;
  return value.number;
}

std::optional<std::uint64_t> TChannelLog::Count() {
  return LogInfo(platform::EvtLogProperty::kNumberOfLogRecords);
}

std::optional<std::uint64_t> TChannelLog::Oldest() {
  return LogInfo(platform::EvtLogProperty::kOldestRecordNumber);
}

std::vector<EvtValue> TChannelLog::Data(Handle event) {
  std::vector<EvtValue> values;
  const Handle context = Context(evtflags::kRenderContextUser, fUserContext);
  if (context == 0) return values;
  ++fCalls;
  if (platform::Channels().RenderValues(context, event, values) != err::kSuccess) values.clear();
  return values;
}

std::u16string TChannelLog::Xml(Handle event) {
  std::u16string xml;
  ++fCalls;
  if (platform::Channels().RenderXml(event, xml) != err::kSuccess) xml.clear();
  return xml;
}

std::optional<std::u16string> TChannelLog::Text(const std::u16string& provider, Handle event,
                                                std::uint32_t flags) {
  auto& service = platform::Channels();
  auto found = fMetadata.find(provider);
  if (found == fMetadata.end()) {
    Handle metadata = 0;
    ++fCalls;
    if (service.OpenPublisherMetadata(provider, metadata) != err::kSuccess) metadata = 0;
    found = fMetadata.emplace(provider, metadata).first;
  }
  if (found->second == 0) return std::nullopt;
  std::u16string text;
  ++fCalls;
  const platform::ErrorCode error = service.FormatMessage(found->second, event, flags, text);
  switch (error) {
    case err::kSuccess:
    case err::kEvtUnresolvedValueInsert:
    case err::kEvtUnresolvedParameterInsert:
    case err::kEvtMaxInsertsReached:
      // A partial text is the best there is: Windows' own viewer shows it too.
      if (!text.empty()) return text;
      return std::nullopt;
    default:
      return std::nullopt;
  }
}

}  // namespace qb
