#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

// A value's bytes decoded with Qt's image readers, and the small copy shown
// of them. Needs only Qt GUI.
class ValueThumbnail {
public:
    // Longest side of a thumbnail; larger images are scaled down to it.
    static constexpr int kBoxSize = 128;
    // Smaller images are enlarged by a whole factor until their longest side
    // reaches this, so that a tiny picture can be seen.
    static constexpr int kSmallestShown = 64;
    // Images with more pixels than this are not decoded.
    static constexpr qint64 kMaxPixels = 64LL * 1024 * 1024;

    // Decodes bytes (any format Qt reads; the format is told by the content).
    static ValueThumbnail decode(const QByteArray& bytes);
    static ValueThumbnail decode(const char* bytes, qsizetype length);

    bool isValid() const { return !m_thumbnail.isNull(); }
    // The image's own size, before any scaling.
    QSize imageSize() const { return m_imageSize; }
    // "JPEG", "PNG", "GIF", ...
    const QString& format() const { return m_format; }
    const QImage& thumbnail() const { return m_thumbnail; }
    // Why the bytes could not be shown; empty for a valid thumbnail.
    const QString& error() const { return m_error; }

    // "JPEG image, 8 x 8 pixels".
    QString caption() const;
    // The thumbnail as an <img> with a PNG data URL, then the caption, for
    // rich text.
    QString toHtml() const;

private:
    QSize m_imageSize;
    QString m_format;
    QImage m_thumbnail;
    QString m_error;
};
