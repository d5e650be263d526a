#include "analysis/display/display_geometry.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tav {

namespace {

// Pixel values far outside the window are kept within int range.
int ClampPixel(double v) {
    if (std::isnan(v)) return 0;
    constexpr double kLimit = 1e8;
    return static_cast<int>(std::clamp(v, -kLimit, kLimit));
}

}  // namespace

int SampleX(const DisplayRect& plot, int c, const DisplayBlock& block, double i) {
    if (c < 2) return plot.left + block.hOffset;
    const double w = static_cast<double>(plot.Width());
    // The small allowance keeps exact columns from falling one short by rounding.
    return plot.left + block.hOffset +
           ClampPixel(std::trunc(i / (c - 1) * w * static_cast<double>(block.hScale) + 1e-9));
}

int XToSample(const DisplayRect& plot, int c, const DisplayBlock& block, int x) {
    if (c <= 0) return -1;
    const double span = static_cast<double>(plot.Width()) * static_cast<double>(block.hScale);
    if (c < 2 || span <= 0.0) return 0;
    const double i = static_cast<double>(x - plot.left - block.hOffset) * (c - 1) / span;
    // Zoomed out, the sample drawn on a column is the first that reaches it;
    // zoomed in, the nearest one.
    const double picked = span >= c - 1 ? std::round(i) : std::ceil(i - 1e-9);
    return static_cast<int>(std::clamp(picked, 0.0, static_cast<double>(c - 1)));
}

PointColumns MapColumns(const DisplayRect& plot, int c, const DisplayBlock& block) {
    PointColumns out;
    const int w = plot.Width();
    if (c <= 0 || w <= 0) return out;
    // Zoomed in, the columns of the stretched width are sampled, so a record
    // longer than the window shows its detail rather than spread-out points.
    const double s = static_cast<double>(block.hScale);
    const long long cols = s > 1.0 ? std::min<long long>(c, static_cast<long long>(w * s)) : w;
    const auto push = [&](int i) {
        const int x = SampleX(plot, c, block, i);
        if (!out.x.empty() && out.x.back() == x) return;
        out.sample.push_back(i);
        out.x.push_back(x);
    };
    if (c >= cols) {
        out.sample.reserve(static_cast<std::size_t>(cols));
        out.x.reserve(static_cast<std::size_t>(cols));
        // The first sample that reaches column j.
        for (long long j = 0; j < cols; ++j) push(static_cast<int>((static_cast<long long>(c - 1) * j + cols - 1) / cols));
    } else {
        for (int i = 0; i < c; ++i) push(i);
    }
    return out;
}

int VerticalMap::Y(double value) const {
    const double h = bottom - 1 - top;
    if (!(hi > lo) || !std::isfinite(value)) {
        if (std::isinf(value)) return value > 0 ? top : bottom - 1;
        return (bottom - 1) - static_cast<int>(h / 2);
    }
    return (bottom - 1) - ClampPixel(std::trunc(h * (value - lo) / (hi - lo)));
}

VerticalMap MakeVerticalMap(const DisplayRect& plot, float viewMin, float viewMax, const DisplayBlock& block) {
    VerticalMap m;
    m.top = plot.top;
    m.bottom = plot.bottom;
    m.lo = static_cast<double>(viewMin) * static_cast<double>(block.vFactor);
    m.hi = static_cast<double>(viewMax) * static_cast<double>(block.vFactor);
    if (m.hi < m.lo) std::swap(m.hi, m.lo);  // a negative factor turns the range over
    return m;
}

void AlignHead(DisplayBlock& b, const AlignInput& in) {
    const double w = in.width;
    if (!in.headValid || in.head < 0 || in.count < 1) {
        ResetPosition(b);
        return;
    }
    const bool bothEnds = b.hScaleMode == 0 && in.toeValid && in.head < in.toe && in.toe < in.count;
    if (!bothEnds) {
        b.hOffset = ClampPixel(std::trunc(w * 0.125 - w * (static_cast<double>(in.head) / in.count) *
                                                          static_cast<double>(b.hScale)));
    } else {
        const double head = in.head;
        const double toe = in.toe;
        b.hOffset = in.head == 0 ? ClampPixel(std::trunc(0.125 * w))
                                 : ClampPixel(std::trunc(w * (0.875 - toe * 0.125 / head) / (1.0 - toe / head)));
        b.hScale = static_cast<float>(in.count * 0.75 / (toe - head));
    }
    b.hPositionMode = 0;
}

void ResetPosition(DisplayBlock& b) {
    b.hOffset = 0;
    b.hPositionMode = 1;
}

void ShiftLeft(DisplayBlock& b, int width, int pixels) {
    b.hOffset = std::max(b.hOffset - pixels, -width);
    b.hPositionMode = 2;
}

void ShiftRight(DisplayBlock& b, int width, int pixels) {
    b.hOffset = std::min(b.hOffset + pixels, width);
    b.hPositionMode = 2;
}

void AlignToe(DisplayBlock& b, const AlignInput& in) {
    const int head = in.headValid ? in.head : 0;
    if (!(0 <= head && head < in.toe && in.toe < in.count) || in.width <= 0) {
        ResetScale(b);
        return;
    }
    const double w = in.width;
    if (b.hPositionMode != 0) {
        b.hScale = static_cast<float>(in.count * (0.875 * w - b.hOffset) / in.toe / w);
    } else {
        const double h = head;
        const double toe = in.toe;
        b.hOffset = head == 0 ? ClampPixel(std::trunc(0.125 * w))
                              : ClampPixel(std::trunc(w * (0.875 - toe * 0.125 / h) / (1.0 - toe / h)));
        b.hScale = static_cast<float>(in.count * 0.75 / (toe - h));
    }
    b.hScaleMode = 0;
}

void FrequencyAutoScale(DisplayBlock& b, float sampleInterval) {
    if (sampleInterval > 0.0f) b.hScale = 100.0f / sampleInterval;
    b.hScaleMode = 2;
}

void ResetScale(DisplayBlock& b) {
    b.hScale = 1.0f;
    b.hScaleMode = 1;
}

void CompressScale(DisplayBlock& b) {
    b.hScale = std::max(b.hScale - kScaleStep, 0.0f);
    b.hScaleMode = 2;
}

void StretchScale(DisplayBlock& b) {
    b.hScale += kScaleStep;
    b.hScaleMode = 2;
}

void SetScale(DisplayBlock& b, float s) {
    const float cur = b.hScale;
    if (cur <= 0.0f || s <= 0.0f || s > cur * 1.02f || s * 1.02f < cur) b.hScale = s;
}

void VerticalAuto(DisplayBlock& b) {
    b.vFactor = 1.0f;
    b.vMode = 0;
}

void VerticalStretch(DisplayBlock& b) {
    b.vFactor *= kVerticalStretch;
    if (std::fabs(b.vFactor) <= kMinVerticalFactor) b.vFactor = kMinVerticalFactor;
    b.vMode = 1;
}

void VerticalCompress(DisplayBlock& b) {
    b.vFactor *= kVerticalCompress;
    if (!std::isfinite(b.vFactor)) b.vFactor = std::numeric_limits<float>::max();
    b.vMode = 1;
}

std::vector<std::vector<DisplayPoint>> FillPolygons(std::span<const DisplayPoint> points, int zeroY, int mode) {
    std::vector<std::vector<DisplayPoint>> out;
    if ((mode != 1 && mode != 2) || points.empty()) return out;
    const auto inside = [&](const DisplayPoint& p) { return mode == 1 ? p.y < zeroY : p.y > zeroY; };
    const auto crossing = [&](const DisplayPoint& a, const DisplayPoint& b) {
        const double t = static_cast<double>(zeroY - a.y) / (b.y - a.y);
        return DisplayPoint{a.x + static_cast<int>(std::lround(t * (b.x - a.x))), zeroY};
    };
    std::vector<DisplayPoint> cur;
    if (inside(points[0])) cur = {{points[0].x, zeroY}, points[0]};
    for (std::size_t i = 0; i + 1 < points.size(); ++i) {
        const auto& a = points[i];
        const auto& b = points[i + 1];
        const bool ia = inside(a);
        const bool ib = inside(b);
        if (ia && ib) {
            cur.push_back(b);
        } else if (ia) {
            cur.push_back(crossing(a, b));
            out.push_back(std::move(cur));
            cur.clear();
        } else if (ib) {
            cur = {crossing(a, b), b};
        }
    }
    if (!cur.empty()) {
        cur.push_back({points.back().x, zeroY});
        out.push_back(std::move(cur));
    }
    return out;
}

bool IsPeak(std::span<const float> values, int p) {
    const int n = static_cast<int>(values.size());
    if (p <= 0 || p >= n - 1) return false;
    const auto r = [&](int i) { return std::lround(static_cast<double>(values[static_cast<std::size_t>(i)]) * 100.0); };
    const long v = r(p);
    int j = p - 1;
    while (j >= 0 && r(j) == v) --j;
    int k = p + 1;
    while (k < n && r(k) == v) ++k;
    if (j < 0 || k >= n) return false;
    int sign = v > 0 ? 1 : v < 0 ? -1 : 0;
    if (sign == 0) {
        int a = j;
        while (a >= 0 && r(a) == 0) --a;
        int b = k;
        while (b < n && r(b) == 0) ++b;
        if (a < 0 || b >= n) return false;
        const int sa = r(a) > 0 ? 1 : -1;
        const int sb = r(b) > 0 ? 1 : -1;
        if (sa != sb) return false;
        sign = sa;
    }
    return sign > 0 ? (r(j) < v && r(k) < v) : (r(j) > v && r(k) > v);
}

}  // namespace tav
