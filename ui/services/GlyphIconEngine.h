#pragma once

#include <QIconEngine>

#include <functional>

class QPainter;

namespace ui {

// An icon drawn in code at whatever size is asked: the drawing paints on a
// 24 x 24 grid that the engine scales to the requested size. The disabled
// look is the style's usual greying of the normal drawing.
class GlyphIconEngine : public QIconEngine {
public:
    using Drawing = std::function<void(QPainter&)>;

    GlyphIconEngine(QString name, Drawing drawing);

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override;
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override;
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state,
                         qreal scale) override;
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override;
    QIconEngine* clone() const override;
    QString key() const override;
    QString iconName() override;

    // The grid the drawings use.
    static constexpr int kGrid = 24;

private:
    QString m_name;
    Drawing m_drawing;
};

} // namespace ui
