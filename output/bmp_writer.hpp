// Picture files in the Windows bitmap format as the export writes them: a
// 14-byte file header, a 40-byte information header, one unused colour table
// entry, then the pixels at offset 58, 32 bits each (blue, green, red, 0),
// rows from the bottom up. Every field little-endian.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "output/bitmap.hpp"

namespace tav {

inline constexpr std::uint32_t kBmpPixelOffset = 58;

// 58 + width x height x 4 bytes; nothing for a bitmap that is not Valid().
std::vector<std::uint8_t> EncodeBmp(const BitmapView& bitmap);

// Creates or replaces the file (a temporary name first, then renamed): 1 on
// success, 0 when the bitmap is not valid or the file cannot be written.
int WriteBmp(const std::string& path, const BitmapView& bitmap, std::string* error = nullptr);

}  // namespace tav
