#include "base/text_codec.hpp"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include "base/text_field.hpp"

namespace tav {

namespace {

// iconv over the whole input; a byte sequence the source code page rejects is
// replaced and skipped by `badStep` bytes.
std::string Convert(const char* to, const char* from, std::string_view in, std::string_view replacement,
                    std::size_t badStep) {
    std::string out;
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return out;
    std::vector<char> buf(in.size() * 4 + 16);
    char* src = const_cast<char*>(in.data());
    std::size_t srcLeft = in.size();
    while (srcLeft > 0) {
        char* dst = buf.data();
        std::size_t dstLeft = buf.size();
        const std::size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        out.append(buf.data(), static_cast<std::size_t>(dst - buf.data()));
        if (r != static_cast<std::size_t>(-1)) break;
        if (errno == E2BIG) continue;
        out.append(replacement);
        const std::size_t step = std::min(badStep, srcLeft);
        src += step;
        srcLeft -= step;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    iconv_close(cd);
    return out;
}

}  // namespace

std::string Cp936ToUtf8(std::string_view cp936) { return Convert("UTF-8", "CP936", cp936, "\xEF\xBF\xBD", 1); }

std::string Utf8ToCp936(std::string_view utf8) {
    // Character by character, so that one character code page 936 lacks costs
    // only itself. Texts here are short field contents.
    std::string out;
    iconv_t cd = iconv_open("CP936", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) return out;
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        const std::size_t len = std::min<std::size_t>(c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2, utf8.size() - i);
        char in[4];
        char buf[8];
        std::copy_n(utf8.data() + i, len, in);
        char* src = in;
        std::size_t srcLeft = len;
        char* dst = buf;
        std::size_t dstLeft = sizeof buf;
        if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) == static_cast<std::size_t>(-1) || srcLeft != 0) {
            out += '?';
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        } else {
            out.append(buf, static_cast<std::size_t>(dst - buf));
        }
        i += len;
    }
    iconv_close(cd);
    return out;
}

std::string Utf16LeToCp936(std::string_view utf16le, std::size_t maxBytes) {
    std::size_t chars = 0;
    while (chars * 2 + 1 < utf16le.size() && (utf16le[chars * 2] != 0 || utf16le[chars * 2 + 1] != 0)) ++chars;
    const std::string wide(utf16le.substr(0, chars * 2));
    std::string out = Convert("CP936", "UTF-16LE", wide, "?", 2);
    return out.substr(0, Cp936SafePrefix(out, maxBytes));
}

}  // namespace tav
