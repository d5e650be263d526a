#include <gtest/gtest.h>
#include <sys/stat.h>

#include <limits>
#include <random>

#include <cmath>
#include <cstdlib>
#include <nlohmann/json.hpp>

#include "app/settings_files.hpp"
#include "base/atomic_file.hpp"
#include "base/byte_io.hpp"
#include "base/text_codec.hpp"
#include "model/document.hpp"
#include "model/old_layout.hpp"
#include "model/pile_head.hpp"
#include "model/project_file.hpp"
#include "processing/chain.hpp"
#include "processing/fir_filter.hpp"
#include "processing/project_loading.hpp"
#include "tests/processing/reference_ops.hpp"
#include "tests/support/old_layout_writer.hpp"
#include "tests/support/tool_runner.hpp"

namespace tav {
namespace {

using testing::OldPoint;
using testing::OldProjectImage;
using testing::PulseSamples;

std::vector<std::int32_t> OpTypes(const TestPoint& tp) {
    std::vector<std::int32_t> types;
    for (const auto& s : tp.steps) types.push_back(s.opType);
    return types;
}

// A record whose first five samples are zero, with a head pulse and an echo.
OldPoint PulsePoint(int samples = 512) {
    OldPoint p;
    p.headIndex = 40;
    p.samples = PulseSamples(samples, 40, 10.0f, 240, 1.0f);
    return p;
}

TestPoint LoadOne(int version, const OldPoint& p, bool magnify = true) {
    CTAV_AnalyserDoc doc;
    doc.magnifyOldRecords = magnify;
    const auto r = LoadProject(doc, OldProjectImage(version, "unit", "site", {p}));
    EXPECT_EQ(r.status, LoadStatus::Ok) << r.message;
    EXPECT_EQ(r.version, version);
    return doc.points.empty() ? TestPoint{} : doc.points[0];
}

float MeanOfFirstFive(const TestPoint& tp) {
    float sum = 0.0f;
    for (int k = 0; k < 5; ++k) sum += tp.samples[static_cast<std::size_t>(k)];
    return sum * 0.2f;
}

// The chain up to (not including) step `count`, run on a copy.
TestPoint RunPrefix(const TestPoint& tp, std::size_t count) {
    TestPoint copy = tp;
    ApplyChain(copy, static_cast<std::int32_t>(count), tp.steps.data());
    return copy;
}

TEST(OldLayout, LowPassIntegrationSmoothingInTheOldOrder) {
    OldPoint p = PulsePoint();
    p.integrate = 1;
    p.lowPassPasses = 2;
    p.lowPassKHz = 0.8f;
    p.smoothPoints = 5;
    const TestPoint tp = LoadOne(2, p);

    auto types = OpTypes(tp);
    ASSERT_GE(types.size(), 4u);
    types.resize(4);
    EXPECT_EQ(types, (std::vector<std::int32_t>{kOpFilter, kOpFilter, kOpIntegrate, kOpSmooth}));
    EXPECT_EQ(tp.steps[0].filterUpperHz, 800.0f);
    EXPECT_EQ(tp.steps[0].filterKind, kLowPass);
    EXPECT_EQ(tp.steps[3].smoothPoints, 5);
    // One scratch step was reused: the integration entry, taken first, still has
    // the default cut-off; the filter entries, taken last, carry the smoothing.
    EXPECT_EQ(tp.steps[2].filterUpperHz, 300.0f);
    EXPECT_EQ(tp.steps[0].smoothPoints, 5);

    const float mean = MeanOfFirstFive(RunPrefix(tp, 4));
    if (std::fabs(mean) >= 0.01f) {
        ASSERT_EQ(tp.steps.size(), 5u);
        EXPECT_EQ(tp.steps[4].opType, kOpShift);
        EXPECT_EQ(tp.steps[4].shiftY, -mean);
    } else {
        EXPECT_EQ(tp.steps.size(), 4u);
    }
    EXPECT_EQ(tp.samples, RunPrefix(tp, tp.steps.size()).samples);
    EXPECT_EQ(tp.lastParams.opType, tp.steps.back().opType);
}

TEST(OldLayout, EveryOldFieldTakesItsPlaceInTheChain) {
    OldPoint p = PulsePoint();
    for (auto& v : p.samples) v += 0.5f;  // off the zero line: a baseline shift first
    p.localScales = {{2.0f, 100, 150}, {0.5f, 300, 320}};
    p.frontZero = 20;
    p.rearZero = 480;
    p.shift = 30;
    p.magnifyFactor = 3.0f;
    p.magnifyStart = 2.0f;
    p.rotation = 512;
    p.lowPassPasses = 1;
    p.lowPassKHz = 2.0f;
    p.integrate = 1;
    p.smoothPoints = 3;
    p.checked = 1;
    p.displayCode = 5;
    const TestPoint tp = LoadOne(3, p);

    const auto types = OpTypes(tp);
    ASSERT_GE(types.size(), 11u);
    const std::vector<std::int32_t> head(types.begin(), types.begin() + 10);
    EXPECT_EQ(head, (std::vector<std::int32_t>{kOpLocalScale, kOpLocalScale, kOpShift, kOpFilter, kOpIntegrate,
                                               kOpFrontZero, kOpRearZero, kOpMagnify, kOpRotate, kOpSmooth}));
    EXPECT_EQ(tp.steps[1].scaleFactor, 0.5f);
    EXPECT_EQ(tp.steps[1].scaleStart, 300);
    EXPECT_EQ(tp.steps[2].shiftY, -0.5f);
    EXPECT_EQ(tp.steps[5].frontZeroPos, 20);
    EXPECT_EQ(tp.steps[6].rearZeroPos, 480);
    // 2 m below the head at 4000 m/s and 20 µs: about 50 samples.
    EXPECT_EQ(tp.steps[7].magnifyStart, 40 + static_cast<int>(2.0f * 2.0f / (20.0f * 4000.0f) * 1000000.0f));
    EXPECT_EQ(tp.steps[7].magnifyFactor, 3.0f);
    EXPECT_FLOAT_EQ(tp.steps[8].rotateAngle, std::atan(0.5f));

    // The last entry is the old vertical shift, rescaled by the waveform's range
    // before the second baseline shift (when there is one).
    const ProcessStep& last = tp.steps.back();
    EXPECT_EQ(last.opType, kOpShift);
    ASSERT_LE(types.size(), 12u);
    const TestPoint before = RunPrefix(tp, 10);
    const float v = WindowDisplayRange(before.samples.data(), before.sampleCount(), -1, 0).max;
    EXPECT_EQ(last.shiftY, 30.0f * ((2.0f * v) * 0.0026936026f));
    EXPECT_EQ(tp.samples, RunPrefix(tp, tp.steps.size()).samples);

    EXPECT_EQ(tp.checked, 1);
    EXPECT_EQ(tp.lastParams.displayBlocks[0].vMode, 1);
    EXPECT_FLOAT_EQ(tp.lastParams.displayBlocks[0].vFactor, 1.0f / 1.5f);
    p.displayCode = -10;
    EXPECT_EQ(LoadOne(3, p).lastParams.displayBlocks[0].vFactor, 0.0f);
}

TEST(OldLayout, TenSamplesOrFewerGetNoChain) {
    OldPoint p;
    p.integrate = 1;
    p.lowPassPasses = 3;
    p.lowPassKHz = 1.0f;
    p.smoothPoints = 5;
    p.rotation = 100;
    p.samples = {0.5f, 1, 2, 3, 4, 5, 4, 3, 2, 1};
    TestPoint tp = LoadOne(2, p);
    EXPECT_TRUE(tp.steps.empty());
    EXPECT_EQ(tp.samples, p.samples);
    EXPECT_EQ(tp.rawSamples, p.samples);

    p.samples.push_back(0.0f);
    tp = LoadOne(2, p);
    EXPECT_FALSE(tp.steps.empty());
}

TEST(OldLayout, Version1MapsTheSensorCodeAndHasNoProcessingFields) {
    std::vector<OldPoint> points(3, PulsePoint(64));
    points[0].sensor = 3;
    points[1].sensor = 1;
    points[2].sensor = 2;
    points[2].smoothPoints = 3;
    points[2].integrate = 1;  // not in this layout: never written, never read
    points[2].pileNo = "P3";
    CTAV_AnalyserDoc doc;
    ASSERT_EQ(LoadProject(doc, OldProjectImage(1, "unit", "site", points)).status, LoadStatus::Ok);
    ASSERT_EQ(doc.PointCount(), 3);
    EXPECT_EQ(doc.points[0].sensorType, 1);
    EXPECT_EQ(doc.points[1].sensorType, 0);
    EXPECT_EQ(doc.points[2].sensorType, 1);
    EXPECT_EQ(OpTypes(doc.points[2]), (std::vector<std::int32_t>{kOpSmooth}));
    EXPECT_EQ(TextOf(doc.points[2].pileNo), "P3");
    EXPECT_EQ(doc.points[2].pileLength, 8.0f);
    EXPECT_EQ(doc.points[2].rawSamples, points[2].samples);
    EXPECT_EQ(TextOf(doc.header.projectName), "site");
}

// The old layout, and the instrument's downloads with it, carry no toe: the
// record keeps sample 0 with the flag up, and that must count as no toe.
TEST(OldLayout, AToeAtOrBeforeTheHeadIsNotSet) {
    TestPoint tp = LoadOne(2, PulsePoint(512));
    ASSERT_EQ(tp.headIndex, 40);
    EXPECT_FALSE(ToeSet(tp));
    EXPECT_EQ(HeadAndToe(tp).second, DefaultToe(tp)) << "the toe follows from length and speed";
    EXPECT_EQ(MagnifyLimitIndex(tp), 0);

    tp.toeIndex = 20;  // flagged, but before the head
    EXPECT_FALSE(ToeSet(tp));
    EXPECT_EQ(HeadAndToe(tp).second, DefaultToe(tp));
    tp.toeIndex = 40;  // on the head
    EXPECT_EQ(HeadAndToe(tp).second, DefaultToe(tp));
    tp.toeIndex = 41;
    EXPECT_TRUE(ToeSet(tp));
    EXPECT_EQ(HeadAndToe(tp).second, 41);
    tp.toeValid = 0;
    EXPECT_FALSE(ToeSet(tp));
}

TEST(OldLayout, RecordFieldsDefectsAndMarks) {
    OldPoint p = PulsePoint(256);
    p.pileNo = "A-12";
    p.defectTypes = {2, 0, 99, -1, 8};
    p.defectDepths = {4.0f, 1.0f, 2.0f, 3.0f, 5.0f};
    p.spectrumMarks = {3, -7, 300};
    const TestPoint tp = LoadOne(2, p);
    EXPECT_EQ(TextOf(tp.pileNo), "A-12");
    EXPECT_EQ(tp.pileTypeIndex, 1);
    EXPECT_EQ(TextOf(tp.pileTypeName), "");
    EXPECT_EQ(tp.diameter, 800);
    EXPECT_EQ(TextOf(tp.testDate), "2009-05-17");
    EXPECT_EQ(tp.gain, 4);
    EXPECT_EQ(tp.instrumentValue, p.instrumentValue);
    EXPECT_EQ(tp.headSampleCount, 256);
    EXPECT_EQ(tp.headIndex, 40);
    EXPECT_EQ(tp.headValid, 1);
    EXPECT_EQ(tp.toeValid, 1);
    EXPECT_EQ(tp.toeIndex, 0);
    EXPECT_EQ(tp.spectrumMarks, (std::vector<std::int32_t>{3, -7, 300}));

    ASSERT_EQ(tp.defects.size(), 4u);
    EXPECT_EQ(Cp936ToUtf8(TextOf(tp.defects[0].name)), "缩径(Ⅱ)");
    EXPECT_EQ(tp.defects[0].position, 40 + 100);  // 4 m at 4000 m/s, 20 µs
    EXPECT_EQ(Cp936ToUtf8(TextOf(tp.defects[1].name)), "缺陷");
    EXPECT_EQ(Cp936ToUtf8(TextOf(tp.defects[2].name)), "缺陷");
    EXPECT_EQ(tp.defects[2].type, -1);
    EXPECT_EQ(TextOf(tp.defects[3].name), "");  // an empty table entry stays empty
}

TEST(OldLayout, ADefectFarBelowTheHeadStaysOutsideTheRecord) {
    // 1073.74 m at 1 m/s and 1 µs is 2,147,480,000 samples: with the head at
    // 30,000 the position passes the largest 32-bit value.
    OldPoint p = PulsePoint(64);
    p.headIndex = 30000;
    p.waveSpeed = 1;
    p.sampleInterval = 1.0f;
    p.defectTypes = {2, 2};
    p.defectDepths = {1073.74f, 1.0f};
    const TestPoint tp = LoadOne(2, p);
    ASSERT_EQ(tp.defects.size(), 2u);
    EXPECT_EQ(tp.defects[0].position, std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(tp.defects[1].position, 30000 + 2000000);
}

TEST(OldLayout, Version5TextsAreConvertedAndTrimmed) {
    OldPoint p = PulsePoint(128);
    p.pileNo = "桩号一二三四五六七八";  // ten characters, twenty bytes in code page 936
    OldPoint q = p;
    q.pileNo = "K7  ";
    CTAV_AnalyserDoc doc;
    ASSERT_EQ(LoadProject(doc, OldProjectImage(5, "检测单位甲  ", "工程  ", {p, q})).status, LoadStatus::Ok);
    EXPECT_EQ(Cp936ToUtf8(TextOf(doc.header.testUnit)), "检测单位甲");
    EXPECT_EQ(Cp936ToUtf8(TextOf(doc.header.projectName)), "工程");
    EXPECT_EQ(Cp936ToUtf8(TextOf(doc.points[0].pileNo)), "桩号一二三四五六七八");
    EXPECT_EQ(TextOf(doc.points[1].pileNo), "K7");
}

TEST(OldLayout, Version5WeakToeEchoIsMagnifiedOnlyWhenTheFlagIsOn) {
    // Head 10 mV at 40, echo 1 mV at the toe 40 + 2 × 8 m / (4000 m/s × 20 µs) = 240.
    const OldPoint p = PulsePoint();
    const TestPoint on = LoadOne(5, p, true);
    ASSERT_EQ(OpTypes(on), (std::vector<std::int32_t>{kOpMagnify}));
    EXPECT_EQ(on.steps[0].magnifyFactor, 4.0f);  // trunc(10 × 0.4 / 1)
    EXPECT_EQ(on.steps[0].magnifyMode, 0);
    EXPECT_EQ(on.steps[0].magnifyStart, (240 + 40) / 2);
    EXPECT_EQ(on.lastParams.opType, kOpMagnify);
    EXPECT_NE(on.samples, on.rawSamples);

    const TestPoint off = LoadOne(5, p, false);
    EXPECT_TRUE(off.steps.empty());
    EXPECT_EQ(off.samples, off.rawSamples);

    // A strong echo (10 × 0.4 / 3 < 2) needs no magnification; other versions never get one.
    OldPoint strong = p;
    strong.samples = PulseSamples(512, 40, 10.0f, 240, 3.0f);
    EXPECT_TRUE(LoadOne(5, strong).steps.empty());
    EXPECT_TRUE(LoadOne(2, p).steps.empty());
    // A toe beyond the record has no echo to compare with.
    OldPoint longPile = p;
    longPile.pileLength = 500.0f;
    EXPECT_TRUE(LoadOne(5, longPile).steps.empty());
}

// Loading runs each entry once as it is appended; what it leaves must be what
// running the finished chain from the raw samples gives, bit for bit, or a
// reload after saving would show another waveform.
TEST(OldLayout, LoadedSamplesAreTheWholeChainRunFromTheRawSamples) {
    OldPoint p = PulsePoint(2048);
    p.samples[0] = 0.5f;  // baseline shifts before and after the filters
    p.samples[3] = 0.4f;
    p.integrate = 1;
    p.lowPassPasses = 16;
    p.lowPassKHz = 0.6f;
    p.frontZero = 3;
    p.rearZero = 2000;
    p.shift = 7;
    p.smoothPoints = 5;
    p.rotation = 3;
    p.magnifyFactor = 2.0f;
    p.magnifyStart = 1.0f;
    p.localScales = {{1.5f, 10, 50}};
    for (const int version : {2, 3, 5}) {
        const TestPoint tp = LoadOne(version, p);
        ASSERT_GT(tp.stepCount(), 16) << version;
        EXPECT_EQ(tp.samples, RunPrefix(tp, tp.steps.size()).samples) << version;
    }
    // A weak toe echo: version 5 adds its own magnification after the chain.
    OldPoint weak = PulsePoint(2048);
    weak.frontZero = 2;
    weak.rearZero = 2000;
    const TestPoint tp = LoadOne(5, weak);
    ASSERT_EQ(tp.steps.back().opType, kOpMagnify);
    EXPECT_EQ(tp.samples, RunPrefix(tp, tp.steps.size()).samples);
}

// Every low-pass pass of an old record must give what the filter's formula
// gives: the plain double loop over the designed taps, pass after pass. Long
// filters (the longest a record allows among them) are where a fast
// convolution would be tempted to cut corners.
TEST(OldLayout, LowPassPassesGiveTheLiteralConvolutionBitForBit) {
    std::mt19937 rng(24);
    std::uniform_real_distribution<float> noise(-0.3f, 0.3f);
    for (const float cutOffKHz : {2.0f, 0.3f, 0.1f, 0.001f}) {
        OldPoint p = PulsePoint(2048);  // first five samples zero: no baseline shift
        for (std::size_t k = 5; k < p.samples.size(); ++k) p.samples[k] += noise(rng);
        p.lowPassPasses = 3;
        p.lowPassKHz = cutOffKHz;
        std::vector<float> want = p.samples;
        const auto n = static_cast<std::int32_t>(want.size());
        const FilterPlan plan = PlanFilter(n, p.sampleInterval, 0.0f, cutOffKHz * 1000.0f, kLowPass);
        std::vector<float> h;
        ASSERT_EQ(DesignFir(plan.length, kLowPass, plan.f1, plan.f2, plan.fs, kHannWindow, h), 0);
        for (int pass = 0; pass < p.lowPassPasses; ++pass) want = reference::Convolve(want, h);
        for (const int version : {2, 3, 5}) {
            const TestPoint tp = LoadOne(version, p, false);
            ASSERT_EQ(OpTypes(tp), std::vector<std::int32_t>(3, kOpFilter)) << cutOffKHz << " " << version;
            EXPECT_EQ(tp.samples, want) << cutOffKHz << " kHz, " << h.size() << " taps, version " << version;
        }
    }
}

TEST(OldLayout, SavedAndReloadedTav02EqualsTheFirstLoad) {
    std::vector<OldPoint> points(2, PulsePoint());
    points[0].integrate = 1;
    points[0].lowPassPasses = 2;
    points[0].lowPassKHz = 0.8f;
    points[0].defectTypes[0] = 1;
    points[0].defectDepths[0] = 3.0f;
    points[1].pileNo = "P2";
    points[1].headIndex = 0;  // the head is searched when loading
    points[1].samples[44] = -3.0f;
    points[1].shift = 12;
    CTAV_AnalyserDoc first;
    ASSERT_EQ(LoadProject(first, OldProjectImage(2, "unit", "site", points)).status, LoadStatus::Ok);
    EXPECT_EQ(first.points[1].headIndex, 40);
    ASSERT_EQ(first.backupPoints.size(), 2u);
    EXPECT_EQ(first.backupPoints[0].steps.size(), first.points[0].steps.size());
    const auto saved = first.SaveProject();

    CTAV_AnalyserDoc second;
    const auto r = LoadProject(second, saved);
    ASSERT_EQ(r.status, LoadStatus::Ok);
    EXPECT_EQ(r.version, 6);
    EXPECT_EQ(second.SaveProject(), saved);
}

TEST(OldLayout, HostileCountsStopAtTheFaultyPoint) {
    auto faultAt = [](int version, std::vector<OldPoint> points) {
        CTAV_AnalyserDoc doc;
        const auto r = LoadProject(doc, OldProjectImage(version, "u", "s", points));
        EXPECT_EQ(r.status, LoadStatus::FaultyPoint);
        EXPECT_EQ(doc.PointCount(), static_cast<std::int32_t>(points.size()));
        return r.faultyPoint;
    };
    OldPoint good = PulsePoint(64);
    OldPoint bad = good;
    bad.localScaleCount = 0x7fffffff;
    EXPECT_EQ(faultAt(3, {good, bad}), 1);
    bad = good;
    bad.localScaleCount = -1;
    EXPECT_EQ(faultAt(3, {bad}), 0);
    bad = good;
    bad.spectrumMarkCount = 30000;
    EXPECT_EQ(faultAt(2, {good, bad}), 1);
    bad = good;
    bad.spectrumMarkCount = -2;
    EXPECT_EQ(faultAt(5, {bad}), 0);
    bad = good;
    bad.lowPassPasses = 16383;  // a chain no file could hold again
    bad.lowPassKHz = 1.0f;
    EXPECT_EQ(faultAt(2, {bad}), 0);
    bad.lowPassPasses = 17;  // more passes than any record needs: hours of filtering
    EXPECT_EQ(faultAt(3, {good, bad}), 1);
    bad = good;
    bad.sampleCount = -5;
    EXPECT_EQ(faultAt(1, {bad}), 0);
    bad = good;
    bad.sampleCount = 16000;  // announced but not there
    EXPECT_EQ(faultAt(2, {good, bad}), 1);

    // Cut inside the second record: the first stays, the second is constructed.
    auto image = OldProjectImage(2, "u", "s", {good, good});
    image.resize(image.size() - 100);
    CTAV_AnalyserDoc doc;
    const auto r = LoadProject(doc, image);
    EXPECT_EQ(r.status, LoadStatus::FaultyPoint);
    EXPECT_EQ(doc.points[0].rawSamples, good.samples);
    EXPECT_TRUE(doc.points[1].rawSamples.empty());
}

TEST(OldLayout, AppendOpenOfAnOldFileRenamesTakenPileNumbers) {
    testing::TempDir dir;
    OldPoint p = PulsePoint(64);
    WriteFileAtomically(dir.File("a.tav"), OldProjectImage(2, "u", "s", {p}));
    WriteFileAtomically(dir.File("b.tav"), OldProjectImage(3, "u", "s", {p}));
    WriteFileAtomically(dir.File("junk.tav"), std::vector<std::uint8_t>{'T', 'A', 'V', '0', '7', 1, 0});
    CTAV_AnalyserDoc doc;
    ASSERT_EQ(OpenFile(doc, dir.File("a.tav")).status, LoadStatus::Ok);
    const std::vector<std::string> more{dir.File("junk.tav"), dir.File("b.tav")};
    const auto results = AppendOpen(doc, more);
    ASSERT_EQ(results.size(), 2u);
    EXPECT_EQ(results[0].status, LoadStatus::UnknownVersion);
    EXPECT_EQ(results[1].status, LoadStatus::Ok);
    ASSERT_EQ(doc.PointCount(), 2);
    EXPECT_EQ(TextOf(doc.points[1].pileNo), "P1a");
    EXPECT_EQ(doc.projectFiles.size(), 2u);
}

// tavtool: dump and convert read every version; the flag defaults to the view settings.
TEST(OldLayout, TavtoolReadsOldFilesAndTheMagnifySetting) {
    testing::TempDir dir;
    const std::string file = dir.File("old5.tav");
    WriteFileAtomically(file, OldProjectImage(5, "u", "s", {PulsePoint()}));
    auto stepsOf = [](const testing::ToolResult& r) {
        EXPECT_EQ(r.exitCode, 0) << r.err;
        return nlohmann::json::parse(r.out)["points"][0]["steps"].size();
    };
    EXPECT_EQ(stepsOf(testing::RunTavtool({"dump", "--no-samples", "--magnify", "off", file})), 0u);
    EXPECT_EQ(stepsOf(testing::RunTavtool({"dump", "--no-samples", "--magnify", "on", file})), 1u);

    const char* oldRuntime = std::getenv("XDG_RUNTIME_DIR");
    const std::string kept = oldRuntime ? oldRuntime : "";
    ::setenv("XDG_RUNTIME_DIR", dir.path().c_str(), 1);
    EXPECT_EQ(stepsOf(testing::RunTavtool({"dump", "--no-samples", file})), 1u);  // no settings file: on
    DisplaySettings view;
    view.magnifyRaw = 0;
    ASSERT_TRUE(SettingsFiles(dir.path() + "/tav-analyser/").Write(view));
    EXPECT_EQ(stepsOf(testing::RunTavtool({"dump", "--no-samples", file})), 0u);
    // Settings in a folder that others may write are not trusted.
    ::chmod((dir.path() + "/tav-analyser").c_str(), 0777);
    EXPECT_EQ(stepsOf(testing::RunTavtool({"dump", "--no-samples", file})), 1u);
    if (oldRuntime) ::setenv("XDG_RUNTIME_DIR", kept.c_str(), 1); else ::unsetenv("XDG_RUNTIME_DIR");

    for (int version : {1, 2, 3}) {
        const std::string in = dir.File("v" + std::to_string(version) + ".tav");
        WriteFileAtomically(in, OldProjectImage(version, "u", "s", {PulsePoint(), PulsePoint()}));
        const auto r = testing::RunTavtool({"convert", in, in + ".out"});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        CTAV_AnalyserDoc doc;
        ASSERT_EQ(OpenFile(doc, in + ".out").status, LoadStatus::Ok);
        EXPECT_EQ(doc.PointCount(), 2);
    }
}

}  // namespace
}  // namespace tav
