#include "platform/sim/services/channel_service.h"

#include <algorithm>

#include "platform/sim/formats/evtx_writer.h"
#include "platform/sim/formats/le_bytes.h"
#include "platform/sim/rules/case_rules.h"
#include "platform/sim/services/accounts.h"
#include "platform/sim/services/channel_config.h"
#include "platform/sim/services/channel_query.h"
#include "platform/sim/services/channel_render.h"
#include "platform/sim/services/modules.h"
#include "platform/sim/services/publisher_metadata.h"
#include "platform/sim/services/registry.h"
#include "platform/sim/services/system.h"

namespace qb::sim {

using platform::ErrorCode;
using platform::EvtValue;
using platform::Handle;
namespace err = platform::err;
namespace evtflags = platform::evtflags;
namespace evttype = platform::evttype;

namespace {

constexpr char16_t kAdministratorsSid[] = u"S-1-5-32-544";

bool EndsWithNoCase(std::u16string_view text, std::u16string_view end) {
  return text.size() >= end.size() && NamesEqual(text.substr(text.size() - end.size()), end);
}

// Exactly one of the two kinds of path.
bool PathKind(std::uint32_t flags, bool& isFile) {
  const bool channel = (flags & evtflags::kChannelPath) != 0;
  const bool file = (flags & evtflags::kFilePath) != 0;
  if (channel == file) return false;
  isFile = file;
  return true;
}

}  // namespace

// --- the objects behind the handles ---

struct SimChannelService::Enumeration {
  std::vector<std::u16string> names;
  std::size_t next = 0;
};

struct SimChannelService::Config {
  ChannelConfig config;
};

// The events of one query: the file read a chunk at a time by one reader, while another
// reader serves renderings of events of any chunk.
struct SimChannelService::Results {
  std::shared_ptr<const ByteSource> source;
  std::unique_ptr<EvtxFile> file;  // none: no events
  std::unique_ptr<EvtxEventReader> walker;
  std::unique_ptr<EvtxEventReader> renderer;
  std::optional<std::uint32_t> walkerSlot, rendererSlot;
  ChannelFilter filter;
  bool reverse = false;
  std::size_t chunkPos = 0;
  std::size_t recordPos = 0;
  bool inChunk = false;
};

struct SimChannelService::Event {
  std::shared_ptr<Results> results;
  std::uint32_t slot = 0;
  EvtxRecordRef record;
  EvtxSystem system;
};

struct SimChannelService::Context {
  std::uint32_t flags = 0;
};

struct SimChannelService::Metadata {
  std::unique_ptr<PublisherMetadata> publisher;
};

struct SimChannelService::LogInfo {
  std::uint64_t fileSize = 0;
  std::uint64_t records = 0;
  std::uint64_t oldest = 0;
  bool full = false;
  std::optional<std::uint64_t> written;
  std::uint32_t attributes = 0;
};

SimChannelService::SimChannelService(SimSystem& files, SimRegistry& registry, SimModules& modules,
                                     SimAccounts& accounts)
    : files_(files), registry_(registry), modules_(modules), accounts_(accounts) {}

SimChannelService::~SimChannelService() = default;

// --- for tests ---

std::size_t SimChannelService::NextCallCount() const {
  std::lock_guard lock(mutex_);
  return nextCalls_;
}

std::size_t SimChannelService::RenderCallCount() const {
  std::lock_guard lock(mutex_);
  return renderCalls_;
}

std::size_t SimChannelService::FormatCallCount() const {
  std::lock_guard lock(mutex_);
  return formatCalls_;
}

std::size_t SimChannelService::QueryCallCount() const {
  std::lock_guard lock(mutex_);
  return queryCalls_;
}

std::size_t SimChannelService::OpenHandleCount() const {
  std::lock_guard lock(mutex_);
  return handles_.size();
}

void SimChannelService::SetQueryFails(ErrorCode error) {
  std::lock_guard lock(mutex_);
  queryFails_ = error;
}

void SimChannelService::SetFormatFails(ErrorCode error) {
  std::lock_guard lock(mutex_);
  formatFails_ = error;
}

// --- internals ---

bool SimChannelService::Available() {
  std::uint32_t major = 0;
  return files_.GetVersionEx(major) && major >= 6;
}

bool SimChannelService::IsAdministrator() {
  std::vector<platform::TokenGroup> groups;
  std::uint32_t needed = 0;
  if (accounts_.GetTokenGroups(1u << 20, groups, needed) != err::kSuccess) return false;
  const platform::Bytes admins = SimAccounts::SidFromString(kAdministratorsSid);
  return std::any_of(groups.begin(), groups.end(), [&](const platform::TokenGroup& group) {
    return group.sid == admins && (group.attributes & platform::groupattr::kEnabled) != 0 &&
           (group.attributes & platform::groupattr::kUseForDenyOnly) == 0;
  });
}

Handle SimChannelService::AddLocked(Object object) {
  const Handle handle = nextHandle_;
  nextHandle_ += 4;
  handles_.emplace(handle, std::move(object));
  return handle;
}

template <typename T>
std::shared_ptr<T> SimChannelService::FindLocked(Handle handle) {
  const auto it = handles_.find(handle);
  if (it == handles_.end()) return nullptr;
  const auto* held = std::get_if<std::shared_ptr<T>>(&it->second);
  return held ? *held : nullptr;
}

ErrorCode SimChannelService::ResolveLocked(std::u16string_view path, std::uint32_t flags,
                                           std::u16string& file, std::u16string* channel) {
  file.clear();
  bool isFile = false;
  if (!PathKind(flags, isFile) || path.empty()) return err::kInvalidParameter;
  if (isFile) {
    file = path;
    return files_.FileExists(file) ? err::kSuccess : err::kFileNotFound;
  }
  const auto config = ReadChannelConfig(registry_, path);
  if (!config) return err::kEvtChannelNotFound;
  // Only administrators read the security log.
  if (NamesEqual(config->name, u"Security") && !IsAdministrator()) return err::kAccessDenied;
  if (channel) *channel = config->name;
  const std::u16string expanded = ExpandPath(files_, config->file);
  // The service keeps every log as .evtx; an .evt file is none of its logs, and a file it has
  // not written yet holds no events.
  if (EndsWithNoCase(expanded, u".evt") || !files_.FileExists(expanded)) return err::kSuccess;
  file = expanded;
  return err::kSuccess;
}

ErrorCode SimChannelService::OpenResultsLocked(std::u16string_view path, std::u16string_view query,
                                               std::uint32_t flags,
                                               std::shared_ptr<Results>& results) {
  const bool forward = (flags & evtflags::kForwardDirection) != 0;
  const bool reverse = (flags & evtflags::kReverseDirection) != 0;
  if (forward && reverse) return err::kInvalidParameter;
  std::u16string file;
  if (const ErrorCode error = ResolveLocked(path, flags, file, nullptr); error != err::kSuccess) {
    return error;
  }
  auto filter = ChannelFilter::Parse(query);
  if (!filter) return err::kEvtInvalidQuery;
  auto made = std::make_shared<Results>();
  made->filter = std::move(*filter);
  made->reverse = reverse;
  if (!file.empty()) {
    ErrorCode error = err::kSuccess;
    made->source = files_.OpenFileSource(file, error);
    if (!made->source) return error;
    made->file = EvtxFile::Open(made->source);
    if (!made->file) return err::kEventlogFileCorrupt;
    made->walker = std::make_unique<EvtxEventReader>(*made->file);
    made->renderer = std::make_unique<EvtxEventReader>(*made->file);
  }
  results = std::move(made);
  return err::kSuccess;
}

ErrorCode SimChannelService::NextEventLocked(Results& r, std::shared_ptr<Event>& event) {
  if (!r.file) return err::kNoMoreItems;
  const auto order = r.file->order();
  for (;;) {
    if (!r.inChunk) {
      if (r.chunkPos >= order.size()) return err::kNoMoreItems;
      const std::uint32_t slot = order[r.reverse ? order.size() - 1 - r.chunkPos : r.chunkPos];
      ++r.chunkPos;
      r.walkerSlot.reset();
      if (!r.walker->Load(slot)) continue;  // damaged chunks are passed over
      r.walkerSlot = slot;
      r.inChunk = true;
      r.recordPos = 0;
    }
    const auto records = r.walker->records();
    if (r.recordPos >= records.size()) {
      r.inChunk = false;
      continue;
    }
    const EvtxRecordRef& record =
        records[r.reverse ? records.size() - 1 - r.recordPos : r.recordPos];
    ++r.recordPos;
    auto made = std::make_shared<Event>();
    if (!r.walker->ReadSystem(record, made->system)) continue;
    if (!r.filter.Matches(made->system)) continue;
    made->slot = *r.walkerSlot;
    made->record = record;
    event = std::move(made);
    return err::kSuccess;
  }
}

ErrorCode SimChannelService::EventDataLocked(const Event& event, std::vector<EvtxDataItem>& data) {
  Results& r = *event.results;
  EvtxEventReader* reader = nullptr;
  if (r.walkerSlot == event.slot) {
    reader = r.walker.get();
  } else {
    if (r.rendererSlot != event.slot) {
      r.rendererSlot.reset();
      if (!r.renderer->Load(event.slot)) return err::kEventlogFileCorrupt;
      r.rendererSlot = event.slot;
    }
    reader = r.renderer.get();
  }
  return reader->ReadEventData(event.record, data) ? err::kSuccess : err::kEventlogFileCorrupt;
}

ErrorCode SimChannelService::WriteEventsLocked(Results& results, std::u16string_view target) {
  MemoryByteSink sink;
  {
    EvtxWriter writer(sink);
    std::shared_ptr<Event> event;
    while (NextEventLocked(results, event) == err::kSuccess) {
      EvtxEvent copy;
      copy.written = event->record.written;
      // Record headers are numbered anew; the events keep their EventRecordID.
      if (results.walker->ReadFragment(event->record, copy.body)) writer.Write(copy);
    }
    if (!writer.Finish()) return err::kWriteFault;
  }
  return files_.WriteFile(target, sink.bytes());
}

// --- IChannelService ---

ErrorCode SimChannelService::OpenChannelEnum(Handle& channels) {
  channels = 0;
  if (!Available()) return err::kModNotFound;
  auto enumeration = std::make_shared<Enumeration>();
  enumeration->names = ListChannels(registry_);
  std::lock_guard lock(mutex_);
  channels = AddLocked(std::move(enumeration));
  return err::kSuccess;
}

ErrorCode SimChannelService::NextChannelPath(Handle channels, std::u16string& path) {
  path.clear();
  if (!Available()) return err::kModNotFound;
  std::lock_guard lock(mutex_);
  const auto enumeration = FindLocked<Enumeration>(channels);
  if (!enumeration) return err::kInvalidHandle;
  if (enumeration->next >= enumeration->names.size()) return err::kNoMoreItems;
  path = enumeration->names[enumeration->next++];
  return err::kSuccess;
}

ErrorCode SimChannelService::OpenChannelConfig(std::u16string_view channel, Handle& config) {
  config = 0;
  if (!Available()) return err::kModNotFound;
  auto read = ReadChannelConfig(registry_, channel);
  if (!read) return err::kEvtChannelNotFound;
  auto held = std::make_shared<Config>();
  held->config = std::move(*read);
  std::lock_guard lock(mutex_);
  config = AddLocked(std::move(held));
  return err::kSuccess;
}

ErrorCode SimChannelService::GetChannelConfigProperty(Handle config, platform::EvtChannelConfig id,
                                                      EvtValue& value) {
  value = {};
  if (!Available()) return err::kModNotFound;
  std::lock_guard lock(mutex_);
  const auto held = FindLocked<Config>(config);
  if (!held) return err::kInvalidHandle;
  if (static_cast<std::uint32_t>(id) >
      static_cast<std::uint32_t>(platform::EvtChannelConfig::kLogFilePath)) {
    return err::kInvalidParameter;
  }
  value = ChannelProperty(held->config, id);
  return err::kSuccess;
}

ErrorCode SimChannelService::SetChannelConfigProperty(Handle config, platform::EvtChannelConfig id,
                                                      const EvtValue& value) {
  if (!Available()) return err::kModNotFound;
  std::lock_guard lock(mutex_);
  const auto held = FindLocked<Config>(config);
  if (!held) return err::kInvalidHandle;
  return SetChannelProperty(held->config, id, value);
}

ErrorCode SimChannelService::SaveChannelConfig(Handle config) {
  if (!Available()) return err::kModNotFound;
  std::shared_ptr<Config> held;
  {
    std::lock_guard lock(mutex_);
    held = FindLocked<Config>(config);
  }
  if (!held) return err::kInvalidHandle;
  if (!IsAdministrator()) return err::kAccessDenied;
  std::lock_guard lock(mutex_);
  sim::SaveChannelConfig(registry_, held->config);
  return err::kSuccess;
}

ErrorCode SimChannelService::Query(std::u16string_view path, std::u16string_view query,
                                   std::uint32_t flags, Handle& results) {
  results = 0;
  if (!Available()) return err::kModNotFound;
  std::lock_guard lock(mutex_);
  ++queryCalls_;
  if (queryFails_ != err::kSuccess) return queryFails_;
  std::shared_ptr<Results> made;
  if (const ErrorCode error = OpenResultsLocked(path, query, flags, made); error != err::kSuccess) {
    return error;
  }
  results = AddLocked(std::move(made));
  return err::kSuccess;
}

ErrorCode SimChannelService::Next(Handle results, std::span<Handle> events,
                                  std::uint32_t& returned) {
  returned = 0;
  if (!Available()) return err::kModNotFound;
  std::lock_guard lock(mutex_);
  ++nextCalls_;
  const auto held = FindLocked<Results>(results);
  if (!held) return err::kInvalidHandle;
  if (events.empty()) return err::kInvalidParameter;
  while (returned < events.size()) {
    std::shared_ptr<Event> event;
    if (NextEventLocked(*held, event) != err::kSuccess) break;
    event->results = held;
    events[returned++] = AddLocked(std::move(event));
  }
  return returned == 0 ? err::kNoMoreItems : err::kSuccess;
}

ErrorCode SimChannelService::CreateRenderContext(std::uint32_t flags, Handle& context) {
  context = 0;
  if (!Available()) return err::kModNotFound;
  if (flags != evtflags::kRenderContextSystem && flags != evtflags::kRenderContextUser) {
    return err::kInvalidParameter;
  }
  auto held = std::make_shared<Context>();
  held->flags = flags;
  std::lock_guard lock(mutex_);
  context = AddLocked(std::move(held));
  return err::kSuccess;
}

ErrorCode SimChannelService::RenderValues(Handle context, Handle event,
                                          std::vector<EvtValue>& values) {
  values.clear();
  if (!Available()) return err::kModNotFound;
  std::lock_guard lock(mutex_);
  ++renderCalls_;
  const auto ctx = FindLocked<Context>(context);
  const auto ev = FindLocked<Event>(event);
  if (!ctx || !ev) return err::kInvalidHandle;
  if (ctx->flags == evtflags::kRenderContextSystem) {
    RenderSystemValues(ev->system, values);
    return err::kSuccess;
  }
  std::vector<EvtxDataItem> data;
  if (const ErrorCode error = EventDataLocked(*ev, data); error != err::kSuccess) return error;
  values.reserve(data.size());
  for (const auto& item : data) values.push_back(ToEvtValue(item.value));
  return err::kSuccess;
}

ErrorCode SimChannelService::RenderXml(Handle event, std::u16string& xml) {
  xml.clear();
  if (!Available()) return err::kModNotFound;
  std::lock_guard lock(mutex_);
  ++renderCalls_;
  const auto ev = FindLocked<Event>(event);
  if (!ev) return err::kInvalidHandle;
  Results& r = *ev->results;
  EvtxEventReader* reader = r.walker.get();
  if (r.walkerSlot != ev->slot) {
    if (r.rendererSlot != ev->slot) {
      r.rendererSlot.reset();
      if (!r.renderer->Load(ev->slot)) return err::kEventlogFileCorrupt;
      r.rendererSlot = ev->slot;
    }
    reader = r.renderer.get();
  }
  return reader->RenderXml(ev->record, xml) ? err::kSuccess : err::kEventlogFileCorrupt;
}

ErrorCode SimChannelService::OpenPublisherMetadata(std::u16string_view publisher,
                                                   Handle& metadata) {
  metadata = 0;
  if (!Available()) return err::kModNotFound;
  auto opened = PublisherMetadata::Open(registry_, files_, publisher);
  if (!opened) return err::kFileNotFound;
  auto held = std::make_shared<Metadata>();
  held->publisher = std::move(opened);
  std::lock_guard lock(mutex_);
  metadata = AddLocked(std::move(held));
  return err::kSuccess;
}

ErrorCode SimChannelService::FormatMessage(Handle metadata, Handle event, std::uint32_t flags,
                                           std::u16string& text) {
  text.clear();
  if (!Available()) return err::kModNotFound;
  std::lock_guard lock(mutex_);
  ++formatCalls_;
  const auto meta = FindLocked<Metadata>(metadata);
  const auto ev = FindLocked<Event>(event);
  if (!meta || !ev) return err::kInvalidHandle;
  if (formatFails_ != err::kSuccess) return formatFails_;
  std::vector<EvtxDataItem> data;
  if (flags == evtflags::kFormatEvent) {
    if (const ErrorCode error = EventDataLocked(*ev, data); error != err::kSuccess) return error;
  }
  return meta->publisher->Format(modules_, ev->system, data, flags, text);
}

ErrorCode SimChannelService::OpenLog(std::u16string_view path, std::uint32_t flags, Handle& log) {
  log = 0;
  if (!Available()) return err::kModNotFound;
  std::lock_guard lock(mutex_);
  std::u16string file;
  if (const ErrorCode error = ResolveLocked(path, flags, file, nullptr); error != err::kSuccess) {
    return error;
  }
  auto info = std::make_shared<LogInfo>();
  if (!file.empty()) {
    ErrorCode error = err::kSuccess;
    const auto source = files_.OpenFileSource(file, error);
    if (!source) return error;
    const auto evtx = EvtxFile::Open(source);
    if (!evtx) return err::kEventlogFileCorrupt;
    info->fileSize = source->size();
    info->full = (evtx->header().flags & evtxflag::kFull) != 0;
    info->attributes = platform::kFileAttributeArchive;
    // The chunk headers hold the record numbers; the records themselves are not read.
    bool first = true;
    for (const std::uint32_t slot : evtx->order()) {
      std::array<std::byte, 48> header{};
      if (!source->ReadAt(kEvtxHeaderBlockSize + std::uint64_t{slot} * kEvtxChunkSize, header)) {
        continue;
      }
      const std::uint64_t firstId = le::U64(header.data() + chunkfield::kFirstRecordId);
      const std::uint64_t lastId = le::U64(header.data() + chunkfield::kLastRecordId);
      if (lastId < firstId || firstId == 0) continue;
      if (first) info->oldest = firstId;
      first = false;
      info->records += lastId - firstId + 1;
    }
    std::vector<platform::FindEntry> entries;
    if (files_.FindFiles(file, entries) == err::kSuccess && !entries.empty()) {
      info->written = entries.front().lastWrite.value();
    }
  }
  log = AddLocked(std::move(info));
  return err::kSuccess;
}

ErrorCode SimChannelService::GetLogInfo(Handle log, platform::EvtLogProperty id, EvtValue& value) {
  value = {};
  if (!Available()) return err::kModNotFound;
  std::lock_guard lock(mutex_);
  const auto info = FindLocked<LogInfo>(log);
  if (!info) return err::kInvalidHandle;
  using P = platform::EvtLogProperty;
  switch (id) {
    case P::kCreationTime:
    case P::kLastAccessTime:
    case P::kLastWriteTime:
      if (info->written) {
        value.type = evttype::kFileTime;
        value.number = *info->written;
      }
      return err::kSuccess;
    case P::kFileSize:
      value.type = evttype::kUInt64;
      value.number = info->fileSize;
      return err::kSuccess;
    case P::kAttributes:
      value.type = evttype::kUInt32;
      value.number = info->attributes;
      return err::kSuccess;
    case P::kNumberOfLogRecords:
      value.type = evttype::kUInt64;
      value.number = info->records;
      return err::kSuccess;
    case P::kOldestRecordNumber:
      value.type = evttype::kUInt64;
      value.number = info->oldest;
      return err::kSuccess;
    case P::kFull:
      value.type = evttype::kBoolean;
      value.number = info->full ? 1 : 0;
      return err::kSuccess;
  }
  return err::kInvalidParameter;
}

ErrorCode SimChannelService::ClearLog(std::u16string_view channel, std::u16string_view backupPath) {
  if (!Available()) return err::kModNotFound;
  if (!IsAdministrator()) return err::kAccessDenied;
  std::lock_guard lock(mutex_);
  std::u16string file;
  std::u16string name;
  if (const ErrorCode error = ResolveLocked(channel, evtflags::kChannelPath, file, &name);
      error != err::kSuccess) {
    return error;
  }
  if (!backupPath.empty()) {
    // Nothing is cleared unless the backup was written.
    if (files_.FileExists(backupPath)) return err::kAlreadyExists;
    std::shared_ptr<Results> results;
    if (const ErrorCode error = OpenResultsLocked(channel, u"*", evtflags::kChannelPath, results);
        error != err::kSuccess) {
      return error;
    }
    if (const ErrorCode error = WriteEventsLocked(*results, backupPath); error != err::kSuccess) {
      return error;
    }
  }
  // A cleared log is an empty log file, numbered from 1 again.
  if (!file.empty()) return files_.WriteFile(file, WriteEvtxFile({}));
  return err::kSuccess;
}

ErrorCode SimChannelService::ExportLog(std::u16string_view path, std::u16string_view query,
                                       std::u16string_view targetPath, std::uint32_t flags) {
  if (!Available()) return err::kModNotFound;
  if (targetPath.empty()) return err::kInvalidParameter;
  std::lock_guard lock(mutex_);
  std::shared_ptr<Results> results;
  if (const ErrorCode error = OpenResultsLocked(
          path, query, flags & (evtflags::kChannelPath | evtflags::kFilePath), results);
      error != err::kSuccess) {
    return error;
  }
  if (files_.FileExists(targetPath)) return err::kAlreadyExists;
  return WriteEventsLocked(*results, targetPath);
}

ErrorCode SimChannelService::Close(Handle handle) {
  if (!Available()) return err::kModNotFound;
  std::lock_guard lock(mutex_);
  return handles_.erase(handle) != 0 ? err::kSuccess : err::kInvalidHandle;
}

}  // namespace qb::sim
