#include "ui/project_docks.hpp"

#include <QFormLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QTableWidget>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "analysis/integrity_class.hpp"
#include "model/document.hpp"
#include "model/list_commands.hpp"
#include "model/pile_quantities.hpp"
#include "processing/chain_list.hpp"
#include "ui/command_table.hpp"
#include "ui/qt_text.hpp"

namespace tav::ui {

namespace {

constexpr int kIndexRole = Qt::UserRole;       // test point index, or -1 on a pile entry
constexpr int kPileRole = Qt::UserRole + 1;    // pile ordinal

int WorstClass(const CTAV_AnalyserDoc& doc, const std::vector<std::int32_t>& members) {
    int worst = 0;
    for (auto i : members) worst = std::max(worst, IntegrityClass(doc.points[static_cast<std::size_t>(i)]));
    return worst;
}

}  // namespace

// ---- test point list ---------------------------------------------------------

PointListDock::PointListDock(CTAV_AnalyserDoc& doc, QWidget* parent)
    : QDockWidget(QStringLiteral("测点列表"), parent), doc_(doc), tree_(new QTreeWidget(this)) {
    setObjectName(QStringLiteral("pointListDock"));
    tree_->setColumnCount(2);
    tree_->setHeaderLabels({QStringLiteral("桩号/测点"), QStringLiteral("类别")});
    // Entries are shown whole; a narrow panel scrolls sideways instead of cutting them.
    tree_->header()->setStretchLastSection(false);
    tree_->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    tree_->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    setWidget(tree_);
    connect(tree_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) { OnCurrentChanged(item); });
    connect(tree_, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item, int column) { OnItemChanged(item, column); });
}

void PointListDock::Rebuild() {
    rebuilding_ = true;
    tree_->clear();
    QTreeWidgetItem* pile = nullptr;
    QTreeWidgetItem* current = nullptr;
    int ordinal = -1;
    for (int i = 0; i < doc_.PointCount(); ++i) {
        const auto& tp = doc_.points[static_cast<std::size_t>(i)];
        if (doc_.PileOrdinal(i) != ordinal) {
            ordinal = doc_.PileOrdinal(i);
            pile = new QTreeWidgetItem(tree_);
            pile->setText(0, FieldText(tp.pileNo));
            pile->setText(1, FromUtf8(IntegrityClassText(WorstClass(doc_, doc_.PileGroup(i)))));
            pile->setData(0, kIndexRole, -1);
            pile->setData(0, kPileRole, ordinal);
            pile->setExpanded(true);
            if (doc_.selectionMode == 2 && doc_.currentPile == ordinal) current = pile;
        }
        auto* item = new QTreeWidgetItem(pile);
        item->setText(0, QStringLiteral("[%1] %2 %3")
                             .arg(i + 1)
                             .arg(FieldText(tp.pileNo))
                             .arg(FieldText(tp.testDate).left(10)));
        item->setText(1, FromUtf8(IntegrityClassText(IntegrityClass(tp))));
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(0, tp.checked ? Qt::Checked : Qt::Unchecked);
        item->setData(0, kIndexRole, i);
        item->setData(0, kPileRole, ordinal);
        if (doc_.selectionMode == 1 && doc_.currentIndex == i) current = item;
    }
    SortPileEntries();
    if (current) tree_->setCurrentItem(current);
    rebuilding_ = false;
}

void PointListDock::SetPileOrder(PileOrder order) {
    order_ = order;
    Rebuild();
}

void PointListDock::SortPileEntries() {
    if (order_ == PileOrder::List) return;
    struct Entry {
        QTreeWidgetItem* item;
        std::string pileNo;
        std::string dateKey;
    };
    std::vector<Entry> entries;
    while (tree_->topLevelItemCount() > 0) {
        QTreeWidgetItem* item = tree_->takeTopLevelItem(0);
        const int first = doc_.FirstPointOfPile(item->data(0, kPileRole).toInt());
        const auto& tp = doc_.points[static_cast<std::size_t>(first)];
        entries.push_back({item, std::string(TextOf(tp.pileNo)), PileDateKey(TextOf(tp.testDate))});
    }
    std::stable_sort(entries.begin(), entries.end(), [this](const Entry& a, const Entry& b) {
        return order_ == PileOrder::ByPileNo ? PileEntryBefore(a.pileNo, b.pileNo)
                                             : PileEntryBeforeByDate(a.dateKey, a.pileNo, b.dateKey, b.pileNo);
    });
    for (const auto& e : entries) {
        tree_->addTopLevelItem(e.item);
        e.item->setExpanded(true);
    }
}

void PointListDock::OnCurrentChanged(QTreeWidgetItem* item) {
    if (rebuilding_ || !item) return;
    const int index = item->data(0, kIndexRole).toInt();
    if (index >= 0) {
        emit pointChosen(index);
    } else {
        emit pileChosen(item->data(0, kPileRole).toInt());
    }
}

void PointListDock::OnItemChanged(QTreeWidgetItem* item, int column) {
    if (rebuilding_ || column != 0) return;
    const int index = item->data(0, kIndexRole).toInt();
    if (!doc_.ValidIndex(index)) return;
    const bool ticked = item->checkState(0) == Qt::Checked;
    if ((doc_.points[static_cast<std::size_t>(index)].checked != 0) != ticked) emit tickClicked(index, ticked);
}

// ---- chain list --------------------------------------------------------------

ChainDock::ChainDock(const CTAV_AnalyserDoc& doc, QWidget* parent)
    : QDockWidget(QStringLiteral("处理过程"), parent), doc_(doc), list_(new QListWidget), detail_(new QPlainTextEdit) {
    setObjectName(QStringLiteral("chainDock"));
    detail_->setReadOnly(true);
    detail_->setMaximumBlockCount(20);
    detail_->setPlaceholderText(QStringLiteral("此步骤没有参数"));
    // The chosen step's parameters under a title naming the step; hidden while
    // no step is chosen, so the list has the room.
    detailPanel_ = new QWidget;
    detailTitle_ = new QLabel;
    auto* detailLayout = new QVBoxLayout(detailPanel_);
    detailLayout->setContentsMargins(0, 2, 0, 0);
    detailLayout->addWidget(detailTitle_);
    detailLayout->addWidget(detail_);
    detailPanel_->hide();
    auto* split = new QSplitter(Qt::Vertical, this);
    split->addWidget(list_);
    split->addWidget(detailPanel_);
    setWidget(split);
    connect(list_, &QListWidget::currentRowChanged, this, [this] { ShowDetail(); });
    connect(list_, &QListWidget::itemDoubleClicked, this,
            [this] { emit commandRequested(command_id::kChainListEdit); });
    list_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(list_, &QListWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        QMenu menu;
        auto add = [&](QMenu* m, int id) {
            const CommandInfo* c = FindCommand(id);
            QAction* a = m->addAction(FromUtf8(c ? c->menu : ""));
            connect(a, &QAction::triggered, this, [this, id] { emit commandRequested(id); });
            return a;
        };
        add(&menu, command_id::kChainListEdit);
        QMenu* insert = menu.addMenu(QStringLiteral("插入"));
        for (const int id : ChainListMenuInserts()) add(insert, id);
        add(&menu, command_id::kChainListDelete);
        add(&menu, command_id::kChainListClear);
        menu.exec(list_->mapToGlobal(at));
    });
}

void ChainDock::Rebuild(const std::vector<int>& targets) {
    targets_ = targets;
    const int keep = list_->currentRow();
    list_->clear();
    const ChainList chain = BuildChainList(doc_, TargetSet(targets.begin(), targets.end()));
    for (int row = 0; row < chain.RowCount(); ++row) {
        // A step the targets do not share has no name of its own.
        const QString name = chain.Editable(row) ? FromUtf8(chain.RowName(row)) : QStringLiteral("（各测点不同）");
        list_->addItem(QStringLiteral("%1. %2").arg(row + 1).arg(name));
    }
    if (keep >= 0 && keep < list_->count()) list_->setCurrentRow(keep);
    ShowDetail();
}

int ChainDock::SelectedRow() const { return list_->currentRow(); }
int ChainDock::RowCount() const { return list_->count(); }

void ChainDock::ShowDetail() {
    const int row = list_->currentRow();
    const ChainList chain = BuildChainList(doc_, TargetSet(targets_.begin(), targets_.end()));
    if (targets_.empty() || row < 0 || !chain.ValidRow(row) || !chain.Editable(row)) {
        detail_->clear();
        detailTitle_->clear();
        detailPanel_->hide();
        return;
    }
    detailTitle_->setText(QStringLiteral("步骤参数：%1. %2").arg(row + 1).arg(FromUtf8(chain.RowName(row))));
    detail_->setPlainText(FromUtf8(StepDetailText(doc_, targets_.front(), chain.rows[static_cast<std::size_t>(row)])));
    detailPanel_->show();
}

QString ChainDock::DetailTitle() const { return detailTitle_->text(); }

// ---- information panel ----------------------------------------------------------

namespace {

// The table's columns the engineer may edit, and the field each one edits.
int EditableField(int column) {
    switch (column) {
        case 1: return static_cast<int>(PointField::PileNo);
        case 2: return static_cast<int>(PointField::PileType);
        case 3: return static_cast<int>(PointField::Diameter);
        case 6: return static_cast<int>(PointField::TestDate);
        default: return -1;
    }
}

}  // namespace

InfoDock::InfoDock(const CTAV_AnalyserDoc& doc, QWidget* parent)
    : QDockWidget(QStringLiteral("信息"), parent), doc_(doc), testUnit_(new QLineEdit), projectName_(new QLineEdit),
      table_(new QTableWidget) {
    setObjectName(QStringLiteral("infoDock"));
    table_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    auto* panel = new QWidget(this);
    auto* form = new QFormLayout(panel);
    form->addRow(QStringLiteral("检测单位"), testUnit_);
    form->addRow(QStringLiteral("工程名称"), projectName_);
    form->addRow(table_);
    setWidget(panel);
    for (auto* field : {testUnit_, projectName_}) {
        field->setMaxLength(49);
        connect(field, &QLineEdit::editingFinished, this, [this, field] {
            if (!field->isModified()) return;
            field->setModified(false);
            emit headerEdited(field == projectName_, field->text());
        });
    }
    connect(table_, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        if (rebuilding_) return;
        const int field = EditableField(item->column());
        if (field >= 0) emit pointFieldEdited(item->row(), field, item->text());
    });
    connect(table_, &QTableWidget::currentCellChanged, this, [this](int row) {
        if (!rebuilding_ && doc_.ValidIndex(row) && row != doc_.currentIndex) emit pointChosen(row);
    });
    // Del belongs to the table while it has the focus: the window's Del
    // deletes whole test points, which is not what a key in a table means.
    table_->installEventFilter(this);
}

bool InfoDock::eventFilter(QObject* watched, QEvent* event) {
    if (watched != table_ || (event->type() != QEvent::ShortcutOverride && event->type() != QEvent::KeyPress))
        return QDockWidget::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != Qt::Key_Delete || key->modifiers() != Qt::NoModifier)
        return QDockWidget::eventFilter(watched, event);
    if (event->type() == QEvent::ShortcutOverride) {
        event->accept();
        return true;
    }
    ClearCurrentCell();
    return true;
}

void InfoDock::ClearCurrentCell() {
    QTableWidgetItem* cell = table_->currentItem();
    if (!cell || !(cell->flags() & Qt::ItemIsEditable) || cell->text().isEmpty()) return;
    // Only the pile type may stand empty (an unlisted type without a name);
    // a pile number, diameter or date is never blank, so Del leaves them.
    if (EditableField(cell->column()) != static_cast<int>(PointField::PileType)) return;
    cell->setText(QString());
}

void InfoDock::Rebuild() {
    const QStringList headings = {QStringLiteral("序号"),   QStringLiteral("桩号"),     QStringLiteral("桩型"),
                                  QStringLiteral("桩径(mm)"), QStringLiteral("桩长(m)"), QStringLiteral("波速(m/s)"),
                                  QStringLiteral("检测日期"), QStringLiteral("传感器"),  QStringLiteral("增益"),
                                  QStringLiteral("采样间隔(μs)"), QStringLiteral("采样长度")};
    rebuilding_ = true;
    // The row follows the current test point; the column stays where the
    // engineer put it, so that a key pressed next acts on the cell clicked.
    const int column = std::max(table_->currentColumn(), 0);
    table_->clear();
    table_->setColumnCount(static_cast<int>(headings.size()));
    table_->setHorizontalHeaderLabels(headings);
    table_->setRowCount(doc_.PointCount());
    for (int i = 0; i < doc_.PointCount(); ++i) {
        const auto& tp = doc_.points[static_cast<std::size_t>(i)];
        const QStringList cells = {QString::number(i + 1),
                                   FieldText(tp.pileNo),
                                   FromUtf8(doc_.PileTypeText(i)),
                                   QString::number(tp.diameter),
                                   QString::fromStdString(FormatLength(tp.pileLength)),
                                   QString::number(tp.waveSpeed),
                                   FieldText(tp.testDate).left(10),
                                   FromUtf8(doc_.SensorTypeText(i)),
                                   QString::number(tp.gain),
                                   QString::number(static_cast<double>(tp.sampleInterval), 'g', 6),
                                   QString::number(tp.headSampleCount)};
        for (int c = 0; c < cells.size(); ++c) {
            auto* cell = new QTableWidgetItem(cells[c]);
            if (EditableField(c) < 0) cell->setFlags(cell->flags() & ~Qt::ItemIsEditable);
            table_->setItem(i, c, cell);
        }
    }
    table_->resizeColumnsToContents();
    const bool any = doc_.PointCount() > 0;
    for (auto* field : {testUnit_, projectName_}) {
        field->setEnabled(any);
        if (!field->hasFocus()) field->setText(FieldText(field == testUnit_ ? doc_.header.testUnit : doc_.header.projectName));
    }
    if (doc_.ValidIndex(doc_.currentIndex)) table_->setCurrentCell(doc_.currentIndex, column);
    rebuilding_ = false;
    setWindowTitle(QStringLiteral("信息 - %1 / %2").arg(FieldText(doc_.header.projectName), FieldText(doc_.header.testUnit)));
}

}  // namespace tav::ui
