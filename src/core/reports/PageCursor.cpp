#include "PageCursor.h"

#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>

namespace marrowick {

PageCursor::PageCursor(QPagedPaintDevice& device, QPainter& painter, int first, int last, Overflow overflow)
    : m_device(device), m_painter(painter), m_first(first), m_last(last), m_overflow(overflow),
      m_page(0, 0, device.width(), device.height())
{
}

bool PageCursor::nextPage()
{
    ++m_number;
    m_y = 0;
    m_printed = m_number >= m_first && (m_last == 0 || m_number <= m_last);
    // A page outside the range is laid out all the same, but nothing of it is drawn.
    if (!m_printed)
        m_painter.setClipRect(QRectF());
    else if (m_overflow == ClipOverflow)
        m_painter.setClipRect(m_page);
    else
        m_painter.setClipping(false);
    const bool newSheet = m_printed && m_begun;
    m_begun = m_begun || m_printed;
    return !newSheet || m_device.newPage();
}

bool PageCursor::makeRoom(double needed) { return m_y <= 0 || m_y + needed <= height() || nextPage(); }

double PageCursor::setFont(const QFont& font)
{
    m_painter.setFont(font);
    return QFontMetricsF(font, &m_device).lineSpacing();
}

void PageCursor::paragraph(const QString& text)
{
    const QRectF box = m_painter.boundingRect(m_page, Qt::TextWordWrap, text);
    makeRoom(box.height());
    m_painter.drawText(QRectF(0, m_y, width(), box.height()), Qt::TextWordWrap, text);
    m_y += box.height();
}

} // namespace marrowick
