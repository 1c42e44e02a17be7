// UTF-8 <-> UTF-16 for the host's command line and output, and the host's text shaping. The
// conversions are the simulated machine's (its file formats library, which the Windows build
// links too), never the plugin's.
#pragma once

#include <string>
#include <string_view>

namespace qb::wfxhost {

// Unpaired surrogates and invalid bytes become U+FFFD.
std::string ToUtf8(std::u16string_view text);
std::u16string ToUtf16(std::string_view text);

// The text up to its first zero character, at most `capacity` characters: what a plugin wrote
// into a fixed buffer, even one it forgot to terminate.
std::u16string FromBuffer(const char16_t* buffer, std::size_t capacity);
std::string FromBuffer(const char* buffer, std::size_t capacity);

// Control characters as escapes (\r, \n, \t, \xNN), so that a value keeps to one table cell.
std::string EscapeControls(std::string_view text);

// UTF-16 LE text with a byte-order mark as UTF-8; other bytes are returned as they are.
std::string DecodeTextFile(std::string_view bytes);

}  // namespace qb::wfxhost
