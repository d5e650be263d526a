// A device-independent bitmap as the picture writers take it: rows of 1, 4, 8,
// 16, 24 or 32 bits per pixel, top row first, with a colour table for the
// palette depths. Pixels are stored the way the display hands them over:
// 32 bits as blue, green, red, unused; 24 bits as blue, green, red; 16 bits
// as 5-5-5 (x rrrrr ggggg bbbbb, little-endian); palette depths as indices,
// the leftmost pixel in the highest bits of a byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace tav {

struct BitmapView {
    int width = 0;
    int height = 0;
    int bitCount = 32;
    const std::uint8_t* bits = nullptr;  // first byte of the top row
    std::ptrdiff_t stride = 0;           // bytes from one row to the next
    std::span<const std::uint32_t> palette;  // 0x00RRGGBB per index

    const std::uint8_t* Row(int y) const { return bits + stride * y; }
    // Pixels present, a depth the writers know, rows long enough for the width.
    bool Valid() const;
};

bool KnownBitCount(int bitCount);

// One row as 24-bit red, green, blue (3 x width bytes into out). A palette
// index beyond the colour table gives black.
void RowToRgb(const BitmapView& bitmap, int y, std::uint8_t* out);
// One row as 32-bit blue, green, red, 0 (4 x width bytes into out).
void RowToBgr0(const BitmapView& bitmap, int y, std::uint8_t* out);

}  // namespace tav
