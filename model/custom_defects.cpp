#include "model/custom_defects.hpp"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "base/atomic_file.hpp"
#include "base/byte_io.hpp"
#include "base/text_codec.hpp"
#include "base/user_prompts.hpp"

namespace tav {

namespace {

constexpr std::string_view kEmptyName = "缺陷名称不能为空！";
constexpr const char* kNameTooLong = "缺陷名称的长度(=%d)超过了限制(%d)！";
constexpr std::string_view kNoGrade = "请选择缺陷等级！";
constexpr std::string_view kConfirmDelete = "确实要从列表删除该自定义缺陷吗？";

constexpr std::size_t kEditPartBytes = 56;  // what is read of the typed name

bool IsLeadByte(unsigned char c) { return c >= 0x81 && c <= 0xFE; }

unsigned char FoldAscii(unsigned char c) { return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + 32) : c; }

std::string_view TrimBlanks(std::string_view s) {
    const auto first = s.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) return {};
    const auto last = s.find_last_not_of(" \t\r\n");
    return s.substr(first, last - first + 1);
}

std::int32_t FindName(const std::vector<CustomDefect>& list, std::string_view cp936) {
    for (std::size_t k = 0; k < list.size(); ++k)
        if (CompareNamesNoCase(TextOf(list[k].name), cp936) == 0) return static_cast<std::int32_t>(k);
    return -1;
}

}  // namespace

int CompareNamesNoCase(std::string_view a, std::string_view b) {
    std::size_t i = 0;
    bool trail = false;  // the byte at i is the second byte of a two-byte character
    for (; i < a.size() && i < b.size(); ++i) {
        const auto ca = static_cast<unsigned char>(a[i]);
        const auto cb = static_cast<unsigned char>(b[i]);
        const unsigned char fa = trail ? ca : FoldAscii(ca);
        const unsigned char fb = trail ? cb : FoldAscii(cb);
        if (fa != fb) return fa < fb ? -1 : 1;
        trail = !trail && IsLeadByte(ca);
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

std::vector<CustomDefect> ParseCustomDefects(std::span<const std::uint8_t> bytes) {
    std::vector<CustomDefect> list;
    ByteReader in(bytes);
    while (list.size() < kMaxCustomDefects) {
        const std::uint8_t* p = in.Take(kCustomDefectRecordBytes);
        if (p == nullptr) break;
        CustomDefect d;
        LeLoad(p) >> d.name >> d.counter >> d.grade;
        list.push_back(d);
    }
    std::stable_sort(list.begin(), list.end(), [](const CustomDefect& x, const CustomDefect& y) {
        return CompareNamesNoCase(TextOf(x.name), TextOf(y.name)) < 0;
    });
    return list;
}

std::vector<std::uint8_t> SerializeCustomDefects(std::span<const CustomDefect> list) {
    std::vector<std::uint8_t> out;
    ByteWriter w(out);
    for (const auto& d : list.first(std::min(list.size(), kMaxCustomDefects)))
        LeStore(w.Extend(kCustomDefectRecordBytes)) << d.name << d.counter << d.grade;
    return out;
}

std::string CustomDefectFilePath(const std::string& folder) {
    if (folder.empty()) return std::string(kCustomDefectFileName);
    return folder.back() == '/' ? folder + std::string(kCustomDefectFileName)
                                : folder + "/" + std::string(kCustomDefectFileName);
}

std::vector<CustomDefect> LoadCustomDefects(const std::string& folder) {
    const auto bytes = ReadWholeFile(CustomDefectFilePath(folder));
    return bytes ? ParseCustomDefects(*bytes) : std::vector<CustomDefect>{};
}

bool SaveCustomDefects(const std::string& folder, std::span<const CustomDefect> list, std::string* error) {
    // On a first run the configuration folder may not exist yet.
    if (!folder.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(folder, ec);
    }
    return WriteFileAtomically(CustomDefectFilePath(folder), SerializeCustomDefects(list), error);
}

CustomDefectDialogModel::CustomDefectDialogModel(std::string folder, std::string_view callerNameUtf8,
                                                 std::int32_t callerGrade)
    : folder_(std::move(folder)), list_(LoadCustomDefects(folder_)) {
    SelectGrade(callerGrade);
    const std::int32_t found = FindName(list_, Utf8ToCp936(callerNameUtf8));
    if (found >= 0) {
        selected_ = found;
        editText_ = Cp936ToUtf8(TextOf(list_[static_cast<std::size_t>(found)].name));
    } else {
        editText_ = std::string(callerNameUtf8);
    }
}

std::vector<std::string> CustomDefectDialogModel::NamesUtf8() const {
    std::vector<std::string> names;
    for (const auto& d : list_) names.push_back(Cp936ToUtf8(TextOf(d.name)));
    return names;
}

void CustomDefectDialogModel::SelectName(std::int32_t index) {
    if (index < 0 || static_cast<std::size_t>(index) >= list_.size()) return;
    selected_ = index;
    const CustomDefect& d = list_[static_cast<std::size_t>(index)];
    editText_ = Cp936ToUtf8(TextOf(d.name));
    SelectGrade(d.grade);
}

void CustomDefectDialogModel::TypeName(std::string_view utf8) {
    selected_ = -1;
    editText_ = std::string(utf8);
}

void CustomDefectDialogModel::SelectGrade(std::int32_t grade) { grade_ = grade >= 0 && grade <= 2 ? grade : -1; }

CustomDefectDialogModel::OkOutcome CustomDefectDialogModel::Ok(UserPrompts& prompts) {
    OkOutcome out;
    std::string name;
    std::int32_t found = -1;
    if (selected_ >= 0) {
        found = selected_;
        name = std::string(TextOf(list_[static_cast<std::size_t>(found)].name));
    } else {
        const std::string typed = Utf8ToCp936(editText_);
        name = std::string(TrimBlanks(std::string_view(typed).substr(0, Cp936SafePrefix(typed, kEditPartBytes))));
        found = FindName(list_, name);
    }
    if (name.empty()) {
        prompts.Warning(kEmptyName);
        out.focus = Focus::NameList;
        return out;
    }
    if (name.size() > kMaxCustomDefectName) {
        char text[128];
        std::snprintf(text, sizeof text, kNameTooLong, static_cast<int>(name.size()),
                      static_cast<int>(kMaxCustomDefectName));
        prompts.Warning(text);
        out.focus = Focus::NameList;
        return out;
    }
    if (grade_ < 0) {
        prompts.Warning(kNoGrade);
        out.focus = Focus::GradeList;
        return out;
    }

    // The list changes only when the file could be written.
    std::vector<CustomDefect> next = list_;
    const std::int32_t counter =
        next.empty() ? 1 : static_cast<std::int32_t>(static_cast<std::uint32_t>(next.front().counter) + 1u);
    std::size_t slot = 0;
    if (found >= 0) {
        slot = static_cast<std::size_t>(found);
    } else if (next.size() < kMaxCustomDefects) {
        slot = next.size();
        next.emplace_back();
    } else {
        slot = kMaxCustomDefects - 1;  // a full list gives up its last entry
    }
    CustomDefect& d = next[slot];
    SetText(d.name, name);
    d.counter = counter;
    d.grade = static_cast<std::uint8_t>(grade_);
    if (!SaveCustomDefects(folder_, next)) return out;  // stays open, as before

    list_ = std::move(next);
    selected_ = static_cast<std::int32_t>(slot);
    out.close = true;
    out.nameCp936 = name;
    out.nameUtf8 = Cp936ToUtf8(name);
    out.grade = grade_;
    return out;
}

bool CustomDefectDialogModel::DeleteSelected(UserPrompts& prompts) {
    if (selected_ < 0 || static_cast<std::size_t>(selected_) >= list_.size()) return false;
    if (!prompts.YesNo(kConfirmDelete)) return false;
    list_.erase(list_.begin() + selected_);
    grade_ = -1;
    if (list_.empty()) {
        selected_ = -1;
        editText_.clear();
        return true;
    }
    SelectName(static_cast<std::size_t>(selected_) < list_.size() ? selected_ : 0);
    return true;
}

}  // namespace tav
