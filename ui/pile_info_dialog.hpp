// "桩信息" (command_id::kPileInfo): the pile information of one pile, with the
// choice of handing pile type, length, diameter and test date on to every ticked pile.
#pragma once

#include <QDialog>

#include "model/list_commands.hpp"

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLineEdit;

namespace tav {
class CTAV_AnalyserDoc;
class UserPrompts;
}  // namespace tav

namespace tav::ui {

class PileInfoDialog : public QDialog {
    Q_OBJECT
public:
    PileInfoDialog(const CTAV_AnalyserDoc& doc, std::int32_t pileOrdinal, UserPrompts& prompts,
                   QWidget* parent = nullptr);

    // The fields as shown; after OK they have passed the checks.
    PileInfoFields Fields() const;

    QLineEdit* PileNoField() const { return pileNo_; }
    QComboBox* PileTypeField() const { return pileType_; }
    QLineEdit* LengthField() const { return length_; }
    QLineEdit* DiameterField() const { return diameter_; }
    QDateEdit* DateField() const { return date_; }
    QCheckBox* ApplyToTicked() const { return applyAll_; }
    QCheckBox* ApplyBox(PileInfoField field) const;

    void accept() override;

private:
    void UpdateApplyAll();

    const CTAV_AnalyserDoc& doc_;
    std::int32_t pile_;
    UserPrompts& prompts_;
    QLineEdit* pileNo_;
    QComboBox* pileType_;
    QLineEdit* length_;
    QLineEdit* diameter_;
    QDateEdit* date_;
    QCheckBox* applyAll_;
    QCheckBox* applyType_;
    QCheckBox* applyLength_;
    QCheckBox* applyDiameter_;
    QCheckBox* applyDate_;
};

}  // namespace tav::ui
