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

}  // namespace qb
