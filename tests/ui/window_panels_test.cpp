// The panels around the display and the commands of built parts: list
// entries shown whole, the information table selecting in the list, mark
// lines in the analyses and the log window.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDockWidget>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTimer>
#include <filesystem>
#include <QTableWidget>
#include <QTest>
#include <QTreeWidget>

#include "app/app_shell.hpp"
#include "base/atomic_file.hpp"
#include "base/text_codec.hpp"
#include "base/text_field.hpp"
#include "tests/support/project_builder.hpp"
#include "tests/support/recording_prompts.hpp"
#include "tests/support/tool_runner.hpp"
#include "ui/analysis_view.hpp"
#include "ui/command_table.hpp"
#include "ui/custom_defect_dialog.hpp"
#include "ui/log_viewer.hpp"
#include "ui/main_window.hpp"
#include "ui/project_docks.hpp"

namespace tav {
namespace {

using testing::RecordingPrompts;
using testing::TempDir;

struct Panels {
    TempDir dir;
    RecordingPrompts prompts;
    ui::MainWindow window;
    Panels() {
        const std::string path = dir.File("demo.tav");
        WriteFileAtomically(path, testing::ProjectImage(testing::MakeHeader("unit", "project"),
                                                        {testing::WaveformPoint("P1-long-pile-number", 1024, 1),
                                                         testing::WaveformPoint("P1-long-pile-number", 1024, 2),
                                                         testing::WaveformPoint("P2", 1024, 3)},
                                                        {}));
        window.SetPrompts(&prompts);
        window.resize(1200, 800);
        window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
        EXPECT_TRUE(window.OpenPath(QString::fromStdString(path)));
        QApplication::processEvents();
    }
    QTreeWidget* Tree() { return window.findChild<ui::PointListDock*>()->Tree(); }
};

TEST(WindowPanels, ListEntriesAreShownWholeInANarrowPanel) {
    Panels p;
    auto* dock = p.window.findChild<ui::PointListDock*>();
    p.window.resizeDocks({dock}, {110}, Qt::Horizontal);
    QApplication::processEvents();
    QTreeWidgetItem* item = p.Tree()->topLevelItem(0)->child(0);
    const int needed = p.Tree()->fontMetrics().horizontalAdvance(item->text(0)) + 2 * p.Tree()->indentation();
    EXPECT_GE(p.Tree()->columnWidth(0), needed) << item->text(0).toStdString();
}

TEST(WindowPanels, ChoosingARowOfTheInformationTableChoosesTheTestPoint) {
    Panels p;
    auto* table = p.window.findChild<ui::InfoDock*>()->Table();
    table->setCurrentCell(2, 1);
    EXPECT_EQ(p.window.Document().currentIndex, 2);
    ASSERT_NE(p.Tree()->currentItem(), nullptr);
    EXPECT_TRUE(p.Tree()->currentItem()->text(0).startsWith(QStringLiteral("[3]")));
    // And the list's choice shows in the table.
    p.Tree()->setCurrentItem(p.Tree()->topLevelItem(0)->child(1));
    EXPECT_EQ(p.window.Document().currentIndex, 1);
    EXPECT_EQ(table->currentRow(), 1);
}

TEST(WindowPanels, MarkLineCommandMarksTheSpectrum) {
    Panels p;
    auto* type = p.window.findChild<QComboBox*>(QStringLiteral("analysisType"));
    type->setCurrentIndex(2);  // 频域分析
    QApplication::processEvents();
    auto* view = p.window.View();
    auto& model = view->Model();
    ASSERT_FALSE(model.Entries().empty());
    EXPECT_FALSE(p.window.Action(command_id::kMarkLine)->isEnabled()) << "no cursor yet";
    const auto& e = model.Entries()[0];
    QTest::mouseClick(view->Display()->viewport(), Qt::LeftButton, {},
                      QPoint(model.SampleToPixel(0, 40), (e.plot.top + e.plot.bottom) / 2 - view->Display()->ScrollY()));
    ASSERT_TRUE(p.window.Action(command_id::kMarkLine)->isEnabled());
    EXPECT_FALSE(p.window.Action(command_id::kPileHead)->isEnabled()) << "head and toe belong to the waveform";
    p.window.Action(command_id::kMarkLine)->trigger();
    EXPECT_EQ(p.window.Document().points[0].spectrumMarks.size(), 1u);
    EXPECT_TRUE(p.window.Document().Modified());
}

TEST(WindowPanels, LogWindowShowsTheLogOrWhyNot) {
    TempDir dir;
    const std::string log = dir.File("tav.log");
    const std::string line = "2026-12-07 10:00:00 打开文件==>打开文件完成\n";
    WriteFileAtomically(log, std::vector<std::uint8_t>(line.begin(), line.end()));
    ui::LogViewer viewer(QString::fromStdString(log));
    EXPECT_TRUE(viewer.Text()->toPlainText().contains(QStringLiteral("打开文件完成")));
    EXPECT_TRUE(viewer.Text()->isReadOnly());
    ui::LogViewer missing(QString::fromStdString(dir.File("none.log")));
    EXPECT_TRUE(missing.Text()->toPlainText().contains(QStringLiteral("无法读取")));
}

// A shell of its own in a private home, for the commands that keep files.
struct ShellHome {
    TempDir dir;
    AppShellOptions options;
    ShellHome() {
        options.executablePath = dir.File("tav_analyser");
        options.refreshDesktopDatabases = false;
        const std::string home = dir.path();
        options.environment = [home](std::string_view name) -> std::optional<std::string> {
            if (name == "HOME") return home;
            if (name == "TMPDIR") return home + "/tmp";
            return std::nullopt;
        };
        std::filesystem::create_directories(home + "/tmp");
    }
};

TEST(WindowPanels, EditRenamesACustomDefectInItsPlace) {
    ShellHome home;
    AppShell shell(home.options);
    ASSERT_TRUE(shell.Startup());
    TestPoint tp = testing::WaveformPoint("P1", 1024, 1);
    DefectMark custom;
    custom.type = 8;
    // Half way down the pile: loading places a defect by its depth.
    custom.depth = tp.pileLength / 2;
    custom.position = (tp.headIndex + tp.toeIndex) / 2;
    SetText(custom.name, "old");
    tp.defects.push_back(custom);
    const std::string path = home.dir.File("defect.tav");
    WriteFileAtomically(path, testing::ProjectImage(testing::MakeHeader("unit", "project"), {tp}, {}));
    RecordingPrompts prompts;
    ui::MainWindow window(&shell);
    window.SetPrompts(&prompts);
    window.resize(1200, 800);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    ASSERT_TRUE(window.OpenPath(QString::fromStdString(path)));
    QApplication::processEvents();
    EXPECT_FALSE(window.Action(command_id::kMarkEdit)->isEnabled()) << "nothing selected";

    auto* view = window.View();
    auto& model = view->Model();
    const auto& e = model.Entries()[0];
    const TestPoint& loaded = window.Document().points[0];
    ASSERT_EQ(loaded.defects.size(), 1u);
    const int at = loaded.defects[0].position;
    ASSERT_GT(model.SampleToPixel(0, at) - model.SampleToPixel(0, loaded.headIndex), 20) << "clear of the head mark";
    QTest::mouseClick(view->Display()->viewport(), Qt::LeftButton, {},
                      QPoint(model.SampleToPixel(0, at), (e.plot.top + e.plot.bottom) / 2 - view->Display()->ScrollY()));
    ASSERT_TRUE(window.Action(command_id::kMarkEdit)->isEnabled()) << "a custom defect is selected";

    QTimer::singleShot(50, [] {
        auto* dialog = qobject_cast<ui::CustomDefectDialog*>(QApplication::activeModalWidget());
        if (!dialog) return;
        for (auto* field : dialog->findChildren<QLineEdit*>()) {
            if (field->isReadOnly()) continue;
            if (field->maxLength() == 49) field->setText(QStringLiteral("  裂缝在此  "));
            else {
                field->clear();
                field->insert(QStringLiteral("新名称"));  // as typed: keyClicks takes only ASCII
            }
        }
        dialog->accept();
    });
    window.Action(command_id::kMarkEdit)->trigger();
    const auto& edited = window.Document().points[0].defects;
    ASSERT_EQ(edited.size(), 1u);
    EXPECT_EQ(Cp936ToUtf8(TextOf(edited[0].name)), "新名称");
    EXPECT_EQ(Cp936ToUtf8(TextOf(edited[0].description)), "裂缝在此");
    EXPECT_EQ(edited[0].position, at);
    EXPECT_TRUE(window.Document().Modified());
    shell.Shutdown();
}

TEST(WindowPanels, AboutShowsTheVersion) {
    ui::MainWindow window;
    QString text;
    QTimer::singleShot(50, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            text = box->text();
            box->accept();
        }
    });
    window.Run(command_id::kAppAbout);
    EXPECT_TRUE(text.contains(QStringLiteral("版本 4.0.1.0"))) << text.toStdString();
}

TEST(WindowPanels, TheStepDetailIsTitledAndOnlyShownForAChosenStep) {
    Panels p;
    p.window.Run(command_id::kIntegrate);  // an integration for the current test point
    auto* chain = p.window.findChild<ui::ChainDock*>();
    auto* detail = chain->findChild<QPlainTextEdit*>();
    ASSERT_NE(detail, nullptr);
    ASSERT_GE(chain->List()->count(), 1);
    chain->List()->setCurrentRow(-1);
    EXPECT_FALSE(detail->parentWidget()->isVisible()) << "no step chosen: nothing to show";
    chain->List()->setCurrentRow(0);
    EXPECT_TRUE(detail->parentWidget()->isVisible());
    EXPECT_EQ(chain->DetailTitle(), QStringLiteral("步骤参数：1. 积分"));
    // An integration has no parameters: the panel says so rather than staying blank.
    EXPECT_TRUE(detail->toPlainText().isEmpty());
    EXPECT_FALSE(detail->placeholderText().isEmpty());
}

}  // namespace
}  // namespace tav
