// The pile integrity class Ⅰ..Ⅳ (0..3) that follows from a test point's defects.
#pragma once

#include <string_view>

#include "model/test_point.hpp"

namespace tav {

int IntegrityClass(const TestPoint& tp);
std::string_view IntegrityClassText(int integrityClass);  // "Ⅰ".."Ⅳ"

}  // namespace tav
