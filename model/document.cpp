#include "model/document.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <strings.h>
#include <utility>

#include "model/vocabulary.hpp"
#include "base/atomic_file.hpp"
#include "base/byte_io.hpp"
#include "base/numeric.hpp"
#include "model/old_layout.hpp"
#include "model/pile_head.hpp"
#include "model/project_file.hpp"
#include "base/side_by_side.hpp"
#include "base/text_codec.hpp"

namespace tav {

std::string_view LoadStatusName(LoadStatus status) {
    switch (status) {
        case LoadStatus::Ok: return "ok";
        case LoadStatus::UnknownVersion: return "unknown-version";
        case LoadStatus::InvalidCount: return "invalid-count";
        case LoadStatus::FaultyPoint: return "faulty-point";
        case LoadStatus::IoError: return "io-error";
        case LoadStatus::FaultyBackupPoint: return "faulty-backup-point";
    }
    return "unknown";
}

DocumentEvents& CTAV_AnalyserDoc::SilentEvents() {
    static DocumentEvents silent;
    return silent;
}

void CTAV_AnalyserDoc::MarkListChanged() {
    modified_ = true;
    Events().RefreshPointList();
    Events().RefreshViews();
}

// ---- list primitives ------------------------------------------------------

void CTAV_AnalyserDoc::InsertPoint(std::int32_t position, const TestPoint& record) {
    if (position < 0 || position > PointCount()) return;
    TestPoint copy;
    CopyTestPoint(record, copy);
    points.insert(points.begin() + position, std::move(copy));
    header.pointCount = PointCount();
    hasPoints = 1;
}

void CTAV_AnalyserDoc::DeletePoint(std::int32_t index) {
    if (!ValidIndex(index)) return;
    points.erase(points.begin() + index);
    header.pointCount = PointCount();
    if (points.empty()) {
        points.shrink_to_fit();
        hasPoints = 0;
        Events().RefreshPointList();
    }
}

void CTAV_AnalyserDoc::MovePoint(std::int32_t from, std::int32_t to) {
    if (!ValidIndex(from) || !ValidIndex(to)) return;
    TestPoint moving;
    CopyTestPoint(points[static_cast<std::size_t>(from)], moving);
    DeletePoint(from);
    InsertPoint(to, moving);
}

void CTAV_AnalyserDoc::InsertPoints(std::int32_t position, std::vector<TestPoint> records) {
    if (position < 0 || position > PointCount() || records.empty()) return;
    points.insert(points.begin() + position, std::make_move_iterator(records.begin()),
                  std::make_move_iterator(records.end()));
    header.pointCount = PointCount();
    hasPoints = 1;
}

std::vector<TestPoint> CTAV_AnalyserDoc::TakePoints(std::int32_t first, std::int32_t count) {
    std::vector<TestPoint> taken;
    if (!ValidIndex(first) || count <= 0 || count > PointCount() - first) return taken;
    const auto from = points.begin() + first;
    taken.assign(std::make_move_iterator(from), std::make_move_iterator(from + count));
    points.erase(from, from + count);
    header.pointCount = PointCount();
    if (points.empty()) {
        points.shrink_to_fit();
        hasPoints = 0;
        Events().RefreshPointList();
    }
    return taken;
}

void CTAV_AnalyserDoc::ClearDocument() {
    points.clear();
    backupPoints.clear();
    header.pointCount = 0;
    backupHeader.pointCount = 0;
    header.magic.fill(0);
    hasPoints = 0;
    selectionMode = 0;
    currentIndex = -1;
    currentPile = -1;
    checkedIndices.clear();
    pileMembers.clear();
    undoList.clear();
    redoList.clear();
}

int CTAV_AnalyserDoc::PileNumberExists(std::int32_t count, std::string_view pileNo) const {
    count = std::min(count, PointCount());
    for (std::int32_t i = 0; i < count; ++i)
        if (TextOf(points[static_cast<std::size_t>(i)].pileNo) == pileNo) return 0;
    return 1;
}

// ---- piles and selection --------------------------------------------------

namespace {

bool SamePile(const TestPoint& a, const TestPoint& b) { return TextOf(a.pileNo) == TextOf(b.pileNo); }

}  // namespace

std::int32_t CTAV_AnalyserDoc::PileOrdinal(std::int32_t index) const {
    if (!ValidIndex(index)) return -1;
    std::int32_t ordinal = 0;
    for (std::int32_t i = 1; i <= index; ++i)
        if (!SamePile(points[static_cast<std::size_t>(i - 1)], points[static_cast<std::size_t>(i)])) ++ordinal;
    return ordinal;
}

std::int32_t CTAV_AnalyserDoc::FirstPointOfPile(std::int32_t ordinal) const {
    if (ordinal < 0 || points.empty()) return -1;
    std::int32_t current = 0;
    if (ordinal == 0) return 0;
    for (std::int32_t i = 1; i < PointCount(); ++i) {
        if (!SamePile(points[static_cast<std::size_t>(i - 1)], points[static_cast<std::size_t>(i)]) &&
            ++current == ordinal)
            return i;
    }
    return -1;
}

std::vector<std::int32_t> CTAV_AnalyserDoc::PileGroup(std::int32_t index) const {
    std::vector<std::int32_t> group;
    if (!ValidIndex(index)) return group;
    std::int32_t first = index;
    while (first > 0 && SamePile(points[static_cast<std::size_t>(first - 1)], points[static_cast<std::size_t>(index)]))
        --first;
    std::int32_t last = index;
    while (last + 1 < PointCount() &&
           SamePile(points[static_cast<std::size_t>(last + 1)], points[static_cast<std::size_t>(index)]))
        ++last;
    for (std::int32_t i = first; i <= last; ++i) group.push_back(i);
    return group;
}

std::int32_t CTAV_AnalyserDoc::PileCount() const { return points.empty() ? 0 : PileOrdinal(PointCount() - 1) + 1; }

void CTAV_AnalyserDoc::SelectPoint(std::int32_t index) {
    selectionMode = 1;
    currentIndex = ValidIndex(index) ? index : -1;
    currentPile = PileOrdinal(currentIndex);
    pileMembers = PileGroup(currentIndex);
    if (currentIndex < 0) selectionMode = 0;
}

void CTAV_AnalyserDoc::SelectPile(std::int32_t ordinal) {
    selectionMode = 2;
    currentPile = ordinal;
    currentIndex = FirstPointOfPile(ordinal);
    pileMembers = PileGroup(currentIndex);
    if (currentIndex < 0) selectionMode = 0;
}

void CTAV_AnalyserDoc::RebuildCheckedList() {
    checkedIndices.clear();
    for (std::int32_t i = 0; i < PointCount(); ++i)
        if (points[static_cast<std::size_t>(i)].checked != 0) checkedIndices.push_back(i);
}

std::string CTAV_AnalyserDoc::PileTypeText(std::int32_t index) const {
    if (!ValidIndex(index)) return {};
    const auto& tp = points[static_cast<std::size_t>(index)];
    const auto& table = AppVocabulary().pileTypes;
    if (tp.pileTypeIndex >= 0 && static_cast<std::size_t>(tp.pileTypeIndex) < table.size())
        return std::string(table[static_cast<std::size_t>(tp.pileTypeIndex)]);
    return Cp936ToUtf8(TextOf(tp.pileTypeName));
}

std::string CTAV_AnalyserDoc::SensorTypeText(std::int32_t index) const {
    if (!ValidIndex(index)) return {};
    const auto& table = AppVocabulary().sensorTypes;
    const auto type = points[static_cast<std::size_t>(index)].sensorType;
    if (type >= 0 && static_cast<std::size_t>(type) < table.size()) return std::string(table[static_cast<std::size_t>(type)]);
    return std::string(table[0]);
}

void SetPileTypeByName(TestPoint& record, std::string_view name) {
    while (!name.empty() && (name.front() == ' ' || name.front() == '\t')) name.remove_prefix(1);
    while (!name.empty() && (name.back() == ' ' || name.back() == '\t')) name.remove_suffix(1);
    name = name.substr(0, Cp936SafePrefix(name, 49));
    const auto& table = AppVocabulary().pileTypes;
    record.pileTypeIndex = kUnlistedPileType;
    for (std::size_t i = 0; i < table.size(); ++i)
        if (Utf8ToCp936(table[i]) == name) record.pileTypeIndex = static_cast<std::int16_t>(i);
    SetText(record.pileTypeName, name);
}

// ---- display ranges ---------------------------------------------------------

namespace {

void StoreRange(TestPoint& tp, const DisplayRange& range) {
    const float v = RoundDisplayMax(range.max);
    tp.lastParams.viewMax = v;
    tp.lastParams.viewMin = -v;
}

// The display ranges of a loaded set; known holds the largest magnitudes
// found as the records were read, while their samples were at hand (NaN where
// one is still to be found).
void StoreDisplayRanges(std::vector<TestPoint>& points, std::span<const float> known) {
    for (std::size_t k = 0; k < points.size(); ++k) {
        auto& tp = points[k];
        if (tp.rawCount() <= 0) continue;
        if (k < known.size() && !std::isnan(known[k])) {
            StoreRange(tp, DisplayRange{known[k], -known[k]});
            continue;
        }
        const auto [head, toe] = HeadAndToe(tp);
        StoreRange(tp, WindowDisplayRange(tp.samples.data(), tp.sampleCount(), head, toe));
    }
}

}  // namespace

void CTAV_AnalyserDoc::RefreshDisplayRanges() { StoreDisplayRanges(points, {}); }

void CTAV_AnalyserDoc::ResetDisplayRange(std::span<const std::int32_t> indices) {
    for (const auto i : indices) {
        if (!ValidIndex(i)) continue;
        auto& tp = points[static_cast<std::size_t>(i)];
        if (tp.rawCount() <= 0) continue;
        StoreRange(tp, WindowDisplayRange(tp.samples.data(), tp.sampleCount(), -1, 0));
    }
}

// ---- loading ------------------------------------------------------------------

namespace {

// "P1" taken by a carried-over test point becomes "P1a", "P1b", ... "P1z".
void MakePileNumberUnique(const CTAV_AnalyserDoc& doc, std::int32_t carried, TestPoint& tp) {
    const std::string base(TextOf(tp.pileNo));
    if (doc.PileNumberExists(carried, base) != 0) return;
    for (char letter = 'a'; letter <= 'z'; ++letter) {
        std::string candidate = base + letter;
        if (candidate.size() > tp.pileNo.size() - 1) return;
        if (doc.PileNumberExists(carried, candidate) != 0) {
            SetText(tp.pileNo, candidate);
            return;
        }
    }
}

// The mapped file that a load on this thread reads, while it reads it: the
// records read so far are given back from it, so that the file and the
// document it becomes are never both whole in memory.
thread_local MappedFile* tLoadingFrom = nullptr;

class LoadingFrom {
public:
    explicit LoadingFrom(MappedFile& file) { tLoadingFrom = &file; }
    ~LoadingFrom() { tLoadingFrom = nullptr; }
    LoadingFrom(const LoadingFrom&) = delete;
    LoadingFrom& operator=(const LoadingFrom&) = delete;
};

void ReleaseRead(const ByteReader& in) {
    if (tLoadingFrom) tLoadingFrom->Release(in.Position());
}

void LocateHead(TestPoint& tp) {
    if (tp.headIndex != 0 && tp.headValid == 1) return;
    const std::int32_t head = FindPileHead(tp.samples.data(), tp.sampleCount());
    if (WrapInt16(head) >= 0) {
        tp.headIndex = WrapInt16(head);
        tp.headValid = 1;
    }
}

// How much of the file is read side by side before the pages read are given
// back: large enough to keep every core busy, small beside any document. The
// first batch is smaller, so that the other cores start early.
constexpr std::size_t kBatchBytes = std::size_t{4} << 20;
constexpr std::size_t kFirstBatchBytes = std::size_t{1} << 20;

struct BatchRead {
    std::int32_t whole = 0;  // test points from..from+whole-1 were read
    bool failed = false;     // and the next one could not be
};

// Reads the test points of one set front to back into set[...], at most up to
// total: the whole records within the next kBatchBytes side by side on the
// processor's cores, or the next record alone when it cannot be measured (an
// old layout, or a record that is not whole: ReadTestPoint tells which). The
// set grows only as far as records are measured (its capacity must hold
// total): the next batch is measured and its test points constructed while
// the current one is read. finish(tp, oldSteps) runs on each record read, on the thread that
// read it.
template <typename Finish>
class SetReader {
public:
    SetReader(std::span<const std::uint8_t> bytes, ByteReader& in, int version, std::vector<TestPoint>& set,
              std::int32_t total, const Finish& finish)
        : bytes_(bytes), in_(in), version_(version), set_(set), total_(total), finish_(finish) {}

    BatchRead Next(std::int32_t from) {
        if (ahead_.empty() || ahead_.front().start != in_.Position())
            ahead_ = Measure(in_.Position(), from, from == first_ ? kFirstBatchBytes : kBatchBytes);
        const std::vector<Extent> batch = std::move(ahead_);
        ahead_.clear();
        if (batch.size() < 2) return ReadAlone(from, from);

        const auto nextFrom = from + static_cast<std::int32_t>(batch.size());
        Grow(nextFrom);
        // The pieces reach the set through this pointer only: piece 0 grows
        // the set within its capacity meanwhile.
        TestPoint* const points = set_.data() + from;
        std::vector<std::uint8_t> agreed(batch.size(), 0);
        RunSideBySide(batch.size() + 1, [&](std::size_t piece) {
            if (piece == 0) {
                if (nextFrom < total_) {
                    ahead_ = Measure(batch.back().end, nextFrom, kBatchBytes);
                    Grow(nextFrom + static_cast<std::int32_t>(ahead_.size()));
                }
                return;
            }
            const std::size_t j = piece - 1;
            ByteReader reader(bytes_);
            reader.Skip(batch[j].start);
            TestPoint& tp = points[j];
            std::vector<ProcessStep> oldSteps;
            agreed[j] = ReadTestPoint(reader, version_, tp, oldSteps) == 1 && reader.Position() == batch[j].end;
            if (agreed[j]) finish_(tp, oldSteps);
        });
        for (std::size_t j = 0; j < batch.size(); ++j) {
            if (agreed[j]) continue;
            // The measure and the reader disagree: the reader decides, one
            // record at a time from here, as a plain front-to-back read would.
            for (std::size_t r = j; r < batch.size(); ++r) points[r] = TestPoint{};
            ahead_.clear();
            in_.Skip(batch[j].start - in_.Position());
            return ReadAlone(from, from + static_cast<std::int32_t>(j));
        }
        in_.Skip(batch.back().end - in_.Position());
        return {static_cast<std::int32_t>(batch.size()), false};
    }

    // Test points up to total, the ones not read constructed.
    void Complete() { Grow(total_); }

private:
    struct Extent {
        std::size_t start, end;
    };

    void Grow(std::int32_t count) {
        if (static_cast<std::size_t>(count) > set_.size()) set_.resize(static_cast<std::size_t>(count));
    }

    // The whole records from byte start (test point from on), up to limit bytes.
    std::vector<Extent> Measure(std::size_t start, std::int32_t from, std::size_t limit) const {
        std::vector<Extent> extents;
        ByteReader probe(bytes_);
        probe.Skip(start);
        for (std::int32_t k = from; k < total_ && probe.Position() - start < limit; ++k) {
            const auto end = MeasureTestPoint(probe, version_);
            if (!end) break;
            extents.push_back({probe.Position(), *end});
            probe.Skip(*end - probe.Position());
        }
        return extents;
    }

    BatchRead ReadAlone(std::int32_t from, std::int32_t k) {
        Grow(k + 1);
        TestPoint& tp = set_[static_cast<std::size_t>(k)];
        std::vector<ProcessStep> oldSteps;
        if (!ReadTestPoint(in_, version_, tp, oldSteps)) return {k - from, true};
        finish_(tp, oldSteps);
        return {k - from + 1, false};
    }

    std::span<const std::uint8_t> bytes_;
    ByteReader& in_;
    int version_;
    std::vector<TestPoint>& set_;
    std::int32_t total_;
    std::int32_t first_ = static_cast<std::int32_t>(set_.size());
    const Finish& finish_;
    std::vector<Extent> ahead_;  // measured records from in_'s position, when known
};

}  // namespace

std::string LoadProblemText(const LoadResult& result, std::string_view fileName) {
    if (result.Whole()) return {};
    return "文件“" + std::string(fileName) + "”未能完整打开：" + result.message;
}

namespace {

// What each working record read goes through, on the thread that read it: an
// old layout's chain built, the head located, version 5's magnification, and
// its display range noted while its samples are at hand (when ranges is not
// empty; set[k] notes into ranges[k]).
struct FinishRecord {
    const OldRecordChain& oldChain;
    bool oldLayout;
    bool magnify;
    const TestPoint* first;  // the set's first test point
    std::span<float> ranges;

    void operator()(TestPoint& tp, std::span<const ProcessStep> oldSteps) const {
        if (oldLayout) oldChain.Build(tp, oldSteps);
        LocateHead(tp);
        if (magnify) oldChain.AutoMagnify(tp);
        if (!ranges.empty() && tp.rawCount() > 0) {
            const auto [head, toe] = HeadAndToe(tp);
            ranges[static_cast<std::size_t>(&tp - first)] =
                WindowDisplayRange(tp.samples.data(), tp.sampleCount(), head, toe).max;
        }
    }
};

// A project file image read into a document's sets, stage by stage: the
// working header and its count, the working set, then the backup set (or
// the working set again, for the layouts without one). The sets an
// append-open carries over go first in each. A stage that stops the load
// says why in Result().
class ProjectLoad {
public:
    ProjectLoad(CTAV_AnalyserDoc& doc, std::span<const std::uint8_t> bytes, const OldRecordChain& oldChain)
        : doc_(doc), bytes_(bytes), in_(bytes), oldChain_(oldChain) {}

    const LoadResult& Result() const { return result_; }
    std::span<const float> DisplayRanges() const { return ranges_; }

    // The version and the test point count, the carried ones included.
    bool ReadWorkingHeader(std::int32_t carried) {
        result_.version = ReadProjectHeader(in_, doc_.header);
        if (result_.version == 0) {
            result_.status = LoadStatus::UnknownVersion;
            result_.message = "文件版本标识未知";
            doc_.header.pointCount = 0;
            return false;
        }
        const std::int64_t total = static_cast<std::int64_t>(carried) + doc_.header.pointCount;
        char line[128];
        std::snprintf(line, sizeof line, "打开文件==>测点个数：%lld，版本：%d", static_cast<long long>(total),
                      result_.version);
        doc_.Events().Log(line);
        if (total < 1 || total > kMaxPointCount) {
            doc_.Events().Log("打开文件==>测点数非法，终止读取");
            result_.status = LoadStatus::InvalidCount;
            result_.message = "测点数非法（" + std::to_string(total) + "）";
            doc_.header.pointCount = 0;
            return false;
        }
        doc_.header.pointCount = static_cast<std::int32_t>(total);
        return true;
    }

    // The working set behind the carried test points; with noteRanges the
    // display range of each record read is noted for DisplayRanges().
    bool ReadWorkingSet(const std::vector<TestPoint>& carried, bool noteRanges) {
        auto& points = doc_.points;
        const auto a = static_cast<std::int32_t>(carried.size());
        const std::int32_t total = doc_.header.pointCount;
        points.reserve(static_cast<std::size_t>(total));
        points.resize(static_cast<std::size_t>(a));
        for (std::int32_t k = 0; k < a; ++k)
            CopyTestPoint(carried[static_cast<std::size_t>(k)], points[static_cast<std::size_t>(k)]);
        ranges_.assign(static_cast<std::size_t>(total), std::numeric_limits<float>::quiet_NaN());
        const FinishRecord finish{oldChain_, IsOldLayout(result_.version),
                                  result_.version == 5 && doc_.magnifyOldRecords,
                                  points.data(),  // stays: the capacity holds them all
                                  noteRanges ? std::span<float>(ranges_) : std::span<float>()};
        SetReader reader(bytes_, in_, result_.version, points, total, finish);
        for (std::int32_t k = a; k < total;) {
            const BatchRead read = reader.Next(k);
            for (std::int32_t end = k + read.whole; k < end; ++k)
                MakePileNumberUnique(doc_, a, points[static_cast<std::size_t>(k)]);
            if (read.failed) {
                reader.Complete();
                points[static_cast<std::size_t>(k)] = TestPoint{};
                doc_.Events().Log("打开文件==>测点信息错误，终止读取");
                result_.status = LoadStatus::FaultyPoint;
                result_.faultyPoint = k;
                result_.message = "第" + std::to_string(k + 1) + "个测点信息错误，终止读取";
                return false;
            }
            ReleaseRead(in_);
        }
        return true;
    }

    // The backup set behind the carried backup test points. It keeps what
    // could be read; from a faulty record on it stays constructed.
    void ReadBackupSet(const std::vector<TestPoint>& carried) {
        if (!IsRecordLayout(result_.version)) {
            CopyWorkingAsBackup();
            return;
        }
        auto& backupHeader = doc_.backupHeader;
        auto& backupPoints = doc_.backupPoints;
        const auto b = static_cast<std::int32_t>(carried.size());
        ReadProjectHeader(in_, backupHeader);
        const std::int64_t backupTotal = static_cast<std::int64_t>(b) + backupHeader.pointCount;
        if (backupTotal < 1 || backupTotal > kMaxPointCount) {
            backupHeader.pointCount = 0;
            return;
        }
        backupHeader.pointCount = static_cast<std::int32_t>(backupTotal);
        backupPoints.reserve(static_cast<std::size_t>(backupTotal));
        backupPoints.resize(static_cast<std::size_t>(b));
        for (std::int32_t k = 0; k < b; ++k)
            CopyTestPoint(carried[static_cast<std::size_t>(k)], backupPoints[static_cast<std::size_t>(k)]);
        const auto nothingMore = [](TestPoint&, std::span<const ProcessStep>) {};
        SetReader backupReader(bytes_, in_, result_.version, backupPoints, static_cast<std::int32_t>(backupTotal),
                               nothingMore);
        for (std::int32_t k = b; k < backupTotal;) {
            const BatchRead read = backupReader.Next(k);
            k += read.whole;
            if (read.failed) {
                backupReader.Complete();
                backupPoints[static_cast<std::size_t>(k)] = TestPoint{};
                result_.status = LoadStatus::FaultyBackupPoint;
                result_.faultyBackupPoint = k;
                result_.message = "备份数据第" + std::to_string(k + 1) + "个测点信息错误，其后的备份数据未能读取";
                doc_.Events().Log("打开文件==>备份测点信息错误，备份数据不完整");
                return;
            }
            ReleaseRead(in_);
        }
    }

private:
    // The layouts without a backup set: the working set as it came in is the backup.
    void CopyWorkingAsBackup() {
        doc_.backupHeader = doc_.header;
        doc_.backupPoints.resize(doc_.points.size());
        for (std::size_t k = 0; k < doc_.points.size(); ++k) CopyTestPoint(doc_.points[k], doc_.backupPoints[k]);
    }

    CTAV_AnalyserDoc& doc_;
    std::span<const std::uint8_t> bytes_;
    ByteReader in_;
    const OldRecordChain& oldChain_;
    LoadResult result_;
    std::vector<float> ranges_;  // per working test point; NaN where none was noted
};

// A loaded project shown: display ranges (those noted while loading, the
// others found now), the checked list, the first test point selected, and
// the list and views redrawn.
void PresentLoaded(CTAV_AnalyserDoc& doc, std::span<const float> knownRanges) {
    StoreDisplayRanges(doc.points, knownRanges);
    doc.RebuildCheckedList();
    if (!doc.points.empty()) doc.SelectPoint(0);
    doc.Events().RefreshPointList();
    doc.Events().RefreshViews();
}

}  // namespace

LoadResult CTAV_AnalyserDoc::LoadStopped(LoadResult result) {
    Events().EndWait();
    return result;
}

LoadResult CTAV_AnalyserDoc::LoadProject(std::span<const std::uint8_t> bytes, const OldRecordChain& oldChain,
                                         bool lastOfBatch) {
    Events().BeginWait();
    const std::vector<TestPoint> carried = appending_ ? std::move(carried_) : std::vector<TestPoint>{};
    const std::vector<TestPoint> carriedBackup = appending_ ? std::move(carriedBackup_) : std::vector<TestPoint>{};
    carried_.clear();
    carriedBackup_.clear();
    points.clear();
    backupPoints.clear();

    ProjectLoad load(*this, bytes, oldChain);
    if (!load.ReadWorkingHeader(static_cast<std::int32_t>(carried.size())) ||
        !load.ReadWorkingSet(carried, lastOfBatch))
        return LoadStopped(load.Result());
    load.ReadBackupSet(carriedBackup);
    hasPoints = 1;
    Events().Log("打开文件==>打开文件完成");
    if (lastOfBatch) PresentLoaded(*this, load.DisplayRanges());
    return LoadStopped(load.Result());
}

LoadResult CTAV_AnalyserDoc::OpenFile(const std::string& path, const OldRecordChain& oldChain) {
    Events().Log("打开文件==>“" + path + "”");
    std::string error;
    MappedFile file;
    if (!file.Open(path, &error)) {
        LoadResult result;
        result.status = LoadStatus::IoError;
        result.message = "文件路径错误（" + error + "）";
        return result;
    }
    ClearDocument();
    modified_ = false;
    if (!appending_) projectFiles = {path};
    const LoadingFrom loading(file);
    return LoadProject(file.Bytes(), oldChain);
}

void CTAV_AnalyserDoc::SwapProject(CTAV_AnalyserDoc& other) noexcept {
    using std::swap;
    swap(header, other.header);
    swap(points, other.points);
    swap(backupHeader, other.backupHeader);
    swap(backupPoints, other.backupPoints);
    swap(hasPoints, other.hasPoints);
    swap(selectionMode, other.selectionMode);
    swap(currentIndex, other.currentIndex);
    swap(currentPile, other.currentPile);
    swap(checkedIndices, other.checkedIndices);
    swap(pileMembers, other.pileMembers);
    swap(undoList, other.undoList);
    swap(redoList, other.redoList);
    swap(stepInsertMode, other.stepInsertMode);
    swap(stepInsertPos, other.stepInsertPos);
    swap(modified_, other.modified_);
    swap(projectFiles, other.projectFiles);
}

std::vector<LoadResult> CTAV_AnalyserDoc::AppendOpen(std::span<const std::string> paths,
                                                    const OldRecordChain& oldChain) {
    std::vector<std::string> chosen;
    for (const auto& p : paths) {
        const bool known = std::any_of(projectFiles.begin(), projectFiles.end(),
                                       [&](const std::string& f) { return strcasecmp(f.c_str(), p.c_str()) == 0; });
        const bool twice = std::any_of(chosen.begin(), chosen.end(),
                                       [&](const std::string& f) { return strcasecmp(f.c_str(), p.c_str()) == 0; });
        if (!known && !twice) chosen.push_back(p);
    }
    std::vector<LoadResult> results;
    bool unshown = false;  // a file of the batch was loaded; only the last one shows the project
    for (std::size_t i = 0; i < chosen.size(); ++i) {
        const bool last = i + 1 == chosen.size();
        std::string error;
        MappedFile file;
        Events().Log("打开文件==>“" + chosen[i] + "”");
        if (!file.Open(chosen[i], &error)) {
            results.push_back({LoadStatus::IoError, 0, -1, "文件路径错误（" + error + "）"});
            if (last && unshown) PresentLoaded(*this, {});
            continue;
        }
        // Keep the current sets aside: the load puts them first. When the chosen
        // file is not a project at all, they come back unchanged.
        ProjectHeader keptHeader = header;
        ProjectHeader keptBackupHeader = backupHeader;
        carried_ = points;
        carriedBackup_ = backupPoints;
        std::vector<TestPoint> keptPoints = points;
        std::vector<TestPoint> keptBackup = backupPoints;
        appending_ = true;
        projectFiles.push_back(chosen[i]);
        LoadResult r = [&] {
            const LoadingFrom loading(file);
            return LoadProject(file.Bytes(), oldChain, last);
        }();
        appending_ = false;
        // A file that stops at a faulty test point keeps what was read, as a plain open does.
        if (r.status == LoadStatus::UnknownVersion || r.status == LoadStatus::InvalidCount) {
            header = keptHeader;
            backupHeader = keptBackupHeader;
            points = std::move(keptPoints);
            backupPoints = std::move(keptBackup);
            projectFiles.pop_back();
            if (last) PresentLoaded(*this, {});
        } else {
            modified_ = true;
            unshown = !last;
        }
        results.push_back(std::move(r));
    }
    return results;
}

// ---- saving -----------------------------------------------------------------

std::vector<std::uint8_t> CTAV_AnalyserDoc::SaveProject() {
    SetText(header.magic, kCurrentTag);
    SetText(backupHeader.magic, kCurrentTag);
    header.pointCount = PointCount();
    backupHeader.pointCount = static_cast<std::int32_t>(backupPoints.size());
    return SerializeProject(header, points, backupHeader, backupPoints);
}

bool CTAV_AnalyserDoc::WriteProject(AtomicFileWriter& out) {
    SetText(header.magic, kCurrentTag);
    SetText(backupHeader.magic, kCurrentTag);
    header.pointCount = PointCount();
    backupHeader.pointCount = static_cast<std::int32_t>(backupPoints.size());
    return StreamProject([&](std::span<const std::uint8_t> piece) { return out.Write(piece); }, header, points,
                         backupHeader, backupPoints);
}

bool CTAV_AnalyserDoc::SaveToFile(const std::string& path, std::string* error) {
    AtomicFileWriter out(path);
    const bool ok = WriteProject(out) && out.Commit();
    if (!ok) {
        if (error) *error = out.Error();
        return false;
    }
    modified_ = false;
    return true;
}

int CTAV_AnalyserDoc::SaveSubset(const std::string& path, std::span<const std::int32_t> indices) const {
    std::vector<TestPoint> chosen;
    std::vector<TestPoint> partners;
    for (const auto i : indices) {
        if (!ValidIndex(i)) continue;
        chosen.push_back(points[static_cast<std::size_t>(i)]);
        // A working index beyond the backup set takes the working test point as its partner.
        partners.push_back(static_cast<std::size_t>(i) < backupPoints.size() ? backupPoints[static_cast<std::size_t>(i)]
                                                                              : points[static_cast<std::size_t>(i)]);
    }
    if (chosen.empty()) return 0;
    const auto bytes = SerializeProject(header, chosen, header, partners);
    return WriteFileAtomically(path, bytes) ? 1 : 0;
}

}  // namespace tav
