// Where a floating operation panel opens: its last position from Config.ini
// (section DlgPos, one key per panel) when that still fits on the screen,
// otherwise with its top-left corner at the centre of the waveform window.
// Pure functions of rectangles in screen pixels; the window applies the result.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "app/config_profile.hpp"

namespace tav {

// DlgPos keys of the floating panels.
inline constexpr std::string_view kPanelKeyCutDc = "CutDC";
inline constexpr std::string_view kPanelKeyFilter = "Filter";
inline constexpr std::string_view kPanelKeyFlat = "Flat";
inline constexpr std::string_view kPanelKeyMagnify = "Magnify";
inline constexpr std::string_view kPanelKeyRotate = "Rotate";

struct ScreenRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
};

enum class PanelPlacementKind {
    MoveTo,  // move (position only) to x, y and show
    Stay,    // leave the panel where it is
};

struct PanelPlacement {
    PanelPlacementKind kind = PanelPlacementKind::Stay;
    std::int32_t x = 0;
    std::int32_t y = 0;
    bool operator==(const PanelPlacement&) const = default;
};

// stored: the DlgPos text ("%d,%d"); panelWidth/Height: the panel's current
// size; screen: the screen it is shown on; waveWindow: the active view's
// waveform window in screen coordinates.
//  - both stored values > 0 and the panel at (x, y) lies within the screen: MoveTo(x, y)
//  - both values non-zero but not both positive (e.g. "-5,10"): Stay
//  - empty text, no comma, a zero value or a position off the screen:
//    MoveTo the centre of the waveform window
PanelPlacement PlacePanel(std::string_view stored, std::int32_t panelWidth, std::int32_t panelHeight,
                          const ScreenRect& screen, const ScreenRect& waveWindow);

// "%d,%d" of the panel's left and top.
std::string PanelPositionText(std::int32_t left, std::int32_t top);

// Config.ini round trip of the same rules.
bool SavePanelPosition(const ConfigProfile& profile, std::string_view panelKey, std::int32_t left, std::int32_t top);
PanelPlacement RestorePanelPosition(const ConfigProfile& profile, std::string_view panelKey, std::int32_t panelWidth,
                                    std::int32_t panelHeight, const ScreenRect& screen, const ScreenRect& waveWindow);

}  // namespace tav
