// The *.tav file association on a Linux desktop: a shared-mime-info package
// declaring the type for "*.tav" and a desktop entry that opens such files
// with this executable, both under $XDG_DATA_HOME (~/.local/share).
// They are written only when the association is not present: present means the
// MIME package declares our type for *.tav and the desktop entry's command runs
// the current executable.
#pragma once

#include <string>
#include <string_view>

namespace tav {

inline constexpr std::string_view kTavMimeType = "application/x-tav-ana";
inline constexpr std::string_view kTavDocumentName = "TAV数据文件";

struct FileAssociationPaths {
    std::string mimePackage;   // <dataHome>mime/packages/tav-analyser.xml
    std::string desktopEntry;  // <dataHome>applications/tav-analyser.desktop
};
FileAssociationPaths AssociationPaths(const std::string& dataHome);

// The file contents written for an executable.
std::string MimePackageText();
std::string DesktopEntryText(std::string_view executablePath);

// The executable of a desktop entry's Exec line (string escapes and quoting
// undone, first word); empty when there is no Exec line.
std::string DesktopEntryExecutable(std::string_view desktopEntryText);

// Whether both files are there and agree with this executable.
bool AssociationPresent(const std::string& dataHome, std::string_view executablePath);

enum class AssociationResult {
    Present,    // nothing written
    Written,    // both files written
    Failed,     // a file could not be written (start-up goes on)
};

// Writes the MIME package, then the desktop entry, when not present. With
// refreshDatabases, update-mime-database and update-desktop-database are run on
// the user's folders afterwards where they are installed (skipped when absent).
AssociationResult RegisterFileAssociation(const std::string& dataHome, std::string_view executablePath,
                                          bool refreshDatabases);

}  // namespace tav
