// Feeds arbitrary bytes to the event manifest reader, then asks every lookup and the message
// step about what it found: none may read out of bounds, throw or run away.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/sim/formats/wevt_manifest.h"
#include "platform/sim/formats/wevt_messages.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace qb::sim;
  qb::platform::ByteSpan bytes(reinterpret_cast<const std::byte*>(data), size);
  std::string error;
  std::optional<WevtManifest> manifest = ParseWevtManifest(bytes, &error);
  if (manifest.has_value() == !error.empty()) __builtin_trap();
  if (!manifest) return 0;

  // Message texts from the input's tail, so that their escapes and inserts vary as well.
  std::u16string text;
  for (std::size_t i = size > 64 ? size - 64 : 0; i + 1 < size; i += 2) {
    text.push_back(static_cast<char16_t>(data[i] | data[i + 1] << 8));
  }
  const std::vector<std::u16string> values{u"v1", u"%%1", text};
  std::size_t checked = 0;
  for (const WevtProvider& p : manifest->providers) {
    if (manifest->FindProvider(p.guid) == nullptr) __builtin_trap();
    for (const WevtEvent& e : p.events) {
      if (++checked > 64) return 0;  // the lookups are linear: keep each input quick
      if (p.FindEvent(e.id, e.version) == nullptr) __builtin_trap();
      const WevtTemplate* t = p.FindTemplate(e);
      if ((t == nullptr) != (e.templateOffset == 0)) __builtin_trap();
      p.FindTask(e.task);
      p.FindOpcode(e.task, e.opcode);
      p.FindLevel(e.level);
      p.FindChannel(e.channel);
      for (unsigned bit = 0; bit < 65; ++bit) p.FindKeyword(bit);
      MessageTable messages{{e.messageId, text}, {p.messageId, text}};
      FormatWevtEvent(*manifest, {p.guid, e.id, e.version}, values, messages, {{1, text}});
    }
  }
  return 0;
}
