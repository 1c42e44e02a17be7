// Errors of the event log subsystem and the string resources that word them.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace qb {

// The error of a misuse of the event log object: a state that is not open or is open
// already, a missing callback, an event type that cannot be written.
class EFWEventLog : public std::runtime_error {
 public:
  explicit EFWEventLog(std::u16string message);
  const std::u16string& Message() const { return message_; }

 private:
  std::u16string message_;
};

// Numbers of the library's own string resources.
namespace res {
inline constexpr std::uint32_t kWrongMode = 65171;          // operation needs mode %s
inline constexpr std::uint32_t kNoCallback = 65172;         // no callback function given
inline constexpr std::uint32_t kNotifyMode = 65173;         // use Register/DeRegisterChangeNotify
inline constexpr std::uint32_t kNotifyTwice = 65174;        // deregister before registering again
inline constexpr std::uint32_t kNotifyThreadError = 65175;  // wait thread error %d, "%s"
inline constexpr std::uint32_t kTypeConversion = 65176;     // type conversion error
inline constexpr std::uint32_t kEventMessageFile = 65168;
inline constexpr std::uint32_t kCategoryMessageFile = 65199;
inline constexpr std::uint32_t kCategoryCount = 65169;
inline constexpr std::uint32_t kTypesSupported = 65170;
}  // namespace res

// The text of an own string resource; `fallback` when the module lacks it.
std::u16string OwnString(std::uint32_t id, std::u16string_view fallback = {});

}  // namespace qb
