#include "app/app_shell.hpp"

#include "app/temp_folder.hpp"

namespace tav {

AppShell::AppShell(AppShellOptions options)
    : options_(std::move(options)),
      prompts_(options_.prompts ? options_.prompts : &SilentPrompts()),
      port_(std::make_unique<AbsentPortLibrary>()) {}

AppShell::~AppShell() { Shutdown(); }

bool AppShell::Startup() {
    if (started_) return true;
    const EnvLookup env = options_.environment ? options_.environment : ProcessEnvironment();

    executablePath_ = options_.executablePath.empty() ? CurrentExecutablePath() : options_.executablePath;
    folders_ = ResolveAppFolders(env, executablePath_);
    EnsureFolder(folders_.config);
    EnsureFolder(folders_.state);
    std::string tempProblem;
    const std::string temp = PreparePrivateTempFolder(folders_, &tempProblem);

    fileArgument_ = CommandArgument(options_.arguments);

    association_ = RegisterFileAssociation(folders_.dataHome, executablePath_, options_.refreshDesktopDatabases);

    settings_ = SettingsFiles(temp, prompts_);
    profile_ = ConfigProfile(folders_.config);
    registry_ = RegistryStore(folders_.config);
    shellProfile_ = LoadShellProfile(profile_);

    // No port-access backend yet: the handle stays absent, without a message.
    port_ = std::make_unique<AbsentPortLibrary>();

    log_.Open(folders_.state + std::string(kLogFileName), options_.logClock);
    Log("软件启动");
    if (!tempProblem.empty()) {
        // Settings are then kept for this run only.
        Log(tempProblem);
        prompts_->Message(tempProblem);
    }

    registry_.WriteVersionValues();
    Log(VersionLogText());

    settings_.LoadOrCreate(editScope_);
    settings_.LoadOrCreate(cursorStyle_);

    started_ = true;
    return true;
}

void AppShell::Shutdown() {
    if (!started_ || shutDown_) return;
    shutDown_ = true;
    port_ = std::make_unique<AbsentPortLibrary>();
    Log("软件退出");
    log_.Close();
}

void AppShell::ReloadShellSettings() { shellProfile_ = LoadShellProfile(profile_); }

void AppShell::Log(std::string_view utf8Line) { log_.Log(utf8Line); }

DocumentEvents& AppShell::DocumentEventsFor(DocumentEvents* next) {
    if (!documentEvents_) documentEvents_ = std::make_unique<LoggingDocumentEvents>(log_, next);
    else documentEvents_->SetNext(next);
    return *documentEvents_;
}

void AppShell::SetEditScope(std::int32_t scope) {
    editScope_.editScope = scope;
    settings_.Write(editScope_);
}

void AppShell::SetCursorStyle(std::int32_t style) {
    cursorStyle_.cursorStyle = style;
    settings_.Write(cursorStyle_);
}

}  // namespace tav
