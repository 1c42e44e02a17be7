#include "plugin/column_reader.h"

#include <algorithm>

#include "eventlog/log_selection.h"

namespace qb::plugin {

ColumnReader::ColumnReader(std::shared_ptr<TLngResource> language, const TFWEventLog& main)
    : fLanguage(std::move(language)), fLog(std::make_unique<TFWEventLog>(*fLanguage, main)) {}

ColumnReader::~ColumnReader() {
  if (fUnloading) fLog->PrepareForUnload();
}

std::size_t ColumnReader::Run::Footprint() const {
  // The allocations themselves and what the heap keeps beside each of them.
  constexpr std::size_t kPerAllocation = 2 * sizeof(void*);
  std::size_t size =
      sizeof(Run) + bytes.capacity() + index.capacity() * sizeof(index[0]) + 2 * kPerAllocation;
  for (const auto& r : records) {
    size += sizeof(r) + kPerAllocation * 6 +
            2 * (r.Category.capacity() + r.SourceName.capacity() + r.ComputerName.capacity() +
                 r.Account.capacity() + r.Domain.capacity() + r.Description.capacity() +
                 r.Xml.capacity()) +
            r.BinData.capacity() + r.UserSid.capacity();
  }
  return size;
}

// Events one query brings for the columns: the rows a host shows around the one it asks for, and
// enough that the queries stay under one per hundred events.
constexpr RecordNumber kEventRun = 512;

std::uint64_t ColumnReader::ServiceCalls() {
  std::lock_guard lock(fMutex);
  return fLog->PlatformReads();
}

std::size_t ColumnReader::CachedBytes() {
  std::lock_guard lock(fMutex);
  return fBytes + fBuffer.capacity();
}

void ColumnReader::Reset() {
  std::unique_lock lock(fMutex, std::try_to_lock);
  if (!lock.owns_lock()) {
    fStale = true;
    return;
  }
  DropAll();
}

void ColumnReader::DropAll() {
  fStale = false;
  fRuns.clear();
  fBytes = 0;
  std::vector<std::byte>().swap(fBuffer);
  fLast.reset();
  fKeyed = false;
  // Closing lets go of the handle, the message libraries and the log's account names.
  if (fLog->OpenState().Has(TFSOpenState::osRead)) fLog->Close(TFSOpenState::osRead);
}

std::optional<RawEventRecord> ColumnReader::Cached(std::uint32_t number) const {
  // The newest run first: it holds what the log gave last.
  for (auto run = fRuns.rbegin(); run != fRuns.rend(); ++run) {
    const auto it = std::lower_bound(run->index.begin(), run->index.end(),
                                     std::pair<std::uint32_t, std::uint32_t>{number, 0});
    if (it != run->index.end() && it->first == number)
      return RawEventRecord::At(run->bytes, it->second);
  }
  return std::nullopt;
}

void ColumnReader::Keep(Run run) {
  const std::size_t size = run.Footprint();
  while (!fRuns.empty() && fBytes + size + fBuffer.capacity() > kCacheBytes) {
    fBytes -= fRuns.front().Footprint();
    fRuns.pop_front();
  }
  fBytes += size;
  fRuns.push_back(std::move(run));
}

bool ColumnReader::Load(std::uint32_t number) {
  // The list shows the newest record first: walking down it reads backwards, up it forwards.
  const bool forwards = fLast && number > *fLast;
  std::size_t delivered = 0;
  if (!fLog->ReadRun(number, forwards, fBuffer, delivered)) return false;
  const auto bytes = std::span<const std::byte>(fBuffer).first(delivered);
  Run run;
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    const auto raw = RawEventRecord::At(bytes, pos);
    if (!raw) break;
    // The record asked for must come first; anything else is another record.
    if (pos == 0 && raw->RecordNumber() != number) return false;
    run.index.emplace_back(raw->RecordNumber(), static_cast<std::uint32_t>(pos));
    pos += raw->Length();
  }
  if (run.index.empty()) return false;
  run.bytes.assign(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(pos));
  std::sort(run.index.begin(), run.index.end());
  run.index.shrink_to_fit();
  Keep(std::move(run));
  return true;
}

bool ColumnReader::Select(std::int32_t index, std::uint64_t listing) {
  if (fStale || !fKeyed || index != fIndex || listing != fListing) {
    // Another log, or the log listed again: what was read of it before may be gone now.
    DropAll();
    fKeyed = true;
    fIndex = index;
    fListing = listing;
  }
  return OpenLogAt(*fLog, index);
}

std::optional<RawEventRecord> ColumnReader::Locate(std::int32_t index, std::uint64_t listing,
                                                   RecordNumber number) {
  if (number > 0xFFFFFFFFu || !Select(index, listing)) return std::nullopt;
  const auto classic = static_cast<std::uint32_t>(number);
  auto raw = Cached(classic);
  if (!raw && Load(classic)) raw = Cached(classic);
  fLast = number;
  return raw;
}

const TFWEventLogRecord* ColumnReader::CachedEvent(RecordNumber number) const {
  for (auto run = fRuns.rbegin(); run != fRuns.rend(); ++run) {
    const auto it =
        std::lower_bound(run->records.begin(), run->records.end(), number,
                         [](const TFWEventLogRecord& r, RecordNumber n) { return r.Number < n; });
    if (it != run->records.end() && it->Number == number) return &*it;
  }
  return nullptr;
}

bool ColumnReader::LoadEvents(RecordNumber number) {
  TChannelLog* channel = fLog->OpenChannel();
  if (channel == nullptr) return false;
  // One query brings the run of events in the direction the host walks its list.
  const bool forwards = fLast && number > *fLast;
  const RecordNumber first = forwards ? number : (number >= kEventRun ? number - kEventRun + 1 : 0);
  const RecordNumber last = forwards ? number + kEventRun - 1 : number;
  Run run;
  channel->ReadRange(
      first, last, forwards, [&](platform::Handle event, const TChannelEvent& values) {
        run.records.push_back(fLog->DecodeChannelEvent(*channel, event, values, false));
        return true;
      });
  if (run.records.empty()) return false;
  std::sort(
      run.records.begin(), run.records.end(),
      [](const TFWEventLogRecord& a, const TFWEventLogRecord& b) { return a.Number < b.Number; });
  Keep(std::move(run));
  return true;
}

const TFWEventLogRecord* ColumnReader::LocateEvent(std::int32_t index, std::uint64_t listing,
                                                   RecordNumber number) {
  if (!Select(index, listing)) return nullptr;
  const TFWEventLogRecord* record = CachedEvent(number);
  if (record == nullptr && LoadEvents(number)) record = CachedEvent(number);
  fLast = number;
  return record;
}

bool ColumnReader::Fetch(std::int32_t index, std::uint64_t listing, RecordNumber number,
                         TFWEventLogRecord& record) {
  bool found = false;
  {
    std::lock_guard lock(fMutex);
    if (IsChannelIndex(index)) {
      if (const TFWEventLogRecord* event = LocateEvent(index, listing, number)) {
        record = *event;
        found = true;
      }
    } else if (const auto raw = Locate(index, listing, number)) {
      record = fLog->DecodeEventRecord(index, *raw);
      found = true;
    }
    // Listed again while this fetch ran: let go now rather than at the next one.
    if (fStale) DropAll();
  }
  // A Reset that came just as this fetch ended still found the reader busy.
  if (fStale) Reset();
  return found;
}

bool ColumnReader::TryEventCode(std::int32_t index, std::uint64_t listing, RecordNumber number,
                                std::optional<std::uint32_t>& code) {
  std::unique_lock lock(fMutex, std::try_to_lock);
  if (!lock.owns_lock()) return false;
  code.reset();
  if (IsChannelIndex(index)) {
    if (const TFWEventLogRecord* event = LocateEvent(index, listing, number)) {
      code = event->EventID;
    }
  } else if (const auto raw = Locate(index, listing, number)) {
    code = raw->EventID() & 0xFFFF;
  }
  return true;
}

}  // namespace qb::plugin
