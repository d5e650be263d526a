#include "app/temp_folder.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <vector>

#include "app/settings_files.hpp"
#include "base/atomic_file.hpp"

namespace tav {
namespace {

constexpr const char* kTakeOverMarker = "temp-taken-over";
// Settings files are a few kilobytes; anything much larger under their names is not ours.
constexpr off_t kLargestSettingsFile = 64 * 1024;

void SetError(std::string* error, std::string text) {
    if (error) *error = std::move(text);
}

std::string WithoutSlash(std::string folder) {
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return folder;
}

// Copies a settings file of the old shared folder when it is a regular file
// of the user's own; opened without following links and checked on the open
// descriptor, so a file swapped in between is not taken either.
void TakeOverFile(const std::string& from, const std::string& to) {
    struct stat st {};
    if (::lstat(to.c_str(), &st) == 0) return;
    const int fd = ::open(from.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return;
    std::vector<std::uint8_t> bytes;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() && st.st_size <= kLargestSettingsFile) {
        bytes.resize(static_cast<std::size_t>(st.st_size));
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            done += static_cast<std::size_t>(n);
        }
        bytes.resize(done);
    }
    ::close(fd);
    if (!bytes.empty()) WriteFileAtomically(to, bytes);
}

void TakeOverOldSettings(const AppFolders& folders, const std::string& temp) {
    if (folders.sharedTemp.empty() || folders.state.empty()) return;
    const std::string marker = folders.state + kTakeOverMarker;
    struct stat st {};
    if (::lstat(marker.c_str(), &st) == 0) return;
    for (const auto group : {SettingsGroup::Edit, SettingsGroup::Curs, SettingsGroup::Disp, SettingsGroup::Selt,
                             SettingsGroup::Bmp, SettingsGroup::Print}) {
        const std::string name = std::string(SettingsTag(group)) + ".ini";
        TakeOverFile(folders.sharedTemp + name, temp + name);
    }
    if (EnsureFolder(folders.state)) {
        static constexpr std::uint8_t kNote[] = "settings files of the shared temporary folder taken over\n";
        WriteFileAtomically(marker, std::span(kNote, sizeof kNote - 1));
    }
}

// The checks of an existing folder; "" when it passes.
std::string ProblemOf(const std::string& folder, const struct stat& st) {
    if (!S_ISDIR(st.st_mode)) return "临时文件夹“" + folder + "”不是文件夹，拒绝使用";
    if (st.st_uid != ::geteuid()) return "临时文件夹“" + folder + "”不属于当前用户，拒绝使用";
    if ((st.st_mode & 077) != 0) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
        return "临时文件夹“" + folder + "”允许其他用户访问（权限" + mode + "），拒绝使用";
    }
    return {};
}

}  // namespace

std::string ExistingPrivateTempFolder(const AppFolders& folders) {
    struct stat st {};
    if (folders.temp.empty() || folders.temp.front() != '/' || ::lstat(WithoutSlash(folders.temp).c_str(), &st) != 0)
        return {};
    return ProblemOf(folders.temp, st).empty() ? folders.temp : std::string();
}

std::string PreparePrivateTempFolder(const AppFolders& folders, std::string* error) {
    const std::string folder = folders.temp;
    if (folder.empty() || folder.front() != '/') {
        SetError(error, "临时文件夹“" + folder + "”无效");
        return {};
    }
    const std::string bare = WithoutSlash(folder);
    struct stat st {};
    if (::lstat(bare.c_str(), &st) != 0) {
        if (errno != ENOENT || !EnsureFolder(folder) || ::lstat(bare.c_str(), &st) != 0) {
            SetError(error, "无法创建临时文件夹“" + folder + "”：" + SystemErrorText(errno));
            return {};
        }
    }
    if (auto problem = ProblemOf(folder, st); !problem.empty()) {
        SetError(error, std::move(problem));
        return {};
    }
    TakeOverOldSettings(folders, folder);
    return folder;
}

std::string PrivateTempFolder(std::string* error) {
    return PreparePrivateTempFolder(ResolveAppFolders(ProcessEnvironment(), CurrentExecutablePath()), error);
}

std::string ReportWorkFolder() {
    const std::string temp = PrivateTempFolder();
    if (temp.empty()) return {};
    const std::string folder = temp + "Quorvane/";
    return EnsureFolder(folder) ? folder : temp;
}

}  // namespace tav
