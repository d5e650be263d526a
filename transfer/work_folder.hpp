// A folder for the downloads of one transfer session: made private to the
// user (mode 0700, a fresh name), removed with its content at the end. Files
// come from the instrument under fixed names; no other user may plant or swap
// them there.
#pragma once

#include <string>

namespace tav {

class TransferWorkFolder {
public:
    // Below parent (default: the user's private temporary folder, else $TMPDIR,
    // else /tmp); path() is empty when it could not be made.
    explicit TransferWorkFolder(std::string parent = {});
    ~TransferWorkFolder();
    TransferWorkFolder(const TransferWorkFolder&) = delete;
    TransferWorkFolder& operator=(const TransferWorkFolder&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

}  // namespace tav
