// printf-style formatting into UTF-8 text, for the readouts, captions and
// summaries whose layouts the display and the outputs share.
#pragma once

#include <string>

namespace tav {

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace tav
