#include "assets/JpegImage.h"

#include <csetjmp>
#include <cstdio>
#include <vector>

#include <jpeglib.h>

namespace kv {

namespace {

struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
};

[[noreturn]] void OnFatalError(j_common_ptr info) {
    std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1);
}

// Damaged data produce warnings on stderr by default; the game has no console to show them.
void OnMessage(j_common_ptr, int) {}

}  // namespace

// libjpeg reports fatal errors by longjmp, so this function holds no object with a destructor
// between setjmp and the last library call; the pixel block belongs to the caller's image.
bool DecodeJpeg(const uint8_t* data, size_t size, KvImage& image) {
    image.Release();
    if (!data || size == 0) return false;

    jpeg_decompress_struct info;
    ErrorManager errors;
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = OnFatalError;
    errors.base.emit_message = OnMessage;
    if (setjmp(errors.jump) != 0) {
        jpeg_destroy_decompress(&info);
        image.Release();
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
    jpeg_read_header(&info, TRUE);
    if (uint64_t{info.image_width} * info.image_height > kMaxImagePixels) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);

    const uint32_t width = info.output_width;
    const uint32_t height = info.output_height;
    const size_t stride = size_t{width} * 3;
    image.width = width;
    image.height = height;
    image.bitsPerPixel = 24;
    image.pixels.resize(stride * height);
    // The file's first row is the top; OpenGL wants the bottom row first.
    while (info.output_scanline < height) {
        JSAMPROW row = image.pixels.data() + stride * (height - 1 - info.output_scanline);
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

bool DecodeJpeg(KvIStream& in, KvImage& image) {
    image.Release();
    if (!in.IsOpen() || in.size == 0) return false;
    std::vector<uint8_t> data(in.size);
    int32_t got = in.Read(data.data(), in.size);
    if (got <= 0) return false;
    return DecodeJpeg(data.data(), static_cast<size_t>(got), image);
}

}  // namespace kv
