// The user's private temporary folder: every file the program keeps "in the
// temporary folder" (the binary settings files of fixed names, report work
// files, pictures for documents, downloads) lives here and nowhere another
// local user can write. A shared folder such as /tmp would let anyone plant or
// swap a file under one of those fixed names before we read it.
//
// Where: $XDG_RUNTIME_DIR/tav-analyser/, or, without a runtime folder, the
// user's cache folder + tav-analyser/tmp/ (AppFolders::temp).
// Rules: created with mode 0700 when missing; used only when it is a real
// folder (not a link) owned by the user with no permission for group or
// others, otherwise refused with a reason; never repaired behind the user's
// back, since a folder someone else prepared may already hold planted files.
#pragma once

#include <string>

#include "app/app_environment.hpp"

namespace tav {

// Prepares folders.temp by the rules above. The first time it is used for this
// user (remembered in the state folder), settings files of the fixed names
// that an earlier version left in the old shared temporary folder are copied
// in, but only regular files owned by the user, and never over a file the
// private folder already has. Returns the folder (ending in '/'), or "" with
// a Chinese reason in *error.
std::string PreparePrivateTempFolder(const AppFolders& folders, std::string* error = nullptr);

// For a reader that creates nothing: folders.temp when it exists and passes
// the rules, else "".
std::string ExistingPrivateTempFolder(const AppFolders& folders);

// The same for the running process (folders from its environment): the one
// call for code that needs a place for temporary files.
std::string PrivateTempFolder(std::string* error = nullptr);

// The reports' work folder: the private temporary folder + "Quorvane/"
// (created 0700), or the private folder itself when that cannot be made; ""
// without a private folder.
std::string ReportWorkFolder();

}  // namespace tav
