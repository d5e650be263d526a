#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <filesystem>
#include <QLineEdit>
#include <cmath>
#include <QTest>
#include <QTreeWidget>

#include "base/atomic_file.hpp"
#include "processing/command_ids.hpp"
#include "tests/support/old_layout_writer.hpp"
#include "tests/support/project_builder.hpp"
#include "tests/support/recording_prompts.hpp"
#include "tests/support/tool_runner.hpp"
#include "ui/analysis_view.hpp"
#include "ui/display_settings_dialog.hpp"
#include "ui/main_window.hpp"
#include "ui/merge_dialog.hpp"
#include "ui/project_docks.hpp"

namespace tav {
namespace {

using testing::RecordingPrompts;

using testing::TempDir;


std::string WriteDemo(const TempDir& dir) {
    const std::string path = dir.File("demo.tav");
    WriteFileAtomically(path, testing::ProjectImage(testing::MakeHeader("unit", "project"),
                                                    {testing::WaveformPoint("P1", 256, 1),
                                                     testing::WaveformPoint("P1", 256, 2),
                                                     testing::WaveformPoint("P2", 256, 3)},
                                                    {}));
    return path;
}

TEST(MainWindow, OpeningAMissingFileSaysSo) {
    ui::MainWindow window;
    RecordingPrompts prompts;
    window.SetPrompts(&prompts);
    EXPECT_FALSE(window.OpenPath(QStringLiteral("/nonexistent/x.tav")));
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0], "文件路径错误");
}

TEST(MainWindow, CommandsCarryTheirTexts) {
    ui::MainWindow window;
    QAction* filter = window.Action(command_id::kFilter);
    ASSERT_NE(filter, nullptr);
    EXPECT_EQ(filter->statusTip(), QStringLiteral("对波形数据进行数字滤波处理"));
    EXPECT_EQ(filter->toolTip(), QStringLiteral("滤波"));
    EXPECT_FALSE(filter->isEnabled()) << "no test point shown: nothing to filter";
    EXPECT_EQ(window.Action(command_id::kUndoLast)->text(), QStringLiteral("撤销[波形处理]"));
}

TEST(MainWindow, IntegrationFromTheMenuChangesChainAndSamples) {
    TempDir dir;
    ui::MainWindow window;
    ASSERT_TRUE(window.OpenPath(QString::fromStdString(WriteDemo(dir))));
    EXPECT_TRUE(window.windowTitle().contains(QStringLiteral("demo.tav")));
    auto& doc = window.Document();
    const auto before = doc.points[0].samples;
    ASSERT_TRUE(window.Action(command_id::kIntegrate)->isEnabled());
    window.Action(command_id::kIntegrate)->trigger();
    ASSERT_EQ(doc.points[0].stepCount(), 1);
    EXPECT_EQ(doc.points[0].steps[0].opType, kOpIntegrate);
    EXPECT_NE(doc.points[0].samples, before);
    EXPECT_EQ(doc.points[1].stepCount(), 0) << "scope: the current waveform";
    EXPECT_TRUE(doc.Modified());

    window.Action(command_id::kReverse)->trigger();
    EXPECT_EQ(doc.points[0].stepCount(), 2);
    window.Action(command_id::kUndoLast)->trigger();  // undo the last step
    EXPECT_EQ(doc.points[0].stepCount(), 1);
    EXPECT_EQ(doc.points[0].steps[0].opType, kOpIntegrate);
}

TEST(MainWindow, TicksAndSavingTwiceGivesTheSameFile) {
    TempDir dir;
    ui::MainWindow window;
    ASSERT_TRUE(window.OpenPath(QString::fromStdString(WriteDemo(dir))));
    auto* tree = window.findChild<ui::PointListDock*>()->Tree();
    QTreeWidgetItem* second = tree->topLevelItem(0)->child(1);
    second->setCheckState(0, Qt::Checked);
    QApplication::processEvents();
    EXPECT_EQ(window.Document().points[1].checked, 1);
    EXPECT_EQ(window.Document().checkedIndices, (std::vector<std::int32_t>{1}));

    const QString a = QString::fromStdString(dir.File("a.tav"));
    const QString b = QString::fromStdString(dir.File("b.tav"));
    ASSERT_TRUE(window.SaveTo(a));
    ASSERT_TRUE(window.SaveTo(b));
    EXPECT_EQ(*ReadWholeFile(a.toStdString()), *ReadWholeFile(b.toStdString()));
    EXPECT_FALSE(window.Document().Modified());

    ui::MainWindow again;
    ASSERT_TRUE(again.OpenPath(a));
    EXPECT_EQ(again.Document().checkedIndices, (std::vector<std::int32_t>{1}));
}

TEST(MainWindow, ClickThenHeadMovesTheHeadAndRecomputesTheSpeed) {
    TempDir dir;
    ui::MainWindow window;
    RecordingPrompts prompts;
    window.SetPrompts(&prompts);
    window.resize(1200, 800);
    window.show();
    ASSERT_TRUE(window.OpenPath(QString::fromStdString(WriteDemo(dir))));
    QApplication::processEvents();
    auto& tp = window.Document().points[0];
    ui::CTAV_AnalyserView* view = window.View();
    auto& model = view->Model();
    ASSERT_FALSE(model.Entries().empty());
    EXPECT_FALSE(window.Action(command_id::kPileHead)->isEnabled()) << "no cursor yet";
    const auto& entry = model.Entries()[0];
    const int y = (entry.plot.top + entry.plot.bottom) / 2;
    auto click = [&](int sample) {
        QTest::mouseClick(view->Display()->viewport(), Qt::LeftButton, {}, QPoint(model.SampleToPixel(0, sample), y));
    };
    click(20);
    ASSERT_TRUE(view->Cursor().has_value());
    const int at = *view->Cursor();
    EXPECT_NEAR(at, 20, 2);
    ASSERT_TRUE(window.Action(command_id::kPileHead)->isEnabled());
    window.Action(command_id::kPileHead)->trigger();
    EXPECT_EQ(tp.headIndex, at);
    EXPECT_EQ(tp.headValid, 1);
    // The length stands, the speed follows from the head-to-toe time.
    EXPECT_EQ(tp.waveSpeed, static_cast<int>(tp.pileLength / ((tp.toeIndex - at) * 20.0 * 1e-6 * 0.5)));
    EXPECT_TRUE(window.Document().Modified());

    // A defect at the toe is refused with the system's message.
    click(tp.toeIndex);
    ASSERT_TRUE(view->Cursor().has_value());
    if (*view->Cursor() >= tp.toeIndex) {
        window.Action(command_id::kNeckGrade2)->trigger();
        ASSERT_FALSE(prompts.messages.empty());
        EXPECT_EQ(prompts.messages.back(), "缺陷位置不能超出桩体！");
    }
    click(120);
    window.Action(command_id::kNeckGrade2)->trigger();
    ASSERT_EQ(tp.defectCount(), 1);
    EXPECT_EQ(tp.defects[0].type, 2);
}

}  // namespace
}  // namespace tav

namespace tav {
namespace {

TEST(DisplaySettingsDialog, CorrectsTheLimitsAndKeepsTheChoices) {
    ShellProfile current;
    current.wheelScale = false;
    ui::DisplaySettingsDialog dialog(current);
    dialog.LowField()->setText(QStringLiteral("1500"));
    dialog.HighField()->setText(QStringLiteral("7000"));
    ASSERT_TRUE(dialog.Check());
    EXPECT_EQ(dialog.LowField()->text(), QStringLiteral("2000"));
    EXPECT_EQ(dialog.HighField()->text(), QStringLiteral("6000"));
    EXPECT_EQ(dialog.Result().speedLow, 2000);
    EXPECT_EQ(dialog.Result().speedHigh, 6000);
    EXPECT_FALSE(dialog.Result().wheelScale);
    EXPECT_TRUE(dialog.Result().fastSwitch);
}

}  // namespace
}  // namespace tav

namespace tav {
namespace {

TEST(MainWindow, StartsOnTheFileGivenOnTheCommandLine) {
    TempDir dir;
    const std::string project = WriteDemo(dir);
    AppShellOptions options;
    options.arguments = {"  " + project + " "};
    options.executablePath = dir.File("tav_analyser");
    options.refreshDesktopDatabases = false;
    const std::string home = dir.path();
    options.environment = [home](std::string_view name) -> std::optional<std::string> {
        if (name == "HOME") return home;
        if (name == "TMPDIR") return home + "/tmp";
        return std::nullopt;
    };
    std::filesystem::create_directories(home + "/tmp");
    AppShell shell(options);
    ASSERT_TRUE(shell.Startup());
    ui::MainWindow window(&shell);
    ASSERT_EQ(shell.FileArgument(), project);
    ASSERT_TRUE(window.OpenPath(QString::fromStdString(shell.FileArgument())));
    EXPECT_EQ(window.Document().PointCount(), 3);
    window.Run(command_id::kScopeAll);  // the scope survives in the view settings file
    shell.Shutdown();

    const auto log = ReadWholeFile(shell.LogFilePath());
    ASSERT_TRUE(log.has_value());
    const std::string text(log->begin(), log->end());
    EXPECT_NE(text.find("软件启动"), std::string::npos);
    EXPECT_NE(text.find("打开文件==>打开文件完成"), std::string::npos);
    EXPECT_NE(text.find("软件退出"), std::string::npos);

    AppShell again(options);
    ASSERT_TRUE(again.Startup());
    DisplaySettings display;
    ASSERT_TRUE(again.Settings().Read(display));
    EXPECT_EQ(display.operationScope, 1);
}

}  // namespace
}  // namespace tav

namespace tav {
namespace {

TEST(MainWindow, ParameterBarEditsTheWaveSpeed) {
    TempDir dir;
    ui::MainWindow window;
    RecordingPrompts prompts;
    window.SetPrompts(&prompts);
    ASSERT_TRUE(window.OpenPath(QString::fromStdString(WriteDemo(dir))));
    auto* speed = window.findChild<QLineEdit*>(QStringLiteral("speedField"));
    auto* length = window.findChild<QLineEdit*>(QStringLiteral("lengthField"));
    ASSERT_NE(speed, nullptr);
    EXPECT_EQ(speed->text(), QStringLiteral("4000"));
    EXPECT_EQ(length->text(), QStringLiteral("12"));
    auto& tp = window.Document().points[0];
    speed->setText(QStringLiteral("3000"));
    speed->setModified(true);
    emit speed->editingFinished();
    EXPECT_EQ(tp.waveSpeed, 3000);
    // The toe follows from the length: head + 2 L / (V Δt).
    EXPECT_EQ(tp.toeIndex, std::min(40 + static_cast<int>(2.0 * 12.0 * 1e6 / (3000.0 * 20.0)), 255));
    EXPECT_TRUE(window.Document().Modified());
}

}  // namespace
}  // namespace tav

namespace tav {
namespace {

TEST(MergeDialog, CheckingAFolderChoosesItsFilesAndMerges) {
    TempDir dir;
    const std::string pile = dir.path() + "/单位/工地/P1";
    std::filesystem::create_directories(pile);
    testing::OldPoint p;
    p.samples = testing::PulseSamples(256, 30, 100.0f, 200, 20.0f);
    for (const char* name : {"/a.PID", "/b.pid"}) WriteFileAtomically(pile + name, testing::InstrumentFileBytes(p));
    std::filesystem::create_directories(dir.path() + "/out");

    ui::MergeDialog dialog({dir.path()});
    QTreeWidgetItem* top = dialog.Tree()->topLevelItem(0);
    ASSERT_NE(top, nullptr);
    top->setExpanded(true);  // a drive lists its folders when opened; checking one chooses below it
    QTreeWidgetItem* unit = nullptr;
    for (int i = 0; i < top->childCount(); ++i)
        if (top->child(i)->text(0) == QStringLiteral("单位")) unit = top->child(i);
    ASSERT_NE(unit, nullptr);
    unit->setCheckState(0, Qt::Checked);
    EXPECT_EQ(dialog.Selection().Chosen().size(), 2u);
    dialog.SaveFolderField()->setText(QString::fromStdString(dir.path() + "/out/"));
    dialog.PressMerge();
    ASSERT_TRUE(dialog.Report().has_value());
    EXPECT_EQ(dialog.Report()->message, "成功合并2条数据。");
    ASSERT_EQ(dialog.Report()->written.size(), 1u);

    ui::MainWindow window;
    ASSERT_TRUE(window.OpenPath(QString::fromStdString(dialog.Report()->written[0])));
    EXPECT_EQ(window.Document().PointCount(), 2);
}

}  // namespace
}  // namespace tav
