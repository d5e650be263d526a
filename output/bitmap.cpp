#include "output/bitmap.hpp"

#include <cstdlib>
#include <cstring>

namespace tav {

namespace {

// The colour of pixel x of a row, as 0x00RRGGBB.
std::uint32_t PixelRgb(const BitmapView& b, const std::uint8_t* row, int x) {
    const auto paletteColour = [&](unsigned index) -> std::uint32_t {
        return index < b.palette.size() ? b.palette[index] & 0xFFFFFFu : 0u;
    };
    switch (b.bitCount) {
        case 1: return paletteColour((row[x >> 3] >> (7 - (x & 7))) & 1u);
        case 4: return paletteColour((row[x >> 1] >> ((x & 1) ? 0 : 4)) & 0xFu);
        case 8: return paletteColour(row[x]);
        case 16: {
            const unsigned v = row[2 * x] | (row[2 * x + 1] << 8);
            // 5 bits to 8: repeat the top bits so that full scale stays white.
            const auto widen = [](unsigned c) { return (c << 3) | (c >> 2); };
            return (widen((v >> 10) & 31u) << 16) | (widen((v >> 5) & 31u) << 8) | widen(v & 31u);
        }
        case 24: return (static_cast<std::uint32_t>(row[3 * x + 2]) << 16) | (row[3 * x + 1] << 8) | row[3 * x];
        default: return (static_cast<std::uint32_t>(row[4 * x + 2]) << 16) | (row[4 * x + 1] << 8) | row[4 * x];
    }
}

}  // namespace

bool KnownBitCount(int bitCount) {
    return bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 16 || bitCount == 24 || bitCount == 32;
}

bool BitmapView::Valid() const {
    if (!bits || width <= 0 || height <= 0 || !KnownBitCount(bitCount)) return false;
    const long long rowBytes = (static_cast<long long>(width) * bitCount + 7) / 8;
    return std::llabs(static_cast<long long>(stride)) >= rowBytes;
}

void RowToRgb(const BitmapView& b, int y, std::uint8_t* out) {
    const std::uint8_t* row = b.Row(y);
    if (b.bitCount == 32) {
        for (int x = 0; x < b.width; ++x, out += 3, row += 4) {
            out[0] = row[2];
            out[1] = row[1];
            out[2] = row[0];
        }
        return;
    }
    for (int x = 0; x < b.width; ++x, out += 3) {
        const std::uint32_t c = PixelRgb(b, row, x);
        out[0] = static_cast<std::uint8_t>(c >> 16);
        out[1] = static_cast<std::uint8_t>(c >> 8);
        out[2] = static_cast<std::uint8_t>(c);
    }
}

void RowToBgr0(const BitmapView& b, int y, std::uint8_t* out) {
    const std::uint8_t* row = b.Row(y);
    if (b.bitCount == 32) {
        // Copy the row, then clear the unused byte of each pixel.
        std::memcpy(out, row, static_cast<std::size_t>(b.width) * 4);
        for (int x = 0; x < b.width; ++x) out[4 * x + 3] = 0;
        return;
    }
    for (int x = 0; x < b.width; ++x, out += 4) {
        const std::uint32_t c = PixelRgb(b, row, x);
        out[0] = static_cast<std::uint8_t>(c);
        out[1] = static_cast<std::uint8_t>(c >> 8);
        out[2] = static_cast<std::uint8_t>(c >> 16);
        out[3] = 0;
    }
}

}  // namespace tav
