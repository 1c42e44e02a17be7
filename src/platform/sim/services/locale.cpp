#include "platform/sim/services/locale.h"

#include "platform/sim/rules/case_rules.h"
#include "platform/sim/rules/text.h"

namespace qb::sim {
namespace {

struct LanguageEntry {
  std::uint32_t lcid;
  const char16_t* name;
};

// Locales the simulated system supports, with their names on an English system.
constexpr LanguageEntry kLanguages[] = {
    {1025, u"Arabic (Saudi Arabia)"},
    {1029, u"Czech (Czech Republic)"},
    {1030, u"Danish (Denmark)"},
    {1031, u"German (Germany)"},
    {1032, u"Greek (Greece)"},
    {1033, u"English (United States)"},
    {1034, u"Spanish (Spain, Traditional Sort)"},
    {1035, u"Finnish (Finland)"},
    {1036, u"French (France)"},
    {1038, u"Hungarian (Hungary)"},
    {1040, u"Italian (Italy)"},
    {1041, u"Japanese (Japan)"},
    {1042, u"Korean (Korea)"},
    {1043, u"Dutch (Netherlands)"},
    {1044, u"Norwegian, Bokmål (Norway)"},
    {1045, u"Polish (Poland)"},
    {1046, u"Portuguese (Brazil)"},
    {1049, u"Russian (Russia)"},
    {1053, u"Swedish (Sweden)"},
    {1055, u"Turkish (Turkey)"},
    {1058, u"Ukrainian (Ukraine)"},
    {1059, u"Belarusian (Belarus)"},
    {2052, u"Chinese (Simplified, PRC)"},
    {2057, u"English (United Kingdom)"},
    {2070, u"Portuguese (Portugal)"},
    {3082, u"Spanish (Spain, International Sort)"},
};

constexpr std::int64_t kTicksPerMinute = 600'000'000;

std::u16string Two(unsigned v) {
  return std::u16string{static_cast<char16_t>(u'0' + v / 10 % 10),
                        static_cast<char16_t>(u'0' + v % 10)};
}

// What GetDateFormatW and GetTimeFormatW accept; they fail for anything else.
bool ValidDate(const platform::SystemTime& t) {
  constexpr unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (t.wYear < 1601 || t.wYear > 30827 || t.wMonth < 1 || t.wMonth > 12 || t.wDay < 1) {
    return false;
  }
  const bool leap = (t.wYear % 4 == 0 && t.wYear % 100 != 0) || t.wYear % 400 == 0;
  return t.wDay <= kDays[t.wMonth - 1] + (leap && t.wMonth == 2 ? 1 : 0);
}

bool ValidTime(const platform::SystemTime& t) {
  return t.wHour < 24 && t.wMinute < 60 && t.wSecond < 60 && t.wMilliseconds < 1000;
}

}  // namespace

void SimLocale::SetThousandSeparator(std::u16string separator) {
  thousand_ = std::move(separator);
}

std::u16string SimLocale::AnsiToWide(std::string_view text) {
  return DecodeCodePage(codePage_, text);
}

std::string SimLocale::WideToAnsi(std::u16string_view text) {
  return EncodeCodePage(codePage_, text);
}

std::u16string SimLocale::ToLower(std::u16string_view text) {
  ++toLowerCalls_;
  return LocaleLower(text);
}

int SimLocale::CompareNoCase(std::u16string_view a, std::u16string_view b) {
  const std::u16string x = LocaleLower(a);
  const std::u16string y = LocaleLower(b);
  return x < y ? -1 : (x == y ? 0 : 1);
}

bool SimLocale::LanguageName(std::uint32_t lcid, std::u16string& name) {
  name.clear();
  for (const auto& entry : kLanguages) {
    if (entry.lcid == lcid) {
      name = entry.name;
      return true;
    }
  }
  return false;
}

std::u16string SimLocale::FormatShortDate(const platform::SystemTime& t) {
  if (!ValidDate(t)) return {};
  // en-US short date: M/d/yyyy.
  return Decimal(t.wMonth) + u"/" + Decimal(t.wDay) + u"/" + Decimal(t.wYear);
}

std::u16string SimLocale::FormatLongTime(const platform::SystemTime& t) {
  if (!ValidTime(t)) return {};
  // en-US long time: h:mm:ss tt.
  const unsigned h12 = t.wHour % 12 == 0 ? 12 : t.wHour % 12;
  return Decimal(h12) + u":" + Two(t.wMinute) + u":" + Two(t.wSecond) +
         (t.wHour < 12 ? u" AM" : u" PM");
}

std::u16string SimLocale::ThousandSeparator() {
  return thousand_;
}

bool SimLocale::FileTimeToLocal(platform::FileTime utc, platform::FileTime& local) {
  const std::int64_t v = static_cast<std::int64_t>(utc.value()) + offsetMinutes_ * kTicksPerMinute;
  if (v < 0) return false;
  local = platform::FileTime::from(static_cast<std::uint64_t>(v));
  return true;
}

bool SimLocale::LocalToFileTime(platform::FileTime local, platform::FileTime& utc) {
  const std::int64_t v =
      static_cast<std::int64_t>(local.value()) - offsetMinutes_ * kTicksPerMinute;
  if (v < 0) return false;
  utc = platform::FileTime::from(static_cast<std::uint64_t>(v));
  return true;
}

}  // namespace qb::sim
