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

std::shared_ptr<AccountNameCache> SharedAccountNames::Acquire(const std::u16string& log) {
  std::lock_guard lock(mutex_);
  Entry& entry = entries_[log];
  if (!entry.cache) entry.cache = std::make_shared<AccountNameCache>();
  ++entry.users;
  return entry.cache;
}

void SharedAccountNames::Release(const std::u16string& log,
                                 const std::shared_ptr<AccountNameCache>& cache) {
  std::lock_guard lock(mutex_);
  const auto it = entries_.find(log);
  if (it == entries_.end() || it->second.cache != cache) return;
  if (--it->second.users == 0) entries_.erase(it);
}

void SharedAccountNames::Forget() {
  std::lock_guard lock(mutex_);
  entries_.clear();
}

}  // namespace qb
