// The pile parameter bar takes only what the rules can use and always shows
// what is stored.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QTest>

#include "base/atomic_file.hpp"
#include "processing/command_ids.hpp"
#include "tests/support/project_builder.hpp"
#include "tests/support/recording_prompts.hpp"
#include "tests/support/tool_runner.hpp"
#include "ui/analysis_view.hpp"
#include "ui/main_window.hpp"
#include "ui/parameter_input.hpp"

namespace tav {
namespace {

using testing::RecordingPrompts;
using testing::TempDir;

struct BarFixture {
    TempDir dir;
    RecordingPrompts prompts;
    ui::MainWindow window;
    QLineEdit* speed = nullptr;
    QLineEdit* length = nullptr;
    BarFixture() {
        const std::string path = dir.File("demo.tav");
        WriteFileAtomically(path, testing::ProjectImage(testing::MakeHeader("unit", "project"),
                                                        {testing::WaveformPoint("P1", 256, 1)}, {}));
        window.SetPrompts(&prompts);
        EXPECT_TRUE(window.OpenPath(QString::fromStdString(path)));
        speed = window.findChild<QLineEdit*>(QStringLiteral("speedField"));
        length = window.findChild<QLineEdit*>(QStringLiteral("lengthField"));
    }
    // Typing a text and leaving the field.
    void Enter(QLineEdit* field, const QString& text) {
        field->setText(text);
        field->setModified(true);
        emit field->editingFinished();
    }
    TestPoint& Point() { return window.Document().points[0]; }
};

TEST(ParameterBar, RefusesSpeedsTheRulesCannotUseAndKeepsTheStoredOne) {
    BarFixture f;
    const TestPoint before = f.Point();
    for (const char* text : {"abc", "12x", "", "0", "-4000", "32768", "99999999999", "1e3", "3500.5"}) {
        SCOPED_TRACE(text);
        f.prompts.messages.clear();
        f.Enter(f.speed, QString::fromUtf8(text));
        EXPECT_EQ(f.Point().waveSpeed, before.waveSpeed);
        EXPECT_EQ(f.Point().toeIndex, before.toeIndex) << "the toe marker stays";
        EXPECT_EQ(f.speed->text(), QString::number(before.waveSpeed)) << "the field shows the stored value again";
        ASSERT_EQ(f.prompts.messages.size(), 1u);
        EXPECT_EQ(QString::fromStdString(f.prompts.messages[0]), ui::WaveSpeedRefusal());
    }
    EXPECT_FALSE(f.window.Document().Modified());
    for (const char* text : {"1", " 32767 "}) {
        f.Enter(f.speed, QString::fromUtf8(text));
        EXPECT_EQ(f.Point().waveSpeed, QString::fromUtf8(text).trimmed().toInt());
    }
}

TEST(ParameterBar, RefusesLengthsThatAreNotAPilesLength) {
    BarFixture f;
    const TestPoint before = f.Point();
    // Head to toe is 215 samples of 20 µs: 1 m of pile gives 465 m/s. Lengths
    // whose speed would truncate to 0 or overflow the record are refused too.
    for (const char* text :
         {"abc", "", "0", "-12", "inf", "nan", "1e30", "1000.5", "12m", "0.0005", "0.002", "70.5", "1000"}) {
        SCOPED_TRACE(text);
        f.prompts.messages.clear();
        f.Enter(f.length, QString::fromUtf8(text));
        EXPECT_EQ(f.Point().pileLength, before.pileLength);
        EXPECT_EQ(f.Point().waveSpeed, before.waveSpeed);
        EXPECT_EQ(f.length->text(), QStringLiteral("12"));
        ASSERT_EQ(f.prompts.messages.size(), 1u);
        EXPECT_EQ(QString::fromStdString(f.prompts.messages[0]), ui::PileLengthRefusal());
    }
    EXPECT_FALSE(f.window.Document().Modified());
    f.Enter(f.length, QStringLiteral("12.5"));
    EXPECT_FLOAT_EQ(f.Point().pileLength, 12.5f);
    EXPECT_EQ(f.Point().waveSpeed, 5813);
    f.Enter(f.length, QStringLiteral("70"));
    EXPECT_EQ(f.Point().waveSpeed, 32558);
}

TEST(ParameterBarShows, LengthsAsTyped) {
    BarFixture f;
    for (const char* text : {"34.2", "10.1", "0.125", "9"}) {
        f.Enter(f.length, QString::fromUtf8(text));
        EXPECT_EQ(f.length->text(), QString::fromUtf8(text)) << "no float noise such as 34.200001";
    }
    EXPECT_TRUE(f.prompts.messages.empty());
}

TEST(ParameterBar, AFocusedFieldFollowsAChangeMadeElsewhere) {
    BarFixture f;
    f.window.show();
    f.window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&f.window));
    f.speed->setFocus();
    QApplication::processEvents();
    ASSERT_TRUE(f.speed->hasFocus());
    // The toe moved from the display: the speed follows from the length.
    auto* view = f.window.View();
    auto& model = view->Model();
    ASSERT_FALSE(model.Entries().empty());
    const int toe = f.Point().toeIndex;
    model.SetStaticCursor(0, toe - 20);
    view->Run(command_id::kPileToe);
    ASSERT_NE(f.Point().toeIndex, toe);
    EXPECT_EQ(f.speed->text(), QString::number(f.Point().waveSpeed));

    // What the user is typing is not overwritten.
    f.speed->setText(QStringLiteral("37"));
    f.speed->setModified(true);
    f.window.RefreshAll();
    EXPECT_EQ(f.speed->text(), QStringLiteral("37"));
}

}  // namespace
}  // namespace tav
