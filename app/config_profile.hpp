// The text profile Config.ini in the user's configuration folder, and the
// typed values the shell and the frame keep in it. Values are UTF-8 text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tav {

class ConfigProfile {
public:
    // folder: the configuration folder, ending in '/'.
    explicit ConfigProfile(std::string folder);

    const std::string& Folder() const { return folder_; }
    // "<folder>Config.ini", or "<folder><fileName>" when a file name is given.
    std::string PathOf(std::string_view fileName = {}) const;

    // The value, empty when the file, section or key is absent. At most 259
    // bytes of value are returned (cut at a character boundary).
    std::string ProfileRead(std::string_view section, std::string_view key, std::string_view fileName = {}) const;
    // Sets the key, keeping the rest of the file; false when the file cannot be written.
    bool ProfileWrite(std::string_view section, std::string_view key, std::string_view text,
                      std::string_view fileName = {}) const;

private:
    std::string folder_;
};

// A decimal integer with optional blanks around it and an optional sign;
// nothing for empty text, other characters or a value outside 32 bits.
std::optional<std::int32_t> ParseProfileInt(std::string_view text);

inline constexpr std::int32_t kDefaultSpeedLow = 2700;
inline constexpr std::int32_t kDefaultSpeedHigh = 4300;
inline constexpr std::int32_t kMinWaveHeight = 150;
// Limits the display settings dialog accepts (wider than what loading keeps).
inline constexpr std::int32_t kDialogSpeedFloor = 2000;
inline constexpr std::int32_t kDialogSpeedCeiling = 6000;

// The shell's and frame's values in Config.ini.
struct ShellProfile {
    std::int32_t speedLow = kDefaultSpeedLow;    // SpeedRange/Low, m/s; below 2700 loads as 2700
    std::int32_t speedHigh = kDefaultSpeedHigh;  // SpeedRange/High, m/s; above 4300 loads as 4300
    bool fastSwitch = true;   // ShortCut/FastSwitch: double click switches single/multiple display
    bool wheelScale = true;   // ShortCut/WheelScale: wheel zooms in single test point display
    std::int32_t waveHeight = 0;   // WaveDisplay/Height in pixels; 0 = not set (below 150 loads as 0)
    std::int32_t reportRuler = 0;  // Report/Ruler: testing code chosen last for reports

    bool operator==(const ShellProfile&) const = default;
};

// Reads every value with its default and rule; empty or non-numeric values take the default.
ShellProfile LoadShellProfile(const ConfigProfile& profile);

// Single writers, each of one key ("%d", or "1"/"0").
bool SaveSpeedRange(const ConfigProfile& profile, std::int32_t low, std::int32_t high);
bool SaveWaveHeight(const ConfigProfile& profile, std::int32_t pixels);
bool SaveReportRuler(const ConfigProfile& profile, std::int32_t ruler);

// The display settings dialog's OK: limits corrected into 2000..6000 (the dialog
// shows the corrected numbers); valid is false when low is not below high, and
// the dialog then stays open with the low field selected.
struct SpeedRangeCheck {
    std::int32_t low = 0;
    std::int32_t high = 0;
    bool valid = false;
};
SpeedRangeCheck CheckSpeedRange(std::int32_t low, std::int32_t high);

// After a valid OK: writes each of the four dialog values that differs from
// `before`. Returns true when a speed limit changed (the document then updates
// its views and the frame refreshes its panels).
bool SaveDisplaySettingsDialog(const ConfigProfile& profile, const ShellProfile& before, const ShellProfile& after);

}  // namespace tav
