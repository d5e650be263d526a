#include "ui/print_settings_dialog.hpp"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFontDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPrinterInfo>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

#include "base/user_prompts.hpp"
#include "render/print_painter.hpp"
#include "ui/qt_text.hpp"

namespace tav::ui {

namespace {

constexpr QPageSize::PageSizeId kPapers[] = {QPageSize::A3,     QPageSize::A4,    QPageSize::A5,
                                             QPageSize::JisB4,  QPageSize::JisB5, QPageSize::Letter,
                                             QPageSize::Legal,  QPageSize::Executive};
constexpr const char* kItemNames[] = {"波形", "幅值谱", "功率谱", "倒频谱", "对数谱", "当前显示"};
constexpr int kCustomKindRow = kTableCellKindCount;  // the kind list's last row: the cell's own text

QDoubleSpinBox* TenthsBox(double max) {
    auto* box = new QDoubleSpinBox;
    box->setRange(0.0, max);
    box->setSingleStep(0.1);
    box->setDecimals(1);
    return box;
}

QSpinBox* CountBox(int lo, int hi) {
    auto* box = new QSpinBox;
    box->setRange(lo, hi);
    return box;
}

template <std::size_t N>
void StoreText(TextField<N>& field, const QString& text) {
    SetText(field, ToCp936(text));
}

QString KindLabel(const PrintSettings& s, int row, int column) {
    const int kind = s.CellKind(row, column);
    if (kind < kTableCellKindCount) return QStringLiteral("[%1]").arg(FromUtf8(TableCellKindName(kind)));
    return FromUtf8(s.CellTextUtf8(row, column));
}

}  // namespace

QSizeF PrinterChoice::SheetMm() const {
    const QSizeF upright = QPageSize(paper).size(QPageSize::Millimeter);
    return orientation == QPageLayout::Landscape ? upright.transposed() : upright;
}

QString PdfPrinterLabel() { return QStringLiteral("PDF 文件"); }

QString FieldProblem(const QString& what, const QString& text, int maxBytes) {
    const std::string cp936 = ToCp936(text);
    if (FromUtf8(Cp936ToUtf8(cp936)) != text)
        return QStringLiteral("%1中有无法保存的字符，请修改。").arg(what);
    if (static_cast<int>(cp936.size()) > maxBytes)
        return QStringLiteral("%1太长：最多%2个字节（一个汉字占两个字节），现有%3个。")
            .arg(what)
            .arg(maxBytes)
            .arg(cp936.size());
    return {};
}

// ---- 定制表头 ----------------------------------------------------------------

TableHeaderDialog::TableHeaderDialog(const PrintSettings& settings, UserPrompts& prompts, QWidget* parent)
    : QDialog(parent), table_(settings), prompts_(prompts), rows_(CountBox(1, kTableMaxRows)),
      columns_(CountBox(1, kTableMaxColumns)), rowHeight_(TenthsBox(kMaxRowHeightCm)), gridLines_(new QCheckBox),
      grid_(new QTableWidget), kind_(new QComboBox), text_(new QLineEdit) {
    setWindowTitle(QStringLiteral("定制表头"));
    rows_->setValue(settings.tableRows);
    columns_->setValue(settings.tableColumns);
    rowHeight_->setValue(settings.tableRowHeightCm);
    gridLines_->setText(QStringLiteral("表格线"));
    gridLines_->setChecked(settings.tableGrid != 0);
    for (int k = 0; k < kTableCellKindCount; ++k) kind_->addItem(FromUtf8(TableCellKindName(k)));
    kind_->addItem(QStringLiteral("自定义文字"));
    grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid_->setSelectionMode(QAbstractItemView::SingleSelection);
    grid_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);

    auto* form = new QGridLayout;
    form->addWidget(new QLabel(QStringLiteral("行数:")), 0, 0);
    form->addWidget(rows_, 0, 1);
    form->addWidget(new QLabel(QStringLiteral("列数:")), 0, 2);
    form->addWidget(columns_, 0, 3);
    form->addWidget(new QLabel(QStringLiteral("每行高度（厘米）:")), 1, 0);
    form->addWidget(rowHeight_, 1, 1);
    form->addWidget(gridLines_, 1, 2, 1, 2);
    auto* cell = new QHBoxLayout;
    cell->addWidget(new QLabel(QStringLiteral("单元格内容:")));
    cell->addWidget(kind_);
    cell->addWidget(text_, 1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(grid_, 1);
    layout->addLayout(cell);
    layout->addWidget(buttons);

    connect(rows_, &QSpinBox::valueChanged, this, [this] { Reshape(); });
    connect(columns_, &QSpinBox::valueChanged, this, [this] { Reshape(); });
    connect(grid_, &QTableWidget::currentCellChanged, this, [this] { ShowCell(); });
    connect(kind_, &QComboBox::currentIndexChanged, this, [this] { StoreCell(); });
    connect(text_, &QLineEdit::textEdited, this, [this] {
        if (kind_->currentIndex() != kCustomKindRow) kind_->setCurrentIndex(kCustomKindRow);
        StoreCell();
    });
    Reshape();
    grid_->setCurrentCell(0, 0);
    ShowCell();
}

void TableHeaderDialog::Reshape() {
    grid_->setRowCount(rows_->value());
    grid_->setColumnCount(columns_->value());
    for (int r = 0; r < rows_->value(); ++r)
        for (int c = 0; c < columns_->value(); ++c) grid_->setItem(r, c, new QTableWidgetItem(KindLabel(table_, r, c)));
}

void TableHeaderDialog::ShowCell() {
    const int r = grid_->currentRow();
    const int c = grid_->currentColumn();
    if (r < 0 || c < 0) return;
    showing_ = true;
    const int kind = table_.CellKind(r, c);
    kind_->setCurrentIndex(kind < kTableCellKindCount ? kind : kCustomKindRow);
    text_->setText(kind < kTableCellKindCount ? QString() : FromUtf8(table_.CellTextUtf8(r, c)));
    text_->setEnabled(kind >= kTableCellKindCount);
    showing_ = false;
}

void TableHeaderDialog::StoreCell() {
    const int r = grid_->currentRow();
    const int c = grid_->currentColumn();
    if (showing_ || r < 0 || c < 0) return;
    const auto at = static_cast<std::size_t>(r * kTableMaxColumns + c);
    const int kind = kind_->currentIndex();
    table_.cellKinds[at] = kind < kTableCellKindCount ? static_cast<std::uint8_t>(kind) : std::uint8_t{kCellCustom};
    text_->setEnabled(kind == kCustomKindRow);
    // The text is checked on OK; here it is kept as typed (cut only by the field).
    if (kind == kCustomKindRow) StoreText(table_.cellTexts[at], text_->text());
    if (auto* item = grid_->item(r, c)) item->setText(kind == kCustomKindRow ? text_->text() : KindLabel(table_, r, c));
}

bool TableHeaderDialog::Check() {
    for (int r = 0; r < rows_->value(); ++r) {
        for (int c = 0; c < columns_->value(); ++c) {
            if (table_.CellKind(r, c) < kTableCellKindCount) continue;
            const QString shown = grid_->item(r, c) ? grid_->item(r, c)->text() : QString();
            const QString problem =
                FieldProblem(QStringLiteral("第%1行第%2列的文字").arg(r + 1).arg(c + 1), shown, kCellTextSize - 1);
            if (!problem.isEmpty()) {
                prompts_.Message(problem.toStdString());
                grid_->setCurrentCell(r, c);
                return false;
            }
        }
    }
    return true;
}

void TableHeaderDialog::accept() {
    if (Check()) QDialog::accept();
}

void TableHeaderDialog::ApplyTo(PrintSettings& settings) const {
    settings.tableRows = rows_->value();
    settings.tableColumns = columns_->value();
    settings.tableRowHeightCm = static_cast<float>(rowHeight_->value());
    settings.tableGrid = gridLines_->isChecked() ? 1 : 0;
    settings.cellKinds = table_.cellKinds;
    settings.cellTexts = table_.cellTexts;
}

// ---- 打印设置 ----------------------------------------------------------------

PrintSettingsDialog::PrintSettingsDialog(const PrintSettings& settings, const PrinterChoice& printer,
                                         UserPrompts& prompts, const QString& okText, QWidget* parent)
    : QDialog(parent), settings_(settings), table_(settings), font_(settings.font), printer_(printer), prompts_(prompts) {
    setWindowTitle(QStringLiteral("打印设置"));
    auto* tabs = new QTabWidget;
    tabs->addTab(BuildPrinterTab(), QStringLiteral(" 打印"));
    tabs->addTab(BuildPageTab(), QStringLiteral(" 页面"));
    auto* defaults = new QPushButton(QStringLiteral("默认"));
    connect(defaults, &QPushButton::clicked, this, [this] { RestoreDefaults(); });
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Ok)->setText(okText);
    buttons->addButton(defaults, QDialogButtonBox::ResetRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs);
    layout->addWidget(buttons);
    Show(settings_);
}

QWidget* PrintSettingsDialog::BuildPrinterTab() {
    auto* page = new QWidget;
    printerList_ = new QComboBox;
    const QString preferred = printer_.printerName.isEmpty() ? QPrinterInfo::defaultPrinterName() : printer_.printerName;
    for (const auto& name : QPrinterInfo::availablePrinterNames()) printerList_->addItem(name, name);
    printerList_->addItem(PdfPrinterLabel(), QString());
    const int at = printer_.ToPdf() && !printer_.pdfPath.isEmpty() ? -1 : printerList_->findData(preferred);
    printerList_->setCurrentIndex(at >= 0 ? at : printerList_->count() - 1);
    pdfPath_ = new QLineEdit(printer_.pdfPath);
    auto* browse = new QPushButton(QStringLiteral("浏览..."));
    connect(browse, &QPushButton::clicked, this, [this] {
        const QString p = QFileDialog::getSaveFileName(this, QStringLiteral("打印到PDF文件"), pdfPath_->text(),
                                                       QStringLiteral("PDF文件(*.pdf)"));
        if (!p.isEmpty()) pdfPath_->setText(p);
    });
    const auto updatePdf = [this, browse] {
        const bool pdf = printerList_->currentData().toString().isEmpty();
        pdfPath_->setEnabled(pdf);
        browse->setEnabled(pdf);
    };
    connect(printerList_, &QComboBox::currentIndexChanged, this, updatePdf);
    updatePdf();
    paperList_ = new QComboBox;
    for (const auto id : kPapers) paperList_->addItem(QPageSize::name(id), static_cast<int>(id));
    paperList_->setCurrentIndex(std::max(paperList_->findData(static_cast<int>(printer_.paper)), 0));
    orientation_ = new QComboBox;
    orientation_->addItem(QStringLiteral("纵向"), static_cast<int>(QPageLayout::Portrait));
    orientation_->addItem(QStringLiteral("横向"), static_cast<int>(QPageLayout::Landscape));
    orientation_->setCurrentIndex(printer_.orientation == QPageLayout::Landscape ? 1 : 0);

    auto* grid = new QGridLayout(page);
    grid->addWidget(new QLabel(QStringLiteral("打印机:")), 0, 0);
    grid->addWidget(printerList_, 0, 1, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("PDF文件:")), 1, 0);
    grid->addWidget(pdfPath_, 1, 1);
    grid->addWidget(browse, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("纸张:")), 2, 0);
    grid->addWidget(paperList_, 2, 1, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("方向:")), 3, 0);
    grid->addWidget(orientation_, 3, 1, 1, 2);
    grid->setRowStretch(4, 1);
    return page;
}

QWidget* PrintSettingsDialog::BuildPageTab() {
    auto* page = new QWidget;
    items_ = new QListWidget;
    for (const char* name : kItemNames) {
        auto* item = new QListWidgetItem(QString::fromUtf8(name), items_);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
    }
    header_ = new QLineEdit;
    footer_ = new QLineEdit;
    headerOn_ = new QCheckBox(QStringLiteral("页眉"));
    footerOn_ = new QCheckBox(QStringLiteral("页脚"));
    numberOn_ = new QCheckBox(QStringLiteral("页码"));
    tableOn_ = new QCheckBox(QStringLiteral("表头"));
    auto* tableButton = new QPushButton(QStringLiteral("定制表头"));
    connect(tableButton, &QPushButton::clicked, this, [this] { EditTable(); });
    numberStyle_ = new QComboBox;
    for (int k = 0; k < kPageNumberStyleCount; ++k) numberStyle_->addItem(FromUtf8(PageNumberStyleSample(k)));
    numberPosition_ = new QComboBox;
    for (int k = 0; k < kPageNumberPositionCount; ++k) numberPosition_->addItem(FromUtf8(PageNumberPositionName(k)));
    firstPage_ = CountBox(1, kMaxFirstPage);
    cellRows_ = CountBox(1, kMaxCellRows);
    cellColumns_ = CountBox(1, kMaxCellColumns);
    automatic_ = new QCheckBox(QStringLiteral("自动"));
    connect(automatic_, &QCheckBox::toggled, this, [this](bool on) {
        cellRows_->setEnabled(!on);
        cellColumns_->setEnabled(!on);
    });
    for (auto*& m : margins_) m = TenthsBox(kMaxMarginCm);
    fontButton_ = new QPushButton;
    connect(fontButton_, &QPushButton::clicked, this, [this] { ChooseFont(); });

    auto* texts = new QGridLayout;
    texts->addWidget(new QLabel(QStringLiteral("页  眉:")), 0, 0);
    texts->addWidget(header_, 0, 1);
    texts->addWidget(new QLabel(QStringLiteral("页  脚:")), 1, 0);
    texts->addWidget(footer_, 1, 1);
    auto* switches = new QHBoxLayout;
    for (auto* box : {headerOn_, footerOn_, numberOn_, tableOn_}) switches->addWidget(box);
    switches->addWidget(tableButton);
    switches->addStretch();
    auto* numbers = new QHBoxLayout;
    numbers->addWidget(new QLabel(QStringLiteral("格式")));
    numbers->addWidget(numberStyle_);
    numbers->addWidget(new QLabel(QStringLiteral("位置")));
    numbers->addWidget(numberPosition_);
    numbers->addWidget(new QLabel(QStringLiteral("起始页")));
    numbers->addWidget(firstPage_);
    numbers->addStretch();
    auto* grid = new QHBoxLayout;
    grid->addWidget(new QLabel(QStringLiteral("行数")));
    grid->addWidget(cellRows_);
    grid->addWidget(new QLabel(QStringLiteral("列数")));
    grid->addWidget(cellColumns_);
    grid->addWidget(automatic_);
    grid->addStretch();
    grid->addWidget(new QLabel(QStringLiteral("字体")));
    grid->addWidget(fontButton_);
    auto* marginBox = new QGroupBox(QStringLiteral(" 页边距（厘米） "));
    auto* marginRow = new QHBoxLayout(marginBox);
    const char* sides[] = {"上:", "下:", "左:", "右:"};
    for (int k = 0; k < 4; ++k) {
        marginRow->addWidget(new QLabel(QString::fromUtf8(sides[k])));
        marginRow->addWidget(margins_[k]);
    }
    auto* right = new QVBoxLayout;
    right->addLayout(texts);
    right->addLayout(switches);
    right->addLayout(numbers);
    right->addLayout(grid);
    right->addWidget(marginBox);
    right->addStretch();
    auto* left = new QVBoxLayout;
    left->addWidget(new QLabel(QStringLiteral("打印项:")));
    left->addWidget(items_);
    auto* layout = new QHBoxLayout(page);
    layout->addLayout(left);
    layout->addLayout(right, 1);
    return page;
}

void PrintSettingsDialog::Show(const PrintSettings& s) {
    for (int k = 0; k < kPrintItemCount; ++k)
        items_->item(k)->setCheckState(s.items[static_cast<std::size_t>(k)] ? Qt::Checked : Qt::Unchecked);
    items_->item(kPrintItemCount)->setCheckState(s.displayItem ? Qt::Checked : Qt::Unchecked);
    header_->setText(FromUtf8(s.HeaderUtf8()));
    footer_->setText(FromUtf8(s.FooterUtf8()));
    headerOn_->setChecked(s.printHeader != 0);
    footerOn_->setChecked(s.printFooter != 0);
    numberOn_->setChecked(s.printNumber != 0);
    tableOn_->setChecked(s.printTable != 0);
    numberStyle_->setCurrentIndex(s.numberStyle);
    numberPosition_->setCurrentIndex(s.numberPosition);
    firstPage_->setValue(s.firstPage);
    cellRows_->setValue(s.cellRows);
    cellColumns_->setValue(s.cellColumns);
    automatic_->setChecked(s.automatic != 0);
    cellRows_->setEnabled(!s.automatic);
    cellColumns_->setEnabled(!s.automatic);
    const float values[] = {s.topMarginCm, s.bottomMarginCm, s.leftMarginCm, s.rightMarginCm};
    for (int k = 0; k < 4; ++k) margins_[k]->setValue(values[k]);
    table_ = s;
    font_ = s.font;
    UpdateFontLabel();
}

void PrintSettingsDialog::UpdateFontLabel() {
    fontButton_->setText(QStringLiteral("%1 %2磅").arg(FromUtf8(font_.FaceUtf8())).arg(font_.Points()));
}

void PrintSettingsDialog::ChooseFont() {
    bool ok = false;
    QFont initial = render::PrintFontOf(font_);
    initial.setPointSize(font_.Points());
    const QFont chosen = QFontDialog::getFont(&ok, initial, this, QStringLiteral("字体"));
    if (!ok) return;
    const QString problem = FieldProblem(QStringLiteral("字体名称"), chosen.family(), 31);
    if (!problem.isEmpty()) {
        prompts_.Message(problem.toStdString());
        return;
    }
    StoreText(font_.face, chosen.family());
    font_.height = std::clamp(chosen.pointSize() > 0 ? chosen.pointSize() : 12, kMinFontPoints, kMaxFontPoints);
    font_.weight = chosen.bold() ? 700 : 400;
    font_.italic = chosen.italic() ? 1 : 0;
    font_.underline = chosen.underline() ? 1 : 0;
    UpdateFontLabel();
}

void PrintSettingsDialog::EditTable() {
    TableHeaderDialog dialog(table_, prompts_, this);
    if (dialog.exec() == QDialog::Accepted) ApplyTable(dialog);
}

void PrintSettingsDialog::ApplyTable(const TableHeaderDialog& dialog) { dialog.ApplyTo(table_); }

void PrintSettingsDialog::RestoreDefaults() {
    constexpr int kFallbackPaper = 6;  // the seventh entry, where no name says A4
    int paper = kFallbackPaper;
    for (int k = paperList_->count() - 1; k >= 0; --k)
        if (paperList_->itemText(k).contains(QStringLiteral("A4"), Qt::CaseInsensitive)) paper = k;
    paperList_->setCurrentIndex(std::min(paper, paperList_->count() - 1));
    orientation_->setCurrentIndex(0);
    Show(PrintSettings{});
}

bool PrintSettingsDialog::Check() {
    for (const auto& [what, field] : {std::pair{QStringLiteral("页眉文字"), header_}, std::pair{QStringLiteral("页脚文字"), footer_}}) {
        const QString problem = FieldProblem(what, field->text(), kPageTextSize - 1);
        if (!problem.isEmpty()) {
            prompts_.Message(problem.toStdString());
            field->setFocus();
            return false;
        }
    }
    const bool pdf = printerList_->currentData().toString().isEmpty();
    PrintSettings s = table_;
    for (int k = 0; k < kPrintItemCount; ++k)
        s.items[static_cast<std::size_t>(k)] = items_->item(k)->checkState() == Qt::Checked ? 1 : 0;
    s.displayItem = items_->item(kPrintItemCount)->checkState() == Qt::Checked ? 1 : 0;
    StoreText(s.headerText, header_->text());
    StoreText(s.footerText, footer_->text());
    s.printHeader = headerOn_->isChecked() ? 1 : 0;
    s.printFooter = footerOn_->isChecked() ? 1 : 0;
    s.printNumber = numberOn_->isChecked() ? 1 : 0;
    s.printTable = tableOn_->isChecked() ? 1 : 0;
    s.numberStyle = numberStyle_->currentIndex();
    s.numberPosition = numberPosition_->currentIndex();
    s.firstPage = firstPage_->value();
    s.cellRows = cellRows_->value();
    s.cellColumns = cellColumns_->value();
    s.automatic = automatic_->isChecked() ? 1 : 0;
    float* margins[] = {&s.topMarginCm, &s.bottomMarginCm, &s.leftMarginCm, &s.rightMarginCm};
    for (int k = 0; k < 4; ++k) *margins[k] = static_cast<float>(margins_[k]->value());
    s.font = font_;
    settings_ = s;
    printer_.printerName = pdf ? QString() : printerList_->currentData().toString();
    printer_.pdfPath = pdfPath_->text();
    printer_.paper = static_cast<QPageSize::PageSizeId>(paperList_->currentData().toInt());
    printer_.orientation = static_cast<QPageLayout::Orientation>(orientation_->currentData().toInt());
    return true;
}

void PrintSettingsDialog::accept() {
    if (Check()) QDialog::accept();
}

}  // namespace tav::ui
