// ILocale over the national-language functions of the user's locale.
#pragma once

#include "platform/locale.h"

namespace qb::win32 {

class Win32Locale final : public platform::ILocale {
 public:
  std::u16string AnsiToWide(std::string_view text) override;
  std::string WideToAnsi(std::u16string_view text) override;
  std::u16string ToLower(std::u16string_view text) override;
  int CompareNoCase(std::u16string_view a, std::u16string_view b) override;
  bool LanguageName(std::uint32_t lcid, std::u16string& name) override;
  std::u16string FormatShortDate(const platform::SystemTime& time) override;
  std::u16string FormatLongTime(const platform::SystemTime& time) override;
  std::u16string ThousandSeparator() override;
  bool FileTimeToLocal(platform::FileTime utc, platform::FileTime& local) override;
  bool LocalToFileTime(platform::FileTime local, platform::FileTime& utc) override;
};

}  // namespace qb::win32
