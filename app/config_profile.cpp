#include "app/config_profile.hpp"

#include <algorithm>
#include <charconv>

#include "app/ini_file.hpp"

namespace tav {
namespace {

constexpr std::size_t kMaxValueBytes = 259;  // a 260-byte buffer with its terminating zero

std::string CutValue(std::string v) {
    if (v.size() <= kMaxValueBytes) return v;
    std::size_t n = kMaxValueBytes;
    while (n > 0 && (static_cast<unsigned char>(v[n]) & 0xC0) == 0x80) --n;
    v.resize(n);
    return v;
}

std::int32_t IntOr(const ConfigProfile& p, std::string_view section, std::string_view key, std::int32_t fallback) {
    return ParseProfileInt(p.ProfileRead(section, key)).value_or(fallback);
}

}  // namespace

ConfigProfile::ConfigProfile(std::string folder) : folder_(std::move(folder)) {
    if (!folder_.empty() && folder_.back() != '/') folder_ += '/';
}

std::string ConfigProfile::PathOf(std::string_view fileName) const {
    return folder_ + std::string(fileName.empty() ? std::string_view("Config.ini") : fileName);
}

std::string ConfigProfile::ProfileRead(std::string_view section, std::string_view key, std::string_view fileName) const {
    return CutValue(IniFile::Load(PathOf(fileName)).Get(section, key).value_or(std::string{}));
}

bool ConfigProfile::ProfileWrite(std::string_view section, std::string_view key, std::string_view text,
                                 std::string_view fileName) const {
    const std::string path = PathOf(fileName);
    IniFile ini = IniFile::Load(path);
    ini.Set(section, key, text);
    return ini.Save(path);
}

std::optional<std::int32_t> ParseProfileInt(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (text.empty()) return std::nullopt;
    std::int32_t v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc{} || end != text.data() + text.size()) return std::nullopt;
    return v;
}

ShellProfile LoadShellProfile(const ConfigProfile& profile) {
    ShellProfile s;
    s.speedLow = std::max(IntOr(profile, "SpeedRange", "Low", kDefaultSpeedLow), kDefaultSpeedLow);
    s.speedHigh = std::min(IntOr(profile, "SpeedRange", "High", kDefaultSpeedHigh), kDefaultSpeedHigh);
    s.fastSwitch = profile.ProfileRead("ShortCut", "FastSwitch") != "0";
    s.wheelScale = profile.ProfileRead("ShortCut", "WheelScale") != "0";
    s.waveHeight = IntOr(profile, "WaveDisplay", "Height", 0);
    if (s.waveHeight < kMinWaveHeight) s.waveHeight = 0;
    s.reportRuler = IntOr(profile, "Report", "Ruler", 0);
    return s;
}

bool SaveSpeedRange(const ConfigProfile& profile, std::int32_t low, std::int32_t high) {
    const bool a = profile.ProfileWrite("SpeedRange", "Low", std::to_string(low));
    const bool b = profile.ProfileWrite("SpeedRange", "High", std::to_string(high));
    return a && b;
}

bool SaveWaveHeight(const ConfigProfile& profile, std::int32_t pixels) {
    return profile.ProfileWrite("WaveDisplay", "Height", std::to_string(pixels));
}

bool SaveReportRuler(const ConfigProfile& profile, std::int32_t ruler) {
    return profile.ProfileWrite("Report", "Ruler", std::to_string(ruler));
}

SpeedRangeCheck CheckSpeedRange(std::int32_t low, std::int32_t high) {
    SpeedRangeCheck r;
    r.low = std::max(low, kDialogSpeedFloor);
    r.high = std::min(high, kDialogSpeedCeiling);
    r.valid = r.low < r.high;
    return r;
}

bool SaveDisplaySettingsDialog(const ConfigProfile& profile, const ShellProfile& before, const ShellProfile& after) {
    if (after.fastSwitch != before.fastSwitch)
        profile.ProfileWrite("ShortCut", "FastSwitch", after.fastSwitch ? "1" : "0");
    if (after.wheelScale != before.wheelScale)
        profile.ProfileWrite("ShortCut", "WheelScale", after.wheelScale ? "1" : "0");
    bool speedChanged = false;
    if (after.speedLow != before.speedLow) {
        profile.ProfileWrite("SpeedRange", "Low", std::to_string(after.speedLow));
        speedChanged = true;
    }
    if (after.speedHigh != before.speedHigh) {
        profile.ProfileWrite("SpeedRange", "High", std::to_string(after.speedHigh));
        speedChanged = true;
    }
    return speedChanged;
}

}  // namespace tav
