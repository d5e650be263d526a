// Conversions between the code page 936 bytes of files and the UTF-8 of the
// window and tavtool. Only the edges convert; records keep code page 936.
#pragma once

#include <string>
#include <string_view>

namespace tav {

// Bytes that are not valid code page 936 become U+FFFD, one per bad byte.
std::string Cp936ToUtf8(std::string_view cp936);
// Characters code page 936 cannot hold become '?'.
std::string Utf8ToCp936(std::string_view utf8);
// UTF-16LE bytes (up to a zero character) to code page 936, at most maxBytes
// bytes, never cutting a character in half.
std::string Utf16LeToCp936(std::string_view utf16le, std::size_t maxBytes);

}  // namespace tav
