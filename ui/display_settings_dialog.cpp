#include "ui/display_settings_dialog.hpp"
#include "ui/message_boxes.hpp"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace tav::ui {

DisplaySettingsDialog::DisplaySettingsDialog(const ShellProfile& current, QWidget* parent)
    : QDialog(parent), result_(current), low_(new QLineEdit), high_(new QLineEdit), fastSwitch_(new QCheckBox),
      wheelScale_(new QCheckBox) {
    setWindowTitle(QStringLiteral("显示设置"));
    low_->setValidator(new QIntValidator(0, 99999, low_));
    high_->setValidator(new QIntValidator(0, 99999, high_));
    low_->setText(QString::number(current.speedLow));
    high_->setText(QString::number(current.speedHigh));
    fastSwitch_->setText(QStringLiteral("双击波形，可切换显示模式：单测点<->多测点"));
    wheelScale_->setText(QStringLiteral("单测点模式下，滚动鼠标滚轮可缩放波形"));
    fastSwitch_->setChecked(current.fastSwitch);
    wheelScale_->setChecked(current.wheelScale);

    auto* defaults = new QPushButton(QStringLiteral("默认"));
    connect(defaults, &QPushButton::clicked, this, [this] {
        low_->setText(QString::number(kDefaultSpeedLow));
        high_->setText(QString::number(kDefaultSpeedHigh));
    });
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("波速范围：")), 0, 0);
    grid->addWidget(low_, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("—")), 0, 2);
    grid->addWidget(high_, 0, 3);
    grid->addWidget(new QLabel(QStringLiteral("m/s")), 0, 4);
    grid->addWidget(defaults, 0, 5);
    grid->addWidget(fastSwitch_, 1, 0, 1, 6);
    grid->addWidget(wheelScale_, 2, 0, 1, 6);
    grid->addWidget(buttons, 3, 0, 1, 6);
}

bool DisplaySettingsDialog::Check() {
    const SpeedRangeCheck c = CheckSpeedRange(low_->text().toInt(), high_->text().toInt());
    low_->setText(QString::number(c.low));
    high_->setText(QString::number(c.high));
    if (!c.valid) {
        ShowMessage(this, QStringLiteral("错误的声速范围，请修正！"), QMessageBox::Information, windowTitle());
        low_->setFocus();
        low_->selectAll();
        return false;
    }
    result_.speedLow = c.low;
    result_.speedHigh = c.high;
    result_.fastSwitch = fastSwitch_->isChecked();
    result_.wheelScale = wheelScale_->isChecked();
    return true;
}

void DisplaySettingsDialog::accept() {
    if (Check()) QDialog::accept();
}

}  // namespace tav::ui
