// A small INI document in the manner of the private-profile files: sections in
// brackets, "key=value" lines, ';' comments. Section and key names match without
// regard to ASCII case; values are trimmed, and a value wrapped in double quotes
// loses the quotes (so leading and trailing blanks can be kept). Lines that are
// not understood are kept as they are when the file is written back.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tav {

class IniFile {
public:
    IniFile() = default;
    // Any bytes; never fails. A UTF-8 byte-order mark is skipped.
    static IniFile Parse(std::string_view text);
    // Reads the file; an absent or unreadable file gives an empty document.
    static IniFile Load(const std::string& path);

    std::optional<std::string> Get(std::string_view section, std::string_view key) const;
    // Sets or adds the key (adding the section at the end when needed). Line
    // breaks in the value become blanks: a value is one line.
    void Set(std::string_view section, std::string_view key, std::string_view value);
    // Removes every key of the section, keeping the section header.
    void ClearSection(std::string_view section);
    bool HasSection(std::string_view section) const;

    std::string Text() const;
    // Writes the whole file atomically, creating its folder when needed.
    bool Save(const std::string& path, std::string* error = nullptr) const;

private:
    struct Line {
        std::string text;      // the line as written (for comments and unknown lines)
        std::string section;   // section this line belongs to
        std::string key;       // non-empty for key lines
        std::string value;     // decoded value of a key line
        bool isHeader = false;
    };
    std::vector<Line> lines_;

    static std::string EncodeValue(std::string_view value);
};

// Case-insensitive equality of ASCII names.
bool IniNameEquals(std::string_view a, std::string_view b);

}  // namespace tav
