// Whole-file reading and the safe save: the new content goes to a temporary
// file in the target's folder and replaces the target only once complete.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tav {

// The file's bytes, or nothing when it cannot be opened or read.
std::optional<std::vector<std::uint8_t>> ReadWholeFile(const std::string& path, std::string* error = nullptr);

// true on success; on failure the existing target is untouched and error says why.
bool WriteFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes, std::string* error = nullptr);

}  // namespace tav
