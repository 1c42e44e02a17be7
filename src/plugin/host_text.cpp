#include "plugin/host_text.h"

#include <algorithm>
#include <cstring>

#include "platform/platform.h"

namespace qb::plugin {

std::u16string FromHost(const fs::WCHAR* text) {
  if (text == nullptr) return {};
  return std::u16string(text);
}

std::u16string RemotePath(std::u16string_view path) {
  std::u16string result(path);
  for (auto& c : result) {
    if (c == u'/') c = u'\\';
  }
  if (result.size() > 1 && result.back() == u'\\') result.pop_back();
  return result;
}

std::u16string FromHostAnsi(const char* text) {
  if (text == nullptr) return {};
  return platform::Locale().AnsiToWide(text);
}

void CopyToHost(fs::WCHAR* buffer, std::size_t capacity, std::u16string_view text) {
  if (buffer == nullptr || capacity == 0) return;
  const std::size_t n = std::min(text.size(), capacity - 1);
  std::copy_n(text.begin(), n, buffer);
  buffer[n] = 0;
}

void CopyToHostAnsi(char* buffer, std::size_t capacity, std::u16string_view text) {
  if (buffer == nullptr || capacity == 0) return;
  auto& locale = platform::Locale();
  std::string ansi = locale.WideToAnsi(text);
  // Drop whole characters from the end until the bytes fit.
  std::size_t chars = text.size();
  while (ansi.size() > capacity - 1 && chars > 0) {
    --chars;
    // Never end between the halves of a surrogate pair.
    if (chars > 0 && text[chars - 1] >= 0xD800 && text[chars - 1] <= 0xDBFF) --chars;
    ansi = locale.WideToAnsi(text.substr(0, chars));
  }
  const std::size_t n = std::min(ansi.size(), capacity - 1);
  std::memcpy(buffer, ansi.data(), n);
  buffer[n] = '\0';
}

}  // namespace qb::plugin
