// Regedit exports.
#include "platform/sim/formats/reg_file.h"

#include <cctype>
#include <optional>

#include "platform/sim/formats/codepage.h"
#include "platform/sim/rules/case_rules.h"
#include "platform/sim/rules/text.h"

namespace qb::sim {
namespace {

std::u16string DecodeRegFile(platform::ByteSpan file) {
  const auto byteAt = [&](std::size_t i) { return std::to_integer<unsigned>(file[i]); };
  if (file.size() >= 2 && byteAt(0) == 0xFF && byteAt(1) == 0xFE) {
    return FromLittleEndianBytes(file.subspan(2));
  }
  std::string_view bytes(reinterpret_cast<const char*>(file.data()), file.size());
  if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") {
    return FromUtf8(bytes.substr(3));
  }
  return DecodeCodePage(kCp1252, bytes);
}

std::vector<std::u16string> LogicalLines(std::u16string_view text) {
  std::vector<std::u16string> lines;
  std::u16string current;
  bool continued = false;
  std::size_t pos = 0;
  while (pos <= text.size()) {
    auto end = text.find(u'\n', pos);
    if (end == std::u16string_view::npos) end = text.size();
    std::u16string_view line = text.substr(pos, end - pos);
    if (!line.empty() && line.back() == u'\r') line.remove_suffix(1);
    if (continued) {
      while (!line.empty() && (line.front() == u' ' || line.front() == u'\t')) {
        line.remove_prefix(1);
      }
    }
    current += line;
    // A value in hexadecimal notation continues on the next line after a backslash.
    continued = !current.empty() && current.back() == u'\\' && current.front() != u'[' &&
                current.find(u"=hex") != std::u16string::npos;
    if (continued) {
      current.pop_back();
    } else {
      lines.push_back(std::move(current));
      current.clear();
    }
    pos = end + 1;
  }
  if (!current.empty()) lines.push_back(std::move(current));
  return lines;
}

bool ParseHexBytes(std::u16string_view text, platform::Bytes& out) {
  out.clear();
  std::size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t')) ++i;
    if (i >= text.size()) break;
    unsigned value = 0;
    int digits = 0;
    while (i < text.size() && std::isxdigit(text[i] < 128 ? static_cast<int>(text[i]) : 0)) {
      const char16_t c = text[i];
      value = value * 16 + static_cast<unsigned>(c <= u'9' ? c - u'0' : (c | 0x20) - u'a' + 10);
      if (++digits > 2) return false;
      ++i;
    }
    if (digits == 0) return false;
    out.push_back(static_cast<std::byte>(value));
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t')) ++i;
    if (i < text.size()) {
      if (text[i] != u',') return false;
      ++i;
    }
  }
  return true;
}

// The entries of the export's text; an empty string, or what is wrong at which line.
std::string ReadRegText(std::u16string_view text, RegFile& out) {
  const auto lines = LogicalLines(text);
  std::size_t first = 0;
  while (first < lines.size() && Trimmed(lines[first]).empty()) ++first;
  if (first >= lines.size()) return "empty file";
  const auto header = Trimmed(lines[first]);
  if (header != u"Windows Registry Editor Version 5.00" && header != u"REGEDIT4") {
    return "line " + std::to_string(first + 1) + ": not a registry export";
  }
  std::optional<std::pair<platform::RegRoot, std::u16string>> current;
  for (std::size_t n = first + 1; n < lines.size(); ++n) {
    const std::u16string_view line = Trimmed(lines[n]);
    const std::string where = "line " + std::to_string(n + 1) + ": ";
    if (line.empty() || line.front() == u';') continue;
    if (line.front() == u'[') {
      if (line.back() != u']') return where + "unterminated key";
      std::u16string_view path = line.substr(1, line.size() - 2);
      const bool remove = !path.empty() && path.front() == u'-';
      if (remove) path.remove_prefix(1);
      const auto slash = path.find(u'\\');
      const std::u16string rootName(path.substr(0, slash));
      const std::u16string_view rest =
          slash == std::u16string_view::npos ? std::u16string_view() : path.substr(slash + 1);
      platform::RegRoot root;
      if (NamesEqual(rootName, u"HKEY_LOCAL_MACHINE") || NamesEqual(rootName, u"HKLM")) {
        root = platform::RegRoot::kLocalMachine;
      } else if (NamesEqual(rootName, u"HKEY_CURRENT_USER") || NamesEqual(rootName, u"HKCU")) {
        root = platform::RegRoot::kCurrentUser;
      } else {
        return where + "unsupported root key";
      }
      RegFileEntry& key = out.entries.emplace_back();
      key.kind = remove ? RegFileEntry::Kind::kDeleteKey : RegFileEntry::Kind::kKey;
      key.root = root;
      key.path = rest;
      if (remove) {
        current.reset();
      } else {
        current = {root, std::u16string(rest)};
      }
      continue;
    }
    if (!current) return where + "value outside a key";
    // Value name: @ or a quoted string with \\ and \" escapes.
    std::u16string name;
    std::size_t i = 0;
    if (line.front() == u'@') {
      i = 1;
    } else if (line.front() == u'"') {
      i = 1;
      bool closed = false;
      while (i < line.size()) {
        if (line[i] == u'\\' && i + 1 < line.size()) {
          name.push_back(line[i + 1]);
          i += 2;
        } else if (line[i] == u'"') {
          closed = true;
          ++i;
          break;
        } else {
          name.push_back(line[i++]);
        }
      }
      if (!closed) return where + "unterminated value name";
    } else {
      return where + "unexpected text";
    }
    if (i >= line.size() || line[i] != u'=') return where + "missing '='";
    const std::u16string_view data = line.substr(i + 1);
    const auto& [root, path] = *current;
    RegFileEntry entry;
    entry.kind = RegFileEntry::Kind::kValue;
    entry.root = root;
    entry.path = path;
    entry.name = name;
    if (data == u"-") {
      entry.kind = RegFileEntry::Kind::kDeleteValue;
    } else if (!data.empty() && data.front() == u'"') {
      if (data.size() < 2 || data.back() != u'"') return where + "unterminated string";
      std::u16string value;
      for (std::size_t k = 1; k + 1 < data.size(); ++k) {
        if (data[k] == u'\\' && k + 2 < data.size()) ++k;
        value.push_back(data[k]);
      }
      entry.type = platform::regtype::kSz;
      entry.data = LittleEndianBytes(value + u'\0');
    } else if (data.substr(0, 6) == u"dword:") {
      const auto hex = data.substr(6);
      if (hex.empty() || hex.size() > 8) return where + "bad dword";
      std::uint32_t v = 0;
      for (char16_t c : hex) {
        if (!(c < 128 && std::isxdigit(static_cast<int>(c)))) return where + "bad dword";
        v = v * 16 + static_cast<std::uint32_t>(c <= u'9' ? c - u'0' : (c | 0x20) - u'a' + 10);
      }
      entry.type = platform::regtype::kDword;
      for (int shift = 0; shift < 32; shift += 8) entry.data.push_back(std::byte(v >> shift));
    } else if (data.substr(0, 3) == u"hex") {
      std::uint32_t type = platform::regtype::kBinary;
      std::size_t k = 3;
      if (k < data.size() && data[k] == u'(') {
        const auto close = data.find(u')', k);
        if (close == std::u16string_view::npos || close == k + 1 || close > k + 9) {
          return where + "bad hex type";
        }
        type = 0;
        for (std::size_t j = k + 1; j < close; ++j) {
          const char16_t c = data[j];
          if (!(c < 128 && std::isxdigit(static_cast<int>(c)))) return where + "bad hex type";
          type =
              type * 16 + static_cast<std::uint32_t>(c <= u'9' ? c - u'0' : (c | 0x20) - u'a' + 10);
        }
        k = close + 1;
      }
      if (k >= data.size() || data[k] != u':') return where + "bad hex value";
      entry.type = type;
      if (!ParseHexBytes(data.substr(k + 1), entry.data)) return where + "bad hex bytes";
    } else {
      return where + "unsupported value";
    }
    out.entries.push_back(std::move(entry));
  }
  return {};
}

}  // namespace

RegFile ReadRegFile(platform::ByteSpan file) {
  RegFile out;
  out.error = ReadRegText(DecodeRegFile(file), out);
  return out;
}

}  // namespace qb::sim
