// The pile parameter bar above the waveform: the fields "波速" (m/s) and
// "桩长" (m), what editing them does to the shown test points, and what the
// fields show. The widget only reads BarFields and forwards the edits. The
// fields' limits and the way a length is shown are model/pile_quantities.hpp's.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace tav {

class CTAV_AnalyserDoc;

// The display settings list "桩长/波速：" and the RecomputeMode it drives.
struct RecomputeSettings {
    std::int32_t mode = 1;    // RecomputeMode: 1 the pile length stands, 2 the wave speed stands
    std::int32_t choice = 0;  // 0 "自动调整", 1 "桩长不变", 2 "波速不变"
};

// Choosing "桩长不变" or "波速不变" puts that mode in force; "自动调整" leaves
// the mode as the edits set it.
void ChooseRecompute(RecomputeSettings& settings, std::int32_t choice);

// What the bar works on.
struct BarScope {
    std::span<const std::int32_t> shown;  // test points shown in the display
    std::int32_t current = -1;            // the current test point
    bool allWaveforms = false;            // the operation scope "全部波形"

    // Several waveforms shown with the scope all waveforms: edits change them all.
    bool EditsAll() const { return allWaveforms && shown.size() > 1; }
};

inline constexpr std::uint32_t kBarMixedColour = 0x808080;  // a field whose shown values differ

struct BarFields {
    bool enabled = false;
    std::string speedText;
    std::string lengthText;
    bool speedGrey = false;
    bool lengthGrey = false;
};

// A current waveform shows its own values, drawn grey when edits go to all
// shown test points and theirs differ.
BarFields ParameterBarFields(const CTAV_AnalyserDoc& doc, const BarScope& scope);

// The wave speed entered: the toe follows from the pile length. A speed
// outside kMinWaveSpeed..kMaxWaveSpeed (model/pile_quantities.hpp) is refused
// and nothing changes. true when something changed.
bool EditWaveSpeed(CTAV_AnalyserDoc& doc, const BarScope& scope, std::int32_t speed);

// Whether the bar takes this pile length: within the limits, and giving every
// test point it would change a wave speed within the limits.
bool PileLengthFits(const CTAV_AnalyserDoc& doc, const BarScope& scope, float length);

// The pile length entered: the wave speed follows from head and toe, and the
// RecomputeMode becomes 1 unless the settings fix it. A length PileLengthFits
// refuses changes nothing. true when something changed.
bool EditPileLength(CTAV_AnalyserDoc& doc, const BarScope& scope, float length, RecomputeSettings& settings);

}  // namespace tav
