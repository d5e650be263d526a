// "显示设置": the wave speed limits and the two mouse shortcuts.
#pragma once

#include <QDialog>

#include "app/config_profile.hpp"

class QLineEdit;
class QCheckBox;

namespace tav::ui {

class DisplaySettingsDialog : public QDialog {
    Q_OBJECT
public:
    DisplaySettingsDialog(const ShellProfile& current, QWidget* parent = nullptr);
    // The values as accepted (valid after OK).
    const ShellProfile& Result() const { return result_; }
    // Applies OK's checks: true when the dialog may close. Shows the message otherwise.
    bool Check();

    QLineEdit* LowField() const { return low_; }
    QLineEdit* HighField() const { return high_; }

    void accept() override;

private:
    ShellProfile result_;
    QLineEdit* low_;
    QLineEdit* high_;
    QCheckBox* fastSwitch_;
    QCheckBox* wheelScale_;
};

}  // namespace tav::ui
