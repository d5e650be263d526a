#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>

#include "base/atomic_file.hpp"
#include "base/text_codec.hpp"
#include "model/document.hpp"
#include "model/pile_head.hpp"
#include "model/positions.hpp"
#include "model/project_file.hpp"
#include "model/vocabulary.hpp"
#include "processing/project_loading.hpp"
#include "tests/support/project_builder.hpp"
#include "tests/support/tool_runner.hpp"

namespace tav {
namespace {

using testing::MakeHeader;
using testing::ProjectImage;
using testing::TempDir;
using testing::WaveformPoint;

void Fill(CTAV_AnalyserDoc& doc, std::initializer_list<const char*> piles) {
    for (const char* p : piles) doc.InsertPoint(doc.PointCount(), WaveformPoint(p, 64));
}

std::vector<std::string> PileNumbers(const CTAV_AnalyserDoc& doc) {
    std::vector<std::string> out;
    for (const auto& tp : doc.points) out.emplace_back(TextOf(tp.pileNo));
    return out;
}

// The refreshes and the wait cursor the document asks for, in order.
struct EventLog : DocumentEvents {
    std::vector<std::string> seen;
    void BeginWait() override { seen.emplace_back("wait"); }
    void EndWait() override { seen.emplace_back("done"); }
    void RefreshPointList() override { seen.emplace_back("list"); }
    void RefreshViews() override { seen.emplace_back("views"); }
};
using Seen = std::vector<std::string>;

TEST(Document, InsertDeleteAndMoveKeepTheListConsistent) {
    CTAV_AnalyserDoc doc;
    Fill(doc, {"B"});
    doc.InsertPoint(0, WaveformPoint("A", 64));
    doc.InsertPoint(2, WaveformPoint("C", 64));
    doc.InsertPoint(9, WaveformPoint("X", 64));  // out of range: ignored
    EXPECT_EQ(PileNumbers(doc), (std::vector<std::string>{"A", "B", "C"}));
    EXPECT_EQ(doc.header.pointCount, 3);
    doc.MovePoint(0, 2);
    EXPECT_EQ(PileNumbers(doc), (std::vector<std::string>{"B", "C", "A"}));
    doc.MovePoint(2, 0);
    doc.DeletePoint(1);
    doc.DeletePoint(5);
    EXPECT_EQ(PileNumbers(doc), (std::vector<std::string>{"A", "C"}));
    doc.DeletePoint(0);
    doc.DeletePoint(0);
    EXPECT_EQ(doc.PointCount(), 0);
    EXPECT_EQ(doc.hasPoints, 0);
}

TEST(Document, PilesAreRunsOfNeighbours) {
    CTAV_AnalyserDoc doc;
    Fill(doc, {"A", "A", "B", "A"});
    EXPECT_EQ(doc.PileOrdinal(0), 0);
    EXPECT_EQ(doc.PileOrdinal(1), 0);
    EXPECT_EQ(doc.PileOrdinal(2), 1);
    EXPECT_EQ(doc.PileOrdinal(3), 2);
    EXPECT_EQ(doc.PileOrdinal(4), -1);
    EXPECT_EQ(doc.FirstPointOfPile(2), 3);
    EXPECT_EQ(doc.FirstPointOfPile(3), -1);
    EXPECT_EQ(doc.PileCount(), 3);
    EXPECT_EQ(doc.PileGroup(1), (std::vector<std::int32_t>{0, 1}));

    doc.SelectPoint(1);
    EXPECT_EQ(doc.selectionMode, 1);
    EXPECT_EQ(doc.currentPile, 0);
    EXPECT_EQ(doc.pileMembers, (std::vector<std::int32_t>{0, 1}));
    doc.SelectPile(2);
    EXPECT_EQ(doc.selectionMode, 2);
    EXPECT_EQ(doc.currentIndex, 3);
    doc.SelectPile(7);
    EXPECT_EQ(doc.selectionMode, 0);
    EXPECT_EQ(doc.currentIndex, -1);
    doc.SelectPoint(-3);
    EXPECT_EQ(doc.selectionMode, 0);

    EXPECT_EQ(doc.PileNumberExists(4, "B"), 0);
    EXPECT_EQ(doc.PileNumberExists(2, "B"), 1);
    EXPECT_EQ(doc.PileNumberExists(0, "A"), 1);
}

TEST(Document, CopiesAreDeepAndLeaveThePendingFlags) {
    TestPoint a = WaveformPoint("P1", 32);
    SetText(a.note, "note");
    a.defects.resize(2);
    a.waveletMarkLevels = {1};
    a.waveletMarkPositions = {5};
    a.toePending = 1;
    TestPoint b;
    CopyTestPoint(a, b);
    EXPECT_EQ(TextOf(b.note), "note");
    EXPECT_EQ(b.defectCount(), 2);
    EXPECT_EQ(b.toePending, 0);
    b.rawSamples[0] = 99.0f;
    EXPECT_NE(a.rawSamples[0], 99.0f);
    ReleaseTestPoint(b);
    EXPECT_EQ(b.rawCount(), 0);
    EXPECT_EQ(b.waveletMarkCount(), 0);
    EXPECT_EQ(TextOf(b.pileNo), "P1") << "the record head stays";
}

TEST(Document, PileTypeByName) {
    TestPoint tp;
    SetPileTypeByName(tp, "  " + Utf8ToCp936("钻孔灌注桩") + " ");
    EXPECT_EQ(tp.pileTypeIndex, 1);
    EXPECT_EQ(Cp936ToUtf8(TextOf(tp.pileTypeName)), "钻孔灌注桩");
    SetPileTypeByName(tp, "H-steel");
    EXPECT_EQ(tp.pileTypeIndex, kUnlistedPileType);
    EXPECT_EQ(TextOf(tp.pileTypeName), "H-steel");
    SetPileTypeByName(tp, std::string(60, 'x'));
    EXPECT_EQ(TextOf(tp.pileTypeName).size(), 49u);
    // A two-byte character is never cut in half.
    std::string many = "x";
    for (int i = 0; i < 25; ++i) many += Utf8ToCp936("桩");
    SetPileTypeByName(tp, many);
    EXPECT_EQ(TextOf(tp.pileTypeName).size(), 49u);
    EXPECT_EQ(Cp936ToUtf8(TextOf(tp.pileTypeName)).find("\xEF\xBF\xBD"), std::string::npos);

    CTAV_AnalyserDoc doc;
    doc.InsertPoint(0, tp);
    EXPECT_EQ(doc.PileTypeText(0).substr(0, 1), "x");
    doc.points[0].sensorType = 7;
    EXPECT_EQ(doc.SensorTypeText(0), "加速度");
    doc.points[0].sensorType = 2;
    EXPECT_EQ(doc.SensorTypeText(0), "加速度→速度");
    EXPECT_EQ(doc.SensorTypeText(3), "");
}

TEST(PileHead, SearchFindsTheFirstStrongHalfWave) {
    std::vector<float> x(40, 0.0f);
    EXPECT_EQ(FindPileHead(x.data(), 10), 0);
    EXPECT_EQ(FindPileHead(x.data(), 40), 0) << "all zero";
    x[3] = 100.0f;  // before sample 10: never considered
    EXPECT_EQ(FindPileHead(x.data(), 40), 0);
    // A small wiggle, a strong pulse, a negative swing, an unfinished tail.
    x[12] = 0.2f;
    x[14] = -0.1f;
    x[16] = 1.0f;
    x[17] = 3.0f;
    x[18] = 2.0f;
    x[20] = -1.0f;
    x[25] = 5.0f;  // the unfinished last half-wave does not count
    EXPECT_EQ(FindPileHead(x.data(), 40), 17);
    x[30] = -0.5f;  // now the 5.0 half-wave is complete and the largest: 3 × 2 > 5
    EXPECT_EQ(FindPileHead(x.data(), 40), 17);
    x[25] = 7.0f;  // 3 × 2 < 7: the head moves to the big one
    EXPECT_EQ(FindPileHead(x.data(), 40), 25);
}

TEST(PileHead, DisplayRangeAndRounding) {
    const std::vector<float> x = {1.0f, -9.0f, 2.0f, 4.0f, -3.0f};
    auto r = WindowDisplayRange(x.data(), 5, 2, 4);
    EXPECT_EQ(r.max, 4.0f);
    EXPECT_EQ(r.min, -4.0f);
    r = WindowDisplayRange(x.data(), 5, -1, 4);
    EXPECT_EQ(r.max, 9.0f);
    r = WindowDisplayRange(x.data(), 5, 2, 100);  // a toe beyond the record stops at its end
    EXPECT_EQ(r.max, 4.0f);
    EXPECT_EQ(RoundDisplayMax(4.0f), 6.0f);   // 4.4 -> 6
    EXPECT_EQ(RoundDisplayMax(10.0f), 12.0f); // 11.0 -> 12
    EXPECT_EQ(RoundDisplayMax(0.0f), 0.0f);
    EXPECT_EQ(RoundDisplayMax(0.5f), 2.0f);
}

// The range is taken eight samples at a time; it must be what the one-by-one
// scan gives for every window, with NaNs (first or later), infinities and
// signed zeros among the samples.
TEST(PileHead, DisplayRangeEqualsTheOneByOneScan) {
    auto oneByOne = [](const std::vector<float>& x, int from, int to) {
        float hi = x[0], lo = x[0];
        for (int i = from; i < to; ++i) {
            if (x[static_cast<std::size_t>(i)] > hi) hi = x[static_cast<std::size_t>(i)];
            if (x[static_cast<std::size_t>(i)] < lo) lo = x[static_cast<std::size_t>(i)];
        }
        return std::max(std::fabs(hi), std::fabs(lo));
    };
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    std::mt19937 rng(21);
    std::uniform_real_distribution<float> u(-5.0f, 5.0f);
    std::uniform_int_distribution<int> special(0, 19);
    for (int round = 0; round < 400; ++round) {
        const int n = 1 + round % 53;
        std::vector<float> x(static_cast<std::size_t>(n));
        for (auto& v : x) {
            const int s = special(rng);
            v = s == 0 ? nan : s == 1 ? -inf : s == 2 ? -0.0f : s == 3 ? 0.0f : u(rng);
        }
        if (round % 7 == 0) x[0] = nan;
        const int head = static_cast<int>(rng() % static_cast<unsigned>(n + 2)) - 1;
        const int toe = static_cast<int>(rng() % static_cast<unsigned>(n + 4));
        const auto r = WindowDisplayRange(x.data(), n, head, toe);
        const int from = head >= 0 && toe >= 1 ? std::clamp(head, 0, n) : 0;
        const int to = head >= 0 && toe >= 1 ? std::clamp(toe, 0, n) : n;
        const float want = oneByOne(x, from, to);
        if (std::isnan(want)) {
            EXPECT_TRUE(std::isnan(r.max)) << round;
        } else {
            EXPECT_EQ(r.max, want) << round;
            EXPECT_EQ(r.min, -want) << round;
        }
    }
}

TEST(PileHead, DefaultToeAndPositions) {
    TestPoint tp;
    tp.headIndex = 100;
    tp.pileLength = 20.0f;
    tp.waveSpeed = 4000;
    tp.sampleInterval = 20.0f;
    EXPECT_EQ(DefaultToe(tp), 600);
    EXPECT_FLOAT_EQ(SampleToDepth(tp, 600, false), 20.0f);
    EXPECT_EQ(DepthToSample(tp, 20.0f, false), 600);
    EXPECT_EQ(DepthToSample(tp, 20.0f, true), 500);
    EXPECT_DOUBLE_EQ(SampleTimeMs(tp, 600), 12.0);
    tp.waveSpeed = 0;
    EXPECT_EQ(DefaultToe(tp), 0) << "no speed, no toe";
    EXPECT_EQ(DepthToSample(tp, 3.0f, false), 100);
    CTAV_AnalyserDoc doc;
    EXPECT_EQ(DepthToSample(doc, 0, 1.0f, false), 0);
    EXPECT_EQ(SampleToDepth(doc, 0, 5, false), 0.0f);
}

TEST(Loading, HeadSearchAndDisplayRange) {
    TestPoint searched = WaveformPoint("P1", 256);
    searched.headValid = 0;
    searched.headIndex = 7;
    TestPoint kept = WaveformPoint("P2", 256);
    kept.headIndex = 3;
    CTAV_AnalyserDoc doc;
    ASSERT_EQ(LoadProject(doc, ProjectImage(MakeHeader("u", "p"), {searched, kept}, {})).status, LoadStatus::Ok);
    EXPECT_EQ(doc.points[0].headIndex, 40);
    EXPECT_EQ(doc.points[0].headValid, 1);
    EXPECT_EQ(doc.points[1].headIndex, 3);
    EXPECT_EQ(doc.points[0].toePending, 1);
    EXPECT_EQ(doc.currentIndex, 0);
    EXPECT_GT(doc.points[0].lastParams.viewMax, 1.0f);
    EXPECT_EQ(doc.points[0].lastParams.viewMin, -doc.points[0].lastParams.viewMax);
}

TEST(Loading, CheckedListAndEmptyBackupHeader) {
    TestPoint a = WaveformPoint("P1", 64), b = WaveformPoint("P2", 64), c = WaveformPoint("P3", 64);
    a.checked = 1;
    c.checked = 5;
    CTAV_AnalyserDoc doc;
    ASSERT_EQ(LoadProject(doc, ProjectImage(MakeHeader("u", "p"), {a, b, c}, {})).status, LoadStatus::Ok);
    EXPECT_EQ(doc.checkedIndices, (std::vector<std::int32_t>{0, 2}));
    EXPECT_TRUE(doc.backupPoints.empty()) << "a backup count of 0 leaves the set empty";
}

TEST(Loading, EveryTruncationIsHandled) {
    TestPoint a = WaveformPoint("P1", 24);
    a.steps.resize(1);
    a.defects.resize(1);
    a.spectrumMarks = {3};
    a.waveletMarkLevels = {1};
    a.waveletMarkPositions = {2};
    const auto image = ProjectImage(MakeHeader("u", "p"), {a, a}, {a});
    const std::size_t backupStart = ProjectImage(MakeHeader("u", "p"), {a, a}, {}).size() - kCurrentHeaderBytes;
    const std::size_t backupRawEnd = backupStart + kCurrentHeaderBytes + 128 + 4 + 4 * a.rawSamples.size();
    for (std::size_t cut = 0; cut < image.size(); ++cut) {
        const std::vector<std::uint8_t> part(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(cut));
        CTAV_AnalyserDoc doc;
        const auto r = LoadProject(doc, part);
        if (r.status == LoadStatus::FaultyPoint) {
            ASSERT_EQ(doc.PointCount(), 2) << cut;
            for (std::int32_t i = r.faultyPoint; i < 2; ++i) EXPECT_EQ(doc.points[static_cast<std::size_t>(i)].rawCount(), 0);
        } else if (r.status == LoadStatus::FaultyBackupPoint) {
            EXPECT_EQ(doc.PointCount(), 2) << cut;
            EXPECT_EQ(r.faultyBackupPoint, 0) << cut;
            EXPECT_GT(cut, backupStart) << "only a cut inside the backup record";
            EXPECT_NE(cut, backupRawEnd) << "ending after the raw samples is a whole file";
        } else if (r.status == LoadStatus::Ok) {
            EXPECT_EQ(doc.PointCount(), 2) << cut;
        } else {
            EXPECT_EQ(doc.PointCount(), 0) << cut;
        }
    }
}

TEST(Loading, AppendOpenRenamesTakenPileNumbers) {
    TempDir dir;
    const auto first = dir.File("a.tav");
    const auto second = dir.File("b.tav");
    WriteFileAtomically(first, ProjectImage(MakeHeader("u", "p"), {WaveformPoint("P1", 64), WaveformPoint("P2", 64)},
                                            {WaveformPoint("B1", 64)}));
    WriteFileAtomically(second, ProjectImage(MakeHeader("u2", "p2"), {WaveformPoint("P1", 64), WaveformPoint("P2", 64),
                                                                     WaveformPoint("P3", 64)},
                                             {WaveformPoint("B2", 64)}));
    CTAV_AnalyserDoc doc;
    ASSERT_EQ(OpenFile(doc, first).status, LoadStatus::Ok);
    const std::vector<std::string> again = {first, second, second};
    const auto results = AppendOpen(doc, again);
    ASSERT_EQ(results.size(), 1u) << "files already in the project are skipped";
    EXPECT_EQ(results[0].status, LoadStatus::Ok);
    EXPECT_EQ(PileNumbers(doc), (std::vector<std::string>{"P1", "P2", "P1a", "P2a", "P3"}));
    EXPECT_EQ(doc.backupPoints.size(), 2u);
    EXPECT_EQ(doc.header.pointCount, 5);
    EXPECT_EQ(doc.projectFiles.size(), 2u);

    // A pile number taken with every letter a..z stays as it is.
    CTAV_AnalyserDoc full;
    std::vector<TestPoint> taken = {WaveformPoint("Q", 16)};
    for (char c = 'a'; c <= 'z'; ++c) taken.push_back(WaveformPoint(std::string("Q") + c, 16));
    const auto third = dir.File("c.tav");
    const auto fourth = dir.File("d.tav");
    WriteFileAtomically(third, ProjectImage(MakeHeader("u", "p"), taken, {}));
    WriteFileAtomically(fourth, ProjectImage(MakeHeader("u", "p"), {WaveformPoint("Q", 16)}, {}));
    OpenFile(full, third);
    const std::vector<std::string> one = {fourth};
    AppendOpen(full, one);
    EXPECT_EQ(TextOf(full.points.back().pileNo), "Q");
}

TEST(Loading, AppendOfAFileThatIsNoProjectKeepsTheDocument) {
    TempDir dir;
    const auto first = dir.File("a.tav");
    WriteFileAtomically(first, ProjectImage(MakeHeader("u", "p"), {WaveformPoint("P1", 64)}, {}));
    WriteFileAtomically(dir.File("junk.tav"), std::vector<std::uint8_t>(300, 'x'));
    CTAV_AnalyserDoc doc;
    OpenFile(doc, first);
    const std::vector<std::string> junk = {dir.File("junk.tav"), dir.File("missing.tav")};
    const auto results = AppendOpen(doc, junk);
    ASSERT_EQ(results.size(), 2u);
    EXPECT_EQ(results[0].status, LoadStatus::UnknownVersion);
    EXPECT_EQ(results[1].status, LoadStatus::IoError);
    EXPECT_EQ(PileNumbers(doc), (std::vector<std::string>{"P1"}));
    EXPECT_EQ(doc.projectFiles.size(), 1u);
}

TEST(Document, ChangesAreMadeKnownThroughTheDocument) {
    TempDir dir;
    EventLog events;
    CTAV_AnalyserDoc doc;
    doc.SetEvents(&events);
    Fill(doc, {"A", "B"});
    EXPECT_FALSE(doc.Modified());

    doc.MarkModified();
    EXPECT_TRUE(doc.Modified());
    EXPECT_TRUE(events.seen.empty()) << "its caller redraws";
    ASSERT_TRUE(doc.SaveToFile(dir.File("a.tav")));
    EXPECT_FALSE(doc.Modified());

    doc.MarkListChanged();
    EXPECT_TRUE(doc.Modified());
    EXPECT_EQ(events.seen, (Seen{"list", "views"}));

    // Taking another project takes its flag; opening a file clears it.
    CTAV_AnalyserDoc other;
    doc.SwapProject(other);
    EXPECT_FALSE(doc.Modified());
    EXPECT_TRUE(other.Modified());
    ASSERT_EQ(OpenFile(other, dir.File("a.tav")).status, LoadStatus::Ok);
    EXPECT_FALSE(other.Modified());
}

TEST(Loading, TheProjectIsShownOnceWhenTheLoadEnds) {
    TempDir dir;
    const auto first = dir.File("a.tav");
    const auto second = dir.File("b.tav");
    TestPoint ticked = WaveformPoint("P3", 64);
    ticked.checked = 1;
    ticked.lastParams.viewMax = 0.0f;  // as the instrument leaves it
    WriteFileAtomically(first, ProjectImage(MakeHeader("u", "p"), {WaveformPoint("P1", 64)}, {}));
    WriteFileAtomically(second, ProjectImage(MakeHeader("u", "p"), {WaveformPoint("P2", 64), ticked}, {}));
    EventLog events;
    CTAV_AnalyserDoc doc;
    doc.SetEvents(&events);
    ASSERT_EQ(OpenFile(doc, first).status, LoadStatus::Ok);
    EXPECT_EQ(events.seen, (Seen{"wait", "list", "views", "done"}));
    EXPECT_FALSE(doc.Modified());

    // A batch shows the project after its last file, also when that one cannot be opened.
    events.seen.clear();
    const std::vector<std::string> batch = {second, dir.File("missing.tav")};
    const auto results = AppendOpen(doc, batch);
    ASSERT_EQ(results.size(), 2u);
    EXPECT_EQ(results[0].status, LoadStatus::Ok);
    EXPECT_EQ(results[1].status, LoadStatus::IoError);
    EXPECT_EQ(events.seen, (Seen{"wait", "done", "list", "views"}));
    EXPECT_TRUE(doc.Modified());
    EXPECT_EQ(PileNumbers(doc), (std::vector<std::string>{"P1", "P2", "P3"}));
    EXPECT_EQ(doc.checkedIndices, (std::vector<std::int32_t>{2}));
    EXPECT_GT(doc.points[2].lastParams.viewMax, 0.0f);
    EXPECT_EQ(doc.currentIndex, 0);

    // A batch that loads nothing shows nothing again.
    events.seen.clear();
    const std::vector<std::string> missing = {dir.File("gone.tav")};
    AppendOpen(doc, missing);
    EXPECT_TRUE(events.seen.empty());
}

TEST(Saving, SubsetAndAFailedSaveLeavesTheOldFile) {
    TempDir dir;
    CTAV_AnalyserDoc doc;
    Fill(doc, {"A", "B", "C"});
    doc.backupPoints = {WaveformPoint("bA", 16)};
    const std::vector<std::int32_t> picks = {2, 0};
    ASSERT_EQ(doc.SaveSubset(dir.File("sub.tav"), picks), 1);
    CTAV_AnalyserDoc sub;
    ASSERT_EQ(OpenFile(sub, dir.File("sub.tav")).status, LoadStatus::Ok);
    EXPECT_EQ(PileNumbers(sub), (std::vector<std::string>{"C", "A"}));
    ASSERT_EQ(sub.backupPoints.size(), 2u);
    EXPECT_EQ(TextOf(sub.backupPoints[0].pileNo), "C") << "beyond the backup set: the working test point";
    EXPECT_EQ(TextOf(sub.backupPoints[1].pileNo), "bA");
    EXPECT_EQ(doc.SaveSubset(dir.File("none.tav"), {}), 0);
    EXPECT_EQ(doc.SaveSubset("/nonexistent/x.tav", picks), 0);

    const auto target = dir.File("keep.tav");
    ASSERT_TRUE(doc.SaveToFile(target));
    const auto before = *ReadWholeFile(target);
    ::chmod(dir.path().c_str(), 0500);  // the folder refuses the temporary file
    std::string error;
    const bool saved = doc.SaveToFile(target, &error);
    ::chmod(dir.path().c_str(), 0700);
    if (::geteuid() != 0) {
        EXPECT_FALSE(saved);
        EXPECT_FALSE(error.empty());
    }
    EXPECT_EQ(*ReadWholeFile(target), saved ? doc.SaveProject() : before);
}

}  // namespace
}  // namespace tav
