#include "ui/site_speed_dialog.hpp"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "model/document.hpp"
#include "model/snapshot.hpp"
#include "ui/qt_text.hpp"

namespace tav::ui {

namespace {

constexpr int kGroupRole = Qt::UserRole;
constexpr int kPileRole = Qt::UserRole + 1;

QString SpeedText(const std::optional<double>& speed) {
    return speed ? QString::number(*speed, 'f', 0) : QStringLiteral("—");
}

}  // namespace

SiteSpeedDialog::SiteSpeedDialog(CTAV_AnalyserDoc& doc, QWidget* parent) : QDialog(parent), doc_(doc) {
    setWindowTitle(QStringLiteral("桩身波速统计"));
    setObjectName(QStringLiteral("siteSpeedDialog"));
    auto* layout = new QVBoxLayout(this);
    auto* rule = new QLabel(QStringLiteral(
        "同一桩型中桩身完整性为Ⅰ类、已设桩头和桩底的桩按c=2L/ΔT计算波速；"
        "取不少于5根、与平均值之差均不超过5%的桩的平均值。勾选桩后可将平均波速应用到这些桩。"));
    rule->setWordWrap(true);
    layout->addWidget(rule);
    tree_ = new QTreeWidget;
    tree_->setColumnCount(3);
    tree_->setHeaderLabels({QStringLiteral("桩型 / 桩号"), QStringLiteral("波速(m/s)"), QStringLiteral("参与统计")});
    tree_->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    layout->addWidget(tree_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    apply_ = buttons->addButton(QStringLiteral("应用平均波速"), QDialogButtonBox::ActionRole);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(apply_, &QPushButton::clicked, this, [this] { ApplyMean(); });
    connect(tree_, &QTreeWidget::itemChanged, this, [this] { UpdateButton(); });
    resize(520, 480);
    Rebuild();
}

void SiteSpeedDialog::Rebuild() {
    stats_ = SiteSpeedStatistics(doc_);
    const QSignalBlocker block(tree_);
    tree_->clear();
    for (std::size_t g = 0; g < stats_.groups.size(); ++g) {
        const auto& group = stats_.groups[g];
        const QString type = group.pileType.empty() ? QStringLiteral("未定桩型") : FromUtf8(group.pileType);
        auto* top = new QTreeWidgetItem(tree_);
        top->setText(0, type);
        if (group.mean) {
            top->setText(1, QStringLiteral("平均 %1").arg(SpeedText(group.mean)));
            top->setText(2, QStringLiteral("%1根").arg(group.count));
        } else {
            top->setText(1, QStringLiteral("无平均值"));
            top->setText(2, QStringLiteral("不足5根"));
        }
        for (std::size_t p = 0; p < group.piles.size(); ++p) {
            const auto& pile = group.piles[p];
            auto* row = new QTreeWidgetItem(top);
            row->setText(0, FromUtf8(pile.pileNo));
            row->setText(1, SpeedText(pile.speed));
            row->setText(2, pile.used ? QStringLiteral("是") : QStringLiteral("否"));
            row->setData(0, kGroupRole, static_cast<int>(g));
            row->setData(0, kPileRole, static_cast<int>(p));
            if (group.mean) {
                row->setFlags(row->flags() | Qt::ItemIsUserCheckable);
                row->setCheckState(0, Qt::Unchecked);
            }
        }
        top->setExpanded(true);
    }
    UpdateButton();
}

void SiteSpeedDialog::SetChosen(int group, int pile, bool chosen) {
    auto* top = tree_->topLevelItem(group);
    if (!top || pile < 0 || pile >= top->childCount()) return;
    auto* row = top->child(pile);
    if (row->flags() & Qt::ItemIsUserCheckable) row->setCheckState(0, chosen ? Qt::Checked : Qt::Unchecked);
}

void SiteSpeedDialog::UpdateButton() {
    bool any = false;
    for (int g = 0; g < tree_->topLevelItemCount(); ++g)
        for (int p = 0; p < tree_->topLevelItem(g)->childCount(); ++p)
            any = any || tree_->topLevelItem(g)->child(p)->checkState(0) == Qt::Checked;
    apply_->setEnabled(any);
}

int SiteSpeedDialog::ApplyMean() {
    // One edit for the whole apply, so that one undo takes it back.
    Snapshot edit;
    for (int g = 0; g < tree_->topLevelItemCount(); ++g) {
        const auto& group = stats_.groups[static_cast<std::size_t>(g)];
        if (!group.mean) continue;
        std::vector<std::int32_t> points;
        for (int p = 0; p < tree_->topLevelItem(g)->childCount(); ++p)
            if (tree_->topLevelItem(g)->child(p)->checkState(0) == Qt::Checked) {
                const auto& pile = group.piles[static_cast<std::size_t>(p)];
                points.insert(points.end(), pile.points.begin(), pile.points.end());
            }
        Snapshot part = ApplySiteSpeed(doc_, points, *group.mean);
        edit.kind = part.kind;
        for (auto& tp : part.points) edit.points.push_back(std::move(tp));
    }
    const int changed = static_cast<int>(edit.points.size());
    if (changed > 0) {
        PushSnapshot(doc_.undoList, std::move(edit));
        doc_.redoList.clear();
        doc_.MarkModified();
        emit applied();
    }
    Rebuild();
    return changed;
}

}  // namespace tav::ui
