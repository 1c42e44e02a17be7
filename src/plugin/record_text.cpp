#include "plugin/record_text.h"

#include "dialogs/data_dump.h"
#include "dialogs/record_fields.h"
#include "localization/language.h"
#include "platform/platform.h"
#include "util/format.h"
#include "util/text.h"

namespace qb::plugin {

std::vector<std::u16string> RecordTextLines(const TFWEventLog& log, const TLngResource& language,
                                            std::u16string_view logName,
                                            const TFWEventLogRecord& record) {
  const auto label = [&](std::uint16_t id, std::u16string_view value) {
    return util::Format(u"%-28s%s", {language.GetLocaleString(id), value});
  };
  std::vector<std::u16string> lines = {
      label(16, logName),
      label(17, record.SourceName),
      label(19, DateTimeText(record.TimeWritten)),
      label(21, util::ToDecimalUnsigned(record.EventID & 0xFFFF)),
      label(23, record.Category),
      label(25, log.EventTypeToString(record.EventType, true)),
      label(27, util::ToDecimalUnsigned(record.Number)),
      u"",
      label(28, UserText(language, record)),
      label(29, record.ComputerName),
      util::Format(u"\r\n%-28s\r\n%s", {language.GetLocaleString(30), record.Description}),
  };
  if (!record.BinData.empty()) {
    lines.push_back(util::Format(u"\r\n%-28s", {language.GetLocaleString(31)}));
    lines.push_back(util::Format(
        u"\r\n%-28s\r\n%s", {language.GetLocaleString(33), FormatDataAsWords(record.BinData)}));
    lines.push_back(util::Format(
        u"\r\n%-28s\r\n%s", {language.GetLocaleString(35), FormatDataAsBytes(record.BinData)}));
  }
  // A channel's event, as Windows' own viewer shows its XML.
  if (!record.Xml.empty()) {
    lines.push_back(util::Format(u"\r\n%-28s\r\n%s", {language.GetLocaleString(217), record.Xml}));
  }
  return lines;
}

}  // namespace qb::plugin
