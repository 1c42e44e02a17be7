// PNG files of 24-bit pictures, written without a compression library: the image data goes
// into stored (uncompressed) deflate blocks, which every PNG reader takes.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace qb::winetest::dialogs {

// The file's bytes for `width` x `height` pixels given as RGB rows from the top; empty when
// `rgb` does not hold exactly that many pixels.
std::vector<std::uint8_t> EncodePng(int width, int height, std::span<const std::uint8_t> rgb);

}  // namespace qb::winetest::dialogs
