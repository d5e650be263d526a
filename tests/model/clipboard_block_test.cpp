#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "base/byte_io.hpp"
#include "model/clipboard_block.hpp"
#include "model/project_file.hpp"
#include "tests/support/project_builder.hpp"

namespace tav {
namespace {

std::int32_t I32At(const std::vector<std::uint8_t>& b, std::size_t at) {
    std::int32_t v = 0;
    ByteReader in(std::span<const std::uint8_t>(b).subspan(at, 4));
    in.I32(v);
    return v;
}

// Everything a file keeps of a test point, plus what only the block carries.
std::vector<std::uint8_t> Image(const TestPoint& tp) {
    std::vector<std::uint8_t> bytes;
    ByteWriter out(bytes);
    WriteTestPoint(out, tp);
    out.I32(tp.runtimeWord);
    out.I32(tp.toePending);
    out.I32(tp.scalePending);
    return bytes;
}

Snapshot RandomSnapshot(std::uint32_t seed, int points) {
    std::mt19937 rng(seed);
    Snapshot s;
    s.kind = 0;
    s.mode = kModePile;
    s.index = 7;
    s.target = -1;
    s.header = testing::MakeHeader("检测单位", "工程");
    s.header.reserved[99] = 0x5A;
    for (int k = 0; k < points; ++k) {
        TestPoint tp = testing::RandomPoint(rng, {.maxSamples = 300, .maxSteps = 4, .maxDefects = 3, .maxMarks = 5});
        tp.runtimeWord = 1000 + k;
        tp.toePending = k % 2;
        tp.scalePending = 1;
        s.points.push_back(std::move(tp));
    }
    return s;
}

TEST(ClipboardBlock, WrittenAndReadBackEqualInEveryField) {
    const Snapshot s = RandomSnapshot(11, 4);
    const auto block = WriteClipboardBlock(s);

    std::size_t expected = 240;
    for (const auto& tp : s.points)
        expected += 1376 + 4 * tp.rawSamples.size() + 4 * tp.samples.size() + 1112 * tp.steps.size() +
                    164 * tp.defects.size() + 4 * tp.spectrumMarks.size() + 4 * tp.correlationMarks.size() +
                    8 * tp.waveletMarkPositions.size();
    EXPECT_EQ(block.size(), expected);
    EXPECT_EQ(ClipboardBlockSize(s), expected);

    const auto back = ReadClipboardBlock(block);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->kind, 0);
    EXPECT_EQ(back->mode, kModePile);
    EXPECT_EQ(back->index, 7);
    EXPECT_EQ(back->target, -1);
    EXPECT_EQ(back->header.testUnit, s.header.testUnit);
    EXPECT_EQ(back->header.reserved, s.header.reserved);
    ASSERT_EQ(back->count(), 4);
    for (std::size_t k = 0; k < s.points.size(); ++k) EXPECT_EQ(Image(back->points[k]), Image(s.points[k])) << k;
    EXPECT_EQ(WriteClipboardBlock(*back), block);
}

TEST(ClipboardBlock, FieldsSitAtTheirOffsetsAndPointerSlotsAreZero) {
    Snapshot s = RandomSnapshot(5, 1);
    auto& tp = s.points[0];
    tp.checked = 1;
    tp.headValid = 0;
    SetText(tp.note, "备注");
    const auto block = WriteClipboardBlock(s);
    constexpr std::size_t r = 240;
    EXPECT_EQ(I32At(block, 4), 1);
    EXPECT_EQ(I32At(block, 12), kModePile);
    EXPECT_EQ(I32At(block, r + 128), tp.rawCount());
    EXPECT_EQ(I32At(block, r + 136), tp.sampleCount());
    EXPECT_EQ(I32At(block, r + 144), tp.stepCount());
    EXPECT_EQ(I32At(block, r + 1264), tp.defectCount());
    EXPECT_EQ(I32At(block, r + 1288), tp.waveletMarkCount());
    EXPECT_EQ(I32At(block, r + 1300), 1);
    EXPECT_EQ(I32At(block, r + 1304), 0);
    EXPECT_EQ(I32At(block, r + 1312), tp.runtimeWord);
    EXPECT_EQ(std::memcmp(block.data() + r + 1316, tp.note.data(), 50), 0);
    for (std::size_t slot : {std::size_t{8}, r + 132, r + 140, r + 148, r + 1268, r + 1276, r + 1284, r + 1292, r + 1296})
        EXPECT_EQ(I32At(block, slot), 0) << slot;
    // The first raw sample follows the record image.
    float first = 0;
    std::memcpy(&first, block.data() + r + 1376, 4);
    if (!tp.rawSamples.empty()) {
        EXPECT_EQ(first, tp.rawSamples[0]);
    }
}

TEST(ClipboardBlock, ABlockThatDoesNotAddUpIsIgnored) {
    const auto good = WriteClipboardBlock(RandomSnapshot(3, 2));
    EXPECT_FALSE(ReadClipboardBlock({}).has_value());
    EXPECT_FALSE(ReadClipboardBlock(std::span(good).first(239)).has_value());
    EXPECT_FALSE(ReadClipboardBlock(std::span(good).first(good.size() - 1)).has_value());
    auto longer = good;
    longer.push_back(0);
    EXPECT_FALSE(ReadClipboardBlock(longer).has_value()) << "trailing bytes";

    const auto patched = [&](std::size_t at, std::int32_t value) {
        auto b = good;
        std::vector<std::uint8_t> v;
        ByteWriter(v).I32(value);
        std::memcpy(b.data() + at, v.data(), 4);
        return ReadClipboardBlock(b).has_value();
    };
    EXPECT_FALSE(patched(4, 0x7FFFFFFF)) << "a count far beyond the block";
    EXPECT_FALSE(patched(4, -1));
    EXPECT_FALSE(patched(4, 3)) << "one record more than there is";
    EXPECT_FALSE(patched(240 + 128, -5)) << "negative raw count";
    EXPECT_FALSE(patched(240 + 144, 16385)) << "more steps than a record may hold";
    EXPECT_FALSE(patched(240 + 1288, 0x40000000)) << "wavelet count overflowing its byte size";

    // A block of one empty record is fine.
    Snapshot empty;
    empty.mode = kModePoint;
    empty.points.emplace_back();
    const auto one = WriteClipboardBlock(empty);
    EXPECT_EQ(one.size(), 240u + 1376u);
    EXPECT_TRUE(ReadClipboardBlock(one).has_value());
}

}  // namespace
}  // namespace tav
