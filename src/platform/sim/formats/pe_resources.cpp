#include "platform/sim/formats/pe_resources.h"

#include <algorithm>
#include <cstdint>
#include <exception>
#include <map>
#include <new>
#include <utility>
#include <vector>

namespace qb::sim {
namespace {

using platform::ByteSpan;

constexpr std::uint32_t kRtIcon = 3;
constexpr std::uint32_t kRtString = 6;
constexpr std::uint32_t kRtMessageTable = 11;
constexpr std::uint32_t kRtGroupIcon = 14;

constexpr std::u16string_view kEventManifestType = u"WEVT_TEMPLATE";

constexpr std::uint32_t kLangEnUs = 1033;
constexpr std::uint32_t kLangNeutral = 0;

constexpr std::uint32_t kHighBit = 0x80000000u;
constexpr std::uint16_t kMessageUnicode = 0x0001;

// Raised inside the parser only; the entry point turns it into nullopt. Keeping the checks
// as throwing reads makes it impossible to forget one on some path.
struct ParseError {
  const char* reason;
};

[[noreturn]] void Fail(const char* reason) {
  throw ParseError{reason};
}

// Little-endian reads that never leave their span.
class Reader {
 public:
  explicit Reader(ByteSpan data) : data_(data) {}

  std::size_t size() const { return data_.size(); }

  ByteSpan Sub(std::uint64_t offset, std::uint64_t length, const char* what) const {
    if (offset > data_.size() || length > data_.size() - offset) Fail(what);
    return data_.subspan(static_cast<std::size_t>(offset), static_cast<std::size_t>(length));
  }
  std::uint8_t U8(std::uint64_t offset, const char* what) const {
    return std::to_integer<std::uint8_t>(Sub(offset, 1, what)[0]);
  }
  std::uint16_t U16(std::uint64_t offset, const char* what) const {
    ByteSpan b = Sub(offset, 2, what);
    return static_cast<std::uint16_t>(std::to_integer<unsigned>(b[0]) |
                                      (std::to_integer<unsigned>(b[1]) << 8));
  }
  std::uint32_t U32(std::uint64_t offset, const char* what) const {
    ByteSpan b = Sub(offset, 4, what);
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | std::to_integer<std::uint32_t>(b[i]);
    return v;
  }

 private:
  ByteSpan data_;
};

std::u16string ReadUtf16(ByteSpan bytes, bool stopAtNul) {
  std::u16string text;
  text.reserve(bytes.size() / 2);
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    auto c = static_cast<char16_t>(std::to_integer<unsigned>(bytes[i]) |
                                   (std::to_integer<unsigned>(bytes[i + 1]) << 8));
    if (stopAtNul && c == 0) break;
    text.push_back(c);
  }
  return text;
}

struct Section {
  std::uint32_t va = 0;
  std::uint32_t mapped = 0;  // bytes backed by the file
  std::uint32_t fileOffset = 0;
};

// The file as the loader maps it, reduced to what resources need: RVA -> file bytes.
class Image {
 public:
  Image(ByteSpan file, std::vector<Section> sections)
      : file_(file), sections_(std::move(sections)) {
    std::sort(sections_.begin(), sections_.end(),
              [](const Section& a, const Section& b) { return a.va < b.va; });
  }

  // The bytes from `rva` to the end of its section.
  ByteSpan MapToSectionEnd(std::uint32_t rva, const char* what) const {
    const Section& s = Find(rva, what);
    std::size_t skip = rva - s.va;
    return file_.subspan(std::size_t{s.fileOffset} + skip, s.mapped - skip);
  }

  ByteSpan Map(std::uint32_t rva, std::uint32_t size, const char* what) const {
    ByteSpan rest = MapToSectionEnd(rva, what);
    if (size > rest.size()) Fail(what);
    return rest.first(size);
  }

 private:
  const Section& Find(std::uint32_t rva, const char* what) const {
    auto it = std::upper_bound(sections_.begin(), sections_.end(), rva,
                               [](std::uint32_t v, const Section& s) { return v < s.va; });
    if (it == sections_.begin()) Fail(what);
    --it;
    if (rva - it->va >= it->mapped) Fail(what);
    return *it;
  }

  ByteSpan file_;
  std::vector<Section> sections_;
};

struct DirEntry {
  bool named = false;
  std::uint32_t id = 0;  // the id, or the offset of the name string when named
  bool isDirectory = false;
  std::uint32_t target = 0;  // offset of the subdirectory or of the data entry
};

class ResourceWalker {
 public:
  ResourceWalker(const Image& image, ByteSpan rsrc, std::uint64_t budget,
                 const AnsiToWide& ansiToWide)
      : image_(image), rsrc_(rsrc), budget_(budget), ansiToWide_(ansiToWide) {}

  void Walk(ModuleImage& out) {
    std::vector<std::pair<std::u16string, ByteSpan>> groups;
    for (const DirEntry& type : ReadDirectory(0)) {
      if (type.named) {
        if (IsEventManifestType(type)) ReadEventManifest(type, out);
        continue;
      }
      if (type.id != kRtIcon && type.id != kRtString && type.id != kRtMessageTable &&
          type.id != kRtGroupIcon) {
        continue;
      }
      if (!type.isDirectory) Fail("resource type entry is not a directory");
      for (const DirEntry& name : ReadDirectory(type.target)) {
        if (!name.isDirectory) Fail("resource name entry is not a directory");
        ByteSpan data = PickLanguage(name.target);
        switch (type.id) {
          case kRtIcon:
            if (!name.named) icons_.emplace(name.id, data);
            break;
          case kRtString:
            if (!name.named) ParseStringBlock(name.id, data, out);
            break;
          case kRtMessageTable:
            ParseMessageTable(data, out);
            break;
          case kRtGroupIcon:
            groups.emplace_back(name.named ? ReadName(name.id) : NumericName(name.id), data);
            break;
        }
      }
    }
    // Groups refer to RT_ICON entries by id, so they are resolved once all icons are known.
    for (auto& [key, data] : groups) {
      if (out.iconGroups.contains(key)) continue;
      out.iconGroups.emplace(key, ParseIconGroup(data));
      out.iconGroupOrder.push_back(key);
    }
  }

 private:
  // Hostile files can make directories or message blocks share bytes and so be walked many
  // times over; a well-formed file touches each byte about once. Charging every unit of work
  // against a budget proportional to the file keeps any input linear.
  void Spend(std::uint64_t units) {
    if (units > budget_) Fail("resources reference the same bytes too often");
    budget_ -= units;
  }

  std::vector<DirEntry> ReadDirectory(std::uint32_t offset) {
    Spend(16);
    std::uint64_t count = std::uint64_t{rsrc_.U16(offset + std::uint64_t{12}, kDirError)} +
                          rsrc_.U16(offset + std::uint64_t{14}, kDirError);
    Spend(count * 8);
    ByteSpan raw = rsrc_.Sub(offset + std::uint64_t{16}, count * 8, kDirError);
    Reader entries(raw);
    std::vector<DirEntry> result;
    result.reserve(static_cast<std::size_t>(count));
    for (std::uint64_t i = 0; i < count; ++i) {
      std::uint32_t name = entries.U32(i * 8, kDirError);
      std::uint32_t data = entries.U32(i * 8 + 4, kDirError);
      result.push_back(DirEntry{(name & kHighBit) != 0, name & ~kHighBit, (data & kHighBit) != 0,
                                data & ~kHighBit});
    }
    return result;
  }

  // Type names compare without regard to case, as FindResourceW compares them.
  bool IsEventManifestType(const DirEntry& type) {
    std::u16string name = ReadName(type.id);
    if (name.size() != kEventManifestType.size()) return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
      char16_t c = name[i];
      if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
      if (c != kEventManifestType[i]) return false;
    }
    return true;
  }

  // Only id 1 is what the event log service loads.
  void ReadEventManifest(const DirEntry& type, ModuleImage& out) {
    if (!type.isDirectory) Fail("resource type entry is not a directory");
    for (const DirEntry& name : ReadDirectory(type.target)) {
      if (name.named || name.id != 1) continue;
      if (!name.isDirectory) Fail("resource name entry is not a directory");
      ByteSpan data = PickLanguage(name.target);
      Spend(data.size());
      out.eventManifest.assign(data.begin(), data.end());
    }
  }

  std::u16string ReadName(std::uint32_t offset) {
    std::uint16_t length = rsrc_.U16(offset, kNameError);
    Spend(2 + std::uint64_t{length} * 2);
    return ReadUtf16(rsrc_.Sub(offset + std::uint64_t{2}, std::uint64_t{length} * 2, kNameError),
                     false);
  }

  static std::u16string NumericName(std::uint32_t id) {
    std::u16string digits;
    do {
      digits.insert(digits.begin(), static_cast<char16_t>(u'0' + id % 10));
      id /= 10;
    } while (id != 0);
    return u"#" + digits;
  }

  // The language LoadStringW and FormatMessageW (language 0x400) settle on for an en-US
  // process: en-US, else neutral, else whatever comes first.
  ByteSpan PickLanguage(std::uint32_t directory) {
    const DirEntry* chosen = nullptr;
    std::vector<DirEntry> languages = ReadDirectory(directory);
    for (const DirEntry& lang : languages) {
      if (lang.named || lang.isDirectory) Fail("resource language entry is malformed");
      if (lang.id == kLangEnUs) {
        chosen = &lang;
        break;
      }
      if (lang.id == kLangNeutral && (chosen == nullptr || chosen->id != kLangNeutral)) {
        chosen = &lang;
      } else if (chosen == nullptr) {
        chosen = &lang;
      }
    }
    if (chosen == nullptr) Fail("resource has no language");
    Spend(16);
    std::uint32_t rva = rsrc_.U32(chosen->target, kDataEntryError);
    std::uint32_t size = rsrc_.U32(chosen->target + std::uint64_t{4}, kDataEntryError);
    return image_.Map(rva, size, "resource data lies outside the file's sections");
  }

  void ParseStringBlock(std::uint32_t block, ByteSpan data, ModuleImage& out) {
    if (block == 0 || block > 0x1000) return;  // string ids are 16-bit
    Reader r(data);
    std::uint64_t pos = 0;
    for (std::uint32_t i = 0; i < 16; ++i) {
      std::uint16_t length = r.U16(pos, kStringError);
      Spend(2 + std::uint64_t{length} * 2);
      ByteSpan chars = r.Sub(pos + 2, std::uint64_t{length} * 2, kStringError);
      pos += 2 + std::uint64_t{length} * 2;
      // LoadStringW cannot tell an empty string from a missing one.
      if (length != 0) out.strings.emplace((block - 1) * 16 + i, ReadUtf16(chars, false));
    }
  }

  void ParseMessageTable(ByteSpan data, ModuleImage& out) {
    Reader r(data);
    std::uint32_t blockCount = r.U32(0, kMessageError);
    Spend(std::uint64_t{blockCount} * 12);
    Reader blocks(r.Sub(4, std::uint64_t{blockCount} * 12, kMessageError));
    for (std::uint64_t b = 0; b < blockCount; ++b) {
      std::uint32_t low = blocks.U32(b * 12, kMessageError);
      std::uint32_t high = blocks.U32(b * 12 + 4, kMessageError);
      std::uint64_t pos = blocks.U32(b * 12 + 8, kMessageError);
      if (high < low) Fail(kMessageError);
      // Every entry takes at least four bytes, so a huge id range runs out of data quickly.
      for (std::uint64_t id = low; id <= high; ++id) {
        std::uint16_t length = r.U16(pos, kMessageError);
        std::uint16_t flags = r.U16(pos + 2, kMessageError);
        if (length < 4) Fail(kMessageError);
        Spend(length);
        ByteSpan text = r.Sub(pos + 4, length - 4u, kMessageError);
        pos += length;
        out.messages.emplace(static_cast<std::uint32_t>(id),
                             (flags & kMessageUnicode) != 0 ? ReadUtf16(text, true) : Widen(text));
      }
    }
  }

  std::u16string Widen(ByteSpan text) {
    std::string narrow;
    for (std::byte b : text) {
      if (b == std::byte{0}) break;
      narrow.push_back(static_cast<char>(b));
    }
    if (!ansiToWide_) return std::u16string(narrow.begin(), narrow.end());  // Latin-1
    return ansiToWide_(narrow);
  }

  IconGroup ParseIconGroup(ByteSpan data) {
    Reader r(data);
    std::uint16_t count = r.U16(4, kGroupError);
    Spend(6 + std::uint64_t{count} * 14);
    Reader entries(r.Sub(6, std::uint64_t{count} * 14, kGroupError));
    IconGroup group;
    for (std::uint32_t i = 0; i < count; ++i) {
      std::uint64_t e = std::uint64_t{i} * 14;
      auto icon = icons_.find(entries.U16(e + 12, kGroupError));
      // Windows only fails once it loads the missing image; the rest of the group is usable.
      if (icon == icons_.end()) continue;
      IconImage image;
      std::uint8_t width = entries.U8(e, kGroupError);
      std::uint8_t height = entries.U8(e + 1, kGroupError);
      image.width = width == 0 ? 256 : width;
      image.height = height == 0 ? 256 : height;
      image.bitCount = entries.U16(e + 6, kGroupError);
      ByteSpan bytes = icon->second;
      Spend(bytes.size());
      if (image.bitCount == 0 && bytes.size() >= 16 && Reader(bytes).U32(0, kGroupError) == 40) {
        image.bitCount = Reader(bytes).U16(14, kGroupError);  // BITMAPINFOHEADER.biBitCount
      }
      image.data.assign(bytes.begin(), bytes.end());
      group.images.push_back(std::move(image));
    }
    return group;
  }

  static constexpr const char* kDirError = "resource directory lies outside the section";
  static constexpr const char* kNameError = "resource name lies outside the section";
  static constexpr const char* kDataEntryError = "resource data entry lies outside the section";
  static constexpr const char* kStringError = "string table is truncated";
  static constexpr const char* kMessageError = "message table is malformed";
  static constexpr const char* kGroupError = "icon group is truncated";

  const Image& image_;
  Reader rsrc_;
  std::uint64_t budget_;
  const AnsiToWide& ansiToWide_;
  std::map<std::uint32_t, ByteSpan> icons_;
};

ModuleImage Parse(ByteSpan file, const AnsiToWide& ansiToWide) {
  Reader r(file);
  if (file.size() < 64 || r.U16(0, "not an MZ executable") != 0x5A4D) Fail("not an MZ executable");
  std::uint64_t pe = r.U32(0x3C, "not an MZ executable");
  if (pe + 4 > file.size() || r.U32(pe, "no PE signature") != 0x00004550) Fail("no PE signature");

  const char* headerError = "PE headers are truncated";
  std::uint64_t fileHeader = pe + 4;
  std::uint16_t sectionCount = r.U16(fileHeader + 2, headerError);
  std::uint16_t optionalSize = r.U16(fileHeader + 16, headerError);
  std::uint64_t optional = fileHeader + 20;
  r.Sub(optional, optionalSize, headerError);

  ModuleImage out;
  std::uint16_t magic = r.U16(optional, headerError);
  if (magic == 0x20B) {
    out.is64Bit = true;
  } else if (magic != 0x10B) {
    Fail("unknown optional header magic");
  }
  std::uint64_t dirStart = out.is64Bit ? 112 : 96;
  if (optionalSize < dirStart) Fail("optional header is too small");
  std::uint64_t dirCount = std::min<std::uint64_t>(r.U32(optional + dirStart - 4, headerError),
                                                   (optionalSize - dirStart) / 8);
  std::uint32_t rsrcRva = 0;
  std::uint32_t rsrcSize = 0;
  if (dirCount > 2) {
    rsrcRva = r.U32(optional + dirStart + 16, headerError);
    rsrcSize = r.U32(optional + dirStart + 20, headerError);
  }

  Reader table(r.Sub(optional + optionalSize, std::uint64_t{sectionCount} * 40,
                     "section table is truncated"));
  std::vector<Section> sections;
  for (std::uint64_t i = 0; i < sectionCount; ++i) {
    std::uint64_t s = i * 40;
    std::uint32_t virtualSize = table.U32(s + 8, headerError);
    std::uint32_t va = table.U32(s + 12, headerError);
    std::uint32_t rawSize = table.U32(s + 16, headerError);
    std::uint32_t rawOffset = table.U32(s + 20, headerError);
    if (rawSize == 0) continue;
    // The loader refuses images whose sections run past the end of the file.
    r.Sub(rawOffset, rawSize, "section data runs past the end of the file");
    std::uint32_t mapped = virtualSize == 0 ? rawSize : std::min(virtualSize, rawSize);
    if (mapped != 0) sections.push_back(Section{va, mapped, rawOffset});
  }
  if (rsrcRva == 0 || rsrcSize == 0) return out;

  Image image(file, std::move(sections));
  ByteSpan rsrc =
      image.MapToSectionEnd(rsrcRva, "resource directory lies outside the file's sections");
  ResourceWalker walker(image, rsrc, std::uint64_t{file.size()} * 8 + 65536, ansiToWide);
  walker.Walk(out);
  return out;
}

}  // namespace

std::optional<ModuleImage> ParsePeResources(platform::ByteSpan file, const AnsiToWide& ansiToWide,
                                            std::string* error) {
  const char* reason = nullptr;
  try {
    std::optional<ModuleImage> image = Parse(file, ansiToWide);
    if (error != nullptr) error->clear();
    return image;
  } catch (const ParseError& e) {
    reason = e.reason;
  } catch (const std::bad_alloc&) {
    reason = "out of memory";
  } catch (...) {  // from the ANSI conversion
    reason = "unexpected exception while reading resources";
  }
  if (error != nullptr) {
    try {
      *error = reason;
    } catch (...) {  // out of memory even for the reason: leave *error as it is
    }
  }
  return std::nullopt;
}

}  // namespace qb::sim
