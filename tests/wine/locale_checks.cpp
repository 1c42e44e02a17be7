// Win32Locale against the national-language functions of the running system.
#include <string>

#include "check.h"
#include "platform/win32/locale.h"
#include "platform/win32/windows_api.h"
#include "platform_checks.h"

namespace qb::wine_test {
namespace {

bool HasNoZero(std::u16string_view text) {
  return text.find(u'\0') == std::u16string_view::npos;
}

void TextConverts(win32::Win32Locale& locale) {
  QB_CHECK(locale.AnsiToWide("Quillerbankton 1.0") == u"Quillerbankton 1.0");
  QB_CHECK(locale.WideToAnsi(u"Quillerbankton 1.0") == "Quillerbankton 1.0");
  QB_CHECK(locale.AnsiToWide("").empty() && locale.WideToAnsi(u"").empty());
  if (GetACP() == 1252) {
    QB_CHECK(locale.AnsiToWide("caf\xE9") == u"caf\u00E9");
    QB_CHECK(locale.WideToAnsi(u"caf\u00E9") == "caf\xE9");
    // A character the code page lacks becomes its default character.
    QB_CHECK(locale.WideToAnsi(u"\u4E2D") == "?");
  }
  QB_CHECK(locale.ToLower(u"QUILLER\u00C4\u0416 Bank") == u"quiller\u00E4\u0436 bank");
}

void TextCompares(win32::Win32Locale& locale) {
  QB_CHECK(locale.CompareNoCase(u"Application", u"APPLICATION") == 0);
  QB_CHECK(locale.CompareNoCase(u"Application", u"System") < 0);
  QB_CHECK(locale.CompareNoCase(u"system", u"Application") > 0);
  QB_CHECK(locale.CompareNoCase(u"", u"") == 0);
  QB_CHECK(locale.CompareNoCase(u"ab", u"abc") < 0);
}

void LocaleTexts(win32::Win32Locale& locale) {
  std::u16string name;
  QB_CHECK(locale.LanguageName(0x0409, name) && !name.empty() && HasNoZero(name));
  QB_CHECK(!locale.LanguageName(0x7F7F, name) && name.empty());

  const platform::SystemTime day{2024, 3, 2, 5, 14, 7, 9, 0};
  const std::u16string date = locale.FormatShortDate(day);
  QB_CHECK(!date.empty() && HasNoZero(date) && date.find(u'5') != std::u16string::npos);
  const std::u16string time = locale.FormatLongTime(day);
  QB_CHECK(!time.empty() && HasNoZero(time) && time.find(u"07") != std::u16string::npos);
  platform::SystemTime invalid = day;
  invalid.wMonth = 13;
  QB_CHECK(locale.FormatShortDate(invalid).empty());
  const std::u16string separator = locale.ThousandSeparator();
  QB_CHECK(separator.size() <= 3 && HasNoZero(separator));
}

void TimesConvert(win32::Win32Locale& locale) {
  // 2024-06-01 12:00 UTC.
  const platform::FileTime utc = platform::FileTime::from(133616448000000000ULL);
  platform::FileTime local, back;
  QB_CHECK(locale.FileTimeToLocal(utc, local));
  QB_CHECK(locale.LocalToFileTime(local, back));
  QB_CHECK(back == utc);
  TIME_ZONE_INFORMATION zone;
  const DWORD mode = GetTimeZoneInformation(&zone);
  const long bias = zone.Bias + (mode == TIME_ZONE_ID_DAYLIGHT ? zone.DaylightBias : 0);
  const auto expected = static_cast<std::int64_t>(utc.value()) - bias * 60LL * 10000000LL;
  QB_CHECK(static_cast<std::int64_t>(local.value()) == expected);
}

}  // namespace

void LocaleChecks() {
  win32::Win32Locale locale;
  TextConverts(locale);
  TextCompares(locale);
  LocaleTexts(locale);
  TimesConvert(locale);
}

}  // namespace qb::wine_test
