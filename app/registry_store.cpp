#include "app/registry_store.hpp"

#include <algorithm>
#include <cstdio>

#include "app/config_profile.hpp"
#include "app/ini_file.hpp"

namespace tav {
namespace {

std::string HistoryKey(std::int32_t controlId) {
    return std::string(kComboHistoryKeyPath) + "\\" + std::to_string(controlId);
}

}  // namespace

std::string VersionLogText() {
    char text[64];
    std::snprintf(text, sizeof text, "Version=(%d.%d.%d.%d)", kVersionValues[0], kVersionValues[1], kVersionValues[2],
                  kVersionValues[3]);
    return text;
}

std::string ComboHistoryValueName(int number) {
    char name[16];
    std::snprintf(name, sizeof name, "%.2d", number);
    return name;
}

RegistryStore::RegistryStore(std::string folder) {
    if (!folder.empty() && folder.back() != '/') folder += '/';
    path_ = folder + "registry.ini";
}

std::optional<std::string> RegistryStore::ReadString(std::string_view keyPath, std::string_view valueName) const {
    return IniFile::Load(path_).Get(keyPath, valueName);
}

std::optional<std::int32_t> RegistryStore::ReadInt(std::string_view keyPath, std::string_view valueName) const {
    auto text = ReadString(keyPath, valueName);
    if (!text) return std::nullopt;
    return ParseProfileInt(*text);
}

bool RegistryStore::WriteString(std::string_view keyPath, std::string_view valueName, std::string_view value) const {
    IniFile ini = IniFile::Load(path_);
    ini.Set(keyPath, valueName, value);
    return ini.Save(path_);
}

bool RegistryStore::WriteInt(std::string_view keyPath, std::string_view valueName, std::int32_t value) const {
    return WriteString(keyPath, valueName, std::to_string(value));
}

bool RegistryStore::WriteVersionValues() const {
    IniFile ini = IniFile::Load(path_);
    for (int i = 0; i < 4; ++i) ini.Set(kVersionKeyPath, "VER" + std::to_string(i), std::to_string(kVersionValues[i]));
    return ini.Save(path_);
}

std::vector<std::string> RegistryStore::ReadComboHistory(std::int32_t controlId) const {
    const IniFile ini = IniFile::Load(path_);
    const std::string key = HistoryKey(controlId);
    std::vector<std::string> entries;
    for (int n = 1;; ++n) {
        auto v = ini.Get(key, ComboHistoryValueName(n));
        if (!v) break;
        entries.push_back(std::move(*v));
    }
    return entries;
}

bool RegistryStore::WriteComboHistory(std::int32_t controlId, const std::vector<std::string>& entries) const {
    IniFile ini = IniFile::Load(path_);
    const std::string key = HistoryKey(controlId);
    ini.ClearSection(key);
    for (std::size_t i = 0; i < entries.size(); ++i)
        ini.Set(key, ComboHistoryValueName(static_cast<int>(i + 1)), entries[i]);
    return ini.Save(path_);
}

std::vector<std::string> RegistryStore::ReadRecentFiles() const {
    const IniFile ini = IniFile::Load(path_);
    std::vector<std::string> files;
    for (int n = 1; n <= kRecentFileCount; ++n) {
        auto v = ini.Get(kRecentFilesKeyPath, "File" + std::to_string(n));
        if (v && !v->empty()) files.push_back(std::move(*v));
    }
    return files;
}

bool RegistryStore::WriteRecentFiles(const std::vector<std::string>& paths) const {
    IniFile ini = IniFile::Load(path_);
    ini.ClearSection(kRecentFilesKeyPath);
    const std::size_t n = std::min<std::size_t>(paths.size(), kRecentFileCount);
    for (std::size_t i = 0; i < n; ++i) ini.Set(kRecentFilesKeyPath, "File" + std::to_string(i + 1), paths[i]);
    return ini.Save(path_);
}

std::vector<std::string> AddRecentFile(std::vector<std::string> list, const std::string& path) {
    std::erase(list, path);
    list.insert(list.begin(), path);
    if (list.size() > static_cast<std::size_t>(kRecentFileCount)) list.resize(kRecentFileCount);
    return list;
}

}  // namespace tav
