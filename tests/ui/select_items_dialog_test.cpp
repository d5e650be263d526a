#include <gtest/gtest.h>

#include <QApplication>
#include <QListWidget>
#include <filesystem>
#include <string>
#include <vector>

#include "app/app_shell.hpp"
#include "app/settings_files.hpp"
#include "base/user_prompts.hpp"
#include "model/document.hpp"
#include "tests/support/project_builder.hpp"
#include "tests/support/recording_prompts.hpp"
#include "tests/support/tool_runner.hpp"
#include "ui/analysis_view.hpp"
#include "ui/select_items_dialog.hpp"

namespace tav::ui {
namespace {

using testing::RecordingPrompts;

using Codes = std::vector<std::int32_t>;


int RowOf(QListWidget* list, std::int32_t code) {
    for (int r = 0; r < list->count(); ++r)
        if (list->item(r)->data(Qt::UserRole).toInt() == code) return r;
    return -1;
}

TEST(SelectItemsDialog, ButtonsEditTheChosenListAndOkRefusesAnEmptyOne) {
    RecordingPrompts prompts;
    SelectItemsDialog dialog(Codes{31, 32}, prompts);
    auto* avail = dialog.AvailableList();
    auto* chosen = dialog.ChosenList();
    ASSERT_EQ(chosen->count(), 2);
    EXPECT_EQ(chosen->item(0)->text(), QStringLiteral("桩号"));
    EXPECT_EQ(RowOf(avail, 31), -1);

    // Added below the chosen row, then moved to the top.
    chosen->setCurrentRow(0);
    avail->setCurrentRow(RowOf(avail, 34));
    dialog.AddCurrent();
    EXPECT_EQ(dialog.Chosen(), (Codes{31, 34, 32}));
    EXPECT_EQ(chosen->currentRow(), 1);
    EXPECT_EQ(RowOf(avail, 34), -1);
    dialog.MoveCurrent(-1);
    EXPECT_EQ(dialog.Chosen(), (Codes{34, 31, 32}));
    EXPECT_EQ(chosen->currentRow(), 0);

    for (int k = 0; k < 3; ++k) dialog.RemoveCurrent();
    EXPECT_TRUE(dialog.Chosen().empty());
    EXPECT_EQ(avail->count(), 30);
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(prompts.messages.size(), 1u);

    dialog.ResetToDefaults();
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.Chosen(), DefaultAnnotationItems());
}

TEST(SelectItemsDialog, ViewShowsAndKeepsTheChosenItems) {
    tav::testing::TempDir dir;
    const std::string home = dir.path();
    std::filesystem::create_directories(home + "/tmp");
    AppShellOptions options;
    options.executablePath = dir.File("tav_analyser");
    options.refreshDesktopDatabases = false;
    options.environment = [home](std::string_view name) -> std::optional<std::string> {
        if (name == "HOME") return home;
        if (name == "TMPDIR") return home + "/tmp";
        return std::nullopt;
    };
    AppShell shell(options);
    ASSERT_TRUE(shell.Startup());

    CTAV_AnalyserDoc doc;
    doc.points.push_back(tav::testing::WaveformPoint("K9", 1024, 2));
    doc.hasPoints = 1;
    doc.RefreshDisplayRanges();
    doc.SelectPoint(0);
    {
        CTAV_AnalyserView view(doc, &shell, SilentPrompts());
        view.resize(900, 600);
        view.show();
        view.Refresh();
        view.SetAnnotationItems({34, 31});
        const auto& lines = view.Model().Entries().at(0).annotation;
        ASSERT_EQ(lines.size(), 2u);
        EXPECT_EQ(lines[1].text, "桩号:K9");
    }
    DisplaySettings display;
    ASSERT_TRUE(shell.Settings().Read(display));
    EXPECT_EQ(display.annotationItems, (Codes{34, 31}));
    // A new view starts with them.
    CTAV_AnalyserView again(doc, &shell, SilentPrompts());
    EXPECT_EQ(again.Model().options.annotationItems, (Codes{34, 31}));
    shell.Shutdown();
}

}  // namespace
}  // namespace tav::ui
