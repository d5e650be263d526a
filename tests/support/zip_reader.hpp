// Reading members of zip containers (.xlsx, .docx) back in tests, and running
// Debian's python readers of those formats where they are installed.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tav::testing {

// The member's bytes; nothing when the file is not a zip or lacks the member.
std::optional<std::string> ZipMember(const std::string& zipPath, const std::string& member);
// Every member's name, in the container's order.
std::vector<std::string> ZipMemberNames(const std::string& zipPath);

// Whether /usr/bin/python3 can import the module.
bool PythonHas(const std::string& module);
// Runs the script with /usr/bin/python3 and the arguments; its output and whether it exited 0.
std::pair<bool, std::string> RunPython(const std::string& script, const std::vector<std::string>& args);

}  // namespace tav::testing
