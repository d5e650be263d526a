// JPEG picture files on libjpeg(-turbo): the bitmap's pixels as RGB (32-bit
// rows handed over as they are, other depths converted), the library's
// default settings with the given quality and baseline quantisation tables
// forced. The export always asks for quality 100.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "output/bitmap.hpp"

namespace tav {

inline constexpr int kJpegExportQuality = 100;

// The file's bytes, or nothing with the error text set:
//   "Invalid input data"        quality outside 0..100, or no pixels
//   "Invalid bitmap bit count"  a depth other than 1, 4, 8, 16, 24 or 32
// (and the library's own message should it fail).
std::optional<std::vector<std::uint8_t>> EncodeJpeg(const BitmapView& bitmap, int quality, std::string* errorText);

// Encodes and writes (a temporary name first, then renamed): 1 on success,
// 0 with errorText set; a file that cannot be created gives "Cannot open "
// followed by the path.
int WriteJpeg(const BitmapView& bitmap, int quality, const std::string& path, std::string* errorText);

}  // namespace tav
