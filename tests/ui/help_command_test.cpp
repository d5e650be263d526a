// 帮助主题 (F1) shows the manual in the program's own viewer, which needs no
// desktop browser, and says in a message why when the manual cannot be shown.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QTest>
#include <QTextBrowser>
#include <QTextDocument>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

#include "base/atomic_file.hpp"
#include "tests/support/recording_prompts.hpp"
#include "tests/support/tool_runner.hpp"
#include "ui/command_table.hpp"
#include "ui/help_viewer.hpp"
#include "ui/main_window.hpp"

namespace tav {
namespace {

using testing::RecordingPrompts;
using testing::TempDir;

void WriteText(const std::string& path, std::string_view text) {
    WriteFileAtomically(path, std::vector<std::uint8_t>(text.begin(), text.end()));
}

// The manual this build carries, found as the program finds it when run from
// the build folder; the desktop's opener is never asked.
TEST(HelpCommand, F1ShowsTheManualInTheProgramsOwnViewer) {
    ::unsetenv("TAV_DATA_DIR");
    ui::MainWindow window;
    RecordingPrompts prompts;
    window.SetPrompts(&prompts);
    int opened = 0;
    window.SetOpener([&](const QString&) { ++opened; });
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    EXPECT_EQ(window.Action(command_id::kHelp)->shortcut(), QKeySequence(Qt::Key_F1));

    QTest::keyClick(&window, Qt::Key_F1);
    auto* viewer = window.findChild<ui::HelpViewer*>();
    ASSERT_NE(viewer, nullptr) << (prompts.messages.empty() ? "" : prompts.messages[0]);
    EXPECT_TRUE(viewer->isVisible());
    EXPECT_TRUE(viewer->isWindow());
    EXPECT_TRUE(viewer->Browser()->source().toLocalFile().endsWith(QStringLiteral("manual/index.html")))
        << viewer->Browser()->source().toString().toStdString();
    EXPECT_TRUE(viewer->Browser()->toPlainText().contains(QStringLiteral("TAV Analyser 使用手册")));
    // Its pictures come from beside the page.
    const QVariant picture =
        viewer->Browser()->loadResource(QTextDocument::ImageResource, QUrl(QStringLiteral("pictures/time.png")));
    EXPECT_FALSE(picture.toByteArray().isEmpty()) << picture.typeName();
    EXPECT_EQ(opened, 0);
    EXPECT_TRUE(prompts.messages.empty());

    // A second F1 shows the same viewer again.
    viewer->close();
    QTest::keyClick(&window, Qt::Key_F1);
    EXPECT_EQ(window.findChildren<ui::HelpViewer*>().size(), 1);
    EXPECT_TRUE(viewer->isVisible());
}

TEST(HelpCommand, AManualElsewhereIsShownAndAMissingOneIsReported) {
    TempDir data;
    ::setenv("TAV_DATA_DIR", data.path().c_str(), 1);
    ui::MainWindow window;
    RecordingPrompts prompts;
    window.SetPrompts(&prompts);
    ASSERT_TRUE(window.Action(command_id::kHelp)->isEnabled());

    window.Run(command_id::kHelp);
    EXPECT_EQ(window.findChild<ui::HelpViewer*>(), nullptr);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_NE(prompts.messages[0].find("找不到帮助文件"), std::string::npos) << prompts.messages[0];
    EXPECT_NE(prompts.messages[0].find(data.File("manual/index.html")), std::string::npos) << prompts.messages[0];

    std::filesystem::create_directories(data.File("manual"));
    WriteText(data.File("manual/index.html"), "<h1>现场手册</h1><p><a href=\"more.html\">更多</a></p>");
    WriteText(data.File("manual/more.html"), "<p>第二页</p>");
    window.Run(command_id::kHelp);
    auto* viewer = window.findChild<ui::HelpViewer*>();
    ASSERT_NE(viewer, nullptr);
    EXPECT_TRUE(viewer->Browser()->toPlainText().contains(QStringLiteral("现场手册")));
    viewer->Browser()->setSource(QUrl(QStringLiteral("more.html")));  // a link within the manual
    EXPECT_TRUE(viewer->Browser()->toPlainText().contains(QStringLiteral("第二页")));
    EXPECT_EQ(prompts.messages.size(), 1u);

    // Present but unreadable (not for root, who reads everything).
    if (::geteuid() != 0) {
        std::filesystem::permissions(data.File("manual/index.html"), std::filesystem::perms::none);
        window.Run(command_id::kHelp);
        ASSERT_EQ(prompts.messages.size(), 2u);
        EXPECT_NE(prompts.messages[1].find("无法读取帮助文件"), std::string::npos) << prompts.messages[1];
        std::filesystem::permissions(data.File("manual/index.html"), std::filesystem::perms::owner_all);
    }
    ::unsetenv("TAV_DATA_DIR");
}

}  // namespace
}  // namespace tav
