#include "dialogs/record_fields.h"

#include "platform/platform.h"

namespace qb {

std::u16string UserText(const TLngResource& language, const TFWEventLogRecord& record) {
  if (record.Domain.empty() && record.Account.empty()) return language.GetLocaleString(37);
  return record.Domain + u"\\" + record.Account;
}

std::u16string DateText(sysutil::DateTime value) {
  return platform::Locale().FormatShortDate(sysutil::DateTimeToSystemTime(value));
}

std::u16string TimeText(sysutil::DateTime value) {
  return platform::Locale().FormatLongTime(sysutil::DateTimeToSystemTime(value));
}

std::u16string DateTimeText(sysutil::DateTime value) {
  const auto fields = sysutil::DateTimeToSystemTime(value);
  auto& locale = platform::Locale();
  std::u16string text = locale.FormatShortDate(fields);
  if (fields.wHour != 0 || fields.wMinute != 0 || fields.wSecond != 0) {
    text += u" " + locale.FormatLongTime(fields);
  }
  return text;
}

}  // namespace qb
