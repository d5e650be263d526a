// The application object without its window: what lives for the whole run
// and the order of start-up and shutdown. The window creates one AppShell,
// calls Startup, builds its frame, opens FileArgument() and at the end calls
// Shutdown (the destructor does it when the window did not).
//
// Start-up order (Startup):
//   1. folders: program, data, configuration, state, temporary (created where
//      the program writes: configuration, state, temporary; the temporary one
//      private to the user, see app/temp_folder.hpp: when it is refused the
//      user is told and the settings files are neither read nor written)
//   2. the command argument and the executable path
//   3. the file association (*.tav: MIME package and desktop entry), written
//      only when not present
//   4. the stores: Config.ini, registry.ini and the recent-file list
//   5. the port library (absent for now: every operation refuses)
//   6. log "软件启动"
//   7. version values VER0..VER3 = 4, 0, 1, 0; log "Version=(4.0.1.0)"
//   8. edit scope (QRV_TAV4_EDIT_001) and cursor style (QRV_TAV4_CURS_001):
//      read, written with the current values when they cannot be read
// Then the window: create the frame (when that fails, end the program), open
// FileArgument() through CTAV_AnalyserDoc::OpenFile with the document's events
// set to DocumentEvents(), show the window maximised, accept dropped files.
//
// Shutdown order: release the port library, log "软件退出", close the log.
//
// Settings owned by other parts are read by their owners through Settings():
// the analysis view reads DisplaySettings (QRV_TAV4_DISP_001) when it is
// created and hands magnifyRaw to CTAV_AnalyserDoc::magnifyOldRecords; the
// scope commands (command_id::kScopeCurrent, kScopeAll) set operationScope
// and write the record back.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/app_environment.hpp"
#include "app/app_log.hpp"
#include "app/config_profile.hpp"
#include "app/file_association.hpp"
#include "app/port_library.hpp"
#include "app/registry_store.hpp"
#include "app/settings_files.hpp"
#include "base/user_prompts.hpp"
#include "model/vocabulary.hpp"

namespace tav {

struct AppShellOptions {
    // Positional command-line arguments (no program name, no window-system
    // options); the last one is the file to open.
    std::vector<std::string> arguments;
    // Empty: the running executable (/proc/self/exe).
    std::string executablePath;
    // Empty: the process environment. Tests redirect every folder through it.
    EnvLookup environment;
    // Where messages and questions go; null: nowhere. Must outlive the shell.
    UserPrompts* prompts = nullptr;
    // Run update-mime-database / update-desktop-database after writing the
    // association (where installed). Tests switch it off.
    bool refreshDesktopDatabases = true;
    // Time stamp of the log lines; empty: local time.
    AppLog::Clock logClock;
};

class AppShell {
public:
    explicit AppShell(AppShellOptions options = {});
    ~AppShell();
    AppShell(const AppShell&) = delete;
    AppShell& operator=(const AppShell&) = delete;

    // Runs the start-up steps above in order. Returns false only when nothing
    // could be set up at all (never today: every failing step is skipped the
    // way the user would not notice); the window may still fail afterwards.
    bool Startup();
    // Runs once; later calls do nothing.
    void Shutdown();
    bool Started() const { return started_; }

    // The file named on the command line, trimmed; empty when none. The window
    // opens it through CTAV_AnalyserDoc::OpenFile after its frame exists.
    const std::string& FileArgument() const { return fileArgument_; }
    const std::string& ExecutablePath() const { return executablePath_; }
    const AppFolders& Folders() const { return folders_; }
    // Folder of the executable, ending in '/'.
    const std::string& ProgramFolder() const { return folders_.program; }
    // Where Config.ini and CustFlaw.dat live (the user's configuration folder).
    const std::string& ConfigFolder() const { return folders_.config; }
    AssociationResult Association() const { return association_; }

    // The stores, usable after Startup.
    const SettingsFiles& Settings() const { return settings_; }
    const ConfigProfile& Profile() const { return profile_; }
    const RegistryStore& Registry() const { return registry_; }
    // Config.ini values as read at start-up; refresh after the display settings dialog.
    const ShellProfile& ShellSettings() const { return shellProfile_; }
    void ReloadShellSettings();

    // The log operation; the view-log command opens LogFilePath().
    void Log(std::string_view utf8Line);
    const std::string& LogFilePath() const { return log_.Path(); }
    // Events for the document: its log lines go to the log, everything also
    // to `next` (the window's events). Returned object lives as long as the shell.
    DocumentEvents& DocumentEventsFor(DocumentEvents* next);

    // 0 an edit of test point information changes the edited test point only,
    // 1 all test points listed in the information panel.
    std::int32_t EditScope() const { return editScope_.editScope; }
    // Keeps the value and writes QRV_TAV4_EDIT_001 (a failed write is reported).
    void SetEditScope(std::int32_t scope);
    // 1 cross cursor, 2 vertical-line cursor.
    std::int32_t CursorStyle() const { return cursorStyle_.cursorStyle; }
    void SetCursorStyle(std::int32_t style);

    const Vocabulary& Words() const { return AppVocabulary(); }
    // The port-access library; Loaded() is false for now.
    PortLibrary& Port() { return *port_; }

    UserPrompts& Prompts() { return *prompts_; }

private:
    AppShellOptions options_;
    UserPrompts* prompts_;
    bool started_ = false;
    bool shutDown_ = false;

    std::string executablePath_;
    std::string fileArgument_;
    AppFolders folders_;
    AssociationResult association_ = AssociationResult::Present;

    SettingsFiles settings_{""};
    ConfigProfile profile_{""};
    RegistryStore registry_{""};
    ShellProfile shellProfile_;
    EditScopeSettings editScope_;
    CursorStyleSettings cursorStyle_;

    AppLog log_;
    std::unique_ptr<PortLibrary> port_;
    std::unique_ptr<LoggingDocumentEvents> documentEvents_;
};

}  // namespace tav
