// Builds project files of the older layouts ("CWH01", "TAV02", "TAV03",
// "TAV05") and older instrument files ("Q-TAV2015") for tests.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tav::testing {

struct OldLocalScale {
    float factor = 1.0f;
    std::int16_t start = 0;
    std::int16_t end = 0;
};

// One old-layout test point; texts in UTF-8 (written as code page 936, or
// UTF-16 for the pile number of version 5).
struct OldPoint {
    std::int16_t recordNo = 1;
    std::string pileNo = "P1";
    std::int16_t pileType = 1;
    std::int16_t diameter = 800;
    std::string testDate = "2009-05-17";
    std::int16_t sensor = 1;
    std::int16_t gain = 4;
    std::int16_t trigger = 3;
    std::array<std::uint8_t, 4> instrumentValue{0x12, 0x34, 0x56, 0x78};
    // Versions 2, 3, 5.
    std::int16_t integrate = 0;
    std::int16_t lowPassPasses = 0;
    std::int16_t frontZero = 0;
    std::int16_t rearZero = 0;
    std::int16_t shift = 0;
    // Version 3.
    std::int32_t checked = 0;
    std::int16_t displayCode = 0;
    std::vector<OldLocalScale> localScales;
    std::optional<std::int32_t> localScaleCount;  // written instead of the real count
    // All versions.
    float pileLength = 8.0f;
    std::int16_t waveSpeed = 4000;
    float sampleInterval = 20.0f;
    std::int16_t magnifyMode = 0;
    float magnifyFactor = 0.0f;
    float magnifyStart = 0.0f;  // metres below the head
    float lowPassKHz = 0.0f;
    float highPassKHz = 0.0f;
    std::int16_t rotation = 0;
    std::int16_t headIndex = 0;
    std::array<std::int16_t, 10> defectTypes{};
    std::array<float, 10> defectDepths{};
    std::int16_t smoothPoints = 0;
    std::vector<float> samples;
    std::optional<std::int16_t> sampleCount;  // written instead of samples.size()
    std::vector<std::int16_t> spectrumMarks;
    std::optional<std::int16_t> spectrumMarkCount;
};

// A head pulse of height `peak` at `head` (zeros before it), an echo of height
// `echo` at `toe`, zeros elsewhere.
std::vector<float> PulseSamples(int count, int head, float peak, int toe, float echo);

std::vector<std::uint8_t> OldPointBytes(const OldPoint& p, int version);
std::vector<std::uint8_t> OldProjectImage(int version, std::string_view testUnit, std::string_view projectName,
                                          const std::vector<OldPoint>& points);
// "Q-TAV2015" and the "TAV02" record from the pile type through the samples.
std::vector<std::uint8_t> InstrumentFileBytes(const OldPoint& p);

}  // namespace tav::testing
