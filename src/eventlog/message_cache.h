// The message library cache: libraries loaded for event sources, kept while a log is open.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "eventlog/handles.h"
#include "platform/types.h"

namespace qb {

struct TFWMessageTableLibrary {
  bool bLoaded = false;  // holds a reference of ours, released with the cache
  OwnedModule hLibHandle;
  std::string sLibName;     // the source name in the ANSI code page: the cache key
  std::u16string sLibPath;  // the expanded library path, so a library is cached once
};

// "Libraryes": the inherited spelling of this name, kept as the design names it.
struct TFWMessageTableLibraryes {
  std::int32_t Count = 0;
  std::vector<TFWMessageTableLibrary> Item;
};

// The highest insert (%1 .. %99) a message text names; 0 when none.
std::size_t HighestInsertNamed(std::u16string_view text);

}  // namespace qb
