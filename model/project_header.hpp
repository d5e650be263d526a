#pragma once

#include <array>
#include <cstdint>

#include "base/text_field.hpp"

namespace tav {

struct ProjectHeader {
    TextField<8> magic{};  // version tag, five characters used
    std::int32_t pointCount = 0;
    TextField<50> testUnit{};
    TextField<50> projectName{};
    std::array<std::uint8_t, 100> reserved{};
};

}  // namespace tav
