// The print settings dialog: the tab " 打印" chooses the printer (or a PDF
// file, always offered, so a machine without printers still gets its pages),
// the paper and its orientation; the tab " 页面" holds the page settings, with
// the sub-dialog "定制表头" for the table header block. "默认" puts back A4
// upright and the default page settings.
#pragma once

#include <QDialog>
#include <QPageLayout>
#include <QPageSize>
#include <QString>

#include "output/print_settings.hpp"

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSpinBox;
class QTableWidget;

namespace tav {
class UserPrompts;
}

namespace tav::ui {

// Where the pages go.
struct PrinterChoice {
    QString printerName;  // empty: a PDF file
    QString pdfPath;
    QPageSize::PageSizeId paper = QPageSize::A4;
    QPageLayout::Orientation orientation = QPageLayout::Portrait;

    bool ToPdf() const { return printerName.isEmpty(); }
    // The sheet as it lies, in mm.
    QSizeF SheetMm() const;
};

// The label of the PDF entry in the printer list.
QString PdfPrinterLabel();

// Why a typed text cannot be stored in a field of maxBytes code page 936
// bytes (too long, or characters the code page lacks); empty when it can.
QString FieldProblem(const QString& what, const QString& text, int maxBytes);

class TableHeaderDialog : public QDialog {
    Q_OBJECT
public:
    TableHeaderDialog(const PrintSettings& settings, UserPrompts& prompts, QWidget* parent = nullptr);
    // The table fields of settings replaced by the dialog's (after OK).
    void ApplyTo(PrintSettings& settings) const;
    bool Check();
    void accept() override;

    QSpinBox* Rows() const { return rows_; }
    QSpinBox* Columns() const { return columns_; }
    QTableWidget* Grid() const { return grid_; }
    QComboBox* Kind() const { return kind_; }
    QLineEdit* CellText() const { return text_; }

private:
    void Reshape();
    void ShowCell();
    void StoreCell();

    PrintSettings table_;
    UserPrompts& prompts_;
    QSpinBox* rows_;
    QSpinBox* columns_;
    QDoubleSpinBox* rowHeight_;
    QCheckBox* gridLines_;
    QTableWidget* grid_;
    QComboBox* kind_;
    QLineEdit* text_;
    bool showing_ = false;
};

class PrintSettingsDialog : public QDialog {
    Q_OBJECT
public:
    // okText: "打印" when the dialog starts a print, "确定" for the settings alone.
    PrintSettingsDialog(const PrintSettings& settings, const PrinterChoice& printer, UserPrompts& prompts,
                        const QString& okText, QWidget* parent = nullptr);

    const PrintSettings& Settings() const { return settings_; }
    const PrinterChoice& Printer() const { return printer_; }
    // OK's checks; true when the dialog may close (the results are then set).
    bool Check();
    void accept() override;
    // "默认".
    void RestoreDefaults();
    // "定制表头" with its result taken over (tests call ApplyTable directly).
    void EditTable();
    void ApplyTable(const TableHeaderDialog& dialog);

    QComboBox* PrinterList() const { return printerList_; }
    QLineEdit* PdfPath() const { return pdfPath_; }
    QComboBox* PaperList() const { return paperList_; }
    QComboBox* OrientationList() const { return orientation_; }
    QListWidget* Items() const { return items_; }
    QLineEdit* HeaderField() const { return header_; }
    QLineEdit* FooterField() const { return footer_; }
    QComboBox* NumberStyle() const { return numberStyle_; }
    QComboBox* NumberPosition() const { return numberPosition_; }
    QSpinBox* FirstPage() const { return firstPage_; }
    QSpinBox* CellRows() const { return cellRows_; }
    QSpinBox* CellColumns() const { return cellColumns_; }
    QCheckBox* Automatic() const { return automatic_; }
    QDoubleSpinBox* Margin(int side) const { return margins_[side]; }  // 0 top, 1 bottom, 2 left, 3 right

private:
    QWidget* BuildPrinterTab();
    QWidget* BuildPageTab();
    void Show(const PrintSettings& s);
    void ChooseFont();
    void UpdateFontLabel();

    PrintSettings settings_;
    PrintSettings table_;  // the table block as "定制表头" left it
    PrintFont font_;
    PrinterChoice printer_;
    UserPrompts& prompts_;
    QComboBox* printerList_ = nullptr;
    QLineEdit* pdfPath_ = nullptr;
    QComboBox* paperList_ = nullptr;
    QComboBox* orientation_ = nullptr;
    QListWidget* items_ = nullptr;
    QLineEdit* header_ = nullptr;
    QLineEdit* footer_ = nullptr;
    QCheckBox* headerOn_ = nullptr;
    QCheckBox* footerOn_ = nullptr;
    QCheckBox* numberOn_ = nullptr;
    QCheckBox* tableOn_ = nullptr;
    QComboBox* numberStyle_ = nullptr;
    QComboBox* numberPosition_ = nullptr;
    QSpinBox* firstPage_ = nullptr;
    QSpinBox* cellRows_ = nullptr;
    QSpinBox* cellColumns_ = nullptr;
    QCheckBox* automatic_ = nullptr;
    QDoubleSpinBox* margins_[4] = {};
    QPushButton* fontButton_ = nullptr;
};

}  // namespace tav::ui
