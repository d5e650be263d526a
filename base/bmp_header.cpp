#include "base/bmp_header.hpp"

#include <limits>

#include "base/byte_io.hpp"

namespace tav {

std::optional<BmpSize> ReadBmpSize(std::span<const std::uint8_t> file) {
    ByteReader in(file);
    std::array<std::uint8_t, 2> magic{};
    std::uint32_t headerSize = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    if (!in.Bytes(magic) || magic[0] != 'B' || magic[1] != 'M' || !in.Skip(12) || !in.U32(headerSize) ||
        !in.I32(width) || !in.I32(height))
        return std::nullopt;
    // Every information header since Windows 3 (40 bytes and its longer
    // successors) starts with the sizes as 32-bit numbers; the 12-byte OS/2
    // one holds 16-bit sizes and is not a picture anyone hands us.
    if (headerSize == 12) return std::nullopt;
    if (width <= 0 || height == 0 || height == std::numeric_limits<std::int32_t>::min()) return std::nullopt;
    return BmpSize{width, height < 0 ? -height : height, height < 0};
}

}  // namespace tav
