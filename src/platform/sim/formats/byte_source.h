// Random-access input for the format readers: a file is read in pieces at offsets, so a reader
// of a large file holds only the part it works on.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <span>

#include "platform/types.h"

namespace qb::sim {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual std::uint64_t size() const = 0;
  // Fills `out` from `offset`; false when the bytes are not all there or the read fails.
  virtual bool ReadAt(std::uint64_t offset, std::span<std::byte> out) const = 0;
};

// Bytes in memory: a view of the caller's bytes, or bytes of its own.
class MemoryByteSource final : public ByteSource {
 public:
  explicit MemoryByteSource(platform::ByteSpan view) : view_(view) {}
  explicit MemoryByteSource(platform::Bytes owned) : owned_(std::move(owned)), view_(owned_) {}
  MemoryByteSource(const MemoryByteSource&) = delete;
  MemoryByteSource& operator=(const MemoryByteSource&) = delete;

  std::uint64_t size() const override { return view_.size(); }
  bool ReadAt(std::uint64_t offset, std::span<std::byte> out) const override;

 private:
  platform::Bytes owned_;
  platform::ByteSpan view_;
};

// A file on the host, opened for reading. Reads are serialised, so one source may serve
// several readers.
class FileByteSource final : public ByteSource {
 public:
  // nullptr when the file cannot be opened.
  static std::unique_ptr<FileByteSource> Open(const std::filesystem::path& path);

 private:
  struct Key {};

 public:
  FileByteSource(Key, std::ifstream stream, std::uint64_t size)
      : stream_(std::move(stream)), size_(size) {}

  std::uint64_t size() const override { return size_; }
  bool ReadAt(std::uint64_t offset, std::span<std::byte> out) const override;

 private:
  mutable std::mutex mutex_;
  mutable std::ifstream stream_;
  std::uint64_t size_;
};

// Random-access output for the writers: pieces are written at offsets, so a header can be
// completed once what it describes has been written.
class ByteSink {
 public:
  virtual ~ByteSink() = default;
  virtual bool WriteAt(std::uint64_t offset, platform::ByteSpan bytes) = 0;
};

class MemoryByteSink final : public ByteSink {
 public:
  bool WriteAt(std::uint64_t offset, platform::ByteSpan bytes) override;
  platform::Bytes& bytes() { return bytes_; }

 private:
  platform::Bytes bytes_;
};

class FileByteSink final : public ByteSink {
 public:
  // Creates or truncates the file; nullptr when that fails.
  static std::unique_ptr<FileByteSink> Create(const std::filesystem::path& path);

 private:
  struct Key {};

 public:
  FileByteSink(Key, std::ofstream stream) : stream_(std::move(stream)) {}

  bool WriteAt(std::uint64_t offset, platform::ByteSpan bytes) override;
  // Flushes; false when any write failed.
  bool Close();

 private:
  std::ofstream stream_;
  bool failed_ = false;
};

}  // namespace qb::sim
