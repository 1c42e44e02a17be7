#include "plugin/column_reader.h"

#include "eventlog/log_selection.h"
#include "eventlog/raw_record.h"

namespace qb::plugin {

ColumnReader::~ColumnReader() {
  if (fLog && fUnloading) fLog->PrepareForUnload();
}

void ColumnReader::SetReadAhead(bool on) {
  std::lock_guard lock(fMutex);
  fReadAhead = on;
  Drop();
}

std::uint64_t ColumnReader::ServiceCalls() {
  std::lock_guard lock(fMutex);
  return fLog ? fLog->PlatformReads() : 0;
}

void ColumnReader::PrepareForUnload() {
  fUnloading = true;
  if (fLog) fLog->PrepareForUnload();
}

void ColumnReader::Drop() {
  fRaw.clear();
  fOrder.clear();
  fBytes = 0;
  fLast.reset();
}

void ColumnReader::Keep(std::uint32_t number, std::span<const std::byte> raw) {
  if (fRaw.count(number) != 0) return;
  while (!fOrder.empty() && fBytes + raw.size() > kCacheBytes) {
    const auto it = fRaw.find(fOrder.front());
    if (it != fRaw.end()) {
      fBytes -= it->second.size();
      fRaw.erase(it);
    }
    fOrder.pop_front();
  }
  fRaw.emplace(number, std::vector<std::byte>(raw.begin(), raw.end()));
  fOrder.push_back(number);
  fBytes += raw.size();
}

bool ColumnReader::Load(std::uint32_t number) {
  // The list shows the newest record first: walking down it reads backwards, up it forwards.
  const bool forwards = fLast && number > *fLast;
  std::size_t delivered = 0;
  if (!fLog->ReadRun(number, forwards, fBuffer, delivered)) return false;
  const auto bytes = std::span<const std::byte>(fBuffer).first(delivered);
  bool found = false;
  for (std::size_t pos = 0; pos < bytes.size();) {
    const auto raw = RawEventRecord::At(bytes, pos);
    if (!raw) break;
    // The record asked for must come first; anything else is another record.
    if (pos == 0 && raw->RecordNumber() != number) return false;
    found = found || raw->RecordNumber() == number;
    Keep(raw->RecordNumber(), raw->Bytes());
    pos += raw->Length();
    if (!fReadAhead) break;
  }
  return found;
}

bool ColumnReader::Fetch(std::int32_t index, std::uint64_t listing, std::uint32_t number,
                         TFWEventLogRecord& record) {
  std::lock_guard lock(fMutex);
  if (!fLog) fLog = std::make_unique<TFWEventLog>(fLanguage, u"Quillerbankton");
  if (index != fIndex || listing != fListing) {
    // Another log, or the log listed again: what was read of it before may be gone now.
    Drop();
    if (fLog->OpenState().Has(TFSOpenState::osRead)) fLog->Close(TFSOpenState::osRead);
    fIndex = index;
    fListing = listing;
  }
  if (!OpenLogAt(*fLog, index)) return false;
  auto it = fRaw.find(number);
  if (it == fRaw.end()) {
    if (!Load(number)) {
      fLast = number;
      return false;
    }
    it = fRaw.find(number);
    if (it == fRaw.end()) return false;
  }
  fLast = number;
  const auto raw = RawEventRecord::At(it->second, 0);
  if (!raw) return false;
  record = fLog->DecodeEventRecord(index, *raw);
  return true;
}

}  // namespace qb::plugin
