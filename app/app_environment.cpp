#include "app/app_environment.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace tav {
namespace {

std::string WithSlash(std::string folder) {
    if (folder.empty() || folder.back() != '/') folder += '/';
    return folder;
}

// An XDG variable counts only when set to an absolute path.
std::optional<std::string> XdgValue(const EnvLookup& env, std::string_view name) {
    auto v = env(name);
    if (!v || v->empty() || v->front() != '/') return std::nullopt;
    return v;
}

bool IsFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string Trim(std::string_view s) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    return std::string(s);
}

}  // namespace

EnvLookup ProcessEnvironment() {
    return [](std::string_view name) -> std::optional<std::string> {
        const char* v = std::getenv(std::string(name).c_str());
        if (!v) return std::nullopt;
        return std::string(v);
    };
}

std::string FolderOf(std::string_view path) {
    const auto slash = path.rfind('/');
    if (slash == std::string_view::npos) return {};
    return std::string(path.substr(0, slash + 1));
}

AppFolders ResolveAppFolders(const EnvLookup& env, std::string_view executablePath) {
    AppFolders f;
    const std::string home = WithSlash(XdgValue(env, "HOME").value_or("/tmp"));

    f.program = FolderOf(executablePath);
    if (f.program.empty()) f.program = "./";

    if (auto v = env("TAV_CONFIG_DIR"); v && !v->empty()) f.config = WithSlash(*v);
    else if (auto x = XdgValue(env, "XDG_CONFIG_HOME")) f.config = WithSlash(*x) + "tav-analyser/";
    else f.config = home + ".config/tav-analyser/";

    if (auto v = env("TAV_STATE_DIR"); v && !v->empty()) f.state = WithSlash(*v);
    else if (auto x = XdgValue(env, "XDG_STATE_HOME")) f.state = WithSlash(*x) + "tav-analyser/";
    else f.state = home + ".local/state/tav-analyser/";

    if (auto x = XdgValue(env, "XDG_RUNTIME_DIR")) f.temp = WithSlash(*x) + "tav-analyser/";
    else if (auto c = XdgValue(env, "XDG_CACHE_HOME")) f.temp = WithSlash(*c) + "tav-analyser/tmp/";
    else f.temp = home + ".cache/tav-analyser/tmp/";

    if (auto v = env("TMPDIR"); v && !v->empty()) f.sharedTemp = WithSlash(*v);
    else f.sharedTemp = "/tmp/";

    if (auto x = XdgValue(env, "XDG_DATA_HOME")) f.dataHome = WithSlash(*x);
    else f.dataHome = home + ".local/share/";

    const std::string installed = f.program + "../share/tav-analyser/";
    if (auto v = env("TAV_DATA_DIR"); v && !v->empty()) {
        f.data = WithSlash(*v);
    } else if (IsFolder(installed)) {
        f.data = installed;
    } else {
        f.data = installed;
        // Running from a build folder: the data folder of the source tree above it.
        for (const char* up : {"", "../", "../../"}) {
            const std::string root = f.program + up;
            struct stat st {};
            if (::stat((root + "CMakeLists.txt").c_str(), &st) == 0 && IsFolder(root + "data")) {
                f.data = root + "data/";
                break;
            }
        }
    }
    return f;
}

std::string CurrentExecutablePath() {
    std::string buf(4096, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
    if (n <= 0 || static_cast<std::size_t>(n) >= buf.size()) return {};
    buf.resize(static_cast<std::size_t>(n));
    return buf;
}

bool EnsureFolder(const std::string& folder) {
    if (folder.empty()) return false;
    std::string path;
    std::size_t pos = 0;
    while (pos != std::string::npos) {
        pos = folder.find('/', pos + 1);
        path = folder.substr(0, pos);
        if (path.empty() || IsFolder(path)) continue;
        if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return false;
    }
    return IsFolder(folder);
}

std::string CommandArgument(const std::vector<std::string>& positionalArguments) {
    if (positionalArguments.empty()) return {};
    return Trim(positionalArguments.back());
}

}  // namespace tav
