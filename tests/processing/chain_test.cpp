#include "processing/chain.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "model/pile_head.hpp"
#include "processing/calculus_ops.hpp"
#include "processing/fir_filter.hpp"
#include "processing/pointwise_ops.hpp"
#include "tests/support/project_builder.hpp"

namespace tav {
namespace {

ProcessStep Step(std::int32_t opType) {
    ProcessStep s;
    s.opType = opType;
    return s;
}

void AddPoints(CTAV_AnalyserDoc& doc, int count, int samples = 1024) {
    for (int i = 0; i < count; ++i)
        doc.InsertPoint(doc.PointCount(), testing::WaveformPoint("P" + std::to_string(i + 1), samples,
                                                                 static_cast<std::uint32_t>(i + 1)));
    doc.SelectPoint(0);
}

TestPoint& Tp(CTAV_AnalyserDoc& doc, int i) {
    return doc.points[static_cast<std::size_t>(i)];
}

bool SameBits(const std::vector<float>& a, const std::vector<float>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

TEST(ApplyChain, EmptyChainGivesTheRawSamples) {
    TestPoint tp = testing::WaveformPoint("P", 300);
    tp.samples.assign(10, 9.0f);
    ApplyChain(tp, 0, nullptr);
    EXPECT_EQ(tp.sampleCount(), tp.rawCount());
    EXPECT_TRUE(SameBits(tp.samples, tp.rawSamples));
}

TEST(ApplyChain, OutOfRangeIndexDoesNothing) {
    CTAV_AnalyserDoc doc;
    AddPoints(doc, 1);
    const ProcessStep s = Step(kOpReverse);
    ApplyChain(doc, 5, 1, &s);
    ApplyChain(doc, -1, 1, &s);
    EXPECT_TRUE(SameBits(Tp(doc, 0).samples, Tp(doc, 0).rawSamples));
}

TEST(ApplyChain, CodesFourteenAndFifteenAreSkipped) {
    TestPoint tp = testing::WaveformPoint("P", 300);
    std::vector<ProcessStep> chain{Step(14), Step(kOpReverse), Step(15), Step(0), Step(99), Step(-3)};
    ApplyChain(tp, static_cast<std::int32_t>(chain.size()), chain.data());
    auto want = tp.rawSamples;
    Reverse(want.data(), 300);
    EXPECT_TRUE(SameBits(tp.samples, want));
}

// Every operation code runs through the dispatch table with the arguments it is due.
TEST(ApplyChain, EveryCodeCallsItsOperation) {
    TestPoint base = testing::WaveformPoint("P", 1024);
    base.toeIndex = 700;
    const float dt = base.sampleInterval;
    for (std::int32_t code = 1; code <= 16; ++code) {
        ProcessStep s = Step(code);
        s.filterKind = 2;
        s.filterLowerHz = 40.0f;
        s.linZeroMode = 2;
        s.nonlinZeroMode = 1;
        s.nonlinZeroStart = 300;
        s.smoothPoints = 5;
        s.dcMode = 2;
        s.dcStart = 100;
        s.frontZeroPos = 30;
        s.rearZeroPos = 900;
        s.shiftX = 7;
        s.shiftY = 0.25f;
        s.rotateAngle = 0.01f;
        s.magnifyFactor = 4.0f;
        s.magnifyStart = 40;
        s.scaleStart = 10;
        s.scaleEnd = 20;
        s.scaleFactor = 3.0f;
        TestPoint tp = base;
        ApplyChain(tp, 1, &s);
        auto x = base.rawSamples;
        float* p = x.data();
        const int n = 1024;
        switch (code) {
            case 1:
                Integrate(p, n, dt);
                break;
            case 2:
                Differentiate(p, n);
                break;
            case 3:
                FilterWaveform(p, n, dt, 40.0f, s.filterUpperHz, 2, kHannWindow);
                break;
            case 4:
                ZeroLinear(p, n, 700, 2, 0);
                break;
            case 5:
                ZeroNonlinear(p, n, 700, 1, 300);
                break;
            case 6:
                Reverse(p, n);
                break;
            case 7:
                Smooth(p, n, 5);
                break;
            case 8:
                RemoveDc(p, n, 2, 100);
                break;
            case 9:
                ZeroFront(p, n, 30);
                break;
            case 10:
                ZeroRear(p, n, 900);
                break;
            case 11:
                ShiftData(p, n, 7, 0.25f, 0, 0, 0);
                break;
            case 12:
                Rotate(p, n, 0, 0, 0.01f, 1.0f);
                break;
            case 13:
                Magnify(p, n, 4.0f, 40, 0, 700);
                break;  // the toe is the limit
            case 16:
                LocalScale(p, n, 10, 20, 3.0f);
                break;
            default:
                break;
        }
        EXPECT_TRUE(SameBits(tp.samples, x)) << code;
        if (code != 14 && code != 15) {
            EXPECT_FALSE(SameBits(tp.samples, base.rawSamples)) << code;
        }
    }
}

TEST(ApplyChain, MagnifyLimitIsTheToeOnlyWhenValidAndAfterTheHead) {
    TestPoint tp = testing::WaveformPoint("P", 1024);
    tp.toeIndex = 600;
    EXPECT_EQ(MagnifyLimitIndex(tp), 600);
    tp.toeValid = 0;
    EXPECT_EQ(MagnifyLimitIndex(tp), 0);
    tp.toeValid = 1;
    tp.toeIndex = tp.headIndex;
    EXPECT_EQ(MagnifyLimitIndex(tp), 0);
}

TEST(PreviewStep, ThreeInsertModesAndTheStoredChainStays) {
    CTAV_AnalyserDoc doc;
    AddPoints(doc, 1);
    TestPoint& tp = Tp(doc, 0);
    tp.steps = {Step(kOpReverse), Step(kOpDifferentiate)};
    const auto stored = tp.steps;
    ReapplyChain(doc, std::vector<std::int32_t>{0});
    const ProcessStep smooth = [] {
        ProcessStep s = Step(kOpSmooth);
        s.smoothPoints = 8;
        return s;
    }();
    const auto expect = [&](std::vector<ProcessStep> chain) {
        TestPoint copy = tp;
        ApplyChain(copy, static_cast<std::int32_t>(chain.size()), chain.data());
        return copy.samples;
    };
    const std::vector<std::int32_t> targets{0, 7};  // 7 lies outside and is skipped
    doc.stepInsertMode = 0;
    PreviewStep(doc, targets, smooth);
    EXPECT_TRUE(SameBits(tp.samples, expect({Step(kOpReverse), Step(kOpDifferentiate), smooth})));
    doc.stepInsertMode = 1;
    doc.stepInsertPos = 1;
    PreviewStep(doc, targets, smooth);
    EXPECT_TRUE(SameBits(tp.samples, expect({Step(kOpReverse), smooth})));
    doc.stepInsertMode = 2;
    doc.stepInsertPos = 0;
    PreviewStep(doc, targets, smooth);
    EXPECT_TRUE(SameBits(tp.samples, expect({smooth, Step(kOpReverse), Step(kOpDifferentiate)})));
    const auto before = tp.samples;
    doc.stepInsertPos = 2;  // not below the step count: skipped
    PreviewStep(doc, targets, smooth);
    EXPECT_TRUE(SameBits(tp.samples, before));
    ASSERT_EQ(tp.steps.size(), stored.size());
    for (std::size_t k = 0; k < stored.size(); ++k) EXPECT_TRUE(SameStepBytes(tp.steps[k], stored[k]));
}

TEST(PreviewStep, CancelledPreviewLeavesTheSamplesExactlyAsBefore) {
    CTAV_AnalyserDoc doc;
    AddPoints(doc, 2);
    Tp(doc, 0).steps = {Step(kOpIntegrate)};
    ReapplyChain(doc, std::vector<std::int32_t>{0, 1});
    doc.ResetDisplayRange(std::vector<std::int32_t>{0, 1});
    const auto before0 = Tp(doc, 0).samples;
    const auto before1 = Tp(doc, 1).samples;
    const auto lastBefore = Tp(doc, 0).lastParams;
    const TargetSet targets{0, 1};
    ProcessStep filter = PrefillNewStep(doc, targets, kOpFilter, std::nullopt);
    doc.stepInsertMode = 0;
    PreviewStep(doc, targets, filter);
    doc.ResetDisplayRange(targets);
    EXPECT_FALSE(SameBits(Tp(doc, 0).samples, before0));
    FinishNewStep(doc, targets, filter, false);
    EXPECT_TRUE(SameBits(Tp(doc, 0).samples, before0));
    EXPECT_TRUE(SameBits(Tp(doc, 1).samples, before1));
    EXPECT_EQ(Tp(doc, 0).stepCount(), 1);
    EXPECT_FALSE(doc.Modified());
    // The working step still lands in lastParams, as the window does.
    EXPECT_EQ(Tp(doc, 0).lastParams.opType, kOpFilter);
    EXPECT_EQ(Tp(doc, 0).lastParams.viewMax, lastBefore.viewMax);
}

TEST(AppendStep, MagnificationNeverMovesTheHead) {
    CTAV_AnalyserDoc doc;
    AddPoints(doc, 1);
    TestPoint& tp = Tp(doc, 0);
    tp.headIndex = 5;  // far from the pulse: a search would move it
    const auto speed = tp.waveSpeed;
    ProcessStep m = Step(kOpMagnify);
    m.magnifyFactor = 10.0f;
    FinishNewStep(doc, TargetSet{0}, m, true);
    EXPECT_EQ(tp.headIndex, 5);
    EXPECT_EQ(tp.waveSpeed, speed);
    EXPECT_EQ(tp.stepCount(), 1);
    EXPECT_TRUE(doc.Modified());
}

TEST(AppendStep, OtherStepsRelocateTheHeadAndTheSpeedFollowsTheToe) {
    CTAV_AnalyserDoc doc;
    AddPoints(doc, 1);
    TestPoint& tp = Tp(doc, 0);
    tp.headIndex = 5;
    const auto toe = tp.toeIndex;
    ProcessStep filter = Step(kOpFilter);  // a 300 Hz low-pass delays by 83 samples
    AppendStep(doc, TargetSet{0}, filter, true);
    const std::int32_t head = FindPileHead(tp.samples.data(), tp.sampleCount());
    EXPECT_EQ(tp.headIndex, head);
    EXPECT_NE(tp.headIndex, 5);
    EXPECT_EQ(tp.toeIndex, toe);
    const double travel = (toe - head) * 20.0 * 1e-6 * 0.5;
    EXPECT_EQ(tp.waveSpeed, static_cast<std::int16_t>(std::trunc(12.0 / travel)));
}

TEST(AppendStep, NoRelocationWithoutAValidHead) {
    CTAV_AnalyserDoc doc;
    AddPoints(doc, 1);
    TestPoint& tp = Tp(doc, 0);
    tp.headIndex = 5;
    tp.headValid = 0;
    AppendStep(doc, TargetSet{0}, Step(kOpFilter), true);
    EXPECT_EQ(tp.headIndex, 5);
}

TEST(WaveSpeed, NeverFromAZeroDistanceOrInterval) {
    TestPoint tp = testing::WaveformPoint("P", 512);
    tp.waveSpeed = 3333;
    tp.toeIndex = tp.headIndex;
    UpdateWaveSpeedFromToe(tp);
    EXPECT_EQ(tp.waveSpeed, 3333);
    tp.toeIndex = static_cast<std::int16_t>(tp.headIndex + 100);
    tp.sampleInterval = 0.0f;
    UpdateWaveSpeedFromToe(tp);
    EXPECT_EQ(tp.waveSpeed, 3333);
    tp.sampleInterval = 20.0f;
    UpdateWaveSpeedFromToe(tp);
    EXPECT_EQ(tp.waveSpeed, 12000);                             // 12 m over 100 samples of 20 µs there and back
    tp.toeIndex = static_cast<std::int16_t>(tp.headIndex + 1);  // 1.2e6 m/s does not fit the field
    UpdateWaveSpeedFromToe(tp);
    EXPECT_EQ(tp.waveSpeed, 12000);
}

TEST(DeleteStep, RelocatesHeadAndToeAndRefreshesLastParams) {
    CTAV_AnalyserDoc doc;
    AddPoints(doc, 1);
    TestPoint& tp = Tp(doc, 0);
    ProcessStep a = Step(kOpSmooth);
    a.smoothPoints = 3;
    ProcessStep b = Step(kOpSmooth);
    b.smoothPoints = 9;
    tp.steps = {a, Step(kOpFilter), b};
    ReapplyChain(doc, TargetSet{0});
    tp.headIndex = 3;
    tp.toeIndex = 3;
    tp.lastParams.smoothPoints = 30;
    DeleteStep(doc, TargetSet{0}, 1);
    ASSERT_EQ(tp.stepCount(), 2);
    EXPECT_EQ(tp.lastParams.opType, 0);  // no filter left in the chain: lastParams untouched
    EXPECT_EQ(tp.lastParams.smoothPoints, 30);
    DeleteStep(doc, TargetSet{0}, 1);
    EXPECT_EQ(tp.lastParams.opType, kOpSmooth);
    EXPECT_EQ(tp.lastParams.smoothPoints, 3);  // the newest smoothing left
    const std::int32_t head = FindPileHead(tp.samples.data(), tp.sampleCount());
    EXPECT_EQ(tp.headIndex, head);
    const std::int32_t toe = head + static_cast<std::int32_t>(2.0f * 12.0f / (float(tp.waveSpeed) * 20.0f) * 1e6f);
    EXPECT_EQ(tp.toeIndex, SnapToe(tp, head, toe));
    EXPECT_GT(tp.toeIndex, head);
}

TEST(DeleteStep, LastStepReleasesTheChainAndKeepsLastParams) {
    CTAV_AnalyserDoc doc;
    AddPoints(doc, 1);
    TestPoint& tp = Tp(doc, 0);
    ProcessStep s = Step(kOpSmooth);
    s.smoothPoints = 4;
    FinishNewStep(doc, TargetSet{0}, s, true);
    const ProcessStep last = tp.lastParams;
    DeleteStepCommand(doc, TargetSet{0}, 0);
    EXPECT_EQ(tp.stepCount(), 0);
    EXPECT_EQ(tp.steps.capacity(), 0u);
    EXPECT_TRUE(SameBits(tp.samples, tp.rawSamples));
    EXPECT_EQ(tp.lastParams.opType, last.opType);
    EXPECT_EQ(tp.lastParams.smoothPoints, 4);
}

TEST(DeleteStep, PositionOutsideAChainSkipsThatTarget) {
    CTAV_AnalyserDoc doc;
    AddPoints(doc, 2);
    Tp(doc, 0).steps = {Step(kOpReverse), Step(kOpReverse)};
    Tp(doc, 1).steps = {Step(kOpReverse)};
    DeleteStep(doc, TargetSet{0, 1, 9}, 1);
    EXPECT_EQ(Tp(doc, 0).stepCount(), 1);
    EXPECT_EQ(Tp(doc, 1).stepCount(), 1);
}

TEST(ClearSteps, RemovesEverythingAndRelocates) {
    CTAV_AnalyserDoc doc;
    AddPoints(doc, 1);
    TestPoint& tp = Tp(doc, 0);
    tp.steps = {Step(kOpFilter), Step(kOpReverse)};
    ReapplyChain(doc, TargetSet{0});
    tp.headIndex = 2;
    ClearStepsCommand(doc, TargetSet{0});
    EXPECT_EQ(tp.stepCount(), 0);
    EXPECT_TRUE(SameBits(tp.samples, tp.rawSamples));
    EXPECT_EQ(tp.headIndex, FindPileHead(tp.rawSamples.data(), tp.rawCount()));
    EXPECT_TRUE(doc.Modified());
}

TEST(ReplaceAndInsert, PositionsAndLastParams) {
    CTAV_AnalyserDoc doc;
    AddPoints(doc, 2);
    Tp(doc, 0).steps = {Step(kOpReverse), Step(kOpIntegrate)};
    Tp(doc, 1).steps = {Step(kOpReverse)};
    ProcessStep dc = Step(kOpRemoveDc);
    dc.dcMode = 2;
    dc.dcStart = 77;
    ReplaceStep(doc, TargetSet{0, 1}, dc, 1);  // the second target has no step 1
    EXPECT_EQ(Tp(doc, 0).steps[1].opType, kOpRemoveDc);
    EXPECT_EQ(Tp(doc, 0).lastParams.dcStart, 77);
    EXPECT_EQ(Tp(doc, 1).stepCount(), 1);
    InsertStep(doc, TargetSet{0, 1}, Step(kOpDifferentiate), 0);
    EXPECT_EQ(Tp(doc, 0).steps[0].opType, kOpDifferentiate);
    EXPECT_EQ(Tp(doc, 1).steps[0].opType, kOpDifferentiate);
    EXPECT_EQ(Tp(doc, 1).stepCount(), 2);
    InsertStep(doc, TargetSet{0, 1}, Step(kOpDifferentiate), 2);  // no insertion after the last step
    EXPECT_EQ(Tp(doc, 1).stepCount(), 2);
    EXPECT_EQ(Tp(doc, 0).stepCount(), 4);
}

TEST(LastParams, CopyTakesOnlyTheFieldsOfTheType) {
    TestPoint tp;
    ProcessStep s;
    s.opType = kOpShift;
    s.shiftX = 4;
    s.shiftY = 1.5f;
    s.shiftMode = 1;
    s.shiftStart = 2;
    s.shiftEnd = 9;
    s.filterUpperHz = 1234.0f;
    s.viewMax = 99.0f;
    CopyToLastParams(tp, s);
    EXPECT_EQ(tp.lastParams.opType, kOpShift);
    EXPECT_EQ(tp.lastParams.shiftEnd, 9);
    EXPECT_EQ(tp.lastParams.shiftY, 1.5f);
    EXPECT_EQ(tp.lastParams.filterUpperHz, 300.0f);
    EXPECT_EQ(tp.lastParams.viewMax, 0.0f);
    ProcessStep i = Step(kOpIntegrate);
    i.smoothPoints = 17;
    CopyToLastParams(tp, i);
    EXPECT_EQ(tp.lastParams.opType, kOpIntegrate);
    EXPECT_EQ(tp.lastParams.smoothPoints, 1);
    RefreshLastParams(tp, i);  // empty chain
    EXPECT_EQ(tp.lastParams.opType, 0);
}

TestPoint Samples(std::vector<float> x) {
    TestPoint tp;
    tp.samples = std::move(x);
    return tp;
}

TEST(SnapToe, MovesOntoTheNearestExtremumOfTheHeadsPolarity) {
    //                  0  1  2  3  4  5  6  7  8  9
    const auto tp = Samples({5, 0, 1, 2, 3, 4, 3, 2, 1, 0});
    EXPECT_EQ(SnapToe(tp, 0, 0), 0);
    EXPECT_EQ(SnapToe(tp, 0, 9), 9);
    EXPECT_EQ(SnapToe(tp, 0, 5), 5);  // already a peak
    EXPECT_EQ(SnapToe(tp, 0, 2), 5);  // climbs right
    EXPECT_EQ(SnapToe(tp, 0, 7), 5);  // climbs left
    EXPECT_EQ(SnapToe(tp, 0, 50), 50);
    EXPECT_EQ(SnapToe(tp, 0, -4), -4);
    // A valley: both ways, the nearer wins; a tie goes right.
    const auto v = Samples({9, 5, 4, 3, 2, 3, 4, 9, 1, 0});
    EXPECT_EQ(SnapToe(v, 0, 4), 7);
    const auto tie = Samples({9, 1, 4, 2, 1, 2, 4, 1, 0, 0});
    EXPECT_EQ(SnapToe(tie, 0, 4), 6);
    // Negative head: minima.
    const auto neg = Samples({-5, 0, -1, -2, -3, -2, -1, 0, 1, 2});
    EXPECT_EQ(SnapToe(neg, 0, 2), 4);
    EXPECT_EQ(SnapToe(neg, 0, 1), 0);  // a valley of -x: the nearer side wins
    // A plateau top stays; a plateau is stepped over to find the side values.
    const auto plateau = Samples({1, 1, 2, 3, 3, 3, 2, 1, 1, 1});
    EXPECT_EQ(SnapToe(plateau, 3, 4), 4);
    const auto flat = Samples({1, 1, 1, 1, 1, 1});
    EXPECT_EQ(SnapToe(flat, 0, 2), 2);
}

TEST(TargetSet, CurrentFirstAndScope) {
    CTAV_AnalyserDoc doc;
    AddPoints(doc, 4);
    doc.SelectPoint(2);
    const std::vector<std::int32_t> shown{0, 1, 2, 3, 42};
    EXPECT_EQ(BuildTargetSet(doc, shown, false), (TargetSet{2}));
    EXPECT_EQ(BuildTargetSet(doc, shown, true), (TargetSet{2, 1, 0, 3}));
    EXPECT_EQ(BuildTargetSet(doc, std::vector<std::int32_t>{3}, true), (TargetSet{2}));
}

TEST(Prefill, LastParamsCursorAndMagnifyStart) {
    CTAV_AnalyserDoc doc;
    AddPoints(doc, 1);
    Tp(doc, 0).lastParams.filterUpperHz = 800.0f;
    Tp(doc, 0).lastParams.dcStart = 3;
    const auto f = PrefillNewStep(doc, TargetSet{0}, kOpFilter, 123);
    EXPECT_EQ(f.opType, kOpFilter);
    EXPECT_EQ(f.filterUpperHz, 800.0f);
    EXPECT_EQ(f.dcStart, 3);
    EXPECT_EQ(PrefillNewStep(doc, TargetSet{0}, kOpRemoveDc, 123).dcStart, 123);
    EXPECT_EQ(PrefillNewStep(doc, TargetSet{0}, kOpRemoveDc, std::nullopt).dcStart, 3);
    EXPECT_EQ(PrefillNewStep(doc, TargetSet{0}, kOpRearZero, 321).rearZeroPos, 321);
    EXPECT_EQ(PrefillNewStep(doc, TargetSet{0}, kOpMagnify, 321).magnifyStart, Tp(doc, 0).headIndex);
}

TEST(UndoLast, EmptyChainsDoNothing) {
    CTAV_AnalyserDoc doc;
    AddPoints(doc, 2);
    UndoLastStepCommand(doc, TargetSet{0, 1});
    EXPECT_FALSE(doc.Modified());
    Tp(doc, 1).steps = {Step(kOpReverse), Step(kOpReverse)};
    Tp(doc, 0).steps = {Step(kOpReverse)};
    UndoLastStepCommand(doc, TargetSet{0, 1});  // the longest chain's last row
    EXPECT_EQ(Tp(doc, 1).stepCount(), 1);
    EXPECT_EQ(Tp(doc, 0).stepCount(), 1);
    EXPECT_TRUE(doc.Modified());
}

}  // namespace
}  // namespace tav
