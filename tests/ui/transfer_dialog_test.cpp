#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QTreeWidget>
#include <filesystem>

#include "base/atomic_file.hpp"
#include "base/text_codec.hpp"
#include "model/document.hpp"
#include "processing/project_loading.hpp"
#include "tests/support/project_builder.hpp"
#include "tests/support/recording_prompts.hpp"
#include "tests/support/tool_runner.hpp"
#include "transfer/simulated_instrument.hpp"
#include "ui/transfer_dialog.hpp"

namespace tav::ui {
namespace {

namespace fs = std::filesystem;
using testing::RecordingPrompts;
using testing::TempDir;

void MakeStorage(const std::string& folder, int projects, int pointsEach) {
    std::vector<ProjectHeader> headers;
    std::vector<std::vector<TestPoint>> points;
    for (int p = 0; p < projects; ++p) {
        headers.push_back(testing::MakeHeader("单位", Utf8ToCp936("工程" + std::to_string(p + 1))));
        points.emplace_back();
        for (int i = 0; i < pointsEach; ++i)
            points.back().push_back(testing::WaveformPoint("P" + std::to_string(i + 1), 1024, static_cast<unsigned>(i)));
    }
    std::vector<StorageProject> list;
    for (int p = 0; p < projects; ++p) list.push_back({&headers[static_cast<std::size_t>(p)], points[static_cast<std::size_t>(p)]});
    ASSERT_TRUE(WriteInstrumentStorage(folder, list));
}

// Lets the worker's news arrive until `done` holds (or ten seconds pass).
template <typename Done>
bool Pump(Done done) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < 10000) QApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

TEST(TransferDialog, ProbesListsQueuesAndConvertsFromTheSimulator) {
    TempDir dir;
    MakeStorage(dir.File("sd"), 3, 2);
    RecordingPrompts prompts;
    TransferDialog dialog(std::make_unique<SimulatedInstrument>(dir.File("sd")), QString::fromStdString(dir.File("out/")),
                          prompts);
    dialog.SetOpenFolderOnClose(false);
    EXPECT_EQ(dialog.StatusLine()->text(), QStringLiteral("尚未连接。"));

    dialog.Tick();
    auto* root = dialog.InstrumentTree()->topLevelItem(0);
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->text(0), QStringLiteral("MX-TAV(N)"));
    ASSERT_EQ(root->childCount(), 1);
    EXPECT_EQ(root->child(0)->text(0), QStringLiteral("DAT"));
    ASSERT_EQ(root->child(0)->childCount(), 3);
    EXPECT_EQ(dialog.StatusLine()->text(), QStringLiteral("C:\\DAT"));
    ASSERT_EQ(dialog.RangeList()->topLevelItemCount(), 3);
    EXPECT_EQ(dialog.RangeList()->topLevelItem(1)->text(0), QStringLiteral("工程2"));
    EXPECT_EQ(dialog.RangeList()->topLevelItem(1)->text(1), QStringLiteral("2"));
    EXPECT_EQ(dialog.RangeList()->topLevelItem(1)->text(3), QStringLiteral("工程2.tav"));

    dialog.PressStart();
    EXPECT_EQ(prompts.messages, std::vector<std::string>{"请选择所要传输的文件!"});

    // A double click on a project in the tree queues it; then the rest.
    emit dialog.InstrumentTree()->itemDoubleClicked(root->child(0)->child(2), 0);
    dialog.AddAll();
    ASSERT_EQ(dialog.QueueList()->count(), 3);
    EXPECT_EQ(dialog.QueueList()->item(0)->text(), QStringLiteral("工程3.tav"));

    dialog.PressStart();
    EXPECT_FALSE(dialog.QueueList()->isEnabled());
    ASSERT_TRUE(Pump([&] { return prompts.messages.size() == 2; }));
    EXPECT_EQ(prompts.messages.back(), "TAV文件传输结束!");
    EXPECT_TRUE(dialog.QueueList()->isEnabled());
    EXPECT_EQ(dialog.QueueList()->count(), 0);
    EXPECT_EQ(dialog.Progress()->value(), 0);
    for (int p = 1; p <= 3; ++p) {
        CTAV_AnalyserDoc doc;
        ASSERT_EQ(OpenFile(doc, dir.File("out/工程" + std::to_string(p) + ".tav")).status, LoadStatus::Ok) << p;
        EXPECT_EQ(doc.PointCount(), 2);
    }
    dialog.reject();
    EXPECT_FALSE(dialog.isVisible());
}

TEST(TransferDialog, ClosingWhileBusyAsksThenWaitsForTheWorker) {
    TempDir dir;
    MakeStorage(dir.File("sd"), 2, 80);
    RecordingPrompts prompts(true);
    TransferDialog dialog(std::make_unique<SimulatedInstrument>(dir.File("sd")), QString::fromStdString(dir.File("out/")),
                          prompts);
    dialog.SetOpenFolderOnClose(false);
    dialog.show();
    dialog.Tick();
    dialog.AddAll();
    dialog.PressStart();
    dialog.reject();
    if (dialog.Session().Busy() || dialog.Session().CancelState() != kCancelNone) {
        ASSERT_EQ(prompts.questions.size(), 1u);
        EXPECT_EQ(prompts.questions[0], "传输尚未完成，是否终止尚未完成的传输？");
        // Queue commands are refused while the cancel is pending.
        EXPECT_FALSE(dialog.Session().AddAll());
        ASSERT_TRUE(Pump([&] { return !dialog.isVisible(); }));  // the timer closes it once acknowledged
    }
    EXPECT_FALSE(dialog.isVisible());
}

TEST(TransferDialog, ForcedCloseLeavesWithoutWaitingForTheAcknowledgement) {
    TempDir dir;
    MakeStorage(dir.File("sd"), 2, 80);
    RecordingPrompts prompts(true);
    {
        TransferDialog dialog(std::make_unique<SimulatedInstrument>(dir.File("sd")),
                              QString::fromStdString(dir.File("out/")), prompts);
        dialog.SetOpenFolderOnClose(false);
        dialog.show();
        dialog.Tick();
        dialog.AddAll();
        dialog.PressStart();
        dialog.Session().RequestCancel();
        dialog.reject();  // asks whether to force, and leaves
        EXPECT_FALSE(dialog.isVisible());
    }
    // The dialog is gone; its worker was joined, nothing of it runs.
    QApplication::processEvents();
}

TEST(TransferDialog, WithoutAPortItSaysWhy) {
    RecordingPrompts prompts;
    TransferDialog dialog(std::make_unique<PpdevPort>("/nonexistent/parport0"), QStringLiteral("/tmp/"), prompts);
    dialog.SetOpenFolderOnClose(false);
    dialog.Tick();
    EXPECT_EQ(dialog.StatusLine()->text(), QStringLiteral("尚未连接。（无法打开并口/nonexistent/parport0：设备不存在）"));
    EXPECT_EQ(dialog.RangeList()->topLevelItemCount(), 0);
}

}  // namespace
}  // namespace tav::ui
