#include "ui/custom_defect_dialog.hpp"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "base/user_prompts.hpp"
#include "ui/qt_text.hpp"

namespace tav::ui {

CustomDefectDialog::CustomDefectDialog(const std::string& configFolder, const QString& depthText, const QString& name,
                                       const QString& remark, int grade, UserPrompts& prompts, QWidget* parent)
    : QDialog(parent), model_(configFolder, name.toStdString(), grade), prompts_(prompts), names_(new QListWidget),
      edit_(new QLineEdit), grades_(new QComboBox), remark_(new QLineEdit(remark)) {
    setWindowTitle(QStringLiteral("自定义缺陷"));
    auto* depth = new QLineEdit(depthText);
    depth->setReadOnly(true);
    grades_->addItems({QStringLiteral("Ⅱ"), QStringLiteral("Ⅲ"), QStringLiteral("Ⅳ")});
    remark_->setMaxLength(49);
    auto* remove = new QPushButton(QStringLiteral("删除"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);

    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("位置")), 0, 0);
    grid->addWidget(depth, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("缺陷名称")), 1, 0);
    grid->addWidget(edit_, 1, 1);
    grid->addWidget(names_, 2, 1);
    grid->addWidget(remove, 2, 2, Qt::AlignTop);
    grid->addWidget(new QLabel(QStringLiteral("缺陷等级")), 3, 0);
    grid->addWidget(grades_, 3, 1);
    grid->addWidget(new QLabel(QStringLiteral("备注")), 4, 0);
    grid->addWidget(remark_, 4, 1);
    grid->addWidget(buttons, 5, 0, 1, 3);

    connect(names_, &QListWidget::currentRowChanged, this, [this](int row) {
        if (filling_ || row < 0) return;
        model_.SelectName(row);
        Refill();
    });
    connect(edit_, &QLineEdit::textEdited, this, [this](const QString& text) {
        model_.TypeName(text.toStdString());
        Refill();
    });
    connect(grades_, &QComboBox::currentIndexChanged, this, [this](int g) {
        if (!filling_) model_.SelectGrade(g);
    });
    connect(remove, &QPushButton::clicked, this, [this] {
        if (model_.DeleteSelected(prompts_)) Refill();
    });
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    Refill();
}

void CustomDefectDialog::Refill() {
    filling_ = true;
    names_->clear();
    for (const auto& n : model_.NamesUtf8()) names_->addItem(FromUtf8(n));
    names_->setCurrentRow(model_.Selected());
    if (edit_->text().toStdString() != model_.EditText()) edit_->setText(FromUtf8(model_.EditText()));
    grades_->setCurrentIndex(model_.Grade());
    filling_ = false;
}

std::string CustomDefectDialog::RemarkCp936() const { return ToCp936(remark_->text().trimmed()); }

void CustomDefectDialog::accept() {
    const auto outcome = model_.Ok(prompts_);
    if (!outcome.close) {
        if (outcome.focus == CustomDefectDialogModel::Focus::NameList) edit_->setFocus();
        if (outcome.focus == CustomDefectDialogModel::Focus::GradeList) grades_->setFocus();
        return;
    }
    name_ = outcome.nameCp936;
    grade_ = outcome.grade;
    QDialog::accept();
}

}  // namespace tav::ui
