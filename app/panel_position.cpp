#include "app/panel_position.hpp"

#include <cstdint>

namespace tav {
namespace {

// Leading blanks, a sign and digits, like atoi; anything else ends the number.
// Saturates instead of overflowing.
std::int32_t LeadingInt(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
    std::int64_t v = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
        v = v * 10 + (s[i] - '0');
        if (v > INT32_MAX) v = INT32_MAX;
    }
    return static_cast<std::int32_t>(negative ? -v : v);
}

}  // namespace

PanelPlacement PlacePanel(std::string_view stored, std::int32_t panelWidth, std::int32_t panelHeight,
                          const ScreenRect& screen, const ScreenRect& waveWindow) {
    const PanelPlacement centred{PanelPlacementKind::MoveTo, waveWindow.left + waveWindow.width / 2,
                                 waveWindow.top + waveWindow.height / 2};
    const auto comma = stored.find(',');
    if (comma == std::string_view::npos) return centred;
    const std::int32_t x = LeadingInt(stored.substr(0, comma));
    const std::int32_t y = LeadingInt(stored.substr(comma + 1));
    if (x > 0 && y > 0) {
        const std::int64_t right = std::int64_t{x} + panelWidth;
        const std::int64_t bottom = std::int64_t{y} + panelHeight;
        const bool fits = x >= screen.left && y >= screen.top && right <= std::int64_t{screen.left} + screen.width &&
                          bottom <= std::int64_t{screen.top} + screen.height;
        return fits ? PanelPlacement{PanelPlacementKind::MoveTo, x, y} : centred;
    }
    if (x != 0 && y != 0) return PanelPlacement{PanelPlacementKind::Stay, 0, 0};
    return centred;
}

std::string PanelPositionText(std::int32_t left, std::int32_t top) {
    return std::to_string(left) + "," + std::to_string(top);
}

bool SavePanelPosition(const ConfigProfile& profile, std::string_view panelKey, std::int32_t left, std::int32_t top) {
    return profile.ProfileWrite("DlgPos", panelKey, PanelPositionText(left, top));
}

PanelPlacement RestorePanelPosition(const ConfigProfile& profile, std::string_view panelKey, std::int32_t panelWidth,
                                    std::int32_t panelHeight, const ScreenRect& screen, const ScreenRect& waveWindow) {
    return PlacePanel(profile.ProfileRead("DlgPos", panelKey), panelWidth, panelHeight, screen, waveWindow);
}

}  // namespace tav
