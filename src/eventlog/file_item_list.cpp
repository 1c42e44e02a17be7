#include "eventlog/file_item_list.h"

#include <algorithm>

namespace qb {

TFileItem TFileItemView::ToItem() const {
  TFileItem item;
  item.fiName = std::u16string(fiName);
  item.fiType = std::u16string(fiType);
  item.fiNumber = fiNumber;
  item.fiSize = fiSize;
  item.fiTime = fiTime;
  return item;
}

std::uint32_t TFileItemList::Intern(std::u16string_view name) {
  // Most neighbours share their source: try the last one first.
  if (!names_.empty() && names_.back() == name)
    return static_cast<std::uint32_t>(names_.size() - 1);
  const auto it = nameIndex_.find(name);
  if (it != nameIndex_.end()) return it->second;
  const auto index = static_cast<std::uint32_t>(names_.size());
  names_.emplace_back(name);
  nameIndex_.emplace(names_.back(), index);
  return index;
}

void TFileItemList::Add(RecordNumber number, std::uint32_t size, platform::FileTime time,
                        std::u16string_view source, TFWEventLogRecordType type) {
  const std::size_t slot = count_ % kBlockItems;
  if (slot == 0) blocks_.push_back(std::make_unique_for_overwrite<Entry[]>(kBlockItems));
  if (count_ > 0 && descending_ && number >= (*this)[count_ - 1].fiNumber) descending_ = false;
  auto typeIndex = static_cast<std::uint8_t>(type);
  if (typeIndex >= typeWords_.size()) {
    typeIndex = static_cast<std::uint8_t>(TFWEventLogRecordType::rtUnknown);
  }
  blocks_.back()[slot] = Entry{static_cast<std::uint32_t>(number),
                               size,
                               time.dwLowDateTime,
                               time.dwHighDateTime,
                               Intern(source),
                               static_cast<std::uint16_t>(number >> 32),
                               typeIndex};
  ++count_;
  // Only the last block changed: the other blocks' orders stay valid.
  if (byNumber_.size() >= blocks_.size()) byNumber_[blocks_.size() - 1].reset();
}

void TFileItemList::push_back(const TFileItem& item) {
  auto type = TFWEventLogRecordType::rtUnknown;
  for (std::size_t i = 0; i < typeWords_.size(); ++i) {
    if (typeWords_[i] == item.fiType) {
      type = static_cast<TFWEventLogRecordType>(i);
      break;
    }
  }
  Add(item.fiNumber, item.fiSize, item.fiTime, item.fiName, type);
}

TFileItemView TFileItemList::operator[](std::size_t index) const {
  const Entry& e = blocks_[index / kBlockItems][index % kBlockItems];
  TFileItemView view;
  view.fiNumber = e.Number();
  view.fiSize = e.size;
  view.fiTime = platform::FileTime{e.timeLow, e.timeHigh};
  view.fiName = names_[e.name];
  view.fiType = typeWords_[e.type];
  return view;
}

void TFileItemList::clear() {
  std::vector<std::unique_ptr<Entry[]>>().swap(blocks_);
  count_ = 0;
  names_.clear();
  std::unordered_map<std::u16string_view, std::uint32_t>().swap(nameIndex_);
  descending_ = true;
  std::vector<std::unique_ptr<std::uint16_t[]>>().swap(byNumber_);
}

std::optional<std::size_t> TFileItemList::Find(RecordNumber number) const {
  const auto numberAt = [this](std::size_t i) {
    return blocks_[i / kBlockItems][i % kBlockItems].Number();
  };
  if (descending_) {
    // The first index whose number is not above `number`.
    std::size_t low = 0, high = count_;
    while (low < high) {
      const std::size_t mid = low + (high - low) / 2;
      if (numberAt(mid) > number) {
        low = mid + 1;
      } else {
        high = mid;
      }
    }
    if (low < count_ && numberAt(low) == number) return low;
    return std::nullopt;
  }
  // The first block holding the number has its first record with it.
  for (std::size_t block = 0; block < blocks_.size(); ++block) {
    const std::uint16_t* order = SortedBlock(block);
    const std::size_t items = std::min(kBlockItems, count_ - block * kBlockItems);
    const std::size_t base = block * kBlockItems;
    const auto it =
        std::lower_bound(order, order + items, number,
                         [&](std::uint16_t i, RecordNumber n) { return numberAt(base + i) < n; });
    if (it != order + items && numberAt(base + *it) == number) return base + *it;
  }
  return std::nullopt;
}

const std::uint16_t* TFileItemList::SortedBlock(std::size_t block) const {
  if (byNumber_.size() < blocks_.size()) byNumber_.resize(blocks_.size());
  auto& order = byNumber_[block];
  if (order) return order.get();
  const std::size_t items = std::min(kBlockItems, count_ - block * kBlockItems);
  order = std::make_unique_for_overwrite<std::uint16_t[]>(items);
  for (std::size_t i = 0; i < items; ++i) order[i] = static_cast<std::uint16_t>(i);
  const Entry* entries = blocks_[block].get();
  // Of equal numbers the first one stays first; no merge buffer as stable_sort would need.
  std::sort(order.get(), order.get() + items, [entries](std::uint16_t a, std::uint16_t b) {
    return entries[a].Number() < entries[b].Number() ||
           (entries[a].Number() == entries[b].Number() && a < b);
  });
  return order.get();
}

std::size_t TFileItemList::MemoryBytes() const {
  std::size_t bytes = blocks_.size() * kBlockItems * sizeof(Entry) +
                      (blocks_.capacity() + byNumber_.capacity()) * sizeof(void*);
  for (std::size_t block = 0; block < byNumber_.size(); ++block) {
    if (byNumber_[block]) bytes += std::min(kBlockItems, count_ - block * kBlockItems) * 2;
  }
  for (const auto& name : names_) bytes += name.capacity() * 2 + sizeof(name);
  return bytes + nameIndex_.size() * 48;
}

}  // namespace qb
