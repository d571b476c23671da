#pragma once
#include <QRectF>

class QFont;
class QPagedPaintDevice;
class QPainter;
class QString;

namespace marrowick {

// Walks a document down the pages of a paged device (printer, PDF writer,
// preview) for the pages first to last of it (1-based; last 0: to the end).
// Every page is laid out, so that those asked for fall where they always do,
// but only those are drawn, and only they take a sheet of the device.
class PageCursor {
public:
    // What is drawn past a page's edge: kept (a rule on the edge prints
    // whole) or cut off at the edge.
    enum Overflow { KeepOverflow, ClipOverflow };

    PageCursor(QPagedPaintDevice& device, QPainter& painter, int first, int last, Overflow overflow);

    // To the top of the next page; false when the device cannot start another sheet.
    bool nextPage();
    // Whether the current page is one of those asked for.
    bool printed() const { return m_printed; }

    // Where the next item goes, from the page's top, in device units.
    double y() const { return m_y; }
    void advance(double by) { m_y += by; }
    // A new page unless `needed` fits below: an item never straddles two
    // pages, but a page's first item stays on it however tall.
    bool makeRoom(double needed);

    double width() const { return m_page.width(); }
    double height() const { return m_page.height(); }
    QPainter& painter() { return m_painter; }

    // Paints with that font from here on; its line spacing on the device.
    double setFont(const QFont& font);
    // A paragraph across the page, wrapped at words, kept whole on one page.
    void paragraph(const QString& text);

private:
    QPagedPaintDevice& m_device;
    QPainter& m_painter;
    const int m_first, m_last;
    const Overflow m_overflow;
    const QRectF m_page;
    int m_number = 0;
    double m_y = 0;
    bool m_printed = false;
    bool m_begun = false; // a page is drawn: the next drawn one takes a new sheet
};

} // namespace marrowick
