#include "ui/report_dialogs.hpp"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "output/report_library_call.hpp"
#include "ui/message_boxes.hpp"
#include "ui/qt_text.hpp"

namespace tav::ui {

namespace {

// The dialog shows the total with the blanks of its label.
QString DialogLabel(std::string_view label) {
    return label == "总桩数" ? QStringLiteral("总 桩 数") : FromUtf8(label);
}

}  // namespace

ReportInfoDialog::ReportInfoDialog(const ReportFields& initial, QWidget* parent)
    : QDialog(parent), standard_(new QComboBox), match_(new QCheckBox(QStringLiteral("每个测点的曲线图后附信号拟合图"))) {
    setWindowTitle(QStringLiteral("工程信息"));
    auto* form = new QFormLayout;
    for (const auto& l : ReportFieldLabels()) {
        auto* line = new QLineEdit(FromUtf8(initial.*l.field));
        if (l.label == "总桩数")
            line->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("\\d{0,9}")), line));
        lines_.push_back(line);
        form->addRow(DialogLabel(l.label), line);
    }
    for (int k = 0; k < kReportStandardCount; ++k) standard_->addItem(FromUtf8(ReportStandardText(k)));
    standard_->setCurrentIndex(std::clamp(initial.standard, 0, kReportStandardCount - 1));
    form->addRow(QStringLiteral("检测依据"), standard_);
    match_->setToolTip(QStringLiteral("对每个测点做信号拟合，把实测与拟合曲线及桩身阻抗剖面图放在它的曲线图之后"));
    form->addRow(QStringLiteral("信号拟合"), match_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("确定"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("取消"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

QLineEdit* ReportInfoDialog::Field(std::string_view label) const {
    const auto labels = ReportFieldLabels();
    for (std::size_t k = 0; k < labels.size(); ++k)
        if (labels[k].label == label || DialogLabel(labels[k].label).toStdString() == label) return lines_[k];
    return nullptr;
}

ReportFields ReportInfoDialog::Fields() const {
    ReportFields fields;
    const auto labels = ReportFieldLabels();
    for (std::size_t k = 0; k < labels.size(); ++k) fields.*labels[k].field = lines_[k]->text().trimmed().toStdString();
    fields.standard = standard_->currentIndex();
    return fields;
}

void ReportInfoDialog::accept() {
    if (!TypedTotalPiles(Fields().totalPiles)) {
        ShowWarning(this, QStringLiteral("总桩数应为整数"), windowTitle());
        Field("总桩数")->setFocus();
        return;
    }
    QDialog::accept();
}

ReportProgressDialog::ReportProgressDialog(std::string library, std::string dataFile, std::string document,
                                           int progressTotal, QWidget* parent)
    : QDialog(parent),
      library_(std::move(library)),
      dataFile_(std::move(dataFile)),
      document_(std::move(document)),
      total_(progressTotal),
      text_(new QLabel(QStringLiteral("正在生成报告，Word初始化……"))),
      animation_(new QProgressBar),
      ok_(new QPushButton(QStringLiteral("确  定"))),
      timer_(new QTimer(this)) {
    setWindowTitle(QStringLiteral("请稍候"));
    setModal(true);
    animation_->setRange(0, 0);  // a busy bar, moving while the library works
    animation_->setTextVisible(false);
    ok_->hide();
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text_);
    layout->addWidget(animation_);
    layout->addWidget(ok_, 0, Qt::AlignHCenter);
    setMinimumWidth(320);
    timer_->setInterval(kTickMilliseconds);
    connect(timer_, &QTimer::timeout, this, [this] { Tick(); });
}

ReportProgressDialog::~ReportProgressDialog() {
    if (worker_.joinable()) worker_.join();
}

void ReportProgressDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!started_) Start();
}

void ReportProgressDialog::Start() {
    started_ = true;
    worker_ = std::thread([this] {
        std::string error = CallReportLibrary(library_, dataFile_, document_, progress_);
        error_ = std::move(error);
        state_.store(error_.empty() ? Done : Failed);
    });
    timer_->start();
}

void ReportProgressDialog::Tick() {
    const State state = CurrentState();
    if (state == Running) {
        if (total_ > 0) {
            const long long percent = std::min<long long>(100, ReadReportProgress(progress_) * 100LL / total_);
            if (percent > 0) text_->setText(QStringLiteral("正在生成报告，已完成%1%").arg(percent));
        }
        return;
    }
    timer_->stop();
    if (worker_.joinable()) worker_.join();
    if (state == Failed) {
        text_->setText(FromUtf8(error_));
        setWindowTitle(QStringLiteral("生成Word报告失败"));
        animation_->hide();
        ok_->show();
        ok_->setFocus();
    } else {
        accept();
    }
}

QString ReportProgressDialog::ProgressText() const { return text_->text(); }

// The library cannot be stopped halfway: the window stays until it is done.
void ReportProgressDialog::closeEvent(QCloseEvent* event) {
    if (CurrentState() == Running) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void ReportProgressDialog::reject() {
    if (CurrentState() != Running) QDialog::reject();
}

}  // namespace tav::ui
