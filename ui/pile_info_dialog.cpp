#include "ui/pile_info_dialog.hpp"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

#include "base/user_prompts.hpp"
#include "model/document.hpp"
#include "model/vocabulary.hpp"
#include "ui/qt_text.hpp"

namespace tav::ui {

PileInfoDialog::PileInfoDialog(const CTAV_AnalyserDoc& doc, std::int32_t pileOrdinal, UserPrompts& prompts,
                               QWidget* parent)
    : QDialog(parent), doc_(doc), pile_(pileOrdinal), prompts_(prompts), pileNo_(new QLineEdit),
      pileType_(new QComboBox), length_(new QLineEdit), diameter_(new QLineEdit), date_(new QDateEdit),
      applyAll_(new QCheckBox(QStringLiteral("应用到所有选中桩"))), applyType_(new QCheckBox),
      applyLength_(new QCheckBox), applyDiameter_(new QCheckBox), applyDate_(new QCheckBox) {
    const PileInfoFields f = PileInfoDefaults(doc, pileOrdinal);
    setWindowTitle(FromUtf8(Cp936ToUtf8(f.pileNo)));
    pileNo_->setText(FromUtf8(Cp936ToUtf8(f.pileNo)));
    for (const auto type : AppVocabulary().pileTypes) pileType_->addItem(FromUtf8(type));
    pileType_->setCurrentIndex(f.pileTypeIndex);
    const std::int32_t first = doc.FirstPointOfPile(pileOrdinal);
    if (f.pileTypeIndex < 0 && first >= 0)
        pileType_->setPlaceholderText(FieldText(doc.points[static_cast<std::size_t>(first)].pileTypeName));
    length_->setText(QString::fromStdString(f.lengthText));
    diameter_->setText(QString::fromStdString(f.diameterText));
    date_->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    date_->setCalendarPopup(true);
    date_->setDate(QDate(f.date[0], f.date[1], f.date[2]).isValid() ? QDate(f.date[0], f.date[1], f.date[2])
                                                                     : QDate::currentDate());
    for (auto* box : {applyType_, applyLength_, applyDiameter_, applyDate_})
        connect(box, &QCheckBox::toggled, this, [this] { UpdateApplyAll(); });
    UpdateApplyAll();

    auto* grid = new QGridLayout(this);
    const auto row = [&](int r, const QString& label, QWidget* field, const QString& unit, QCheckBox* apply) {
        grid->addWidget(new QLabel(label), r, 0);
        grid->addWidget(field, r, 1);
        if (!unit.isEmpty()) grid->addWidget(new QLabel(unit), r, 2);
        if (apply) grid->addWidget(apply, r, 3);
    };
    row(0, QStringLiteral("桩　　号"), pileNo_, {}, nullptr);
    row(1, QStringLiteral("桩　　型"), pileType_, {}, applyType_);
    row(2, QStringLiteral("桩　　长"), length_, QStringLiteral("m"), applyLength_);
    row(3, QStringLiteral("桩　　径"), diameter_, QStringLiteral("mm"), applyDiameter_);
    row(4, QStringLiteral("检测日期"), date_, {}, applyDate_);
    grid->addWidget(applyAll_, 5, 0, 1, 4);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    grid->addWidget(buttons, 6, 0, 1, 4);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

QCheckBox* PileInfoDialog::ApplyBox(PileInfoField field) const {
    switch (field) {
        case PileInfoField::PileType: return applyType_;
        case PileInfoField::Length: return applyLength_;
        case PileInfoField::Diameter: return applyDiameter_;
        case PileInfoField::Date: return applyDate_;
        default: return nullptr;
    }
}

void PileInfoDialog::UpdateApplyAll() {
    const bool any =
        applyType_->isChecked() || applyLength_->isChecked() || applyDiameter_->isChecked() || applyDate_->isChecked();
    applyAll_->setChecked(any);
    applyAll_->setEnabled(any);
}

PileInfoFields PileInfoDialog::Fields() const {
    PileInfoFields f;
    f.pileNo = ToCp936(pileNo_->text());
    f.pileTypeIndex = pileType_->currentIndex();
    f.lengthText = length_->text().toStdString();
    f.diameterText = diameter_->text().toStdString();
    const QDate d = date_->date();
    f.date = {d.year(), d.month(), d.day()};
    f.applyToTicked = applyAll_->isChecked();
    f.applyType = applyType_->isChecked();
    f.applyLength = applyLength_->isChecked();
    f.applyDiameter = applyDiameter_->isChecked();
    f.applyDate = applyDate_->isChecked();
    return f;
}

void PileInfoDialog::accept() {
    const PileInfoOutcome outcome = CheckPileInfo(doc_, pile_, Fields());
    if (outcome.ok) {
        QDialog::accept();
        return;
    }
    prompts_.Warning(outcome.message);
    QLineEdit* field = outcome.field == PileInfoField::PileNo   ? pileNo_
                       : outcome.field == PileInfoField::Length ? length_
                                                                : diameter_;
    field->setFocus();
    field->selectAll();
}

}  // namespace tav::ui
