// Where the workstation keeps its files on a Linux desktop, following the XDG
// base directories. Everything is resolved from an environment lookup that
// tests replace, so a test never touches the real home folder.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tav {

// Value of an environment variable, nothing when unset.
using EnvLookup = std::function<std::optional<std::string>(std::string_view name)>;

// The process environment (getenv).
EnvLookup ProcessEnvironment();

// Every folder below ends in '/'.
struct AppFolders {
    std::string program;  // folder of the running executable
    std::string data;     // read-only data: report template, manual, demo project, icons
    std::string config;   // Config.ini, registry.ini, CustFlaw.dat (user's, writable)
    std::string state;    // the log file
    std::string temp;     // private to the user: settings files QRV_TAV4_*.ini, work files (app/temp_folder.hpp)
    std::string sharedTemp;  // the shared temporary folder earlier versions used; read once, never written
    std::string dataHome; // XDG_DATA_HOME: desktop entry and MIME package of the association
};

// The manual's start page inside the data folder.
inline constexpr std::string_view kManualPage = "manual/index.html";

// Folder resolution, each with an override first:
//   config   TAV_CONFIG_DIR,  else $XDG_CONFIG_HOME/tav-analyser, else ~/.config/tav-analyser
//   state    TAV_STATE_DIR,   else $XDG_STATE_HOME/tav-analyser,  else ~/.local/state/tav-analyser
//   temp     $XDG_RUNTIME_DIR/tav-analyser, else $XDG_CACHE_HOME/tav-analyser/tmp,
//            else ~/.cache/tav-analyser/tmp
//   sharedTemp $TMPDIR, else /tmp
//   dataHome $XDG_DATA_HOME, else ~/.local/share
//   data     TAV_DATA_DIR, else <program>/../share/tav-analyser when it exists,
//            else, from a build folder, the source tree's data folder (the first of
//            <program>, <program>/.., <program>/../.. holding CMakeLists.txt and data/),
//            else <program>/../share/tav-analyser
// XDG variables that are empty or not absolute are ignored, as the XDG rules say.
// Folders are not created here.
AppFolders ResolveAppFolders(const EnvLookup& env, std::string_view executablePath);

// The running executable (/proc/self/exe), empty when it cannot be found.
std::string CurrentExecutablePath();

// The folder part of a path, ending in '/' ("" for a bare name).
std::string FolderOf(std::string_view path);

// Creates a folder and its parents (0700 for new ones); true when it exists afterwards.
bool EnsureFolder(const std::string& folder);

// The file argument from the positional command-line arguments (program name
// and window-system options already removed): the last one, trimmed of blanks
// at both ends; empty when there is none.
std::string CommandArgument(const std::vector<std::string>& positionalArguments);

}  // namespace tav
