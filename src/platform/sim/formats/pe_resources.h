// Reads the resources of a PE file (a DLL of the simulated machine) into a ModuleImage: what
// LoadStringW, FormatMessageW and LoadIconW would find after LoadLibraryExW(AS_DATAFILE), and
// the bytes of its event manifest (WEVT_TEMPLATE).
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/sim/formats/module_image.h"
#include "platform/types.h"

namespace qb::sim {

// Converts the 8-bit text of a message-table entry (in the machine's ANSI code page).
using AnsiToWide = std::function<std::u16string(std::string_view)>;

// Parses a PE32 or PE32+ file. A file that is not a well-formed PE, or whose string, message,
// icon or event manifest resources are damaged, gives nullopt and a reason in *error. A well-formed
// PE without resources gives an empty image. Safe on any input: never throws, never reads outside
// `file`, and its work is bounded by a small multiple of the file size.
std::optional<ModuleImage> ParsePeResources(platform::ByteSpan file, const AnsiToWide& ansiToWide,
                                            std::string* error = nullptr);

}  // namespace qb::sim
