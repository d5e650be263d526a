#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QListWidget>

#include "analysis/display/display_model.hpp"
#include "base/atomic_file.hpp"
#include "model/document.hpp"
#include "synth/site_builder.hpp"
#include "tests/support/recording_prompts.hpp"
#include "tests/support/tool_runner.hpp"
#include "ui/analysis_view.hpp"
#include "ui/command_table.hpp"
#include "ui/main_window.hpp"
#include "ui/proposal_panel.hpp"

namespace tav::ui {
namespace {

// One pile with a neck at 5 m whose record lost its toe and speed marks.
std::vector<synth::TruthPoint> NeckedPile(CTAV_AnalyserDoc& doc) {
    synth::SiteOptions o;
    o.piles = 1;
    o.pointsPerPile = 1;
    o.seed = 2;
    o.sensor = synth::SensorChoice::Velocity;
    o.noise = 0.005;
    o.defects = {{1, 5.0, synth::DefectKind::Neck, 0.5}};
    std::vector<synth::TruthPoint> truth;
    EXPECT_EQ(synth::BuildSite(o, doc, truth), "");
    doc.points[0].toeIndex = static_cast<std::int16_t>(doc.points[0].sampleCount() - 1);
    doc.points[0].toeValid = 0;
    return truth;
}

TEST(ProposalPanel, AcceptingRunsTheToeAndDefectOperationsAndDismissingWritesNothing) {
    CTAV_AnalyserDoc doc;
    const auto truth = NeckedPile(doc);
    testing::RecordingPrompts prompts;
    ProposalPanel panel(doc, prompts);
    EXPECT_EQ(panel.windowTitle(), QStringLiteral("自动判读"));
    panel.ProposeFor(0);
    ASSERT_GE(panel.Lines().size(), 2u);
    EXPECT_TRUE(panel.Lines()[0].toe);
    EXPECT_TRUE(panel.Lines()[0].label.startsWith(QStringLiteral("桩底 置信度")));
    EXPECT_TRUE(panel.Lines()[1].label.startsWith(QStringLiteral("阻抗减小 ")));
    EXPECT_EQ(panel.List()->count(), static_cast<int>(panel.Lines().size()));

    const auto count = panel.Lines().size();
    const int neckAt = panel.Lines()[1].sample;
    ASSERT_TRUE(panel.Accept(1));
    ASSERT_EQ(doc.points[0].defects.size(), 1u);
    EXPECT_EQ(doc.points[0].defects[0].position, neckAt);
    EXPECT_EQ(doc.points[0].defects[0].type, DefectCodeOfCommand(command_id::kNeckGrade2));
    EXPECT_EQ(panel.Lines().size(), count - 1);

    const int toeAt = panel.Lines()[0].sample;
    ASSERT_TRUE(panel.Accept(0));
    EXPECT_EQ(doc.points[0].toeIndex, toeAt);
    EXPECT_EQ(doc.points[0].toeValid, 1);
    EXPECT_NEAR(doc.points[0].waveSpeed, truth[0].waveSpeed, 0.02 * truth[0].waveSpeed) << "the speed follows the length";
    EXPECT_TRUE(doc.Modified());

    // What is left is dismissed without a trace in the record.
    const auto defects = doc.points[0].defects.size();
    while (!panel.Lines().empty()) panel.Dismiss(0);
    EXPECT_EQ(doc.points[0].defects.size(), defects);
    EXPECT_EQ(panel.List()->count(), 0);
    EXPECT_FALSE(panel.Accept(0));
    EXPECT_TRUE(prompts.messages.empty());
}

TEST(ProposalPanel, ARecordWithoutSamplesSaysWhyThereIsNoProposal) {
    CTAV_AnalyserDoc doc;
    NeckedPile(doc);
    doc.points[0].samples.assign(1, 0.0f);
    testing::RecordingPrompts prompts;
    ProposalPanel panel(doc, prompts);
    panel.ProposeFor(0);
    EXPECT_TRUE(panel.Lines().empty());
    EXPECT_TRUE(panel.Status()->text().startsWith(QStringLiteral("无判读结果：")));
}

TEST(ProposalPanel, TheWindowCommandDrawsTheProposalsOnTheWaveform) {
    testing::TempDir dir;
    CTAV_AnalyserDoc source;
    NeckedPile(source);
    const auto path = dir.File("neck.tav");
    ASSERT_TRUE(source.SaveToFile(path));
    MainWindow window;
    testing::RecordingPrompts prompts;
    window.SetPrompts(&prompts);
    ASSERT_TRUE(window.OpenPath(QString::fromStdString(path)));
    QAction* action = window.Action(command_id::kAutoPropose);
    ASSERT_TRUE(action);
    EXPECT_EQ(action->text(), QStringLiteral("自动判读"));
    window.Run(command_id::kAutoPropose);
    EXPECT_TRUE(window.Proposals()->isVisible());
    const auto& lines = window.View()->Display()->ProposalLines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front().point, 0);
    // Accepting from the panel refreshes the display's lines and the document.
    const auto before = lines.size();
    ASSERT_TRUE(window.Proposals()->Accept(0));
    EXPECT_EQ(window.View()->Display()->ProposalLines().size(), before - 1);
    window.Proposals()->close();
    EXPECT_TRUE(window.View()->Display()->ProposalLines().empty());
}

}  // namespace
}  // namespace tav::ui
