#include "ui/select_items_dialog.hpp"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "base/user_prompts.hpp"
#include "ui/qt_text.hpp"

namespace tav::ui {

namespace {

QListWidgetItem* CodeItem(std::int32_t code) {
    auto* item = new QListWidgetItem(FromUtf8(AnnotationItemName(code)));
    item->setData(Qt::UserRole, code);
    return item;
}

}  // namespace

SelectItemsDialog::SelectItemsDialog(const std::vector<std::int32_t>& chosen, UserPrompts& prompts, QWidget* parent)
    : QDialog(parent),
      selection_(chosen),
      prompts_(prompts),
      available_(new QListWidget),
      chosen_(new QListWidget),
      add_(new QPushButton(QStringLiteral("添加 >>"))),
      remove_(new QPushButton(QStringLiteral("<< 删除"))),
      up_(new QPushButton(QStringLiteral("上移"))),
      down_(new QPushButton(QStringLiteral("下移"))) {
    setWindowTitle(QStringLiteral("选择参数项"));
    available_->setObjectName(QStringLiteral("availableItems"));
    chosen_->setObjectName(QStringLiteral("chosenItems"));
    auto* defaults = new QPushButton(QStringLiteral("默认"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);

    auto* middle = new QVBoxLayout;
    middle->addStretch();
    for (auto* b : {add_, remove_, up_, down_, defaults}) middle->addWidget(b);
    middle->addStretch();
    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("可选参数项")), 0, 0);
    grid->addWidget(new QLabel(QStringLiteral("显示的参数项")), 0, 2);
    grid->addWidget(available_, 1, 0);
    grid->addLayout(middle, 1, 1);
    grid->addWidget(chosen_, 1, 2);
    grid->addWidget(buttons, 2, 0, 1, 3);

    connect(add_, &QPushButton::clicked, this, &SelectItemsDialog::AddCurrent);
    connect(remove_, &QPushButton::clicked, this, &SelectItemsDialog::RemoveCurrent);
    connect(up_, &QPushButton::clicked, this, [this] { MoveCurrent(-1); });
    connect(down_, &QPushButton::clicked, this, [this] { MoveCurrent(1); });
    connect(defaults, &QPushButton::clicked, this, &SelectItemsDialog::ResetToDefaults);
    connect(available_, &QListWidget::itemDoubleClicked, this, [this] { AddCurrent(); });
    connect(chosen_, &QListWidget::itemDoubleClicked, this, [this] { RemoveCurrent(); });
    connect(available_, &QListWidget::currentRowChanged, this, [this] { UpdateButtons(); });
    connect(chosen_, &QListWidget::currentRowChanged, this, [this] { UpdateButtons(); });
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    Refill(0);
}

void SelectItemsDialog::Refill(int chosenRow) {
    const int availableRow = available_->currentRow();
    available_->clear();
    for (const auto code : selection_.Available()) available_->addItem(CodeItem(code));
    chosen_->clear();
    for (const auto code : selection_.Chosen()) chosen_->addItem(CodeItem(code));
    available_->setCurrentRow(std::min(std::max(availableRow, 0), available_->count() - 1));
    chosen_->setCurrentRow(std::min(chosenRow, chosen_->count() - 1));
    UpdateButtons();
}

void SelectItemsDialog::UpdateButtons() {
    const auto* item = available_->currentItem();
    const int row = chosen_->currentRow();
    const int n = chosen_->count();
    add_->setEnabled(item != nullptr && selection_.CanAdd(item->data(Qt::UserRole).toInt()));
    remove_->setEnabled(row >= 0);
    up_->setEnabled(row > 0);
    down_->setEnabled(row >= 0 && row + 1 < n);
}

void SelectItemsDialog::AddCurrent() {
    const auto* item = available_->currentItem();
    if (!item) return;
    // The new item goes below the chosen row, so a list is built top down.
    const int row = chosen_->currentRow();
    const int at = selection_.Add(item->data(Qt::UserRole).toInt(), row >= 0 ? row + 1 : -1);
    if (at >= 0) Refill(at);
}

void SelectItemsDialog::RemoveCurrent() {
    const int row = chosen_->currentRow();
    if (selection_.Remove(row)) Refill(std::min(row, static_cast<int>(selection_.Chosen().size()) - 1));
}

void SelectItemsDialog::MoveCurrent(int step) {
    const int row = chosen_->currentRow();
    if (step < 0 ? selection_.MoveUp(row) : selection_.MoveDown(row)) Refill(row + (step < 0 ? -1 : 1));
}

void SelectItemsDialog::ResetToDefaults() {
    selection_.ResetToDefaults();
    Refill(0);
}

void SelectItemsDialog::accept() {
    if (!selection_.Check(prompts_)) return;
    QDialog::accept();
}

}  // namespace tav::ui
