// The operation panels in the window: typed into with QTest in both forms.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QToolButton>
#include <algorithm>
#include <functional>
#include <memory>

#include "base/atomic_file.hpp"
#include "model/positions.hpp"
#include "processing/operations.hpp"
#include "processing/project_loading.hpp"
#include "tests/support/project_builder.hpp"
#include "tests/support/recording_prompts.hpp"
#include "tests/support/tool_runner.hpp"
#include "ui/analysis_view.hpp"
#include "ui/command_table.hpp"
#include "ui/main_window.hpp"
#include "ui/operation_panel_widgets.hpp"
#include "ui/processing_commands.hpp"
#include "ui/project_docks.hpp"

namespace tav {
namespace {

using testing::TempDir;

std::string WriteProject(const TempDir& dir) {
    const std::string path = dir.File("p.tav");
    WriteFileAtomically(path, testing::ProjectImage(testing::MakeHeader("unit", "project"),
                                                    {testing::WaveformPoint("P1", 1024, 1),
                                                     testing::WaveformPoint("P2", 1024, 2)},
                                                    {}));
    return path;
}

// The panel that the next command opens: `act` runs on it from inside the
// panel's own event loop, as the engineer's typing would.
void WhenPanelOpens(ui::MainWindow& window, std::function<void(ui::PanelEditor&)> act) {
    auto* tries = new int(0);
    auto* timer = new QTimer(&window);
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, timer, [&window, act, timer, tries] {
        ui::ProcessingCommands* p = window.Processing();
        ui::PanelEditor* editor = p->OpenPopup()    ? p->OpenPopup()->Editor()
                                  : p->OpenStrip() ? p->OpenStrip()->Editor()
                                                   : nullptr;
        if (editor == nullptr && ++*tries < 300) return;
        timer->stop();
        timer->deleteLater();
        delete tries;
        ASSERT_NE(editor, nullptr) << "no panel opened";
        act(*editor);
    });
    timer->start();
}

template <typename T>
T* Child(ui::PanelEditor& editor, const char* name) {
    T* w = editor.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
}

void Type(ui::PanelEditor& editor, const char* field, const QString& text) {
    QLineEdit* edit = Child<QLineEdit>(editor, field);
    edit->selectAll();
    QTest::keyClicks(edit, text);
}

// Near the left edge: a radio button answers only on its indicator and text.
void Click(ui::PanelEditor& editor, const char* name) {
    QAbstractButton* b = Child<QAbstractButton>(editor, name);
    QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(6, b->height() / 2));
}

void BandPass(ui::PanelEditor& editor, const QString& upper, const QString& lower) {
    Click(editor, "choice2");
    Type(editor, "upper", upper);
    Type(editor, "lower", lower);
}

class PanelWindow : public ::testing::Test {
protected:
    void SetUp() override {
        window.SetPrompts(&prompts);
        window.show();
        ASSERT_TRUE(window.OpenPath(QString::fromStdString(WriteProject(dir))));
    }
    TestPoint& Point(int i) { return window.Document().points[static_cast<std::size_t>(i)]; }

    TempDir dir;
    ui::MainWindow window;
    testing::RecordingPrompts prompts;
};

TEST_F(PanelWindow, PopupTypedValuesBecomeTheStep) {
    bool previewed = false;
    WhenPanelOpens(window, [&](ui::PanelEditor& e) {
        EXPECT_EQ(e.window()->windowTitle(), QStringLiteral("数字滤波"));
        EXPECT_EQ(Child<QLineEdit>(e, "upper")->text(), QString()) << "a new step's frequencies start empty";
        BandPass(e, "1200", "100");
        Click(e, "previewButton");
        previewed = Point(0).samples != Point(0).rawSamples;
        EXPECT_EQ(Point(0).stepCount(), 0) << "a preview leaves the chain alone";
        Click(e, "okButton");
    });
    window.Action(command_id::kFilter)->trigger();
    EXPECT_TRUE(previewed);
    ASSERT_EQ(Point(0).stepCount(), 1);
    EXPECT_EQ(Point(0).steps[0].filterKind, 3);
    EXPECT_EQ(Point(0).steps[0].filterUpperHz, 1200.0f);
    EXPECT_EQ(Point(0).steps[0].filterLowerHz, 100.0f);
    EXPECT_EQ(Point(1).stepCount(), 0);
    EXPECT_TRUE(window.Document().Modified());
}

TEST_F(PanelWindow, DockedStripTypedValuesBecomeTheStep) {
    // Switch the form once: the strip opens with what the popup had so far.
    WhenPanelOpens(window, [&](ui::PanelEditor& popup) {
        Type(popup, "angle", "4");
        Click(popup, "switchButton");
        WhenPanelOpens(window, [&](ui::PanelEditor& strip) {
            EXPECT_EQ(strip.parentWidget()->height(), ui::kDockedStripHeight);
            EXPECT_EQ(strip.parentWidget()->parentWidget(), window.View()) << "the strip sits in the view";
            EXPECT_EQ(Child<QLineEdit>(strip, "angle")->text(), QStringLiteral("4"));
            EXPECT_TRUE(window.Action(command_id::kIntegrate)->isEnabled() == false)
                << "no second operation while one is open";
            EXPECT_TRUE(window.Action(command_id::kScopeCurrent)->isEnabled()) << "the rest of the window stays live";
            Type(strip, "angle", "45");
            Click(strip, "choice1");
            Type(strip, "start", "2.345");
            Click(strip, "okButton");
        });
    });
    window.Action(command_id::kRotate)->trigger();
    ASSERT_EQ(Point(0).stepCount(), 1);
    const ProcessStep& s = Point(0).steps[0];
    EXPECT_EQ(s.rotateMode, 1);
    EXPECT_EQ(s.rotateAngle, DegreesToRotateAngle(45.0)) << "the strip takes angles the popup refuses";
    EXPECT_EQ(s.RememberedMetres(0, s.rotateStart), 2.35f);
    EXPECT_NE(s.rotateScale, 1.0f) << "the scale follows the trace on screen";
    EXPECT_EQ(window.Processing()->OpenStrip(), nullptr);
}

TEST_F(PanelWindow, CancelledPreviewRestoresTheSamples) {
    const auto before = Point(0).samples;
    bool changed = false;
    WhenPanelOpens(window, [&](ui::PanelEditor& e) {
        QSlider* slider = Child<QSlider>(e, "upperSlider");
        slider->triggerAction(QSlider::SliderPageStepSub);  // 3000 -> 2990: a live preview
        EXPECT_EQ(Child<QLineEdit>(e, "upper")->text(), QStringLiteral("2990"));
        changed = Point(0).samples != before;
        Click(e, "cancelButton");
    });
    window.Action(command_id::kFilter)->trigger();
    EXPECT_TRUE(changed);
    EXPECT_EQ(Point(0).samples, before);
    EXPECT_EQ(Point(0).stepCount(), 0);
    EXPECT_FALSE(window.Document().Modified());
}

TEST_F(PanelWindow, RefusalKeepsThePanelOpen) {
    WhenPanelOpens(window, [&](ui::PanelEditor& e) {
        Type(e, "angle", "12");
        Click(e, "okButton");
        ASSERT_EQ(prompts.messages.size(), 1u);
        EXPECT_EQ(prompts.messages[0], "旋转角度应在(-10°~10°)之间");
        EXPECT_TRUE(e.isVisible());
        Type(e, "angle", "1.5");
        Click(e, "okButton");
    });
    window.Action(command_id::kRotate)->trigger();
    ASSERT_EQ(Point(0).stepCount(), 1);
    EXPECT_EQ(Point(0).steps[0].rotateAngle, DegreesToRotateAngle(1.5));
}

TEST_F(PanelWindow, ShiftRefusesAVerticalShiftBeyondItsLimit) {
    WhenPanelOpens(window, [&](ui::PanelEditor& e) {
        Type(e, "y", QStringLiteral("-1e30"));
        Click(e, "okButton");
        ASSERT_EQ(prompts.messages.size(), 1u);
        EXPECT_EQ(prompts.messages[0], "请在“竖向平移(mV)”中输入-10000～10000之间的数值！");
        EXPECT_TRUE(e.isVisible());
        Type(e, "y", QStringLiteral("-12.5"));
        Click(e, "okButton");
    });
    window.Action(command_id::kShift)->trigger();
    ASSERT_EQ(Point(0).stepCount(), 1);
    EXPECT_EQ(Point(0).steps[0].shiftY, -12.5f);
}

TEST_F(PanelWindow, InsertBeforeTheSelectedRow) {
    window.Action(command_id::kIntegrate)->trigger();  // integration: no panel
    auto* list = window.findChild<ui::ChainDock*>()->List();
    list->setCurrentRow(0);
    WhenPanelOpens(window, [&](ui::PanelEditor& e) {
        EXPECT_EQ(e.window()->windowTitle(), QStringLiteral("去直流"));
        Click(e, "choice1");
        Type(e, "start", "1");
        Click(e, "okButton");
    });
    window.Action(command_id::kInsertRemoveDc)->trigger();
    ASSERT_EQ(Point(0).stepCount(), 2);
    EXPECT_EQ(Point(0).steps[0].opType, kOpRemoveDc);
    EXPECT_EQ(Point(0).steps[0].dcMode, 2);
    EXPECT_EQ(Point(0).steps[1].opType, kOpIntegrate);
}

// The window stays live around a docked strip: a project opened meanwhile
// gets nothing of the panel that was open on the previous one.
TEST_F(PanelWindow, AProjectOpenedWhileTheStripWaitsGetsNothing) {
    TempDir other;
    const QString otherPath = QString::fromStdString(WriteProject(other));
    WhenPanelOpens(window, [&](ui::PanelEditor& popup) {
        Click(popup, "switchButton");
        WhenPanelOpens(window, [&](ui::PanelEditor& strip) {
            Type(strip, "start", "3");
            ASSERT_TRUE(window.OpenPath(otherPath));
            Click(strip, "okButton");
        });
    });
    window.Action(command_id::kRemoveDc)->trigger();  // DC removal
    EXPECT_EQ(window.Processing()->OpenStrip(), nullptr);
    CTAV_AnalyserDoc fresh;
    ASSERT_EQ(OpenFile(fresh, otherPath.toStdString()).status, LoadStatus::Ok);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(Point(i).stepCount(), 0);
        // The display keeps its drawing settings there; the panel's values are what matter.
        ProcessStep shown = Point(i).lastParams;
        ProcessStep loaded = fresh.points[static_cast<std::size_t>(i)].lastParams;
        for (ProcessStep* p : {&shown, &loaded}) {
            p->displayBlocks = {};
            p->viewMax = p->viewMin = 0.0f;
        }
        EXPECT_TRUE(SameStepBytes(shown, loaded)) << i;
        EXPECT_EQ(Point(i).samples, fresh.points[static_cast<std::size_t>(i)].samples);
    }
    EXPECT_FALSE(window.Document().Modified());
}

// Values that make each kind of field change the trace, in either form.
QString ChangingValue(const PanelField& f, std::int32_t opType) {
    if (opType == kOpFrontZero) return QStringLiteral("-0.5");  // before the head
    if (opType == kOpRearZero) return QStringLiteral("13");     // after the toe
    if (opType == kOpLocalScale && f.key == "end") return QStringLiteral("5");
    switch (f.kind) {
        case PanelFieldKind::Angle: return QStringLiteral("9");
        case PanelFieldKind::ScaleFactor: return QStringLiteral("2");
        case PanelFieldKind::MagnifyFactor: return QStringLiteral("3");
        case PanelFieldKind::Millivolts: return QStringLiteral("0.25");
        case PanelFieldKind::SmoothPoints: return QStringLiteral("5");
        case PanelFieldKind::FilterUpper: return QStringLiteral("1000");
        case PanelFieldKind::ShiftLength: return QStringLiteral("0.5");
        default: return {};
    }
}

// Every panel, in both forms: 预览 twice gives one curve, and 确定 adds one
// step that draws it. Long records make the rotation's ramp reach past the
// display range, which the trace's range must then not feed back into.
TEST(PanelPreviews, TheSameFieldsPreviewTheSameCurveAndConfirmIt) {
    TempDir dir;
    const std::string path = dir.File("long.tav");
    WriteFileAtomically(path, testing::ProjectImage(testing::MakeHeader("unit", "project"),
                                                    {testing::WaveformPoint("P1", 4096, 1)}, {}));
    ui::MainWindow window;
    testing::RecordingPrompts prompts;
    window.SetPrompts(&prompts);
    window.show();
    ASSERT_TRUE(window.OpenPath(QString::fromStdString(path)));
    TestPoint& tp = window.Document().points[0];

    std::vector<std::int32_t> covered;
    for (const PanelForm form : {PanelForm::Popup, PanelForm::Docked}) {
        for (const auto& c : ui::CommandTable()) {
            const std::int32_t op = OperationOfCreateCommand(c.id);
            if (op == 0 || Operation(op).panel == nullptr) continue;
            covered.push_back(op);
            const std::string what = std::string(OperationName(op)) + (form == PanelForm::Popup ? " 弹出" : " 停靠");
            const auto before = tp.samples;
            std::vector<std::vector<float>> previews;
            const auto act = [&](ui::PanelEditor& e) {
                for (const PanelField& f : Operation(op).panel->fields) {
                    const QString value = ChangingValue(f, op);
                    if (!value.isEmpty()) Type(e, std::string(f.key).c_str(), value);
                }
                for (int k = 0; k < 2; ++k) {
                    Click(e, "previewButton");
                    previews.push_back(tp.samples);
                }
                Click(e, "okButton");
            };
            WhenPanelOpens(window, [&](ui::PanelEditor& e) {
                const bool docked = window.Processing()->OpenStrip() != nullptr;
                if (docked == (form == PanelForm::Docked)) return act(e);
                Click(e, "switchButton");
                WhenPanelOpens(window, act);
            });
            window.Action(c.id)->trigger();
            EXPECT_TRUE(prompts.messages.empty()) << what << ": " << (prompts.messages.empty() ? "" : prompts.messages[0]);
            ASSERT_EQ(previews.size(), 2u) << what;
            EXPECT_TRUE(previews[0] != before) << what << ": the typed values change nothing";
            EXPECT_TRUE(previews[1] == previews[0]) << what << ": the second preview differs from the first";
            ASSERT_EQ(tp.stepCount(), 1) << what;
            EXPECT_TRUE(tp.samples == previews[1]) << what << ": the confirmed step is not the one previewed";
            window.Action(command_id::kUndoLast)->trigger();
            ASSERT_EQ(tp.stepCount(), 0) << what;
            prompts.messages.clear();
        }
    }
    for (const auto& op : Operations()) {
        if (op.panel == nullptr) continue;
        EXPECT_NE(std::find(covered.begin(), covered.end(), op.type), covered.end()) << op.type;
    }
}

QTreeWidgetItem* ListItemOfPoint(ui::MainWindow& window, int index) {
    auto* tree = window.findChild<ui::PointListDock*>()->Tree();
    for (QTreeWidgetItemIterator it(tree); *it; ++it)
        if ((*it)->data(0, Qt::UserRole).toInt() == index) return *it;
    ADD_FAILURE() << "no list entry for test point " << index;
    return nullptr;
}

// Opens the command's panel as a docked strip and runs `act` in it.
void InStrip(ui::MainWindow& window, int command, std::function<void(ui::PanelEditor&)> act) {
    WhenPanelOpens(window, [&window, act](ui::PanelEditor& popup) {
        Click(popup, "switchButton");
        WhenPanelOpens(window, act);
    });
    window.Action(command)->trigger();
}

TEST_F(PanelWindow, ADockedStripFollowsTheTestPointPickedInTheList) {
    Point(1).headIndex = 80;  // the same metres are another sample there
    const std::int32_t onFirst = DepthToSample(Point(0), 1.0f, false);
    const std::int32_t onSecond = DepthToSample(Point(1), 1.0f, false);
    ASSERT_NE(onFirst, onSecond);
    const auto stored0 = Point(0).samples;
    const auto stored1 = Point(1).samples;
    bool previewedFirst = false, previewedSecond = false, firstRestored = false;
    InStrip(window, command_id::kRemoveDc, [&](ui::PanelEditor& strip) {
        Click(strip, "choice1");
        Type(strip, "start", "1");
        Click(strip, "previewButton");
        previewedFirst = Point(0).samples != stored0;
        window.findChild<ui::PointListDock*>()->Tree()->setCurrentItem(ListItemOfPoint(window, 1));
        EXPECT_EQ(window.Document().currentIndex, 1);
        EXPECT_EQ(window.Processing()->OpenStrip(), strip.parentWidget()) << "the strip stays open";
        firstRestored = Point(0).samples == stored0;
        Click(strip, "previewButton");
        previewedSecond = Point(1).samples != stored1;
        Click(strip, "okButton");
    });
    EXPECT_TRUE(previewedFirst);
    EXPECT_TRUE(firstRestored) << "the preview on the test point left behind is dropped";
    EXPECT_TRUE(previewedSecond) << "预览 shows on the test point now current";
    EXPECT_EQ(Point(0).stepCount(), 0);
    EXPECT_EQ(Point(0).samples, stored0);
    ASSERT_EQ(Point(1).stepCount(), 1) << "确定 puts the step on the test point now current";
    EXPECT_EQ(Point(1).steps[0].dcStart, onSecond) << "metres read on the new record";
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(PanelWindow, ADockedStripClosesWhenThePickedTestPointCannotTakeTheEdit) {
    WhenPanelOpens(window, [&](ui::PanelEditor& e) {
        Type(e, "points", "5");
        Click(e, "okButton");
    });
    window.Action(command_id::kSmooth)->trigger();
    ASSERT_EQ(Point(0).stepCount(), 1);
    const auto stored0 = Point(0).samples;
    window.findChild<ui::ChainDock*>()->List()->setCurrentRow(0);
    auto leftOpen = std::make_shared<bool>(false);
    InStrip(window, command_id::kStepEdit, [&](ui::PanelEditor& strip) {
        Type(strip, "points", "9");
        Click(strip, "previewButton");
        window.findChild<ui::PointListDock*>()->Tree()->setCurrentItem(ListItemOfPoint(window, 1));
        // A strip that stays open is ended here, so that the test fails rather than waits.
        ui::ProcessingCommands* processing = window.Processing();
        QTimer::singleShot(300, processing, [processing, leftOpen] {
            if (processing->OpenStrip() == nullptr) return;
            *leftOpen = true;
            processing->CancelOpenPanel();
        });
    });
    EXPECT_FALSE(*leftOpen) << "the strip stayed open on a test point without the edited step";
    EXPECT_EQ(window.Processing()->OpenStrip(), nullptr);
    EXPECT_FALSE(window.Processing()->PanelOpen());
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0], "当前测点的第1步处理不是“平滑”，无法修改，参数面板已关闭。");
    ASSERT_EQ(Point(0).stepCount(), 1);
    EXPECT_EQ(Point(0).steps[0].smoothPoints, 5) << "the edit went nowhere";
    EXPECT_EQ(Point(0).samples, stored0);
    EXPECT_EQ(Point(1).stepCount(), 0);
}

// The whole round on the demo project: a band-pass through the popup with a
// preview, edited from the chain list, the same in the docked strip, undone.
TEST(PanelsOnTheDemoProject, BandPassPopupEditDockedUndo) {
    ui::MainWindow window;
    testing::RecordingPrompts prompts;
    window.SetPrompts(&prompts);
    window.show();
    ASSERT_TRUE(window.OpenPath(QStringLiteral(TAV_DEMO_PROJECT)));
    auto& doc = window.Document();
    const int k = doc.currentIndex;
    ASSERT_TRUE(doc.ValidIndex(k));
    TestPoint& tp = doc.points[static_cast<std::size_t>(k)];
    const std::int32_t stepsBefore = tp.stepCount();
    const auto samplesBefore = tp.samples;
    for (const auto& c : ui::CommandTable()) {
        if (ui::ProcessingCommands::Handles(c.id)) {
            EXPECT_TRUE(window.Action(c.id)->isEnabled()) << c.id << " is disabled while a test point is shown";
        }
    }

    WhenPanelOpens(window, [&](ui::PanelEditor& e) {
        BandPass(e, "1200", "100");
        Click(e, "previewButton");
        Click(e, "okButton");
    });
    window.Action(command_id::kFilter)->trigger();
    ASSERT_EQ(tp.stepCount(), stepsBefore + 1);
    const std::int32_t row = tp.stepCount() - 1;
    EXPECT_EQ(tp.steps[static_cast<std::size_t>(row)].filterUpperHz, 1200.0f);

    // Edit from the chain list: a double click on the row.
    auto* list = window.findChild<ui::ChainDock*>()->List();
    list->setCurrentRow(row);
    WhenPanelOpens(window, [&](ui::PanelEditor& e) {
        EXPECT_EQ(Child<QLineEdit>(e, "upper")->text(), QStringLiteral("1200")) << "an edited step shows its values";
        EXPECT_TRUE(Child<QRadioButton>(e, "choice2")->isChecked());
        Type(e, "upper", "1000");
        Click(e, "okButton");
    });
    emit list->itemDoubleClicked(list->item(row));
    ASSERT_EQ(tp.stepCount(), stepsBefore + 1);
    EXPECT_EQ(tp.steps[static_cast<std::size_t>(row)].filterUpperHz, 1000.0f);
    EXPECT_EQ(list->currentRow(), row) << "the list keeps its selection";

    // The docked form: switch from the popup, then type into the strip.
    WhenPanelOpens(window, [&](ui::PanelEditor& popup) {
        Click(popup, "switchButton");
        WhenPanelOpens(window, [&](ui::PanelEditor& strip) {
            BandPass(strip, "1200", "100");
            Click(strip, "previewButton");
            Click(strip, "okButton");
        });
    });
    window.Action(command_id::kFilter)->trigger();
    ASSERT_EQ(tp.stepCount(), stepsBefore + 2);
    EXPECT_EQ(tp.steps.back().filterKind, 3);
    EXPECT_EQ(tp.steps.back().filterUpperHz, 1200.0f);
    EXPECT_EQ(window.Processing()->OpenStrip(), nullptr);

    window.Action(command_id::kUndoLast)->trigger();
    window.Action(command_id::kUndoLast)->trigger();
    EXPECT_EQ(tp.stepCount(), stepsBefore);
    EXPECT_EQ(tp.samples, samplesBefore);
    EXPECT_TRUE(prompts.messages.empty());
}

}  // namespace
}  // namespace tav
