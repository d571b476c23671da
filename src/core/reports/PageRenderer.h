#pragma once
#include "PageDesign.h"

#include <QDateTime>
#include <QFont>
#include <QSizeF>
#include <vector>

class QAbstractItemModel;
class QPagedPaintDevice;
class QPaintDevice;
class QPainter;

namespace marrowick {

// Lays a page design out on any paged device (printer, PDF writer, preview):
// the report header once, the page header and footer on every page, one
// detail section per row (moved whole to the next page when it does not
// fit) and the report footer once, at the end. The rows come from any model
// that names its columns' fields under FieldRole.
class PageRenderer {
public:
    PageRenderer(const PageDesign& design, const QAbstractItemModel& rows);

    // Sets the design's margins on the device.
    void prepare(QPagedPaintDevice& device) const;
    // Paints the pages first to last (1-based; 0 for the last page); false
    // when the device could not be painted on.
    bool render(QPagedPaintDevice& device, int first = 1, int last = 0) const;

    // The font family: Arial where installed, otherwise its metric twin.
    static QString family();

    // How a one-line value is drawn in its box on a device: at its size if it
    // fits, else smaller down to 60 %, else on two lines in the room below
    // the box's top; cut (at its size, with an ellipsis) only when none fits.
    struct Fit {
        QFont font;
        bool twoLines = false;
        bool cut = false;
    };
    static Fit fit(const QString& text, const QFont& font, const QSizeF& box, double room, const QPaintDevice* device);
    // The room below an element's top, in twips: to the next element under
    // it, or to its section's end.
    static int roomBelow(const Section& section, size_t element);

private:
    struct Page {
        bool reportHeader = false;
        int firstRow = 0, rowCount = 0;
        bool reportFooter = false;
    };
    std::vector<Page> paginate(int pageHeight) const;
    void paintSection(QPainter& painter, const Section& section, double y, double scale, int row, int page,
                      int pages) const;
    QString codeText(const QString& text, int page, int pages) const;

    const PageDesign& m_design;
    const QAbstractItemModel& m_rows;
    std::vector<int> m_columns; // per detail element: the model column of its field, -1 when none
    QDateTime m_printedAt;
};

} // namespace marrowick
