// Texts between the host's buffers and the core: every copy into a host buffer is cut to the
// buffer, terminator included, whatever the buffer's size.
#pragma once

#include <cstddef>
#include <string>

#include "plugin/fsplugin.h"

namespace qb::plugin {

std::u16string FromHost(const fs::WCHAR* text);
// A path inside the plugin's tree as the core names it: "/" is a separator as well as "\"
// (hosts on other systems use it), and a trailing separator names the folder itself
// ("\Security\" is "\Security"; "/" is the root "\").
std::u16string RemotePath(std::u16string_view path);
// 8-bit host texts are in the system's ANSI code page.
std::u16string FromHostAnsi(const char* text);

// Copies `text` into a buffer of `capacity` characters, cut so the terminator fits. Nothing is
// written when the capacity is 0 or the buffer missing.
void CopyToHost(fs::WCHAR* buffer, std::size_t capacity, std::u16string_view text);
// The ANSI form of `text` into a buffer of `capacity` bytes, cut at a character boundary so a
// multi-byte character is never split.
void CopyToHostAnsi(char* buffer, std::size_t capacity, std::u16string_view text);

}  // namespace qb::plugin
