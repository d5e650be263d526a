#include "ui/parameter_input.hpp"

#include "model/pile_quantities.hpp"

namespace tav::ui {

std::optional<std::int32_t> ParseWaveSpeed(const QString& text) {
    return ReadWaveSpeed(text.toStdString());
}

std::optional<float> ParsePileLength(const QString& text) {
    return ReadPileLength(text.toStdString());
}

QString WaveSpeedRefusal() {
    return QString::fromStdString(tav::WaveSpeedRefusal());
}

QString PileLengthRefusal() {
    return QString::fromStdString(tav::PileLengthRefusal());
}

}  // namespace tav::ui
