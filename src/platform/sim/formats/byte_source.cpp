#include "platform/sim/formats/byte_source.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace qb::sim {

bool MemoryByteSource::ReadAt(std::uint64_t offset, std::span<std::byte> out) const {
  if (offset > view_.size() || out.size() > view_.size() - offset) return false;
  std::copy_n(view_.begin() + static_cast<std::ptrdiff_t>(offset), out.size(), out.begin());
  return true;
}

std::unique_ptr<FileByteSource> FileByteSource::Open(const std::filesystem::path& path) {
  std::ifstream stream(path, std::ios::binary);
  if (!stream) return nullptr;
  stream.seekg(0, std::ios::end);
  const std::streamoff end = stream.tellg();
  if (end < 0) return nullptr;
  return std::make_unique<FileByteSource>(Key{}, std::move(stream),
                                          static_cast<std::uint64_t>(end));
}

bool FileByteSource::ReadAt(std::uint64_t offset, std::span<std::byte> out) const {
  if (offset > size_ || out.size() > size_ - offset) return false;
  if (out.empty()) return true;
  const std::lock_guard lock(mutex_);
  stream_.clear();
  stream_.seekg(static_cast<std::streamoff>(offset));
  stream_.read(reinterpret_cast<char*>(out.data()), static_cast<std::streamsize>(out.size()));
  return static_cast<std::size_t>(stream_.gcount()) == out.size();
}

bool MemoryByteSink::WriteAt(std::uint64_t offset, platform::ByteSpan bytes) {
  if (offset > std::numeric_limits<std::size_t>::max() - bytes.size()) return false;
  const auto end = static_cast<std::size_t>(offset) + bytes.size();
  if (bytes_.size() < end) bytes_.resize(end);
  std::copy(bytes.begin(), bytes.end(), bytes_.begin() + static_cast<std::ptrdiff_t>(offset));
  return true;
}

std::unique_ptr<FileByteSink> FileByteSink::Create(const std::filesystem::path& path) {
  std::ofstream stream(path, std::ios::binary | std::ios::trunc);
  if (!stream) return nullptr;
  return std::make_unique<FileByteSink>(Key{}, std::move(stream));
}

bool FileByteSink::WriteAt(std::uint64_t offset, platform::ByteSpan bytes) {
  stream_.seekp(static_cast<std::streamoff>(offset));
  stream_.write(reinterpret_cast<const char*>(bytes.data()),
                static_cast<std::streamsize>(bytes.size()));
  if (!stream_) failed_ = true;
  return !failed_;
}

bool FileByteSink::Close() {
  stream_.close();
  return !failed_ && !stream_.fail();
}

}  // namespace qb::sim
