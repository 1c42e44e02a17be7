// Regedit exports (.reg): "Windows Registry Editor Version 5.00" text, UTF-16 LE with a
// byte-order mark as regedit writes it (or UTF-8 with one), and "REGEDIT4" text in the 8-bit
// code page Windows-1252.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/registry.h"

namespace qb::sim {

struct RegFileEntry {
  enum class Kind {
    kKey,          // [ROOT\path]: the key, created with its missing parents
    kDeleteKey,    // [-ROOT\path]: the key and everything below it removed
    kValue,        // "name"=...: a value set (REG_SZ texts end with their terminator)
    kDeleteValue,  // "name"=-: a value removed
  };
  Kind kind = Kind::kKey;
  platform::RegRoot root = platform::RegRoot::kLocalMachine;
  std::u16string path;  // below the root
  std::u16string name;  // the value's name; empty for the default value (@)
  std::uint32_t type = 0;
  platform::Bytes data;
};

struct RegFile {
  std::vector<RegFileEntry> entries;  // in the order of the file
  std::string error;                  // empty, or what is wrong at which line
};

// Reads an export. On a fault `entries` holds what stood before it.
RegFile ReadRegFile(platform::ByteSpan file);

}  // namespace qb::sim
