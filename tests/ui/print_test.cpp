// Printing from the window: the settings dialog keeps what is typed (or says
// why it cannot), and the window's pages are the pages tavtool prints.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QSpinBox>
#include <QTableWidget>
#include <array>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <set>
#include <QTest>

#include "base/atomic_file.hpp"
#include "tests/support/project_builder.hpp"
#include "tests/support/recording_prompts.hpp"
#include "tests/support/tool_runner.hpp"
#include "ui/analysis_view.hpp"
#include "ui/command_table.hpp"
#include "ui/main_window.hpp"
#include "ui/print_controller.hpp"
#include "ui/print_settings_dialog.hpp"

namespace tav {
namespace {

using testing::RecordingPrompts;
using testing::TempDir;

std::string Capture(const std::string& command) {
    std::string out;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        std::array<char, 4096> buffer;
        std::size_t n = 0;
        while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) out.append(buffer.data(), n);
        ::pclose(pipe);
    }
    return out;
}

bool HavePoppler() { return std::filesystem::exists("/usr/bin/pdfinfo") && std::filesystem::exists("/usr/bin/pdftotext"); }

int PdfPages(const std::string& pdf) {
    const std::string info = Capture("pdfinfo '" + pdf + "'");
    const auto at = info.find("Pages:");
    return at == std::string::npos ? -1 : std::stoi(info.substr(at + 6));
}

std::string PdfText(const std::string& pdf) { return Capture("pdftotext -enc UTF-8 '" + pdf + "' -"); }

std::string WriteProject(const TempDir& dir) {
    std::vector<TestPoint> points;
    for (int i = 0; i < 5; ++i) {
        points.push_back(testing::WaveformPoint("P" + std::to_string(i + 1), 512, static_cast<std::uint32_t>(i + 1)));
        points.back().checked = i % 2 == 0 ? 1 : 0;  // three ticked
    }
    const std::string path = dir.File("site.tav");
    EXPECT_TRUE(WriteFileAtomically(path, testing::ProjectImage(testing::MakeHeader("unit", "bridge"), points, {})));
    return path;
}

TEST(PrintSettingsDialog, KeepsTheSettingsAndSaysWhyATextCannotBeKept) {
    RecordingPrompts prompts;
    PrintSettings start;
    start.items = {0, 1, 0, 0, 1};
    start.numberStyle = 2;
    start.firstPage = 7;
    start.automatic = 1;
    start.leftMarginCm = 0.7f;
    ui::PrinterChoice printer;
    printer.paper = QPageSize::A3;
    printer.orientation = QPageLayout::Landscape;
    ui::PrintSettingsDialog dialog(start, printer, prompts, QStringLiteral("确定"));
    ASSERT_TRUE(dialog.Check());
    EXPECT_EQ(dialog.Settings().ToPayload().bytes, start.ToPayload().bytes);
    EXPECT_EQ(dialog.Printer().paper, QPageSize::A3);
    EXPECT_EQ(dialog.Printer().orientation, QPageLayout::Landscape);

    dialog.Items()->item(0)->setCheckState(Qt::Checked);
    dialog.Items()->item(5)->setCheckState(Qt::Checked);
    dialog.CellRows()->setValue(99);  // the box stops at its range
    dialog.Margin(0)->setValue(3.3);
    dialog.NumberPosition()->setCurrentIndex(1);
    dialog.HeaderField()->setText(QStringLiteral("桥梁桩基"));
    ASSERT_TRUE(dialog.Check());
    const PrintSettings& s = dialog.Settings();
    EXPECT_EQ(s.items[0], 1);
    EXPECT_EQ(s.displayItem, 1);
    EXPECT_EQ(s.cellRows, kMaxCellRows);
    EXPECT_FLOAT_EQ(s.topMarginCm, 3.3f);
    EXPECT_EQ(s.numberPosition, 1);
    EXPECT_EQ(s.HeaderUtf8(), "桥梁桩基");

    // 50 Chinese characters are 100 bytes: one too many for the field.
    dialog.HeaderField()->setText(QString(50, QChar(0x6865)));
    EXPECT_FALSE(dialog.Check());
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_NE(prompts.messages[0].find("页眉文字太长"), std::string::npos);
    EXPECT_EQ(dialog.Settings().HeaderUtf8(), "桥梁桩基");
    dialog.HeaderField()->setText(QStringLiteral("桩基"));
    dialog.FooterField()->setText(QString::fromUtf8("\xF0\x9F\x98\x80 检测"));
    EXPECT_FALSE(dialog.Check());
    EXPECT_NE(prompts.messages.back().find("页脚文字中有无法保存的字符"), std::string::npos);

    dialog.RestoreDefaults();
    dialog.FooterField()->setText(QStringLiteral("检测"));
    ASSERT_TRUE(dialog.Check());
    EXPECT_EQ(dialog.Printer().paper, QPageSize::A4);
    EXPECT_EQ(dialog.Printer().orientation, QPageLayout::Portrait);
    EXPECT_EQ(dialog.Settings().items, (std::array<std::int32_t, 5>{1, 0, 0, 0, 0}));
    EXPECT_EQ(dialog.Settings().cellRows, 4);
    // Without a printer the list still offers a PDF file.
    EXPECT_EQ(dialog.PrinterList()->itemText(dialog.PrinterList()->count() - 1), ui::PdfPrinterLabel());
}

TEST(PrintSettingsDialog, TableHeaderCellsAndTheirTexts) {
    RecordingPrompts prompts;
    ui::TableHeaderDialog table(PrintSettings{}, prompts);
    EXPECT_EQ(table.Grid()->rowCount(), 2);
    table.Rows()->setValue(3);
    table.Columns()->setValue(4);
    EXPECT_EQ(table.Grid()->rowCount(), 3);
    EXPECT_EQ(table.Grid()->columnCount(), 4);
    table.Grid()->setCurrentCell(2, 3);
    table.Kind()->setCurrentIndex(kTableCellKindCount);
    table.CellText()->setText(QStringLiteral("监理"));
    emit table.CellText()->textEdited(table.CellText()->text());
    table.Grid()->setCurrentCell(0, 1);
    table.Kind()->setCurrentIndex(kCellFileName);
    ASSERT_TRUE(table.Check());
    PrintSettings s;
    table.ApplyTo(s);
    EXPECT_EQ(s.tableRows, 3);
    EXPECT_EQ(s.tableColumns, 4);
    EXPECT_EQ(s.CellKind(2, 3), kCellCustom);
    EXPECT_EQ(s.CellTextUtf8(2, 3), "监理");
    EXPECT_EQ(s.CellKind(0, 1), kCellFileName);

    table.Grid()->setCurrentCell(1, 2);
    table.Kind()->setCurrentIndex(kTableCellKindCount);
    table.CellText()->setText(QString(25, QChar(0x6865)));  // 50 bytes
    emit table.CellText()->textEdited(table.CellText()->text());
    EXPECT_FALSE(table.Check());
    ASSERT_FALSE(prompts.messages.empty());
    EXPECT_NE(prompts.messages.back().find("第2行第3列的文字太长"), std::string::npos);
}

TEST(PrintFromWindow, PdfPagesAreTavtoolsPages) {
    if (!HavePoppler()) GTEST_SKIP() << "poppler-utils are not installed";
    TempDir dir;
    const std::string project = WriteProject(dir);
    ui::MainWindow window;
    RecordingPrompts prompts;
    window.SetPrompts(&prompts);
    EXPECT_FALSE(window.Action(command_id::kFilePrint)->isEnabled());
    ASSERT_TRUE(window.OpenPath(QString::fromStdString(project)));
    EXPECT_TRUE(window.Action(command_id::kFilePrint)->isEnabled());
    EXPECT_TRUE(window.Action(command_id::kFilePrintPreview)->isEnabled());

    auto& printing = *window.Printing();
    PrintSettings s;
    s.items = {1, 1, 0, 0, 0};
    s.cellRows = 2;
    ASSERT_TRUE(printing.StoreSettings(s));
    const std::string pdf = dir.File("window.pdf");
    ASSERT_TRUE(printing.PrintToPdf(QString::fromStdString(pdf)));
    EXPECT_EQ(PdfPages(pdf), 3);  // three ticked test points, two items, two cells a page

    const std::string settings = dir.File("QRV_TAV4_PRINT_001.ini");
    ASSERT_TRUE(WriteFileAtomically(settings, SettingsFiles::MakeImage(SettingsGroup::Print, s.ToPayload().bytes)));
    const std::string toolPdf = dir.File("tool.pdf");
    const auto r = testing::RunTavtool({"print", project, "-o", toolPdf, "--settings", settings});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(PdfPages(toolPdf), 3);
    // The same texts, the print date included.
    EXPECT_EQ(PdfText(pdf), PdfText(toolPdf));

    // The printer path (what the preview and a CUPS printer draw on).
    QPrinter printer(QPrinter::HighResolution);
    printing.SetUpPrinter(printer);
    const std::string printed = dir.File("printer.pdf");
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(printed));
    ASSERT_TRUE(printing.PrintOn(printer));
    EXPECT_EQ(PdfPages(printed), 3);
    EXPECT_NE(PdfText(printed).find("工程名称：bridge"), std::string::npos);

    // The preview shows the same pages before any paper is spent.
    QPrinter previewed(QPrinter::HighResolution);
    printing.SetUpPrinter(previewed);
    const auto preview = printing.MakePreview(previewed);
    ASSERT_NE(preview, nullptr);
    auto* pages = preview->findChild<QPrintPreviewWidget*>();
    ASSERT_NE(pages, nullptr);
    pages->updatePreview();
    EXPECT_EQ(pages->pageCount(), 3);
    EXPECT_TRUE(prompts.messages.empty());
}

TEST(PrintFromWindow, DisplayAreaCellsAndNothingToPrint) {
    if (!HavePoppler()) GTEST_SKIP() << "poppler-utils are not installed";
    TempDir dir;
    const std::string project = WriteProject(dir);
    ui::MainWindow window;
    RecordingPrompts prompts;
    window.SetPrompts(&prompts);
    ASSERT_TRUE(window.OpenPath(QString::fromStdString(project)));
    window.resize(1000, 800);
    window.View()->Model().bar.timeScope = kScopeAll;
    window.View()->Refresh();
    const auto shown = window.View()->Model().Entries().size();
    ASSERT_EQ(shown, 5u);

    auto& printing = *window.Printing();
    PrintSettings s;
    s.items = {0, 0, 0, 0, 0};
    s.displayItem = 1;
    printing.StoreSettings(s);
    const std::string pdf = dir.File("display.pdf");
    ASSERT_TRUE(printing.PrintToPdf(QString::fromStdString(pdf)));
    EXPECT_EQ(PdfPages(pdf), 2);  // five waveforms, four a page
    EXPECT_NE(PdfText(pdf).find("P5"), std::string::npos);

    s.displayItem = 0;
    printing.StoreSettings(s);
    EXPECT_FALSE(printing.PrintToPdf(QString::fromStdString(dir.File("none.pdf"))));
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0], NothingToPrintText());
    EXPECT_FALSE(std::filesystem::exists(dir.File("none.pdf")));
}

// A CUPS printer of the machine: a PDF printer (cups-pdf) whose output can
// be read back. Skipped where no such queue is set up.
struct CupsPdfQueue {
    QString name;
    std::filesystem::path folder;
};

std::optional<CupsPdfQueue> FindCupsPdfQueue() {
    const std::string devices = Capture("lpstat -v 2>/dev/null");
    const auto uri = devices.find(": cups-pdf:/");
    if (uri == std::string::npos) return std::nullopt;
    const auto start = devices.rfind("device for ", uri);
    if (start == std::string::npos) return std::nullopt;
    CupsPdfQueue queue;
    queue.name = QString::fromStdString(devices.substr(start + 11, uri - start - 11));
    // Where cups-pdf puts the jobs of this user.
    std::string out = "${HOME}/PDF";
    for (const auto& line : QString::fromStdString(Capture("cat /etc/cups/cups-pdf.conf 2>/dev/null")).split('\n'))
        if (line.startsWith(QStringLiteral("Out "))) out = line.mid(4).trimmed().toStdString();
    const char* home = std::getenv("HOME");
    if (const auto at = out.find("${HOME}"); at != std::string::npos) out.replace(at, 7, home ? home : "");
    queue.folder = out;
    return queue;
}

TEST(PrintFromWindow, CupsPdfPrinterReceivesThePages) {
    const auto queue = FindCupsPdfQueue();
    if (!queue || !HavePoppler()) GTEST_SKIP() << "no cups-pdf printer queue on this machine";
    std::error_code ec;
    std::filesystem::create_directories(queue->folder, ec);
    std::set<std::filesystem::path> before;
    for (const auto& f : std::filesystem::directory_iterator(queue->folder, ec)) before.insert(f.path());

    TempDir dir;
    const std::string project = WriteProject(dir);
    ui::MainWindow window;
    RecordingPrompts prompts;
    window.SetPrompts(&prompts);
    ASSERT_TRUE(window.OpenPath(QString::fromStdString(project)));
    auto& printing = *window.Printing();
    PrintSettings s;
    s.items = {1, 1, 0, 0, 0};
    s.cellRows = 2;
    printing.StoreSettings(s);
    printing.Printer().printerName = queue->name;
    QPrinter printer(QPrinter::HighResolution);
    printing.SetUpPrinter(printer);
    EXPECT_EQ(printer.outputFormat(), QPrinter::NativeFormat);
    ASSERT_TRUE(printing.PrintOn(printer));

    // The queue turns the job into a file of its own a little later.
    std::filesystem::path printed;
    for (int wait = 0; wait < 120 && printed.empty(); ++wait) {
        QTest::qWait(500);
        for (const auto& f : std::filesystem::directory_iterator(queue->folder, ec))
            if (!before.count(f.path()) && f.path().extension() == ".pdf" && PdfPages(f.path().string()) > 0)
                printed = f.path();
    }
    ASSERT_FALSE(printed.empty()) << "nothing arrived in " << queue->folder;
    EXPECT_EQ(PdfPages(printed.string()), 3);
    std::filesystem::remove(printed, ec);
}

}  // namespace
}  // namespace tav
