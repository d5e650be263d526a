#include "base/text_field.hpp"

namespace tav {

std::size_t Cp936SafePrefix(std::string_view text, std::size_t maxBytes) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        const std::size_t len = (c >= 0x81 && c <= 0xFE && i + 1 < text.size()) ? 2 : 1;
        if (i + len > maxBytes) break;
        i += len;
    }
    return i;
}

}  // namespace tav
