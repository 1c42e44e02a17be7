// Real files the dialogs read and write: the backups the plugin saves and the folders they
// lie in.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qb::winetest::dialogs {

std::optional<std::vector<std::uint8_t>> ReadBytes(const std::wstring& path);
bool WriteBytes(const std::wstring& path, const std::vector<std::uint8_t>& bytes);
// The names of the files in `folder`, sorted.
std::vector<std::wstring> FilesIn(const std::wstring& folder);

}  // namespace qb::winetest::dialogs
