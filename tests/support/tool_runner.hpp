// Runs the built tavtool and captures what it prints.
#pragma once

#include <string>
#include <vector>

namespace tav::testing {

struct ToolResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

ToolResult RunTavtool(const std::vector<std::string>& args);

// A fresh folder under the temporary folder, removed with its content at destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

}  // namespace tav::testing
