#include "ui/parameter_input.hpp"

#include <QLocale>
#include <cmath>

namespace tav::ui {

std::optional<std::int32_t> ParseWaveSpeed(const QString& text) {
    bool ok = false;
    const int speed = QLocale::c().toInt(text.trimmed(), &ok);
    if (!ok || speed < kMinWaveSpeed || speed > kMaxWaveSpeed) return std::nullopt;
    return speed;
}

std::optional<float> ParsePileLength(const QString& text) {
    bool ok = false;
    const double length = QLocale::c().toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(length) || length <= 0.0 || length > kMaxPileLength) return std::nullopt;
    const auto stored = static_cast<float>(length);
    if (stored <= 0.0f) return std::nullopt;  // below what the record's float can hold
    return stored;
}

QString WaveSpeedRefusal() {
    return QStringLiteral("波速应为%1～%2之间的整数（m/s），输入的值未被采用。").arg(kMinWaveSpeed).arg(kMaxWaveSpeed);
}

QString PileLengthRefusal() {
    return QStringLiteral("桩长应为大于0且不超过%1的数（m），输入的值未被采用。").arg(kMaxPileLength);
}

}  // namespace tav::ui
