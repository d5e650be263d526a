#include "synth/site_builder.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <numbers>

#include "base/random.hpp"
#include "base/text_codec.hpp"
#include "model/document.hpp"
#include "model/project_file.hpp"
#include "model/vocabulary.hpp"

namespace tav::synth {

namespace {

constexpr std::array<std::string_view, kDefectKindCount> kKindNames = {"neck", "bulge", "crack", "break", "base"};

// What a pile of each type in the vocabulary's order is usually like.
struct PileTypeTraits {
    int diameterMin, diameterMax;  // mm
    double lengthMin, lengthMax;   // m
    int speedMin, speedMax;        // m/s
    double density;                // kg/m³
    double solidShare;             // cross-section share of material (pipe piles are hollow)
    bool square;                   // precast piles are square: the "diameter" is the side
};
constexpr std::array<PileTypeTraits, 10> kTraits = {{
    {377, 600, 8, 20, 3400, 3900, 2400, 1.0, false},    // 沉管灌注桩
    {600, 1500, 15, 40, 3600, 4200, 2400, 1.0, false},  // 钻孔灌注桩
    {800, 2000, 6, 20, 3600, 4200, 2400, 1.0, false},   // 人工挖孔灌注桩
    {800, 1200, 8, 20, 3600, 4100, 2400, 1.0, false},   // 扩底桩
    {377, 500, 6, 15, 3300, 3800, 2400, 1.0, false},    // 夯拓桩
    {300, 500, 10, 30, 3800, 4400, 2450, 1.0, true},    // 混凝土预制桩
    {300, 600, 10, 40, 4000, 4600, 2500, 0.45, false},  // 预应力管桩
    {400, 800, 10, 40, 5100, 5120, 7850, 0.05, false},  // 刚桩 (steel pipe)
    {500, 600, 6, 12, 1600, 2400, 1900, 1.0, false},    // 粉喷桩
    {400, 600, 8, 20, 3000, 3600, 2300, 1.0, false},    // CFG桩
}};

struct KindTraits {
    double lengthMin, lengthMax;  // m
    double ratioMin, ratioMax;
    double defaultLength;         // for a defect given on the command line
};
constexpr std::array<KindTraits, kDefectKindCount> kKinds = {{
    {0.6, 1.5, 0.5, 0.85, 1.0},    // neck
    {0.6, 1.5, 1.25, 1.8, 1.0},    // bulge
    {0.06, 0.12, 0.2, 0.45, 0.1},  // crack: short and strong
    {0.15, 0.3, 0.03, 0.12, 0.2},  // break: hardly anything passes
    {0.8, 1.5, 1.6, 2.5, 1.0},     // enlarged base
}};

constexpr double kSensitivity = 50.0;  // mV per mm/s, or per m/s²
constexpr double kMaxPulse = 1.1e-3;   // s, widest hammer pulse drawn
constexpr double kMinLength = 3.0;     // m
constexpr int kMaxGain = 128;
constexpr double kTargetPeak = 1000.0;  // mV the gain is chosen to stay under

float Round(double v, double step) { return static_cast<float>(std::round(v / step) * step); }

std::string FloatText(float v) {
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

// The test day: piles are tested a few a day from a fixed first day.
std::string TestDate(int day) {
    int y = 2024, m = 5, d = 6;
    static constexpr std::array<int, 12> kDays = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    for (int i = 0; i < day; ++i) {
        const int last = kDays[static_cast<std::size_t>(m - 1)] + (m == 2 && IsLeap(y) ? 1 : 0);
        if (++d > last) {
            d = 1;
            if (++m > 12) {
                m = 1;
                ++y;
            }
        }
    }
    char buf[40];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", y, m, d);
    return buf;
}

// One pile of the site, before its test points.
struct PileDesign {
    int type = 0;
    int diameter = 0;
    int waveSpeed = 0;
    float length = 0.0f;
    PileParams params;
    bool rockToe = false;
    std::vector<TruthDefect> defects;
};

double MaxLength(const SiteOptions& o, int waveSpeed) {
    const double dt = o.sampleInterval * 1e-6;
    const double headRoom = kMaxPulse / 2 + 40 * dt;
    const double usable = o.samples * dt - headRoom - kMaxPulse - 10 * dt;
    return usable * waveSpeed / 2;
}

TruthDefect DrawDefect(Random& rng, DefectKind kind, double pileLength, double top, double bottom) {
    const auto& k = kKinds[static_cast<std::size_t>(kind)];
    TruthDefect d;
    d.kind = kind;
    d.ratio = Round(rng.Uniform(k.ratioMin, k.ratioMax), 0.01);
    d.length = Round(rng.Uniform(k.lengthMin, k.lengthMax), 0.01);
    if (kind == DefectKind::Base) {
        d.depth = Round(pileLength - d.length, 0.01);
        d.length = Round(pileLength - d.depth, 0.01);
    } else {
        d.depth = Round(rng.Uniform(top, std::max(top, bottom - d.length)), 0.01);
    }
    return d;
}

std::string DesignPile(const SiteOptions& o, int pile, int& kindCounter, PileDesign& out) {
    Random rng = Random(o.seed).Fork(static_cast<std::uint64_t>(pile) + 1);
    PileDesign p;
    // Bored, driven cast-in-place, precast and pipe piles are what a site
    // usually has; the others turn up now and then.
    static constexpr std::array<int, kTraits.size()> kWeights = {3, 4, 2, 1, 1, 3, 3, 1, 1, 2};
    int pick = rng.Int(0, 20);  // the weights' sum less one
    p.type = 0;
    while (pick >= kWeights[static_cast<std::size_t>(p.type)]) pick -= kWeights[static_cast<std::size_t>(p.type++)];
    const auto& t = kTraits[static_cast<std::size_t>(p.type)];
    p.diameter = static_cast<int>(std::lround(rng.Uniform(t.diameterMin, t.diameterMax) / 10.0)) * 10;
    p.waveSpeed = static_cast<int>(std::lround(rng.Uniform(t.speedMin, t.speedMax) / 10.0)) * 10;

    std::vector<DefectSpec> asked;
    for (const auto& d : o.defects)
        if (d.pile == pile + 1) asked.push_back(d);
    double needed = kMinLength;
    for (const auto& d : asked)
        needed = std::max(needed, d.depth + (d.kind == DefectKind::Base ? 0.3 : kKinds[static_cast<std::size_t>(d.kind)].defaultLength + 1.0));

    const double maxLength = MaxLength(o, p.waveSpeed);
    if (maxLength < needed) {
        char buf[200];
        std::snprintf(buf, sizeof buf,
                      "P%d needs %.1f m of pile, but %d samples at %g us hold only %.1f m at %d m/s", pile + 1,
                      needed, o.samples, o.sampleInterval, std::max(maxLength, 0.0), p.waveSpeed);
        return buf;
    }
    double length = rng.Uniform(t.lengthMin, t.lengthMax);
    length = std::clamp(std::max(length, needed), kMinLength, maxLength);
    p.length = Round(length, 0.1);
    if (p.length > maxLength) p.length = static_cast<float>(std::floor(maxLength * 10) / 10);

    const double d = p.diameter * 1e-3;
    p.params.length = p.length;
    p.params.waveSpeed = p.waveSpeed;
    p.params.density = t.density;
    p.params.area = (t.square ? d * d : std::numbers::pi * d * d / 4) * t.solidShare;
    const double z = p.params.Impedance();
    // Shaft soil: the toe echo comes back with about exp(-β) of its size.
    const double beta = rng.Uniform(0.2, 0.9);
    p.params.shaftDamping = beta * z / p.length;
    p.params.shaftStiffness = p.params.shaftDamping * 2 * std::numbers::pi * rng.Uniform(15, 40);
    p.rockToe = rng.Chance(0.25);
    p.params.toeDamping = z * (p.rockToe ? rng.Uniform(2.0, 5.0) : rng.Uniform(0.1, 0.5));
    p.params.toeStiffness = p.params.toeDamping * 2 * std::numbers::pi * rng.Uniform(20, 60);

    for (const auto& a : asked) {
        TruthDefect td;
        td.kind = a.kind;
        td.ratio = static_cast<float>(a.ratio);
        td.depth = static_cast<float>(a.depth);
        td.length = a.kind == DefectKind::Base ? static_cast<float>(p.length - a.depth)
                                               : static_cast<float>(kKinds[static_cast<std::size_t>(a.kind)].defaultLength);
        p.defects.push_back(td);
    }
    if (o.randomDefects && asked.empty()) {
        // A steady mix: every fourth pile sound, every fourth of the others
        // with two defects, the kinds taken in turn so that each one shows.
        const int count = pile % 4 == 0 ? 0 : (pile % 4 == 3 ? 2 : 1);
        double top = 1.5;
        for (int i = 0; i < count; ++i) {
            const auto kind = static_cast<DefectKind>(kindCounter++ % kDefectKindCount);
            const double bottom = count == 2 && i == 0 ? 1.5 + (p.length - 1.5) / 2 : p.length - 2.0;
            if (kind != DefectKind::Base && bottom - top < 0.5) continue;
            auto td = DrawDefect(rng, kind, p.length, top, bottom);
            p.defects.push_back(td);
            top = td.depth + td.length + 1.0;
        }
    }
    std::sort(p.defects.begin(), p.defects.end(), [](const TruthDefect& a, const TruthDefect& b) { return a.depth < b.depth; });
    for (const auto& td : p.defects) p.params.zones.push_back({td.depth, td.depth + td.length, td.ratio});
    out = std::move(p);
    return {};
}

SensorKind SensorOfPile(const SiteOptions& o, int pile) {
    return o.sensor == SensorChoice::Velocity       ? SensorKind::Velocity
           : o.sensor == SensorChoice::Acceleration ? SensorKind::Acceleration
           : pile % 2 == 0                          ? SensorKind::Acceleration
                                                    : SensorKind::Velocity;
}

// One blow on a pile's head as the instrument takes it: the signal amplified
// by the gain that keeps its peak in range, the instrument's noise still to
// add, and the head where the incident velocity peaks.
struct Recording {
    std::vector<double> signal;  // mV
    RecordOptions options;
    int head = 0;
};

Recording RecordBlow(const SiteOptions& o, const PileDesign& design, SensorKind sensor, int pile, int k) {
    const double dt = o.sampleInterval * 1e-6;
    // Each test point is its own blow: another place on the head,
    // another hammer pulse, another trigger moment.
    Random rng = Random(o.seed).Fork(0x10000ull * static_cast<std::uint64_t>(pile + 1) + static_cast<std::uint64_t>(k) + 7);
    HammerBlow blow;
    blow.width = rng.Uniform(0.5e-3, kMaxPulse);
    blow.force = rng.Uniform(1000.0, 3000.0);
    const int nominalHead = static_cast<int>(std::ceil(blow.width / 2 / dt)) + rng.Int(20, 40);
    blow.start = nominalHead * dt - blow.width / 2;

    Recording out;
    RecordOptions& ro = out.options;
    ro.sensor = sensor;
    ro.sampleInterval = o.sampleInterval;
    ro.samples = o.samples;
    ro.sensitivity = kSensitivity;
    std::vector<double> velocity;
    out.signal = HeadSignal(design.params, blow, ro, &velocity);
    // The head is where the incident velocity peaks; the shaft soil
    // pulls that peak a little ahead of the pulse's middle.
    int head = static_cast<int>(blow.start / dt);
    const int pulseEnd = std::min(o.samples - 1, static_cast<int>((blow.start + blow.width) / dt) + 1);
    for (int i = head; i <= pulseEnd; ++i)
        if (velocity[static_cast<std::size_t>(i)] > velocity[static_cast<std::size_t>(head)]) head = i;
    out.head = head;
    double peak = 0.0;
    for (const double v : out.signal) peak = std::max(peak, std::fabs(v));
    int gain = 1;
    while (gain < kMaxGain && peak * gain * 2 <= kTargetPeak) gain *= 2;
    for (auto& v : out.signal) v *= gain;
    peak *= gain;
    ro.gain = gain;
    ro.noiseSeed = rng.Next();
    ro.noiseRms = o.noise * peak;
    ro.dcOffset = o.noise * peak * rng.Uniform(-1.5, 1.5);
    ro.trend = o.noise * peak * rng.Uniform(-3.0, 3.0);
    return out;
}

// The test point the instrument stores for a blow; index counts the site's test points from 0.
TestPoint RecordedPoint(const SiteOptions& o, const PileDesign& design, const Recording& recording, int pile,
                        const std::string& pileNo, int index) {
    const double dt = o.sampleInterval * 1e-6;
    TestPoint tp;
    tp.recordNo = static_cast<std::int16_t>(index + 1);
    SetText(tp.pileNo, pileNo);
    tp.pileTypeIndex = static_cast<std::int16_t>(design.type);
    SetText(tp.pileTypeName, Utf8ToCp936(AppVocabulary().pileTypes[static_cast<std::size_t>(design.type)]));
    tp.diameter = static_cast<std::int16_t>(design.diameter);
    SetText(tp.testDate, TestDate(pile / 4));
    tp.sensorType = static_cast<std::int16_t>(recording.options.sensor);
    tp.gain = static_cast<std::int16_t>(recording.options.gain);
    tp.triggerLevel = 10;
    tp.pileLength = design.length;
    tp.waveSpeed = static_cast<std::int16_t>(design.waveSpeed);
    tp.sampleInterval = static_cast<float>(o.sampleInterval);
    tp.headSampleCount = static_cast<std::int16_t>(o.samples);
    tp.headIndex = static_cast<std::int16_t>(recording.head);
    // The model's echo arrives after a whole number of segment times:
    // two per segment of half a sampling interval, one sample each.
    const int travel = static_cast<int>(std::lround(2.0 * design.length / (design.waveSpeed * dt)));
    tp.toeIndex = static_cast<std::int16_t>(recording.head + travel);
    tp.rawSamples = AddInstrumentNoise(recording.signal, recording.options);
    tp.samples = tp.rawSamples;
    tp.headValid = 1;
    tp.toeValid = 1;
    return tp;
}

TruthPoint TruthOf(const PileDesign& design, const TestPoint& tp, int index, const std::string& pileNo) {
    TruthPoint tr;
    tr.index = index;
    tr.pileNo = pileNo;
    tr.sensor = static_cast<SensorKind>(tp.sensorType);
    tr.headIndex = tp.headIndex;
    tr.toeIndex = tp.toeIndex;
    tr.waveSpeed = design.waveSpeed;
    tr.pileLength = design.length;
    tr.pileTypeIndex = design.type;
    tr.diameter = design.diameter;
    tr.rockToe = design.rockToe;
    tr.defects = design.defects;
    return tr;
}

// The site as a project read from the instrument's files and saved: the
// backup set is the working set as it came in.
void TakeIntoDocument(const SiteOptions& o, std::vector<TestPoint> points, CTAV_AnalyserDoc& doc) {
    SetText(doc.header.magic, "TAV15");
    SetText(doc.header.testUnit, Utf8ToCp936(o.testUnit));
    SetText(doc.header.projectName, Utf8ToCp936(o.projectName));
    doc.points = std::move(points);
    doc.header.pointCount = doc.PointCount();
    doc.hasPoints = 1;
    doc.RefreshDisplayRanges();
    doc.backupHeader = doc.header;
    doc.backupPoints = doc.points;
    doc.RebuildCheckedList();
    doc.SelectPoint(0);
}

std::string CheckOptions(const SiteOptions& o) {
    if (o.piles < 1 || o.pointsPerPile < 1) return "the site needs at least one pile and one test point per pile";
    if (static_cast<std::int64_t>(o.piles) * o.pointsPerPile > kMaxPointCount)
        return "a project holds at most " + std::to_string(kMaxPointCount) + " test points";
    if (o.samples < 64 || o.samples > kMaxArrayCount)
        return "the sample count must lie between 64 and " + std::to_string(kMaxArrayCount);
    if (!std::isfinite(o.sampleInterval) || o.sampleInterval < 1.0 || o.sampleInterval > 1000.0)
        return "the sampling interval must lie between 1 and 1000 us";
    if (!std::isfinite(o.noise) || o.noise < 0.0 || o.noise > 1.0) return "the noise level must lie between 0 and 1";
    for (const auto& d : o.defects) {
        const std::string where = "defect on pile " + std::to_string(d.pile) + ": ";
        if (d.pile < 1 || d.pile > o.piles) return where + "no such pile";
        if (!std::isfinite(d.depth) || d.depth <= 0.0) return where + "the depth must be above 0";
        if (!std::isfinite(d.ratio) || d.ratio <= 0.0 || d.ratio > 100.0)
            return where + "the impedance ratio must lie above 0 and at most 100";
    }
    return {};
}

}  // namespace

std::string_view DefectKindName(DefectKind kind) { return kKindNames[static_cast<std::size_t>(kind)]; }

std::optional<DefectKind> ParseDefectKind(std::string_view name) {
    for (std::size_t i = 0; i < kKindNames.size(); ++i)
        if (kKindNames[i] == name) return static_cast<DefectKind>(i);
    return std::nullopt;
}

std::optional<DefectSpec> ParseDefectSpec(std::string_view text) {
    std::array<std::string_view, 4> parts;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const auto colon = text.find(':');
        if ((colon == std::string_view::npos) != (i == parts.size() - 1)) return std::nullopt;
        parts[i] = text.substr(0, colon);
        if (colon != std::string_view::npos) text.remove_prefix(colon + 1);
    }
    DefectSpec d;
    auto whole = [](std::string_view s, auto& value) {
        const auto r = std::from_chars(s.data(), s.data() + s.size(), value);
        return !s.empty() && r.ec == std::errc() && r.ptr == s.data() + s.size();
    };
    const auto kind = ParseDefectKind(parts[2]);
    if (!whole(parts[0], d.pile) || !whole(parts[1], d.depth) || !kind || !whole(parts[3], d.ratio))
        return std::nullopt;
    d.kind = *kind;
    return d;
}

std::string BuildSite(const SiteOptions& o, CTAV_AnalyserDoc& doc, std::vector<TruthPoint>& truth) {
    doc.ClearDocument();
    truth.clear();
    if (auto problem = CheckOptions(o); !problem.empty()) return problem;

    int kindCounter = 0;
    std::vector<TestPoint> points;
    points.reserve(static_cast<std::size_t>(o.piles) * static_cast<std::size_t>(o.pointsPerPile));
    for (int pile = 0; pile < o.piles; ++pile) {
        PileDesign design;
        if (auto problem = DesignPile(o, pile, kindCounter, design); !problem.empty()) return problem;
        const std::string pileNo = "P" + std::to_string(pile + 1);
        const SensorKind sensor = SensorOfPile(o, pile);
        for (int k = 0; k < o.pointsPerPile; ++k) {
            const Recording recording = RecordBlow(o, design, sensor, pile, k);
            TestPoint tp = RecordedPoint(o, design, recording, pile, pileNo, static_cast<int>(points.size()));
            truth.push_back(TruthOf(design, tp, static_cast<int>(points.size()), pileNo));
            points.push_back(std::move(tp));
        }
    }
    TakeIntoDocument(o, std::move(points), doc);
    return {};
}

std::string TruthJson(const std::vector<TruthPoint>& truth) {
    std::string s = "{\"points\": [";
    for (std::size_t i = 0; i < truth.size(); ++i) {
        const auto& t = truth[i];
        s += i ? ",\n  " : "\n  ";
        s += "{\"index\": " + std::to_string(t.index) + ", \"pileNo\": \"" + t.pileNo + "\", \"sensor\": \"" +
             (t.sensor == SensorKind::Velocity ? "velocity" : "acceleration") +
             "\", \"headIndex\": " + std::to_string(t.headIndex) + ", \"toeIndex\": " + std::to_string(t.toeIndex) +
             ", \"waveSpeed\": " + std::to_string(t.waveSpeed) + ", \"pileLength\": " + FloatText(t.pileLength) +
             ", \"pileTypeIndex\": " + std::to_string(t.pileTypeIndex) + ", \"diameter\": " +
             std::to_string(t.diameter) + ", \"toe\": \"" + (t.rockToe ? "rock" : "soil") + "\", \"defects\": [";
        for (std::size_t j = 0; j < t.defects.size(); ++j) {
            const auto& d = t.defects[j];
            s += j ? ", " : "";
            s += "{\"depth\": " + FloatText(d.depth) + ", \"type\": \"" + std::string(DefectKindName(d.kind)) +
                 "\", \"ratio\": " + FloatText(d.ratio) + ", \"length\": " + FloatText(d.length) + "}";
        }
        s += "]}";
    }
    s += truth.empty() ? "]}\n" : "\n]}\n";
    return s;
}

}  // namespace tav::synth
