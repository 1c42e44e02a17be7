// Handles the event log layer holds, each owned by a small type that releases it with the one
// call that fits it.
#pragma once

#include <utility>

#include "platform/types.h"

namespace qb {

// A handle of the event log service: an open log or backup file, closed with CloseEventLog,
// or a registered event source, closed with DeregisterEventSource.
class ServiceHandle {
 public:
  enum class Kind { kLog, kSource };

  ServiceHandle() = default;
  ServiceHandle(Kind kind, platform::Handle handle) : kind_(kind), handle_(handle) {}
  ~ServiceHandle() { reset(); }
  ServiceHandle(ServiceHandle&& other) noexcept
      : kind_(other.kind_), handle_(std::exchange(other.handle_, 0)) {}
  ServiceHandle& operator=(ServiceHandle&& other) noexcept;
  ServiceHandle(const ServiceHandle&) = delete;
  ServiceHandle& operator=(const ServiceHandle&) = delete;

  platform::Handle get() const { return handle_; }
  explicit operator bool() const { return handle_ != 0; }
  // Closes the handle now.
  void reset();

 private:
  Kind kind_ = Kind::kLog;
  platform::Handle handle_ = 0;
};

// A module this code loaded or took a reference to (LoadLibrary*, GetModuleHandleExW),
// released with FreeLibrary.
class OwnedModule {
 public:
  OwnedModule() = default;
  explicit OwnedModule(platform::Handle module) : module_(module) {}
  ~OwnedModule() { reset(); }
  OwnedModule(OwnedModule&& other) noexcept : module_(std::exchange(other.module_, 0)) {}
  OwnedModule& operator=(OwnedModule&& other) noexcept;
  OwnedModule(const OwnedModule&) = delete;
  OwnedModule& operator=(const OwnedModule&) = delete;

  platform::Handle get() const { return module_; }
  void reset();
  // Lets go of the module without releasing it: as the library unloads, under the loader
  // lock, where no library may be freed (the process keeps it until it ends).
  void abandon() { module_ = 0; }

 private:
  platform::Handle module_ = 0;
};

// A module someone else keeps loaded, such as the plugin's own: used, never released.
class BorrowedModule {
 public:
  explicit BorrowedModule(platform::Handle module) : module_(module) {}
  platform::Handle get() const { return module_; }

 private:
  platform::Handle module_;
};

}  // namespace qb
