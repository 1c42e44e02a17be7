#include "eventlog/account_cache.h"

#include "eventlog/record_decoder.h"

namespace qb {

AccountNameCache::Name AccountNameCache::Resolve(std::span<const std::byte> sid) {
  if (sid.empty()) return {};
  const platform::Bytes key(sid.begin(), sid.end());
  std::shared_ptr<Slot> slot;
  {
    std::unique_lock lock(mutex_);
    auto& entry = slots_[key];
    if (entry) {
      const auto found = entry;
      ready_.wait(lock, [&] { return found->ready; });
      return found->name;
    }
    entry = std::make_shared<Slot>();
    slot = entry;
    ++lookups_;
  }
  Name name;
  try {
    LookupRecordAccount(sid, name.account, name.domain);
  } catch (...) {
    name = {};
  }
  {
    std::lock_guard lock(mutex_);
    slot->name = name;
    slot->ready = true;
  }
  ready_.notify_all();
  return name;
}

std::size_t AccountNameCache::Lookups() const {
  std::lock_guard lock(mutex_);
  return lookups_;
}

}  // namespace qb
