// What FormatMessageW does with a message-table text, given FORMAT_MESSAGE_ARGUMENT_ARRAY and
// string arguments, or FORMAT_MESSAGE_IGNORE_INSERTS. No line-width limit is applied, so line
// breaks in the text come out as they are.
//
//   %1 .. %99      the insert of that number; "%100" is insert 10 followed by "0"
//   %1!fmt!        the insert with a printf conversion. Every conversion is treated as %s
//                  (the arguments are strings): flags "-", width and ".precision" apply to
//                  the insert text, the type letter and size prefixes are ignored. Windows
//                  would print a pointer for !d! or !x!; no event message relies on that.
//                  "*" widths are not supported (they would consume further arguments).
//                  Without a closing "!" the "!" is ordinary text.
//   %0             ends the output here, so no trailing line break follows
//   %n  %r  %t     CR LF, CR, tab
//   %X             any other character X is output without the "%" (%% %. %! "% ")
//   % at the end   dropped
//
// With ignoreInserts, inserts (and their !fmt!) are copied unchanged; everything else is
// still processed, %0 included.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

#include "platform/types.h"

namespace qb::sim {

struct FormatResult {
  platform::ErrorCode error = 0;
  std::u16string text;
};

// Real FormatMessageW reads past the argument array when the text names an insert beyond it,
// and `inserts` has no such slack: naming one calls the insert violation handler. When that
// handler returns, the result is ERROR_INVALID_PARAMETER with no text.
FormatResult FormatMessageText(std::u16string_view message, bool ignoreInserts,
                               std::span<const std::u16string> inserts);

// The highest insert number `message` names, 0 if none. Escapes are honoured ("%%1" names
// none); text after %0 is still counted, so passing this many inserts is always enough.
std::size_t HighestInsert(std::u16string_view message);

// Called when a message names insert `highest` (the message's highest) but only `supplied`
// inserts were given. The default prints the case to stderr and aborts the process, so a
// caller that forgets to pad its inserts cannot slip through tests.
using InsertViolationHandler = void (*)(std::u16string_view message, std::size_t highest,
                                        std::size_t supplied);

// Installs a handler process-wide (nullptr restores the default) and returns the previous.
InsertViolationHandler SetInsertViolationHandler(InsertViolationHandler handler);

}  // namespace qb::sim
