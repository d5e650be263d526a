#include "ui/match_fit_progress.hpp"

#include <QEventLoop>
#include <QProgressDialog>
#include <QTimer>
#include <atomic>
#include <thread>

#include "model/document.hpp"
#include "ui/qt_text.hpp"

namespace tav::ui {

namespace {

constexpr int kPollMs = 100;
constexpr int kSteps = 1000;

}  // namespace

std::optional<PointFits> FitWithProgress(QWidget* parent, const CTAV_AnalyserDoc& doc,
                                         std::span<const std::int32_t> points,
                                         const std::function<void(QProgressDialog&)>& watch) {
    const PointsToFit todo = CopyPointsToFit(doc, points);
    if (todo.indices.empty()) return PointFits{};
    QProgressDialog dialog(QStringLiteral("正在信号拟合..."), QStringLiteral("取消"), 0, kSteps, parent);
    dialog.setWindowTitle(QStringLiteral("信号拟合"));
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.setAutoClose(false);
    dialog.setAutoReset(false);
    dialog.setMinimumDuration(0);
    dialog.setValue(0);

    // The worker sees only its copies and these counters.
    std::atomic<int> cancel{0};
    std::atomic<int> permille{0};
    std::atomic<int> current{-1};
    std::atomic<int> done{0};
    PointFits fits;
    std::thread worker([&] {
        MatchOptions options;
        options.cancel = &cancel;
        fits = FitPoints(todo, options, [&](double share, std::int32_t index) {
            permille = static_cast<int>(share * kSteps);
            current = index;
        });
        done = 1;
    });

    QEventLoop loop;
    QTimer timer;
    const int total = static_cast<int>(todo.indices.size());
    const auto cancelFits = [&] {
        if (cancel.exchange(1) == 0) dialog.setLabelText(QStringLiteral("正在取消..."));
    };
    QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
        if (done.load() == 1) {
            loop.quit();
            return;
        }
        if (dialog.wasCanceled()) cancelFits();
        if (cancel.load() != 0) return;
        dialog.setValue(permille.load());
        const int index = current.load();
        int k = 0;
        while (k < total && todo.indices[static_cast<std::size_t>(k)] != index) ++k;
        if (k < total)
            dialog.setLabelText(QStringLiteral("正在信号拟合：%1（%2/%3）")
                                    .arg(FromUtf8(PointPictureLabel(doc, index)))
                                    .arg(k + 1)
                                    .arg(total));
    });
    QObject::connect(&dialog, &QProgressDialog::canceled, &loop, cancelFits);
    timer.start(kPollMs);
    dialog.show();
    if (watch) watch(dialog);
    // The fit checks the cancel flag between model runs, so a cancel ends it soon.
    if (done.load() == 0) loop.exec();
    worker.join();
    timer.stop();
    dialog.hide();
    if (fits.cancelled) return std::nullopt;
    return fits;
}

}  // namespace tav::ui
