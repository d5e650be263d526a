#include "app/file_association.hpp"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <vector>

#include "app/app_environment.hpp"
#include "base/atomic_file.hpp"

extern char** environ;

namespace tav {
namespace {

std::optional<std::string> ReadText(const std::string& path) {
    auto bytes = ReadWholeFile(path);
    if (!bytes) return std::nullopt;
    return std::string(bytes->begin(), bytes->end());
}

bool WriteText(const std::string& path, const std::string& text) {
    if (!EnsureFolder(FolderOf(path))) return false;
    return WriteFileAtomically(path, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

// The executable as one quoted word of an Exec line, before the desktop
// entry's own string escapes are applied.
std::string QuoteExecArgument(std::string_view path) {
    std::string q = "\"";
    for (char c : path) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') q += '\\';
        if (c == '%') q += '%';  // a literal percent sign is written twice
        q += c;
    }
    q += '"';
    return q;
}

// The desktop entry's string escapes for a value.
std::string EscapeEntryValue(std::string_view value) {
    std::string e;
    for (char c : value) {
        switch (c) {
            case '\\': e += "\\\\"; break;
            case '\n': e += "\\n"; break;
            case '\r': e += "\\r"; break;
            case '\t': e += "\\t"; break;
            default: e += c;
        }
    }
    return e;
}

std::string UnescapeEntryValue(std::string_view value) {
    std::string u;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 == value.size()) {
            u += value[i];
            continue;
        }
        const char c = value[++i];
        switch (c) {
            case 's': u += ' '; break;
            case 'n': u += '\n'; break;
            case 'r': u += '\r'; break;
            case 't': u += '\t'; break;
            case '\\': u += '\\'; break;
            default: u += '\\'; u += c;
        }
    }
    return u;
}

// Runs a desktop database tool on a folder, quietly; nothing happens when the
// tool is not installed.
void RunTool(const char* tool, const std::string& folder) {
    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0) return;
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::string toolName = tool;
    std::string arg = folder;
    char* argv[] = {toolName.data(), arg.data(), nullptr};
    pid_t pid = 0;
    if (posix_spawnp(&pid, tool, &actions, nullptr, argv, environ) == 0) {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }
    posix_spawn_file_actions_destroy(&actions);
}

}  // namespace

FileAssociationPaths AssociationPaths(const std::string& dataHome) {
    std::string base = dataHome;
    if (!base.empty() && base.back() != '/') base += '/';
    return {base + "mime/packages/tav-analyser.xml", base + "applications/tav-analyser.desktop"};
}

std::string MimePackageText() {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
           "  <mime-type type=\"" + std::string(kTavMimeType) + "\">\n"
           "    <comment>" + std::string(kTavDocumentName) + "</comment>\n"
           "    <glob pattern=\"*.tav\"/>\n"
           "  </mime-type>\n"
           "</mime-info>\n";
}

std::string DesktopEntryText(std::string_view executablePath) {
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=TAV2008\n"
           "Comment=" + std::string(kTavDocumentName) + "\n"
           "Exec=" + EscapeEntryValue(QuoteExecArgument(executablePath)) + " %f\n"
           "MimeType=" + std::string(kTavMimeType) + ";\n"
           "Terminal=false\n"
           "NoDisplay=true\n";
}

std::string DesktopEntryExecutable(std::string_view text) {
    std::string_view exec;
    while (!text.empty()) {
        const auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        if (line.starts_with("Exec=")) {
            exec = line.substr(5);
            break;
        }
    }
    const std::string cmd = UnescapeEntryValue(exec);
    std::string word;
    std::size_t i = 0;
    if (!cmd.empty() && cmd[0] == '"') {
        for (i = 1; i < cmd.size() && cmd[i] != '"'; ++i) {
            if (cmd[i] == '\\' && i + 1 < cmd.size()) ++i;
            word += cmd[i];
        }
    } else {
        for (; i < cmd.size() && cmd[i] != ' '; ++i) word += cmd[i];
    }
    std::string out;
    for (std::size_t k = 0; k < word.size(); ++k) {
        out += word[k];
        if (word[k] == '%' && k + 1 < word.size() && word[k + 1] == '%') ++k;
    }
    return out;
}

bool AssociationPresent(const std::string& dataHome, std::string_view executablePath) {
    const auto paths = AssociationPaths(dataHome);
    const auto mime = ReadText(paths.mimePackage);
    if (!mime || mime->find("type=\"" + std::string(kTavMimeType) + "\"") == std::string::npos ||
        mime->find("pattern=\"*.tav\"") == std::string::npos)
        return false;
    const auto entry = ReadText(paths.desktopEntry);
    return entry && !executablePath.empty() && DesktopEntryExecutable(*entry) == executablePath;
}

AssociationResult RegisterFileAssociation(const std::string& dataHome, std::string_view executablePath,
                                          bool refreshDatabases) {
    if (AssociationPresent(dataHome, executablePath)) return AssociationResult::Present;
    if (executablePath.empty()) return AssociationResult::Failed;
    const auto paths = AssociationPaths(dataHome);
    if (!WriteText(paths.mimePackage, MimePackageText())) return AssociationResult::Failed;
    if (!WriteText(paths.desktopEntry, DesktopEntryText(executablePath))) return AssociationResult::Failed;
    if (refreshDatabases) {
        std::string base = dataHome;
        if (!base.empty() && base.back() != '/') base += '/';
        RunTool("update-mime-database", base + "mime");
        RunTool("update-desktop-database", FolderOf(paths.desktopEntry));
    }
    return AssociationResult::Written;
}

}  // namespace tav
