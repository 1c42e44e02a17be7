// Message modules: loading libraries for their message tables, formatting messages, and the
// plugin's own string resources.
#pragma once

#include "platform/types.h"

namespace qb::platform {

class IMessageModules {
 public:
  virtual ~IMessageModules() = default;

  // LoadLibraryW: loads the library in full. 0 and the error on failure.
  virtual Handle LoadLibrary(std::u16string_view path, ErrorCode& error) = 0;

  // LoadLibraryExW with LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE (the data
  // file alone where the system knows no more): maps the file for its resources only, none of
  // its code runs, whatever its bitness. 0 and the error on failure.
  virtual Handle LoadLibraryAsDataFile(std::u16string_view path, ErrorCode& error) = 0;

  // GetModuleHandleExW(0): the module of that path if the process has it loaded already, else 0.
  // The module gains a reference, so its owner cannot unload it under the caller: release it
  // with FreeLibrary.
  virtual Handle GetModuleHandle(std::u16string_view path) = 0;

  // FreeLibrary.
  virtual void FreeLibrary(Handle module) = 0;

  // The plugin's own module.
  virtual Handle OwnModule() = 0;

  // FormatMessageW(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_IGNORE_INSERTS), language
  // 0x400: the message text with its insert sequences left as they are.
  // ERROR_MR_MID_NOT_FOUND when the module has no such message; `text` is empty on failure.
  virtual ErrorCode MessageTemplate(Handle module, std::uint32_t id, std::u16string& text) = 0;

  // FormatMessageW(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ARGUMENT_ARRAY), language
  // 0x400, with `inserts` as the array of string arguments. The platform reads as many
  // arguments as the message names, so callers must never pass fewer than that. `text` is
  // empty on failure.
  virtual ErrorCode FormatMessage(Handle module, std::uint32_t id,
                                  std::span<const std::u16string> inserts,
                                  std::u16string& text) = 0;

  // FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS): the system's
  // text for an error code; empty when it has none.
  virtual std::u16string SystemErrorText(ErrorCode code) = 0;

  // LoadStringW(own module, id): the string resource, empty when missing.
  virtual std::u16string LoadOwnString(std::uint32_t id) = 0;
};

}  // namespace qb::platform
