// The catalogue of classic event logs, read once from the registry: entry 0 is a
// placeholder, the logs follow in registry order.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace qb {

class TLngResource;

// The error of an index outside the catalogue.
class EListError : public std::out_of_range {
 public:
  EListError() : std::out_of_range("Argument out of range") {}
};

struct TEventLogItem {
  std::u16string eiRegistryName;
  std::u16string eiDisplayName;
  std::u16string eiFile;
};

inline constexpr char16_t kEventLogKey[] = u"SYSTEM\\CurrentControlSet\\Services\\EventLog\\";

class TEventLogList {
 public:
  // Reads the catalogue from the registry. A log whose values have the wrong type still gets
  // its entry, with those values counted as absent.
  explicit TEventLogList(const TLngResource& language);

  std::int32_t EventLogCount() const { return static_cast<std::int32_t>(fItems.size()); }
  const TEventLogItem& Item(std::int32_t index) const;  // EListError outside the catalogue
  const std::u16string& GetEventLogName(std::int32_t index) const;
  const std::u16string& GetEventLogDisplayName(std::int32_t index) const;
  const std::u16string& GetEventLogFile(std::int32_t index) const;
  // Exact, case-sensitive lookups by display name; the placeholder takes part. Indexes are
  // not squeezed into 8 bits: a log at 256 or beyond is found as itself.
  std::int32_t GetEventLogIndex(std::u16string_view displayName) const;
  bool EventLogExists(std::u16string_view displayName) const;

 private:
  std::vector<TEventLogItem> fItems;
};

}  // namespace qb
