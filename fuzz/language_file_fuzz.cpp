// Arbitrary bytes as a language file and as a settings file: the reader must neither crash
// nor misbehave, whatever the encoding, line structure or length.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "localization/ini_file.h"
#include "localization/language.h"
#include "platform/sim/machine.h"

namespace {

constexpr char16_t kLangDir[] =
    u"C:\\Program Files\\totalcmd\\plugins\\wfx\\Quillerbankton\\Language\\";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  qb::sim::Machine machine;
  qb::platform::ScopedInstall install(machine.platform());
  const auto bytes = std::as_bytes(std::span(data, size));
  // The same input as the current language file and as one more file of the list.
  machine.system().AddFile(std::u16string(kLangDir) + u"Eng.lng", bytes);
  machine.system().AddFile(std::u16string(kLangDir) + u"Other.lng", bytes);
  machine.system().AddFile(
      u"C:\\Program Files\\totalcmd\\plugins\\wfx\\Quillerbankton\\Quillerbankton.ini", bytes);

  qb::TLngResource lng;
  for (std::uint16_t id : {0, 10, 12, 37, 105, 201, 205, 65535}) (void)lng.GetLocaleString(id);
  const auto n = lng.LoadLocaleList();
  for (std::int32_t i = 0; i <= n; ++i) (void)lng.GetLanguageName(static_cast<std::uint16_t>(i));
  lng.SetCurrentLocaleFile(std::u16string(kLangDir) + u"Other.lng");

  // The engine directly: parse, enumerate, rewrite and parse again.
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  auto doc =
      qb::ini::Parse(text, [&](std::string_view s) { return machine.locale().AnsiToWide(s); });
  for (const auto& section : qb::ini::SectionNames(doc)) {
    for (const auto& [key, value] : qb::ini::SectionKeys(doc, section)) {
      (void)qb::ini::Lookup(doc, section, key);
    }
  }
  qb::ini::SetKey(doc, u"General", u"Language", u"Eng.lng");
  if (qb::ini::Lookup(doc, u"General", u"Language") != u"Eng.lng") __builtin_trap();
  return 0;
}
