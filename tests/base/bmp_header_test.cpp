#include "base/bmp_header.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "output/bitmap.hpp"
#include "output/bmp_writer.hpp"

namespace tav {
namespace {

// The bitmap files the program writes read back at the size they were drawn.
TEST(BmpHeader, TheProgramsBitmapsReadBackAtTheirSize) {
    std::vector<std::uint8_t> pixels(580 * 200 * 4, 0x40);
    BitmapView view;
    view.width = 580;
    view.height = 200;
    view.bits = pixels.data();
    view.stride = 580 * 4;
    const auto size = ReadBmpSize(EncodeBmp(view));
    ASSERT_TRUE(size);
    EXPECT_EQ(size->width, 580);
    EXPECT_EQ(size->height, 200);
    EXPECT_FALSE(size->topDown);
}

void PutI32(std::vector<std::uint8_t>& b, std::size_t at, std::int32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(v) >> (8 * i));
}

std::vector<std::uint8_t> Header(std::int32_t width, std::int32_t height, std::int32_t headerSize = 40) {
    std::vector<std::uint8_t> b(54, 0);
    b[0] = 'B';
    b[1] = 'M';
    PutI32(b, 14, headerSize);
    PutI32(b, 18, width);
    PutI32(b, 22, height);
    return b;
}

TEST(BmpHeader, SizesFromOutsideAreCheckedBeforeTheyAreBelieved) {
    const auto topDown = ReadBmpSize(Header(3, -7));
    ASSERT_TRUE(topDown);
    EXPECT_EQ(topDown->height, 7);
    EXPECT_TRUE(topDown->topDown);
    // The sizes end at byte 26: a file cut there still tells them, one byte less does not.
    auto cut = Header(3, 7);
    cut.resize(26);
    EXPECT_TRUE(ReadBmpSize(cut));
    cut.resize(25);
    EXPECT_FALSE(ReadBmpSize(cut));

    auto notBitmap = Header(3, 7);
    notBitmap[1] = 'A';
    EXPECT_FALSE(ReadBmpSize(notBitmap));
    EXPECT_FALSE(ReadBmpSize(Header(0, 7)));
    EXPECT_FALSE(ReadBmpSize(Header(-3, 7)));
    EXPECT_FALSE(ReadBmpSize(Header(3, 0)));
    EXPECT_FALSE(ReadBmpSize(Header(3, INT32_MIN))) << "its height has no positive counterpart";
    EXPECT_FALSE(ReadBmpSize(Header(3, 7, 12))) << "the OS/2 header's sizes are 16 bits";
    EXPECT_FALSE(ReadBmpSize({}));
}

}  // namespace
}  // namespace tav
