// printf-style formatting into UTF-8 text, for the readouts, captions and
// summaries whose layouts the display and the outputs share.
#pragma once

#include <cstdarg>
#include <string>

namespace tav {

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
// The same for a caller's own variable arguments (args is left unread).
std::string FormatV(const char* format, va_list args) __attribute__((format(printf, 1, 0)));

}  // namespace tav
