// The merge dialog's folder tree without the window: drives, folders and
// instrument files ("*.PID") with check boxes, and the ordered set of chosen
// files that the merge walks. The dialog shows the nodes and forwards clicks.
#pragma once

#include <cstdint>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "model/instrument_merge.hpp"

namespace tav {

enum class MergeNodeKind { Drive, Folder, File };

struct MergeNode {
    MergeNodeKind kind = MergeNodeKind::Folder;
    std::string path;  // full path, without a trailing slash (a drive "/" excepted)
    std::string name;  // the text the tree shows
    int parent = -1;
    std::vector<int> children;
    bool listed = false;  // children read from the disk
    bool checked = false;
};

// Above this many folders below a folder, checking it chooses nothing.
inline constexpr int kMaxCheckedSubfolders = 600;

// The top-level entries on this system: the root folder and the mounted
// volumes under /media, /run/media and /mnt.
std::vector<std::string> LogicalDrives();

class MergeSelection {
public:
    // A top-level node per drive whose root folder exists.
    void AddDrives(std::span<const std::string> drives);
    // A top-level node for any folder or file (tavtool picks folders directly).
    int AddTopLevel(const std::string& path, MergeNodeKind kind);

    const MergeNode& Node(int id) const { return nodes_[static_cast<std::size_t>(id)]; }
    int NodeCount() const { return static_cast<int>(nodes_.size()); }
    std::span<const int> TopLevel() const { return top_; }

    // Reads a folder's subfolders, then its "*.PID" files, each group sorted by
    // name without regard to case; once per node.
    void Expand(int id);

    // A click on the check box. Returns the message to show (caption "提示",
    // warning icon), empty when there is none.
    std::string SetChecked(int id, bool checked);

    // The chosen files in byte order of their paths.
    const std::set<std::string>& Chosen() const { return chosen_; }
    std::vector<std::string> ChosenList() const { return {chosen_.begin(), chosen_.end()}; }

private:
    int AddNode(int parent, MergeNodeKind kind, std::string path, std::string name);
    void CheckBelow(int id);
    void UncheckBelow(int id);

    std::vector<MergeNode> nodes_;
    std::vector<int> top_;
    std::set<std::string> chosen_;
};

// The folders below a folder, counted recursively up to just past `limit`.
int CountSubfolders(const std::string& folder, int limit);

std::string_view TooManySubfoldersText();

// The folder browser's choice as the save folder field shows it: with a trailing slash.
std::string SaveFolderFieldText(std::string folder);

// The dialog's merge button. With an empty save folder field nothing runs and
// `warning` holds the text to show (caption "提示", warning icon); the dialog
// stays open. Otherwise the merge runs and the dialog closes; the caller shows
// report.message with the information icon.
struct MergeButtonOutcome {
    bool merged = false;
    std::string warning;
    MergeReport report;
};
MergeButtonOutcome PressMergeButton(const MergeSelection& selection, const std::string& saveFolderField,
                                    bool perPileChecked);

}  // namespace tav
