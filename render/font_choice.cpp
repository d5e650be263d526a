#include "render/font_choice.hpp"

#include <QFontDatabase>
#include <algorithm>

namespace tav::render {

namespace {

QStringList WantedFamilies(FontRole role) {
    if (role == FontRole::Serif)
        return {"SimSun", "宋体", "AR PL UMing CN", "AR PL UMing TW", "AR PL SungtiL GB", "Noto Serif CJK SC",
                "Source Han Serif SC"};
    return {"Microsoft YaHei", "微软雅黑", "WenQuanYi Micro Hei", "Noto Sans CJK SC", "Source Han Sans SC",
            "WenQuanYi Zen Hei", "Droid Sans Fallback"};
}

QString GenericFamily(FontRole role) { return role == FontRole::Serif ? "serif" : "sans-serif"; }

QFont WithFamilies(FontRole role) {
    QFont font;
    const QStringList families = InstalledFamilies(role);
    font.setFamilies(families);
    font.setStyleHint(role == FontRole::Serif ? QFont::Serif : QFont::SansSerif);
    return font;
}

}  // namespace

QStringList InstalledFamilies(FontRole role) {
    // Looked up once per role: the font database does not change while we run.
    static const auto lookup = [](FontRole r) {
        const QStringList installed = QFontDatabase::families();
        QStringList found;
        for (const auto& wanted : WantedFamilies(r))
            for (const auto& family : installed)
                if (family.compare(wanted, Qt::CaseInsensitive) == 0 && !found.contains(family)) found << family;
        found << GenericFamily(r);
        return found;
    };
    static const QStringList sans = lookup(FontRole::Sans);
    static const QStringList serif = lookup(FontRole::Serif);
    return role == FontRole::Serif ? serif : sans;
}

QFont ChineseFontPixels(FontRole role, int pixelSize) {
    QFont font = WithFamilies(role);
    font.setPixelSize(std::max(pixelSize, 1));
    return font;
}

QFont ChineseFontPoints(FontRole role, double pointSize) {
    QFont font = WithFamilies(role);
    font.setPointSizeF(pointSize > 0 ? pointSize : 9.0);
    return font;
}

}  // namespace tav::render
