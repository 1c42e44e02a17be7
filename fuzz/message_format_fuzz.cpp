// Formats arbitrary message texts. The first byte picks the mode, the rest is UTF-16 text;
// the inserts are numbered strings, always as many as the text names, so the insert
// violation handler (which aborts) must never fire.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/sim/formats/message_format.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const bool ignoreInserts = (data[0] & 1) != 0;
  const bool extraInserts = (data[0] & 2) != 0;
  std::u16string message;
  for (std::size_t i = 1; i + 1 < size; i += 2) {
    message.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
  }

  std::size_t count = qb::sim::HighestInsert(message) + (extraInserts ? 3 : 0);
  std::vector<std::u16string> inserts;
  for (std::size_t i = 0; i < count; ++i) {
    inserts.push_back(u"<%" + std::u16string(1, static_cast<char16_t>(u'0' + i % 10)) + u">");
  }
  qb::sim::FormatResult result = qb::sim::FormatMessageText(message, ignoreInserts, inserts);
  if (result.error != 0) __builtin_trap();
  if (message.find(u'%') == std::u16string::npos && result.text != message) {
    __builtin_trap();  // text without escapes passes through unchanged
  }
  return 0;
}
