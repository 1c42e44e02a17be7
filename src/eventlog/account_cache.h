// Account names by SID, looked up once per distinct SID while a log is open, found and not
// found alike: on a computer in a domain a SID that cannot be resolved can take seconds.
#pragma once

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <span>
#include <string>

#include "platform/types.h"

namespace qb {

class AccountNameCache {
 public:
  struct Name {
    std::u16string account;
    std::u16string domain;
  };

  // The names of `sid` (both empty when it cannot be resolved). The lookup runs without any
  // lock of the caller's; a second thread asking for a SID being looked up waits for that one
  // lookup instead of making another.
  Name Resolve(std::span<const std::byte> sid);

  // Lookups made so far, for tests and measurements.
  std::size_t Lookups() const;

 private:
  struct Slot {
    bool ready = false;
    Name name;
  };
  mutable std::mutex mutex_;
  std::condition_variable ready_;
  std::map<platform::Bytes, std::shared_ptr<Slot>> slots_;
  std::size_t lookups_ = 0;
};

// The account name caches of the logs open in the event log objects that share it (the
// listing's and the columns'): one cache per log while any of them has it open, so that a SID
// is looked up once for all of them.
class SharedAccountNames {
 public:
  // The cache of `log`, made when no object has it open. Each Acquire is matched by a Release.
  std::shared_ptr<AccountNameCache> Acquire(const std::u16string& log);
  // Lets go of the cache Acquire gave; the last user drops it. A cache forgotten since stays
  // with whoever still holds it.
  void Release(const std::u16string& log, const std::shared_ptr<AccountNameCache>& cache);
  // The logs are listed afresh: every log gets a new cache at its next Acquire.
  void Forget();

 private:
  struct Entry {
    std::shared_ptr<AccountNameCache> cache;
    std::size_t users = 0;
  };
  std::mutex mutex_;
  std::map<std::u16string, Entry> entries_;
};

}  // namespace qb
