#include "ui/merge_dialog.hpp"

#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTreeWidget>

#include "ui/message_boxes.hpp"
#include "ui/qt_text.hpp"

namespace tav::ui {

namespace {

constexpr int kNodeRole = Qt::UserRole;

}  // namespace

MergeDialog::MergeDialog(const std::vector<std::string>& drives, QWidget* parent)
    : QDialog(parent), tree_(new QTreeWidget), folder_(new QLineEdit),
      perPile_(new QRadioButton(QStringLiteral("以桩为单位合并数据"))) {
    setWindowTitle(QStringLiteral("导入TAV2015原始数据"));
    tree_->setHeaderHidden(true);
    selection_.AddDrives(drives);
    for (int id : selection_.TopLevel()) AddItem(nullptr, id);

    auto* browse = new QPushButton(QStringLiteral("..."));
    auto* perSite = new QRadioButton(QStringLiteral("以工地为单位合并数据"));
    perPile_->setChecked(true);
    auto* merge = new QPushButton(QStringLiteral("合并"));
    auto* cancel = new QPushButton(QStringLiteral("取消"));

    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("请选择数据文件")), 0, 0, 1, 2);
    grid->addWidget(tree_, 1, 0, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("请选择保存位置")), 2, 0, 1, 2);
    grid->addWidget(folder_, 3, 0);
    grid->addWidget(browse, 3, 1);
    grid->addWidget(perPile_, 4, 0, 1, 2);
    grid->addWidget(perSite, 5, 0, 1, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(merge);
    buttons->addWidget(cancel);
    grid->addLayout(buttons, 6, 0, 1, 2);
    resize(520, 560);

    connect(tree_, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) { Fill(item); });
    connect(tree_, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item) {
        if (syncing_) return;
        const int node = item->data(0, kNodeRole).toInt();
        const std::string message = selection_.SetChecked(node, item->checkState(0) == Qt::Checked);
        SyncChecks(nullptr);
        if (!message.empty()) ShowWarning(this, FromUtf8(message));
    });
    connect(browse, &QPushButton::clicked, this, [this] {
        const QString f = QFileDialog::getExistingDirectory(this, QStringLiteral("请选择保存位置"), folder_->text());
        if (!f.isEmpty()) folder_->setText(FromUtf8(SaveFolderFieldText(f.toStdString())));
    });
    connect(merge, &QPushButton::clicked, this, [this] { PressMerge(); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

QTreeWidgetItem* MergeDialog::AddItem(QTreeWidgetItem* parent, int node) {
    const MergeNode& n = selection_.Node(node);
    auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(tree_);
    item->setText(0, FromUtf8(n.name));
    item->setData(0, kNodeRole, node);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(0, n.checked ? Qt::Checked : Qt::Unchecked);
    const bool folder = n.kind != MergeNodeKind::File;
    item->setIcon(0, style()->standardIcon(folder ? QStyle::SP_DirIcon : QStyle::SP_FileIcon));
    if (folder) item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    return item;
}

void MergeDialog::Fill(QTreeWidgetItem* item) {
    if (item->childCount() > 0) return;
    const int node = item->data(0, kNodeRole).toInt();
    selection_.Expand(node);
    syncing_ = true;
    for (int child : selection_.Node(node).children) AddItem(item, child);
    syncing_ = false;
    if (item->childCount() == 0) item->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicator);
}

// Checking a folder may check and expand nodes below it: the tree follows the model.
void MergeDialog::SyncChecks(QTreeWidgetItem* item) {
    syncing_ = true;
    std::vector<QTreeWidgetItem*> work;
    if (item) {
        work.push_back(item);
    } else {
        for (int i = 0; i < tree_->topLevelItemCount(); ++i) work.push_back(tree_->topLevelItem(i));
    }
    while (!work.empty()) {
        QTreeWidgetItem* it = work.back();
        work.pop_back();
        const MergeNode& n = selection_.Node(it->data(0, kNodeRole).toInt());
        if (n.listed && it->childCount() == 0)
            for (int child : n.children) AddItem(it, child);
        it->setCheckState(0, n.checked ? Qt::Checked : Qt::Unchecked);
        for (int i = 0; i < it->childCount(); ++i) work.push_back(it->child(i));
    }
    syncing_ = false;
}

void MergeDialog::PressMerge() {
    const MergeButtonOutcome outcome =
        PressMergeButton(selection_, folder_->text().toStdString(), perPile_->isChecked());
    if (!outcome.merged) {
        ShowWarning(this, FromUtf8(outcome.warning));
        return;
    }
    report_ = outcome.report;
    accept();
}

}  // namespace tav::ui
