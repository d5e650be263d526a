// Small projects for the report tests: test points with the pile facts and
// defects the reports show.
#pragma once

#include <initializer_list>
#include <string_view>

#include "base/text_codec.hpp"
#include "model/test_point.hpp"
#include "tests/support/project_builder.hpp"

namespace tav::testing {

struct DefectSpec {
    int type;
    float depth;
    std::string_view name;  // UTF-8
};

// A pile of 800 mm, 12.5 m, 3800 m/s with a short waveform.
inline TestPoint ReportPoint(std::string_view pileNo, std::initializer_list<DefectSpec> defects, bool checked) {
    TestPoint tp = WaveformPoint(Utf8ToCp936(pileNo), 256);
    tp.diameter = 800;
    tp.pileLength = 12.5f;
    tp.waveSpeed = 3800;
    tp.checked = checked ? 1 : 0;
    for (const auto& d : defects) {
        DefectMark mark;
        mark.type = d.type;
        mark.depth = d.depth;
        SetText(mark.name, Utf8ToCp936(d.name));
        tp.defects.push_back(mark);
    }
    return tp;
}

}  // namespace tav::testing

#include <vector>

#include "output/bitmap.hpp"
#include "output/bmp_writer.hpp"

namespace tav::testing {

// A small real BMP file of one colour, for reports that need picture bytes.
inline std::vector<std::uint8_t> SmallBmp(int width = 8, int height = 4, std::uint8_t shade = 0x80) {
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width * height * 4), shade);
    BitmapView view;
    view.width = width;
    view.height = height;
    view.bitCount = 32;
    view.bits = pixels.data();
    view.stride = width * 4;
    return EncodeBmp(view);
}

}  // namespace tav::testing
