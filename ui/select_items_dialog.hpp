// "选择参数项": which texts the annotation column beside each waveform shows,
// and in which order.
#pragma once

#include <QDialog>
#include <cstdint>
#include <vector>

#include "analysis/display/annotation_selection.hpp"

class QListWidget;
class QPushButton;

namespace tav {
class UserPrompts;
}

namespace tav::ui {

class SelectItemsDialog : public QDialog {
    Q_OBJECT
public:
    SelectItemsDialog(const std::vector<std::int32_t>& chosen, UserPrompts& prompts, QWidget* parent = nullptr);

    // The chosen codes in order (after OK: the accepted list).
    const std::vector<std::int32_t>& Chosen() const { return selection_.Chosen(); }
    AnnotationSelection& Selection() { return selection_; }

    QListWidget* AvailableList() const { return available_; }
    QListWidget* ChosenList() const { return chosen_; }
    // The buttons' actions on the current rows.
    void AddCurrent();
    void RemoveCurrent();
    void MoveCurrent(int step);
    void ResetToDefaults();

    void accept() override;

private:
    void Refill(int chosenRow);
    void UpdateButtons();

    AnnotationSelection selection_;
    UserPrompts& prompts_;
    QListWidget* available_;
    QListWidget* chosen_;
    QPushButton* add_;
    QPushButton* remove_;
    QPushButton* up_;
    QPushButton* down_;
};

}  // namespace tav::ui
