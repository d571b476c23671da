#include "PageRenderer.h"

#include "PageCursor.h"

#include <algorithm>
#include <QAbstractItemModel>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QLocale>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>

namespace marrowick {

namespace {
constexpr double kTwipsPerInch = 1440.0;
constexpr int kRuleTwips = 12;
} // namespace

PageRenderer::PageRenderer(const PageDesign& design, const QAbstractItemModel& rows)
    : m_design(design), m_rows(rows), m_printedAt(QDateTime::currentDateTime())
{
    for (const Element& e : design.detail.elements)
        m_columns.push_back(e.kind == Element::Field ? fieldColumn(rows, e.text) : -1);
}

QString PageRenderer::family()
{
    static const QString chosen = QFontDatabase::families().contains(QStringLiteral("Arial"))
                                      ? QStringLiteral("Arial")
                                      : QStringLiteral("Liberation Sans");
    return chosen;
}

PageRenderer::Fit PageRenderer::fit(const QString& text, const QFont& font, const QSizeF& box, double room,
                                    const QPaintDevice* device)
{
    constexpr double kSmallest = 0.6, kStep = 0.05;
    Fit result{font, false, false};
    auto sized = [&](double factor) {
        QFont f = font;
        f.setPointSizeF(font.pointSizeF() * factor);
        return f;
    };
    for (double factor = 1; factor >= kSmallest - 1e-9; factor -= kStep)
        if (QFontMetricsF(sized(factor), device).horizontalAdvance(text) <= box.width()) {
            result.font = sized(factor);
            return result;
        }
    for (double factor = 1; factor >= kSmallest - 1e-9; factor -= kStep) {
        const QFontMetricsF metrics(sized(factor), device);
        const QRectF wrapped =
            metrics.boundingRect(QRectF(0, 0, box.width(), 1e6), Qt::AlignLeft | Qt::TextWordWrap, text);
        if (wrapped.width() <= box.width() && wrapped.height() <= std::min(room, 2.5 * metrics.lineSpacing())) {
            result.font = sized(factor);
            result.twoLines = true;
            return result;
        }
    }
    result.cut = true;
    return result;
}

int PageRenderer::roomBelow(const Section& section, size_t element)
{
    const Element& e = section.elements[element];
    int room = section.height - e.top;
    for (const Element& other : section.elements)
        if (other.top > e.top && other.left < e.left + e.width && other.left + std::max(other.width, 1) > e.left)
            room = std::min(room, other.top - e.top);
    return std::max(room, e.height);
}

void PageRenderer::prepare(QPagedPaintDevice& device) const
{
    const double inches = m_design.margin / kTwipsPerInch;
    device.setPageMargins(QMarginsF(inches, inches, inches, inches), QPageLayout::Inch);
}

std::vector<PageRenderer::Page> PageRenderer::paginate(int pageHeight) const
{
    const int headerAndFooter = m_design.pageHeader.height + m_design.pageFooter.height;
    const int rows = m_rows.rowCount();
    std::vector<Page> pages;
    Page page{true, 0, 0, false};
    int used = m_design.reportHeader.height + headerAndFooter;
    for (int row = 0; row < rows; ++row) {
        const bool fresh = page.rowCount == 0 && !page.reportHeader;
        if (used + m_design.detail.height > pageHeight && !fresh) {
            pages.push_back(page);
            page = Page{false, row, 0, false};
            used = headerAndFooter;
        }
        ++page.rowCount;
        used += m_design.detail.height;
    }
    if (used + m_design.reportFooter.height > pageHeight && (page.rowCount > 0 || page.reportHeader)) {
        pages.push_back(page);
        page = Page{false, rows, 0, false};
    }
    page.reportFooter = true;
    pages.push_back(page);
    return pages;
}

QString PageRenderer::codeText(const QString& text, int page, int pages) const
{
    if (text == QLatin1String("%d")) return QLocale().toString(m_printedAt.date(), QLocale::ShortFormat);
    if (text == QLatin1String("%T")) return QLocale().toString(m_printedAt.time(), QLocale::LongFormat);
    if (text == QLatin1String("%p")) return QString::number(page);
    if (text == QLatin1String("%P")) return QString::number(pages);
    return text;
}

void PageRenderer::paintSection(QPainter& painter, const Section& section, double y, double scale, int row, int page,
                                int pages) const
{
    for (size_t i = 0; i < section.elements.size(); ++i) {
        const Element& e = section.elements[i];
        const QRectF box(e.left * scale, y + e.top * scale, e.width * scale, e.height * scale);
        if (e.kind == Element::HRule || e.kind == Element::VRule) {
            QPen pen(Qt::black);
            pen.setWidthF(kRuleTwips * scale);
            painter.setPen(pen);
            painter.drawLine(box.topLeft(), e.kind == Element::HRule ? box.topRight() : box.bottomLeft());
            continue;
        }
        const FontStyle style = e.font.value_or(m_design.defaultFont);
        QFont font(family());
        font.setPointSizeF(style.points);
        font.setBold(style.bold);
        painter.setFont(font);
        painter.setPen(Qt::black);
        QString text;
        if (e.kind == Element::Label) {
            text = codeText(e.text, page, pages);
            // A label as high as two lines wraps; any other stays on one line.
            const QFontMetricsF metrics(font, painter.device());
            if (box.height() >= 1.8 * metrics.height()) {
                painter.drawText(box, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, text);
                continue;
            }
        } else {
            // Outside the detail a field reads the first row, as in the designs this follows.
            const bool detail = &section == &m_design.detail;
            const int column = detail ? m_columns[i] : fieldColumn(m_rows, e.text);
            const int source = detail ? row : (m_rows.rowCount() > 0 ? 0 : -1);
            if (column >= 0 && source >= 0) {
                const QModelIndex cell = m_rows.index(source, column);
                text = cell.data().toString();
                // A row may mark a value bold: bold carries the mark on paper, where colour may not print.
                const QVariant marked = cell.data(Qt::FontRole);
                if (marked.isValid() && marked.value<QFont>().bold() && !font.bold()) {
                    font.setBold(true);
                    painter.setFont(font);
                }
            }
            const QFontMetricsF metrics(font, painter.device());
            if (box.height() >= 1.8 * metrics.height()) {
                painter.drawText(box, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, text);
                continue;
            }
        }
        // A name is worth more whole than at its size: smaller, or on two
        // lines; only what fits neither way ends in an ellipsis.
        const Fit fitted = fit(text, font, box.size(), roomBelow(section, i) * scale, painter.device());
        painter.setFont(fitted.font);
        if (fitted.twoLines)
            painter.drawText(QRectF(box.topLeft(), QSizeF(box.width(), roomBelow(section, i) * scale)),
                             Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, text);
        else
            painter.drawText(box, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                             fitted.cut
                                 ? QFontMetricsF(font, painter.device()).elidedText(text, Qt::ElideRight, box.width())
                                 : text);
    }
}

bool PageRenderer::render(QPagedPaintDevice& device, int first, int last) const
{
    const QRectF paint = device.pageLayout().paintRect(QPageLayout::Inch);
    const std::vector<Page> pages = paginate(int(paint.height() * kTwipsPerInch));
    QPainter painter;
    if (!painter.begin(&device)) return false;
    const double scale = device.logicalDpiY() / kTwipsPerInch;
    const double pageBottom = paint.height() * kTwipsPerInch * scale;
    const int total = int(pages.size());
    // Rules on a section's edge print whole: nothing is clipped.
    PageCursor cursor(device, painter, first, last, PageCursor::KeepOverflow);
    for (int p = 0; p < total; ++p) {
        if (!cursor.nextPage()) return false;
        if (!cursor.printed()) continue;
        const Page& page = pages[size_t(p)];
        auto section = [&](const Section& s, int row) {
            paintSection(painter, s, cursor.y(), scale, row, p + 1, total);
            cursor.advance(s.height * scale);
        };
        if (page.reportHeader) section(m_design.reportHeader, -1);
        section(m_design.pageHeader, -1);
        for (int row = page.firstRow; row < page.firstRow + page.rowCount; ++row) section(m_design.detail, row);
        if (page.reportFooter) section(m_design.reportFooter, -1);
        paintSection(painter, m_design.pageFooter, pageBottom - m_design.pageFooter.height * scale, scale, -1, p + 1,
                     total);
    }
    return painter.end();
}

} // namespace marrowick
