#include "model/vocabulary.hpp"

#include <array>

namespace tav {

namespace {

constexpr std::array<std::string_view, 10> kPileTypes = {
    "沉管灌注桩", "钻孔灌注桩",   "人工挖孔灌注桩", "扩底桩", "夯拓桩",
    "混凝土预制桩", "预应力管桩", "刚桩",           "粉喷桩", "CFG桩"};

constexpr std::array<std::string_view, 3> kSensorTypes = {"加速度", "速度", "加速度→速度"};

constexpr std::array<std::string_view, 21> kDefectNames = {
    "无缺陷",   "扩径(Ⅱ)", "缩径(Ⅱ)", "断桩(Ⅳ)", "裂纹(Ⅱ)", "夹泥(Ⅱ)",  "离析(Ⅱ)",
    "扩底(Ⅱ)", "",         "",         "",         "扩径(Ⅲ)", "缩径(Ⅲ)",  "",
    "裂纹(Ⅲ)", "夹泥(Ⅲ)", "离析(Ⅲ)", "扩底(Ⅲ)", "轻微缺陷", "普通缺陷", "严重缺陷"};

constexpr std::array<std::string_view, 5> kPrintHeadings = {"工程名称", "检测单位", "打印日期", "波形数",
                                                            "文件名"};

}  // namespace

const Vocabulary& AppVocabulary() {
    static const Vocabulary v{kPileTypes, kSensorTypes, kDefectNames, kPrintHeadings};
    return v;
}

bool DefectTakesUserName(int defectType) {
    return defectType < 0 || (defectType >= 8 && defectType <= 10) || defectType >= static_cast<int>(kDefectNames.size());
}

}  // namespace tav
