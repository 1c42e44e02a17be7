// Writes machine folders into a throwaway folder of the real file system, for the tests of the
// folder loader and of the host.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "platform/sim/formats/event_record.h"
#include "platform/sim/formats/evt_file.h"

namespace qb::support {

// A fresh folder under the temporary folder, removed with everything in it at the end.
class TempFolder {
 public:
  TempFolder() {
    std::random_device random;
    const auto base = std::filesystem::temp_directory_path();
    for (;;) {
      path_ = base / ("qb-host-" + std::to_string(random()));
      if (std::filesystem::create_directory(path_)) break;
    }
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

inline void WriteHostFile(const std::filesystem::path& file, std::string_view bytes) {
  std::filesystem::create_directories(file.parent_path());
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  ASSERT_TRUE(out.good()) << file;
}

inline void WriteHostFile(const std::filesystem::path& file, const platform::Bytes& bytes) {
  WriteHostFile(file, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

inline std::string ReadHostFile(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// An .evt file of records with consecutive numbers from `first`.
inline platform::Bytes EvtOf(std::vector<sim::RecordFields> records, std::uint32_t first = 1) {
  sim::EvtLog log;
  std::uint32_t number = first;
  for (auto& record : records) {
    record.recordNumber = number++;
    log.records.push_back(sim::BuildEventRecord(record));
  }
  log.oldestRecordNumber = records.empty() ? 0 : first;
  log.currentRecordNumber = number;
  return sim::WriteEvtFile(log);
}

inline sim::RecordFields RecordOf(std::u16string source, std::uint32_t eventId, std::uint16_t type,
                                  std::uint32_t time) {
  sim::RecordFields record;
  record.source = std::move(source);
  record.eventId = eventId;
  record.eventType = type;
  record.timeGenerated = time;
  record.timeWritten = time;
  return record;
}

// A registry export that makes `logs` known to the catalogue, in that order.
inline std::string RegistryWithLogs(std::initializer_list<std::string_view> logs) {
  std::string text = "Windows Registry Editor Version 5.00\r\n\r\n";
  for (const auto log : logs) {
    text += "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\EventLog\\";
    text += log;
    text += "]\r\n\"MaxSize\"=dword:00080000\r\n\r\n";
  }
  return text;
}

}  // namespace qb::support
