#include "values/ValueThumbnail.h"

#include <QBuffer>
#include <QImageReader>

#include <algorithm>

namespace {

// Memory a single decode may take, in megabytes.
constexpr int kAllocationLimitMb = 256;

} // namespace

ValueThumbnail ValueThumbnail::decode(const QByteArray& bytes)
{
    ValueThumbnail result;
    if (bytes.isEmpty()) {
        result.m_error = QStringLiteral("The value is empty.");
        return result;
    }
    QByteArray data = bytes;
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    reader.setAllocationLimit(kAllocationLimitMb);
    if (!reader.canRead()) {
        result.m_error = reader.errorString();
        return result;
    }
    result.m_format = QString::fromLatin1(reader.format()).toUpper();
    const QSize size = reader.size();
    if (size.isValid()) {
        if (static_cast<qint64>(size.width()) * size.height() > kMaxPixels) {
            result.m_error = QStringLiteral("The image is too large (%1 x %2 pixels).")
                                 .arg(size.width())
                                 .arg(size.height());
            return result;
        }
        // Readers that can, decode straight to the thumbnail's size.
        if (size.width() > kBoxSize || size.height() > kBoxSize)
            reader.setScaledSize(size.scaled(kBoxSize, kBoxSize, Qt::KeepAspectRatio));
    }
    QImage image = reader.read();
    if (image.isNull()) {
        result.m_error = reader.errorString();
        return result;
    }
    result.m_imageSize = size.isValid() ? size : image.size();
    if (image.width() > kBoxSize || image.height() > kBoxSize) {
        image = image.scaled(kBoxSize, kBoxSize, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    } else {
        const int longest = std::max(image.width(), image.height());
        const int factor = longest > 0 ? kSmallestShown / longest : 1;
        if (factor > 1)
            image = image.scaled(image.size() * factor, Qt::IgnoreAspectRatio,
                                 Qt::FastTransformation);
    }
    result.m_thumbnail = image;
    return result;
}

ValueThumbnail ValueThumbnail::decode(const char* bytes, qsizetype length)
{
    if (bytes == nullptr || length <= 0)
        return decode(QByteArray());
    // The bytes outlive the decode: no copy.
    return decode(QByteArray::fromRawData(bytes, length));
}

QString ValueThumbnail::caption() const
{
    return QStringLiteral("%1 image, %2 x %3 pixels")
        .arg(m_format)
        .arg(m_imageSize.width())
        .arg(m_imageSize.height());
}

QString ValueThumbnail::toHtml() const
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    m_thumbnail.save(&buffer, "PNG");
    return QStringLiteral("<img src=\"data:image/png;base64,%1\" width=\"%2\" height=\"%3\"><br>%4")
        .arg(QString::fromLatin1(png.toBase64()))
        .arg(m_thumbnail.width())
        .arg(m_thumbnail.height())
        .arg(caption().toHtmlEscaped());
}
