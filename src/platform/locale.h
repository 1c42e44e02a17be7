// Locale and time services of the user's locale.
#pragma once

#include "platform/types.h"

namespace qb::platform {

class ILocale {
 public:
  virtual ~ILocale() = default;

  // MultiByteToWideChar / WideCharToMultiByte with the system's ANSI code page (CP_ACP).
  // Characters the code page cannot hold become its default character.
  virtual std::u16string AnsiToWide(std::string_view text) = 0;
  virtual std::string WideToAnsi(std::u16string_view text) = 0;

  // Locale-aware lower case of the user's locale (CharLowerBuffW).
  virtual std::u16string ToLower(std::u16string_view text) = 0;

  // CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE): <0, 0 or >0.
  virtual int CompareNoCase(std::u16string_view a, std::u16string_view b) = 0;

  // GetLocaleInfoW(lcid, LOCALE_SLANGUAGE): the localized name of the locale's language in
  // the language of the running system. False when the system does not support `lcid`.
  virtual bool LanguageName(std::uint32_t lcid, std::u16string& name) = 0;

  // GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE) and GetTimeFormatW(LOCALE_USER_DEFAULT,
  // 0): the user's short date and long time formats applied to `time`.
  virtual std::u16string FormatShortDate(const SystemTime& time) = 0;
  virtual std::u16string FormatLongTime(const SystemTime& time) = 0;

  // The user's thousands separator (LOCALE_STHOUSAND) and digit grouping, as used for "%.0n".
  virtual std::u16string ThousandSeparator() = 0;

  // FileTimeToLocalFileTime / LocalFileTimeToFileTime: both use the offset in force now
  // (today's daylight-saving rule), not the one at the given time. False on failure.
  virtual bool FileTimeToLocal(FileTime utc, FileTime& local) = 0;
  virtual bool LocalToFileTime(FileTime local, FileTime& utc) = 0;
};

}  // namespace qb::platform
