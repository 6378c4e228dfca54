#include "values/ImageKind.h"

#include <cstring>

namespace ldapmodel {

namespace {

bool startsWith(const unsigned char* bytes, std::size_t length, const char* signature,
                std::size_t signatureLength)
{
    return bytes != nullptr && length >= signatureLength
           && std::memcmp(bytes, signature, signatureLength) == 0;
}

} // namespace

ImageKind detectImageKind(const unsigned char* bytes, std::size_t length)
{
    if (startsWith(bytes, length, "\xFF\xD8\xFF", 3))
        return ImageKind::Jpeg;
    if (startsWith(bytes, length, "\x89PNG\r\n\x1A\n", 8))
        return ImageKind::Png;
    if (startsWith(bytes, length, "GIF87a", 6) || startsWith(bytes, length, "GIF89a", 6))
        return ImageKind::Gif;
    return ImageKind::None;
}

const char* imageKindName(ImageKind kind)
{
    switch (kind) {
    case ImageKind::Jpeg:
        return "JPEG";
    case ImageKind::Png:
        return "PNG";
    case ImageKind::Gif:
        return "GIF";
    case ImageKind::None:
        break;
    }
    return "";
}

} // namespace ldapmodel
