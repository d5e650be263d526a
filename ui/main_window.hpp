// The workstation's frame: menus and toolbar built from the command table, the
// docked panels, the waveform view and the file commands. One project at a time.
#pragma once

#include <QDesktopServices>
#include <QMainWindow>
#include <QUrl>
#include <functional>
#include <map>
#include <vector>

#include "analysis/pile_parameter_bar.hpp"
#include "app/app_shell.hpp"
#include "base/user_prompts.hpp"
#include "model/document.hpp"
#include "ui/message_boxes.hpp"

class QAction;
class QMenu;
class QLineEdit;
class QComboBox;

namespace tav::ui {

class PointListDock;
class ChainDock;
class InfoDock;
class CTAV_AnalyserView;
class PrintController;
class ReportCommands;
class ProcessingCommands;
class ListController;
class ProposalPanel;
class HelpViewer;

// Hands every question to whatever prompts the window uses at the time of asking.
class PromptsRelay : public UserPrompts {
public:
    explicit PromptsRelay(UserPrompts* const* target) : target_(target) {}
    void Message(std::string_view utf8Text) override { (*target_)->Message(utf8Text); }
    void Warning(std::string_view utf8Text) override { (*target_)->Warning(utf8Text); }
    bool YesNo(std::string_view utf8Text) override { return (*target_)->YesNo(utf8Text); }
    Answer YesNoCancel(std::string_view utf8Text) override { return (*target_)->YesNoCancel(utf8Text); }

private:
    UserPrompts* const* target_;
};

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    // Without a shell (tests) nothing is logged and the recent-file list lives
    // only as long as the window.
    explicit MainWindow(AppShell* shell = nullptr, QWidget* parent = nullptr);
    ~MainWindow() override;

    CTAV_AnalyserDoc& Document() { return doc_; }
    QAction* Action(int id) const;
    // Runs a command as its menu entry would: handed to the owner the command
    // table names, or run by the window's own handler.
    void Run(int id);
    // Whether the window has a handler of its own for the command.
    bool RunsItself(int id) const { return handlers_.contains(id); }

    // The open path: asks about unsaved changes first; "文件路径错误" for a missing file.
    bool OpenPath(const QString& path);
    bool AppendPaths(const QStringList& paths);
    bool SaveTo(const QString& path);
    // Save (Ctrl+S): a source that did not load whole is overwritten only
    // after the user says so; otherwise Save As.
    bool SaveCurrent();
    bool SaveAs();
    const QString& Path() const { return path_; }
    // What is wrong with the source file as it was loaded; empty when whole.
    const QString& SourceProblem() const { return sourceProblem_; }
    CTAV_AnalyserView* View() const { return view_; }
    PrintController* Printing() const { return print_; }
    ProcessingCommands* Processing() const { return processing_; }
    ProposalPanel* Proposals() const { return proposals_; }
    // The prompts the window shows; tests replace them with recorders.
    void SetPrompts(UserPrompts* prompts) { prompts_ = prompts ? prompts : &boxes_; }
    // Refreshes every panel and the view from the document.
    void RefreshAll();
    // Opens a folder or file with the desktop's default application; tests record instead.
    void SetOpener(std::function<void(const QString&)> open) { opener_ = std::move(open); }

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void BuildCommands();
    void BuildHandlers();
    bool CommandEnabled(int id) const;
    void UpdateCommandStates();
    // The window's own commands (see BuildHandlers).
    void ChooseAndOpen();
    void ChooseAndAppend();
    void MergeInstrumentFiles();
    void TransferFromInstrument();
    void SavePicture();
    void ShowLog();
    void SetScopeAll(bool all);
    void ShowProposals();
    void ShowSiteSpeed();
    void ShowSignalMatch();
    void EditDisplaySettings();
    void StartTool(int id);
    void ShowHelp();
    void ShowAbout();
    void UpdateTitle();
    bool MaySave();
    void ReportProblem(const QString& text);
    std::vector<std::int32_t> Targets() const;
    void AddRecent(const QString& path);
    void RebuildRecentMenu();
    void BuildParameterBar();
    void UpdateParameterBar();
    BarScope ParameterScope(std::vector<std::int32_t>& shown) const;
    void AddCustomDefect();
    std::string ConfigFolder() const;
    std::string DataFolder() const;
    std::string TempFolder() const;

    AppShell* shell_;
    CTAV_AnalyserDoc doc_;
    std::vector<std::string> recent_;
    MessageBoxPrompts boxes_{this};
    UserPrompts* prompts_ = &boxes_;
    PromptsRelay relay_{&prompts_};
    QString path_;
    QString sourceProblem_;
    DisplaySettings display_;  // the analysis view's stored settings
    bool scopeAll_ = false;
    RecomputeSettings recompute_;  // what a head or toe change recomputes
    QLineEdit* speedField_ = nullptr;
    QLineEdit* lengthField_ = nullptr;
    QComboBox* recomputeChoice_ = nullptr;
    std::map<int, QAction*> actions_;
    std::map<int, std::function<void()>> handlers_;
    QMenu* recentMenu_ = nullptr;
    PointListDock* pointList_ = nullptr;
    ChainDock* chain_ = nullptr;
    InfoDock* info_ = nullptr;
    ListController* listCommands_ = nullptr;
    CTAV_AnalyserView* view_ = nullptr;
    PrintController* print_ = nullptr;
    ReportCommands* reports_ = nullptr;
    ProcessingCommands* processing_ = nullptr;
    ProposalPanel* proposals_ = nullptr;
    HelpViewer* help_ = nullptr;  // made on the first F1
    std::function<void(const QString&)> opener_ = [](const QString& path) {
        QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    };
};

inline constexpr const char* kAppTitle = "TAV Analyser";

}  // namespace tav::ui
