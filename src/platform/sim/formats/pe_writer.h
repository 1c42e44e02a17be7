// Builds small PE32 / PE32+ DLL files in memory that hold resources only: string tables, message
// tables, icon groups and raw resources under numbered or named types, laid out the way the
// resource compilers lay them out. The result is a complete file: a message DLL or provider
// library for the simulated machine, made by tests and by the sample generator.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "platform/types.h"

namespace qb::sim {

inline constexpr std::uint16_t kPeLangEnUs = 1033;
inline constexpr std::uint16_t kPeLangNeutral = 0;
inline constexpr std::uint16_t kPeLangGerman = 1031;

// Where the built file keeps its resources, for tests that damage them on purpose.
inline constexpr std::size_t kPeRsrcFileOffset = 0x400;
inline constexpr std::uint32_t kPeRsrcRva = 0x2000;

struct PeIcon {
  std::uint8_t width = 32;  // 0 stands for 256, as in the group directory
  std::uint8_t height = 32;
  std::uint16_t bitCount = 32;
  platform::Bytes data;  // the RT_ICON bytes (a BMP without file header, or a PNG)
};

// The resource configuration ("MUI" type, id 1) of a language-neutral library or of its
// language file (<dir>\<language>\<file>.mui): which resource types stay in the library and
// which its language files hold.
struct MuiConfig {
  bool languageFile = false;  // the .mui file's own configuration, else the library's
  std::u16string language;    // "en-US": the file's language, or the library's fallback
  std::vector<std::u16string> mainNamedTypes;  // e.g. WEVT_TEMPLATE
  std::vector<std::uint32_t> mainIdTypes;      // e.g. 16 (version)
  std::vector<std::u16string> muiNamedTypes;
  std::vector<std::uint32_t> muiIdTypes;  // e.g. 11 (message table)
};
platform::Bytes WriteMuiResource(const MuiConfig& config);

class PeWriter {
 public:
  explicit PeWriter(bool is64Bit = true) : is64Bit_(is64Bit) {}

  PeWriter& AddString(std::uint16_t id, std::u16string text, std::uint16_t language = kPeLangEnUs);

  // A message-table entry stored as UTF-16 (what windmc -u writes). Message compilers end
  // every text with CR LF; include it to mirror a real message file.
  PeWriter& AddMessage(std::uint32_t id, std::u16string text, std::uint16_t language = kPeLangEnUs);
  // An 8-bit message-table entry; the bytes are stored as given.
  PeWriter& AddAnsiMessage(std::uint32_t id, std::string text,
                           std::uint16_t language = kPeLangEnUs);

  // A named icon group; the name is upper-cased as the resource compiler does. The images
  // become RT_ICON resources with ids handed out in the order of the calls.
  PeWriter& AddIconGroup(std::u16string name, std::vector<PeIcon> images,
                         std::uint16_t language = kPeLangEnUs);
  PeWriter& AddIconGroup(std::uint16_t id, std::vector<PeIcon> images,
                         std::uint16_t language = kPeLangEnUs);

  // Any resource with the given bytes, e.g. a deliberately broken message table.
  PeWriter& AddRawResource(std::uint16_t type, std::uint16_t id, std::uint16_t language,
                           platform::Bytes data);
  // The same under a named type such as "WEVT_TEMPLATE", stored as given (resource compilers
  // upper-case type names; pass it that way to mirror them).
  PeWriter& AddRawResource(std::u16string type, std::uint16_t id, std::uint16_t language,
                           platform::Bytes data);

  // The whole file. It ends exactly where its last section ends.
  platform::Bytes Build() const;

 private:
  // Named entries sort before ids in a resource directory, names ordinally.
  struct NameKey {
    bool isId = false;
    std::u16string name;
    std::uint16_t id = 0;
    friend bool operator<(const NameKey& a, const NameKey& b) {
      return std::tie(a.isId, a.name, a.id) < std::tie(b.isId, b.name, b.id);
    }
  };
  struct Message {
    bool unicode = true;
    std::u16string wide;
    std::string narrow;
  };
  using Tree = std::map<NameKey, std::map<NameKey, std::map<std::uint16_t, platform::Bytes>>>;
  static NameKey Id(std::uint16_t id) { return NameKey{true, {}, id}; }

  void AddIconGroup(NameKey key, std::vector<PeIcon> images, std::uint16_t language);
  Tree Resources() const;
  platform::Bytes ResourceSection(const Tree& tree) const;

  bool is64Bit_;
  std::map<std::pair<std::uint16_t, std::uint16_t>, std::u16string> strings_;  // (lang, id)
  std::map<std::uint16_t, std::map<std::uint32_t, Message>> messages_;         // lang -> id
  Tree explicit_;  // icons and raw resources
  std::uint16_t nextIconId_ = 1;
};

}  // namespace qb::sim
