// The record list of a listed log, compact enough for logs of millions of records in a 32-bit
// host: each record takes 24 bytes (number of up to 48 bits, event code, time, an interned
// source name and its type), the storage grows in blocks of a fixed size (never one allocation for
// the whole log), and the names and type words are held once per listing.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "eventlog/event_log_types.h"

namespace qb {

// One listed record as the list gives it out; the texts live as long as the list.
struct TFileItemView {
  RecordNumber fiNumber = 0;
  std::uint32_t fiSize = 0;
  platform::FileTime fiTime;
  std::u16string_view fiName;
  std::u16string_view fiType;
  TFileItem ToItem() const;
};

class TFileItemList {
 public:
  static constexpr std::size_t kBlockItems = 64 * 1024;  // 1.5 MiB a block
  static_assert(kBlockItems <= 65536, "positions within a block are 16-bit");

  // The lower-case type words, by TFWEventLogRecordType, that the records carry.
  using TypeWords = std::array<std::u16string, kRecordTypeCount>;
  void SetTypeWords(const TypeWords& words) { typeWords_ = words; }

  // Numbers keep 48 bits: an EventRecordID counts a channel's events since it was made, and
  // no channel comes near 2^48 of them.
  void Add(RecordNumber number, std::uint32_t size, platform::FileTime time,
           std::u16string_view source, TFWEventLogRecordType type);
  void push_back(const TFileItem& item);  // its type word is looked up among the type words

  std::size_t size() const { return count_; }
  bool empty() const { return count_ == 0; }
  TFileItemView operator[](std::size_t index) const;
  TFileItemView front() const { return (*this)[0]; }
  // Frees everything.
  void clear();

  // The index of the first record with this number.
  std::optional<std::size_t> Find(RecordNumber number) const;

  // Bytes the list holds on the heap, for measurements.
  std::size_t MemoryBytes() const;

 private:
  struct Entry {
    std::uint32_t number;
    std::uint32_t size;
    std::uint32_t timeLow;
    std::uint32_t timeHigh;
    std::uint32_t name;
    std::uint16_t numberHigh;  // bits 32 to 47 of the number
    std::uint8_t type;
    RecordNumber Number() const { return RecordNumber{numberHigh} << 32 | number; }
  };
  static_assert(sizeof(Entry) == 24);
  std::uint32_t Intern(std::u16string_view name);

  std::vector<std::unique_ptr<Entry[]>> blocks_;
  std::size_t count_ = 0;
  std::deque<std::u16string> names_;  // a deque: the strings never move, so keys stay valid
  std::unordered_map<std::u16string_view, std::uint32_t> nameIndex_;
  TypeWords typeWords_;
  bool descending_ = true;  // numbers fall strictly along the list: found by halving
  // For a list that is not descending: per block, the positions within the block sorted by
  // number, made at the first lookup (2 bytes a record, no allocation beyond one block's).
  mutable std::vector<std::unique_ptr<std::uint16_t[]>> byNumber_;
  const std::uint16_t* SortedBlock(std::size_t block) const;
};

}  // namespace qb
