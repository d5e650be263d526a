#include "analysis/integrity_class.hpp"

#include <array>

namespace tav {

int IntegrityClass(const TestPoint& tp) {
    int result = 0;
    for (const auto& d : tp.defects) {
        switch (d.type) {
            case 3:
            case 10: return 3;
            case 1: case 2: case 4: case 5: case 6: case 7: case 8:
                if (result < 1) result = 1;
                break;
            case 9: case 11: case 12: case 14: case 15: case 16: case 17:
                if (result < 2) result = 2;
                break;
            default: break;
        }
    }
    return result;
}

std::string_view IntegrityClassText(int integrityClass) {
    static constexpr std::array<std::string_view, 4> kText = {"Ⅰ", "Ⅱ", "Ⅲ", "Ⅳ"};
    return integrityClass >= 0 && integrityClass < 4 ? kText[static_cast<std::size_t>(integrityClass)] : std::string_view{};
}

}  // namespace tav
