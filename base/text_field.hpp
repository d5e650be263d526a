// Fixed-size, zero-terminated code page 936 text fields of stored records.
// The whole field is kept, bytes after the terminator included, so that a
// record read from a file is written back exactly.
#pragma once

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <string_view>

namespace tav {

template <std::size_t N>
using TextField = std::array<char, N>;

// The field's text: its bytes up to the first zero byte (all N without one).
template <std::size_t N>
std::string_view TextOf(const TextField<N>& f) {
    const char* end = static_cast<const char*>(std::memchr(f.data(), 0, N));
    return {f.data(), end ? static_cast<std::size_t>(end - f.data()) : N};
}

// Replaces the field with text, cut to N - 1 bytes and zero-padded.
template <std::size_t N>
void SetText(TextField<N>& f, std::string_view text) {
    f.fill(0);
    if (!text.empty()) std::memcpy(f.data(), text.data(), std::min(text.size(), N - 1));
}

// The length of the longest prefix of at most maxBytes bytes that does not
// cut a two-byte code page 936 character in half.
std::size_t Cp936SafePrefix(std::string_view text, std::size_t maxBytes);

}  // namespace tav
