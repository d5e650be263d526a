// Opening and saving in the window never costs the user a file: a file that
// does not load is told in Chinese and leaves the current project alone, and
// a file that loaded only in part is not saved over without a question.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>

#include "base/atomic_file.hpp"
#include "tests/support/project_builder.hpp"
#include "tests/support/recording_prompts.hpp"
#include "tests/support/tool_runner.hpp"
#include "ui/command_table.hpp"
#include "ui/main_window.hpp"

namespace tav {
namespace {

using testing::RecordingPrompts;
using testing::TempDir;

std::vector<TestPoint> ThreePoints() {
    return {testing::WaveformPoint("P1", 256, 1), testing::WaveformPoint("P1", 256, 2),
            testing::WaveformPoint("P2", 256, 3)};
}

std::vector<std::uint8_t> DemoImage() {
    return testing::ProjectImage(testing::MakeHeader("unit", "project"), ThreePoints(), ThreePoints());
}

// Byte offset of the middle of working test point k (0-based) or, with
// backup = true, of backup test point k; every test point has the same size.
std::size_t MiddleOf(std::size_t k, bool backup) {
    const std::size_t header = 209;
    const std::size_t point = (DemoImage().size() - 2 * header) / 6;
    return header + (backup ? 3 * point + header : 0) + k * point + point / 2;
}

std::string WriteBytes(const TempDir& dir, const std::string& name, std::vector<std::uint8_t> bytes) {
    const std::string path = dir.File(name);
    EXPECT_TRUE(WriteFileAtomically(path, bytes));
    return path;
}

std::string WriteCut(const TempDir& dir, const std::string& name, std::size_t size) {
    auto bytes = DemoImage();
    bytes.resize(size);
    return WriteBytes(dir, name, bytes);
}

std::vector<std::uint8_t> Bytes(const std::string& path) { return ReadWholeFile(path).value_or(std::vector<std::uint8_t>{}); }

// Cancels every modal dialog (the Save As file dialog) as the user's Cancel
// would, and keeps their titles.
struct CancelDialogs {
    QTimer timer;
    QStringList titles;
    CancelDialogs() {
        QObject::connect(&timer, &QTimer::timeout, [this] {
            if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                titles << dialog->windowTitle();
                dialog->reject();
            }
        });
        timer.start(20);
    }
};

struct Opened {
    TempDir dir;
    RecordingPrompts prompts;
    ui::MainWindow window;
    std::string demo;
    Opened() {
        demo = WriteBytes(dir, "demo.tav", DemoImage());
        window.SetPrompts(&prompts);
        EXPECT_TRUE(window.OpenPath(QString::fromStdString(demo)));
    }
    QString Status() { return window.statusBar()->currentMessage(); }
};

TEST(FileSafety, AFileThatIsNoProjectLeavesTheCurrentOneAndAsksNothing) {
    Opened o;
    o.window.Document().MarkModified();  // unsaved work
    const std::vector<std::pair<std::string, std::vector<std::uint8_t>>> bad = {
        {"garbage.tav", std::vector<std::uint8_t>(300, 0x5a)},
        {"empty.tav", {}},
        {"count.tav", [] {
             auto b = DemoImage();
             b[5] = b[6] = b[7] = b[8] = 0;  // a count of 0
             return b;
         }()},
        {"first.tav", [] {
             auto b = DemoImage();
             b.resize(MiddleOf(0, false));
             return b;
         }()},
    };
    for (const auto& [name, bytes] : bad) {
        SCOPED_TRACE(name);
        o.prompts.messages.clear();
        EXPECT_FALSE(o.window.OpenPath(QString::fromStdString(WriteBytes(o.dir, name, bytes))));
        EXPECT_TRUE(o.prompts.questions.empty()) << "nothing to ask: the current project stays";
        EXPECT_EQ(o.window.Document().PointCount(), 3);
        EXPECT_TRUE(o.window.Document().Modified());
        EXPECT_EQ(o.window.Path().toStdString(), o.demo);
        ASSERT_EQ(o.prompts.messages.size(), 1u);
        const QString message = QString::fromStdString(o.prompts.messages[0]);
        EXPECT_TRUE(message.contains(QString::fromStdString(name))) << message.toStdString();
        EXPECT_TRUE(message.contains(QStringLiteral("未能完整打开"))) << message.toStdString();
        EXPECT_EQ(o.Status(), message);
    }
    // A later open that works clears the status bar.
    o.prompts.answer = false;  // do not save the changes
    EXPECT_TRUE(o.window.OpenPath(QString::fromStdString(o.demo)));
    EXPECT_FALSE(o.Status().contains(QStringLiteral("未能完整打开")));
}

TEST(FileSafety, AProjectCutShortIsNotSavedOverWithoutAQuestion) {
    Opened o;
    const std::string cut = WriteCut(o.dir, "cut.tav", MiddleOf(1, false));
    const auto original = Bytes(cut);
    EXPECT_FALSE(o.window.OpenPath(QString::fromStdString(cut)));
    EXPECT_EQ(o.window.Path().toStdString(), cut) << "what could be read is shown";
    EXPECT_GE(o.window.Document().PointCount(), 1);
    ASSERT_EQ(o.prompts.messages.size(), 1u);
    const QString message = QString::fromStdString(o.prompts.messages[0]);
    EXPECT_TRUE(message.contains(QStringLiteral("cut.tav")));
    EXPECT_TRUE(message.contains(QStringLiteral("第2个测点"))) << "counted as the list shows it: " << message.toStdString();
    EXPECT_FALSE(o.window.SourceProblem().isEmpty());

    // Ctrl+S, answered No: Save As instead; cancelled, nothing is written.
    CancelDialogs cancel;
    o.prompts.answer = false;
    o.window.Run(command_id::kFileSave);
    ASSERT_EQ(o.prompts.questions.size(), 1u);
    EXPECT_NE(o.prompts.questions[0].find("cut.tav"), std::string::npos);
    EXPECT_EQ(cancel.titles, QStringList{QStringLiteral("另存为")});
    EXPECT_EQ(Bytes(cut), original);

    // Yes to saving the changes before opening another file still asks about
    // the damaged source; Yes there too overwrites it, and it is then whole.
    o.window.Document().MarkModified();
    o.prompts.answer = true;
    o.prompts.questions.clear();
    EXPECT_TRUE(o.window.OpenPath(QString::fromStdString(o.demo)));
    ASSERT_EQ(o.prompts.questions.size(), 2u);
    EXPECT_NE(o.prompts.questions[1].find("cut.tav"), std::string::npos);
    EXPECT_NE(Bytes(cut), original);
    ui::MainWindow again;
    EXPECT_TRUE(again.OpenPath(QString::fromStdString(cut)));
}

TEST(FileSafety, ABrokenBackupSetIsToldAndNotSavedOverWithoutAQuestion) {
    Opened o;
    const std::string cut = WriteCut(o.dir, "backup.tav", MiddleOf(1, true));
    const auto original = Bytes(cut);
    EXPECT_FALSE(o.window.OpenPath(QString::fromStdString(cut)));
    EXPECT_EQ(o.window.Path().toStdString(), cut);
    EXPECT_EQ(o.window.Document().PointCount(), 3) << "the working set is whole and shown";
    ASSERT_EQ(o.prompts.messages.size(), 1u);
    const QString message = QString::fromStdString(o.prompts.messages[0]);
    EXPECT_TRUE(message.contains(QStringLiteral("backup.tav")));
    EXPECT_TRUE(message.contains(QStringLiteral("备份数据第2个测点"))) << message.toStdString();
    EXPECT_EQ(o.Status(), message);

    CancelDialogs cancel;
    o.prompts.answer = false;
    o.window.Run(command_id::kFileSave);
    ASSERT_EQ(o.prompts.questions.size(), 1u);
    EXPECT_NE(o.prompts.questions[0].find("备份数据"), std::string::npos);
    EXPECT_EQ(cancel.titles, QStringList{QStringLiteral("另存为")});
    EXPECT_EQ(Bytes(cut), original);

    o.prompts.answer = true;
    o.window.Run(command_id::kFileSave);
    EXPECT_NE(Bytes(cut), original) << "overwritten once the user agreed";
    EXPECT_TRUE(o.window.SourceProblem().isEmpty());
}

TEST(FileSafety, ASaveThatFailsSaysWhyInChinese) {
    Opened o;
    const QString target = QString::fromStdString(o.dir.File("no-such-folder/x.tav"));
    EXPECT_FALSE(o.window.SaveTo(target));
    ASSERT_EQ(o.prompts.messages.size(), 1u);
    EXPECT_EQ(o.prompts.messages[0].rfind("保存失败：", 0), 0u) << o.prompts.messages[0];
    EXPECT_EQ(o.Status().toStdString(), o.prompts.messages[0]);
}

TEST(FileSafety, QtsOwnButtonsSpeakChinese) {
    QMessageBox box(QMessageBox::Question, QStringLiteral("t"), QStringLiteral("q"),
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    EXPECT_TRUE(box.button(QMessageBox::Yes)->text().contains(QStringLiteral("是")));
    EXPECT_TRUE(box.button(QMessageBox::Cancel)->text().contains(QStringLiteral("取消")));
}

}  // namespace
}  // namespace tav
