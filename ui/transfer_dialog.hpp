// "数据传输": the instrument's projects, the queue the user builds from them,
// and the transfer into project files in a local folder. The dialog probes the
// instrument every 500 ms while idle; the session does the work (see
// transfer/transfer_session.hpp), the dialog shows it.
//
// The port is picked by MakeInstrumentPort: the simulated instrument when the
// environment variable TAV_INSTRUMENT_SIM names its storage folder (optionally
// with TAV_INSTRUMENT_FAULTS, as tavtool's --faults), else /dev/parport0.
#pragma once

#include <QDialog>
#include <memory>
#include <string>

#include "base/user_prompts.hpp"
#include "transfer/parallel_link.hpp"
#include "transfer/transfer_session.hpp"
#include "transfer/work_folder.hpp"

class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;

namespace tav::ui {

std::unique_ptr<ParallelPort> MakeInstrumentPort();
// "MXTAV" in the user's documents folder, made when missing; ends in "/".
QString DefaultTransferFolder();

class TransferDialog : public QDialog {
    Q_OBJECT
public:
    TransferDialog(std::unique_ptr<ParallelPort> port, const QString& localFolder, UserPrompts& prompts,
                   QWidget* parent = nullptr);
    ~TransferDialog() override;

    // Whether the folder of the last transfer is shown when the dialog goes
    // (tests turn it off).
    void SetOpenFolderOnClose(bool open) { openFolderOnClose_ = open; }

    TransferSession& Session() { return *session_; }
    QTreeWidget* InstrumentTree() const { return tree_; }
    QTreeWidget* RangeList() const { return range_; }
    QListWidget* QueueList() const { return queue_; }
    QProgressBar* Progress() const { return progress_; }
    QLineEdit* FolderField() const { return folder_; }
    QLabel* StatusLine() const { return status_; }

    // One tick of the timer.
    void Tick();
    void PressStart();
    void AddSelected();
    void RemoveSelected();
    void AddAll();
    void RemoveAll();

public slots:
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    class Relay;
    void Refresh();
    void RefreshQueue();
    void WorkerEnded(bool cancelled);
    void ProjectFinished(const ProjectOutcome& outcome);
    void Leave();
    void TreeClicked(QTreeWidgetItem* item, bool doubleClick);
    void Browse();

    std::unique_ptr<ParallelPort> port_;
    TransferWorkFolder work_;
    ParallelLink link_;
    std::unique_ptr<Relay> relay_;
    std::unique_ptr<TransferSession> session_;
    UserPrompts& prompts_;
    bool openFolderOnClose_ = true;
    bool leaving_ = false;

    QTreeWidget* tree_;
    QTreeWidget* range_;
    QListWidget* queue_;
    QProgressBar* progress_;
    QLineEdit* folder_;
    QLabel* status_;
    QPushButton* start_;
    QTimer* timer_;
};

}  // namespace tav::ui
