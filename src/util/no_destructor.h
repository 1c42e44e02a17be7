// A static object that is built on first use and never destroyed: the library's process-wide
// state must outlive the runtime's static destructors, which run at every unload and at the
// process's end, under the loader's lock and while other threads may still be inside.
#pragma once

#include <memory>
#include <new>
#include <utility>

namespace qb::util {

template <class T>
class NoDestructor {
 public:
  template <class... Args>
  explicit NoDestructor(Args&&... args) {
    std::construct_at(reinterpret_cast<T*>(storage_), std::forward<Args>(args)...);
  }
  ~NoDestructor() = default;
  NoDestructor(const NoDestructor&) = delete;
  NoDestructor& operator=(const NoDestructor&) = delete;

  T& get() { return *std::launder(reinterpret_cast<T*>(storage_)); }
  T* operator->() { return &get(); }
  T& operator*() { return get(); }

 private:
  alignas(T) unsigned char storage_[sizeof(T)];
};

}  // namespace qb::util
