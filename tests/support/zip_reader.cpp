#include "tests/support/zip_reader.hpp"

#include <minizip/unzip.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <fstream>

namespace tav::testing {

std::optional<std::string> ZipMember(const std::string& zipPath, const std::string& member) {
    unzFile zip = unzOpen64(zipPath.c_str());
    if (!zip) return std::nullopt;
    std::optional<std::string> out;
    if (unzLocateFile(zip, member.c_str(), 1) == UNZ_OK && unzOpenCurrentFile(zip) == UNZ_OK) {
        std::string bytes;
        std::array<char, 65536> buffer;
        int n;
        while ((n = unzReadCurrentFile(zip, buffer.data(), buffer.size())) > 0) bytes.append(buffer.data(), static_cast<std::size_t>(n));
        if (unzCloseCurrentFile(zip) == UNZ_OK && n == 0) out = std::move(bytes);
    }
    unzClose(zip);
    return out;
}

std::vector<std::string> ZipMemberNames(const std::string& zipPath) {
    std::vector<std::string> names;
    unzFile zip = unzOpen64(zipPath.c_str());
    if (!zip) return names;
    for (int r = unzGoToFirstFile(zip); r == UNZ_OK; r = unzGoToNextFile(zip)) {
        std::array<char, 1024> name{};
        if (unzGetCurrentFileInfo64(zip, nullptr, name.data(), name.size() - 1, nullptr, 0, nullptr, 0) == UNZ_OK)
            names.emplace_back(name.data());
    }
    unzClose(zip);
    return names;
}

bool PythonHas(const std::string& module) {
    if (::access("/usr/bin/python3", X_OK) != 0) return false;
    return RunPython("import " + module, {}).first;
}

std::pair<bool, std::string> RunPython(const std::string& script, const std::vector<std::string>& args) {
    char scriptPath[] = "/tmp/tav-test-py-XXXXXX";
    const int fd = ::mkstemp(scriptPath);
    if (fd < 0) return {false, {}};
    ::close(fd);
    std::ofstream(scriptPath) << script;
    std::string command = "/usr/bin/python3 ";
    command += scriptPath;
    for (const auto& a : args) {
        std::string quoted = "'";
        for (const char c : a) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
        command += " " + quoted + "'";
    }
    command += " 2>&1";
    std::string out;
    FILE* pipe = ::popen(command.c_str(), "r");
    bool ok = false;
    if (pipe) {
        std::array<char, 4096> buffer;
        std::size_t n;
        while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) out.append(buffer.data(), n);
        ok = ::pclose(pipe) == 0;
    }
    ::unlink(scriptPath);
    return {ok, out};
}

}  // namespace tav::testing
