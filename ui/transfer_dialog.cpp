#include "ui/transfer_dialog.hpp"

#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardPaths>
#include <QStyle>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>
#include <cstdlib>
#include <filesystem>

#include "base/text_codec.hpp"
#include "transfer/simulated_instrument.hpp"
#include "ui/qt_text.hpp"

namespace tav::ui {

namespace {

constexpr int kProbeIntervalMs = 500;
constexpr int kEntryRole = Qt::UserRole;
const char* const kInstrumentEnv = "TAV_INSTRUMENT_SIM";
const char* const kFaultsEnv = "TAV_INSTRUMENT_FAULTS";
const char* const kPortDevice = "/dev/parport0";

QString Cp936(std::string_view text) { return FromUtf8(Cp936ToUtf8(text)); }

}  // namespace

std::unique_ptr<ParallelPort> MakeInstrumentPort() {
    const char* storage = std::getenv(kInstrumentEnv);
    if (storage && *storage) {
        WireFaults faults;
        const char* faultText = std::getenv(kFaultsEnv);
        if (faultText && *faultText) ParseWireFaults(faultText, faults, nullptr);
        return std::make_unique<SimulatedInstrument>(storage, faults);
    }
    return std::make_unique<PpdevPort>(kPortDevice);
}

QString DefaultTransferFolder() {
    QString docs = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (docs.isEmpty()) docs = QDir::homePath();
    const QString folder = docs + QStringLiteral("/MXTAV/");
    QDir().mkpath(folder);
    return folder;
}

// The worker's news, carried over to the dialog's thread.
class TransferDialog::Relay final : public TransferEvents {
public:
    explicit Relay(TransferDialog* dialog) : dialog_(dialog) {}
    void QueueChanged() override { Post([d = dialog_] { d->RefreshQueue(); }); }
    void ProgressChanged(int percent) override { Post([d = dialog_, percent] { d->progress_->setValue(percent); }); }
    void ProjectFinished(const ProjectOutcome& o) override { Post([d = dialog_, o] { d->ProjectFinished(o); }); }
    void WorkerEnded(bool cancelled) override { Post([d = dialog_, cancelled] { d->WorkerEnded(cancelled); }); }

private:
    template <typename F>
    void Post(F f) {
        QMetaObject::invokeMethod(dialog_, std::move(f), Qt::QueuedConnection);
    }
    TransferDialog* dialog_;
};

TransferDialog::TransferDialog(std::unique_ptr<ParallelPort> port, const QString& localFolder, UserPrompts& prompts,
                               QWidget* parent)
    : QDialog(parent),
      port_(std::move(port)),
      link_(*port_),
      relay_(std::make_unique<Relay>(this)),
      session_(std::make_unique<TransferSession>(link_, work_.path(), relay_.get())),
      prompts_(prompts) {
    setWindowTitle(QStringLiteral("数据传输"));

    auto* group = new QGroupBox(QStringLiteral("MX-TAV分析仪"), this);
    tree_ = new QTreeWidget(group);
    tree_->setHeaderHidden(true);
    auto* groupLayout = new QVBoxLayout(group);
    groupLayout->addWidget(tree_);
    status_ = new QLabel(this);

    auto* rangeBox = new QGroupBox(QStringLiteral("选择范围"), this);
    range_ = new QTreeWidget(rangeBox);
    range_->setRootIsDecorated(false);
    range_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    range_->setHeaderLabels({QStringLiteral("工程名称"), QStringLiteral("测点数"), QStringLiteral("检测日期"),
                             QStringLiteral("文件名")});
    const int widths[] = {60, 50, 80, 100};
    for (int c = 0; c < 4; ++c) range_->setColumnWidth(c, widths[c] * 3 / 2);  // the widths are in dialog units
    (new QVBoxLayout(rangeBox))->addWidget(range_);

    auto* queueBox = new QGroupBox(QStringLiteral("传输文件"), this);
    queue_ = new QListWidget(queueBox);
    queue_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    (new QVBoxLayout(queueBox))->addWidget(queue_);

    auto* arrows = new QVBoxLayout;
    auto arrow = [&](const char* text, const char* tip, void (TransferDialog::*slot)()) {
        auto* b = new QPushButton(QString::fromUtf8(text), this);
        b->setToolTip(QString::fromUtf8(tip));
        connect(b, &QPushButton::clicked, this, slot);
        arrows->addWidget(b);
    };
    arrows->addStretch();
    arrow("→", "从“选择范围”添加被选中的文件到“传输文件”", &TransferDialog::AddSelected);
    arrow("←", "从“传输文件”移除被选中的文件", &TransferDialog::RemoveSelected);
    arrow("⇉", "添加“选择范围”所有文件到“传输文件”", &TransferDialog::AddAll);
    arrow("⇇", "移除“传输文件”所有文件", &TransferDialog::RemoveAll);
    arrows->addStretch();

    progress_ = new QProgressBar(this);
    progress_->setRange(0, 100);
    progress_->setValue(0);
    folder_ = new QLineEdit(localFolder, this);
    auto* browse = new QPushButton(QStringLiteral("…"), this);
    connect(browse, &QPushButton::clicked, this, &TransferDialog::Browse);
    start_ = new QPushButton(QStringLiteral("开始传输"), this);
    connect(start_, &QPushButton::clicked, this, &TransferDialog::PressStart);
    auto* close = new QPushButton(QStringLiteral("关 闭"), this);
    connect(close, &QPushButton::clicked, this, &TransferDialog::reject);

    auto* lists = new QHBoxLayout;
    lists->addWidget(group, 2);
    lists->addWidget(rangeBox, 4);
    lists->addLayout(arrows);
    lists->addWidget(queueBox, 2);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(folder_, 1);
    bottom->addWidget(browse);
    bottom->addWidget(start_);
    bottom->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(lists, 1);
    layout->addWidget(status_);
    layout->addWidget(progress_);
    layout->addLayout(bottom);
    resize(900, 420);

    connect(range_, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
        const int row = range_->indexOfTopLevelItem(item);
        if (row >= 0 && session_->AddSelected(std::span(&row, 1))) RefreshQueue();
    });
    connect(queue_, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
        const int position = queue_->row(item);
        if (position >= 0 && session_->RemoveSelected(std::span(&position, 1))) RefreshQueue();
    });
    connect(tree_, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) { TreeClicked(item, false); });
    connect(tree_, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) { TreeClicked(item, true); });

    Refresh();
    timer_ = new QTimer(this);
    connect(timer_, &QTimer::timeout, this, &TransferDialog::Tick);
    timer_->start(kProbeIntervalMs);
}

TransferDialog::~TransferDialog() {
    timer_->stop();
    session_->Close();  // the worker is stopped and joined before anything it uses goes
    if (openFolderOnClose_ && !session_->OpenedFolder().empty())
        QDesktopServices::openUrl(QUrl::fromLocalFile(FromUtf8(session_->OpenedFolder())));
}

void TransferDialog::Tick() {
    if (leaving_) return;
    if (session_->CancelState() == kCancelAcknowledged) {
        Leave();
        return;
    }
    if (session_->Busy()) return;
    session_->Probe();
    if (session_->TakeRefresh()) Refresh();
}

void TransferDialog::Refresh() {
    const bool connected = session_->Connected();
    tree_->clear();
    range_->clear();
    auto* root = new QTreeWidgetItem(tree_, {QStringLiteral("MX-TAV(N)")});
    root->setIcon(0, style()->standardIcon(connected ? QStyle::SP_DriveHDIcon : QStyle::SP_DriveFDIcon));
    if (connected) {
        auto* dat = new QTreeWidgetItem(root, {QStringLiteral("DAT")});
        const auto& entries = session_->Entries();
        for (int i = 0; i < static_cast<int>(entries.size()); ++i) {
            const auto& e = entries[static_cast<std::size_t>(i)];
            auto* node = new QTreeWidgetItem(dat, {Cp936(e.localName)});
            node->setData(0, kEntryRole, i);
            auto* row = new QTreeWidgetItem(range_, {Cp936(TextOf(e.projectName)), QString::number(EntryPointCount(e)),
                                                     Cp936(TextOf(e.testDate)), Cp936(e.localName)});
            row->setData(0, kEntryRole, i);
        }
        tree_->expandAll();
        status_->setText(FromUtf8(std::string(kInstrumentFolderText)));
    } else {
        QString text = FromUtf8(std::string(kNotConnectedText));
        if (!port_->Usable()) text += QStringLiteral("（") + FromUtf8(port_->Problem()) + QStringLiteral("）");
        status_->setText(text);
    }
    RefreshQueue();
}

void TransferDialog::RefreshQueue() {
    queue_->clear();
    const auto& entries = session_->Entries();
    for (const int i : session_->Queue())
        if (i >= 0 && i < static_cast<int>(entries.size())) queue_->addItem(Cp936(entries[static_cast<std::size_t>(i)].localName));
}

void TransferDialog::AddSelected() {
    std::vector<int> rows;
    for (auto* item : range_->selectedItems()) rows.push_back(range_->indexOfTopLevelItem(item));
    if (session_->AddSelected(rows)) RefreshQueue();
}

void TransferDialog::RemoveSelected() {
    std::vector<int> positions;
    for (auto* item : queue_->selectedItems()) positions.push_back(queue_->row(item));
    if (session_->RemoveSelected(positions)) RefreshQueue();
}

void TransferDialog::AddAll() {
    if (session_->AddAll()) RefreshQueue();
}

void TransferDialog::RemoveAll() {
    if (session_->RemoveAll()) RefreshQueue();
}

void TransferDialog::TreeClicked(QTreeWidgetItem* item, bool doubleClick) {
    const QVariant entry = item->data(0, kEntryRole);
    if (!entry.isValid()) return;
    const int row = entry.toInt();
    range_->clearSelection();
    if (auto* listed = range_->topLevelItem(row)) {
        listed->setSelected(true);
        range_->setCurrentItem(listed);
    }
    if (doubleClick && session_->AddSelected(std::span(&row, 1))) RefreshQueue();
}

void TransferDialog::Browse() {
    QString chosen = QFileDialog::getExistingDirectory(this, QStringLiteral("选择存放目录"), folder_->text());
    if (chosen.isEmpty()) return;
    if (!chosen.endsWith('/')) chosen += '/';
    folder_->setText(chosen);
}

void TransferDialog::PressStart() {
    if (!session_->Editable()) return;
    const std::string folder = folder_->text().toStdString();
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    session_->SetLocalFolder(folder);
    switch (session_->Start()) {
        case TransferSession::StartResult::EmptyQueue: prompts_.Message(kChooseFilesText); break;
        case TransferSession::StartResult::Started:
            queue_->setEnabled(false);
            progress_->setValue(0);
            break;
        case TransferSession::StartResult::Ignored: break;
    }
}

void TransferDialog::ProjectFinished(const ProjectOutcome& outcome) {
    if (!outcome.converted) prompts_.Message(outcome.message);
}

void TransferDialog::WorkerEnded(bool cancelled) {
    if (cancelled) return;  // the timer closes the dialog
    progress_->setValue(100);
    prompts_.Message(kTransferDoneText);
    progress_->setValue(0);
    queue_->setEnabled(true);
    RefreshQueue();
}

void TransferDialog::reject() {
    if (leaving_) return;
    switch (session_->RequestClose()) {
        case TransferSession::CloseStep::CloseNow: Leave(); break;
        case TransferSession::CloseStep::AskAbort:
            if (prompts_.YesNo(kAbortQuestion)) session_->RequestCancel();
            break;
        case TransferSession::CloseStep::AskForce:
            // The worker is joined on the way out: it watches the cancel state, so this is quick.
            if (prompts_.YesNo(kForceQuestion)) Leave();
            break;
    }
}

void TransferDialog::closeEvent(QCloseEvent* event) {
    event->ignore();
    reject();
}

void TransferDialog::Leave() {
    leaving_ = true;
    timer_->stop();
    session_->Close();
    QDialog::reject();
}

}  // namespace tav::ui
