#include "linux/host_ui.h"

#include <iostream>

#include "plugin/host_options.h"
#include "util/text.h"

namespace qb::linuxlib {

std::u16string HostMessageText(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') continue;
    out.push_back(text[i]);
  }
  return out;
}

int HostUi::MessageBox(platform::Handle, std::u16string_view text, std::u16string_view caption,
                       std::uint32_t flags) {
  const bool question = (flags & 0x0F) == platform::mb::kYesNo;
  const std::u16string shown = HostMessageText(text);
  const auto answer = plugin::AskHost(question ? fs::RT_MsgYesNo : fs::RT_MsgOK, caption, shown);
  if (!answer) {
    std::cerr << util::Utf16ToUtf8(caption) << ": " << util::Utf16ToUtf8(shown) << std::endl;
    return question ? platform::mb::kIdNo : platform::mb::kIdOk;
  }
  if (question) return *answer ? platform::mb::kIdYes : platform::mb::kIdNo;
  return platform::mb::kIdOk;
}

}  // namespace qb::linuxlib
