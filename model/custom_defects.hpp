// The engineer's own defect types: the names used so far with their grades,
// kept in "CustFlaw.dat" and offered again in the dialog "自定义缺陷".
//
// The file is a plain sequence of at most 20 records of 56 bytes, no header:
// name (51 bytes, code page 936, zero-terminated), counter (32-bit signed,
// little-endian), grade (one byte: 0 "Ⅱ", 1 "Ⅲ", 2 "Ⅳ").
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/text_field.hpp"

namespace tav {

class UserPrompts;

inline constexpr std::size_t kCustomDefectRecordBytes = 56;
inline constexpr std::size_t kMaxCustomDefects = 20;
inline constexpr std::size_t kMaxCustomDefectName = 50;  // bytes of code page 936 text
inline constexpr std::string_view kCustomDefectFileName = "CustFlaw.dat";

struct CustomDefect {
    TextField<51> name{};
    std::int32_t counter = 0;
    std::uint8_t grade = 0;
};
static_assert(51 + 4 + 1 == kCustomDefectRecordBytes);

// The whole records of a file image, at most 20, sorted by name without regard
// to letter case. A short final record is ignored.
std::vector<CustomDefect> ParseCustomDefects(std::span<const std::uint8_t> bytes);
std::vector<std::uint8_t> SerializeCustomDefects(std::span<const CustomDefect> list);

std::string CustomDefectFilePath(const std::string& folder);
// The list of "CustFlaw.dat" in folder; empty when there is none.
std::vector<CustomDefect> LoadCustomDefects(const std::string& folder);
// Writes the list in its order, replacing the file only once complete.
bool SaveCustomDefects(const std::string& folder, std::span<const CustomDefect> list, std::string* error = nullptr);

// Comparison of code page 936 names that folds the case of single-byte
// letters only, so that two different two-byte characters never compare equal.
int CompareNamesNoCase(std::string_view a, std::string_view b);

// The dialog "自定义缺陷" without its widgets: the name list in list order,
// the edit part, the grade list, OK and delete. Texts to and from the window are UTF-8.
// The window shows this dialog's messages with the caption "提示" and a warning
// icon, and asks its delete question with OK and Cancel (YesNo true for OK).
class CustomDefectDialogModel {
public:
    enum class Focus { None, NameList, GradeList };

    struct OkOutcome {
        bool close = false;       // false: the dialog stays open
        Focus focus = Focus::None;
        std::string nameCp936;    // with close: the chosen name and grade
        std::string nameUtf8;
        std::int32_t grade = -1;  // 0, 1, 2
    };

    // callerGrade is 0..2 or −1 for none; the caller's name is selected when
    // it is in the list (in any letter case), else put into the edit part.
    CustomDefectDialogModel(std::string folder, std::string_view callerNameUtf8, std::int32_t callerGrade);

    std::vector<std::string> NamesUtf8() const;
    const std::vector<CustomDefect>& List() const { return list_; }
    std::int32_t Selected() const { return selected_; }
    const std::string& EditText() const { return editText_; }
    std::int32_t Grade() const { return grade_; }

    // Choosing a name selects its stored grade too.
    void SelectName(std::int32_t index);
    // Typing in the edit part leaves no entry selected.
    void TypeName(std::string_view utf8);
    void SelectGrade(std::int32_t grade);

    OkOutcome Ok(UserPrompts& prompts);
    // The delete button: asks first; the file changes only with the next OK. true when removed.
    bool DeleteSelected(UserPrompts& prompts);

private:
    std::string folder_;
    std::vector<CustomDefect> list_;
    std::int32_t selected_ = -1;
    std::string editText_;
    std::int32_t grade_ = -1;
};

}  // namespace tav
