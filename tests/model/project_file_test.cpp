#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <random>

#include "base/byte_io.hpp"
#include "model/document.hpp"
#include "model/pile_head.hpp"
#include "model/project_file.hpp"
#include "processing/project_loading.hpp"
#include "tests/support/project_builder.hpp"

namespace tav {
namespace {

using testing::MakeHeader;
using testing::ProjectImage;
using testing::RandomPoint;
using testing::RandomShape;
using testing::WaveformPoint;

std::vector<std::uint8_t> Reload(const std::vector<std::uint8_t>& image) {
    CTAV_AnalyserDoc doc;
    const auto r = LoadProject(doc, image);
    EXPECT_EQ(r.status, LoadStatus::Ok) << r.message;
    return doc.SaveProject();
}

TEST(ProjectFile, RecordSizesMatchTheStoredLayout) {
    TestPoint tp;
    std::vector<std::uint8_t> bytes;
    ByteWriter out(bytes);
    WriteRecordHead(out, tp);
    EXPECT_EQ(bytes.size(), 128u);
    bytes.clear();
    WriteProcessStep(out, ProcessStep{});
    EXPECT_EQ(bytes.size(), 1112u);
    bytes.clear();
    WriteDefectMark(out, DefectMark{});
    EXPECT_EQ(bytes.size(), 164u);
    bytes.clear();
    WriteProjectHeader(out, ProjectHeader{});
    EXPECT_EQ(bytes.size(), 209u);
}

TEST(ProjectFile, FieldsSitAtTheirOffsets) {
    TestPoint tp;
    SetText(tp.pileNo, "P7");
    tp.pileLength = 12.5f;
    tp.waveSpeed = 3800;
    tp.sampleInterval = 20.0f;
    tp.toeIndex = 0x1234;
    std::vector<std::uint8_t> bytes;
    ByteWriter out(bytes);
    WriteRecordHead(out, tp);
    EXPECT_EQ(bytes[2], 'P');
    EXPECT_EQ(bytes[3], '7');
    float len = 0;
    std::memcpy(&len, &bytes[108], 4);
    EXPECT_EQ(len, 12.5f);
    EXPECT_EQ(bytes[112] | bytes[113] << 8, 3800);
    EXPECT_EQ(bytes[124] | bytes[125] << 8, 0x1234);

    ProcessStep s;
    s.opType = kOpFilter;
    s.viewMax = 8.0f;
    s.displayBlocks[25].vFactor = 2.0f;
    bytes.clear();
    WriteProcessStep(out, s);
    std::memcpy(&len, &bytes[12], 4);
    EXPECT_EQ(len, 300.0f);
    std::memcpy(&len, &bytes[1052], 4);
    EXPECT_EQ(len, 8.0f);
    std::memcpy(&len, &bytes[116 + 25 * 36 + 32], 4);
    EXPECT_EQ(len, 2.0f);
}

TEST(ProjectFile, ConstructedStepHasItsDefaults) {
    const ProcessStep s;
    EXPECT_EQ(s.filterKind, 1);
    EXPECT_EQ(s.filterUpperHz, 300.0f);
    EXPECT_EQ(s.magnifyFactor, 1.0f);
    EXPECT_EQ(s.smoothPoints, 1);
    EXPECT_EQ(s.rotateScale, 1.0f);
    EXPECT_EQ(s.scaleFactor, 1.0f);
    for (const auto& b : s.displayBlocks) EXPECT_EQ(b, (DisplayBlock{0, 0, 0, 1, 0, 1, 1.0f, 0, 1.0f}));
    const TestPoint tp;
    EXPECT_EQ(tp.headValid, 1);
    EXPECT_EQ(tp.toeValid, 1);
    EXPECT_EQ(tp.rawCount(), 0);
}

TEST(ProjectFile, RandomProjectsRoundTripByteForByte) {
    std::mt19937 rng(20261207);
    for (int round = 0; round < 60; ++round) {
        std::vector<TestPoint> points, backup;
        const int n = 1 + static_cast<int>(rng() % 6);
        for (int i = 0; i < n; ++i) points.push_back(RandomPoint(rng));
        const int m = 1 + static_cast<int>(rng() % 4);
        for (int i = 0; i < m; ++i) backup.push_back(RandomPoint(rng));
        ProjectHeader h = MakeHeader("unit", "name");
        for (auto& b : h.reserved) b = static_cast<std::uint8_t>(rng());
        h.testUnit[40] = 'x';  // bytes behind the terminator are kept
        const auto image = ProjectImage(h, points, backup);
        ASSERT_EQ(Reload(image), image) << "round " << round;
    }
}

TEST(ProjectFile, Version4ReadsAsTheSameContentAndSavesAsVersion6) {
    std::mt19937 rng(4);
    std::vector<TestPoint> points;
    for (int i = 0; i < 4; ++i) {
        TestPoint tp = RandomPoint(rng);
        SetText(tp.pileNo, "PILE-" + std::to_string(i));  // fits the 10-byte field
        tp.padding114 = {};
        tp.padding126 = {};
        points.push_back(tp);
    }
    const auto v4 = ProjectImage(MakeHeader("u", "p"), points, points, true);
    CTAV_AnalyserDoc doc;
    const auto r = LoadProject(doc, v4);
    ASSERT_EQ(r.status, LoadStatus::Ok);
    EXPECT_EQ(r.version, 4);
    EXPECT_EQ(doc.SaveProject(), ProjectImage(MakeHeader("u", "p"), points, points));
}

TEST(ProjectFile, HeaderCountsAreChecked) {
    const auto ok = ProjectImage(MakeHeader("u", "p"), {WaveformPoint("P1")}, {});
    for (std::int32_t bad : {0, -1, 16384, 0x7fffffff}) {
        auto image = ok;
        std::memcpy(&image[5], &bad, 4);
        CTAV_AnalyserDoc doc;
        EXPECT_EQ(LoadProject(doc, image).status, LoadStatus::InvalidCount) << bad;
        EXPECT_EQ(doc.PointCount(), 0);
        EXPECT_EQ(doc.hasPoints, 0);
    }
    auto image = ok;
    image[0] = 'X';
    CTAV_AnalyserDoc doc;
    EXPECT_EQ(LoadProject(doc, image).status, LoadStatus::UnknownVersion);
}

TEST(ProjectFile, ClaimsBeyondTheBytesAreRefusedWithoutAllocating) {
    // 16,000 test points of 16,384 samples claimed in 200 bytes.
    std::vector<std::uint8_t> image(200, 0);
    std::memcpy(image.data(), "TAV15", 5);
    const std::int32_t count = 16000;
    std::memcpy(&image[5], &count, 4);
    const std::int32_t samples = 16384;
    image.resize(209 + 128 + 4);
    std::memcpy(&image[209 + 128], &samples, 4);  // the first raw count
    CTAV_AnalyserDoc doc;
    const auto r = LoadProject(doc, image);
    EXPECT_EQ(r.status, LoadStatus::FaultyPoint);
    EXPECT_EQ(r.faultyPoint, 0);
    for (const auto& tp : doc.points) EXPECT_EQ(tp.rawCount(), 0);
}

TEST(ProjectFile, FileEndingAfterRawSamplesIsAccepted) {
    TestPoint tp = WaveformPoint("P1", 100);
    std::vector<std::uint8_t> image;
    ByteWriter out(image);
    ProjectHeader h = MakeHeader("u", "p");
    h.pointCount = 1;
    WriteProjectHeader(out, h);
    WriteRecordHead(out, tp);
    out.I32(tp.rawCount());
    out.F32Array(tp.rawSamples);
    CTAV_AnalyserDoc doc;
    const auto r = LoadProject(doc, image);
    ASSERT_EQ(r.status, LoadStatus::Ok);
    const auto& got = doc.points[0];
    EXPECT_EQ(got.samples, tp.rawSamples);
    EXPECT_EQ(got.stepCount(), 0);
    EXPECT_EQ(got.checked, 0);
    EXPECT_EQ(got.toeValid, 0);
    EXPECT_EQ(got.headValid, 1) << "the head search supplies the head";
    EXPECT_EQ(got.headIndex, FindPileHead(got.samples.data(), got.sampleCount()));
}

TEST(ProjectFile, ABackupSetThatStopsAtADamagedRecordIsReported) {
    const TestPoint a = WaveformPoint("P1", 64), b = WaveformPoint("P2", 64);
    auto image = ProjectImage(MakeHeader("u", "p"), {a}, {a, b});
    // The backup header claims the largest count its file could hold.
    const std::size_t backupHeaderAt = ProjectImage(MakeHeader("u", "p"), {a}, {}).size() - kCurrentHeaderBytes;
    const std::int32_t claimed = kMaxPointCount;
    std::memcpy(&image[backupHeaderAt + 5], &claimed, 4);
    CTAV_AnalyserDoc doc;
    const auto r = LoadProject(doc, image);
    EXPECT_EQ(r.status, LoadStatus::FaultyBackupPoint);
    EXPECT_FALSE(r.Whole());
    EXPECT_EQ(r.faultyBackupPoint, 2) << "the first record that is not there";
    EXPECT_EQ(r.faultyPoint, -1);
    EXPECT_EQ(doc.PointCount(), 1) << "the working set is complete";
    EXPECT_EQ(doc.currentIndex, 0) << "and shown as after any load";
    EXPECT_EQ(TextOf(doc.backupPoints[1].pileNo), "P2");
    EXPECT_EQ(LoadStatusName(r.status), "faulty-backup-point");
    EXPECT_EQ(LoadProblemText(r, "a.tav"), "文件“a.tav”未能完整打开：备份数据第3个测点信息错误，其后的备份数据未能读取");

    // The same file whole, and whole again when it ends after the last raw samples.
    std::memcpy(&image[backupHeaderAt + 5], "\x02\0\0\0", 4);
    EXPECT_TRUE(LoadProject(doc, image).Whole());
    std::vector<std::uint8_t> shortTail = ProjectImage(MakeHeader("u", "p"), {a}, {a});
    ByteWriter out(shortTail);
    WriteRecordHead(out, b);
    out.I32(b.rawCount());
    out.F32Array(b.rawSamples);
    std::memcpy(&shortTail[backupHeaderAt + 5], "\x02\0\0\0", 4);
    EXPECT_TRUE(LoadProject(doc, shortTail).Whole());
    EXPECT_EQ(LoadProblemText(LoadProject(doc, shortTail), "a.tav"), "");
}

TEST(ProjectFile, DefectPositionsThatDoNotFitStayOutsideTheRecord) {
    TestPoint tp = WaveformPoint("P1", 64);
    tp.waveSpeed = 1;
    tp.sampleInterval = 1.0f;
    DefectMark d;
    d.type = 2;
    for (const float depth : {1073.74f, -1073.74f, 0.5f}) {
        d.depth = depth;
        tp.defects.push_back(d);
    }
    CTAV_AnalyserDoc doc;
    for (const std::int16_t head : {std::int16_t{30000}, std::int16_t{-30000}}) {
        tp.headIndex = head;
        ASSERT_TRUE(LoadProject(doc, ProjectImage(MakeHeader("u", "p"), {tp}, {})).Whole());
        const auto& got = doc.points[0].defects;
        if (head > 0) {
            EXPECT_EQ(got[0].position, std::numeric_limits<std::int32_t>::max());
            EXPECT_LT(got[1].position, 0);
        } else {
            EXPECT_GT(got[0].position, 64);
            EXPECT_EQ(got[1].position, std::numeric_limits<std::int32_t>::min());
        }
        EXPECT_EQ(got[2].position, head + 1000000);
    }
}

TEST(ProjectFile, LoadFailuresCountTestPointsAsTheListDoes) {
    const TestPoint a = WaveformPoint("P1", 64);
    auto image = ProjectImage(MakeHeader("u", "p"), {a, a, a}, {});
    image.resize(image.size() - 300);  // into the third record
    CTAV_AnalyserDoc doc;
    const auto r = LoadProject(doc, image);
    ASSERT_EQ(r.status, LoadStatus::FaultyPoint);
    EXPECT_EQ(r.faultyPoint, 2);
    EXPECT_EQ(LoadProblemText(r, "b.tav"), "文件“b.tav”未能完整打开：第3个测点信息错误，终止读取");
    image[0] = 'X';
    EXPECT_EQ(LoadProject(doc, image).message, "文件版本标识未知");
}


// Records are measured from their counts before they are read side by side;
// the measure has to agree with the reader on whole, cut and damaged records.
TEST(ProjectFile, MeasuredRecordsEndWhereTheReaderEnds) {
    std::mt19937 rng(20261208);
    int whole = 0, broken = 0;
    for (int round = 0; round < 400; ++round) {
        std::vector<TestPoint> points;
        for (int i = 0; i < 3; ++i) points.push_back(RandomPoint(rng));
        const bool version4 = round % 4 == 0;
        auto image = ProjectImage(MakeHeader("u", "p"), points, {}, version4);
        if (round % 3 == 1) image.resize(kCurrentHeaderBytes + rng() % (image.size() - kCurrentHeaderBytes));
        if (round % 3 == 2) {
            // A count somewhere made wrong: any int32 in the records may be one.
            const std::size_t at = kCurrentHeaderBytes + rng() % (image.size() - kCurrentHeaderBytes - 4);
            const std::int32_t bad = static_cast<std::int32_t>(rng() % 40) - 8;
            std::memcpy(&image[at], &bad, 4);
        }
        ByteReader in(image);
        ProjectHeader header;
        const int version = ReadProjectHeader(in, header);
        for (std::int32_t k = 0; k < header.pointCount; ++k) {
            const auto measured = MeasureTestPoint(in, version);
            TestPoint tp;
            std::vector<ProcessStep> oldSteps;
            const bool read = ReadTestPoint(in, version, tp, oldSteps) == 1;
            ASSERT_EQ(measured.has_value(), read) << "round " << round << " record " << k;
            if (!read) {
                ++broken;
                break;
            }
            ASSERT_EQ(*measured, in.Position()) << "round " << round << " record " << k;
            ++whole;
        }
    }
    EXPECT_GT(whole, 400);
    EXPECT_GT(broken, 100);
}

// A project of several megabytes is read in batches on several threads: it
// must come back byte for byte, and a record cut in a later batch must stop the
// load there as a front-to-back read does.
TEST(ProjectFile, ALargeProjectReadSideBySideComesBackWhole) {
    std::mt19937 rng(8);
    RandomShape shape;
    shape.maxSamples = 8192;
    std::vector<TestPoint> points, backup;
    for (int i = 0; i < 400; ++i) points.push_back(RandomPoint(rng, shape));
    for (int i = 0; i < 120; ++i) backup.push_back(RandomPoint(rng, shape));
    const auto image = ProjectImage(MakeHeader("u", "p"), points, backup);
    ASSERT_GT(image.size(), std::size_t{12} << 20);
    EXPECT_EQ(Reload(image), image);

    std::size_t end = kCurrentHeaderBytes;
    for (int i = 0; i <= 300; ++i) end += ProjectImage(MakeHeader("u", "p"), {points[static_cast<std::size_t>(i)]}, {}).size() - 2 * kCurrentHeaderBytes;
    auto cut = image;
    cut.resize(end - 10);  // inside test point 301 (counted from 1)
    CTAV_AnalyserDoc doc;
    const auto r = LoadProject(doc, cut);
    ASSERT_EQ(r.status, LoadStatus::FaultyPoint);
    EXPECT_EQ(r.faultyPoint, 300);
    auto bytesOf = [](const TestPoint& tp) {
        std::vector<std::uint8_t> bytes;
        ByteWriter out(bytes);
        WriteTestPoint(out, tp);
        return bytes;
    };
    ASSERT_EQ(doc.points.size(), points.size());
    for (std::size_t k = 0; k < 300; ++k) ASSERT_EQ(bytesOf(doc.points[k]), bytesOf(points[k])) << k;
    for (std::size_t k = 300; k < 400; ++k) ASSERT_EQ(doc.points[k].rawCount(), 0) << "never read: " << k;

    // Cut halfway through the backup set, several batches into it.
    const std::size_t backupStart = image.size() - (ProjectImage(MakeHeader("u", "p"), {}, backup).size() - kCurrentHeaderBytes);
    cut = image;
    cut.resize(backupStart + (image.size() - backupStart) / 2);
    const auto b = LoadProject(doc, cut);
    ASSERT_EQ(b.status, LoadStatus::FaultyBackupPoint);
    ASSERT_GT(b.faultyBackupPoint, 20);
    ASSERT_EQ(doc.points.size(), points.size());
    ASSERT_EQ(doc.backupPoints.size(), backup.size());
    const auto faulty = static_cast<std::size_t>(b.faultyBackupPoint);
    for (std::size_t k = 0; k < faulty; ++k) ASSERT_EQ(bytesOf(doc.backupPoints[k]), bytesOf(backup[k])) << k;
    for (std::size_t k = faulty; k < backup.size(); ++k) ASSERT_EQ(doc.backupPoints[k].rawCount(), 0) << k;
}

}  // namespace
}  // namespace tav
