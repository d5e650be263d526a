#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <functional>

#include "base/atomic_file.hpp"
#include "tests/output/report_project.hpp"
#include "tests/support/recording_prompts.hpp"
#include "tests/support/synth_project.hpp"
#include "tests/support/tool_runner.hpp"
#include "tests/support/zip_reader.hpp"
#include "ui/command_table.hpp"
#include "ui/main_window.hpp"
#include "ui/report_dialogs.hpp"

namespace tav {
namespace {

using testing::RecordingPrompts;
using testing::ReportPoint;
using testing::TempDir;

struct ReportWindow {
    TempDir dir;
    ui::MainWindow window;
    RecordingPrompts prompts;
    std::vector<QString> opened;

    explicit ReportWindow(bool tick = true) {
        const std::string project = dir.File("p.tav");
        std::vector<TestPoint> points{ReportPoint("A1", {}, tick), ReportPoint("B2", {{1, 2.0f, "缩径"}}, tick)};
        WriteFileAtomically(project, testing::ProjectImage(testing::MakeHeader(Utf8ToCp936("某检测公司"), Utf8ToCp936("某大楼")), points, {}));
        window.SetPrompts(&prompts);
        window.SetOpener([this](const QString& p) { opened.push_back(p); });
        EXPECT_TRUE(window.OpenPath(QString::fromStdString(project)));
    }
};

TEST(SpreadsheetReportCommand, WritesAFreshWorkbookAndOpensIt) {
    ReportWindow w;
    w.window.Run(command_id::kSpreadsheetReport);
    w.window.Run(command_id::kSpreadsheetReport);
    EXPECT_TRUE(w.prompts.messages.empty());
    ASSERT_EQ(w.opened.size(), 2u);
    // The workbook opened first is not written over by the second.
    EXPECT_NE(w.opened[0], w.opened[1]);
    for (const auto& path : w.opened) {
        const auto strings = testing::ZipMember(path.toStdString(), "xl/sharedStrings.xml");
        ASSERT_TRUE(strings) << path.toStdString();
        EXPECT_NE(strings->find("(1)深度2.0m 缩径  "), std::string::npos);
        std::filesystem::remove(path.toStdString());
    }
}

TEST(SpreadsheetReportCommand, AsksForCheckedPointsFirst) {
    ReportWindow w(false);
    w.window.Run(command_id::kSpreadsheetReport);
    EXPECT_TRUE(w.opened.empty());
    EXPECT_EQ(w.prompts.messages, std::vector<std::string>{"请选择要生成报表的测点"});
}

}  // namespace
}  // namespace tav

namespace tav {
namespace {

bool WaitUntil(const std::function<bool()>& done, int milliseconds = 20000) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < milliseconds) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

TEST(DocumentReportCommand, AsksForTheFactsThenBuildsAndOpensTheDocument) {
    ReportWindow w;
    bool asked = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<ui::ReportInfoDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        asked = true;
        EXPECT_EQ(dialog->windowTitle(), "工程信息");
        EXPECT_EQ(dialog->Field("工程名称")->text(), "某大楼");
        EXPECT_EQ(dialog->Field("检测单位")->text(), "某检测公司");
        ASSERT_NE(dialog->Field("总 桩 数"), nullptr);
        EXPECT_EQ(dialog->StandardList()->count(), 4);
        dialog->Field("报告编号")->setText("R-1");
        dialog->Field("总 桩 数")->setText("10");
        dialog->StandardList()->setCurrentIndex(2);
        dialog->accept();
    });
    w.window.Run(command_id::kDocumentReport);
    ASSERT_TRUE(asked);
    EXPECT_TRUE(w.prompts.messages.empty()) << w.prompts.messages.front();
    ASSERT_EQ(w.opened.size(), 1u);
    const std::string document = w.opened[0].toStdString();
    EXPECT_TRUE(document.ends_with("/Quorvane/TAV.docx")) << document;
    const auto body = testing::ZipMember(document, "word/document.xml");
    ASSERT_TRUE(body);
    EXPECT_NE(body->find("《铁路工程基桩检测技术规程》TB10218-2019"), std::string::npos);
    EXPECT_NE(body->find("工程总桩数10根"), std::string::npos);
    EXPECT_NE(testing::ZipMember(document, "word/media/TAV2.bmp"), std::nullopt);
    // The work folder keeps the data file and the pictures, private to the user.
    const auto folder = std::filesystem::path(document).parent_path();
    EXPECT_TRUE(std::filesystem::exists(folder / "TAV.gwx"));
    EXPECT_TRUE(std::filesystem::exists(folder / "TAV2.bmp"));
    EXPECT_EQ(std::filesystem::status(folder).permissions() & std::filesystem::perms::all, std::filesystem::perms::owner_all);
}

// The report of a synthetic site with the signal matching pictures chosen in
// "工程信息"; cancel: press 取消 as soon as the fits' progress shows.
void RunMatchReport(ui::MainWindow& window, bool cancel) {
    QTimer::singleShot(0, [&window, cancel] {
        auto* dialog = qobject_cast<ui::ReportInfoDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        EXPECT_FALSE(dialog->MatchBox()->isChecked()) << "off unless chosen";
        dialog->MatchBox()->setChecked(true);
        if (cancel)
            QTimer::singleShot(0, [] {
                auto* progress = qobject_cast<QProgressDialog*>(QApplication::activeModalWidget());
                ASSERT_NE(progress, nullptr);
                EXPECT_EQ(progress->windowTitle(), "信号拟合");
                progress->cancel();
            });
        dialog->accept();
    });
    window.Run(command_id::kDocumentReport);
}

TEST(DocumentReportCommand, SignalMatchingPicturesFollowTheirCurvesWhenChosen) {
    TempDir dir;
    const std::string project = dir.File("site.tav");
    testing::WriteSynthProject(project, 2, {1});  // P1 No.2 has no pile length
    ui::MainWindow window;
    RecordingPrompts prompts;
    window.SetPrompts(&prompts);
    std::vector<QString> opened;
    window.SetOpener([&](const QString& p) { opened.push_back(p); });
    ASSERT_TRUE(window.OpenPath(QString::fromStdString(project)));

    RunMatchReport(window, false);
    ASSERT_EQ(opened.size(), 1u);
    const auto names = testing::ZipMemberNames(opened[0].toStdString());
    EXPECT_EQ(std::count_if(names.begin(), names.end(), [](const auto& n) { return n.starts_with("word/media/"); }), 7);
    EXPECT_EQ(prompts.messages, std::vector<std::string>{"以下测点未能信号拟合，没有拟合图：\nP1 No.2：桩长不大于0，无法拟合"});

    // Cancelling the fits makes no report at all.
    prompts.messages.clear();
    RunMatchReport(window, true);
    EXPECT_EQ(opened.size(), 1u);
    EXPECT_TRUE(prompts.messages.empty());
}

TEST(DocumentReportCommand, ChecksBeforeAsking) {
    ReportWindow none(false);
    none.window.Run(command_id::kDocumentReport);
    EXPECT_EQ(none.prompts.messages, std::vector<std::string>{"先请选择要生成报告的测点"});
}

TEST(ReportInfoDialog, TakesOnlyAWholeTotal) {
    ReportFields initial;
    initial.projectName = "甲";
    initial.standard = 3;
    ui::ReportInfoDialog dialog(initial);
    EXPECT_EQ(dialog.StandardList()->currentIndex(), 3);
    auto* total = dialog.Field("总桩数");
    ASSERT_NE(total, nullptr);
    QTest::keyClicks(total, "1a2");
    EXPECT_EQ(total->text(), "12");
    dialog.Field("检测人员")->setText("  李四 ");
    const auto fields = dialog.Fields();
    EXPECT_EQ(fields.totalPiles, "12");
    EXPECT_EQ(fields.personnel, "李四");
    EXPECT_EQ(fields.projectName, "甲");
    EXPECT_EQ(fields.standard, 3);
}

TEST(ReportProgressDialog, ShowsTheFailureInPlaceOfTheProgress) {
    TempDir dir;
    ui::ReportProgressDialog dialog(dir.File("libmissing.so"), dir.File("TAV.gwx"), dir.File("TAV.docx"), 44);
    EXPECT_EQ(dialog.windowTitle(), "请稍候");
    EXPECT_EQ(dialog.ProgressText(), "正在生成报告，Word初始化……");
    dialog.show();
    ASSERT_TRUE(WaitUntil([&] { return dialog.OkButton()->isVisible(); }));
    EXPECT_EQ(dialog.CurrentState(), ui::ReportProgressDialog::Failed);
    EXPECT_EQ(dialog.ProgressText(), "未找到动态链接库");
    EXPECT_EQ(dialog.windowTitle(), "生成Word报告失败");
    EXPECT_EQ(dialog.OkButton()->text(), "确  定");
}

}  // namespace
}  // namespace tav
