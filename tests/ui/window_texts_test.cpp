// Every message box of the window carries a Chinese title ("提示" where
// nothing else names it, never the cut-off product name), and refusals that
// must be corrected carry the warning sign.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>
#include <cstdlib>
#include <vector>

#include "base/atomic_file.hpp"
#include "processing/command_ids.hpp"
#include "tests/support/project_builder.hpp"
#include "tests/support/tool_runner.hpp"
#include "ui/custom_defect_dialog.hpp"
#include "ui/main_window.hpp"
#include "ui/message_boxes.hpp"
#include "ui/pile_info_dialog.hpp"

namespace tav::ui {
namespace {

using testing::TempDir;

// Remembers every message box as it opens and answers it with its escape
// button (OK, No or Cancel), so that nothing is changed by answering.
class BoxWatcher : public QObject {
public:
    struct Box {
        QString title;
        QString text;
        QMessageBox::Icon icon;
    };
    BoxWatcher() { qApp->installEventFilter(this); }
    ~BoxWatcher() override { qApp->removeEventFilter(this); }
    std::vector<Box> boxes;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Show) return false;
        auto* box = qobject_cast<QMessageBox*>(watched);
        if (!box) return false;
        boxes.push_back({box->windowTitle(), box->text(), box->icon()});
        QTimer::singleShot(0, box, [box] {
            if (QAbstractButton* escape = box->escapeButton()) escape->click();
            else box->reject();
        });
        return false;
    }
};

bool HasChinese(const QString& s) {
    for (const QChar c : s)
        if (c.unicode() >= 0x4e00 && c.unicode() <= 0x9fff) return true;
    return false;
}

TEST(MessageBoxes, TheHelpersTitleEveryBoxInChinese) {
    BoxWatcher watcher;
    ShowMessage(nullptr, QStringLiteral("一条消息"));
    ShowWarning(nullptr, QStringLiteral("一条警告"));
    EXPECT_FALSE(AskYesNo(nullptr, QStringLiteral("是否继续？")));
    EXPECT_FALSE(AskOkCancel(nullptr, QStringLiteral("确定吗？")));
    EXPECT_EQ(AskYesNoCancel(nullptr, QStringLiteral("是否保存？")), UserPrompts::Answer::Cancel);
    ShowWarning(nullptr, QStringLiteral("图形尺寸错误"), QStringLiteral("保存图形"));

    MessageBoxPrompts prompts(nullptr);
    prompts.Message("文件路径错误");
    prompts.Warning("请选择缺陷等级！");
    EXPECT_FALSE(prompts.YesNo("是否要清除所有标记？"));

    ASSERT_EQ(watcher.boxes.size(), 9u);
    const QMessageBox::Icon icons[] = {QMessageBox::Information, QMessageBox::Warning,     QMessageBox::Question,
                                       QMessageBox::Question,    QMessageBox::Question,    QMessageBox::Warning,
                                       QMessageBox::Information, QMessageBox::Warning,     QMessageBox::Question};
    for (std::size_t i = 0; i < watcher.boxes.size(); ++i) {
        const auto& box = watcher.boxes[i];
        EXPECT_EQ(box.title, i == 5 ? QStringLiteral("保存图形") : QStringLiteral("提示")) << box.text.toStdString();
        EXPECT_EQ(box.icon, icons[i]) << box.text.toStdString();
    }
}

// The window with its own prompts, driven into a representative set of its
// boxes: messages of the frame, questions of the list and the chain list,
// and the refusals of its dialogs.
TEST(MessageBoxes, NoBoxTheWindowRaisesIsTitledWithTheProductName) {
    TempDir dir;
    ::setenv("TAV_DATA_DIR", dir.path().c_str(), 1);  // no manual here
    const std::string path = dir.File("demo.tav");
    WriteFileAtomically(path, testing::ProjectImage(testing::MakeHeader("unit", "project"),
                                                    {testing::WaveformPoint("P1", 1024, 1),
                                                     testing::WaveformPoint("P2", 1024, 2)},
                                                    {}));
    BoxWatcher watcher;
    {
        MainWindow window;
        ASSERT_TRUE(window.OpenPath(QString::fromStdString(path)));
        ASSERT_TRUE(watcher.boxes.empty());

        window.OpenPath(QString::fromStdString(dir.File("missing.tav")));  // 文件路径错误
        window.Run(command_id::kHelp);                                       // no manual
        window.Run(command_id::kTickAll);
        window.Run(command_id::kDeleteTicked);  // asked, answered no
        EXPECT_EQ(window.Document().PointCount(), 2);
        window.Run(command_id::kIntegrate);
        window.Run(command_id::kChainListClear);  // asked, answered cancel

        MessageBoxPrompts boxes(&window);  // what the window's dialogs are given
        PileInfoDialog pileInfo(window.Document(), 0, boxes, &window);
        pileInfo.PileNoField()->clear();
        pileInfo.accept();
        CustomDefectDialog defect(dir.path() + "/", QStringLiteral("1.00m"), {}, {}, -1, boxes, &window);
        defect.accept();  // no name

        window.Document().MarkModified();
        EXPECT_FALSE(window.close());  // asks to save, answered cancel
    }
    ::unsetenv("TAV_DATA_DIR");

    ASSERT_EQ(watcher.boxes.size(), 7u);
    for (const auto& box : watcher.boxes) {
        EXPECT_NE(box.title, QStringLiteral("TAV Analyser")) << box.text.toStdString();
        EXPECT_TRUE(HasChinese(box.title)) << box.title.toStdString() << ": " << box.text.toStdString();
    }
    EXPECT_EQ(watcher.boxes[0].text, QStringLiteral("文件路径错误"));
    EXPECT_EQ(watcher.boxes[0].title, QStringLiteral("提示"));
    EXPECT_EQ(watcher.boxes[2].title, QStringLiteral("提示"));  // delete all ticked
    EXPECT_EQ(watcher.boxes[3].title, QStringLiteral("提示"));  // clear the chain
    // The dialogs' refusals: "提示" with the warning sign.
    for (const std::size_t i : {4u, 5u}) {
        EXPECT_EQ(watcher.boxes[i].title, QStringLiteral("提示")) << watcher.boxes[i].text.toStdString();
        EXPECT_EQ(watcher.boxes[i].icon, QMessageBox::Warning) << watcher.boxes[i].text.toStdString();
    }
    EXPECT_EQ(watcher.boxes[5].text, QStringLiteral("缺陷名称不能为空！"));
}

}  // namespace
}  // namespace tav::ui
