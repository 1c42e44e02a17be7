#include "localization/language.h"

#include <mutex>

#include "localization/ini_file.h"
#include "platform/platform.h"
#include "sysutil/folders.h"
#include "util/paths.h"
#include "util/text.h"

namespace qb {
namespace {

constexpr std::size_t kModulePathBuffer = 2000;
constexpr char16_t kSettingsSection[] = u"General";
constexpr char16_t kSettingsKey[] = u"Language";
constexpr char16_t kDefaultFile[] = u"Eng.lng";
constexpr char16_t kLocaleSection[] = u"Locale Language";
constexpr char16_t kStringsSection[] = u"String Resources";

// The lines above the table in the written English file; the two empty lines of the file
// come from the line breaks at the end of the first and of the LocaleName line.
const std::u16string kHeaderLines[] = {
    u"; English translation for FS-plugin \"Quillerbankton\"\r\n",
    u"[Locale Language]",
    u"LocaleID=1033",
    u"LocaleName=English\r\n",
    u"[String Resources]",
};

}  // namespace

TLngResource::TLngResource() {
  std::u16string modulePath = platform::System().ModuleFileName();
  if (modulePath.size() >= kModulePathBuffer) modulePath.resize(kModulePathBuffer - 1);
  fSettingFile = util::ChangeFileExt(modulePath, u".ini");
  fLngFilePath = util::ExtractFilePath(modulePath) + u"Language\\";
  sysutil::ForceDirectories(fLngFilePath);  // a folder that cannot be made is not reported here
  fDefLangData = DefaultLines();
  LoadLanguageData();
}

std::u16string TLngResource::Find(const std::vector<std::u16string>& lines,
                                  std::u16string_view key) {
  for (const auto& line : lines) {
    const auto eq = line.find(u'=');
    if (eq == std::u16string::npos) continue;
    if (util::EqualsNoCase(std::u16string_view(line).substr(0, eq), key))
      return line.substr(eq + 1);
  }
  return {};
}

std::u16string TLngResource::GetLocaleString(std::uint16_t id) const {
  const std::u16string key = util::ToDecimal(id);
  {
    std::shared_lock lock(fLock);
    std::u16string text = Find(fLangData, key);
    if (!text.empty()) return text;
  }
  std::u16string text = Find(fDefLangData, key);
  if (text.empty()) text = Find(AddedLines(), key);
  // The built-in lines that separate groups in the written file carry a line break; the text
  // itself does not have it.
  if (text.size() >= 2 && text.compare(text.size() - 2, 2, u"\r\n") == 0)
    text.resize(text.size() - 2);
  return text;
}

std::u16string TLngResource::GetCurrentLocaleFile() {
  std::unique_lock lock(fLock);
  if (fCurrentLocaleFile.empty()) {
    ini::SetIniFileName(fSettingFile);
    fCurrentLocaleFile = fLngFilePath + ini::IniReadStringFrom(kSettingsSection, kSettingsKey,
                                                               kDefaultFile, fSettingFile);
  }
  return fCurrentLocaleFile;
}

void TLngResource::LoadLanguageData() {
  const std::u16string file = GetCurrentLocaleFile();
  if (!platform::System().FileExists(file)) WriteDefaultLanguageFile();
  std::vector<std::u16string> lines;
  for (auto& [key, text] : ini::IniReadSection(kStringsSection, file)) {
    lines.push_back(key + u"=" + text);
  }
  std::unique_lock lock(fLock);
  fLangData = std::move(lines);
  ++fGeneration;
}

void TLngResource::WriteDefaultLanguageFile() {
  std::u16string text;
  for (const auto& line : kHeaderLines) {
    text += line;
    text += u"\r\n";
  }
  for (const auto& line : fDefLangData) {
    text += line;
    text += u"\r\n";
  }
  // Without a writable language folder the English texts still serve from memory.
  platform::System().WriteFile(GetCurrentLocaleFile(), util::Utf16LeBytes(text, true));
}

std::int32_t TLngResource::LoadLocaleList() {
  std::vector<TLanguageInfo> list;
  std::vector<platform::FindEntry> entries;
  platform::System().FindFiles(fLngFilePath + u"*.lng", entries);
  for (const auto& entry : entries) {
    if (entry.attributes & platform::kFileAttributeDirectory) continue;
    TLanguageInfo info;
    info.liFileName = fLngFilePath + entry.name;
    ini::SetIniFileName(info.liFileName);
    info.liLocaleID = ini::IniReadInteger(kLocaleSection, u"LocaleID", 0);
    if (info.liLocaleID > 0) {
      if (!platform::Locale().LanguageName(static_cast<std::uint32_t>(info.liLocaleID),
                                           info.liLangiageName)) {
        info.liLangiageName = u"<unknown>";
      }
    } else {
      info.liLangiageName = ini::IniReadString(kLocaleSection, u"LocaleName", u"");
    }
    if (info.liLangiageName.empty()) info.liLangiageName = entry.name;
    list.push_back(std::move(info));
  }
  std::unique_lock lock(fLock);
  fLangFileList = std::move(list);
  return static_cast<std::int32_t>(fLangFileList.size());
}

std::u16string TLngResource::GetLocaleFile(std::uint16_t index) const {
  std::shared_lock lock(fLock);
  return index < fLangFileList.size() ? fLangFileList[index].liFileName : std::u16string();
}

std::u16string TLngResource::GetLanguageName(std::uint16_t index) const {
  std::shared_lock lock(fLock);
  return index < fLangFileList.size() ? fLangFileList[index].liLangiageName : std::u16string();
}

platform::ErrorCode TLngResource::SetCurrentLocaleFile(const std::u16string& value) {
  if (!platform::System().FileExists(value)) return platform::err::kFileNotFound;
  ini::SetIniFileName(fSettingFile);
  const platform::ErrorCode written = ini::IniWriteStringTo(
      kSettingsSection, kSettingsKey, util::ExtractFileName(value), fSettingFile);
  {
    std::unique_lock lock(fLock);
    fCurrentLocaleFile = value;
  }
  LoadLanguageData();
  return written;
}

std::int32_t TLngResource::LocaleIndexFromFile(const std::u16string& fileName) const {
  std::shared_lock lock(fLock);
  for (std::size_t i = 0; i < fLangFileList.size(); ++i) {
    if (fLangFileList[i].liFileName == fileName) return static_cast<std::int32_t>(i);
  }
  return -1;
}

std::u16string TLngResource::FileOfLocaleIndex(std::int32_t localeIndex) const {
  if (localeIndex < 0 || localeIndex > 0xFFFF) return {};
  return GetLocaleFile(static_cast<std::uint16_t>(localeIndex));
}

std::uint64_t TLngResource::Generation() const {
  std::shared_lock lock(fLock);
  return fGeneration;
}

}  // namespace qb
