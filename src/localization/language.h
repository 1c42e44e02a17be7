// The language resource: every person-facing text by its number, from the current language
// file beside the library, falling back to the built-in English table.
#pragma once

#include <cstdint>
#include <shared_mutex>
#include <string>
#include <vector>

#include "platform/types.h"

namespace qb {

struct TLanguageInfo {
  std::int32_t liLocaleID = 0;
  std::u16string liLangiageName;  // "Langiage": the inherited spelling, kept as named
  std::u16string liFileName;
};

class TLngResource {
 public:
  // Reads the settings, loads the current language and writes the English file when the
  // current one is missing. Never fails: without a writable language folder the built-in
  // English texts serve from memory.
  TLngResource();

  TLngResource(const TLngResource&) = delete;
  TLngResource& operator=(const TLngResource&) = delete;

  // The text of `id`; the built-in English text when the language file has none or an empty
  // one; empty when neither knows the id. Safe to call from any thread.
  std::u16string GetLocaleString(std::uint16_t id) const;

  // Rebuilds the list of language files found in the language folder; returns its size.
  std::int32_t LoadLocaleList();
  std::u16string GetLocaleFile(std::uint16_t index) const;
  std::u16string GetLanguageName(std::uint16_t index) const;

  std::u16string GetCurrentLocaleFile();
  // Makes an existing language file current, remembers it in the settings and loads it. The
  // Windows error when the settings could not be written (the choice holds until the library
  // is unloaded).
  platform::ErrorCode SetCurrentLocaleFile(const std::u16string& value);

  // Index of a language in the last list, -1 when absent; and the file of an index.
  std::int32_t LocaleIndexFromFile(const std::u16string& fileName) const;
  std::u16string FileOfLocaleIndex(std::int32_t localeIndex) const;

  // Bumped whenever the loaded texts change, so callers can refresh texts they derived.
  std::uint64_t Generation() const;

  const std::u16string& LanguageFolder() const { return fLngFilePath; }
  const std::u16string& SettingFile() const { return fSettingFile; }

  // The built-in lines of the English table (what fDefLangData holds), in order.
  static const std::vector<std::u16string>& DefaultLines();
  // Built-in English texts added later (from 206 on). A language file may translate them, but
  // they are not written into the English file, which keeps its historical contents.
  static const std::vector<std::u16string>& AddedLines();

 private:
  void LoadLanguageData();
  void WriteDefaultLanguageFile();
  static std::u16string Find(const std::vector<std::u16string>& lines, std::u16string_view key);

  std::u16string fLngFilePath;
  std::u16string fSettingFile;
  std::u16string fCurrentLocaleFile;
  std::vector<std::u16string> fLangData;
  std::vector<std::u16string> fDefLangData;
  std::vector<TLanguageInfo> fLangFileList;
  std::uint64_t fGeneration = 0;
  // Guards the texts against a reload on the main thread while another thread reads them.
  mutable std::shared_mutex fLock;
};

}  // namespace qb
