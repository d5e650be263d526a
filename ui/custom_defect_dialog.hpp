// "自定义缺陷": the engineer's own defect names with their grades, for a new
// defect (command_id::kCustomDefect) or to edit one (command_id::kMarkEdit).
#pragma once

#include <QDialog>
#include <string>

#include "model/custom_defects.hpp"

class QListWidget;
class QLineEdit;
class QComboBox;

namespace tav {
class UserPrompts;
}

namespace tav::ui {

class CustomDefectDialog : public QDialog {
    Q_OBJECT
public:
    // depthText: the position as shown ("3.25m"); name and remark preset the fields (UTF-8).
    CustomDefectDialog(const std::string& configFolder, const QString& depthText, const QString& name,
                       const QString& remark, int grade, UserPrompts& prompts, QWidget* parent = nullptr);

    // After OK: the chosen name (code page 936), grade 0..2 and the remark (code page 936).
    const std::string& NameCp936() const { return name_; }
    int Grade() const { return grade_; }
    std::string RemarkCp936() const;

    void accept() override;

private:
    void Refill();

    CustomDefectDialogModel model_;
    UserPrompts& prompts_;
    QListWidget* names_;
    QLineEdit* edit_;
    QComboBox* grades_;
    QLineEdit* remark_;
    std::string name_;
    int grade_ = -1;
    bool filling_ = false;
};

}  // namespace tav::ui
