#include "dialogs/ListLineSizer.h"

#include <QListWidget>

#include <algorithm>
#include <cmath>

ListLineSizer::ListLineSizer(const QListWidget& list) : m_list(list), m_metrics(list.font())
{
}

bool ListLineSizer::isSimple(QChar c)
{
    const char16_t code = c.unicode();
    // Letters and signs of the scripts written left to right without joining.
    return code >= 0x20 && code < 0x0300 && !c.isSurrogate();
}

int ListLineSizer::textWidth(const QString& text)
{
    qreal width = 0;
    for (QChar c : text) {
        if (!isSimple(c))
            return static_cast<int>(std::ceil(m_metrics.horizontalAdvance(text)));
        auto found = m_advances.constFind(c.unicode());
        if (found == m_advances.constEnd())
            found = m_advances.insert(c.unicode(), m_metrics.horizontalAdvance(c));
        width += found.value();
    }
    return static_cast<int>(std::ceil(width));
}

QSize ListLineSizer::sizeFor(const QString& text)
{
    if (!m_frame.isValid()) {
        // What the list's delegate adds to a line, from one line it lays out.
        QListWidget probe;
        probe.setFont(m_list.font());
        probe.addItem(text);
        const QSize measured = probe.sizeHintForIndex(probe.model()->index(0, 0));
        const int textOnly = static_cast<int>(std::ceil(m_metrics.horizontalAdvance(text)));
        m_frame = QSize(std::max(0, measured.width() - textOnly), measured.height());
    }
    return QSize(textWidth(text) + m_frame.width(), m_frame.height());
}
