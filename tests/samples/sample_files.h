// The committed samples and the files the sample tests read back.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace qb::samplegen {

inline const std::filesystem::path kSamples = QB_SAMPLES_DIR;

inline std::string ReadText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace qb::samplegen
