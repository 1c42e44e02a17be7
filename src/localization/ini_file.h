// Settings-file helpers: strings and integers in INI-style profile files, read and written by
// one portable implementation on every platform (the rules of the profile functions, made
// explicit): sections and keys match without regard to case, keys and texts are trimmed, one
// pair of enclosing quotes is removed, the first of duplicate keys counts, texts are cut to
// 2047 characters, files are UTF-16 LE with a byte-order mark or 8-bit text without (in the
// ANSI code page, or UTF-8 where the host's files are UTF-8).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/types.h"
#include "util/text.h"

namespace qb::ini {

inline constexpr std::size_t kMaxValueLength = 2047;

// How files without a UTF-16 byte-order mark are read and written: in the ANSI code page, as
// the profile functions do on Windows (the default), or as UTF-8 with or without its
// byte-order mark, as text files are on Linux (process-wide, set before any file is read).
enum class EightBitText { kAnsiCodePage, kUtf8 };
void SetEightBitText(EightBitText encoding);

// The file that IniWriteString, IniReadString and IniReadInteger work on (process-wide).
void SetIniFileName(std::u16string fileName);
std::u16string IniFileName();

// Writes a key; the Windows error when it could not be written. A file that exists but cannot
// be read is left as it is (rewriting it would lose its other keys).
platform::ErrorCode IniWriteString(std::u16string_view section, std::u16string_view ident,
                                   std::u16string_view value);
// The same as IniWriteString into a file named by the caller: a write never depends on what
// another caller pointed the process-wide name at last.
platform::ErrorCode IniWriteStringTo(std::u16string_view section, std::u16string_view ident,
                                     std::u16string_view value, const std::u16string& fileName);
std::u16string IniReadStringFrom(std::u16string_view section, std::u16string_view ident,
                                 std::u16string_view defaultValue, std::u16string_view fileName);
std::u16string IniReadString(std::u16string_view section, std::u16string_view ident,
                             std::u16string_view defaultValue);
std::int32_t IniReadInteger(std::u16string_view section, std::u16string_view ident,
                            std::int32_t defaultValue);

// Every key of a section in file order (each key once, with the text a read of it returns).
std::vector<std::pair<std::u16string, std::u16string>> IniReadSection(std::u16string_view section,
                                                                      std::u16string_view fileName);

// --- the engine, on file contents ---

struct Document {
  bool utf16 = false;    // UTF-16 LE with byte-order mark, else 8-bit text
  bool utf8Bom = false;  // 8-bit UTF-8 text that began with the UTF-8 byte-order mark
  std::vector<std::u16string> lines;
};

// Decodes file bytes (8-bit text through `ansiToWide`).
template <typename AnsiToWide>
Document Parse(std::string_view bytes, AnsiToWide&& ansiToWide);
Document ParseUtf16(std::u16string_view text, bool utf16);
// Decodes UTF-8 file bytes, a leading byte-order mark noted and dropped.
Document ParseUtf8(std::string_view bytes);

// The text of a key, nullopt when the section or key is missing.
std::optional<std::u16string> Lookup(const Document& doc, std::u16string_view section,
                                     std::u16string_view ident);
std::vector<std::pair<std::u16string, std::u16string>> SectionKeys(const Document& doc,
                                                                   std::u16string_view section);
// Sets a key, keeping every other line; adds the key at the end of its section, or the
// section at the end of the document.
void SetKey(Document& doc, std::u16string_view section, std::u16string_view ident,
            std::u16string_view value);
// Section names in file order.
std::vector<std::u16string> SectionNames(const Document& doc);

template <typename AnsiToWide>
Document Parse(std::string_view bytes, AnsiToWide&& ansiToWide) {
  if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
      static_cast<unsigned char>(bytes[1]) == 0xFE) {
    return ParseUtf16(util::FromUtf16LeBytes(std::as_bytes(std::span(bytes.substr(2)))), true);
  }
  return ParseUtf16(ansiToWide(bytes), false);
}

}  // namespace qb::ini
