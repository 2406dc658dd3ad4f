#include "assets/Image.h"

#include "assets/JpegImage.h"
#include "assets/TgaImage.h"

namespace kv {

std::optional<ImageFormat> ImageFormatOf(const KvFile& fileName) {
    KvString extension = fileName.Extension().Upper();
    if (extension == "TGA") return ImageFormat::Tga;
    if (extension == "JPG" || extension == "JPEG") return ImageFormat::Jpeg;
    return std::nullopt;
}

bool LoadImage(KvImage& image, KvIStream& in, ImageFormat format) {
    image.Release();
    switch (format) {
        case ImageFormat::Jpeg: return DecodeJpeg(in, image);
        case ImageFormat::Tga: return DecodeTga(in, image);
    }
    return false;
}

}  // namespace kv
