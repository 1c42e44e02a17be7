#include "png_file.h"

#include <algorithm>
#include <array>

namespace qb::winetest::dialogs {
namespace {

constexpr std::size_t kMaxStoredBlock = 65535;

const std::array<std::uint32_t, 256>& CrcTable() {
  static const auto table = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t n = 0; n < 256; ++n) {
      std::uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  return table;
}

std::uint32_t Crc(std::span<const std::uint8_t> bytes) {
  std::uint32_t c = 0xFFFFFFFFu;
  for (std::uint8_t b : bytes) c = CrcTable()[(c ^ b) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

std::uint32_t Adler32(std::span<const std::uint8_t> bytes) {
  std::uint32_t a = 1, b = 0;
  for (std::uint8_t v : bytes) {
    a = (a + v) % 65521;
    b = (b + a) % 65521;
  }
  return (b << 16) | a;
}

void PutBigEndian(std::vector<std::uint8_t>& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(std::uint8_t(value >> shift));
}

void PutChunk(std::vector<std::uint8_t>& out, const char (&type)[5],
              std::span<const std::uint8_t> data) {
  PutBigEndian(out, static_cast<std::uint32_t>(data.size()));
  const std::size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  PutBigEndian(out, Crc(std::span(out).subspan(start)));
}

// A zlib stream of stored blocks.
std::vector<std::uint8_t> Stored(std::span<const std::uint8_t> raw) {
  std::vector<std::uint8_t> out = {0x78, 0x01};
  std::size_t at = 0;
  do {
    const std::size_t length = std::min(kMaxStoredBlock, raw.size() - at);
    const bool last = at + length == raw.size();
    out.push_back(last ? 1 : 0);
    out.push_back(std::uint8_t(length));
    out.push_back(std::uint8_t(length >> 8));
    out.push_back(std::uint8_t(~length));
    out.push_back(std::uint8_t(~length >> 8));
    out.insert(out.end(), raw.begin() + std::ptrdiff_t(at),
               raw.begin() + std::ptrdiff_t(at + length));
    at += length;
  } while (at < raw.size());
  PutBigEndian(out, Adler32(raw));
  return out;
}

}  // namespace

std::vector<std::uint8_t> EncodePng(int width, int height, std::span<const std::uint8_t> rgb) {
  if (width <= 0 || height <= 0 || rgb.size() != std::size_t(width) * std::size_t(height) * 3) {
    return {};
  }
  const std::size_t row = std::size_t(width) * 3;
  // Each row starts with its filter type, 0: none.
  std::vector<std::uint8_t> raw;
  raw.reserve((row + 1) * std::size_t(height));
  for (int y = 0; y < height; ++y) {
    raw.push_back(0);
    const auto line = rgb.subspan(std::size_t(y) * row, row);
    raw.insert(raw.end(), line.begin(), line.end());
  }
  std::vector<std::uint8_t> header;
  PutBigEndian(header, std::uint32_t(width));
  PutBigEndian(header, std::uint32_t(height));
  header.insert(header.end(), {8, 2, 0, 0, 0});  // 8 bits, RGB, deflate, adaptive, no interlace

  std::vector<std::uint8_t> file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  PutChunk(file, "IHDR", header);
  PutChunk(file, "IDAT", Stored(raw));
  PutChunk(file, "IEND", {});
  return file;
}

}  // namespace qb::winetest::dialogs
