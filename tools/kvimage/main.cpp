// kvimage: decodes a TGA or JPEG picture exactly as the game does and writes it out as PNG
// or PAM, so that a resource can be checked by eye before it goes into the archive.

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "assets/Image.h"
#include "assets/PngWriter.h"
#include "core/Stream.h"

namespace {

constexpr const char* kUsage =
    "Usage: kvimage IN.tga|IN.jpg OUT.png|OUT.pam\n"
    "Decodes a picture as the game does and writes it top row first for viewing.\n";

// Rows top first, as image files store them; the decoded image holds them bottom first.
std::vector<uint8_t> TopDownRows(const kv::KvImage& image) {
    const size_t stride = size_t{image.width} * image.BytesPerPixel();
    std::vector<uint8_t> rows;
    rows.reserve(stride * image.height);
    for (uint32_t y = image.height; y-- > 0;) {
        const uint8_t* row = image.At(0, y);
        rows.insert(rows.end(), row, row + stride);
    }
    return rows;
}

void EncodePam(const kv::KvImage& image, std::vector<uint8_t>& out) {
    bool rgba = image.BytesPerPixel() == 4;
    std::string header = "P7\nWIDTH " + std::to_string(image.width) + "\nHEIGHT " + std::to_string(image.height) +
                         "\nDEPTH " + (rgba ? "4" : "3") + "\nMAXVAL 255\nTUPLTYPE " + (rgba ? "RGB_ALPHA" : "RGB") +
                         "\nENDHDR\n";
    out.assign(header.begin(), header.end());
    std::vector<uint8_t> rows = TopDownRows(image);
    out.insert(out.end(), rows.begin(), rows.end());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (argc != 3) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    std::optional<kv::ImageFormat> format = kv::ImageFormatOf(argv[1]);
    if (!format) {
        std::fprintf(stderr, "kvimage: '%s' is neither .tga nor .jpg/.jpeg\n", argv[1]);
        return 1;
    }
    kv::KvFileIStream in(argv[1]);
    if (!in.IsOpen()) {
        std::fprintf(stderr, "kvimage: cannot open '%s'\n", argv[1]);
        return 1;
    }
    kv::KvImage image;
    if (!kv::LoadImage(image, in, *format)) {
        std::fprintf(stderr, "kvimage: the game cannot decode '%s'\n", argv[1]);
        return 1;
    }
    kv::KvString outExtension = kv::KvFile(argv[2]).Extension().Upper();
    std::vector<uint8_t> bytes;
    if (outExtension == "PNG") {
        bytes = kv::EncodePng(TopDownRows(image).data(), image.width, image.height, image.BytesPerPixel());
        if (bytes.empty()) {
            std::fprintf(stderr, "kvimage: cannot write the picture as PNG\n");
            return 1;
        }
    } else if (outExtension == "PAM") {
        EncodePam(image, bytes);
    } else {
        std::fprintf(stderr, "kvimage: the output '%s' must end in .png or .pam\n", argv[2]);
        return 1;
    }
    std::FILE* out = std::fopen(argv[2], "wb");
    bool ok = out && std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    if (out) ok = std::fclose(out) == 0 && ok;
    if (!ok) {
        std::fprintf(stderr, "kvimage: cannot write '%s'\n", argv[2]);
        return 1;
    }
    std::printf("%s: %ux%u, %u bits per pixel\n", argv[1], image.width, image.height, image.bitsPerPixel);
    return 0;
}
