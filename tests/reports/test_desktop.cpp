// The windows around the reports as a desktop user works them: the preview's
// zoom, pages, printing, export and keys, and the viewer's size.
#include "PageSession.h"
#include "reports/ReportCatalogue.h"
#include "windows/RowFilter.h"
#include "reports/ReportModel.h"

#include <QHeaderView>
#include <QScrollBar>
#include <QLabel>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QSqlRecord>
#include <QStandardItemModel>
#include <QTableView>

namespace {

// The left edge of a PDF's first word, in points.
double firstWordLeft(const QString& pdf)
{
    const QString out = pdfText(pdf, {"-bbox", "-f", "1", "-l", "1"});
    const qsizetype at = out.indexOf(QStringLiteral("<word xMin=\""));
    return at < 0 ? -1 : out.mid(at + 12, 12).section(QLatin1Char('"'), 0, 0).toDouble();
}

} // namespace

class TestDesktop : public PageTest {
    Q_OBJECT
private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init()
    {
        QSettings().clear();
        SessionTest::init();
        EvaluationRun::LoadAndAnalyze(sample("none"));
    }

    void previewZoomsPagesPrintsAndExports()
    {
        press(view(7)->btnPrint);
        ReportPreview* preview = ReportPreview::liveInstance(*reportAt(7));
        QVERIFY(preview && preview->preview->pageCount() > 3);
        preview->resize(900, 700);
        settle();
        const qreal start = preview->preview->zoomFactor();
        for (const char* key : {"Alt+I", "Alt+O", "Alt+O"}) {
            QTest::keySequence(preview, QKeySequence(QLatin1String(key)));
            settle();
            QVERIFY2(preview->preview->zoomFactor() > 0.05, key);
        }
        QVERIFY(qAbs(preview->preview->zoomFactor() * 1.25 - start) < 0.01);

        // The page label follows every move.
        auto* label = preview->findChildren<QLabel*>().first();
        const int last = preview->preview->pageCount();
        for (const auto& [key, page] : {std::pair{"Alt+L", last}, {"Alt+V", last - 1}, {"Alt+F", 1}, {"Alt+X", 2}}) {
            QTest::keySequence(preview, QKeySequence(QLatin1String(key)));
            QCOMPARE(label->text().trimmed(), QStringLiteral("page %1 of %2").arg(page).arg(last));
        }

        // Pages 2 to 3 of the print dialog print those two alone.
        const QStringList out = printedPages(preview, s->host, s->db.folder() + QStringLiteral("/printed.pdf"), 2, 3);
        QCOMPARE(out.size(), 2);
        for (int p : {2, 3})
            QVERIFY(QRegularExpression(QStringLiteral("page\\s+%1\\s+of\\s+%2").arg(p).arg(last)).match(out[p - 2]).hasMatch());
        preview->printer.setOutputFileName(QString());
        QCOMPARE(preview->preview->pageCount(), last);

        // Margins set in Page Setup survive the export.
        const QString wide = s->db.folder() + "/wide.pdf", narrow = s->db.folder() + "/narrow.pdf";
        QVERIFY(preview->exportPdf(wide));
        preview->printer.setPageMargins(QMarginsF(0.25, 0.25, 0.25, 0.25), QPageLayout::Inch);
        QVERIFY(preview->exportPdf(narrow));
        QVERIFY2(qAbs(firstWordLeft(wide) - firstWordLeft(narrow) - 54) < 2,
                 qPrintable(QStringLiteral("%1 %2").arg(firstWordLeft(wide)).arg(firstWordLeft(narrow))));

        // A failed export says why, and leaves nothing behind.
        QVERIFY(!preview->exportPdf(s->db.folder() + QStringLiteral("/no/such/folder/x.pdf")));
        const QList<ShownBox> boxes = s->host.takeShown();
        QVERIFY(boxes.size() == 1 && boxes[0].prompt.contains("x.pdf: ") && !boxes[0].prompt.endsWith(": ."));

        // Escape closes it, and the viewer comes back.
        QTest::keyClick(preview, Qt::Key_Escape);
        settle();
        QVERIFY(!ReportPreview::liveInstance(*reportAt(7)));
        QVERIFY(pages::loaded<frmRep1>()->isVisible());
    }

    // Resized, the grid keeps each column's share of the design's width, never
    // less: a wider window shows more of a list's columns, and the rest
    // scroll. The size is kept for the next viewer.
    void viewerResizesWithItsColumns()
    {
        frmRep1* viewer = view(4);
        settle();
        auto perUnit = [&] {
            std::vector<double> widths;
            for (int c = 0; c < shownRows(viewer).columnCount(); ++c)
                if (const ColumnRule* rule = ruleFor(*reportAt(4), shownRows(viewer).record().fieldName(c)))
                    widths.push_back(viewer->DataGrid1->columnWidth(c) / rule->width);
            return widths;
        };
        const double designed = perUnit().front();
        std::vector<int> lastShown;
        for (const QSize size : {QSize(1400, 800), QSize(700, 420)}) {
            viewer->resize(size);
            settle();
            QCOMPARE(viewer->size(), size);
            const std::vector<double> widths = perUnit();
            QVERIFY(widths.size() > 3);
            for (double share : widths)
                QVERIFY(qAbs(share - designed) <= designed * 0.05 + 2);
            QVERIFY(viewer->DataGrid1->horizontalScrollBar()->maximum() > 0);
            lastShown.push_back(viewer->DataGrid1->columnAt(viewer->DataGrid1->viewport()->width() - 1));
        }
        QVERIFY(lastShown[0] > lastShown[1]);
        QVERIFY(!viewer->lblEmpty->isVisible());
        press(viewer->btnBack);
        QCOMPARE(view(5)->size(), QSize(700, 420));
    }

    // Numbers sort as numbers and before text, in either direction, so a
    // column of both keeps one order.
    void listsSortNumbersBeforeText()
    {
        QStandardItemModel rows;
        for (const char* value : {"b", "10", "1a", "9", "-2"})
            rows.appendRow(new QStandardItem(QString::fromLatin1(value)));
        QTableView grid;
        windows::sortAndFilter(&grid, &rows);
        QStringList ascending, descending;
        grid.sortByColumn(0, Qt::AscendingOrder);
        for (int row = 0; row < rows.rowCount(); ++row)
            ascending << grid.model()->index(row, 0).data().toString();
        grid.sortByColumn(0, Qt::DescendingOrder);
        for (int row = rows.rowCount() - 1; row >= 0; --row)
            descending << grid.model()->index(row, 0).data().toString();
        QCOMPARE(ascending, (QStringList{"-2", "9", "10", "1a", "b"}));
        QCOMPARE(descending, ascending);
    }
};

QTEST_MAIN(TestDesktop)
#include "test_desktop.moc"
