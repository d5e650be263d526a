#include "base/format.hpp"

#include <cstdio>

namespace tav {

std::string FormatV(const char* format, va_list args) {
    va_list sizing;
    va_copy(sizing, args);
    const int size = std::vsnprintf(nullptr, 0, format, sizing);
    va_end(sizing);
    std::string out(size > 0 ? static_cast<std::size_t>(size) : 0, '\0');
    if (size > 0) {
        va_list writing;
        va_copy(writing, args);
        std::vsnprintf(out.data(), out.size() + 1, format, writing);
        va_end(writing);
    }
    return out;
}

std::string Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string out = FormatV(format, args);
    va_end(args);
    return out;
}

}  // namespace tav
