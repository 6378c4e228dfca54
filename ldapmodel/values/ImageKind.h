#pragma once

#include <cstddef>

namespace ldapmodel {

// The image formats a value's bytes are recognised as by their signature.
enum class ImageKind { None, Jpeg, Png, Gif };

// JPEG (FF D8 FF), PNG (the eight-byte signature) or GIF ("GIF87a",
// "GIF89a"); None for anything else. Only the first bytes are looked at.
ImageKind detectImageKind(const unsigned char* bytes, std::size_t length);

// "JPEG", "PNG", "GIF"; "" for None.
const char* imageKindName(ImageKind kind);

} // namespace ldapmodel
