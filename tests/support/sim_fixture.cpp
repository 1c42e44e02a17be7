#include "support/sim_fixture.h"

#include <fstream>
#include <iterator>

#include "util/text.h"

namespace qb::support {

bool SimTest::LoadPluginResources() {
#ifdef QB_PLUGIN_PE
  std::ifstream in(QB_PLUGIN_PE, std::ios::binary);
  if (!in) return false;
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::string error;
  const bool ok = machine_->modules().LoadOwnImageFromPe(
      std::as_bytes(std::span(bytes.data(), bytes.size())), &error);
  EXPECT_TRUE(ok) << error;
  return ok;
#else
  return false;
#endif
}

std::u16string SimTest::FileText(std::u16string_view path) {
  const auto bytes = machine_->system().FileContents(path);
  if (!bytes) return {};
  if (bytes->size() >= 2 && (*bytes)[0] == std::byte{0xFF} && (*bytes)[1] == std::byte{0xFE}) {
    return util::FromUtf16LeBytes(std::span(*bytes).subspan(2));
  }
  std::u16string text;
  for (auto b : *bytes) text.push_back(static_cast<char16_t>(std::to_integer<unsigned>(b)));
  return text;
}

std::string U8(std::u16string_view text) {
  return util::Utf16ToUtf8(text);
}

}  // namespace qb::support
