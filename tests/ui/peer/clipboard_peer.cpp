// One side of the copy-and-paste between two running programs, driven by
// clipboard_between_programs.sh under a virtual X display.
//   clipboard_peer copy   a window with the piles C1 C1 C1 copies pile 0, says
//                         "copied" and keeps serving the clipboard until its
//                         standard input closes
//   clipboard_peer paste  a window with the piles P1 P2 P2 pastes over pile 1
//                         and checks that the copied pile arrived whole
#include <QApplication>
#include <QElapsedTimer>
#include <QSocketNotifier>
#include <cstdio>
#include <cstring>
#include <unistd.h>

#include "model/document.hpp"
#include "tests/support/project_builder.hpp"
#include "ui/command_table.hpp"
#include "ui/main_window.hpp"

namespace {

using namespace tav;

void Fill(CTAV_AnalyserDoc& doc, std::initializer_list<const char*> piles, int firstRecord) {
    for (const char* p : piles) {
        TestPoint tp = testing::WaveformPoint(p, 256, static_cast<std::uint32_t>(firstRecord));
        tp.recordNo = static_cast<std::int16_t>(firstRecord++);
        doc.InsertPoint(doc.PointCount(), tp);
    }
    doc.RebuildCheckedList();
}

int Copy(QApplication& app, ui::MainWindow& window) {
    auto& doc = window.Document();
    Fill(doc, {"C1", "C1", "C1"}, 100);
    doc.SelectPile(0);
    window.RefreshAll();
    window.Run(command_id::kEditCopy);
    std::printf("copied\n");
    std::fflush(stdout);
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&] {
        char buffer[64];
        if (::read(STDIN_FILENO, buffer, sizeof buffer) <= 0) app.quit();
    });
    return app.exec();
}

int Paste(ui::MainWindow& window) {
    auto& doc = window.Document();
    Fill(doc, {"P1", "P2", "P2"}, 1);
    doc.SelectPile(1);
    window.RefreshAll();
    QElapsedTimer waited;
    waited.start();
    while (!window.Action(command_id::kEditPaste)->isEnabled() && waited.elapsed() < 10000)
        QApplication::processEvents(QEventLoop::AllEvents, 100);
    if (!window.Action(command_id::kEditPaste)->isEnabled()) {
        std::printf("the clipboard offers no test points\n");
        return 1;
    }
    window.Run(command_id::kEditPaste);
    bool whole = doc.PointCount() == 4;
    for (int i = 1; whole && i < 4; ++i) {
        const auto& tp = doc.points[static_cast<std::size_t>(i)];
        whole = TextOf(tp.pileNo) == "P2" && tp.recordNo == 99 + i && tp.rawCount() == 256;
    }
    std::printf(whole ? "pasted\n" : "the pasted pile differs from the copied one\n");
    return whole ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 2) return 2;
    ui::MainWindow window;
    window.show();
    if (std::strcmp(argv[1], "copy") == 0) return Copy(app, window);
    if (std::strcmp(argv[1], "paste") == 0) return Paste(window);
    return 2;
}
