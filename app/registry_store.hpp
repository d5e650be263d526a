// The registry values of the workstation, kept in "registry.ini" in the user's
// configuration folder. Each registry key is an INI section named by its full
// key path ("HKCU\Software\Quorvane\TAV\Version"), each value a key of it.
// Every call reads the file afresh and every write saves it atomically, so two
// windows of the program never lose each other's values for long.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tav {

inline constexpr std::string_view kVersionKeyPath = "HKCU\\Software\\Quorvane\\TAV\\Version";
inline constexpr std::string_view kComboHistoryKeyPath = "HKCU\\Software\\Quorvane\\TAV\\QUORVANE_TAVANA_SETUP_001";
inline constexpr std::string_view kRecentFilesKeyPath =
    "HKCU\\Software\\Local AppWizard-Generated Applications\\TAV_Analyser\\Recent File List";
inline constexpr int kRecentFileCount = 4;

// The program's version values VER0..VER3 and its log text.
inline constexpr std::int32_t kVersionValues[4] = {4, 0, 1, 0};
std::string VersionLogText();  // "Version=(4.0.1.0)"

class RegistryStore {
public:
    // folder: the configuration folder, ending in '/'.
    explicit RegistryStore(std::string folder);
    // "<folder>registry.ini"
    const std::string& Path() const { return path_; }

    std::optional<std::string> ReadString(std::string_view keyPath, std::string_view valueName) const;
    std::optional<std::int32_t> ReadInt(std::string_view keyPath, std::string_view valueName) const;
    bool WriteString(std::string_view keyPath, std::string_view valueName, std::string_view value) const;
    bool WriteInt(std::string_view keyPath, std::string_view valueName, std::int32_t value) const;

    // VER0..VER3 = 4, 0, 1, 0 under the version key (created when absent).
    bool WriteVersionValues() const;

    // History of the history combo box with this control id: values "01",
    // "02", ... read in order until the first missing name.
    std::vector<std::string> ReadComboHistory(std::int32_t controlId) const;
    // Replaces the whole history (stale higher-numbered entries are removed).
    bool WriteComboHistory(std::int32_t controlId, const std::vector<std::string>& entries) const;

    // The recent-file list, most recent first, at most four ("File1".."File4").
    std::vector<std::string> ReadRecentFiles() const;
    bool WriteRecentFiles(const std::vector<std::string>& paths) const;

private:
    std::string path_;
};

// The list after opening path: moved (or added) to the front, cut to four.
std::vector<std::string> AddRecentFile(std::vector<std::string> list, const std::string& path);

// "%.2d" of the entry number (1 -> "01").
std::string ComboHistoryValueName(int number);

}  // namespace tav
