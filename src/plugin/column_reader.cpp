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
  return sizeof(Run) + bytes.capacity() + index.capacity() * sizeof(index[0]) + 2 * kPerAllocation;
}

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

std::optional<RawEventRecord> ColumnReader::Locate(std::int32_t index, std::uint64_t listing,
                                                   std::uint32_t number) {
  if (fStale || !fKeyed || index != fIndex || listing != fListing) {
    // Another log, or the log listed again: what was read of it before may be gone now.
    DropAll();
    fKeyed = true;
    fIndex = index;
    fListing = listing;
  }
  if (!OpenLogAt(*fLog, index)) return std::nullopt;
  auto raw = Cached(number);
  if (!raw && Load(number)) raw = Cached(number);
  fLast = number;
  return raw;
}

bool ColumnReader::Fetch(std::int32_t index, std::uint64_t listing, std::uint32_t number,
                         TFWEventLogRecord& record) {
  bool found = false;
  {
    std::lock_guard lock(fMutex);
    if (const auto raw = Locate(index, listing, number)) {
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

bool ColumnReader::TryEventCode(std::int32_t index, std::uint64_t listing, std::uint32_t number,
                                std::optional<std::uint32_t>& code) {
  std::unique_lock lock(fMutex, std::try_to_lock);
  if (!lock.owns_lock()) return false;
  code.reset();
  if (const auto raw = Locate(index, listing, number)) code = raw->EventID() & 0xFFFF;
  return true;
}

}  // namespace qb::plugin
