#include "eventlog/errors.h"

#include "platform/platform.h"
#include "util/text.h"

namespace qb {

EFWEventLog::EFWEventLog(std::u16string message)
    : std::runtime_error(util::Utf16ToUtf8(message)), message_(std::move(message)) {}

std::u16string OwnString(std::uint32_t id, std::u16string_view fallback) {
  std::u16string text = platform::Modules().LoadOwnString(id);
  return text.empty() ? std::u16string(fallback) : text;
}

}  // namespace qb
