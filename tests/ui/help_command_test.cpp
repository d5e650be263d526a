#include <gtest/gtest.h>

#include <QAction>
#include <cstdlib>
#include <filesystem>

#include "base/atomic_file.hpp"
#include "tests/support/recording_prompts.hpp"
#include "tests/support/tool_runner.hpp"
#include "ui/command_table.hpp"
#include "ui/main_window.hpp"

namespace tav {
namespace {

using testing::RecordingPrompts;
using testing::TempDir;

// F1 opens the manual of the data folder in the desktop's browser, and says
// so when an installation lacks it.
TEST(HelpCommand, F1OpensTheManualOfTheDataFolder) {
    TempDir data;
    ::setenv("TAV_DATA_DIR", data.path().c_str(), 1);
    ui::MainWindow window;
    RecordingPrompts prompts;
    window.SetPrompts(&prompts);
    std::vector<QString> opened;
    window.SetOpener([&](const QString& p) { opened.push_back(p); });
    EXPECT_EQ(window.Action(command_id::kHelp)->shortcut(), QKeySequence(Qt::Key_F1));
    ASSERT_TRUE(window.Action(command_id::kHelp)->isEnabled());

    window.Run(command_id::kHelp);
    EXPECT_TRUE(opened.empty());
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_NE(prompts.messages[0].find(data.File("manual/index.html")), std::string::npos) << prompts.messages[0];

    std::filesystem::create_directories(data.File("manual"));
    WriteFileAtomically(data.File("manual/index.html"), std::vector<std::uint8_t>{'<', 'p', '>'});
    window.Run(command_id::kHelp);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].toStdString(), data.File("manual/index.html"));
    ::unsetenv("TAV_DATA_DIR");
}

}  // namespace
}  // namespace tav
