#include "analysis/reflection_proposals.hpp"

#include <algorithm>
#include <array>
#include <cmath>

#include "model/positions.hpp"
#include "model/process_step.hpp"

namespace tav {

namespace {

constexpr int kMinSamples = 16;
constexpr int kHeadSnap = 10;
constexpr double kOnPeak = 0.9;           // a marked head this near the peak stays
constexpr int kMostEchoes = 16;
constexpr int kTemplateSpread = 3;         // template window ÷ pulse window             // samples the head may sit beside the velocity peak
constexpr double kSiteSpeedMargin = 0.08;  // toe window around a known site speed
constexpr double kDefectFloor = 0.08;     // weakest echo proposed, relative to the blow
constexpr double kNoiseFactor = 4.0;      // echoes must stand this far above the trace's own scatter
constexpr double kOverlap = 0.75;          // echoes closer than this share of the pulse overlap
constexpr double kReturnShare = 0.3;      // a lower-end echo is at least this share of the top's
constexpr double kLongestStretch = 2.5;   // m: the lower end is looked for this far below the top
constexpr std::int16_t kAccelerationSensor = 0;

// Plausible speeds of each pile type (the pile type table's order): the
// materials' usual range with room for weak or strong concrete.
constexpr std::array<std::pair<double, double>, 10> kTypeSpeeds = {{
    {2900, 4300},  // 沉管灌注桩
    {3100, 4700},  // 钻孔灌注桩
    {3100, 4700},  // 人工挖孔灌注桩
    {3100, 4600},  // 扩底桩
    {2900, 4300},  // 夯拓桩
    {3400, 4900},  // 混凝土预制桩
    {3600, 5100},  // 预应力管桩
    {4700, 5500},  // 钢桩
    {1300, 2800},  // 粉喷桩
    {2600, 4100},  // CFG桩
}};
constexpr std::pair<double, double> kAnySpeed = {2500, 5200};

struct Extremum {
    int at = 0;
    double value = 0.0;
};

double Median(std::vector<double> values) {
    if (values.empty()) return 0.0;
    const auto mid = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    std::nth_element(values.begin(), mid, values.end());
    return *mid;
}

struct HeadVelocity {
    std::vector<double> v;
    double noise = 0.0;       // RMS of the record's own white noise, in the record's units
    bool integrated = false;  // v is the running sum of the record (its noise a random walk)
};

// The record as head velocity: one integration for an accelerometer record
// whose chain has not integrated it, one difference for a displacement.
HeadVelocity Velocity(const TestPoint& tp) {
    int order = tp.sensorType == kAccelerationSensor ? -1 : 0;
    for (const auto& s : tp.steps) {
        if (s.opType == kOpIntegrate) ++order;
        if (s.opType == kOpDifferentiate) --order;
    }
    std::vector<double> x(tp.samples.begin(), tp.samples.end());
    // The level before the blow: everything before the signal first leaves it.
    double peak = 0.0;
    for (const double s : x) peak = std::max(peak, std::fabs(s - x[0]));
    std::size_t rise = 0;
    while (rise < x.size() && std::fabs(x[rise] - x[0]) <= 0.1 * peak) ++rise;
    const std::size_t quiet = std::max<std::size_t>(1, rise > 2 ? rise - 2 : 1);
    double level = 0.0;
    for (std::size_t i = 0; i < quiet; ++i) level += x[i];
    level /= static_cast<double>(quiet);
    for (auto& s : x) s -= level;
    // The noise from second differences, which the smooth blow hardly reaches.
    std::vector<double> curvature;
    for (std::size_t i = 1; i + 1 < x.size(); ++i) curvature.push_back(std::fabs(x[i + 1] - 2 * x[i] + x[i - 1]));
    HeadVelocity out;
    out.noise = 1.4826 * Median(std::move(curvature)) / std::sqrt(6.0);
    out.integrated = order < 0;
    if (order < 0) {
        // Trapezoids keep the velocity centred on the samples.
        double sum = 0.0, previous = 0.0;
        for (auto& s : x) {
            sum += 0.5 * (previous + s);
            previous = s;
            s = sum;
        }
    } else if (order > 0) {
        for (std::size_t i = x.size() - 1; i > 0; --i) x[i] -= x[i - 1];
        x[0] = 0.0;
    }
    out.v = std::move(x);
    return out;
}

// Two-way travel time of a pile length at a speed, in samples.
double TravelSamples(double length, double speed, double interval) { return 2.0 * length / (speed * interval * 1e-6); }

}  // namespace

std::pair<double, double> PileTypeSpeedRange(std::int32_t pileTypeIndex) {
    if (pileTypeIndex >= 0 && static_cast<std::size_t>(pileTypeIndex) < kTypeSpeeds.size())
        return kTypeSpeeds[static_cast<std::size_t>(pileTypeIndex)];
    return kAnySpeed;
}

std::string_view ReflectionKindName(ReflectionKind kind) {
    return kind == ReflectionKind::Reduction ? "reduction" : "increase";
}

ReflectionProposals ProposeReflections(const TestPoint& tp, const ProposalOptions& options) {
    ReflectionProposals out;
    const int n = tp.sampleCount();
    out.headIndex = tp.headIndex;
    if (n < kMinSamples) {
        out.noProposal = "记录的采样点太少，无法判读";
        return out;
    }
    for (const float s : tp.samples)
        if (!std::isfinite(s)) {
            out.noProposal = "记录中有无效的采样值，无法判读";
            return out;
        }
    if (!std::isfinite(tp.sampleInterval) || tp.sampleInterval <= 0.0f) {
        out.noProposal = "采样间隔为零，无法判读";
        return out;
    }
    if (tp.waveSpeed <= 0 && !options.siteSpeed) {
        out.noProposal = "波速为零，无法判读";
        return out;
    }
    const double recordSpeed = tp.waveSpeed > 0 ? tp.waveSpeed : *options.siteSpeed;
    // Depths are figured in single precision, as the display figures them.
    if (!std::isfinite(static_cast<float>(n) * tp.sampleInterval * static_cast<float>(recordSpeed))) {
        out.noProposal = "采样间隔超出范围，无法判读";
        return out;
    }
    if (!std::isfinite(tp.pileLength) || tp.pileLength <= 0.0f) {
        out.noProposal = "桩长为零，无法判读";
        return out;
    }
    if (!tp.headValid || tp.headIndex < 0 || tp.headIndex >= n - 2) {
        out.noProposal = "未设桩头，无法判读";
        return out;
    }

    HeadVelocity velocity = Velocity(tp);
    std::vector<double>& v = velocity.v;
    // The head on the velocity peak: a marked head well below the peak beside it moves onto it.
    int peak = tp.headIndex;
    for (int i = std::max(0, tp.headIndex - kHeadSnap); i <= std::min(n - 1, tp.headIndex + kHeadSnap); ++i)
        if (std::fabs(v[static_cast<std::size_t>(i)]) > std::fabs(v[static_cast<std::size_t>(peak)])) peak = i;
    const double marked = std::fabs(v[static_cast<std::size_t>(tp.headIndex)]);
    const int head = marked >= kOnPeak * std::fabs(v[static_cast<std::size_t>(peak)]) ? tp.headIndex : peak;
    const double blow = v[static_cast<std::size_t>(head)];
    if (blow == 0.0 || !std::isfinite(blow)) {
        out.noProposal = "记录没有信号，无法判读";
        return out;
    }
    for (auto& s : v) {
        s /= blow;  // the blow is +1
        if (!std::isfinite(s)) {
            out.noProposal = "记录数值超出范围，无法判读";
            return out;
        }
    }
    out.headIndex = head;

    // The incident pulse: about 1.5 half-height widths either side of the peak.
    int left = head, right = head;
    while (left > 0 && v[static_cast<std::size_t>(left)] > 0.5) --left;
    while (right < n - 1 && v[static_cast<std::size_t>(right)] > 0.5) ++right;
    int k = std::max(2, static_cast<int>(std::lround(0.75 * (right - left))));
    k = std::min({k, head, n - 1 - head, n / 8});
    if (k < 2) {
        out.noProposal = "桩头脉冲不完整，无法判读";
        return out;
    }
    // The template: the pulse, less its sum spread evenly over a window three
    // times as wide, so that it ignores constants and straight slopes while
    // its side lobes stay shallow.
    const int span = kTemplateSpread * k;
    const int width = 2 * span + 1;
    std::vector<double> pulse(static_cast<std::size_t>(width), 0.0);
    double sum = 0.0;
    for (int j = -k; j <= k; ++j) {
        pulse[static_cast<std::size_t>(j + span)] = v[static_cast<std::size_t>(head + j)];
        sum += v[static_cast<std::size_t>(head + j)];
    }
    std::vector<double> q(static_cast<std::size_t>(width));
    double energy = 0.0;
    for (int j = 0; j < width; ++j) {
        q[static_cast<std::size_t>(j)] = pulse[static_cast<std::size_t>(j)] - sum / width;
        energy += q[static_cast<std::size_t>(j)] * pulse[static_cast<std::size_t>(j)];
    }
    if (energy <= 0.0) {
        out.noProposal = "桩头脉冲不完整，无法判读";
        return out;
    }

    // The matched filter: the size of a head pulse centred at each sample.
    // Before the first sample the record is at rest; after the last it is taken as at rest too.
    std::vector<double> r(static_cast<std::size_t>(n), 0.0);
    for (int t = 0; t < n; ++t) {
        const int first = std::max(0, span - t);
        const int last = std::min(width, n - t + span);
        double acc = 0.0;
        const double* x = v.data() + (t - span);
        for (int j = first; j < last; ++j) acc += q[static_cast<std::size_t>(j)] * x[j];
        r[static_cast<std::size_t>(t)] = acc / energy;
    }
    // The template's response to the pulse alone, for offsets −2·span..2·span.
    const int reachSelf = 2 * span;
    std::vector<double> self(static_cast<std::size_t>(2 * reachSelf + 1), 0.0);
    for (int d = -reachSelf; d <= reachSelf; ++d) {
        double acc = 0.0;
        for (int j = -span; j <= span; ++j) {
            const int at = d + j;
            if (at >= -k && at <= k) acc += q[static_cast<std::size_t>(j + span)] * v[static_cast<std::size_t>(head + at)];
        }
        self[static_cast<std::size_t>(d + reachSelf)] = acc / energy;
    }
    const auto takeOff = [&](int centre, double size) {
        for (int d = -reachSelf; d <= reachSelf; ++d) {
            const int t = centre + d;
            if (t >= 0 && t < n) r[static_cast<std::size_t>(t)] -= size * self[static_cast<std::size_t>(d + reachSelf)];
        }
    };
    takeOff(head, 1.0);
    // How far apart the two echoes of a vanishing stretch lie: between the
    // steepest rise and the steepest fall of the template's response.
    int rise = 0, fall = 0;
    const auto slopeAt = [&](int d) {
        return self[static_cast<std::size_t>(d + reachSelf)] - self[static_cast<std::size_t>(d + reachSelf - 1)];
    };
    for (int d = -reachSelf + 1; d <= reachSelf; ++d) {
        if (slopeAt(d) > slopeAt(rise)) rise = d;
        if (slopeAt(d) < slopeAt(fall)) fall = d;
    }
    const double lobeGap = std::max(1, fall - rise);

    // Toe.
    const double interval = tp.sampleInterval;
    const double length = tp.pileLength;
    auto [slow, fast] = PileTypeSpeedRange(tp.pileTypeIndex);
    if (options.siteSpeed && std::isfinite(*options.siteSpeed) && *options.siteSpeed > 0) {
        slow = *options.siteSpeed * (1.0 - kSiteSpeedMargin);
        fast = *options.siteSpeed * (1.0 + kSiteSpeedMargin);
    }
    // Beyond the record a window end only needs to say so (a tiny interval
    // or a huge length must not overflow the sample arithmetic).
    const double past = n + 1.0;
    const double earliest = std::min(past, head + TravelSamples(length, fast, interval));
    const double latest = std::min(past, head + TravelSamples(length, slow, interval));
    const int from = std::max(head + k + 1, static_cast<int>(std::ceil(earliest)));
    const int to = std::min(n - k - 2, static_cast<int>(std::floor(latest)));

    // What the record's noise makes of the trace: white noise through the
    // template, or for an integrated record a random walk through it.
    double gain = 0.0, tail = 0.0;
    for (int j = width - 1; j >= 0; --j) {
        tail += q[static_cast<std::size_t>(j)];
        gain += velocity.integrated ? tail * tail : q[static_cast<std::size_t>(j)] * q[static_cast<std::size_t>(j)];
    }
    const double scatter = velocity.noise / std::fabs(blow) * std::sqrt(gain) / energy;
    const double threshold = std::max(kDefectFloor, kNoiseFactor * scatter);

    double speed = recordSpeed;
    if (from <= to) {
        std::vector<Extremum> peaks;
        for (int t = from; t <= to; ++t) {
            const double a = std::fabs(r[static_cast<std::size_t>(t)]);
            if (a >= std::fabs(r[static_cast<std::size_t>(t - 1)]) && a > std::fabs(r[static_cast<std::size_t>(t + 1)]))
                peaks.push_back({t, r[static_cast<std::size_t>(t)]});
        }
        if (peaks.empty()) {
            int best = from;
            for (int t = from; t <= to; ++t)
                if (std::fabs(r[static_cast<std::size_t>(t)]) > std::fabs(r[static_cast<std::size_t>(best)])) best = t;
            peaks.push_back({best, r[static_cast<std::size_t>(best)]});
        }
        const auto toe = *std::max_element(peaks.begin(), peaks.end(), [](const Extremum& a, const Extremum& b) {
            return std::fabs(a.value) < std::fabs(b.value);
        });
        double rival = 2.0 * scatter;
        for (const auto& p : peaks)
            if (std::abs(p.at - toe.at) > k) rival = std::max(rival, std::fabs(p.value));
        const double size = std::fabs(toe.value);
        out.toeIndex = toe.at;
        out.toeConfidence = size > 0.0 ? std::clamp((size - rival) / size, 0.0, 1.0) : 0.0;
        speed = 2.0 * length / ((toe.at - head) * interval * 1e-6);
        takeOff(toe.at, toe.value);
    }
    out.waveSpeed = speed;

    // Defects between the head pulse and the toe echo, one echo at a time:
    // the strongest left is taken and its whole response (side lobes
    // included) taken off the trace, until what is left lies below the
    // threshold.
    const int end = out.toeIndex ? *out.toeIndex - (k + 1) / 2 : std::min(n - 1, static_cast<int>(latest));
    const int begin = head + k + 1;
    const double unit = self[static_cast<std::size_t>(reachSelf)];
    std::vector<Extremum> echoes;
    for (int round = 0; round < kMostEchoes && begin < end && unit > 0.0; ++round) {
        int best = begin;
        for (int t = begin; t < end; ++t)
            if (std::fabs(r[static_cast<std::size_t>(t)]) > std::fabs(r[static_cast<std::size_t>(best)])) best = t;
        const double size = r[static_cast<std::size_t>(best)] / unit;
        if (std::fabs(size) < threshold) break;
        takeOff(best, size);
        // A small echo hard by a large one only mends the large one's shape.
        bool mends = false;
        for (const auto& e : echoes)
            if (std::abs(e.at - best) <= k / 2 && std::fabs(e.value) > 2.0 * std::fabs(size)) mends = true;
        if (!mends) echoes.push_back({best, size});
    }
    std::sort(echoes.begin(), echoes.end(), [](const Extremum& a, const Extremum& b) { return a.at < b.at; });

    const double samplesPerMetre = 2.0 / (speed * interval * 1e-6);
    const int reach = static_cast<int>(std::lround(std::min<double>(n, lobeGap + kLongestStretch * samplesPerMetre)));
    std::vector<Extremum> read;  // echoes read so far: tops and lower ends
    for (std::size_t i = 0; i < echoes.size(); ++i) {
        const auto& e = echoes[i];
        const double sign = e.value > 0 ? 1.0 : -1.0;
        // A repeat: an echo that has run the path of two or three stronger
        // echoes already read (down to the same stretch again, or to each in turn).
        bool repeat = false;
        const auto delay = [&](std::size_t a) { return static_cast<double>(read[a].at - head); };
        const auto weaker = [&](std::size_t a) { return std::fabs(e.value) < std::fabs(read[a].value); };
        for (std::size_t a = 0; a < read.size() && !repeat; ++a)
            for (std::size_t b = a; b < read.size() && !repeat; ++b) {
                if (!weaker(a) || !weaker(b)) continue;
                repeat = std::fabs(e.at - head - delay(a) - delay(b)) <= k / 2.0;
                for (std::size_t c = b; c < read.size() && !repeat; ++c)
                    repeat = weaker(c) && std::fabs(e.at - head - delay(a) - delay(b) - delay(c)) <= k / 2.0;
            }
        if (repeat) continue;
        double top = e.at;
        std::size_t next = i + 1;
        if (next < echoes.size() && echoes[next].at - e.at <= reach && sign * echoes[next].value < 0 &&
            std::fabs(echoes[next].value) >= kReturnShare * std::fabs(e.value)) {
            // The lower end of the stretch: part of this defect, not another.
            // A stretch much shorter than the pulse answers with one echo
            // split in two around its middle, which is then its top.
            if (echoes[next].at - e.at < kOverlap * lobeGap) top = 0.5 * (e.at + echoes[next].at);
            read.push_back(echoes[next]);
            ++i;
        }
        const auto index = static_cast<std::int32_t>(std::lround(top));
        if (index <= head || (out.toeIndex && index >= *out.toeIndex)) continue;
        read.push_back(e);
        ProposedDefect d;
        d.index = index;
        // The depth the defect gets when accepted: below the marked head at the record's speed.
        d.depth = tp.waveSpeed > 0 ? SampleToDepth(tp, index, false)
                                   : static_cast<float>((index - tp.headIndex) * interval * recordSpeed * kHalfMicro);
        d.kind = sign > 0 ? ReflectionKind::Reduction : ReflectionKind::Increase;
        d.confidence = std::fabs(e.value) / (std::fabs(e.value) + threshold);
        out.defects.push_back(d);
    }
    return out;
}

}  // namespace tav
