#include "output/jpeg_writer.hpp"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
// jpeglib.h needs size_t and FILE declared before it.
#include <jpeglib.h>

#include "base/atomic_file.hpp"

namespace tav {

namespace {

// The library reports a fatal error by calling error_exit, which by default
// ends the process; ours jumps back to the encoder with the message kept.
struct ErrorJump {
    jpeg_error_mgr base;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void OnFatalError(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<ErrorJump*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

void OnMessage(j_common_ptr) {}  // warnings are not for the user

// Runs the library between setjmp and its end with only trivially destructible
// locals, so a jump skips no destructor. Returns false with the message in err.
// 32-bit rows (blue, green, red, unused) go to libjpeg-turbo as they are;
// other depths are converted to 24-bit RGB a row at a time into `row`. Both
// give the same colour conversion and so the same bytes.
bool Compress(const BitmapView& bitmap, int quality, std::uint8_t* row, unsigned char** buffer, unsigned long* size,
              ErrorJump& err) {
    jpeg_compress_struct cinfo;
    cinfo.err = jpeg_std_error(&err.base);
    err.base.error_exit = OnFatalError;
    err.base.output_message = OnMessage;
    if (setjmp(err.jump)) {
        jpeg_destroy_compress(&cinfo);
        return false;
    }
    const bool direct = bitmap.bitCount == 32;
    jpeg_create_compress(&cinfo);
    jpeg_mem_dest(&cinfo, buffer, size);
    cinfo.image_width = static_cast<JDIMENSION>(bitmap.width);
    cinfo.image_height = static_cast<JDIMENSION>(bitmap.height);
    cinfo.input_components = direct ? 4 : 3;
    cinfo.in_color_space = direct ? JCS_EXT_BGRX : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        const int y = static_cast<int>(cinfo.next_scanline);
        // The library only reads the rows it is given.
        JSAMPROW rows[1] = {direct ? const_cast<JSAMPLE*>(bitmap.Row(y)) : row};
        if (!direct) RowToRgb(bitmap, y, row);
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return true;
}

}  // namespace

std::optional<std::vector<std::uint8_t>> EncodeJpeg(const BitmapView& bitmap, int quality, std::string* errorText) {
    const auto fail = [&](const std::string& text) -> std::optional<std::vector<std::uint8_t>> {
        if (errorText) *errorText = text;
        return std::nullopt;
    };
    if (quality < 0 || quality > 100 || !bitmap.bits || bitmap.width <= 0 || bitmap.height <= 0)
        return fail("Invalid input data");
    if (!KnownBitCount(bitmap.bitCount)) return fail("Invalid bitmap bit count");
    if (!bitmap.Valid() || bitmap.width > JPEG_MAX_DIMENSION || bitmap.height > JPEG_MAX_DIMENSION)
        return fail("Invalid input data");

    // A row converted to RGB, for the depths the library cannot take as they are.
    std::vector<std::uint8_t> row(bitmap.bitCount == 32 ? 0 : static_cast<std::size_t>(bitmap.width) * 3);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    ErrorJump err{};
    const bool ok = Compress(bitmap, quality, row.data(), &buffer, &size, err);
    std::optional<std::vector<std::uint8_t>> out;
    if (ok && buffer) out.emplace(buffer, buffer + size);
    std::free(buffer);
    if (!ok) return fail(err.message);
    return out;
}

int WriteJpeg(const BitmapView& bitmap, int quality, const std::string& path, std::string* errorText) {
    const auto bytes = EncodeJpeg(bitmap, quality, errorText);
    if (!bytes) return 0;
    if (!WriteFileAtomically(path, *bytes)) {
        if (errorText) *errorText = "Cannot open " + path;
        return 0;
    }
    return 1;
}

}  // namespace tav
