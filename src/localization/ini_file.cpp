#include "localization/ini_file.h"

#include <atomic>
#include <mutex>

#include "platform/platform.h"
#include "util/no_destructor.h"
#include "util/text.h"

namespace qb::ini {
namespace {

// The settings file's name; never destroyed, so the unload alone decides what goes.
struct IniName {
  std::mutex mutex;
  std::u16string name;
};
IniName& TheIniName() {
  static util::NoDestructor<IniName> name;
  return *name;
}

bool IsBlank(char16_t c) {
  return c == u' ' || c == u'\t';
}

std::u16string_view Trim(std::u16string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

// The section name of a line, or nullopt when the line does not open a section.
std::optional<std::u16string_view> SectionOf(std::u16string_view line) {
  line = Trim(line);
  if (line.empty() || line.front() != u'[') return std::nullopt;
  line.remove_prefix(1);
  const auto close = line.find(u']');
  if (close != std::u16string_view::npos) line = line.substr(0, close);
  return Trim(line);
}

struct KeyLine {
  std::u16string_view key;
  std::u16string_view rawValue;
};

std::optional<KeyLine> KeyOf(std::u16string_view line) {
  const auto trimmed = Trim(line);
  if (trimmed.empty() || trimmed.front() == u';' || trimmed.front() == u'[') return std::nullopt;
  const auto eq = trimmed.find(u'=');
  if (eq == std::u16string_view::npos) return std::nullopt;
  return KeyLine{Trim(trimmed.substr(0, eq)), trimmed.substr(eq + 1)};
}

std::u16string ValueText(std::u16string_view raw) {
  auto v = Trim(raw);
  if (v.size() >= 2 && (v.front() == u'"' || v.front() == u'\'') && v.back() == v.front()) {
    v = v.substr(1, v.size() - 2);
  }
  v = util::UpToZero(v);
  if (v.size() > kMaxValueLength) v = v.substr(0, kMaxValueLength);
  return std::u16string(v);
}

// Index range [begin, end) of the lines of the first section with this name; begin is the
// header line.
std::optional<std::pair<std::size_t, std::size_t>> FindSection(const Document& doc,
                                                               std::u16string_view section) {
  const auto wanted = Trim(section);
  for (std::size_t i = 0; i < doc.lines.size(); ++i) {
    const auto name = SectionOf(doc.lines[i]);
    if (!name || !util::EqualsNoCase(*name, wanted)) continue;
    std::size_t end = i + 1;
    while (end < doc.lines.size() && !SectionOf(doc.lines[end])) ++end;
    return std::make_pair(i, end);
  }
  return std::nullopt;
}

std::atomic<EightBitText> g_eightBit{EightBitText::kAnsiCodePage};

// nullopt with the reason in *error when the file cannot be read.
std::optional<Document> ReadDocument(std::u16string_view fileName,
                                     platform::ErrorCode* error = nullptr) {
  platform::Bytes bytes;
  const platform::ErrorCode read = fileName.empty() ? platform::err::kFileNotFound
                                                    : platform::System().ReadFile(fileName, bytes);
  if (error) *error = read;
  if (read != platform::err::kSuccess) return std::nullopt;
  const std::string_view view(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  if (g_eightBit.load() == EightBitText::kUtf8 &&
      !(view.size() >= 2 && view[0] == '\xFF' && view[1] == '\xFE')) {
    return ParseUtf8(view);
  }
  return Parse(view, [](std::string_view s) { return platform::Locale().AnsiToWide(s); });
}

platform::Bytes Serialize(const Document& doc) {
  std::u16string text;
  for (const auto& line : doc.lines) {
    text += line;
    text += u"\r\n";
  }
  if (doc.utf16) return util::Utf16LeBytes(text, true);
  std::string eightBit;
  if (g_eightBit.load() == EightBitText::kUtf8) {
    eightBit = (doc.utf8Bom ? "\xEF\xBB\xBF" : "") + util::Utf16ToUtf8(text);
  } else {
    eightBit = platform::Locale().WideToAnsi(text);
  }
  const auto bytes = std::as_bytes(std::span(eightBit.data(), eightBit.size()));
  return {bytes.begin(), bytes.end()};
}

}  // namespace

void SetEightBitText(EightBitText encoding) {
  g_eightBit.store(encoding);
}

Document ParseUtf8(std::string_view bytes) {
  const bool bom = bytes.starts_with("\xEF\xBB\xBF");
  if (bom) bytes.remove_prefix(3);
  Document doc = ParseUtf16(util::Utf8ToUtf16(bytes), false);
  doc.utf8Bom = bom;
  return doc;
}

Document ParseUtf16(std::u16string_view text, bool utf16) {
  Document doc;
  doc.utf16 = utf16;
  std::size_t pos = 0;
  while (pos < text.size()) {
    auto end = text.find(u'\n', pos);
    if (end == std::u16string_view::npos) end = text.size();
    auto line = text.substr(pos, end - pos);
    if (!line.empty() && line.back() == u'\r') line.remove_suffix(1);
    doc.lines.emplace_back(line);
    pos = end + 1;
  }
  return doc;
}

std::optional<std::u16string> Lookup(const Document& doc, std::u16string_view section,
                                     std::u16string_view ident) {
  const auto range = FindSection(doc, section);
  if (!range) return std::nullopt;
  const auto wanted = Trim(ident);
  for (std::size_t i = range->first + 1; i < range->second; ++i) {
    const auto key = KeyOf(doc.lines[i]);
    if (key && util::EqualsNoCase(key->key, wanted)) return ValueText(key->rawValue);
  }
  return std::nullopt;
}

std::vector<std::pair<std::u16string, std::u16string>> SectionKeys(const Document& doc,
                                                                   std::u16string_view section) {
  std::vector<std::pair<std::u16string, std::u16string>> keys;
  const auto range = FindSection(doc, section);
  if (!range) return keys;
  for (std::size_t i = range->first + 1; i < range->second; ++i) {
    const auto key = KeyOf(doc.lines[i]);
    if (!key || key->key.empty()) continue;
    bool seen = false;
    for (const auto& [k, v] : keys) seen = seen || util::EqualsNoCase(k, key->key);
    if (!seen) keys.emplace_back(std::u16string(key->key), ValueText(key->rawValue));
  }
  return keys;
}

void SetKey(Document& doc, std::u16string_view section, std::u16string_view ident,
            std::u16string_view value) {
  const std::u16string line = std::u16string(Trim(ident)) + u"=" + std::u16string(value);
  const auto range = FindSection(doc, section);
  if (!range) {
    doc.lines.push_back(u"[" + std::u16string(Trim(section)) + u"]");
    doc.lines.push_back(line);
    return;
  }
  std::size_t lastContent = range->first;
  for (std::size_t i = range->first + 1; i < range->second; ++i) {
    const auto key = KeyOf(doc.lines[i]);
    if (key && util::EqualsNoCase(key->key, Trim(ident))) {
      doc.lines[i] = line;
      return;
    }
    if (!Trim(doc.lines[i]).empty()) lastContent = i;
  }
  doc.lines.insert(doc.lines.begin() + static_cast<std::ptrdiff_t>(lastContent + 1), line);
}

std::vector<std::u16string> SectionNames(const Document& doc) {
  std::vector<std::u16string> names;
  for (const auto& l : doc.lines) {
    if (const auto name = SectionOf(l)) names.emplace_back(*name);
  }
  return names;
}

void SetIniFileName(std::u16string fileName) {
  auto& ini = TheIniName();
  std::lock_guard lock(ini.mutex);
  // Swapped, so that an empty name gives back the memory of the old one.
  ini.name.swap(fileName);
}

std::u16string IniFileName() {
  auto& ini = TheIniName();
  std::lock_guard lock(ini.mutex);
  return ini.name;
}

platform::ErrorCode IniWriteString(std::u16string_view section, std::u16string_view ident,
                                   std::u16string_view value) {
  return IniWriteStringTo(section, ident, value, IniFileName());
}

platform::ErrorCode IniWriteStringTo(std::u16string_view section, std::u16string_view ident,
                                     std::u16string_view value, const std::u16string& fileName) {
  namespace err = platform::err;
  if (fileName.empty() || Trim(section).empty() || Trim(ident).empty()) {
    return err::kInvalidParameter;
  }
  // A file that is missing is created as 8-bit text; one that is there but cannot be read is
  // not replaced by a file of one key. A failed write changes nothing.
  platform::ErrorCode error = err::kSuccess;
  auto doc = ReadDocument(fileName, &error);
  if (!doc) {
    if (error != err::kFileNotFound && error != err::kPathNotFound) return error;
    doc.emplace();
  }
  SetKey(*doc, section, ident, value);
  return platform::System().WriteFile(fileName, Serialize(*doc));
}

std::u16string IniReadStringFrom(std::u16string_view section, std::u16string_view ident,
                                 std::u16string_view defaultValue, std::u16string_view fileName) {
  if (section.empty() || ident.empty()) return {};
  std::u16string_view fallback = util::UpToZero(defaultValue);
  if (fallback.size() > kMaxValueLength) fallback = fallback.substr(0, kMaxValueLength);
  const auto doc = ReadDocument(fileName);
  if (!doc) return std::u16string(fallback);
  return Lookup(*doc, section, ident).value_or(std::u16string(fallback));
}

std::u16string IniReadString(std::u16string_view section, std::u16string_view ident,
                             std::u16string_view defaultValue) {
  return IniReadStringFrom(section, ident, defaultValue, IniFileName());
}

std::int32_t IniReadInteger(std::u16string_view section, std::u16string_view ident,
                            std::int32_t defaultValue) {
  const std::u16string text = IniReadString(section, ident, util::ToDecimal(defaultValue));
  return util::ParseInt32(text).value_or(0);
}

std::vector<std::pair<std::u16string, std::u16string>> IniReadSection(
    std::u16string_view section, std::u16string_view fileName) {
  const auto doc = ReadDocument(fileName);
  if (!doc) return {};
  return SectionKeys(*doc, section);
}

}  // namespace qb::ini
