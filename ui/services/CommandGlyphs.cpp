#include "services/CommandGlyphs.h"

#include "services/GlyphIconEngine.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

#include <cstring>

namespace ui {

namespace {

// Tango palette.
const QColor kInk(0x2e, 0x34, 0x36);
const QColor kOutline(0x55, 0x57, 0x53);
const QColor kPaper(0xff, 0xff, 0xff);
const QColor kLine(0x88, 0x8a, 0x85);
const QColor kBlue(0x34, 0x65, 0xa4);
const QColor kLightBlue(0x72, 0x9f, 0xcf);
const QColor kDarkBlue(0x20, 0x4a, 0x87);
const QColor kGreen(0x4e, 0x9a, 0x06);
const QColor kLightGreen(0x73, 0xd2, 0x16);
const QColor kRed(0xcc, 0x00, 0x00);
const QColor kOrange(0xf5, 0x79, 0x00);
const QColor kYellow(0xfc, 0xaf, 0x3e);
const QColor kBrown(0x8f, 0x59, 0x02);

QPen pen(const QColor& color, qreal width)
{
    return QPen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// ---- parts ------------------------------------------------------------------

// A page with a folded corner, text lines on it.
void page(QPainter& p, qreal left = 4.5, qreal right = 17.5)
{
    const qreal top = 1.5;
    const qreal bottom = 22.5;
    const qreal fold = 4.5;
    QPainterPath outline;
    outline.moveTo(left, top);
    outline.lineTo(right - fold, top);
    outline.lineTo(right, top + fold);
    outline.lineTo(right, bottom);
    outline.lineTo(left, bottom);
    outline.closeSubpath();
    p.setPen(pen(kOutline, 1));
    p.setBrush(kPaper);
    p.drawPath(outline);
    QPainterPath corner;
    corner.moveTo(right - fold, top);
    corner.lineTo(right - fold, top + fold);
    corner.lineTo(right, top + fold);
    p.setBrush(QColor(0xd3, 0xd7, 0xcf));
    p.drawPath(corner);
    p.setPen(pen(kLine, 1.2));
    for (qreal y = 9; y <= 19; y += 2.5)
        p.drawLine(QPointF(left + 2.5, y), QPointF(right - 2.5, y));
}

// An attribute list: a card of name/value rows.
void listCard(QPainter& p)
{
    p.setPen(pen(kOutline, 1));
    p.setBrush(kPaper);
    p.drawRoundedRect(QRectF(1.5, 2.5, 19, 18), 1.5, 1.5);
    for (int row = 0; row < 4; ++row) {
        const qreal y = 6 + row * 4;
        p.setPen(pen(kBlue, 2));
        p.drawLine(QPointF(4, y), QPointF(8, y));
        p.setPen(pen(kLine, 1.4));
        p.drawLine(QPointF(10.5, y), QPointF(17.5, y));
    }
}

// One value: an input field holding a line of text.
void valueField(QPainter& p)
{
    p.setPen(pen(kOutline, 1));
    p.setBrush(kPaper);
    p.drawRoundedRect(QRectF(1.5, 5.5, 20, 10), 1.5, 1.5);
    p.setPen(pen(kInk, 1.6));
    p.drawLine(QPointF(4.5, 10.5), QPointF(14, 10.5));
    p.setPen(pen(kBlue, 1.2));
    p.drawLine(QPointF(16.5, 8), QPointF(16.5, 13));
}

// A round badge in the lower right corner.
void badge(QPainter& p, const QColor& fill, const QColor& rim)
{
    p.setPen(pen(rim, 1));
    p.setBrush(fill);
    p.drawEllipse(QPointF(17, 17), 6, 6);
}

void plusBadge(QPainter& p)
{
    badge(p, kLightGreen, kGreen);
    p.setPen(pen(kPaper, 2.2));
    p.drawLine(QPointF(17, 13.5), QPointF(17, 20.5));
    p.drawLine(QPointF(13.5, 17), QPointF(20.5, 17));
}

void minusBadge(QPainter& p)
{
    badge(p, QColor(0xef, 0x29, 0x29), kRed);
    p.setPen(pen(kPaper, 2.2));
    p.drawLine(QPointF(13.5, 17), QPointF(20.5, 17));
}

void crossBadge(QPainter& p)
{
    badge(p, QColor(0xef, 0x29, 0x29), kRed);
    p.setPen(pen(kPaper, 2));
    p.drawLine(QPointF(14.5, 14.5), QPointF(19.5, 19.5));
    p.drawLine(QPointF(19.5, 14.5), QPointF(14.5, 19.5));
}

// A magnifying glass centred on (x, y) with a lens of radius r.
void magnifier(QPainter& p, qreal x, qreal y, qreal r)
{
    p.setPen(pen(kBrown, r * 0.55));
    p.drawLine(QPointF(x + r * 0.75, y + r * 0.75), QPointF(x + r * 1.75, y + r * 1.75));
    p.setPen(pen(kInk, r * 0.3));
    p.setBrush(QColor(0xa6, 0xc8, 0xec));
    p.drawEllipse(QPointF(x, y), r, r);
}

// Two arrows chasing each other round (x, y).
void refreshArrows(QPainter& p, qreal x, qreal y, qreal r, const QColor& color)
{
    p.setPen(pen(color, r * 0.42));
    p.setBrush(Qt::NoBrush);
    const QRectF circle(x - r, y - r, 2 * r, 2 * r);
    p.drawArc(circle, 20 * 16, 130 * 16);
    p.drawArc(circle, 200 * 16, 130 * 16);
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    const qreal h = r * 0.65;
    // Arrow heads at the ends of both arcs, pointing along the turn.
    p.drawPolygon(QPolygonF({QPointF(x + r + h, y - h * 0.2), QPointF(x + r - h, y - h * 0.2),
                             QPointF(x + r, y + h)}));
    p.drawPolygon(QPolygonF({QPointF(x - r - h, y + h * 0.2), QPointF(x - r + h, y + h * 0.2),
                             QPointF(x - r, y - h)}));
}

void pencil(QPainter& p, qreal fromX, qreal fromY, qreal toX, qreal toY, qreal width)
{
    p.setPen(pen(kBrown, width + 1));
    p.drawLine(QPointF(fromX, fromY), QPointF(toX, toY));
    p.setPen(pen(kYellow, width));
    p.drawLine(QPointF(fromX, fromY), QPointF(toX, toY));
    // Dark tip at the writing end.
    const qreal dx = (toX - fromX) * 0.18;
    const qreal dy = (toY - fromY) * 0.18;
    p.setPen(pen(kInk, width));
    p.drawLine(QPointF(toX - dx * 0.5, toY - dy * 0.5), QPointF(toX, toY));
}

// A horizontal arrow from x1 to x2 at height y.
void arrow(QPainter& p, qreal x1, qreal x2, qreal y, const QColor& fill, const QColor& rim)
{
    const qreal head = 5;
    const qreal shaft = 2;
    const qreal tip = x2;
    const qreal neck = x2 > x1 ? x2 - head : x2 + head;
    QPolygonF shape({QPointF(x1, y - shaft), QPointF(neck, y - shaft), QPointF(neck, y - head),
                     QPointF(tip, y), QPointF(neck, y + head), QPointF(neck, y + shaft),
                     QPointF(x1, y + shaft)});
    p.setPen(pen(rim, 1));
    p.setBrush(fill);
    p.drawPolygon(shape);
}

// A plug (cable on the left) and a socket (cable on the right), gap apart.
void plugAndSocket(QPainter& p, qreal gap)
{
    const qreal plugRight = 11 - gap / 2;
    const qreal socketLeft = 13 + gap / 2;
    p.setPen(pen(kInk, 2));
    p.drawLine(QPointF(0.5, 12), QPointF(plugRight - 6, 12));
    p.drawLine(QPointF(socketLeft + 6, 12), QPointF(23.5, 12));
    p.setPen(pen(kInk, 1.6));
    p.drawLine(QPointF(plugRight, 9.5), QPointF(plugRight + 3, 9.5));
    p.drawLine(QPointF(plugRight, 14.5), QPointF(plugRight + 3, 14.5));
    p.setPen(pen(kOutline, 1));
    p.setBrush(QColor(0x88, 0x8a, 0x85));
    p.drawRoundedRect(QRectF(plugRight - 6, 6.5, 6, 11), 1.5, 1.5);
    p.setBrush(kBlue);
    p.setPen(pen(kDarkBlue, 1));
    p.drawRoundedRect(QRectF(socketLeft, 6, 6, 12), 1.5, 1.5);
}

// A little tree: a root and two children joined by elbows.
void smallTree(QPainter& p)
{
    p.setPen(pen(kInk, 1.4));
    p.drawLine(QPointF(4.5, 6), QPointF(4.5, 17));
    p.drawLine(QPointF(4.5, 11), QPointF(9, 11));
    p.drawLine(QPointF(4.5, 17), QPointF(9, 17));
    p.setPen(pen(kDarkBlue, 1));
    p.setBrush(kLightBlue);
    p.drawRoundedRect(QRectF(1.5, 1.5, 6, 5), 1, 1);
    p.setBrush(kYellow);
    p.setPen(pen(kBrown, 1));
    p.drawRoundedRect(QRectF(9, 8.5, 6, 5), 1, 1);
    p.drawRoundedRect(QRectF(9, 14.5, 6, 5), 1, 1);
}

// A filled circle with a white mark drawn by mark.
template <typename Mark>
void roundSign(QPainter& p, const QColor& fill, const QColor& rim, Mark mark)
{
    p.setPen(pen(rim, 1));
    p.setBrush(fill);
    p.drawEllipse(QPointF(12, 12), 10.5, 10.5);
    mark();
}

// ---- the commands' drawings ------------------------------------------------------

void drawConnect(QPainter& p)
{
    plugAndSocket(p, 0);
    p.setPen(pen(kGreen, 1));
    p.setBrush(kLightGreen);
    p.drawEllipse(QPointF(12, 20.5), 2.5, 2.5);
}

void drawDisconnect(QPainter& p)
{
    plugAndSocket(p, 6);
    p.setPen(pen(kRed, 2));
    p.drawLine(QPointF(10.5, 18), QPointF(13.5, 21.5));
    p.drawLine(QPointF(13.5, 18), QPointF(10.5, 21.5));
}

void drawImport(QPainter& p)
{
    page(p, 8.5, 22.5);
    arrow(p, 0.5, 14, 15, kLightGreen, kGreen);
}

void drawExport(QPainter& p)
{
    page(p, 1.5, 15.5);
    arrow(p, 10, 23.5, 15, kBlue, kDarkBlue);
}

void drawTreeRefresh(QPainter& p)
{
    smallTree(p);
    refreshArrows(p, 17.5, 17.5, 4.5, kGreen);
}

void drawTreeSort(QPainter& p)
{
    p.setPen(pen(kInk, 2.2));
    p.drawLine(QPointF(2, 5), QPointF(6, 5));
    p.drawLine(QPointF(2, 10), QPointF(9, 10));
    p.drawLine(QPointF(2, 15), QPointF(12, 15));
    p.drawLine(QPointF(2, 20), QPointF(15, 20));
    p.setPen(pen(kDarkBlue, 1));
    p.setBrush(kLightBlue);
    p.drawPolygon(QPolygonF({QPointF(18, 2.5), QPointF(21, 2.5), QPointF(21, 15), QPointF(23.5, 15),
                             QPointF(19.5, 21.5), QPointF(15.5, 15), QPointF(18, 15)}));
}

void drawEntryRefresh(QPainter& p)
{
    page(p, 2.5, 15.5);
    refreshArrows(p, 17.5, 17.5, 4.5, kGreen);
}

void drawEntryView(QPainter& p)
{
    page(p, 2.5, 15.5);
    // An eye over the lower right corner.
    QPainterPath eye;
    eye.moveTo(9.5, 17);
    eye.quadTo(16.5, 9.5, 23.5, 17);
    eye.quadTo(16.5, 24.5, 9.5, 17);
    p.setPen(pen(kInk, 1.2));
    p.setBrush(kPaper);
    p.drawPath(eye);
    p.setPen(Qt::NoPen);
    p.setBrush(kBlue);
    p.drawEllipse(QPointF(16.5, 17), 3, 3);
    p.setBrush(kInk);
    p.drawEllipse(QPointF(16.5, 17), 1.3, 1.3);
}

void drawEntrySearch(QPainter& p)
{
    magnifier(p, 9.5, 9.5, 7);
}

void drawEntryAdd(QPainter& p)
{
    page(p, 2.5, 15.5);
    plusBadge(p);
}

void drawEntryModify(QPainter& p)
{
    page(p, 2.5, 15.5);
    pencil(p, 22, 5, 11, 20, 2.6);
}

void drawEntryRename(QPainter& p)
{
    p.setPen(pen(kOutline, 1));
    p.setBrush(kPaper);
    p.drawRoundedRect(QRectF(1.5, 6.5, 21, 11), 1.5, 1.5);
    p.setPen(Qt::NoPen);
    p.setBrush(kLightBlue);
    p.drawRect(QRectF(4, 9, 11, 6));
    p.setPen(pen(kDarkBlue, 1.6));
    p.drawLine(QPointF(5.5, 12), QPointF(13.5, 12));
    // Text cursor.
    p.setPen(pen(kInk, 1.4));
    p.drawLine(QPointF(17.5, 4), QPointF(17.5, 20));
    p.drawLine(QPointF(15.5, 3.5), QPointF(19.5, 3.5));
    p.drawLine(QPointF(15.5, 20.5), QPointF(19.5, 20.5));
}

void drawEntryDelete(QPainter& p)
{
    page(p, 2.5, 15.5);
    crossBadge(p);
}

void drawAttributeAdd(QPainter& p)
{
    listCard(p);
    plusBadge(p);
}

void drawAttributeDelete(QPainter& p)
{
    listCard(p);
    minusBadge(p);
}

void drawValueAdd(QPainter& p)
{
    valueField(p);
    plusBadge(p);
}

void drawValueModify(QPainter& p)
{
    valueField(p);
    pencil(p, 22.5, 11, 12.5, 22, 2.6);
}

void drawValueDelete(QPainter& p)
{
    valueField(p);
    crossBadge(p);
}

void drawValueSearch(QPainter& p)
{
    valueField(p);
    magnifier(p, 16, 16, 4);
}

void drawSchemaView(QPainter& p)
{
    // An open book.
    p.setPen(pen(kDarkBlue, 1));
    p.setBrush(kBlue);
    p.drawRoundedRect(QRectF(0.5, 5, 23, 16), 1.5, 1.5);
    p.setPen(pen(kOutline, 1));
    p.setBrush(kPaper);
    QPainterPath left;
    left.moveTo(12, 6.5);
    left.quadTo(7, 3, 2, 4.5);
    left.lineTo(2, 19);
    left.quadTo(7, 17.5, 12, 20.5);
    left.closeSubpath();
    QPainterPath right;
    right.moveTo(12, 6.5);
    right.quadTo(17, 3, 22, 4.5);
    right.lineTo(22, 19);
    right.quadTo(17, 17.5, 12, 20.5);
    right.closeSubpath();
    p.drawPath(left);
    p.drawPath(right);
    p.setPen(pen(kLine, 1));
    for (qreal y = 8.5; y <= 16.5; y += 2.7) {
        p.drawLine(QPointF(4, y), QPointF(10, y + 0.8));
        p.drawLine(QPointF(14, y + 0.8), QPointF(20, y));
    }
}

void drawSearchProperties(QPainter& p)
{
    // Three sliders.
    const qreal knobs[] = {8, 16, 11};
    for (int row = 0; row < 3; ++row) {
        const qreal y = 5 + row * 7;
        p.setPen(pen(kInk, 2));
        p.drawLine(QPointF(2, y), QPointF(22, y));
        p.setPen(pen(kDarkBlue, 1));
        p.setBrush(row == 1 ? kOrange : kLightBlue);
        p.drawRoundedRect(QRectF(knobs[row] - 2.5, y - 3.5, 5, 7), 1.2, 1.2);
    }
}

void drawHelpContents(QPainter& p)
{
    roundSign(p, kBlue, kDarkBlue, [&p]() {
        QPainterPath question;
        question.moveTo(8.2, 9.2);
        question.cubicTo(8.2, 4.5, 15.8, 4.5, 15.8, 9);
        question.cubicTo(15.8, 11.8, 12, 12, 12, 14.8);
        p.setPen(pen(kPaper, 2.6));
        p.setBrush(Qt::NoBrush);
        p.drawPath(question);
        p.setPen(Qt::NoPen);
        p.setBrush(kPaper);
        p.drawEllipse(QPointF(12, 18.3), 1.7, 1.7);
    });
}

void drawAbout(QPainter& p)
{
    roundSign(p, kGreen, QColor(0x3a, 0x73, 0x04), [&p]() {
        p.setPen(Qt::NoPen);
        p.setBrush(kPaper);
        p.drawEllipse(QPointF(12, 6.8), 1.9, 1.9);
        p.setPen(pen(kPaper, 3));
        p.drawLine(QPointF(12, 11), QPointF(12, 18));
    });
}

void drawPadlock(QPainter& p)
{
    QPainterPath shackle;
    shackle.moveTo(7.5, 11);
    shackle.lineTo(7.5, 7.5);
    shackle.cubicTo(7.5, 1.5, 16.5, 1.5, 16.5, 7.5);
    shackle.lineTo(16.5, 11);
    p.setPen(pen(kOutline, 2.4));
    p.setBrush(Qt::NoBrush);
    p.drawPath(shackle);
    p.setPen(pen(kBrown, 1));
    p.setBrush(kYellow);
    p.drawRoundedRect(QRectF(4.5, 10.5, 15, 11), 1.5, 1.5);
    p.setPen(Qt::NoPen);
    p.setBrush(kInk);
    p.drawEllipse(QPointF(12, 15), 1.6, 1.6);
    p.drawRect(QRectF(11.3, 15.5, 1.4, 3.5));
}

struct Glyph {
    const char* handler;
    void (*draw)(QPainter&);
};

const Glyph kGlyphs[] = {
    {"OnConnect", drawConnect},
    {"OnDisconnect", drawDisconnect},
    {"OnLdifImport", drawImport},
    {"OnLdifExport", drawExport},
    {"OnTreeRefresh", drawTreeRefresh},
    {"OnTreeSort", drawTreeSort},
    {"OnEntryRefresh", drawEntryRefresh},
    {"OnEntryView", drawEntryView},
    {"OnEntrySearch", drawEntrySearch},
    {"OnEntryAdd", drawEntryAdd},
    {"OnEntryModify", drawEntryModify},
    {"OnEntryRename", drawEntryRename},
    {"OnEntryDelete", drawEntryDelete},
    {"OnAttributeAdd", drawAttributeAdd},
    {"OnAttributeDelete", drawAttributeDelete},
    {"OnValueAdd", drawValueAdd},
    {"OnValueModify", drawValueModify},
    {"OnValueDelete", drawValueDelete},
    {"OnValueSearch", drawValueSearch},
    {"OnSchemaView", drawSchemaView},
    {"OnSearchProperties", drawSearchProperties},
    {"OnHelpContents", drawHelpContents},
    {"OnAppAbout", drawAbout},
};

} // namespace

QIcon drawnCommandIcon(const QString& handlerName)
{
    for (const Glyph& glyph : kGlyphs) {
        if (handlerName == QLatin1String(glyph.handler))
            return QIcon(new GlyphIconEngine(handlerName, glyph.draw));
    }
    return QIcon();
}

QIcon drawnPadlockIcon()
{
    return QIcon(new GlyphIconEngine(QStringLiteral("padlock"), drawPadlock));
}

} // namespace ui
