#include "analysis/display/annotation_selection.hpp"

#include <algorithm>
#include <iterator>
#include <utility>

#include "base/user_prompts.hpp"
#include "processing/operations.hpp"

namespace tav {

namespace {

// The processing operations that print a summary (the others never do), then
// the empty line and the test point's texts, 30 to 45.
std::vector<std::int32_t> BuildCatalogue() {
    std::vector<std::int32_t> codes;
    for (const auto& op : Operations())
        if (op.summary != nullptr) codes.push_back(op.type);
    for (std::int32_t code = kAnnotationEmptyLine; code <= 45; ++code) codes.push_back(code);
    return codes;
}

const std::vector<std::int32_t>& Catalogue() {
    static const std::vector<std::int32_t> codes = BuildCatalogue();
    return codes;
}

}  // namespace

std::span<const std::int32_t> AnnotationCatalogue() { return Catalogue(); }

std::string_view AnnotationItemName(std::int32_t code) {
    if (!IsAnnotationCode(code)) return {};
    if (code < kAnnotationEmptyLine) return OperationName(code);
    static constexpr std::string_view kNames[] = {
        "空行",     "桩号",     "桩径",     "桩长",     "波速",     "测试日期", "桩型",     "传感器类型",
        "采样间隔", "采样长度", "增益",     "触发电平", "检测单位", "工程名称", "缺陷/标记列表", "频率分辨率"};
    return kNames[code - kAnnotationEmptyLine];
}

bool IsAnnotationCode(std::int32_t code) {
    const auto& codes = Catalogue();
    return std::find(codes.begin(), codes.end(), code) != codes.end();
}

std::vector<std::int32_t> DefaultAnnotationItems() { return {31, 32, 36, 35, 3, 30, 33, 34, 13}; }

AnnotationSelection::AnnotationSelection(std::span<const std::int32_t> chosen) {
    for (const auto code : chosen)
        if (CanAdd(code)) chosen_.push_back(code);
}

bool AnnotationSelection::CanAdd(std::int32_t code) const {
    if (!IsAnnotationCode(code) || static_cast<int>(chosen_.size()) >= kMaxAnnotationItems) return false;
    return code == kAnnotationEmptyLine || std::find(chosen_.begin(), chosen_.end(), code) == chosen_.end();
}

std::vector<std::int32_t> AnnotationSelection::Available() const {
    std::vector<std::int32_t> out;
    for (const auto code : Catalogue())
        if (code == kAnnotationEmptyLine || std::find(chosen_.begin(), chosen_.end(), code) == chosen_.end())
            out.push_back(code);
    return out;
}

int AnnotationSelection::Add(std::int32_t code, int before) {
    if (!CanAdd(code)) return -1;
    const int n = static_cast<int>(chosen_.size());
    const int row = before >= 0 && before < n ? before : n;
    chosen_.insert(chosen_.begin() + row, code);
    return row;
}

bool AnnotationSelection::Remove(int row) {
    if (row < 0 || row >= static_cast<int>(chosen_.size())) return false;
    chosen_.erase(chosen_.begin() + row);
    return true;
}

bool AnnotationSelection::MoveUp(int row) {
    if (row < 1 || row >= static_cast<int>(chosen_.size())) return false;
    std::swap(chosen_[static_cast<std::size_t>(row)], chosen_[static_cast<std::size_t>(row - 1)]);
    return true;
}

bool AnnotationSelection::MoveDown(int row) {
    if (row < 0 || row + 1 >= static_cast<int>(chosen_.size())) return false;
    std::swap(chosen_[static_cast<std::size_t>(row)], chosen_[static_cast<std::size_t>(row + 1)]);
    return true;
}

void AnnotationSelection::ResetToDefaults() { chosen_ = DefaultAnnotationItems(); }

bool AnnotationSelection::Check(UserPrompts& prompts) const {
    if (!chosen_.empty()) return true;
    prompts.Message("请至少选择一个参数项");
    return false;
}

}  // namespace tav
