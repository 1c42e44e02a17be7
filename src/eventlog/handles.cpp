#include "eventlog/handles.h"

#include "platform/platform.h"

namespace qb {

ServiceHandle& ServiceHandle::operator=(ServiceHandle&& other) noexcept {
  if (this != &other) {
    reset();
    kind_ = other.kind_;
    handle_ = std::exchange(other.handle_, 0);
  }
  return *this;
}

void ServiceHandle::reset() {
  if (handle_ == 0) return;
  auto& service = platform::EventLogService();
  if (kind_ == Kind::kSource) {
    service.DeregisterEventSource(handle_);
  } else {
    service.CloseEventLog(handle_);
  }
  handle_ = 0;
}

OwnedModule& OwnedModule::operator=(OwnedModule&& other) noexcept {
  if (this != &other) {
    reset();
    module_ = std::exchange(other.module_, 0);
  }
  return *this;
}

void OwnedModule::reset() {
  if (module_ != 0) platform::Modules().FreeLibrary(std::exchange(module_, 0));
}

}  // namespace qb
