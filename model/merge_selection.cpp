#include "model/merge_selection.hpp"

#include <strings.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace tav {

namespace fs = std::filesystem;

namespace {

// Folders are real directories: a link to a folder is not followed, so a
// link loop can never make the tree endless.
bool IsRealFolder(const fs::directory_entry& e) {
    std::error_code ec;
    return e.is_directory(ec) && !e.is_symlink(ec);
}

bool IsInstrumentFile(const fs::directory_entry& e) {
    std::error_code ec;
    if (!e.is_regular_file(ec)) return false;
    const std::string ext = e.path().extension().string();
    return strcasecmp(ext.c_str(), ".PID") == 0;
}

bool ByNameIgnoringCase(const std::string& a, const std::string& b) { return strcasecmp(a.c_str(), b.c_str()) < 0; }

std::string ChildPath(const std::string& folder, const std::string& name) {
    return folder.empty() || folder.back() == '/' ? folder + name : folder + "/" + name;
}

}  // namespace

std::string_view TooManySubfoldersText() { return "该文件夹下有太多的子目录，请做更精确的选择！"; }

std::vector<std::string> LogicalDrives() {
    std::vector<std::string> drives{"/"};
    std::ifstream mounts("/proc/mounts");
    std::string line;
    while (std::getline(mounts, line)) {
        std::istringstream fields(line);
        std::string device, point;
        fields >> device >> point;
        for (const char* prefix : {"/media/", "/run/media/", "/mnt/"})
            if (point.rfind(prefix, 0) == 0 && std::find(drives.begin(), drives.end(), point) == drives.end())
                drives.push_back(point);
    }
    return drives;
}

int CountSubfolders(const std::string& folder, int limit) {
    int count = 0;
    std::vector<std::string> pending{folder};
    while (!pending.empty() && count <= limit) {
        const std::string current = std::move(pending.back());
        pending.pop_back();
        std::error_code ec;
        for (fs::directory_iterator it(current, ec), end; !ec && it != end; it.increment(ec)) {
            if (!IsRealFolder(*it)) continue;
            if (++count > limit) break;
            pending.push_back(it->path().string());
        }
    }
    return count;
}

int MergeSelection::AddNode(int parent, MergeNodeKind kind, std::string path, std::string name) {
    const int id = NodeCount();
    MergeNode node;
    node.kind = kind;
    node.path = std::move(path);
    node.name = std::move(name);
    node.parent = parent;
    node.listed = kind == MergeNodeKind::File;
    nodes_.push_back(std::move(node));
    if (parent >= 0) nodes_[static_cast<std::size_t>(parent)].children.push_back(id);
    return id;
}

void MergeSelection::AddDrives(std::span<const std::string> drives) {
    for (const auto& d : drives) {
        std::error_code ec;
        if (fs::is_directory(d, ec)) top_.push_back(AddNode(-1, MergeNodeKind::Drive, d, d));
    }
}

int MergeSelection::AddTopLevel(const std::string& path, MergeNodeKind kind) {
    std::string p = path;
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    const int id = AddNode(-1, kind, p, p);
    top_.push_back(id);
    return id;
}

void MergeSelection::Expand(int id) {
    if (id < 0 || id >= NodeCount() || nodes_[static_cast<std::size_t>(id)].listed) return;
    nodes_[static_cast<std::size_t>(id)].listed = true;
    const std::string folder = nodes_[static_cast<std::size_t>(id)].path;
    std::vector<std::string> folders, files;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (IsRealFolder(*it))
            folders.push_back(it->path().filename().string());
        else if (IsInstrumentFile(*it))
            files.push_back(it->path().filename().string());
    }
    std::sort(folders.begin(), folders.end(), ByNameIgnoringCase);
    std::sort(files.begin(), files.end(), ByNameIgnoringCase);
    for (auto& name : folders) AddNode(id, MergeNodeKind::Folder, ChildPath(folder, name), name);
    for (auto& name : files) AddNode(id, MergeNodeKind::File, ChildPath(folder, name), name);
}

void MergeSelection::CheckBelow(int id) {
    MergeNode& node = nodes_[static_cast<std::size_t>(id)];
    node.checked = true;
    if (node.kind == MergeNodeKind::File) {
        chosen_.insert(node.path);
        return;
    }
    Expand(id);
    // Copied: expanding children adds nodes and moves the vector.
    const std::vector<int> children = nodes_[static_cast<std::size_t>(id)].children;
    for (const int child : children) CheckBelow(child);
}

void MergeSelection::UncheckBelow(int id) {
    MergeNode& node = nodes_[static_cast<std::size_t>(id)];
    node.checked = false;
    if (node.kind == MergeNodeKind::File) chosen_.erase(node.path);
    for (const int child : node.children) UncheckBelow(child);
}

std::string MergeSelection::SetChecked(int id, bool checked) {
    if (id < 0 || id >= NodeCount()) return {};
    MergeNode& node = nodes_[static_cast<std::size_t>(id)];
    if (!checked) {
        UncheckBelow(id);
        return {};
    }
    switch (node.kind) {
        case MergeNodeKind::Drive: node.checked = true; return {};
        case MergeNodeKind::File: CheckBelow(id); return {};
        case MergeNodeKind::Folder: break;
    }
    if (CountSubfolders(node.path, kMaxCheckedSubfolders) > kMaxCheckedSubfolders) {
        node.checked = true;
        return std::string(TooManySubfoldersText());
    }
    CheckBelow(id);
    return {};
}

std::string SaveFolderFieldText(std::string folder) {
    if (folder.empty() || folder.back() != '/') folder += '/';
    return folder;
}

MergeButtonOutcome PressMergeButton(const MergeSelection& selection, const std::string& saveFolderField,
                                    bool perPileChecked) {
    MergeButtonOutcome outcome;
    if (saveFolderField.empty()) {
        outcome.warning = "先请设置保存位置！";
        return outcome;
    }
    outcome.merged = true;
    outcome.report =
        MergeInstrumentFiles(selection.ChosenList(), perPileChecked ? kMergePerPile : kMergePerSite, saveFolderField);
    return outcome;
}

}  // namespace tav
