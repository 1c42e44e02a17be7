// The fields of a record as people read them, the same in the record viewer, the text copied
// out and the columns: the user, the date and time. (The binary data's dumps: data_dump.h.)
#pragma once

#include <string>

#include "eventlog/event_log_types.h"
#include "localization/language.h"
#include "sysutil/datetime.h"

namespace qb {

// "Domain\Account", or language text 37 ("N\A") when the record names no user.
std::u16string UserText(const TLngResource& language, const TFWEventLogRecord& record);

// The user's short date, and the long time.
std::u16string DateText(sysutil::DateTime value);
std::u16string TimeText(sysutil::DateTime value);
// The short date and, unless it is midnight exactly, a blank and the long time.
std::u16string DateTimeText(sysutil::DateTime value);

}  // namespace qb
