#include "app/ini_file.hpp"

#include <algorithm>

#include "app/app_environment.hpp"
#include "base/atomic_file.hpp"

namespace tav {
namespace {

constexpr bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v'; }

std::string_view TrimView(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string OneLine(std::string_view s) {
    std::string r(s);
    std::replace_if(r.begin(), r.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
    return r;
}

// A stored value as read back: trimmed, one pair of surrounding quotes removed.
std::string DecodeValue(std::string_view v) {
    v = TrimView(v);
    if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
    return std::string(v);
}

}  // namespace

bool IniNameEquals(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i])) return false;
    return true;
}

IniFile IniFile::Parse(std::string_view text) {
    IniFile ini;
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    std::string section;
    while (!text.empty()) {
        const auto end = text.find('\n');
        std::string_view raw = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);

        Line line;
        line.text = std::string(raw);
        const std::string_view t = TrimView(raw);
        if (t.size() >= 2 && t.front() == '[' && t.find(']') != std::string_view::npos) {
            section = std::string(TrimView(t.substr(1, t.find(']') - 1)));
            line.isHeader = true;
        } else if (!t.empty() && t.front() != ';' && t.front() != '#' && t.find('=') != std::string_view::npos) {
            const auto eq = t.find('=');
            line.key = std::string(TrimView(t.substr(0, eq)));
            line.value = DecodeValue(t.substr(eq + 1));
        }
        line.section = section;
        ini.lines_.push_back(std::move(line));
    }
    return ini;
}

IniFile IniFile::Load(const std::string& path) {
    auto bytes = ReadWholeFile(path);
    if (!bytes) return {};
    return Parse(std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()));
}

std::optional<std::string> IniFile::Get(std::string_view section, std::string_view key) const {
    // The first occurrence wins, as with the private-profile functions.
    for (const auto& l : lines_)
        if (!l.isHeader && !l.key.empty() && IniNameEquals(l.section, section) && IniNameEquals(l.key, key))
            return l.value;
    return std::nullopt;
}

bool IniFile::HasSection(std::string_view section) const {
    return std::any_of(lines_.begin(), lines_.end(),
                       [&](const Line& l) { return l.isHeader && IniNameEquals(l.section, section); });
}

std::string IniFile::EncodeValue(std::string_view value) {
    std::string v = OneLine(value);
    const bool needsQuotes = !v.empty() && (IsBlank(v.front()) || IsBlank(v.back()) ||
                                            (v.size() >= 2 && v.front() == '"' && v.back() == '"'));
    return needsQuotes ? "\"" + v + "\"" : v;
}

void IniFile::Set(std::string_view section, std::string_view key, std::string_view value) {
    const std::string sec = OneLine(section);
    const std::string k = OneLine(key);
    Line line;
    line.section = sec;
    line.key = k;
    line.text = k + "=" + EncodeValue(value);
    line.value = DecodeValue(line.text.substr(k.size() + 1));
    for (auto& l : lines_) {
        if (!l.isHeader && !l.key.empty() && IniNameEquals(l.section, sec) && IniNameEquals(l.key, k)) {
            // The stored spelling of the key stays.
            l.text = l.key + "=" + EncodeValue(value);
            l.value = DecodeValue(l.text.substr(l.key.size() + 1));
            return;
        }
    }
    // Behind the last line of the section, or in a new section at the end.
    std::size_t insertAt = lines_.size();
    bool found = false;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (IniNameEquals(lines_[i].section, sec) && (lines_[i].isHeader || found)) {
            found = true;
            if (!TrimView(lines_[i].text).empty()) insertAt = i + 1;
        }
    }
    if (!found) {
        if (!lines_.empty() && !TrimView(lines_.back().text).empty()) lines_.push_back(Line{});
        Line header;
        header.text = "[" + sec + "]";
        header.section = sec;
        header.isHeader = true;
        lines_.push_back(std::move(header));
        insertAt = lines_.size();
    }
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insertAt), std::move(line));
}

void IniFile::ClearSection(std::string_view section) {
    std::erase_if(lines_, [&](const Line& l) { return !l.isHeader && !l.key.empty() && IniNameEquals(l.section, section); });
}

std::string IniFile::Text() const {
    std::string out;
    for (const auto& l : lines_) {
        out += l.text;
        out += '\n';
    }
    return out;
}

bool IniFile::Save(const std::string& path, std::string* error) const {
    EnsureFolder(FolderOf(path));
    const std::string text = Text();
    return WriteFileAtomically(path, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()), error);
}

}  // namespace tav
