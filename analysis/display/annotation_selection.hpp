// The annotation items of the waveform display and their choice ("选择参数项"):
// which item codes give text beside a waveform, their names in the dialog,
// and the chosen list in display order with its add, remove and move rules.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace tav {

class UserPrompts;

inline constexpr std::int32_t kAnnotationEmptyLine = 30;
// Enough for every item once and a few empty lines between them.
inline constexpr int kMaxAnnotationItems = 64;

// The codes that give text, in the order the dialog offers them: the
// processing summaries, the empty line, then the test point and project fields.
std::span<const std::int32_t> AnnotationCatalogue();
// The dialog's name of an item code ("" for a code that gives no text).
std::string_view AnnotationItemName(std::int32_t code);
bool IsAnnotationCode(std::int32_t code);
// The list a new settings file starts with.
std::vector<std::int32_t> DefaultAnnotationItems();

class AnnotationSelection {
public:
    // Codes without text and repeats (other than the empty line) are left out.
    explicit AnnotationSelection(std::span<const std::int32_t> chosen);

    const std::vector<std::int32_t>& Chosen() const { return chosen_; }
    // Catalogue codes that can still be added (the empty line always can).
    std::vector<std::int32_t> Available() const;
    bool CanAdd(std::int32_t code) const;

    // Inserts the code before row `before` (at the end when out of range);
    // returns its row, or -1 when it cannot be added.
    int Add(std::int32_t code, int before = -1);
    bool Remove(int row);
    // Swaps the row with its neighbour; false at either end.
    bool MoveUp(int row);
    bool MoveDown(int row);
    void ResetToDefaults();

    // OK's check: the list cannot be stored empty (an empty list in the
    // settings file would bring the previous one back on the next start).
    bool Check(UserPrompts& prompts) const;

private:
    std::vector<std::int32_t> chosen_;
};

}  // namespace tav
