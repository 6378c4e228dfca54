#pragma once

#include <QFontMetricsF>
#include <QHash>
#include <QSize>
#include <QString>

class QListWidget;

// The size of a list line of one-line text without laying the text out: the
// width adds up each character's advance (measured once per character), the
// height and the margins come from one line the list measures in full. A
// list that measures every line itself shapes each one at every layout;
// lines that carry their size cost a look-up. Kerning is left out: a line
// may come out a few pixels wider than laid out, never narrower.
class ListLineSizer {
public:
    explicit ListLineSizer(const QListWidget& list);

    // The size hint for a line of text in the list.
    QSize sizeFor(const QString& text);

private:
    int textWidth(const QString& text);
    // Characters that need the text around them (combining marks,
    // surrogates, right-to-left scripts) are measured with it.
    static bool isSimple(QChar c);

    const QListWidget& m_list;
    QFontMetricsF m_metrics;
    QHash<char16_t, qreal> m_advances;
    // The list's own measure of one line, less its text: margins and height.
    QSize m_frame;
};
