#include "transfer/work_folder.hpp"

#include <stdlib.h>

#include <cstdlib>
#include <filesystem>

#include "app/temp_folder.hpp"

namespace tav {

TransferWorkFolder::TransferWorkFolder(std::string parent) {
    if (parent.empty()) parent = PrivateTempFolder();
    if (parent.empty()) {
        // No private folder: mkdtemp's fresh 0700 folder is still ours alone.
        const char* tmp = std::getenv("TMPDIR");
        parent = tmp && *tmp ? tmp : "/tmp";
    }
    std::string pattern = parent + "/tav-transfer-XXXXXX";
    if (::mkdtemp(pattern.data())) path_ = pattern;
}

TransferWorkFolder::~TransferWorkFolder() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
}

}  // namespace tav
