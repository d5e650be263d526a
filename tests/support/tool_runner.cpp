#include "tests/support/tool_runner.hpp"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#ifndef TAVTOOL_PATH
#define TAVTOOL_PATH "tavtool"
#endif

namespace tav::testing {

namespace {

std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

std::string Slurp(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

}  // namespace

TempDir::TempDir() {
    std::string templ = (std::filesystem::temp_directory_path() / "tavtest-XXXXXX").string();
    path_ = ::mkdtemp(templ.data()) ? templ : std::string{};
}

TempDir::~TempDir() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
}

ToolResult RunTavtool(const std::vector<std::string>& args) {
    TempDir capture;
    std::string cmd = Quote(TAVTOOL_PATH);
    for (const auto& a : args) cmd += " " + Quote(a);
    cmd += " >" + Quote(capture.File("out")) + " 2>" + Quote(capture.File("err"));
    ToolResult r;
    const int status = std::system(cmd.c_str());
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = Slurp(capture.File("out"));
    r.err = Slurp(capture.File("err"));
    return r;
}

}  // namespace tav::testing
