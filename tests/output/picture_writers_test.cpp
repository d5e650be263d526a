#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <jpeglib.h>

#include "base/atomic_file.hpp"
#include "output/bmp_writer.hpp"
#include "output/jpeg_writer.hpp"
#include "tests/support/tool_runner.hpp"

namespace tav {
namespace {

using testing::TempDir;

std::uint32_t U32At(const std::vector<std::uint8_t>& b, std::size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}
std::uint16_t U16At(const std::vector<std::uint8_t>& b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

// A 32-bit picture as the display hands it over: blue, green, red, 0xFF.
struct Pixels32 {
    int width, height;
    std::vector<std::uint8_t> bytes;
    Pixels32(int w, int h) : width(w), height(h), bytes(static_cast<std::size_t>(w) * h * 4, 0xFF) {}
    void Set(int x, int y, std::uint32_t rgb) {
        auto* p = &bytes[(static_cast<std::size_t>(y) * width + x) * 4];
        p[0] = rgb & 0xFF;
        p[1] = (rgb >> 8) & 0xFF;
        p[2] = (rgb >> 16) & 0xFF;
        p[3] = 0xFF;
    }
    BitmapView View() const { return {width, height, 32, bytes.data(), width * 4, {}}; }
};

TEST(BmpWriter, TinyBitmapHasTheExactLayoutWithRowsBottomUp) {
    Pixels32 px(2, 2);
    px.Set(0, 0, 0x112233);  // top left
    px.Set(1, 0, 0x445566);
    px.Set(0, 1, 0x778899);  // bottom left
    px.Set(1, 1, 0xAABBCC);
    const auto b = EncodeBmp(px.View());
    ASSERT_EQ(b.size(), 58u + 16u);
    EXPECT_EQ(b[0], 'B');
    EXPECT_EQ(b[1], 'M');
    EXPECT_EQ(U32At(b, 2), 74u);  // 14 + 40 + 4 + 16
    EXPECT_EQ(U32At(b, 6), 0u);
    EXPECT_EQ(U32At(b, 10), 58u);
    EXPECT_EQ(U32At(b, 14), 40u);
    EXPECT_EQ(U32At(b, 18), 2u);
    EXPECT_EQ(U32At(b, 22), 2u);  // positive height: bottom-up
    EXPECT_EQ(U16At(b, 26), 1u);
    EXPECT_EQ(U16At(b, 28), 32u);
    EXPECT_EQ(U32At(b, 30), 0u);
    EXPECT_EQ(U32At(b, 34), 16u);
    const std::vector<std::uint8_t> pixels(b.begin() + 58, b.end());
    const std::vector<std::uint8_t> expected{0x99, 0x88, 0x77, 0, 0xCC, 0xBB, 0xAA, 0,   // bottom row first
                                             0x33, 0x22, 0x11, 0, 0x66, 0x55, 0x44, 0};
    EXPECT_EQ(pixels, expected);
}

TEST(BmpWriter, PictureOf530x200IsItsPixelsPlus58Bytes) {
    TempDir dir;
    Pixels32 px(530, 200);
    const std::string path = dir.File("p.bmp");
    ASSERT_EQ(WriteBmp(path, px.View()), 1);
    const auto bytes = ReadWholeFile(path);
    ASSERT_TRUE(bytes);
    EXPECT_EQ(bytes->size(), 58u + 530u * 200u * 4u);
    EXPECT_EQ(U32At(*bytes, 2), bytes->size());
}

// The same picture at every depth the writers take must give the same pixels.
TEST(BmpWriter, EveryAcceptedDepthGivesTheSameColours) {
    const int w = 9, h = 3;  // odd widths find bit-order and padding faults
    const std::vector<std::uint32_t> palette{0x000000, 0xFFFFFF, 0xFF0000, 0x0000FF};
    const auto colourAt = [&](int x, int y) { return (x + y) % 2 == 0 ? 1 : (x % 3 == 0 ? 0 : 1); };
    Pixels32 ref(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) ref.Set(x, y, palette[static_cast<std::size_t>(colourAt(x, y))]);
    const auto want = EncodeBmp(ref.View());

    const auto rowsOf = [&](int bits) {
        const int stride = ((w * bits + 31) / 32) * 4;
        std::vector<std::uint8_t> rows(static_cast<std::size_t>(stride) * h, 0);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const int c = colourAt(x, y);
                const std::uint32_t rgb = palette[static_cast<std::size_t>(c)];
                std::uint8_t* r = &rows[static_cast<std::size_t>(y) * stride];
                switch (bits) {
                    case 1: r[x / 8] |= static_cast<std::uint8_t>(c << (7 - x % 8)); break;
                    case 4: r[x / 2] |= static_cast<std::uint8_t>(c << (x % 2 ? 0 : 4)); break;
                    case 8: r[x] = static_cast<std::uint8_t>(c); break;
                    case 16: {
                        const unsigned v = rgb ? 0x7FFF : 0;
                        r[2 * x] = v & 0xFF;
                        r[2 * x + 1] = v >> 8;
                        break;
                    }
                    case 24:
                        r[3 * x] = rgb & 0xFF;
                        r[3 * x + 1] = (rgb >> 8) & 0xFF;
                        r[3 * x + 2] = rgb >> 16;
                        break;
                }
            }
        return std::make_pair(rows, stride);
    };
    for (const int bits : {1, 4, 8, 16, 24}) {
        const auto [rows, stride] = rowsOf(bits);
        const BitmapView view{w, h, bits, rows.data(), stride, palette};
        EXPECT_EQ(EncodeBmp(view), want) << bits << " bits";
    }
    // A palette index beyond the colour table is black, not a read past it.
    const std::vector<std::uint8_t> row{0xFF, 0, 0, 0};
    const BitmapView beyond{1, 1, 8, row.data(), 4, std::span<const std::uint32_t>(palette).first(2)};
    const auto b = EncodeBmp(beyond);
    ASSERT_EQ(b.size(), 62u);
    EXPECT_EQ(U32At(b, 58), 0u);
}

TEST(BmpWriter, RefusesWhatItCannotWriteAndLeavesNoFile) {
    TempDir dir;
    Pixels32 px(4, 4);
    BitmapView empty = px.View();
    empty.width = 0;
    EXPECT_EQ(WriteBmp(dir.File("a.bmp"), empty), 0);
    BitmapView shortRows = px.View();
    shortRows.stride = 8;  // rows shorter than 4 pixels of 4 bytes
    EXPECT_TRUE(EncodeBmp(shortRows).empty());
    EXPECT_EQ(WriteBmp(dir.File("missing/a.bmp"), px.View()), 0);
    EXPECT_EQ(access(dir.File("a.bmp").c_str(), F_OK), -1);
}

struct Decoded {
    int width = 0, height = 0;
    std::vector<std::uint8_t> rgb;
};

Decoded DecodeJpeg(const std::vector<std::uint8_t>& bytes) {
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, bytes.data(), static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo);
    Decoded d{static_cast<int>(cinfo.output_width), static_cast<int>(cinfo.output_height), {}};
    d.rgb.resize(static_cast<std::size_t>(d.width) * d.height * 3);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = &d.rgb[static_cast<std::size_t>(cinfo.output_scanline) * d.width * 3];
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return d;
}

TEST(JpegWriter, DecodesBackToTheSizeAndColours) {
    TempDir dir;
    Pixels32 px(64, 48);
    const std::uint32_t colours[4] = {0xFF0000, 0x00A000, 0x0033CC, 0xFFFFFF};
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x) px.Set(x, y, colours[(x / 32) + 2 * (y / 24)]);
    const std::string path = dir.File("p.jpg");
    std::string error;
    ASSERT_EQ(WriteJpeg(px.View(), kJpegExportQuality, path, &error), 1) << error;
    const auto bytes = ReadWholeFile(path);
    ASSERT_TRUE(bytes);
    const Decoded d = DecodeJpeg(*bytes);
    ASSERT_EQ(d.width, 64);
    ASSERT_EQ(d.height, 48);
    // The centre of each quadrant, away from the edges where blocks blur.
    for (int q = 0; q < 4; ++q) {
        const int x = 16 + 32 * (q % 2), y = 12 + 24 * (q / 2);
        const auto* p = &d.rgb[(static_cast<std::size_t>(y) * 64 + x) * 3];
        EXPECT_NEAR(p[0], (colours[q] >> 16) & 0xFF, 6) << q;
        EXPECT_NEAR(p[1], (colours[q] >> 8) & 0xFF, 6) << q;
        EXPECT_NEAR(p[2], colours[q] & 0xFF, 6) << q;
    }
}

TEST(JpegWriter, ThirtyTwoBitRowsGiveTheBytesOfTheirRgbPixels) {
    // 32-bit rows go to the library as they are; the same pixels as 24-bit
    // rows take the converting path. Both must give the same file, whatever
    // the unused byte holds. Odd sizes find row and block edge faults.
    const int w = 37, h = 21;
    Pixels32 px(w, h);
    std::vector<std::uint8_t> rgb24(static_cast<std::size_t>((w * 3 + 3) / 4 * 4) * h, 0);
    const int stride24 = (w * 3 + 3) / 4 * 4;
    std::uint32_t state = 12345;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            state = state * 1664525u + 1013904223u;
            const std::uint32_t colour = state >> 8;
            px.Set(x, y, colour);
            px.bytes[(static_cast<std::size_t>(y) * w + x) * 4 + 3] = static_cast<std::uint8_t>(state);
            std::uint8_t* p = &rgb24[static_cast<std::size_t>(y) * stride24 + 3 * x];
            p[0] = colour & 0xFF;
            p[1] = (colour >> 8) & 0xFF;
            p[2] = (colour >> 16) & 0xFF;
        }
    const BitmapView view24{w, h, 24, rgb24.data(), stride24, {}};
    for (const int quality : {kJpegExportQuality, 75}) {
        const auto direct = EncodeJpeg(px.View(), quality, nullptr);
        const auto converted = EncodeJpeg(view24, quality, nullptr);
        ASSERT_TRUE(direct && converted);
        EXPECT_EQ(*direct, *converted) << "quality " << quality;
    }
}

TEST(JpegWriter, ReportsItsErrorTextsAndWritesNothing) {
    TempDir dir;
    Pixels32 px(8, 8);
    std::string error;
    EXPECT_EQ(WriteJpeg(px.View(), 101, dir.File("a.jpg"), &error), 0);
    EXPECT_EQ(error, "Invalid input data");
    EXPECT_EQ(WriteJpeg(px.View(), -1, dir.File("a.jpg"), &error), 0);
    EXPECT_EQ(error, "Invalid input data");
    EXPECT_EQ(WriteJpeg(BitmapView{}, 100, dir.File("a.jpg"), &error), 0);
    EXPECT_EQ(error, "Invalid input data");
    BitmapView twoBits = px.View();
    twoBits.bitCount = 2;
    EXPECT_EQ(WriteJpeg(twoBits, 100, dir.File("a.jpg"), &error), 0);
    EXPECT_EQ(error, "Invalid bitmap bit count");
    const std::string missing = dir.File("no-such-folder/a.jpg");
    EXPECT_EQ(WriteJpeg(px.View(), 100, missing, &error), 0);
    EXPECT_EQ(error, "Cannot open " + missing);
    EXPECT_EQ(access(dir.File("a.jpg").c_str(), F_OK), -1);
}

}  // namespace
}  // namespace tav
