// wevtapi.dll's functions, with their Win32 signatures, served over a channel service object:
// Wine's own are empty stubs. A module reaches them through its kernel32 imports: loading
// "wevtapi.dll" loads the real library (for a handle that is counted and freed as usual) and
// GetProcAddress on that handle gives the served function of an Evt* name.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "iat_patch.h"
#include "platform/channel_service.h"
#include "platform/sim/services/system.h"

namespace qb::winetest {

class ServedWevtapi {
 public:
  // The functions reach `service` while this object lives; there may be one at a time.
  // `available` false: the system has no wevtapi.dll (Windows XP), every load of it fails
  // with ERROR_MOD_NOT_FOUND. `files`: the simulated file system the service reads and writes
  // .evtx files in; the files the caller names by path are the real ones, carried into it
  // before a call reads them and out of it after a call wrote them.
  explicit ServedWevtapi(platform::IChannelService& service, bool available = true,
                         sim::SimSystem* files = nullptr);
  ~ServedWevtapi();
  ServedWevtapi(const ServedWevtapi&) = delete;
  ServedWevtapi& operator=(const ServedWevtapi&) = delete;

  // LoadLibraryExW, LoadLibraryW and GetProcAddress, for a module's kernel32 imports.
  static std::vector<ImportReplacement> LoaderReplacements();
  // The served function of a wevtapi export name; nullptr for any other name.
  static void* Function(const char* name);

  // Calls since this object was made.
  struct Counts {
    std::atomic<std::uint64_t> loads{0};  // loads of wevtapi.dll asked for, refused ones too
    std::atomic<std::uint64_t> next{0};
    std::atomic<std::uint64_t> render{0};
    std::atomic<std::uint64_t> format{0};
    std::atomic<std::uint64_t> lookups{0};  // GetProcAddress of an Evt* function
  };
  static const Counts& Calls();
};

}  // namespace qb::winetest
