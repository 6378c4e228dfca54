// libFuzzer target: Qt's image readers as the value viewers use them, over
// arbitrary bytes and over the sample photo with bytes changed or cut. A
// thumbnail that decodes fits its box and knows the image's size.
#include "values/ValueThumbnail.h"

#include "FuzzSeeds.h"

#include <QByteArray>

#include <cstdint>
#include <cstdlib>

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

// The image format plugins must be found, or the run would test nothing.
extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    require(ValueThumbnail::decode(QByteArray(reinterpret_cast<const char*>(kSeedPhoto),
                                              sizeof kSeedPhoto))
                .isValid());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::uint8_t mode = data[0] % 3;
    ++data;
    --size;
    QByteArray bytes;
    if (mode == 0) {
        bytes = QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    } else {
        bytes = QByteArray(reinterpret_cast<const char*>(kSeedPhoto), sizeof kSeedPhoto);
        if (mode == 2) {
            const std::size_t length = size >= 2 ? ((data[0] << 8) | data[1]) % (sizeof kSeedPhoto + 1) : 0;
            bytes.truncate(static_cast<qsizetype>(length));
        } else {
            for (std::size_t i = 0; i + 2 < size; i += 3)
                bytes[((data[i] << 8) | data[i + 1]) % sizeof kSeedPhoto] ^= static_cast<char>(data[i + 2]);
        }
    }
    const ValueThumbnail thumbnail = ValueThumbnail::decode(bytes);
    if (thumbnail.isValid()) {
        require(thumbnail.error().isEmpty());
        require(thumbnail.imageSize().isValid());
        require(thumbnail.thumbnail().width() <= ValueThumbnail::kBoxSize);
        require(thumbnail.thumbnail().height() <= ValueThumbnail::kBoxSize);
    } else {
        require(!thumbnail.error().isEmpty());
    }
    return 0;
}
