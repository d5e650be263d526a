#include "processing/project_loading.hpp"
#include "ui/main_window.hpp"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QDragEnterEvent>
#include <QFileDialog>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QProcess>
#include <QStandardPaths>
#include <QStatusBar>
#include <QToolBar>
#include <QUrl>

#include "analysis/display/display_model.hpp"
#include "analysis/pile_marks.hpp"
#include "app/registry_store.hpp"
#include "model/positions.hpp"
#include "processing/chain.hpp"
#include "ui/analysis_view.hpp"
#include "ui/command_table.hpp"
#include "ui/custom_defect_dialog.hpp"
#include "ui/display_settings_dialog.hpp"
#include "ui/help_viewer.hpp"
#include "ui/list_controller.hpp"
#include "ui/log_viewer.hpp"
#include "ui/merge_dialog.hpp"
#include "ui/parameter_input.hpp"
#include "ui/picture_export_dialog.hpp"
#include "ui/print_controller.hpp"
#include "ui/processing_commands.hpp"
#include "ui/project_docks.hpp"
#include "ui/proposal_panel.hpp"
#include "ui/qt_text.hpp"
#include "ui/report_commands.hpp"
#include "ui/signal_match_dialog.hpp"
#include "ui/site_speed_dialog.hpp"
#include "ui/source_integrity.hpp"
#include "ui/transfer_dialog.hpp"

namespace tav::ui {

namespace {

const QString kFilter = QStringLiteral("TAV数据文件(*.tav);;所有文件 (*.*)");

// The program's version as the registry keeps it ("4.0.1.0").
QString VersionText() {
    return QStringLiteral("%1.%2.%3.%4").arg(kVersionValues[0]).arg(kVersionValues[1]).arg(kVersionValues[2]).arg(kVersionValues[3]);
}

// A desktop program standing in for the calculator, paint and notepad commands.
QString ToolProgram(int id) {
    QStringList names;
    if (id == command_id::kCalculator) names = {"gnome-calculator", "kcalc", "galculator", "mate-calc", "xcalc"};
    if (id == command_id::kPaint) names = {"kolourpaint", "pinta", "mtpaint", "gimp"};
    if (id == command_id::kNotepad) names = {"gedit", "mousepad", "kate", "xed", "pluma", "gnome-text-editor"};
    for (const auto& n : names) {
        const QString found = QStandardPaths::findExecutable(n);
        if (!found.isEmpty()) return found;
    }
    return {};
}

}  // namespace

MainWindow::MainWindow(AppShell* shell, QWidget* parent) : QMainWindow(parent), shell_(shell) {
    if (shell_) {
        doc_.SetEvents(&shell_->DocumentEventsFor(nullptr));
        recent_ = shell_->Registry().ReadRecentFiles();
        shell_->Settings().LoadOrCreate(display_);
        scopeAll_ = display_.operationScope == 1;
        doc_.magnifyOldRecords = display_.magnifyRaw != 0;
    }
    setObjectName(QStringLiteral("mainWindow"));
    setAcceptDrops(true);
    view_ = new CTAV_AnalyserView(doc_, shell_, relay_, this);
    view_->SetScopeAll(scopeAll_);
    view_->SetRecomputeMode(recompute_.mode);
    setCentralWidget(view_);
    pointList_ = new PointListDock(doc_, this);
    chain_ = new ChainDock(doc_, this);
    info_ = new InfoDock(doc_, this);
    addDockWidget(Qt::LeftDockWidgetArea, pointList_);
    addDockWidget(Qt::LeftDockWidgetArea, chain_);
    addDockWidget(Qt::BottomDockWidgetArea, info_);
    print_ = new PrintController(doc_, *view_, shell_, relay_, [this] { return path_; }, this);
    reports_ = new ReportCommands({doc_, shell_, relay_, [this](const QString& p) { opener_(p); },
                                   [this] {
                                       render::PointPictureOptions o;
                                       o.annotationItems = display_.annotationItems;
                                       return o;
                                   }},
                                  this);
    processing_ = new ProcessingCommands(doc_, *view_, *chain_, shell_, relay_, this);
    connect(processing_, &ProcessingCommands::changed, this, [this] { RefreshAll(); });
    proposals_ = new ProposalPanel(doc_, relay_, this);
    connect(proposals_, &ProposalPanel::linesChanged, this,
            [this] { view_->Display()->SetProposalLines(proposals_->Lines()); });
    connect(proposals_, &ProposalPanel::documentChanged, this, [this] { RefreshAll(); });
    BuildCommands();

    connect(pointList_, &PointListDock::pointChosen, this, [this](int index) {
        doc_.SelectPoint(index);
        view_->ClearCursor();
        RefreshAll();
    });
    connect(info_, &InfoDock::pointChosen, pointList_, &PointListDock::pointChosen);
    connect(pointList_, &PointListDock::pileChosen, this, [this](int ordinal) {
        doc_.SelectPile(ordinal);
        view_->ClearCursor();
        RefreshAll();
    });
    listCommands_ = new ListController(
        doc_, *pointList_, *info_, relay_, [this](int id) { return Action(id); },
        [this] { return shell_ ? shell_->EditScope() : 0; }, this);
    connect(listCommands_, &ListController::documentChanged, this, [this] { RefreshAll(); });
    connect(listCommands_, &ListController::statesChanged, this, [this] { UpdateCommandStates(); });
    connect(chain_, &ChainDock::commandRequested, this, [this](int id) { Run(id); });
    connect(chain_->List(), &QListWidget::currentRowChanged, this, [this] { UpdateCommandStates(); });
    connect(view_, &CTAV_AnalyserView::cursorMoved, this, [this] { UpdateCommandStates(); });
    connect(view_, &CTAV_AnalyserView::documentChanged, this, [this] {
        pointList_->Rebuild();
        chain_->Rebuild(Targets());
        info_->Rebuild();
        UpdateParameterBar();
        UpdateTitle();
        UpdateCommandStates();
    });
    connect(view_, &CTAV_AnalyserView::selectionChanged, this, [this] {
        processing_->FollowCurrentPoint();
        pointList_->Rebuild();
        chain_->Rebuild(Targets());
        info_->Rebuild();
        UpdateParameterBar();
        UpdateCommandStates();
    });
    BuildParameterBar();
    statusBar()->showMessage(QStringLiteral("就绪"));
    resize(1280, 800);
    RefreshAll();
}

MainWindow::~MainWindow() {
    // Closing the frame takes the focus from its fields, which then report an
    // edit: by then the document is gone, so nothing may reach this window.
    for (QObject* child : findChildren<QObject*>()) QObject::disconnect(child, nullptr, this, nullptr);
}

QAction* MainWindow::Action(int id) const {
    const auto it = actions_.find(id);
    return it == actions_.end() ? nullptr : it->second;
}

void MainWindow::BuildCommands() {
    std::map<std::string_view, QMenu*> menus;
    for (const auto& c : CommandTable()) {
        auto* action = new QAction(FromUtf8(c.menu), this);
        action->setStatusTip(FromUtf8(c.prompt));
        action->setToolTip(FromUtf8(c.shortName));
        action->setData(c.id);
        if (!c.keys.empty()) action->setShortcut(QKeySequence(FromUtf8(c.keys), QKeySequence::PortableText));
        action->setCheckable(c.rule == Rule::View && WaveDisplayModel::Checkable(c.id));
        actions_[c.id] = action;
        const int id = c.id;
        connect(action, &QAction::triggered, this, [this, id] { Run(id); });
        if (c.group == "处理列表") continue;  // the chain list's own menu
        QMenu*& menu = menus[c.group];
        if (!menu) {
            if (c.group == "插入处理") {
                menu = menus["波形处理"]->addMenu(QStringLiteral("插入"));
            } else if (c.group == "缺陷") {
                menu = menus["波形分析"]->addMenu(QStringLiteral("缺陷"));
            } else {
                menu = menuBar()->addMenu(FromUtf8(c.group));
            }
        }
        menu->addAction(action);
        if (c.id == command_id::kSaveTicked || c.id == command_id::kFilePrint) menu->addSeparator();
        if (c.id == command_id::kViewLog) {
            recentMenu_ = menu->addMenu(QStringLiteral("最近的文件"));
            menu->addSeparator();
        }
    }
    // The annotation items have no command id of their own: the view's dialog.
    menus["显示"]->addSeparator();
    menus["显示"]->addAction(QStringLiteral("选择参数项..."), view_, &CTAV_AnalyserView::ChooseAnnotationItems);
    auto* scope = new QActionGroup(this);
    for (const int id : {command_id::kScopeCurrent, command_id::kScopeAll}) {
        Action(id)->setCheckable(true);
        scope->addAction(Action(id));
    }
    Action(scopeAll_ ? command_id::kScopeAll : command_id::kScopeCurrent)->setChecked(true);

    QToolBar* bar = addToolBar(QStringLiteral("标准"));
    bar->setObjectName(QStringLiteral("standardBar"));
    for (const int id : ToolbarCommands()) bar->addAction(Action(id));
    BuildHandlers();
    RebuildRecentMenu();
}

bool MainWindow::CommandEnabled(int id) const {
    const bool any = doc_.PointCount() > 0;
    const bool current = doc_.ValidIndex(doc_.currentIndex);
    switch (RuleOf(id)) {
        case Rule::NotBuilt: return false;
        case Rule::Always: return true;
        case Rule::ProjectOpen: return any || !path_.isEmpty();
        case Rule::AnyPoint: return any;
        case Rule::CurrentPoint: return current;
        case Rule::CursorOnCurrent: return current && view_->Cursor().has_value();
        case Rule::ToolInstalled: return !ToolProgram(id).isEmpty();
        case Rule::WithShell: return shell_ != nullptr;
        case Rule::PointList: return listCommands_ && listCommands_->Enabled(id);
        case Rule::Processing: return processing_->Enabled(id);
        case Rule::View: return view_->Enabled(id);
        case Rule::Printing: return print_->Enabled(id);
        case Rule::Reports: return reports_->Enabled(id);
    }
    return false;
}

void MainWindow::UpdateCommandStates() {
    for (auto& [id, action] : actions_) {
        action->setEnabled(CommandEnabled(id));
        if (action->isCheckable() && RuleOf(id) == Rule::View) action->setChecked(view_->Checked(id));
    }
}

std::vector<std::int32_t> MainWindow::Targets() const {
    return BuildTargetSet(doc_, view_->DisplayedPoints(), scopeAll_);
}

void MainWindow::RefreshAll() {
    processing_->FollowCurrentPoint();  // an open docked strip follows the current test point
    // The open proposals follow the current test point.
    if (proposals_ && proposals_->isVisible() && proposals_->Point() != doc_.currentIndex)
        proposals_->ProposeFor(doc_.currentIndex);
    pointList_->Rebuild();
    chain_->Rebuild(Targets());
    info_->Rebuild();
    view_->Refresh();
    UpdateParameterBar();
    UpdateTitle();
    UpdateCommandStates();
}

// ---- pile parameter bar -------------------------------------------------------

BarScope MainWindow::ParameterScope(std::vector<std::int32_t>& shown) const {
    shown = view_->DisplayedPoints();
    BarScope scope;
    scope.shown = shown;
    scope.current = view_->CurrentPoint();
    scope.allWaveforms = scopeAll_;
    return scope;
}

void MainWindow::BuildParameterBar() {
    QToolBar* bar = addToolBar(QStringLiteral("桩参数"));
    bar->setObjectName(QStringLiteral("pileParameterBar"));
    speedField_ = new QLineEdit;
    lengthField_ = new QLineEdit;
    speedField_->setObjectName(QStringLiteral("speedField"));
    lengthField_->setObjectName(QStringLiteral("lengthField"));
    for (auto* f : {speedField_, lengthField_}) f->setMaximumWidth(90);
    recomputeChoice_ = new QComboBox;
    recomputeChoice_->addItems({QStringLiteral("自动调整"), QStringLiteral("桩长不变"), QStringLiteral("波速不变")});
    bar->addWidget(new QLabel(QStringLiteral(" 波速 ")));
    bar->addWidget(speedField_);
    bar->addWidget(new QLabel(QStringLiteral(" m/s  桩长 ")));
    bar->addWidget(lengthField_);
    bar->addWidget(new QLabel(QStringLiteral(" m  桩长/波速：")));
    bar->addWidget(recomputeChoice_);
    connect(speedField_, &QLineEdit::editingFinished, this, [this] {
        if (!speedField_->isModified()) return;
        speedField_->setModified(false);
        const auto speed = ParseWaveSpeed(speedField_->text());
        std::vector<std::int32_t> shown;
        if (!speed) prompts_->Message(WaveSpeedRefusal().toStdString());
        else if (EditWaveSpeed(doc_, ParameterScope(shown), *speed))
            doc_.MarkModified();
        RefreshAll();
    });
    connect(lengthField_, &QLineEdit::editingFinished, this, [this] {
        if (!lengthField_->isModified()) return;
        lengthField_->setModified(false);
        const auto length = ParsePileLength(lengthField_->text());
        std::vector<std::int32_t> shown;
        const BarScope scope = ParameterScope(shown);
        if (!length || !PileLengthFits(doc_, scope, *length))
            prompts_->Message(PileLengthRefusal().toStdString());
        else if (EditPileLength(doc_, scope, *length, recompute_))
            doc_.MarkModified();
        view_->SetRecomputeMode(recompute_.mode);
        RefreshAll();
    });
    connect(recomputeChoice_, &QComboBox::currentIndexChanged, this, [this](int choice) {
        ChooseRecompute(recompute_, choice);
        view_->SetRecomputeMode(recompute_.mode);
    });
}

void MainWindow::UpdateParameterBar() {
    if (!speedField_) return;
    std::vector<std::int32_t> shown;
    const BarFields f = ParameterBarFields(doc_, ParameterScope(shown));
    auto show = [](QLineEdit* field, const std::string& text, bool grey, bool enabled) {
        // The stored value, also in a field that has focus, unless the user is typing in it.
        if (!field->isModified()) field->setText(FromUtf8(text));
        QPalette p = field->palette();
        p.setColor(QPalette::Text, grey ? QColor(0x80, 0x80, 0x80) : QColor(Qt::black));
        field->setPalette(p);
        field->setEnabled(enabled);
    };
    show(speedField_, f.speedText, f.speedGrey, f.enabled);
    show(lengthField_, f.lengthText, f.lengthGrey, f.enabled);
}

// ---- custom defects --------------------------------------------------------------

std::string MainWindow::TempFolder() const {
    if (shell_) return shell_->Folders().temp;
    return QDir::tempPath().toStdString();
}

std::string MainWindow::DataFolder() const {
    if (shell_) return shell_->Folders().data;
    return ResolveAppFolders(ProcessEnvironment(), CurrentExecutablePath()).data;
}

std::string MainWindow::ConfigFolder() const {
    if (shell_) return shell_->ConfigFolder();
    return (QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/tav-analyser/").toStdString();
}

void MainWindow::AddCustomDefect() {
    const auto at = view_->Cursor();
    if (!at || !doc_.ValidIndex(doc_.currentIndex)) return;
    const auto& tp = doc_.points[static_cast<std::size_t>(doc_.currentIndex)];
    const QString depth = QString::asprintf("%.2fm", static_cast<double>(SampleToDepth(tp, *at, false)));
    CustomDefectDialog dialog(ConfigFolder(), depth, {}, {}, -1, *prompts_, this);
    if (dialog.exec() != QDialog::Accepted) return;
    for (const auto i : Targets())
        if (AddDefect(doc_, i, *at, CustomDefectCode(dialog.Grade()), dialog.NameCp936(), dialog.RemarkCp936(),
                      *prompts_))
            doc_.MarkModified();
    RefreshAll();
}


void MainWindow::UpdateTitle() {
    const QString name = path_.isEmpty() ? QString() : QFileInfo(path_).fileName();
    setWindowTitle(name.isEmpty() ? QString::fromUtf8(kAppTitle)
                                  : QStringLiteral("%1 - [%2]").arg(QString::fromUtf8(kAppTitle), name) +
                                        (doc_.Modified() ? QStringLiteral(" *") : QString()));
}

bool MainWindow::MaySave() {
    if (!doc_.Modified()) return true;
    const QString name = path_.isEmpty() ? QStringLiteral("无标题") : QFileInfo(path_).fileName();
    const auto answer = prompts_->YesNoCancel(QStringLiteral("是否保存对“%1”的修改？").arg(name).toStdString());
    if (answer == UserPrompts::Answer::Cancel) return false;
    return answer == UserPrompts::Answer::No || SaveCurrent();
}

void MainWindow::ReportProblem(const QString& text) {
    statusBar()->showMessage(text);
    prompts_->Message(text.toStdString());
}

bool MainWindow::OpenPath(const QString& path) {
    // The new file is read before the current project is given up: a file
    // that cannot stand as a project leaves the current one as it was.
    if (!QFileInfo(path).isFile()) {
        prompts_->Message("文件路径错误");
        return false;
    }
    CTAV_AnalyserDoc incoming;
    incoming.SetEvents(&doc_.Events());
    incoming.magnifyOldRecords = doc_.magnifyOldRecords;
    const LoadResult r = OpenFile(incoming, path.toStdString());
    const QString problem = LoadProblem(r, path);
    if (NothingUsable(r)) {
        ReportProblem(problem);
        return false;
    }
    if (!MaySave()) return false;
    processing_->ProjectChanging();
    proposals_->close();
    doc_.SwapProject(incoming);
    path_ = path;
    sourceProblem_ = problem;
    AddRecent(path);
    view_->ClearCursor();
    RefreshAll();
    if (problem.isEmpty()) {
        statusBar()->showMessage(QStringLiteral("就绪"));
    } else {
        ReportProblem(problem);
    }
    return problem.isEmpty();
}

bool MainWindow::AppendPaths(const QStringList& paths) {
    // One file at a time, so that a failure names its file.
    processing_->ProjectChanging();
    QStringList problems;
    for (const auto& p : paths) {
        const std::string file = p.toStdString();
        for (const auto& r : AppendOpen(doc_, std::span<const std::string>(&file, 1))) {
            const QString problem = LoadProblem(r, p);
            if (!problem.isEmpty()) problems << problem;
        }
    }
    RefreshAll();
    if (!problems.isEmpty()) ReportProblem(problems.join(QLatin1Char('\n')));
    return problems.isEmpty();
}

bool MainWindow::SaveCurrent() {
    if (path_.isEmpty()) return SaveAs();
    if (!sourceProblem_.isEmpty() && !prompts_->YesNo(OverwriteDamagedQuestion(path_, sourceProblem_).toStdString()))
        return SaveAs();
    return SaveTo(path_);
}

bool MainWindow::SaveAs() {
    QString p = QFileDialog::getSaveFileName(this, QStringLiteral("另存为"), path_, kFilter);
    if (p.isEmpty()) return false;
    if (QFileInfo(p).suffix().isEmpty()) p += QStringLiteral(".tav");
    return SaveTo(p);
}

bool MainWindow::SaveTo(const QString& path) {
    std::string error;
    if (!doc_.SaveToFile(path.toStdString(), &error)) {
        ReportProblem(QStringLiteral("保存失败：") + FromUtf8(error));
        return false;
    }
    path_ = path;
    sourceProblem_.clear();
    statusBar()->showMessage(QStringLiteral("已保存“%1”").arg(QFileInfo(path).fileName()));
    doc_.projectFiles = {path.toStdString()};
    AddRecent(path);
    UpdateTitle();
    UpdateCommandStates();
    return true;
}

// ---- commands ---------------------------------------------------------------------

void MainWindow::Run(int id) {
    if (!Action(id) || !Action(id)->isEnabled()) return;
    switch (RuleOf(id)) {
        case Rule::PointList: listCommands_->Run(id); return;
        case Rule::Processing:
            processing_->RunCommand(id, scopeAll_);
            RefreshAll();
            return;
        case Rule::View: view_->Run(id); return;
        case Rule::Printing: print_->Run(id); return;
        case Rule::Reports: reports_->Run(id); return;
        default: break;
    }
    if (const auto handler = handlers_.find(id); handler != handlers_.end()) handler->second();
}

// The commands the window runs itself, by menu.
void MainWindow::BuildHandlers() {
    handlers_ = {
        // 文件
        {command_id::kFileOpen, [this] { ChooseAndOpen(); }},
        {command_id::kAppendOpen, [this] { ChooseAndAppend(); }},
        {command_id::kFileSave, [this] { SaveCurrent(); }},
        {command_id::kFileSaveAs, [this] { SaveAs(); }},
        {command_id::kMergeInstrumentFiles, [this] { MergeInstrumentFiles(); }},
        {command_id::kInstrumentTransfer, [this] { TransferFromInstrument(); }},
        {command_id::kSavePicture, [this] { SavePicture(); }},
        {command_id::kViewLog, [this] { ShowLog(); }},
        {command_id::kAppExit, [this] { close(); }},
        // 波形处理
        {command_id::kScopeCurrent, [this] { SetScopeAll(false); }},
        {command_id::kScopeAll, [this] { SetScopeAll(true); }},
        // 波形分析
        {command_id::kAutoPropose, [this] { ShowProposals(); }},
        {command_id::kSiteSpeed, [this] { ShowSiteSpeed(); }},
        {command_id::kSignalMatch, [this] { ShowSignalMatch(); }},
        {command_id::kCustomDefect, [this] { AddCustomDefect(); }},
        // 显示
        {command_id::kDisplaySettings, [this] { EditDisplaySettings(); }},
        // 工具
        {command_id::kCalculator, [this] { StartTool(command_id::kCalculator); }},
        {command_id::kPaint, [this] { StartTool(command_id::kPaint); }},
        {command_id::kNotepad, [this] { StartTool(command_id::kNotepad); }},
        // 帮助
        {command_id::kHelp, [this] { ShowHelp(); }},
        {command_id::kAppAbout, [this] { ShowAbout(); }},
    };
}

// ---- 文件 ---------------------------------------------------------------------------

void MainWindow::ChooseAndOpen() {
    const QString p = QFileDialog::getOpenFileName(this, QStringLiteral("打开"), {}, kFilter);
    if (!p.isEmpty()) OpenPath(p);
}

void MainWindow::ChooseAndAppend() {
    const QStringList ps = QFileDialog::getOpenFileNames(this, QStringLiteral("追加打开"), {}, kFilter);
    if (!ps.isEmpty()) AppendPaths(ps);
}

void MainWindow::MergeInstrumentFiles() {
    MergeDialog dialog(LogicalDrives(), this);
    if (dialog.exec() == QDialog::Accepted && dialog.Report())
        ShowMessage(this, FromUtf8(dialog.Report()->message));
}

void MainWindow::TransferFromInstrument() {
    TransferDialog dialog(MakeInstrumentPort(), DefaultTransferFolder(), *prompts_, this);
    dialog.exec();
}

void MainWindow::SavePicture() {
    PictureExportContext context{doc_, view_, shell_ ? &shell_->Settings() : nullptr, *prompts_,
                                 path_.toStdString(), TempFolder(), opener_, {}};
    RunPictureExport(this, context);
}

void MainWindow::ShowLog() {
    LogViewer viewer(QString::fromStdString(shell_->LogFilePath()), this);
    viewer.exec();
}

// ---- 波形处理, 波形分析, 显示 ----------------------------------------------------------

void MainWindow::SetScopeAll(bool all) {
    scopeAll_ = all;
    view_->SetScopeAll(scopeAll_);
    display_.operationScope = scopeAll_ ? 1 : 0;
    if (shell_) shell_->Settings().Write(display_);
    RefreshAll();
}

void MainWindow::ShowProposals() {
    proposals_->SetRecomputeMode(recompute_.mode);
    proposals_->ProposeFor(doc_.currentIndex);
    proposals_->show();
    proposals_->raise();
}

void MainWindow::ShowSiteSpeed() {
    SiteSpeedDialog dialog(doc_, this);
    connect(&dialog, &SiteSpeedDialog::applied, this, [this] { RefreshAll(); });
    dialog.exec();
}

void MainWindow::ShowSignalMatch() {
    if (!doc_.ValidIndex(doc_.currentIndex)) return;
    SignalMatchDialog dialog(doc_.points[static_cast<std::size_t>(doc_.currentIndex)], this);
    dialog.exec();
}

void MainWindow::EditDisplaySettings() {
    DisplaySettingsDialog dialog(shell_->ShellSettings(), this);
    if (dialog.exec() != QDialog::Accepted) return;
    if (SaveDisplaySettingsDialog(shell_->Profile(), shell_->ShellSettings(), dialog.Result())) RefreshAll();
    shell_->ReloadShellSettings();
}

// ---- 工具, 帮助 -------------------------------------------------------------------------

void MainWindow::StartTool(int id) { QProcess::startDetached(ToolProgram(id), {}); }

void MainWindow::ShowHelp() {
    const std::string manual = DataFolder() + std::string(kManualPage);
    const QFileInfo page(QString::fromStdString(manual));
    if (!page.isFile()) {
        prompts_->Message("找不到帮助文件：" + manual + "\n请检查程序是否完整安装。");
        return;
    }
    if (!page.isReadable()) {
        prompts_->Message("无法读取帮助文件：" + manual + "\n请检查该文件的访问权限。");
        return;
    }
    if (!help_) help_ = new HelpViewer(this);
    help_->Open(page.absoluteFilePath());
    help_->show();
    help_->raise();
    help_->activateWindow();
}

void MainWindow::ShowAbout() {
    QMessageBox::about(this, QStringLiteral("关于"),
                       QStringLiteral("%1\n低应变反射波法基桩完整性检测分析\n版本 %2")
                           .arg(QString::fromUtf8(kAppTitle), VersionText()));
}

void MainWindow::AddRecent(const QString& path) {
    recent_ = AddRecentFile(recent_, path.toStdString());
    if (shell_) shell_->Registry().WriteRecentFiles(recent_);
    RebuildRecentMenu();
}

void MainWindow::RebuildRecentMenu() {
    if (!recentMenu_) return;
    recentMenu_->clear();
    int n = 0;
    for (const auto& file : recent_) {
        const QString f = QString::fromStdString(file);
        QAction* a = recentMenu_->addAction(QStringLiteral("&%1 %2").arg(++n).arg(f));
        connect(a, &QAction::triggered, this, [this, f] { OpenPath(f); });
    }
    recentMenu_->setEnabled(!recent_.empty());
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (MaySave()) {
        event->accept();
    } else {
        event->ignore();
    }
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
    const auto urls = event->mimeData()->urls();
    if (!urls.isEmpty() && urls.front().isLocalFile()) OpenPath(urls.front().toLocalFile());
}

}  // namespace tav::ui
