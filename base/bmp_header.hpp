// What a Windows bitmap file (.bmp) says about its picture, read from its
// headers. In the base so that the program and the report library (which
// links the base) have one reader. The bytes may come from anywhere: every
// field is checked against the bytes there are.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace tav {

struct BmpSize {
    int width = 0;
    int height = 0;        // rows, whichever way they are stored
    bool topDown = false;  // a negative height in the file: top row first
};

// The picture's size from the 14-byte file header ("BM") and the information
// header that follows it; nothing when the bytes are not a bitmap file, or
// its width is not positive or its height is 0.
std::optional<BmpSize> ReadBmpSize(std::span<const std::uint8_t> file);

}  // namespace tav
