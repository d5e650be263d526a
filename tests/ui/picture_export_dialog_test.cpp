#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <QProgressDialog>
#include <QTimer>
#include <filesystem>

#include "app/settings_files.hpp"
#include "base/atomic_file.hpp"
#include "processing/project_loading.hpp"
#include "tests/support/project_builder.hpp"
#include "tests/support/recording_prompts.hpp"
#include "tests/support/synth_project.hpp"
#include "tests/support/tool_runner.hpp"
#include "ui/analysis_view.hpp"
#include "ui/command_table.hpp"
#include "ui/main_window.hpp"
#include "ui/picture_export_dialog.hpp"

namespace tav {
namespace {

using testing::RecordingPrompts;
using testing::TempDir;
using ui::PictureExportDialog;

std::vector<std::string> Items(const QComboBox* list) {
    std::vector<std::string> out;
    for (int i = 0; i < list->count(); ++i) out.push_back(list->itemText(i).toStdString());
    return out;
}

TEST(PictureExportDialog, OffersWhatThereIsWithItsDefaults) {
    ui::PictureExportOffer offer;
    offer.checked = true;
    offer.projectPath = "/data/site/p.tav";
    PictureExportDialog onlyChecked(offer, std::nullopt);
    EXPECT_EQ(Items(onlyChecked.DataList()), std::vector<std::string>{"选中波形"});
    EXPECT_EQ(Items(onlyChecked.SizeList()), (std::vector<std::string>{"530×145", "530×200", "530×270", "530×400"}));
    const auto s = onlyChecked.Choices();
    EXPECT_EQ(s.dataChoice, kPictureChecked);
    EXPECT_EQ(s.sizeIndex, 1);
    EXPECT_EQ(s.outputKind, kPictureDocument);
    EXPECT_EQ(s.Folder(), "/data/site");
    EXPECT_EQ(onlyChecked.Size(), (PictureSize{530, 200}));

    // The display's own size replaces the list while the display area is chosen.
    offer.display = true;
    offer.onScreen = PictureSize{812, 190};
    PictureExportSettings stored;
    stored.dataChoice = kPictureChecked;
    stored.formatIndex = kPictureJpg;
    stored.sizeIndex = 3;
    stored.outputKind = kPictureFiles;
    stored.SetFolder("/pictures");
    PictureExportDialog both(offer, stored);
    EXPECT_EQ(Items(both.DataList()), (std::vector<std::string>{"当前显示", "选中波形"}));
    EXPECT_EQ(both.Choices().dataChoice, kPictureChecked);
    EXPECT_EQ(both.Size(), (PictureSize{530, 400}));
    EXPECT_EQ(both.FormatList()->currentText(), "JPG");
    EXPECT_EQ(both.Choices().Folder(), "/pictures");
    both.DataList()->setCurrentIndex(0);
    EXPECT_EQ(Items(both.SizeList()), std::vector<std::string>{"812×190"});
    EXPECT_EQ(both.Size(), (PictureSize{812, 190}));
    both.ApplyDefaults();
    EXPECT_EQ(both.Choices().formatIndex, kPictureBmp);
    EXPECT_EQ(both.Choices().outputKind, kPictureDocument);
    EXPECT_EQ(both.Choices().sizeIndex, 0);
}

struct Fixture {
    CTAV_AnalyserDoc doc;
    TempDir dir;
    RecordingPrompts prompts;
    std::vector<QString> opened;
    std::unique_ptr<SettingsFiles> settings;

    explicit Fixture(std::vector<int> ticked = {0, 2}) {
        for (const char* pile : {"A/1", "A/1", "B"}) doc.points.push_back(testing::WaveformPoint(pile, 256, 1));
        for (auto& p : doc.points) p.checked = 0;
        for (const int t : ticked) doc.points[static_cast<std::size_t>(t)].checked = 1;
        doc.RebuildCheckedList();
        doc.RefreshDisplayRanges();
        doc.SelectPoint(0);
        std::filesystem::create_directory(dir.File("settings"));
        settings = std::make_unique<SettingsFiles>(dir.File("settings"), &prompts);
    }
    ui::PictureExportContext Context(std::function<bool(PictureExportDialog&)> answer) {
        return {doc, nullptr, settings.get(), prompts, dir.File("p.tav"), dir.path(),
                [this](const QString& p) { opened.push_back(p); }, std::move(answer)};
    }
};

TEST(PictureExportCommand, WritesTheCheckedTestPointsAsFilesAndKeepsTheChoices) {
    Fixture f;
    std::filesystem::create_directory(f.dir.File("out"));
    auto context = f.Context([&](PictureExportDialog& d) {
        d.SetOutputKind(kPictureFiles);
        d.SizeList()->setCurrentIndex(2);
        d.FolderField()->setText(QString::fromStdString(f.dir.File("out")));
        return true;
    });
    const auto written = ui::RunPictureExport(nullptr, context);
    ASSERT_EQ(written.size(), 2u);
    EXPECT_EQ(written[0], f.dir.File("out") + "/A╱1No.1.bmp");
    EXPECT_EQ(std::filesystem::file_size(written[1]), 58u + 530u * 270u * 4u);
    ASSERT_EQ(f.opened.size(), 1u);
    EXPECT_EQ(f.opened[0].toStdString(), f.dir.File("out"));
    EXPECT_TRUE(f.prompts.messages.empty());

    PictureExportSettings kept;
    ASSERT_TRUE(f.settings->Read(kept));
    EXPECT_EQ(kept.dataChoice, kPictureChecked);
    EXPECT_EQ(kept.sizeIndex, 2);
    EXPECT_EQ(kept.outputKind, kPictureFiles);
    EXPECT_EQ(kept.Folder(), f.dir.File("out"));
}

TEST(PictureExportCommand, SaysWhatWentWrong) {
    {
        Fixture f(std::vector<int>{});
        auto context = f.Context([](PictureExportDialog&) { return true; });
        EXPECT_TRUE(ui::RunPictureExport(nullptr, context).empty());
        EXPECT_EQ(f.prompts.messages, std::vector<std::string>{std::string(kNoPictureItemsText)});
    }
    {
        Fixture f;
        auto context = f.Context([&](PictureExportDialog& d) {
            d.SetOutputKind(kPictureFiles);
            d.FolderField()->setText(QString::fromStdString(f.dir.File("missing")));
            return true;
        });
        EXPECT_TRUE(ui::RunPictureExport(nullptr, context).empty());
        EXPECT_EQ(f.prompts.messages, std::vector<std::string>{std::string(kCreateFileFailedText)});
        EXPECT_TRUE(f.opened.empty());
    }
    {
        // A settings folder that cannot be made: the export still runs, the user is told.
        Fixture f;
        WriteFileAtomically(f.dir.File("blocker"), std::vector<std::uint8_t>{1});
        f.settings = std::make_unique<SettingsFiles>(f.dir.File("blocker/settings"), &f.prompts);
        auto context = f.Context([](PictureExportDialog&) { return false; });
        ui::RunPictureExport(nullptr, context);
        ASSERT_FALSE(f.prompts.messages.empty());
        EXPECT_EQ(f.prompts.messages[0], "写设置文件失败！");
    }
}

TEST(PictureExportCommand, TheDocumentGoesToTheTemporaryFolderAndIsOpened) {
    Fixture f;
    auto context = f.Context([](PictureExportDialog& d) {
        d.SetOutputKind(kPictureDocument);
        return true;
    });
    const auto first = ui::RunPictureExport(nullptr, context);
    const auto second = ui::RunPictureExport(nullptr, context);
    ASSERT_EQ(first.size(), 1u);
    ASSERT_EQ(second.size(), 1u);
    EXPECT_EQ(first[0], f.dir.File("图形.docx"));
    EXPECT_EQ(second[0], f.dir.File("图形(2).docx")) << "an open document is never overwritten";
    ASSERT_EQ(f.opened.size(), 2u);
    EXPECT_EQ(f.opened[1].toStdString(), second[0]);
}

TEST(PictureExportCommand, SignalMatchingPicturesFollowTheirCurvesAndUnfittedTestPointsAreNamed) {
    Fixture f;
    f.doc.points.clear();
    const std::string site = f.dir.File("site.tav");
    testing::WriteSynthProject(site, 2, {1});  // P1 No.2 has no pile length
    ASSERT_TRUE(OpenFile(f.doc, site).Whole());
    f.doc.checkedIndices = {0, 1, 2};
    std::filesystem::create_directory(f.dir.File("out"));
    auto context = f.Context([&](PictureExportDialog& d) {
        EXPECT_FALSE(d.MatchBox()->isChecked()) << "off unless chosen";
        d.MatchBox()->setChecked(true);
        d.SetOutputKind(kPictureFiles);
        d.FormatList()->setCurrentIndex(2);  // PNG
        d.FolderField()->setText(QString::fromStdString(f.dir.File("out")));
        return true;
    });
    int progressShown = 0;
    context.watchFits = [&](QProgressDialog& progress) {
        ++progressShown;
        EXPECT_EQ(progress.windowTitle(), "信号拟合");
        EXPECT_TRUE(progress.isModal());
    };
    const auto written = ui::RunPictureExport(nullptr, context);
    EXPECT_EQ(progressShown, 1);
    const std::vector<std::string> names{"P1No.1.png", "P1No.1_拟合.png", "P1No.2.png", "P2No.1.png", "P2No.1_拟合.png"};
    ASSERT_EQ(written.size(), names.size());
    for (std::size_t k = 0; k < names.size(); ++k) {
        EXPECT_EQ(written[k], f.dir.File("out") + "/" + names[k]);
        const QImage back(QString::fromStdString(written[k]));
        EXPECT_EQ(back.size(), names[k].find("_拟合") == std::string::npos ? QSize(530, 200) : QSize(530, 318)) << names[k];
    }
    ASSERT_EQ(f.prompts.messages.size(), 1u);
    EXPECT_EQ(f.prompts.messages[0], "以下测点未能信号拟合，没有拟合图：\nP1 No.2：桩长不大于0，无法拟合");
    PictureExportSettings kept;
    ASSERT_TRUE(f.settings->Read(kept));
    EXPECT_EQ(kept.matchPictures, 1);

    // The choice is kept for next time; cancelling the fits writes nothing at all.
    std::filesystem::remove_all(f.dir.File("out"));
    std::filesystem::create_directory(f.dir.File("out"));
    f.prompts.messages.clear();
    auto again = f.Context([&](PictureExportDialog& d) {
        EXPECT_TRUE(d.MatchBox()->isChecked());
        return true;
    });
    again.watchFits = [](QProgressDialog& progress) { progress.cancel(); };
    EXPECT_TRUE(ui::RunPictureExport(nullptr, again).empty());
    EXPECT_TRUE(std::filesystem::is_empty(f.dir.File("out")));
    EXPECT_TRUE(f.prompts.messages.empty());
}

TEST(PictureExportCommand, TheWindowDrawsTheDisplayArea) {
    TempDir dir;
    const std::string project = dir.File("p.tav");
    std::vector<TestPoint> points{testing::WaveformPoint("P1", 256, 1), testing::WaveformPoint("P1", 256, 2)};
    WriteFileAtomically(project, testing::ProjectImage(testing::MakeHeader("u", "p"), points, {}));
    ui::MainWindow window;
    RecordingPrompts prompts;
    window.SetPrompts(&prompts);
    std::vector<QString> opened;
    window.SetOpener([&](const QString& p) { opened.push_back(p); });
    ASSERT_TRUE(window.OpenPath(QString::fromStdString(project)));
    window.View()->Model().bar.timeScope = kScopePile;
    window.RefreshAll();
    window.View()->Model().bar.timeScope = kScopePile;
    window.View()->Display()->Rebuild();
    ASSERT_EQ(window.View()->Model().Entries().size(), 2u);

    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<PictureExportDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->DataList()->currentText(), "当前显示");
        dialog->SetOutputKind(kPictureFiles);
        dialog->FormatList()->setCurrentIndex(2);  // PNG
        dialog->FolderField()->setText(QString::fromStdString(dir.path()));
        dialog->accept();
    });
    window.Run(command_id::kSavePicture);
    EXPECT_TRUE(prompts.messages.empty());
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_TRUE(std::filesystem::exists(dir.File("P1No.1.png")));
    EXPECT_TRUE(std::filesystem::exists(dir.File("P1No.2.png")));
}

}  // namespace
}  // namespace tav
