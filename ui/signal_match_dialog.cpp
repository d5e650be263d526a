#include "ui/signal_match_dialog.hpp"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "base/atomic_file.hpp"
#include "render/match_picture.hpp"
#include "render/picture_drawing.hpp"
#include "ui/message_boxes.hpp"
#include "ui/qt_text.hpp"

namespace tav::ui {

namespace {

constexpr int kPollMs = 100;
constexpr PictureSize kSavedPictureSize{800, 480};

QString Metres(double v) { return QString::number(v, 'f', 2); }

}  // namespace

MatchPictureWidget::MatchPictureWidget(QWidget* parent) : QWidget(parent) {
    setMinimumSize(640, 380);
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, Qt::white);
    setPalette(p);
}

void MatchPictureWidget::SetResult(const MatchResult& result, const QString& caption) {
    result_ = result;
    caption_ = caption;
    update();
}

void MatchPictureWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    render::PaintMatch(painter, rect(), result_, caption_, render::PictureFont());
}

SignalMatchDialog::SignalMatchDialog(const TestPoint& point, QWidget* parent) : QDialog(parent), point_(point) {
    setWindowTitle(QStringLiteral("信号拟合 - %1").arg(FieldText(point_.pileNo)));
    auto* layout = new QVBoxLayout(this);
    picture_ = new MatchPictureWidget(this);
    layout->addWidget(picture_, 1);

    segments_ = new QTableWidget(0, 3, this);
    segments_->setHorizontalHeaderLabels({QStringLiteral("顶深(m)"), QStringLiteral("底深(m)"), QStringLiteral("阻抗比Z/Z0")});
    segments_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    segments_->verticalHeader()->setVisible(false);
    segments_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    segments_->setMaximumHeight(150);
    layout->addWidget(segments_);

    status_ = new QLabel(QStringLiteral("正在拟合..."), this);
    status_->setWordWrap(true);
    layout->addWidget(status_);
    progress_ = new QProgressBar(this);
    progress_->setRange(0, 1000);
    progress_->setTextVisible(false);
    layout->addWidget(progress_);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    cancel_ = new QPushButton(QStringLiteral("取消拟合"), this);
    save_ = new QPushButton(QStringLiteral("保存图形..."), this);
    save_->setEnabled(false);
    auto* close = new QPushButton(QStringLiteral("关闭"), this);
    buttons->addWidget(cancel_);
    buttons->addWidget(save_);
    buttons->addWidget(close);
    layout->addLayout(buttons);
    connect(cancel_, &QPushButton::clicked, this, &SignalMatchDialog::Cancel);
    connect(save_, &QPushButton::clicked, this, &SignalMatchDialog::AskAndSave);
    connect(close, &QPushButton::clicked, this, &SignalMatchDialog::reject);

    timer_ = new QTimer(this);
    connect(timer_, &QTimer::timeout, this, &SignalMatchDialog::Poll);
    timer_->start(kPollMs);
    // The worker sees only its copy of the test point and the shared counters.
    worker_ = std::thread([this] {
        MatchOptions options;
        options.cancel = &cancelFlag_;
        options.progress = [this](double share) { progressPermille_ = static_cast<int>(share * 1000); };
        result_ = MatchSignal(point_, options);
        done_ = 1;
    });
}

SignalMatchDialog::~SignalMatchDialog() {
    cancelFlag_ = 1;
    if (worker_.joinable()) worker_.join();
}

void SignalMatchDialog::Cancel() {
    cancelFlag_ = 1;
    cancel_->setEnabled(false);
    status_->setText(QStringLiteral("正在取消..."));
}

void SignalMatchDialog::reject() {
    // The fit checks the flag between model runs, so the join is quick.
    Cancel();
    if (worker_.joinable()) worker_.join();
    timer_->stop();
    QDialog::reject();
}

void SignalMatchDialog::Poll() {
    progress_->setValue(progressPermille_.load());
    if (done_.load() == 1 && worker_.joinable()) Finish();
}

void SignalMatchDialog::Finish() {
    worker_.join();
    timer_->stop();
    cancel_->setEnabled(false);
    progress_->setValue(result_.ok() ? 1000 : progress_->value());
    picture_->SetResult(result_, render::MatchCaption(point_, result_));
    if (!result_.ok()) {
        status_->setText(FromUtf8(MatchFailureText(result_.failure)));
        return;
    }
    segments_->setRowCount(static_cast<int>(result_.segments.size()));
    for (int i = 0; i < segments_->rowCount(); ++i) {
        const auto& s = result_.segments[static_cast<std::size_t>(i)];
        segments_->setItem(i, 0, new QTableWidgetItem(Metres(s.top)));
        segments_->setItem(i, 1, new QTableWidgetItem(Metres(s.bottom)));
        segments_->setItem(i, 2, new QTableWidgetItem(QString::number(s.ratio, 'f', 2)));
    }
    const auto& soil = result_.soil;
    status_->setText(QStringLiteral("拟合质量 %1（桩底反射段 %2）；桩侧土阻尼 %3，桩侧土刚度频率 %4 Hz；"
                                    "桩端土阻尼比 %5，桩端土刚度频率 %6 Hz；模型计算 %7 次")
                         .arg(result_.quality, 0, 'f', 4)
                         .arg(result_.echoQuality, 0, 'f', 4)
                         .arg(soil.shaftDamping, 0, 'f', 2)
                         .arg(soil.shaftFrequency, 0, 'f', 0)
                         .arg(soil.toeDamping, 0, 'f', 2)
                         .arg(soil.toeFrequency, 0, 'f', 0)
                         .arg(result_.forwardRuns));
    save_->setEnabled(true);
}

QString SignalMatchDialog::SavePicture(const QString& path) const {
    const QString suffix = path.section(QLatin1Char('.'), -1).toLower();
    const std::int32_t format = suffix == QStringLiteral("jpg") || suffix == QStringLiteral("jpeg") ? kPictureJpg
                                : suffix == QStringLiteral("png")                                ? kPicturePng
                                                                                                 : kPictureBmp;
    std::string error;
    const auto picture = render::EncodePicture(
        render::DrawMatchPicture(result_, render::MatchCaption(point_, result_), kSavedPictureSize), format, &error);
    if (!picture || picture->bytes.empty()) return QStringLiteral("无法生成图形");
    if (!WriteFileAtomically(path.toStdString(), picture->bytes, &error))
        return QStringLiteral("无法保存图形文件%1").arg(path);
    return {};
}

void SignalMatchDialog::AskAndSave() {
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("保存图形"), QString(),
                                                      QStringLiteral("位图文件(*.bmp);;JPEG文件(*.jpg);;PNG文件(*.png)"));
    if (path.isEmpty()) return;
    if (const QString problem = SavePicture(path); !problem.isEmpty())
        ShowWarning(this, problem, QStringLiteral("信号拟合"));
}

}  // namespace tav::ui
