// Printed reports, checked by the text and pages of the PDFs they make.
#include "PageSession.h"
#include "analysis/ProblemCode.h"
#include "reports/PageRenderer.h"
#include "reports/PdfExport.h"
#include "reports/ReportModel.h"

#include <QImage>
#include <QLabel>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QStandardItemModel>

namespace {

QStringList detailFields(const PageDesign& design)
{
    QStringList fields;
    for (const Element& e : design.detail.elements)
        if (e.kind == Element::Field)
            fields << e.text;
    return fields;
}

QString marker(int row, qsizetype field) { return QStringLiteral("r%1f%2").arg(row, 2, 10, QLatin1Char('0')).arg(field, 2, 10, QLatin1Char('0')); }

} // namespace

class TestPrinting : public PageTest {
    Q_OBJECT
private slots:

    void everyDesignLaysOutAnyModel_data()
    {
        QTest::addColumn<int>("index");
        for (const ReportDef& report : reportCatalogue())
            QTest::newRow(qPrintable(report.fileName)) << report.index;
    }

    // Rows from memory: the columns in another order and case than the design
    // names them, one that no field binds, and a last row too wide for its boxes.
    void everyDesignLaysOutAnyModel()
    {
        QFETCH(int, index);
        const ReportDef& report = *reportAt(index);
        const PageDesign& design = report.page;
        const QStringList fields = detailFields(design);
        const int count = 60;
        QStandardItemModel rows(count + 1, int(fields.size()) + 1);
        rows.setHeaderData(0, Qt::Horizontal, QStringLiteral("Unbound"), FieldRole);
        for (qsizetype f = 0; f < fields.size(); ++f) {
            const int column = int(fields.size() - f);
            rows.setHeaderData(column, Qt::Horizontal, fields[f].toUpper(), FieldRole);
            for (int row = 0; row < count; ++row)
                rows.setItem(row, column, new QStandardItem(marker(row, f)));
            rows.setItem(count, column, new QStandardItem(QStringLiteral("W") + QString(300, QLatin1Char('x')) + QStringLiteral("TAIL")));
        }
        const QString path = s->db.folder() + QLatin1Char('/') + report.fileName + QStringLiteral(".pdf");
        exportReportPdf(report, rows, path);
        const QStringList pages = pdfPages(path);
        QVERIFY(pages.size() > 1);

        for (int p = 0; p < pages.size(); ++p) {
            const QString& page = pages[p];
            // The report header once, at the start; the page header on every page.
            for (const Element& e : design.reportHeader.elements)
                if (e.kind == Element::Label)
                    QCOMPARE(page.contains(e.text), p == 0);
            for (const Element& e : design.pageHeader.elements)
                if (e.kind == Element::Label)
                    for (const QString& word : e.text.split(QLatin1Char(' '), Qt::SkipEmptyParts))
                        QVERIFY2(page.contains(word), qPrintable(QStringLiteral("page %1: %2").arg(p + 1).arg(word)));
            const QRegularExpression footer(QStringLiteral("page\\s+%1\\s+of\\s+%2").arg(p + 1).arg(pages.size()));
            QVERIFY2(footer.match(page).hasMatch(), qPrintable(QStringLiteral("footer of page %1").arg(p + 1)));
            QVERIFY(!page.contains(QStringLiteral("Unbound")));
        }
        // Every field of every row, the rows in the model's order, none split
        // across two pages.
        const QString all = pages.join(QLatin1Char('\n'));
        qsizetype at = 0;
        for (int row = 0; row < count; ++row) {
            at = all.indexOf(marker(row, 0), at);
            QVERIFY2(at >= 0, qPrintable(marker(row, 0)));
            const auto pageOf = [&](qsizetype f) {
                return std::find_if(pages.begin(), pages.end(), [&](const QString& p) { return p.contains(marker(row, f)); });
            };
            for (qsizetype f = 1; f < fields.size(); ++f)
                QVERIFY2(pageOf(f) == pageOf(0), qPrintable(fields[f] + QLatin1Char(' ') + marker(row, f)));
        }
        // A value wider than its box ends in an ellipsis.
        QVERIFY(!all.contains(QStringLiteral("TAIL")));
        QVERIFY(all.contains(QStringLiteral("Wxxx")));
        QVERIFY(all.contains(QChar(0x2026)));
    }

    void boundFieldsPrintWhole_data()
    {
        QTest::addColumn<QString>("policy");
        // Between them every test record is on a report of each kind: missed, lost, listed.
        for (const char* policy : {"typical", "none", "aggressive"})
            QTest::newRow(policy) << QString::fromLatin1(policy);
    }

    // Every field a design binds is a column of its report's query (else it
    // would print blank), and every value of the shipped deck prints whole in
    // its field, on paper and on a 96-dpi screen, as the renderer fits it:
    // smaller, or on two lines, but never cut short.
    void boundFieldsPrintWhole()
    {
        QFETCH(QString, policy);
        EvaluationRun::LoadAndAnalyze(sample(policy));
        QPdfWriter paper(s->db.folder() + QStringLiteral("/metrics.pdf"));
        QImage screen(10, 10, QImage::Format_RGB32);
        screen.setDotsPerMeterX(3780);
        screen.setDotsPerMeterY(3780);
        int checked = 0, shrunk = 0;
        for (const ReportDef& report : reportCatalogue()) {
            QVERIFY(report.refillTable());
            const ReportModel rows(report);
            const std::vector<Element>& elements = report.page.detail.elements;
            for (size_t i = 0; i < elements.size(); ++i) {
                const Element& e = elements[i];
                const int column = e.kind == Element::Field ? fieldColumn(rows, e.text) : 0;
                QVERIFY2(column >= 0, qPrintable(report.fileName + QLatin1Char(' ') + e.text));
                if (e.kind != Element::Field || e.text == QLatin1String("ResultDesc"))
                    continue;
                const FontStyle style = e.font.value_or(report.page.defaultFont);
                QFont font(PageRenderer::family());
                font.setPointSizeF(style.points);
                font.setBold(true); // as a value marked bold prints: the wider case
                for (QPaintDevice* device : {static_cast<QPaintDevice*>(&paper), static_cast<QPaintDevice*>(&screen)}) {
                    const double scale = device->logicalDpiY() / 1440.0;
                    const QSizeF box(e.width * scale, e.height * scale);
                    for (int row = 0; row < rows.rowCount(); ++row) {
                        const QString text = rows.index(row, column).data().toString();
                        const PageRenderer::Fit fit = PageRenderer::fit(text, font, box, PageRenderer::roomBelow(report.page.detail, i) * scale, device);
                        QVERIFY2(!fit.cut, qPrintable(QStringLiteral("%1 %2: %3").arg(report.fileName, e.text, text)));
                        shrunk += fit.font.pointSizeF() < font.pointSizeF();
                        ++checked;
                    }
                }
            }
        }
        QVERIFY(checked > 1000 && shrunk > 0);
    }

    // Print from the viewer: that report's rows, as they are now, in its design.
    void printPathBindsTheViewersRows()
    {
        EvaluationRun::LoadAndAnalyze(sample("typical"));
        auto* reports = pages::show<frmAnalysisReports>();
        using Shown = std::pair<frmRep1*, ReportPreview*>;
        auto print = [&](int index) {
            frmRep1* viewer = view(index);
            QTest::mouseClick(viewer->btnPrint, Qt::LeftButton);
            return Shown{viewer, ReportPreview::liveInstance(*reportAt(index))};
        };
        auto closeAndBack = [&](const Shown& shown) {
            shown.second->close();
            settle();
            press(shown.first->btnBack);
        };

        Shown shown = print(1);
        QVERIFY(shown.second && shown.second->isVisible() && shown.second->preview->pageCount() >= 1);
        QCOMPARE(shown.second->windowTitle(), reportAt(1)->caption);
        QVERIFY(!shown.first->isVisible() && !reports->isVisible() && !s->host.busy);
        closeAndBack(shown);

        // Back, View of another report, Print: that report's rows in its design.
        shown = print(2);
        QCOMPARE(shown.second->windowTitle(), reportAt(2)->caption);
        s->host.fileAnswers = QStringList{s->db.folder() + "/exported.pdf"};
        QVERIFY(shown.second->exportPdf());
        // The report's title and today's date, and where it went.
        QCOMPARE(s->host.lastFilters.value(0),
                 reportAt(2)->title + QLatin1Char(' ') + QDate::currentDate().toString(Qt::ISODate) + QStringLiteral(".pdf"));
        QVERIFY(shown.second->findChild<QLabel*>(QStringLiteral("status"))->text().endsWith(QStringLiteral("exported.pdf")));
        const QString exported = pdfPages(s->db.folder() + "/exported.pdf").join(QLatin1Char('\n'));
        QVERIFY(exported.contains(reportAt(2)->page.reportHeader.elements.front().text));
        QVERIFY(exported.contains("TOTAL for all non-duplicate records"));
        closeAndBack(shown);

        // Printing again shows the rows as they are now: a change to a table
        // that no refill rebuilds.
        closeAndBack(print(6));
        run("UPDATE DupTestData SET LastName='Zqxname' WHERE ID=(SELECT min(ID) FROM DupTestData WHERE "
            + problem::isNotDuplicate() + ')');
        QVERIFY(print(6).second->exportPdf(s->db.folder() + "/after.pdf"));
        QVERIFY(pdfPages(s->db.folder() + "/after.pdf").join(QChar()).contains("Zqxname"));
        QVERIFY(s->host.shown.isEmpty());
    }

};

QTEST_MAIN(TestPrinting)
#include "test_printing.moc"
