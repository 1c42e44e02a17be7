#include "platform/sim/formats/pe_writer.h"

#include <algorithm>
#include <utility>

namespace qb::sim {
namespace {

using platform::Bytes;

constexpr std::uint16_t kRtIcon = 3;
constexpr std::uint16_t kRtString = 6;
constexpr std::uint16_t kRtMessageTable = 11;
constexpr std::uint16_t kRtGroupIcon = 14;

constexpr std::uint32_t kFileAlignment = 0x200;
constexpr std::uint32_t kSectionAlignment = 0x1000;
constexpr std::uint32_t kTextRva = 0x1000;
constexpr std::uint32_t kTextFileOffset = 0x200;

std::size_t AlignUp(std::size_t value, std::size_t alignment) {
  return (value + alignment - 1) / alignment * alignment;
}

void Put(Bytes& out, std::size_t offset, std::uint64_t value, int size) {
  if (out.size() < offset + size) out.resize(offset + size);
  for (int i = 0; i < size; ++i) out[offset + i] = static_cast<std::byte>(value >> (8 * i));
}
void Put8(Bytes& out, std::size_t offset, std::uint64_t v) {
  Put(out, offset, v, 1);
}
void Put16(Bytes& out, std::size_t offset, std::uint64_t v) {
  Put(out, offset, v, 2);
}
void Put32(Bytes& out, std::size_t offset, std::uint64_t v) {
  Put(out, offset, v, 4);
}
void Put64(Bytes& out, std::size_t offset, std::uint64_t v) {
  Put(out, offset, v, 8);
}

void Append16(Bytes& out, std::uint64_t v) {
  Put16(out, out.size(), v);
}
void Append32(Bytes& out, std::uint64_t v) {
  Put32(out, out.size(), v);
}

// One message-table entry as message compilers write it: NUL-terminated, padded to 4 bytes.
void AppendMessageEntry(Bytes& out, const std::u16string& wide, const std::string& narrow,
                        bool unicode) {
  std::size_t textBytes = unicode ? (wide.size() + 1) * 2 : narrow.size() + 1;
  std::size_t start = out.size();
  std::size_t length = AlignUp(4 + textBytes, 4);
  out.resize(start + length);
  Put16(out, start, length);
  Put16(out, start + 2, unicode ? 1 : 0);
  if (unicode) {
    for (std::size_t i = 0; i < wide.size(); ++i) Put16(out, start + 4 + 2 * i, wide[i]);
  } else {
    for (std::size_t i = 0; i < narrow.size(); ++i) Put8(out, start + 4 + i, narrow[i]);
  }
}

}  // namespace

PeWriter& PeWriter::AddString(std::uint16_t id, std::u16string text, std::uint16_t language) {
  strings_[{language, id}] = std::move(text);
  return *this;
}

PeWriter& PeWriter::AddMessage(std::uint32_t id, std::u16string text, std::uint16_t language) {
  messages_[language][id] = Message{true, std::move(text), {}};
  return *this;
}

PeWriter& PeWriter::AddAnsiMessage(std::uint32_t id, std::string text, std::uint16_t language) {
  messages_[language][id] = Message{false, {}, std::move(text)};
  return *this;
}

PeWriter& PeWriter::AddIconGroup(std::u16string name, std::vector<PeIcon> images,
                                 std::uint16_t language) {
  for (char16_t& c : name) {
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
  }
  AddIconGroup(NameKey{false, std::move(name), 0}, std::move(images), language);
  return *this;
}

PeWriter& PeWriter::AddIconGroup(std::uint16_t id, std::vector<PeIcon> images,
                                 std::uint16_t language) {
  AddIconGroup(NameKey{true, {}, id}, std::move(images), language);
  return *this;
}

void PeWriter::AddIconGroup(NameKey key, std::vector<PeIcon> images, std::uint16_t language) {
  // GRPICONDIR: reserved, type 1 (icons), count, then one 14-byte entry per image.
  Bytes group;
  Append16(group, 0);
  Append16(group, 1);
  Append16(group, images.size());
  for (PeIcon& icon : images) {
    std::uint16_t iconId = nextIconId_++;
    group.push_back(std::byte{icon.width});
    group.push_back(std::byte{icon.height});
    group.push_back(std::byte{
        static_cast<std::uint8_t>(icon.bitCount >= 8 ? 0 : 1u << icon.bitCount)});  // colour count
    group.push_back(std::byte{0});
    Append16(group, 1);  // planes
    Append16(group, icon.bitCount);
    Append32(group, icon.data.size());
    Append16(group, iconId);
    explicit_[Id(kRtIcon)][Id(iconId)][language] = std::move(icon.data);
  }
  explicit_[Id(kRtGroupIcon)][std::move(key)][language] = std::move(group);
}

PeWriter& PeWriter::AddRawResource(std::uint16_t type, std::uint16_t id, std::uint16_t language,
                                   Bytes data) {
  explicit_[Id(type)][Id(id)][language] = std::move(data);
  return *this;
}

PeWriter& PeWriter::AddRawResource(std::u16string type, std::uint16_t id, std::uint16_t language,
                                   Bytes data) {
  explicit_[NameKey{false, std::move(type), 0}][Id(id)][language] = std::move(data);
  return *this;
}

PeWriter::Tree PeWriter::Resources() const {
  Tree tree = explicit_;

  // String tables: block b holds ids (b-1)*16 .. (b-1)*16+15, each as length + UTF-16.
  std::map<std::pair<std::uint16_t, std::uint16_t>, std::vector<const std::u16string*>> blocks;
  for (const auto& [key, text] : strings_) {
    auto& block = blocks[{key.first, static_cast<std::uint16_t>(key.second / 16 + 1)}];
    block.resize(16, nullptr);
    block[key.second % 16] = &text;
  }
  for (const auto& [key, slots] : blocks) {
    Bytes data;
    for (const std::u16string* text : slots) {
      Append16(data, text != nullptr ? text->size() : 0);
      if (text != nullptr) {
        for (char16_t c : *text) Append16(data, c);
      }
    }
    tree[Id(kRtString)][Id(key.second)][key.first] = std::move(data);
  }

  // One message table (id 1) per language, a block per run of consecutive ids.
  for (const auto& [language, entries] : messages_) {
    std::vector<std::pair<std::uint32_t, std::uint32_t>> ranges;
    for (const auto& [id, message] : entries) {
      if (!ranges.empty() && ranges.back().second + 1 == id) {
        ranges.back().second = id;
      } else {
        ranges.emplace_back(id, id);
      }
    }
    Bytes data;
    Append32(data, ranges.size());
    data.resize(4 + 12 * ranges.size());
    auto entry = entries.begin();
    for (std::size_t b = 0; b < ranges.size(); ++b) {
      Put32(data, 4 + 12 * b, ranges[b].first);
      Put32(data, 8 + 12 * b, ranges[b].second);
      Put32(data, 12 + 12 * b, data.size());
      for (std::uint64_t id = ranges[b].first; id <= ranges[b].second; ++id, ++entry) {
        AppendMessageEntry(data, entry->second.wide, entry->second.narrow, entry->second.unicode);
      }
    }
    tree[Id(kRtMessageTable)][Id(1)][language] = std::move(data);
  }
  return tree;
}

Bytes PeWriter::ResourceSection(const Tree& tree) const {
  // Directories first, then the name strings, the data entries and the data, the way
  // linkers arrange .rsrc. Offsets are worked out in a first pass and written in a second.
  std::size_t offset = 16 + 8 * tree.size();
  std::map<NameKey, std::size_t> typeDirs;
  std::map<std::pair<NameKey, NameKey>, std::size_t> nameDirs;
  for (const auto& [type, names] : tree) {
    typeDirs[type] = offset;
    offset += 16 + 8 * names.size();
  }
  for (const auto& [type, names] : tree) {
    for (const auto& [name, languages] : names) {
      nameDirs[{type, name}] = offset;
      offset += 16 + 8 * languages.size();
    }
  }
  std::map<std::u16string, std::size_t> strings;
  for (const auto& [type, names] : tree) {
    if (!type.isId && !strings.contains(type.name)) {
      strings[type.name] = offset;
      offset += 2 + 2 * type.name.size();
    }
    for (const auto& [name, languages] : names) {
      if (!name.isId && !strings.contains(name.name)) {
        strings[name.name] = offset;
        offset += 2 + 2 * name.name.size();
      }
    }
  }
  offset = AlignUp(offset, 4);
  std::size_t dataEntries = offset;
  for (const auto& [type, names] : tree) {
    for (const auto& [name, languages] : names) offset += 16 * languages.size();
  }

  Bytes out(offset);
  auto putDirectory = [&](std::size_t at, std::size_t named, std::size_t ids) {
    Put16(out, at + 12, named);
    Put16(out, at + 14, ids);
  };
  auto nameField = [&](const NameKey& key) -> std::uint32_t {
    return key.isId ? key.id : 0x80000000u | static_cast<std::uint32_t>(strings.at(key.name));
  };

  std::size_t namedTypes = 0;
  for (const auto& [type, names] : tree) namedTypes += type.isId ? 0 : 1;
  putDirectory(0, namedTypes, tree.size() - namedTypes);
  std::size_t rootEntry = 16;
  std::size_t entry = dataEntries;
  for (const auto& [type, names] : tree) {
    Put32(out, rootEntry, nameField(type));
    Put32(out, rootEntry + 4, 0x80000000u | typeDirs[type]);
    rootEntry += 8;
    std::size_t named = 0;
    for (const auto& [name, languages] : names) named += name.isId ? 0 : 1;
    putDirectory(typeDirs[type], named, names.size() - named);
    std::size_t nameEntry = typeDirs[type] + 16;
    for (const auto& [name, languages] : names) {
      std::size_t dir = nameDirs[{type, name}];
      Put32(out, nameEntry, nameField(name));
      Put32(out, nameEntry + 4, 0x80000000u | dir);
      nameEntry += 8;
      putDirectory(dir, 0, languages.size());
      std::size_t langEntry = dir + 16;
      for (const auto& [language, data] : languages) {
        Put32(out, langEntry, language);
        Put32(out, langEntry + 4, entry);
        langEntry += 8;
        std::size_t dataOffset = AlignUp(out.size(), 8);
        out.resize(dataOffset);
        out.insert(out.end(), data.begin(), data.end());
        Put32(out, entry, kPeRsrcRva + dataOffset);
        Put32(out, entry + 4, data.size());
        entry += 16;
      }
    }
  }
  for (const auto& [name, at] : strings) {
    Put16(out, at, name.size());
    for (std::size_t i = 0; i < name.size(); ++i) Put16(out, at + 2 + 2 * i, name[i]);
  }
  return out;
}

Bytes PeWriter::Build() const {
  Tree tree = Resources();
  Bytes rsrc = tree.empty() ? Bytes{} : ResourceSection(tree);
  const std::size_t sectionCount = rsrc.empty() ? 1 : 2;
  const std::size_t rsrcRaw = AlignUp(rsrc.size(), kFileAlignment);
  const std::size_t imageEnd = rsrc.empty() ? kTextRva + kSectionAlignment
                                            : kPeRsrcRva + AlignUp(rsrc.size(), kSectionAlignment);

  Bytes out(kPeRsrcFileOffset + rsrcRaw);
  Put16(out, 0, 0x5A4D);  // "MZ"
  // e_lfarlc 0x40 marks a new-style executable; older readers (libexe) look at it first.
  Put16(out, 0x18, 0x40);
  const std::size_t pe = 0x40;
  Put32(out, 0x3C, pe);
  Put32(out, pe, 0x00004550);  // "PE\0\0"

  const std::size_t fileHeader = pe + 4;
  const std::size_t optionalSize = is64Bit_ ? 240 : 224;
  Put16(out, fileHeader, is64Bit_ ? 0x8664 : 0x014C);
  Put16(out, fileHeader + 2, sectionCount);
  Put16(out, fileHeader + 16, optionalSize);
  // Executable, DLL; 32-bit machine or large-address aware.
  Put16(out, fileHeader + 18, is64Bit_ ? 0x2022 : 0x2102);

  const std::size_t opt = fileHeader + 20;
  Put16(out, opt, is64Bit_ ? 0x20B : 0x10B);
  Put8(out, opt + 2, 2);                // linker version
  Put32(out, opt + 4, kFileAlignment);  // SizeOfCode
  Put32(out, opt + 8, rsrcRaw);         // SizeOfInitializedData
  Put32(out, opt + 20, kTextRva);       // BaseOfCode
  if (is64Bit_) {
    Put64(out, opt + 24, 0x180000000ull);
  } else {
    Put32(out, opt + 24, kPeRsrcRva);  // BaseOfData
    Put32(out, opt + 28, 0x10000000u);
  }
  Put32(out, opt + 32, kSectionAlignment);
  Put32(out, opt + 36, kFileAlignment);
  Put16(out, opt + 40, 6);  // operating system version
  Put16(out, opt + 48, 6);  // subsystem version
  Put32(out, opt + 56, imageEnd);
  Put32(out, opt + 60, kTextFileOffset);  // SizeOfHeaders
  Put16(out, opt + 68, 2);                // GUI subsystem
  const std::size_t reserves = 72;
  const int sizeOfReserve = is64Bit_ ? 8 : 4;
  Put(out, opt + reserves, 0x100000, sizeOfReserve);
  Put(out, opt + reserves + sizeOfReserve, 0x1000, sizeOfReserve);
  Put(out, opt + reserves + 2 * sizeOfReserve, 0x100000, sizeOfReserve);
  Put(out, opt + reserves + 3 * sizeOfReserve, 0x1000, sizeOfReserve);
  const std::size_t directories = is64Bit_ ? 112 : 96;
  Put32(out, opt + directories - 4, 16);
  if (!rsrc.empty()) {
    Put32(out, opt + directories + 16, kPeRsrcRva);
    Put32(out, opt + directories + 20, rsrc.size());
  }

  auto putSection = [&](std::size_t index, const char* name, std::size_t virtualSize,
                        std::size_t rva, std::size_t rawSize, std::size_t rawOffset,
                        std::uint32_t characteristics) {
    const std::size_t at = opt + optionalSize + 40 * index;
    for (std::size_t i = 0; name[i] != '\0'; ++i) Put8(out, at + i, name[i]);
    Put32(out, at + 8, virtualSize);
    Put32(out, at + 12, rva);
    Put32(out, at + 16, rawSize);
    Put32(out, at + 20, rawOffset);
    Put32(out, at + 36, characteristics);
  };
  // A code section that only returns, so the resources are not in the first section.
  putSection(0, ".text", 1, kTextRva, kFileAlignment, kTextFileOffset, 0x60000020);
  Put8(out, kTextFileOffset, 0xC3);
  if (!rsrc.empty()) {
    putSection(1, ".rsrc", rsrc.size(), kPeRsrcRva, rsrcRaw, kPeRsrcFileOffset, 0x40000040);
    std::copy(rsrc.begin(), rsrc.end(), out.begin() + kPeRsrcFileOffset);
  } else {
    out.resize(kTextFileOffset + kFileAlignment);
  }
  return out;
}

Bytes WriteMuiResource(const MuiConfig& config) {
  // A fixed header of offsets and sizes, then the lists it points at, each 8-byte aligned.
  constexpr std::size_t kHeaderSize = 0x84;
  constexpr std::uint32_t kSignature = 0xFECDFECD;
  constexpr std::uint32_t kMainFile = 0x11, kLanguageFile = 0x12;
  Bytes out(kHeaderSize);
  Put32(out, 0, kSignature);
  Put32(out, 8, 0x00010000);  // version
  Put32(out, 16, config.languageFile ? kLanguageFile : kMainFile);
  Put32(out, 20, 1);  // system attributes: a system component
  Put32(out, 24, 1);  // ultimate fallback: the internal (main) file
  // Checksums (28..59) tie a library to its language files; the loader of the simulated
  // machine does not check them, so they stay zero.
  auto appendList = [&out](std::size_t field, const Bytes& list) {
    if (list.empty()) return;
    out.resize(AlignUp(out.size(), 8));
    Put32(out, field, out.size());
    Put32(out, field + 4, list.size());
    out.insert(out.end(), list.begin(), list.end());
  };
  auto names = [](const std::vector<std::u16string>& list) {
    Bytes bytes;
    if (list.empty()) return bytes;
    for (const auto& name : list) {
      for (char16_t c : name) Append16(bytes, c);
      Append16(bytes, 0);
    }
    Append16(bytes, 0);
    return bytes;
  };
  auto ids = [](const std::vector<std::uint32_t>& list) {
    Bytes bytes;
    for (std::uint32_t id : list) Append32(bytes, id);
    return bytes;
  };
  auto text = [](const std::u16string& value) {
    Bytes bytes;
    if (value.empty()) return bytes;
    for (char16_t c : value) Append16(bytes, c);
    Append16(bytes, 0);
    return bytes;
  };
  appendList(0x54, names(config.mainNamedTypes));
  appendList(0x5C, ids(config.mainIdTypes));
  appendList(0x64, names(config.muiNamedTypes));
  appendList(0x6C, ids(config.muiIdTypes));
  // A language file names its language; a library names its fallback language instead.
  appendList(config.languageFile ? 0x74 : 0x7C, text(config.language));
  out.resize(AlignUp(out.size(), 8));
  Put32(out, 4, out.size());
  return out;
}

}  // namespace qb::sim
