// The fixed vocabulary the application owns for the whole run: pile types,
// sensor types, defect names and the print headings. Texts are UTF-8 here;
// records store them in code page 936 (see Cp936 helpers in base/text_codec).
#pragma once

#include <span>
#include <string_view>

namespace tav {

inline constexpr int kUnlistedPileType = 100;  // pileTypeIndex of a name the table lacks

struct Vocabulary {
    std::span<const std::string_view> pileTypes;
    std::span<const std::string_view> sensorTypes;
    std::span<const std::string_view> defectNames;  // DefectNameTable, indexed by DefectType
    std::span<const std::string_view> printHeadings;
};

const Vocabulary& AppVocabulary();

// Defect codes whose stored name is the one the user typed or picked.
bool DefectTakesUserName(int defectType);

}  // namespace tav
