#include "output/bmp_writer.hpp"

#include "base/atomic_file.hpp"
#include "base/byte_io.hpp"

namespace tav {

namespace {

constexpr std::uint32_t kFileHeaderSize = 14;
constexpr std::uint32_t kInfoHeaderSize = 40;
constexpr std::uint32_t kColourEntrySize = 4;
static_assert(kFileHeaderSize + kInfoHeaderSize + kColourEntrySize == kBmpPixelOffset);

}  // namespace

std::vector<std::uint8_t> EncodeBmp(const BitmapView& bitmap) {
    std::vector<std::uint8_t> out;
    if (!bitmap.Valid()) return out;
    const std::uint64_t pixelBytes = static_cast<std::uint64_t>(bitmap.width) * static_cast<std::uint64_t>(bitmap.height) * 4;
    if (pixelBytes > 0xFFFFFFFFull - kBmpPixelOffset) return out;  // beyond what the size field holds
    const auto imageSize = static_cast<std::uint32_t>(pixelBytes);
    out.reserve(kBmpPixelOffset + pixelBytes);
    ByteWriter w(out);
    w.Bytes("BM", 2);
    w.U32(kBmpPixelOffset + imageSize);  // 14 + the device-independent block that follows
    w.U16(0);
    w.U16(0);
    w.U32(kBmpPixelOffset);
    w.U32(kInfoHeaderSize);
    w.I32(bitmap.width);
    w.I32(bitmap.height);  // positive: rows bottom-up
    w.U16(1);              // planes
    w.U16(32);             // bits per pixel
    w.U32(0);              // no compression
    w.U32(imageSize);
    w.I32(0);  // resolution: left for the reader to choose, as a screen bitmap carries none
    w.I32(0);
    w.U32(0);  // colours used
    w.U32(0);  // colours important
    w.Zeros(kColourEntrySize);
    std::uint8_t* p = w.Extend(static_cast<std::size_t>(pixelBytes));
    const std::size_t rowBytes = static_cast<std::size_t>(bitmap.width) * 4;
    for (int y = bitmap.height - 1; y >= 0; --y, p += rowBytes) RowToBgr0(bitmap, y, p);
    return out;
}

int WriteBmp(const std::string& path, const BitmapView& bitmap, std::string* error) {
    const auto bytes = EncodeBmp(bitmap);
    if (bytes.empty()) {
        if (error) *error = "invalid bitmap";
        return 0;
    }
    return WriteFileAtomically(path, bytes, error) ? 1 : 0;
}

}  // namespace tav
