#include "services/GlyphIconEngine.h"

#include <QApplication>
#include <QPainter>
#include <QPixmap>
#include <QStyle>
#include <QStyleOption>

#include <utility>

namespace ui {

GlyphIconEngine::GlyphIconEngine(QString name, Drawing drawing)
    : m_name(std::move(name)), m_drawing(std::move(drawing))
{
}

void GlyphIconEngine::paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
                            QIcon::State state)
{
    const qreal scale = painter->device() != nullptr ? painter->device()->devicePixelRatioF() : 1.0;
    painter->drawPixmap(rect, scaledPixmap(rect.size(), mode, state, scale));
}

QPixmap GlyphIconEngine::pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state)
{
    return scaledPixmap(size, mode, state, 1.0);
}

QPixmap GlyphIconEngine::scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State,
                                      qreal scale)
{
    const QSize pixels = (QSizeF(size) * scale).toSize();
    if (pixels.isEmpty())
        return QPixmap();
    QPixmap picture(pixels);
    picture.fill(Qt::transparent);
    {
        QPainter painter(&picture);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(qreal(pixels.width()) / kGrid, qreal(pixels.height()) / kGrid);
        m_drawing(painter);
    }
    if (mode == QIcon::Disabled || mode == QIcon::Selected) {
        QStyleOption option;
        option.palette = QApplication::palette();
        picture = QApplication::style()->generatedIconPixmap(mode, picture, &option);
    }
    picture.setDevicePixelRatio(scale);
    return picture;
}

QSize GlyphIconEngine::actualSize(const QSize& size, QIcon::Mode, QIcon::State)
{
    return size;
}

QIconEngine* GlyphIconEngine::clone() const
{
    return new GlyphIconEngine(m_name, m_drawing);
}

QString GlyphIconEngine::key() const
{
    return QStringLiteral("GlyphIconEngine");
}

QString GlyphIconEngine::iconName()
{
    return m_name;
}

} // namespace ui
