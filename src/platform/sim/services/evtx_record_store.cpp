#include "platform/sim/services/evtx_record_store.h"

#include <algorithm>

namespace qb::sim {

// --- EvtxRecordStore ---

std::shared_ptr<EvtxRecordStore> EvtxRecordStore::Open(std::shared_ptr<const ByteSource> source,
                                                       std::string* error) {
  auto file = EvtxFile::Open(std::move(source), error);
  if (!file) return nullptr;
  return std::make_shared<EvtxRecordStore>(Key{}, std::move(file));
}

void EvtxRecordStore::Index() {
  if (indexed_) return;
  indexed_ = true;
  EvtxEventReader reader(*file_);
  EvtxSystem system;
  std::uint64_t previous = 0;
  for (const std::uint32_t slot : file_->order()) {
    if (!reader.Load(slot)) continue;
    const auto records = reader.records();
    Chunk chunk;
    chunk.slot = slot;
    bool regular = true;
    for (std::uint32_t k = 0; k < records.size(); ++k) {
      if (!reader.ReadSystem(records[k], system)) {
        regular = false;
        continue;
      }
      const std::uint64_t number =
          system.has(EvtxField::kEventRecordId) ? system.eventRecordId : records[k].id;
      if (number <= previous || number == 0) {
        regular = false;
        continue;
      }
      if (!chunk.numbers.empty() && number != chunk.numbers.back().first + 1) regular = false;
      chunk.numbers.emplace_back(number, k);
      previous = number;
    }
    if (chunk.numbers.empty()) continue;
    chunk.first = chunk.numbers.front().first;
    chunk.last = chunk.numbers.back().first;
    count_ += chunk.numbers.size();
    if (regular && chunk.numbers.size() == records.size()) {
      chunk.numbers.clear();
      chunk.numbers.shrink_to_fit();
    }
    chunks_.push_back(std::move(chunk));
  }
}

std::uint64_t EvtxRecordStore::count() {
  Index();
  return count_;
}

std::uint64_t EvtxRecordStore::oldest() {
  Index();
  return chunks_.empty() ? 0 : chunks_.front().first;
}

std::uint64_t EvtxRecordStore::newest() {
  Index();
  return chunks_.empty() ? 0 : chunks_.back().last;
}

std::uint64_t EvtxRecordStore::nextNumber() {
  // The header's count may lag behind after a crash; the records tell the truth then.
  return std::max<std::uint64_t>({newest() + 1, file_->header().nextRecordId, 1});
}

// --- EvtxRecordCursor ---

EvtxRecordCursor::EvtxRecordCursor(std::shared_ptr<EvtxRecordStore> store)
    : store_(std::move(store)), reader_(*store_->file_) {
  store_->Index();
}

bool EvtxRecordCursor::Select(std::size_t chunk) {
  if (current_ == chunk) return true;
  current_ = SIZE_MAX;
  if (!reader_.Load(store_->chunks_[chunk].slot)) return false;
  current_ = chunk;
  return true;
}

std::size_t EvtxRecordCursor::KeptCount(const EvtxRecordStore::Chunk& chunk) const {
  return chunk.numbers.empty() ? static_cast<std::size_t>(chunk.last - chunk.first + 1)
                               : chunk.numbers.size();
}

std::pair<std::uint32_t, std::uint64_t> EvtxRecordCursor::Entry(const EvtxRecordStore::Chunk& chunk,
                                                                std::size_t k) const {
  if (chunk.numbers.empty()) return {static_cast<std::uint32_t>(k), chunk.first + k};
  return {chunk.numbers[k].second, chunk.numbers[k].first};
}

bool EvtxRecordCursor::Convert(std::uint32_t index, std::uint64_t number) {
  const auto records = reader_.records();
  if (index >= records.size()) return false;
  const EvtxRecordRef& ref = records[index];
  if (!reader_.ReadSystem(ref, system_) || !reader_.ReadEventData(ref, data_, binary_)) {
    return false;
  }
  record_ =
      BuildEventRecord(ClassicFields(static_cast<std::uint32_t>(number), system_, data_, binary_));
  return true;
}

std::optional<EvtxRecordCursor::Found> EvtxRecordCursor::Find(std::uint64_t number, bool forwards) {
  const auto& chunks = store_->chunks_;
  // The chunk holding the number, or the nearest one in the direction.
  std::ptrdiff_t c = 0;
  if (forwards) {
    c = std::partition_point(chunks.begin(), chunks.end(),
                             [&](const auto& chunk) { return chunk.last < number; }) -
        chunks.begin();
  } else {
    c = std::partition_point(chunks.begin(), chunks.end(),
                             [&](const auto& chunk) { return chunk.first <= number; }) -
        chunks.begin() - 1;
  }
  for (; c >= 0 && c < static_cast<std::ptrdiff_t>(chunks.size()); c += forwards ? 1 : -1) {
    const auto& chunk = chunks[static_cast<std::size_t>(c)];
    if (!Select(static_cast<std::size_t>(c))) continue;  // the file could not be read again
    const std::size_t kept = KeptCount(chunk);
    // First kept record at or after the number (forwards), last at or before it (backwards).
    std::size_t low = 0, high = kept;
    while (low < high) {
      const std::size_t mid = low + (high - low) / 2;
      const std::uint64_t at = Entry(chunk, mid).second;
      if (forwards ? at < number : at <= number) {
        low = mid + 1;
      } else {
        high = mid;
      }
    }
    auto k = static_cast<std::ptrdiff_t>(forwards ? low : low - 1);
    for (; k >= 0 && k < static_cast<std::ptrdiff_t>(kept); k += forwards ? 1 : -1) {
      const auto [index, at] = Entry(chunk, static_cast<std::size_t>(k));
      if (Convert(index, at)) return Found{at, record_};
    }
  }
  return std::nullopt;
}

std::uint64_t EvtxRecordCursor::CopyTo(EvtxWriter& writer) {
  std::uint64_t written = 0;
  EvtxEvent event;
  const auto& chunks = store_->chunks_;
  for (std::size_t c = 0; c < chunks.size(); ++c) {
    if (!Select(c)) continue;
    const auto records = reader_.records();
    for (std::size_t k = 0; k < KeptCount(chunks[c]); ++k) {
      const auto [index, number] = Entry(chunks[c], k);
      if (index >= records.size() || !reader_.ReadFragment(records[index], event.body)) continue;
      event.recordId = number;
      event.written = records[index].written;
      if (writer.Write(event)) ++written;
    }
  }
  return written;
}

}  // namespace qb::sim
