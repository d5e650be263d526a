// Which installed font families draw Chinese text. No Debian font answers to
// the Windows names the users know ("宋体", "SimSun", "微软雅黑"), so each role
// asks for a list of families in order and keeps those the machine has; the
// generic family closes the list, so a machine without any of them still
// draws something.
#pragma once

#include <QFont>
#include <QStringList>

namespace tav::render {

enum class FontRole {
    Sans,   // pictures and the window: WenQuanYi Micro Hei where installed
    Serif,  // printed pages: a Song/Ming face (AR PL UMing) where installed
};

// The wanted families of a role that are installed, best first, followed by
// the generic family. Needs a QGuiApplication.
QStringList InstalledFamilies(FontRole role);

// A font of the role at a size in pixels (pictures: independent of the
// device's resolution) or in points (pages).
QFont ChineseFontPixels(FontRole role, int pixelSize);
QFont ChineseFontPoints(FontRole role, double pointSize);

}  // namespace tav::render
