#include "ui/proposal_panel.hpp"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "analysis/display/display_model.hpp"
#include "analysis/pile_marks.hpp"
#include "analysis/site_speed.hpp"
#include "model/document.hpp"
#include "model/pile_quantities.hpp"
#include "ui/command_table.hpp"
#include "ui/qt_text.hpp"

namespace tav::ui {

namespace {

QString Confidence(double c) { return QStringLiteral("置信度 %1").arg(c, 0, 'f', 2); }

}  // namespace

ProposalPanel::ProposalPanel(CTAV_AnalyserDoc& doc, UserPrompts& prompts, QWidget* parent)
    : QDialog(parent), doc_(doc), prompts_(prompts) {
    setWindowTitle(QStringLiteral("自动判读"));
    setObjectName(QStringLiteral("proposalPanel"));
    setModal(false);
    auto* layout = new QVBoxLayout(this);
    status_ = new QLabel;
    status_->setWordWrap(true);
    layout->addWidget(status_);
    list_ = new QListWidget;
    layout->addWidget(list_);
    auto* row = new QHBoxLayout;
    accept_ = new QPushButton(QStringLiteral("采用"));
    dismiss_ = new QPushButton(QStringLiteral("忽略"));
    auto* again = new QPushButton(QStringLiteral("重新判读"));
    row->addWidget(accept_);
    row->addWidget(dismiss_);
    row->addStretch();
    row->addWidget(again);
    layout->addLayout(row);
    auto* close = new QDialogButtonBox(QDialogButtonBox::Close);
    layout->addWidget(close);
    connect(close, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(accept_, &QPushButton::clicked, this, [this] { Accept(list_->currentRow()); });
    connect(dismiss_, &QPushButton::clicked, this, [this] { Dismiss(list_->currentRow()); });
    connect(again, &QPushButton::clicked, this, [this] { ProposeFor(doc_.currentIndex); });
    connect(list_, &QListWidget::itemDoubleClicked, this, [this] { Accept(list_->currentRow()); });
    connect(this, &QDialog::finished, this, [this] {
        lines_.clear();
        emit linesChanged();
    });
    resize(360, 320);
}

void ProposalPanel::ProposeFor(std::int32_t index) {
    point_ = index;
    lines_.clear();
    kinds_.clear();
    if (!doc_.ValidIndex(index)) {
        status_->setText(QStringLiteral("没有选中的测点"));
    } else {
        const TestPoint& tp = doc_.points[static_cast<std::size_t>(index)];
        ProposalOptions options;
        options.siteSpeed = SiteMeanFor(doc_, index);
        const ReflectionProposals p = ProposeReflections(tp, options);
        if (!p.noProposal.empty()) {
            status_->setText(QStringLiteral("无判读结果：%1").arg(FromUtf8(p.noProposal)));
        } else {
            status_->setText(QStringLiteral("%1：按桩长%2m%3判读，波速约%4m/s。双击或“采用”写入，“忽略”放弃。")
                                 .arg(FieldText(tp.pileNo))
                                 .arg(QString::fromStdString(FormatLength(tp.pileLength)))
                                 .arg(options.siteSpeed ? QStringLiteral("和场地平均波速") : QString())
                                 .arg(p.waveSpeed, 0, 'f', 0));
            if (p.toeIndex)
                lines_.push_back({index, *p.toeIndex,
                                  QStringLiteral("桩底 %1").arg(Confidence(p.toeConfidence)), true});
            for (const auto& d : p.defects) {
                const QString what = d.kind == ReflectionKind::Reduction ? QStringLiteral("阻抗减小")
                                                                         : QStringLiteral("阻抗增大");
                lines_.push_back({index, d.index,
                                  QStringLiteral("%1 %2m %3").arg(what).arg(static_cast<double>(d.depth), 0, 'f', 2)
                                      .arg(Confidence(d.confidence)),
                                  false});
                kinds_.push_back(d.kind);
            }
        }
    }
    Fill();
    emit linesChanged();
}

void ProposalPanel::Fill() {
    list_->clear();
    for (const auto& line : lines_) list_->addItem(line.label);
    if (!lines_.empty()) list_->setCurrentRow(0);
    accept_->setEnabled(!lines_.empty());
    dismiss_->setEnabled(!lines_.empty());
}

bool ProposalPanel::Accept(int row) {
    if (row < 0 || row >= static_cast<int>(lines_.size()) || !doc_.ValidIndex(point_)) return false;
    const ProposalLine line = lines_[static_cast<std::size_t>(row)];
    bool ok = false;
    if (line.toe) {
        ok = SetPileToe(doc_, point_, line.sample, recomputeMode_, prompts_) == 1;
    } else {
        // Defect lines follow the toe line, when there is one, in the list.
        const std::size_t defect = static_cast<std::size_t>(row) - (lines_.front().toe ? 1 : 0);
        const int command =
            kinds_[defect] == ReflectionKind::Reduction ? command_id::kNeckGrade2 : command_id::kBulgeGrade2;
        ok = AddDefect(doc_, point_, line.sample, DefectCodeOfCommand(command), {}, {}, prompts_) == 1;
    }
    if (!ok) return false;
    doc_.MarkModified();
    Dismiss(row);
    emit documentChanged();
    return true;
}

void ProposalPanel::Dismiss(int row) {
    if (row < 0 || row >= static_cast<int>(lines_.size())) return;
    const bool toe = lines_[static_cast<std::size_t>(row)].toe;
    if (!toe) kinds_.erase(kinds_.begin() + (row - (lines_.front().toe ? 1 : 0)));
    lines_.erase(lines_.begin() + row);
    Fill();
    list_->setCurrentRow(std::min(row, list_->count() - 1));
    emit linesChanged();
}

}  // namespace tav::ui
