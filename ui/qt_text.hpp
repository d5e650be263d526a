// Conversions at the window's edge: records keep code page 936, Qt speaks UTF-16.
#pragma once

#include <QString>
#include <string>
#include <string_view>

#include "base/text_codec.hpp"
#include "base/text_field.hpp"

namespace tav::ui {

inline QString FromUtf8(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

template <std::size_t N>
QString FieldText(const TextField<N>& field) {
    return FromUtf8(Cp936ToUtf8(TextOf(field)));
}

inline std::string ToCp936(const QString& s) { return Utf8ToCp936(s.toStdString()); }

}  // namespace tav::ui
