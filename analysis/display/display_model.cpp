#include "analysis/display/display_model.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <set>

#include "analysis/correlation.hpp"
#include "analysis/spectrum.hpp"
#include "analysis/wavelet.hpp"
#include "analysis/wavelet_table.hpp"
#include "base/text_codec.hpp"
#include "base/user_prompts.hpp"
#include "model/document.hpp"
#include "model/positions.hpp"
#include "processing/chain.hpp"
#include "processing/command_ids.hpp"

namespace tav {

namespace {

constexpr int kTimeBlock = 0;
constexpr int kFrequencyBlock = 4;
constexpr int kStatisticsBlockNumber = 2;
constexpr int kItemHitPixels = 3;
constexpr int kMinEntryHeight = 150;

int Clamp(int v, int lo, int hi) { return std::max(lo, std::min(v, hi)); }

bool IsWaveKind(std::int32_t kind) { return kind == kKindWaveform || kind == kKindAverage; }

// A time analysis entry copies what it draws and lists: the record head, the
// processed samples, the last parameters (display blocks, summaries) and the
// defects; not the raw samples, the chain or the analysis marks. Its caption
// is made with its other texts.
void FillTimeEntry(const CTAV_AnalyserDoc& doc, std::int32_t index, DisplayEntry& e) {
    // Every field is set here, so an entry of an earlier rebuild can be
    // refilled with its arrays' storage reused; LayOut sets the layout and the
    // texts. A field added to TestPoint must be copied or cleared here.
    static_assert(sizeof(TestPoint) == 128 + 8 * sizeof(std::vector<float>) + sizeof(ProcessStep) + 5 * 4 + 50 + 2 + 8,
                  "TestPoint changed: review the fields an entry copies");
    const TestPoint& tp = doc.points[static_cast<std::size_t>(index)];
    TestPoint& c = e.copy;
    c.recordNo = tp.recordNo;
    c.pileNo = tp.pileNo;
    c.pileTypeIndex = tp.pileTypeIndex;
    c.pileTypeName = tp.pileTypeName;
    c.diameter = tp.diameter;
    c.testDate = tp.testDate;
    c.sensorType = tp.sensorType;
    c.gain = tp.gain;
    c.triggerLevel = tp.triggerLevel;
    c.instrumentValue = tp.instrumentValue;
    c.pileLength = tp.pileLength;
    c.waveSpeed = tp.waveSpeed;
    c.padding114 = tp.padding114;
    c.sampleInterval = tp.sampleInterval;
    c.headSampleCount = tp.headSampleCount;
    c.headIndex = tp.headIndex;
    c.toeIndex = tp.toeIndex;
    c.padding126 = tp.padding126;
    c.rawSamples.clear();
    c.samples.assign(tp.samples.begin(), tp.samples.end());
    c.steps.clear();
    c.lastParams = tp.lastParams;
    c.defects.assign(tp.defects.begin(), tp.defects.end());
    c.spectrumMarks.clear();
    c.correlationMarks.clear();
    c.waveletMarkLevels.clear();
    c.waveletMarkPositions.clear();
    c.checked = tp.checked;
    c.headValid = tp.headValid;
    c.toeValid = tp.toeValid;
    c.runtimeWord = tp.runtimeWord;
    c.note = tp.note;
    c.toePending = 0;
    c.scalePending = 0;
    e.caption.clear();
    e.pointIndex = index;
    e.kind = kKindWaveform;
    e.subSignal = 0;
    e.blockNumber = kTimeBlock;
    e.block = tp.lastParams.displayBlocks[static_cast<std::size_t>(kTimeBlock)];
    e.shownCount = tp.sampleCount();
}

// Commands that change how traces are placed and drawn, not the project.
constexpr int kDisplayCommands[] = {
    command_id::kDefaultPlacement, command_id::kWholeWaveform,     command_id::kAlignHead,
    command_id::kMoveLeft,         command_id::kMoveRight,         command_id::kResetPosition,
    command_id::kAlignToe,         command_id::kHorizontalStretch, command_id::kHorizontalCompress,
    command_id::kResetScale,       command_id::kVerticalAuto,      command_id::kVerticalStretch,
    command_id::kVerticalCompress, command_id::kFillNone,          command_id::kFillPositive,
    command_id::kFillNegative,     command_id::kSpectrumLines,     command_id::kSpectrumEnvelope,
    command_id::kCrossCursor,      command_id::kLineCursor,        command_id::kCursorReadout,
};

bool IsDisplayCommand(int id) { return std::ranges::find(kDisplayCommands, id) != std::end(kDisplayCommands); }

// The fill mode and spectrum style a command chooses, -1 for other commands.
int FillModeOf(int id) {
    switch (id) {
        case command_id::kFillNone: return 0;
        case command_id::kFillPositive: return 1;
        case command_id::kFillNegative: return 2;
        default: return -1;
    }
}

int SpectrumStyleOf(int id) {
    switch (id) {
        case command_id::kSpectrumLines: return 0;
        case command_id::kSpectrumEnvelope: return 1;
        default: return -1;
    }
}

bool IsCursorCommand(int id) {
    return id == command_id::kCrossCursor || id == command_id::kLineCursor || id == command_id::kCursorReadout;
}

}  // namespace

float DisplayEntry::ValueAt(int sample) const {
    if (sample < 0 || sample >= copy.sampleCount()) return 0.0f;
    return copy.samples[static_cast<std::size_t>(sample)];
}

WaveDisplayModel::WaveDisplayModel(CTAV_AnalyserDoc& doc, const TextMeasure& measure) : doc_(doc), measure_(measure) {}

void WaveDisplayModel::SetClientSize(int width, int height) {
    clientWidth_ = std::max(width, 1);
    clientHeight_ = std::max(height, 1);
}

// ---- entries -------------------------------------------------------------------

std::vector<std::int32_t> WaveDisplayModel::TimeScopePoints() const {
    std::vector<std::int32_t> out;
    if (options.onlyPoint >= 0) {
        if (doc_.ValidIndex(options.onlyPoint)) out.push_back(options.onlyPoint);
        return out;
    }
    const int n = doc_.PointCount();
    switch (bar.timeScope) {
        case kScopePile: out = doc_.pileMembers; break;
        case kScopePileChecked:
            for (const auto i : doc_.pileMembers)
                if (doc_.ValidIndex(i) && doc_.points[static_cast<std::size_t>(i)].checked) out.push_back(i);
            break;
        case kScopeAll:
        case kScopeAllCompact:
            for (int i = 0; i < n; ++i) out.push_back(i);
            break;
        case kScopeWaveTrain: {
            const int count = std::min(std::min(options.waveTrainCount, kMaxWaveTrain), n);
            if (count <= 0) break;
            const int cur = doc_.ValidIndex(doc_.currentIndex) ? doc_.currentIndex : 0;
            const int slot = trainSlot_ < count ? trainSlot_ : 0;
            for (int k = 0; k < count; ++k) out.push_back(((cur - slot + k) % n + n) % n);
            break;
        }
        default:
            if (doc_.ValidIndex(doc_.currentIndex)) out.push_back(doc_.currentIndex);
            break;
    }
    std::erase_if(out, [&](std::int32_t i) { return !doc_.ValidIndex(i); });
    return out;
}

std::vector<std::int32_t> WaveDisplayModel::DisplayedPoints() const {
    std::vector<std::int32_t> out;
    switch (bar.analysisType) {
        case kAnalysisStatistics:
            if (bar.statisticsAnalysis == kStatAverage)
                out = bar.averageScope == kAverageChecked ? doc_.checkedIndices : doc_.pileMembers;
            else if (bar.statisticsAnalysis == kStatAutocorrelation)
                out = {bar.autoPoint};
            else
                out = {bar.crossA, bar.crossB};
            break;
        case kAnalysisFrequency:
            if (NormalisedSpectrumType(bar.spectrumType) == kSpectrumCrossPower) {
                out = {bar.spectrumA, bar.spectrumB};
                break;
            }
            [[fallthrough]];
        default: {
            std::set<std::int32_t> seen;
            for (const auto& e : entries_)
                if (doc_.ValidIndex(e.pointIndex) && seen.insert(e.pointIndex).second) out.push_back(e.pointIndex);
            break;
        }
    }
    std::erase_if(out, [&](std::int32_t i) { return !doc_.ValidIndex(i); });
    return out;
}

std::vector<std::int32_t> WaveDisplayModel::Targets() const {
    return BuildTargetSet(doc_, DisplayedPoints(), options.scopeAll);
}

void WaveDisplayModel::BuildEntries() {
    if (doc_.PointCount() == 0) {
        entries_.clear();
        return;
    }
    const bool time = bar.analysisType != kAnalysisStatistics && bar.analysisType != kAnalysisFrequency &&
                      bar.analysisType != kAnalysisWavelet;
    if (time) {
        // The entries are refilled in place, so their sample arrays are reused.
        const auto points = TimeScopePoints();
        entries_.resize(points.size());
        for (std::size_t k = 0; k < points.size(); ++k) FillTimeEntry(doc_, points[k], entries_[k]);
        return;
    }
    entries_.clear();
    std::vector<AnalysisEntry> built;
    switch (bar.analysisType) {
        case kAnalysisStatistics: {
            const auto shown = DisplayedPoints();
            built = BuildStatisticsEntries(doc_, StatisticsSelectionOf(bar), BuildTargetSet(doc_, shown, options.scopeAll))
                        .entries;
            break;
        }
        case kAnalysisFrequency: {
            const auto saved = bar.timeScope;
            bar.timeScope = Clamp(bar.frequencyScope, 0, 2);
            const auto shown = TimeScopePoints();
            bar.timeScope = saved;
            const std::vector<std::int32_t> ab{bar.spectrumA, bar.spectrumB};
            built = BuildSpectrumEntries(doc_, shown, bar.spectrumType, bar.spectrumA, bar.spectrumB,
                                         BuildTargetSet(doc_, ab, options.scopeAll));
            break;
        }
        case kAnalysisWavelet:
            if (doc_.ValidIndex(doc_.currentIndex))
                built = BuildWaveletEntries(doc_, doc_.currentIndex, AppWaveletTable(), bar.waveletFamily,
                                            bar.waveletOrder, bar.waveletLevel);
            break;
        default: break;
    }
    entries_.reserve(built.size());
    for (auto& a : built) {
        DisplayEntry e;
        static_cast<AnalysisEntry&>(e) = std::move(a);
        entries_.push_back(std::move(e));
    }
}

void WaveDisplayModel::Rebuild() {
    // The wave train keeps the slot the current test point was given.
    const bool train = bar.analysisType == kAnalysisTime && bar.timeScope == kScopeWaveTrain;
    if (train && current_ >= 0) trainSlot_ = current_;
    BuildEntries();
    current_ = -1;
    const bool crossPower = bar.analysisType == kAnalysisFrequency &&
                            NormalisedSpectrumType(bar.spectrumType) == kSpectrumCrossPower;
    if ((bar.analysisType == kAnalysisTime || bar.analysisType == kAnalysisFrequency) && !crossPower) {
        for (std::size_t k = 0; k < entries_.size(); ++k)
            if (entries_[k].pointIndex == doc_.currentIndex) {
                current_ = static_cast<int>(k);
                break;
            }
    }
    if (train && current_ >= 0) trainSlot_ = current_;
    const int n = static_cast<int>(entries_.size());
    if (static_.entry >= n) static_ = {};
    if (moving_.entry >= n) moving_ = {};
    if (selection_.entry >= n) selection_ = {};
    LayOut();
}

void WaveDisplayModel::Relayout() {
    for (auto& e : entries_) {
        if (doc_.ValidIndex(e.pointIndex) && e.kind != kKindCorrelation && bar.analysisType != kAnalysisStatistics) {
            const auto& tp = doc_.points[static_cast<std::size_t>(e.pointIndex)];
            if (e.blockNumber >= 0 && e.blockNumber < kDisplayBlockCount)
                e.block = tp.lastParams.displayBlocks[static_cast<std::size_t>(e.blockNumber)];
        }
    }
    LayOut();
}

void WaveDisplayModel::SetCurrentEntry(int entry) {
    if (entry < 0 || entry >= static_cast<int>(entries_.size())) return;
    current_ = entry;
}

// ---- layout --------------------------------------------------------------------

void WaveDisplayModel::InitPending(DisplayEntry& e) {
    if (!doc_.ValidIndex(e.pointIndex) || !IsWaveKind(e.kind)) return;
    auto& tp = doc_.points[static_cast<std::size_t>(e.pointIndex)];
    const int c = e.Count();
    if (tp.toePending == 1) {
        if (tp.toeValid == 0) {
            const double speedTime = static_cast<double>(tp.waveSpeed) * static_cast<double>(tp.sampleInterval);
            if (speedTime > 0.0) {
                const double toe = std::trunc(static_cast<double>(tp.pileLength) * 2000000.0 / speedTime);
                const int t = toe >= c || toe < 0 ? c - 1 : static_cast<int>(toe);
                tp.toeIndex = static_cast<std::int16_t>(std::max(t, 0));
                e.copy.toeIndex = tp.toeIndex;
            }
        }
        tp.toePending = 0;
    }
    const bool compact = bar.analysisType == kAnalysisTime && bar.timeScope == kScopeAllCompact;
    if (!compact && tp.scalePending == 1 && ToeSet(tp) && tp.toeIndex < c) {
        const float s = static_cast<float>(c / (std::max<int>(tp.toeIndex, 100) * 1.2));
        tp.lastParams.displayBlocks[0].hScale = s;
        e.copy.lastParams.displayBlocks[0].hScale = s;
        if (e.blockNumber == 0) e.block.hScale = s;
    }
}

void WaveDisplayModel::LayOut() {
    const int n = static_cast<int>(entries_.size());
    const int lh = measure_.LineHeight();
    if (entryHeight_ <= 0 && clientHeight_ > 1)
        entryHeight_ = options.storedHeight >= kMinEntryHeight ? options.storedHeight
                                                               : std::max(clientHeight_ / 4, kMinEntryHeight);
    annotationWidth_ = IdentityColumnWidth() + 8;
    int height = entryHeight_;
    const bool time = bar.analysisType == kAnalysisTime;
    if (time && bar.timeScope == kScopeAllCompact) height = kCompactEntryHeight;
    if (time && bar.timeScope == kScopeWaveTrain && n > 0) height = std::max(clientHeight_ / n, 2 * lh + 8);
    // Lines that do not fit under each other flow into further columns; every
    // entry gets as many columns as the longest list needs.
    linesPerColumn_ = std::max(1, (height - 4) / std::max(lh, 1));
    std::size_t most = 0;
    for (const auto& e : entries_) {
        std::size_t count = 0;
        for (const auto code : options.annotationItems) count += AnnotationLineCount(doc_, e, code);
        most = std::max(most, count);
    }
    const auto perColumn = static_cast<std::size_t>(linesPerColumn_);
    lineColumns_ = std::clamp(static_cast<int>((most + perColumn - 1) / perColumn), 1, 3);
    for (int k = 0; k < n; ++k) LayOutEntry(entries_[static_cast<std::size_t>(k)], k * height, height);
    pageHeight_ = n * height;
}

// The widest text of codes 31 to 36 over all entries. A text is measured only
// when its field differs from the entry before (test points of a pile share
// most of them), so a long page is not formatted line by line.
int WaveDisplayModel::IdentityColumnWidth() const {
    const auto sameBits = [](float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; };
    const auto sameText = [&](const AnalysisEntry& a, const AnalysisEntry& b, int code) {
        const TestPoint& p = a.copy;
        const TestPoint& q = b.copy;
        switch (code) {
            case 31: return p.pileNo == q.pileNo;
            case 32: return p.diameter == q.diameter;
            case 33: return sameBits(p.pileLength, q.pileLength);
            case 34: return (p.toeValid != 0) == (q.toeValid != 0) && (p.toeValid == 0 || p.waveSpeed == q.waveSpeed);
            case 35: return p.testDate == q.testDate;
            case 36: {
                const bool va = doc_.ValidIndex(a.pointIndex);
                if (va != doc_.ValidIndex(b.pointIndex)) return false;
                if (!va) return true;
                const auto& x = doc_.points[static_cast<std::size_t>(a.pointIndex)];
                const auto& y = doc_.points[static_cast<std::size_t>(b.pointIndex)];
                return x.pileTypeIndex == y.pileTypeIndex && x.pileTypeName == y.pileTypeName;
            }
            default: return false;
        }
    };
    int widest = 0;
    const AnalysisEntry* previous = nullptr;
    for (const auto& e : entries_) {
        for (int code = 31; code <= 36; ++code) {
            if (previous && sameText(*previous, e, code)) continue;
            for (const auto& t : AnnotationLines(doc_, e, code)) widest = std::max(widest, measure_.Width(t));
        }
        previous = &e;
    }
    return widest;
}

bool WaveDisplayModel::NearWindow(const DisplayEntry& e) const {
    const int bottom = visibleBottom_ < 0 ? visibleTop_ + clientHeight_ : visibleBottom_;
    const int margin = std::max(clientHeight_, 1);
    return e.rect.bottom >= visibleTop_ - margin && e.rect.top <= bottom + margin;
}

void WaveDisplayModel::SetVisibleRows(int top, int bottom) {
    visibleTop_ = top;
    visibleBottom_ = bottom;
    for (auto& e : entries_) {
        if ((e.pointsReady && e.textsReady) || !NearWindow(e)) continue;
        if (!e.pointsReady) ComputePoints(e);
        if (!e.textsReady) ComputeTexts(e);
    }
}

void WaveDisplayModel::ComputePoints(DisplayEntry& e) {
    const auto cols = MapColumns(e.plot, e.Count(), e.block);
    const auto vmap = MakeVerticalMap(e.plot, e.copy.lastParams.viewMin, e.copy.lastParams.viewMax, e.block);
    e.pointSample = cols.sample;
    e.points.resize(cols.x.size());
    for (std::size_t p = 0; p < cols.x.size(); ++p) e.points[p] = {cols.x[p], vmap.Y(e.ValueAt(cols.sample[p]))};
    e.pointsReady = true;
}

void WaveDisplayModel::LayOutEntry(DisplayEntry& e, int top, int height) {
    InitPending(e);
    const int lh = measure_.LineHeight();
    const int labelWidth = measure_.Width("-0000.00") + 6;
    e.rect = {0, top, clientWidth_, top + height};
    e.plot.left = annotationWidth_ * lineColumns_ + labelWidth;
    e.plot.right = std::max(e.plot.left + 10, clientWidth_ - 12);
    e.plot.top = top + lh + 4;
    e.plot.bottom = std::max(e.plot.top + 4, top + height - lh - 6);
    const bool compact = bar.analysisType == kAnalysisTime && bar.timeScope == kScopeAllCompact;
    e.fillAllowed = (e.kind == kKindWaveform && !compact) || e.kind == kKindAverage || e.kind == kKindWavelet;
    e.zeroY = MakeVerticalMap(e.plot, e.copy.lastParams.viewMin, e.copy.lastParams.viewMax, e.block).Y(0.0);

    e.points.clear();
    e.pointSample.clear();
    e.pointsReady = false;
    e.annotation.clear();
    e.vLabels.clear();
    e.hLabels.clear();
    e.items.clear();
    e.textsReady = false;
    if (NearWindow(e)) {
        ComputePoints(e);
        ComputeTexts(e);
    }
}

void WaveDisplayModel::ComputeTexts(DisplayEntry& e) {
    e.textsReady = true;
    const int lh = measure_.LineHeight();
    const int c = e.Count();
    const int top = e.rect.top;
    const auto vmap = MakeVerticalMap(e.plot, e.copy.lastParams.viewMin, e.copy.lastParams.viewMax, e.block);
    if (bar.analysisType == kAnalysisTime) e.caption = PointCaption(e.copy);

    // Annotation column.
    {
        const int perColumn = linesPerColumn_;
        int line = 0;
        for (const auto code : options.annotationItems)
            for (auto& t : AnnotationLines(doc_, e, code)) {
                const int col = line / perColumn;
                if (col < lineColumns_)
                    e.annotation.push_back({4 + col * annotationWidth_, top + 2 + (line % perColumn) * lh, std::move(t)});
                ++line;
            }
    }

    // Vertical labels at 0, 1/4, 1/2, 3/4 and the full height.
    const bool logSpectrum = e.kind == kKindSpectrum && NormalisedSpectrumType(bar.spectrumType) == kSpectrumLog;
    e.vUnit = logSpectrum ? "dB" : "mV";
    const double lo = vmap.lo;
    const double hi = vmap.hi;
    const int h = e.plot.bottom - 1 - e.plot.top;
    for (int q = 0; q <= 4; ++q) {
        double value = lo + (hi - lo) * q / 4.0;
        if (e.kind == kKindWaveform) {
            static constexpr double kFactor[] = {1.0, 0.5, 0.0, 0.5, 1.0};
            value = (q < 2 ? lo : hi) * kFactor[q];
        }
        const std::string text = Format("%0.2f", value);
        // The top value sits just inside the plot's top: centred on the edge it
        // would run into the unit text ("mV") on the line above.
        const int y = std::max(e.plot.bottom - 1 - h * q / 4 - lh / 2, e.plot.top + 1);
        e.vLabels.push_back({e.plot.left - 3 - measure_.Width(text), y, text});
    }

    // Horizontal labels: time or frequency at ticks two label widths apart.
    e.hUnit.clear();
    if (!IsWaveKind(e.kind) && c > 0) {
        e.hUnit = e.kind == kKindSpectrum ? "kHZ" : "ms";
        const int step = std::max(2 * measure_.Width("0000"), 8);
        const int limit = e.plot.right - measure_.Width(e.hUnit);
        for (int x = e.plot.left; x < e.plot.right; x += step) {
            const int k = XToSample(e.plot, c, e.block, x);
            const double v = e.kind == kKindSpectrum ? LineFrequencyKHz(e.copy, k) : SpanTimeMs(e.copy, k, e.copy.sampleCount());
            std::string text = Format("%0.2f", v);
            if (x + measure_.Width(text) > limit) text.clear();
            e.hLabels.push_back({x, e.plot.bottom + 2, std::move(text)});
        }
    }

    // Items: head, toe, defects or marks.
    const TestPoint& tp = e.copy;
    const auto inRange = [&](int pos) { return pos >= 0 && pos < c; };
    if (IsWaveKind(e.kind)) {
        if (tp.headValid == 1 && inRange(tp.headIndex)) e.items.push_back({ItemKind::Head, 0, tp.headIndex, 0, "桩头", {}});
        if (ToeSet(tp) && inRange(tp.toeIndex)) e.items.push_back({ItemKind::Toe, 0, tp.toeIndex, 0, "桩底", {}});
        for (int d = 0; d < tp.defectCount(); ++d) {
            const auto& m = tp.defects[static_cast<std::size_t>(d)];
            if (!inRange(m.position)) continue;
            const std::string name = Cp936ToUtf8(TextOf(m.name));
            e.items.push_back({ItemKind::Defect, d, m.position, 0,
                               Format("%s【%.2fm】", name.c_str(), static_cast<double>(m.depth)),
                               Cp936ToUtf8(TextOf(m.description))});
        }
    } else if (e.kind == kKindCorrelation) {
        for (int k = 0; k < static_cast<int>(tp.correlationMarks.size()); ++k) {
            const int pos = tp.correlationMarks[static_cast<std::size_t>(k)];
            if (!inRange(pos)) continue;
            const std::string time = Format("%0.1fms", SpanTimeMs(tp, pos, tp.sampleCount()));
            const std::string value = ShortExponent(e.ValueAt(pos)) + "mV";
            e.items.push_back({ItemKind::Mark, k, pos, 0, Format("%s/%s", time.c_str(), value.c_str()), {}});
        }
    } else if (e.kind == kKindSpectrum) {
        for (int k = 0; k < static_cast<int>(tp.spectrumMarks.size()); ++k) {
            const int pos = tp.spectrumMarks[static_cast<std::size_t>(k)];
            if (!inRange(pos)) continue;
            const std::string f = Format("%0.2f kHZ, ", LineFrequencyKHz(tp, pos));
            const std::string a = Format("%0.2f mV", static_cast<double>(e.ValueAt(pos)));
            e.items.push_back({ItemKind::Mark, k, pos, 0, f + a, {}});
        }
    } else if (e.kind == kKindWavelet) {
        int nth = 0;
        const auto count = std::min(tp.waveletMarkLevels.size(), tp.waveletMarkPositions.size());
        for (std::size_t k = 0; k < count; ++k) {
            if (tp.waveletMarkLevels[k] != e.subSignal) continue;
            const int pos = tp.waveletMarkPositions[k];
            const int n = nth++;
            if (!inRange(pos)) continue;
            const std::string t = Format("%0.2fms/", SpanTimeMs(tp, pos, tp.sampleCount()));
            const std::string a = Format("%0.2fmV", static_cast<double>(e.ValueAt(pos)));
            e.items.push_back({ItemKind::Mark, n, pos, 0, t + a, {}});
        }
    }
    for (auto& item : e.items) item.x = SampleX(e.plot, c, e.block, item.position);
}

// ---- mapping and hit tests -----------------------------------------------------

int WaveDisplayModel::EntryAt(int x, int y) const {
    for (std::size_t k = 0; k < entries_.size(); ++k)
        if (entries_[k].rect.Contains(x, y)) return static_cast<int>(k);
    return -1;
}

int WaveDisplayModel::SampleToPixel(int entry, int sample) const {
    if (entry < 0 || entry >= static_cast<int>(entries_.size())) return 0;
    const auto& e = entries_[static_cast<std::size_t>(entry)];
    return SampleX(e.plot, e.Count(), e.block, sample);
}

int WaveDisplayModel::PixelToSample(int entry, int x) const {
    if (entry < 0 || entry >= static_cast<int>(entries_.size())) return -1;
    const auto& e = entries_[static_cast<std::size_t>(entry)];
    return XToSample(e.plot, e.Count(), e.block, x);
}

int WaveDisplayModel::ItemXAt(const DisplayEntry& e, const DisplayItem& item) const {
    return SampleX(e.plot, e.Count(), e.block, item.position);
}

std::optional<std::pair<int, int>> WaveDisplayModel::ItemAt(int x, int y) const {
    const int k = EntryAt(x, y);
    if (k < 0) return std::nullopt;
    const auto& e = entries_[static_cast<std::size_t>(k)];
    if (y < e.plot.top || y >= e.plot.bottom) return std::nullopt;
    int best = -1;
    int bestDistance = kItemHitPixels + 1;
    for (std::size_t i = 0; i < e.items.size(); ++i) {
        const int d = std::abs(e.items[i].x - x);
        if (d < bestDistance) {
            bestDistance = d;
            best = static_cast<int>(i);
        }
    }
    if (best < 0) return std::nullopt;
    return std::make_pair(k, best);
}

// ---- cursors -------------------------------------------------------------------

std::optional<int> WaveDisplayModel::StaticSample() const {
    if (!static_.valid) return std::nullopt;
    return static_.sample;
}

void WaveDisplayModel::SetStaticCursor(int entry, int sample) {
    if (entry < 0 || entry >= static_cast<int>(entries_.size())) return;
    static_ = {entry, sample, true};
}

void WaveDisplayModel::ClearStaticCursor() { static_ = {}; }

void WaveDisplayModel::MoveCursorTo(int x, int y) {
    const int k = EntryAt(x, y);
    if (k < 0) {
        moving_.valid = false;
        return;
    }
    moving_ = {k, PixelToSample(k, x), x, y, true};
}

std::vector<std::string> WaveDisplayModel::MovingReadout() const {
    if (!moving_.valid) return StaticReadout();
    return ReadoutTexts(entries_[static_cast<std::size_t>(moving_.entry)], moving_.sample, bar.spectrumType);
}

std::vector<std::string> WaveDisplayModel::StaticReadout() const {
    if (!static_.valid) return {};
    return ReadoutTexts(entries_[static_cast<std::size_t>(static_.entry)], static_.sample, bar.spectrumType);
}

std::uint32_t WaveDisplayModel::MarkerColour() const {
    if (!moving_.valid) return kNoPeakColour;
    const auto& e = entries_[static_cast<std::size_t>(moving_.entry)];
    // The drawn point nearest the cursor, judged against its drawn neighbours.
    const auto it = std::lower_bound(e.pointSample.begin(), e.pointSample.end(), moving_.sample);
    if (it == e.pointSample.end()) return kNoPeakColour;
    int p = static_cast<int>(it - e.pointSample.begin());
    if (*it != moving_.sample && p > 0 &&
        std::abs(e.pointSample[static_cast<std::size_t>(p - 1)] - moving_.sample) < std::abs(*it - moving_.sample))
        --p;
    std::vector<float> values(e.pointSample.size());
    for (std::size_t i = 0; i < values.size(); ++i) values[i] = e.ValueAt(e.pointSample[i]);
    return IsPeak(values, p) ? kPeakColour : kNoPeakColour;
}

// ---- commands ------------------------------------------------------------------

bool WaveDisplayModel::Handles(int id) const {
    using namespace command_id;
    return IsDisplayCommand(id) || id == kPileHead || id == kPileToe || DefectCodeOfCommand(id) > 0 ||
           id == kMarkLine || id == kMarkDelete || id == kMarkClear;
}

bool WaveDisplayModel::Checkable(int id) {
    return IsCursorCommand(id) || FillModeOf(id) >= 0 || SpectrumStyleOf(id) >= 0;
}

bool WaveDisplayModel::Enabled(int id) const {
    using namespace command_id;
    const bool any = !entries_.empty();
    const bool onWave = static_.valid && IsWaveKind(entries_[static_cast<std::size_t>(static_.entry)].kind);
    if (IsCursorCommand(id)) return true;
    if (SpectrumStyleOf(id) >= 0) return bar.analysisType == kAnalysisFrequency && any;
    if (FillModeOf(id) >= 0) {
        for (const auto& e : entries_)
            if (e.fillAllowed) return true;
        return false;
    }
    if (IsDisplayCommand(id)) return any;
    if (id == kPileHead || id == kPileToe || DefectCodeOfCommand(id) > 0) return onWave;
    if (id == kMarkLine) return static_.valid && !onWave;
    if (id == kMarkDelete) return selection_.valid();
    if (id == kMarkClear) return any;
    return false;
}

bool WaveDisplayModel::Checked(int id) const {
    const DisplayBlock* b = nullptr;
    if (current_ >= 0) b = &entries_[static_cast<std::size_t>(current_)].block;
    else if (!entries_.empty()) b = &entries_.front().block;
    if (FillModeOf(id) >= 0) return b && b->fillMode == FillModeOf(id);
    if (SpectrumStyleOf(id) >= 0) return b && b->spectrumStyle == SpectrumStyleOf(id);
    switch (id) {
        case command_id::kCrossCursor: return options.cursorStyle != 2;
        case command_id::kLineCursor: return options.cursorStyle == 2;
        case command_id::kCursorReadout: return options.readoutShown;
        default: return false;
    }
}

std::vector<int> WaveDisplayModel::CommandBlocks() const {
    std::set<int> blocks;
    for (const auto& e : entries_)
        if (e.blockNumber >= 0 && e.blockNumber < kDisplayBlockCount) blocks.insert(e.blockNumber);
    if (blocks.empty()) {
        switch (bar.analysisType) {
            case kAnalysisStatistics: blocks.insert(kStatisticsBlockNumber); break;
            case kAnalysisFrequency: blocks.insert(kFrequencyBlock); break;
            default: blocks.insert(kTimeBlock); break;
        }
    }
    return {blocks.begin(), blocks.end()};
}

void WaveDisplayModel::ApplyToBlocks(int id) {
    const bool frequency = bar.analysisType == kAnalysisFrequency;
    for (const auto t : Targets()) {
        auto& tp = doc_.points[static_cast<std::size_t>(t)];
        for (const int bn : CommandBlocks()) {
            // The entry that shows this block of this test point gives width and length.
            const DisplayEntry* shown = nullptr;
            for (const auto& e : entries_)
                if (e.blockNumber == bn && (e.pointIndex == t || !shown)) {
                    shown = &e;
                    if (e.pointIndex == t) break;
                }
            AlignInput in;
            in.width = shown ? shown->plot.Width() : clientWidth_;
            in.count = shown && shown->pointIndex == t ? shown->Count() : tp.sampleCount();
            in.head = tp.headIndex;
            in.toe = tp.toeIndex;
            in.headValid = tp.headValid == 1;
            in.toeValid = ToeSet(tp);
            auto& b = tp.lastParams.displayBlocks[static_cast<std::size_t>(bn)];
            const float scaleBefore = b.hScale;
            const int scaleModeBefore = b.hScaleMode;
            switch (id) {
                case command_id::kDefaultPlacement:
                    AlignHead(b, in);
                    if (frequency) FrequencyAutoScale(b, tp.sampleInterval);
                    else AlignToe(b, in);
                    VerticalAuto(b);
                    break;
                case command_id::kWholeWaveform: ResetPosition(b); ResetScale(b); VerticalAuto(b); break;
                case command_id::kAlignHead: AlignHead(b, in); break;
                case command_id::kResetPosition: ResetPosition(b); break;
                case command_id::kMoveLeft: ShiftLeft(b, in.width); break;
                case command_id::kMoveRight: ShiftRight(b, in.width); break;
                case command_id::kAlignToe:
                    if (frequency) FrequencyAutoScale(b, tp.sampleInterval);
                    else AlignToe(b, in);
                    break;
                case command_id::kResetScale: ResetScale(b); break;
                case command_id::kHorizontalCompress: CompressScale(b); break;
                case command_id::kHorizontalStretch: StretchScale(b); break;
                case command_id::kVerticalAuto: VerticalAuto(b); break;
                case command_id::kVerticalStretch: VerticalStretch(b); break;
                case command_id::kVerticalCompress: VerticalCompress(b); break;
                default:
                    if (FillModeOf(id) >= 0) b.fillMode = FillModeOf(id);
                    if (SpectrumStyleOf(id) >= 0) b.spectrumStyle = SpectrumStyleOf(id);
                    break;
            }
            // A scale set by command is the user's; the toe-following default stops.
            if (bn == 0 && (b.hScale != scaleBefore || b.hScaleMode != scaleModeBefore)) tp.scalePending = 0;
        }
    }
}

std::vector<MarkedEntry> WaveDisplayModel::ClearEntries() const {
    std::vector<MarkedEntry> out;
    const auto add = [&](const DisplayEntry& e) {
        if (doc_.ValidIndex(e.pointIndex)) out.push_back({e.pointIndex, e.kind, e.subSignal});
    };
    if (options.scopeAll) {
        for (const auto& e : entries_) add(e);
    } else if (current_ >= 0) {
        add(entries_[static_cast<std::size_t>(current_)]);
    } else if (static_.valid) {
        add(entries_[static_cast<std::size_t>(static_.entry)]);
    }
    return out;
}

bool WaveDisplayModel::MarkCommand(int id, UserPrompts& prompts) {
    bool changed = false;
    if (id == command_id::kMarkDelete) return KeyDelete();
    if (id == command_id::kMarkClear) {
        const auto list = ClearEntries();
        changed = !list.empty() && ClearMarks(doc_, list, prompts) == 1;
        selection_ = {};
    } else {
        if (!static_.valid) return false;
        const auto& e = entries_[static_cast<std::size_t>(static_.entry)];
        const int at = static_.sample;
        if (id == command_id::kMarkLine) {
            if (IsWaveKind(e.kind)) return false;
            const std::int32_t kind = MarkKindOfDisplay(e.kind);
            std::vector<std::int32_t> targets;
            if (kind == kMarkWavelet) targets = {e.pointIndex, e.subSignal};
            else if (bar.analysisType == kAnalysisFrequency || bar.analysisType == kAnalysisStatistics) targets = Targets();
            if (targets.empty() && doc_.ValidIndex(e.pointIndex)) targets = {e.pointIndex};
            changed = AddAnalysisMark(doc_, targets, kind, at) > 0;
        } else {
            if (!IsWaveKind(e.kind)) return false;
            for (const auto t : Targets()) {
                int ok = 0;
                if (id == command_id::kPileHead) ok = SetPileHead(doc_, t, at, options.recomputeMode, prompts);
                else if (id == command_id::kPileToe) ok = SetPileToe(doc_, t, at, options.recomputeMode, prompts);
                else ok = AddDefect(doc_, t, at, DefectCodeOfCommand(id), {}, {}, prompts);
                changed = changed || ok == 1;
            }
        }
    }
    if (changed) doc_.MarkModified();
    return changed;
}

bool WaveDisplayModel::Run(int id, UserPrompts& prompts) {
    if (!Handles(id)) return false;
    if (id == command_id::kCrossCursor || id == command_id::kLineCursor) {
        options.cursorStyle = id == command_id::kCrossCursor ? 1 : 2;
        return false;
    }
    if (id == command_id::kCursorReadout) {
        options.readoutShown = !options.readoutShown;
        return false;
    }
    if (IsDisplayCommand(id)) {
        if (entries_.empty()) return false;
        ApplyToBlocks(id);
        Rebuild();
        return false;
    }
    const bool changed = MarkCommand(id, prompts);
    Rebuild();
    return changed;
}

// ---- mouse and keys ------------------------------------------------------------

const DisplayItem* WaveDisplayModel::SelectedItem() const {
    if (!selection_.valid() || selection_.entry >= static_cast<int>(entries_.size())) return nullptr;
    const auto& e = entries_[static_cast<std::size_t>(selection_.entry)];
    if (selection_.item >= static_cast<int>(e.items.size())) return nullptr;
    return &e.items[static_cast<std::size_t>(selection_.item)];
}

std::optional<int> WaveDisplayModel::SelectedDefect() const {
    const auto* item = SelectedItem();
    if (!item || item->kind != ItemKind::Defect) return std::nullopt;
    return item->index;
}

bool WaveDisplayModel::SelectedIsCustomDefect() const {
    const auto d = SelectedDefect();
    if (!d) return false;
    const auto& e = entries_[static_cast<std::size_t>(selection_.entry)];
    return IsCustomDefect(e.copy.defects[static_cast<std::size_t>(*d)].type);
}

bool WaveDisplayModel::Press(int x, int y) {
    const int k = EntryAt(x, y);
    if (k < 0) return false;
    current_ = k;
    selection_ = {};
    if (const auto hit = ItemAt(x, y)) {
        const auto& item = entries_[static_cast<std::size_t>(hit->first)].items[static_cast<std::size_t>(hit->second)];
        selection_ = {hit->first, hit->second, item.position, item.position, true};
        static_ = {k, item.position, true};
        return true;
    }
    static_ = {k, PixelToSample(k, x), true};
    return true;
}

void WaveDisplayModel::Drag(int x, int y) {
    MoveCursorTo(x, y);
    if (!selection_.valid() || !selection_.dragging) return;
    selection_.preview = PixelToSample(selection_.entry, x);
}

bool WaveDisplayModel::Release(int x, int y) {
    (void)y;
    if (!selection_.valid() || !selection_.dragging) return false;
    selection_.preview = PixelToSample(selection_.entry, x);
    selection_.dragging = false;
    if (selection_.preview == selection_.original) return false;
    return CommitSelection();
}

bool WaveDisplayModel::CommitSelection() {
    const auto* item = SelectedItem();
    if (!item) return false;
    const auto& e = entries_[static_cast<std::size_t>(selection_.entry)];
    const int pos = selection_.preview;
    const int dropX = SampleX(e.plot, e.Count(), e.block, pos);
    for (std::size_t i = 0; i < e.items.size(); ++i)
        if (static_cast<int>(i) != selection_.item && e.items[i].x == dropX) {
            selection_.preview = selection_.original;
            return false;
        }
    const int pi = e.pointIndex;
    bool changed = false;
    switch (item->kind) {
        case ItemKind::Defect: changed = MoveDefect(doc_, pi, item->index, pos) == 1; break;
        case ItemKind::Mark: {
            const std::int32_t kind = MarkKindOfDisplay(e.kind);
            int listIndex = item->index;
            if (kind == kMarkWavelet && doc_.ValidIndex(pi))
                listIndex = WaveletMarkIndex(doc_.points[static_cast<std::size_t>(pi)], e.subSignal, item->index);
            changed = MoveAnalysisMark(doc_, pi, listIndex, kind, pos) == 1;
            break;
        }
        case ItemKind::Head:
        case ItemKind::Toe:
            for (const auto t : Targets()) {
                const int ok = item->kind == ItemKind::Head
                                   ? SetPileHead(doc_, t, pos, options.recomputeMode, SilentPrompts())
                                   : SetPileToe(doc_, t, pos, options.recomputeMode, SilentPrompts());
                changed = changed || ok == 1;
            }
            break;
        default: break;
    }
    if (changed) doc_.MarkModified();
    const int entry = selection_.entry;
    const ItemKind kind = item->kind;
    const int index = item->index;
    Rebuild();
    // Keep the moved item selected when it is still drawn.
    selection_ = {};
    if (entry < static_cast<int>(entries_.size())) {
        const auto& items = entries_[static_cast<std::size_t>(entry)].items;
        for (std::size_t i = 0; i < items.size(); ++i)
            if (items[i].kind == kind && items[i].index == index)
                selection_ = {entry, static_cast<int>(i), items[i].position, items[i].position, false};
    }
    return changed;
}

bool WaveDisplayModel::DoubleClick(int x, int y) {
    if (!options.fastSwitch || bar.analysisType != kAnalysisTime) return false;
    if (bar.timeScope != kScopeSingle) {
        const int k = EntryAt(x, y);
        rememberedScope_ = bar.timeScope;
        if (k >= 0 && doc_.ValidIndex(entries_[static_cast<std::size_t>(k)].pointIndex))
            doc_.SelectPoint(entries_[static_cast<std::size_t>(k)].pointIndex);
        bar.timeScope = kScopeSingle;
    } else {
        bar.timeScope = rememberedScope_ == kScopeSingle ? kScopePile : rememberedScope_;
    }
    static_ = {};
    selection_ = {};
    Rebuild();
    return true;
}

bool WaveDisplayModel::Wheel(int x, int y, bool awayFromUser) {
    if (!options.wheelScale) return false;
    const bool time = bar.analysisType == kAnalysisTime && bar.timeScope == kScopeSingle;
    if (!time && bar.analysisType != kAnalysisStatistics) return false;
    const int k = EntryAt(x, y);
    if (k < 0) return false;
    auto& e = entries_[static_cast<std::size_t>(k)];
    if (!doc_.ValidIndex(e.pointIndex) || e.blockNumber < 0 || e.blockNumber >= kDisplayBlockCount) return false;
    auto& tp = doc_.points[static_cast<std::size_t>(e.pointIndex)];
    tp.scalePending = 0;
    DisplayBlock& b = tp.lastParams.displayBlocks[static_cast<std::size_t>(e.blockNumber)];
    const int c = e.Count();
    const double w = e.plot.Width();
    if (w <= 0 || c <= 0) return false;
    const int under = XToSample(e.plot, c, e.block, x);
    const double s = b.hScale;
    const double rel = (x - e.plot.left) / w;
    if (!awayFromUser) {
        if (0.9 * w >= s * c) return false;
        if (time && s > 0) b.hOffset += static_cast<int>(std::trunc(w * (1.0 - (s - kScaleStep) / s) * rel));
        CompressScale(b);
    } else {
        if (time && s > 0) b.hOffset -= static_cast<int>(std::trunc(w * ((s + kScaleStep) / s - 1.0) * rel));
        StretchScale(b);
    }
    // Bring the sample that was under the mouse back under it.
    b.hOffset += x - SampleX(e.plot, c, b, under);
    b.hPositionMode = 2;
    e.block = b;
    LayOut();
    MoveCursorTo(x, y);
    return true;
}

bool WaveDisplayModel::KeyHorizontal(int step, int* moveMouseBy) {
    if (moveMouseBy) *moveMouseBy = 0;
    if (selection_.valid()) {
        const auto& e = entries_[static_cast<std::size_t>(selection_.entry)];
        const auto& ps = e.pointSample;
        if (ps.empty()) return false;
        // The previous or next drawn point.
        const auto it = std::lower_bound(ps.begin(), ps.end(), selection_.preview);
        int p = static_cast<int>(it - ps.begin());
        const bool onPoint = it != ps.end() && *it == selection_.preview;
        p = step < 0 ? p - 1 : (onPoint ? p + 1 : p);
        p = Clamp(p, 0, static_cast<int>(ps.size()) - 1);
        selection_.preview = ps[static_cast<std::size_t>(p)];
        return false;
    }
    if (moveMouseBy) *moveMouseBy = step;
    if (moving_.valid) MoveCursorTo(moving_.x + step, moving_.y);
    return false;
}

void WaveDisplayModel::KeyVertical(int step) {
    if (entries_.empty()) return;
    const int next = current_ < 0 ? 0 : Clamp(current_ + step, 0, static_cast<int>(entries_.size()) - 1);
    current_ = next;
}

bool WaveDisplayModel::KeyEnter() {
    if (!selection_.valid() || selection_.preview == selection_.original) return false;
    return CommitSelection();
}

void WaveDisplayModel::KeyEscape() {
    if (!selection_.valid()) return;
    selection_.preview = selection_.original;
    selection_.dragging = false;
}

bool WaveDisplayModel::KeyDelete() {
    const auto* item = SelectedItem();
    if (!item || item->kind == ItemKind::Head || item->kind == ItemKind::Toe) return false;
    const auto& e = entries_[static_cast<std::size_t>(selection_.entry)];
    const bool changed = DeleteItem(doc_, {e.pointIndex, e.kind, e.subSignal}, item->index) == 1;
    if (changed) doc_.MarkModified();
    selection_ = {};
    Rebuild();
    return changed;
}

}  // namespace tav
