// Geometry of the waveform display: where samples land on screen under a
// test point's display settings block, the position and scale operations on
// that block, the fill areas and the peak rule of the readout marker.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "model/process_step.hpp"

namespace tav {

struct DisplayRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool Contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
};

struct DisplayPoint {
    int x = 0;
    int y = 0;
    bool operator==(const DisplayPoint&) const = default;
};

// Fill colour and spectral line colour, RGB(0, 51, 204).
inline constexpr std::uint32_t kFillColour = 0x0033CC;
inline constexpr std::uint32_t kPeakColour = 0x00FF00;
inline constexpr std::uint32_t kNoPeakColour = 0xFF0000;

inline constexpr int kShiftPixels = 50;
inline constexpr float kScaleStep = 0.2f;
inline constexpr float kVerticalStretch = 0.8333333f;
inline constexpr float kVerticalCompress = 1.2f;
inline constexpr float kMinVerticalFactor = 0.00001f;

// The drawn polyline of c values: the sample index of every point and its x.
// One point per pixel column of the drawn width when there are more values
// than columns; points that the scale puts on one column are merged (the
// first kept).
struct PointColumns {
    std::vector<int> sample;
    std::vector<int> x;
};
PointColumns MapColumns(const DisplayRect& plot, int c, const DisplayBlock& block);

// x of sample i (the same formula as the points).
int SampleX(const DisplayRect& plot, int c, const DisplayBlock& block, double i);
// The sample whose x is nearest to x, clamped to 0 .. c - 1 (-1 when c <= 0).
int XToSample(const DisplayRect& plot, int c, const DisplayBlock& block, int x);

// Vertical mapping of one entry: lo = viewMin × v, hi = viewMax × v.
struct VerticalMap {
    int top = 0;
    int bottom = 0;
    double lo = 0.0;
    double hi = 0.0;
    int Y(double value) const;
};
VerticalMap MakeVerticalMap(const DisplayRect& plot, float viewMin, float viewMax, const DisplayBlock& block);

// Position and scale operations on one block. W: plot width, c: values,
// head/toe: the test point's positions with their validity.
struct AlignInput {
    int width = 0;
    int count = 0;
    int head = 0;
    int toe = 0;
    bool headValid = false;
    bool toeValid = false;
};
void AlignHead(DisplayBlock& b, const AlignInput& in);
void ResetPosition(DisplayBlock& b);
void ShiftLeft(DisplayBlock& b, int width, int pixels = kShiftPixels);
void ShiftRight(DisplayBlock& b, int width, int pixels = kShiftPixels);
void AlignToe(DisplayBlock& b, const AlignInput& in);
// The frequency analysis' align toe: about 0 .. 5 kHz.
void FrequencyAutoScale(DisplayBlock& b, float sampleInterval);
void ResetScale(DisplayBlock& b);
void CompressScale(DisplayBlock& b);
void StretchScale(DisplayBlock& b);
// Takes s only when it differs from the current scale by more than 2 %.
void SetScale(DisplayBlock& b, float s);
void VerticalAuto(DisplayBlock& b);
void VerticalStretch(DisplayBlock& b);
void VerticalCompress(DisplayBlock& b);

// Fill areas between the polyline and the zero line: positive (mode 1) or
// negative (mode 2); a segment crossing the zero line is split there.
std::vector<std::vector<DisplayPoint>> FillPolygons(std::span<const DisplayPoint> points, int zeroY, int mode);

// Whether point p of a curve is a peak: a local maximum of a positive value or
// a local minimum of a negative one, values rounded to two decimals and flat
// runs counted once. The first and last points never are.
bool IsPeak(std::span<const float> values, int p);

}  // namespace tav
