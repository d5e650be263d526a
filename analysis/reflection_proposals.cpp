#include "analysis/reflection_proposals.hpp"

#include <algorithm>
#include <array>
#include <cmath>

#include "model/positions.hpp"
#include "model/process_step.hpp"

namespace tav {

namespace {

constexpr int kMinSamples = 16;
constexpr int kHeadSnap = 10;              // samples the head may sit beside the velocity peak
constexpr double kOnPeak = 0.9;            // a marked head this near the peak stays
constexpr int kMostEchoes = 16;            // echoes taken off the trace at most
constexpr int kTemplateSpread = 3;         // template window ÷ pulse window
constexpr double kSiteSpeedMargin = 0.08;  // toe window around a known site speed
constexpr double kDefectFloor = 0.08;      // weakest echo proposed, relative to the blow
constexpr double kNoiseFactor = 4.0;       // echoes must stand this far above the trace's own scatter
constexpr double kOverlap = 0.75;          // echoes closer than this share of the pulse overlap
constexpr double kReturnShare = 0.3;       // a lower-end echo is at least this share of the top's
constexpr double kLongestStretch = 2.5;    // m: the lower end is looked for this far below the top
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
    std::vector<double> velocity;
    double noise = 0.0;       // RMS of the record's own white noise, in the record's units
    bool integrated = false;  // the velocity is the running sum of the record (its noise a random walk)
};

// The record as head velocity: one integration for an accelerometer record
// whose chain has not integrated it, one difference for a displacement.
HeadVelocity Velocity(const TestPoint& tp) {
    int order = tp.sensorType == kAccelerationSensor ? -1 : 0;
    for (const auto& s : tp.steps) {
        if (s.opType == kOpIntegrate) ++order;
        if (s.opType == kOpDifferentiate) --order;
    }
    std::vector<double> trace(tp.samples.begin(), tp.samples.end());
    // The level before the blow: everything before the signal first leaves it.
    double peak = 0.0;
    for (const double s : trace) peak = std::max(peak, std::fabs(s - trace[0]));
    std::size_t rise = 0;
    while (rise < trace.size() && std::fabs(trace[rise] - trace[0]) <= 0.1 * peak) ++rise;
    const std::size_t quiet = std::max<std::size_t>(1, rise > 2 ? rise - 2 : 1);
    double level = 0.0;
    for (std::size_t i = 0; i < quiet; ++i) level += trace[i];
    level /= static_cast<double>(quiet);
    for (auto& s : trace) s -= level;
    // The noise from second differences, which the smooth blow hardly reaches.
    std::vector<double> curvature;
    for (std::size_t i = 1; i + 1 < trace.size(); ++i) curvature.push_back(std::fabs(trace[i + 1] - 2 * trace[i] + trace[i - 1]));
    HeadVelocity out;
    out.noise = 1.4826 * Median(std::move(curvature)) / std::sqrt(6.0);
    out.integrated = order < 0;
    if (order < 0) {
        // Trapezoids keep the velocity centred on the samples.
        double sum = 0.0, previous = 0.0;
        for (auto& s : trace) {
            sum += 0.5 * (previous + s);
            previous = s;
            s = sum;
        }
    } else if (order > 0) {
        for (std::size_t i = trace.size() - 1; i > 0; --i) trace[i] -= trace[i - 1];
        trace[0] = 0.0;
    }
    out.velocity = std::move(trace);
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

namespace {

// A record read for its reflections, stage by stage. A stage that cannot go
// on leaves in noProposal why, and the reading stops there.
class ReflectionReading {
public:
    ReflectionReading(const TestPoint& tp, const ProposalOptions& options)
        : tp_(tp),
          options_(options),
          n_(tp.sampleCount()),
          interval_(tp.sampleInterval),
          length_(tp.pileLength) {
        out_.headIndex = tp.headIndex;
    }

    ReflectionProposals Read() {
        if (!RecordReadable() || !ScaleToBlow() || !CutTemplate()) return std::move(out_);
        MatchTemplate();
        MeasureLobeGap();
        MeasureNoise();
        ReadToe();
        ReadDefects(PursueEchoes());
        return std::move(out_);
    }

private:
    template <typename Values>
    static auto& At(Values& values, int i) {
        return values[static_cast<std::size_t>(i)];
    }
    // The template's response to the pulse alone at offset d from its centre.
    double SelfAt(int d) const { return At(selfResponse_, d + reachSelf_); }

    bool Refuse(const char* why) {
        out_.noProposal = why;
        return false;
    }

    // Enough finite samples, a sampling interval, a speed, a length and a head.
    bool RecordReadable() {
        if (n_ < kMinSamples) return Refuse("记录的采样点太少，无法判读");
        for (const float s : tp_.samples)
            if (!std::isfinite(s)) return Refuse("记录中有无效的采样值，无法判读");
        if (!std::isfinite(tp_.sampleInterval) || tp_.sampleInterval <= 0.0f) return Refuse("采样间隔为零，无法判读");
        if (tp_.waveSpeed <= 0 && !options_.siteSpeed) return Refuse("波速为零，无法判读");
        recordSpeed_ = tp_.waveSpeed > 0 ? tp_.waveSpeed : *options_.siteSpeed;
        // Depths are figured in single precision, as the display figures them.
        if (!std::isfinite(static_cast<float>(n_) * tp_.sampleInterval * static_cast<float>(recordSpeed_)))
            return Refuse("采样间隔超出范围，无法判读");
        if (!std::isfinite(tp_.pileLength) || tp_.pileLength <= 0.0f) return Refuse("桩长为零，无法判读");
        if (!tp_.headValid || tp_.headIndex < 0 || tp_.headIndex >= n_ - 2) return Refuse("未设桩头，无法判读");
        return true;
    }

    // The record as head velocity with the blow +1, the head on the velocity
    // peak: a marked head well below the peak beside it moves onto it.
    bool ScaleToBlow() {
        HeadVelocity record = Velocity(tp_);
        velocity_ = std::move(record.velocity);
        noise_ = record.noise;
        integrated_ = record.integrated;
        int peak = tp_.headIndex;
        for (int i = std::max(0, tp_.headIndex - kHeadSnap); i <= std::min(n_ - 1, tp_.headIndex + kHeadSnap); ++i)
            if (std::fabs(At(velocity_, i)) > std::fabs(At(velocity_, peak))) peak = i;
        const double marked = std::fabs(At(velocity_, tp_.headIndex));
        head_ = marked >= kOnPeak * std::fabs(At(velocity_, peak)) ? tp_.headIndex : peak;
        blow_ = At(velocity_, head_);
        if (blow_ == 0.0 || !std::isfinite(blow_)) return Refuse("记录没有信号，无法判读");
        for (auto& s : velocity_) {
            s /= blow_;  // the blow is +1
            if (!std::isfinite(s)) return Refuse("记录数值超出范围，无法判读");
        }
        out_.headIndex = head_;
        return true;
    }

    // The incident pulse, about 1.5 half-height widths either side of the
    // peak, and the template cut from it: the pulse less its sum spread evenly
    // over a window three times as wide, so that it ignores constants and
    // straight slopes while its side lobes stay shallow.
    bool CutTemplate() {
        int left = head_, right = head_;
        while (left > 0 && At(velocity_, left) > 0.5) --left;
        while (right < n_ - 1 && At(velocity_, right) > 0.5) ++right;
        const int halfPulse = std::max(2, static_cast<int>(std::lround(0.75 * (right - left))));
        halfPulse_ = std::min({halfPulse, head_, n_ - 1 - head_, n_ / 8});
        if (halfPulse_ < 2) return Refuse("桩头脉冲不完整，无法判读");
        span_ = kTemplateSpread * halfPulse_;
        width_ = 2 * span_ + 1;
        std::vector<double> pulse(static_cast<std::size_t>(width_), 0.0);
        double sum = 0.0;
        for (int j = -halfPulse_; j <= halfPulse_; ++j) {
            At(pulse, j + span_) = At(velocity_, head_ + j);
            sum += At(velocity_, head_ + j);
        }
        template_.assign(static_cast<std::size_t>(width_), 0.0);
        energy_ = 0.0;
        for (int j = 0; j < width_; ++j) {
            At(template_, j) = At(pulse, j) - sum / width_;
            energy_ += At(template_, j) * At(pulse, j);
        }
        if (energy_ <= 0.0) return Refuse("桩头脉冲不完整，无法判读");
        return true;
    }

    // The matched filter: the size of a head pulse centred at each sample,
    // with the head pulse's own response taken off. Before the first sample
    // the record is at rest; after the last it is taken as at rest too.
    void MatchTemplate() {
        response_.assign(static_cast<std::size_t>(n_), 0.0);
        for (int t = 0; t < n_; ++t) {
            const int first = std::max(0, span_ - t);
            const int last = std::min(width_, n_ - t + span_);
            double acc = 0.0;
            for (int j = first; j < last; ++j) acc += At(template_, j) * At(velocity_, t - span_ + j);
            At(response_, t) = acc / energy_;
        }
        // The template's response to the pulse alone, for offsets −2·span..2·span.
        reachSelf_ = 2 * span_;
        selfResponse_.assign(static_cast<std::size_t>(2 * reachSelf_ + 1), 0.0);
        for (int d = -reachSelf_; d <= reachSelf_; ++d) {
            double acc = 0.0;
            for (int j = -span_; j <= span_; ++j) {
                const int at = d + j;
                if (at >= -halfPulse_ && at <= halfPulse_) acc += At(template_, j + span_) * At(velocity_, head_ + at);
            }
            At(selfResponse_, d + reachSelf_) = acc / energy_;
        }
        TakeOff(head_, 1.0);
    }

    // Takes the template's whole response to an echo of this size at centre
    // (side lobes included) off the trace.
    void TakeOff(int centre, double size) {
        for (int d = -reachSelf_; d <= reachSelf_; ++d) {
            const int t = centre + d;
            if (t >= 0 && t < n_) At(response_, t) -= size * SelfAt(d);
        }
    }

    // How far apart the two echoes of a vanishing stretch lie: between the
    // steepest rise and the steepest fall of the template's response.
    void MeasureLobeGap() {
        int rise = 0, fall = 0;
        const auto slopeAt = [&](int d) { return SelfAt(d) - SelfAt(d - 1); };
        for (int d = -reachSelf_ + 1; d <= reachSelf_; ++d) {
            if (slopeAt(d) > slopeAt(rise)) rise = d;
            if (slopeAt(d) < slopeAt(fall)) fall = d;
        }
        lobeGap_ = std::max(1, fall - rise);
    }

    // What the record's noise makes of the trace: white noise through the
    // template, or for an integrated record a random walk through it.
    void MeasureNoise() {
        double gain = 0.0, tail = 0.0;
        for (int j = width_ - 1; j >= 0; --j) {
            tail += At(template_, j);
            gain += integrated_ ? tail * tail : At(template_, j) * At(template_, j);
        }
        scatter_ = noise_ / std::fabs(blow_) * std::sqrt(gain) / energy_;
        threshold_ = std::max(kDefectFloor, kNoiseFactor * scatter_);
    }

    // The toe: the strongest echo in the window the pile length gives over the
    // pile type's speeds (or around the site's speed); its response comes off
    // the trace, and its delay gives the wave speed.
    void ReadToe() {
        auto [slow, fast] = PileTypeSpeedRange(tp_.pileTypeIndex);
        if (options_.siteSpeed && std::isfinite(*options_.siteSpeed) && *options_.siteSpeed > 0) {
            slow = *options_.siteSpeed * (1.0 - kSiteSpeedMargin);
            fast = *options_.siteSpeed * (1.0 + kSiteSpeedMargin);
        }
        // Beyond the record a window end only needs to say so (a tiny interval
        // or a huge length must not overflow the sample arithmetic).
        const double past = n_ + 1.0;
        const double earliest = std::min(past, head_ + TravelSamples(length_, fast, interval_));
        latest_ = std::min(past, head_ + TravelSamples(length_, slow, interval_));
        const int from = std::max(head_ + halfPulse_ + 1, static_cast<int>(std::ceil(earliest)));
        const int to = std::min(n_ - halfPulse_ - 2, static_cast<int>(std::floor(latest_)));

        speed_ = recordSpeed_;
        if (from <= to) {
            std::vector<Extremum> peaks;
            for (int t = from; t <= to; ++t) {
                const double a = std::fabs(At(response_, t));
                if (a >= std::fabs(At(response_, t - 1)) && a > std::fabs(At(response_, t + 1)))
                    peaks.push_back({t, At(response_, t)});
            }
            if (peaks.empty()) {
                int best = from;
                for (int t = from; t <= to; ++t)
                    if (std::fabs(At(response_, t)) > std::fabs(At(response_, best))) best = t;
                peaks.push_back({best, At(response_, best)});
            }
            const auto toe = *std::max_element(peaks.begin(), peaks.end(), [](const Extremum& a, const Extremum& b) {
                return std::fabs(a.value) < std::fabs(b.value);
            });
            double rival = 2.0 * scatter_;
            for (const auto& p : peaks)
                if (std::abs(p.at - toe.at) > halfPulse_) rival = std::max(rival, std::fabs(p.value));
            const double size = std::fabs(toe.value);
            out_.toeIndex = toe.at;
            out_.toeConfidence = size > 0.0 ? std::clamp((size - rival) / size, 0.0, 1.0) : 0.0;
            speed_ = 2.0 * length_ / ((toe.at - head_) * interval_ * 1e-6);
            TakeOff(toe.at, toe.value);
        }
        out_.waveSpeed = speed_;
    }

    // The echoes between the head pulse and the toe echo, one at a time: the
    // strongest left is taken and its whole response taken off the trace,
    // until what is left lies below the threshold. In depth order.
    std::vector<Extremum> PursueEchoes() {
        const int end =
            out_.toeIndex ? *out_.toeIndex - (halfPulse_ + 1) / 2 : std::min(n_ - 1, static_cast<int>(latest_));
        const int begin = head_ + halfPulse_ + 1;
        const double unit = SelfAt(0);
        std::vector<Extremum> echoes;
        for (int round = 0; round < kMostEchoes && begin < end && unit > 0.0; ++round) {
            int best = begin;
            for (int t = begin; t < end; ++t)
                if (std::fabs(At(response_, t)) > std::fabs(At(response_, best))) best = t;
            const double size = At(response_, best) / unit;
            if (std::fabs(size) < threshold_) break;
            TakeOff(best, size);
            // A small echo hard by a large one only mends the large one's shape.
            bool mends = false;
            for (const auto& e : echoes)
                if (std::abs(e.at - best) <= halfPulse_ / 2 && std::fabs(e.value) > 2.0 * std::fabs(size)) mends = true;
            if (!mends) echoes.push_back({best, size});
        }
        std::sort(echoes.begin(), echoes.end(), [](const Extremum& a, const Extremum& b) { return a.at < b.at; });
        return echoes;
    }

    // A repeat: an echo that has run the path of two or three stronger
    // echoes already read (down to the same stretch again, or to each in turn).
    bool IsRepeat(const Extremum& e, const std::vector<Extremum>& read) const {
        bool repeat = false;
        const auto delay = [&](std::size_t a) { return static_cast<double>(read[a].at - head_); };
        const auto weaker = [&](std::size_t a) { return std::fabs(e.value) < std::fabs(read[a].value); };
        for (std::size_t a = 0; a < read.size() && !repeat; ++a)
            for (std::size_t b = a; b < read.size() && !repeat; ++b) {
                if (!weaker(a) || !weaker(b)) continue;
                repeat = std::fabs(e.at - head_ - delay(a) - delay(b)) <= halfPulse_ / 2.0;
                for (std::size_t c = b; c < read.size() && !repeat; ++c)
                    repeat = weaker(c) && std::fabs(e.at - head_ - delay(a) - delay(b) - delay(c)) <= halfPulse_ / 2.0;
            }
        return repeat;
    }

    // The echoes read as defects, top down: a stretch's lower end and an
    // echo's repeats are not others.
    void ReadDefects(const std::vector<Extremum>& echoes) {
        const double samplesPerMetre = 2.0 / (speed_ * interval_ * 1e-6);
        const int reach =
            static_cast<int>(std::lround(std::min<double>(n_, lobeGap_ + kLongestStretch * samplesPerMetre)));
        std::vector<Extremum> read;  // echoes read so far: tops and lower ends
        for (std::size_t i = 0; i < echoes.size(); ++i) {
            const auto& e = echoes[i];
            const double sign = e.value > 0 ? 1.0 : -1.0;
            if (IsRepeat(e, read)) continue;
            double top = e.at;
            std::size_t next = i + 1;
            if (next < echoes.size() && echoes[next].at - e.at <= reach && sign * echoes[next].value < 0 &&
                std::fabs(echoes[next].value) >= kReturnShare * std::fabs(e.value)) {
                // The lower end of the stretch: part of this defect, not another.
                // A stretch much shorter than the pulse answers with one echo
                // split in two around its middle, which is then its top.
                if (echoes[next].at - e.at < kOverlap * lobeGap_) top = 0.5 * (e.at + echoes[next].at);
                read.push_back(echoes[next]);
                ++i;
            }
            const auto index = static_cast<std::int32_t>(std::lround(top));
            if (index <= head_ || (out_.toeIndex && index >= *out_.toeIndex)) continue;
            read.push_back(e);
            ProposedDefect d;
            d.index = index;
            // The depth the defect gets when accepted: below the marked head at the record's speed.
            d.depth = tp_.waveSpeed > 0
                          ? SampleToDepth(tp_, index, false)
                          : static_cast<float>((index - tp_.headIndex) * interval_ * recordSpeed_ * kHalfMicro);
            d.kind = sign > 0 ? ReflectionKind::Reduction : ReflectionKind::Increase;
            d.confidence = std::fabs(e.value) / (std::fabs(e.value) + threshold_);
            out_.defects.push_back(d);
        }
    }

    const TestPoint& tp_;
    const ProposalOptions& options_;
    const int n_;              // samples in the record
    const double interval_;    // µs
    const double length_;      // m
    ReflectionProposals out_;
    double recordSpeed_ = 0.0;  // m/s: the record's own, else the site's
    std::vector<double> velocity_;  // head velocity, the blow +1
    double noise_ = 0.0;        // RMS of the record's white noise, in the record's units
    bool integrated_ = false;   // the velocity is the record's running sum
    int head_ = 0;              // the velocity peak
    double blow_ = 0.0;         // the velocity there, in the record's units
    int halfPulse_ = 0;         // samples of the incident pulse either side of the head
    int span_ = 0;              // the template's half width
    int width_ = 0;
    std::vector<double> template_;  // the centred pulse
    double energy_ = 0.0;           // the template against the pulse: a head pulse's full size
    std::vector<double> response_;  // the matched filter's output, echoes read taken off
    int reachSelf_ = 0;
    std::vector<double> selfResponse_;  // the template's response to the pulse, offsets ±reachSelf_
    double lobeGap_ = 1.0;      // samples between the two echoes of a vanishing stretch
    double scatter_ = 0.0;      // the noise's size in the response
    double threshold_ = 0.0;    // the weakest echo read as a defect
    double latest_ = 0.0;       // the toe window's far end, in samples
    double speed_ = 0.0;        // m/s that the toe gives (else the record's)
};

}  // namespace

ReflectionProposals ProposeReflections(const TestPoint& tp, const ProposalOptions& options) {
    return ReflectionReading(tp, options).Read();
}

}  // namespace tav
