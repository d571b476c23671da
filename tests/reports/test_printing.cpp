// Printed reports, checked by the text and pages of the PDFs they make.
#include "PageSession.h"
#include "analysis/EvaluationRun.h"
#include "database/Db.h"
#include "reports/PageDesign.h"
#include "reports/PageRenderer.h"
#include "reports/PdfExport.h"
#include "reports/ReportModel.h"
#include "reports/ReportPreview.h"
#include "reports/frmAnalysisReports.h"
#include "reports/frmRep1.h"
#include "shell/mdlGlobals.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QImage>
#include <QPdfWriter>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

using namespace marrowick;
using namespace marrowick::test;

namespace {

const QString kSamples = QStringLiteral(MARROWICK_SOURCE_DIR "/samples/");

QString pdfText(const QString& path)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

int pdfPages(const QString& path) { return int(pdfText(path).count(QLatin1Char('\f'))); }


// Each page of the text, in order.
QStringList pagesOf(const QString& text)
{
    QStringList pages = text.split(QLatin1Char('\f'));
    if (!pages.isEmpty() && pages.last().trimmed().isEmpty())
        pages.removeLast();
    return pages;
}

} // namespace

class TestPrinting : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void everyDesignPrintsItsRows_data();
    void everyDesignPrintsItsRows();
    void pageCountsGrowWithTheRows();
    void wideValuesEndInAnEllipsis();
    void descriptionsPrintWhole();
    void printPathBindsTheViewersRows();

private:
    std::unique_ptr<PageSession> session;
    FakePlatform* host = nullptr;
    TestDatabase* db = nullptr;
};

void TestPrinting::init()
{
    session = std::make_unique<PageSession>();
    host = &session->host;
    db = &session->db;
    QVERIFY(EvaluationRun::LoadAndAnalyze(kSamples + QStringLiteral("results-typical.txt")));
}

void TestPrinting::cleanup()
{
    session.reset();
}

void TestPrinting::everyDesignPrintsItsRows_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("title");
    QTest::addColumn<bool>("titleOnEveryPage");
    QTest::addColumn<QStringList>("headings"); // on every page
    QTest::addColumn<QString>("rowField");     // whose values must appear, in order
    QTest::newRow("0 overall") << 0 << "Summary of Results" << false << QStringList{} << "ResultDesc";
    QTest::newRow("1 duplicates") << 1 << "Results for Duplicate Records" << false
                                  << QStringList{"Problem Type", "Data Total", "Rejected/", "Merged", "Flagged", "Missed", "Score"}
                                  << "Sensitivity";
    QTest::newRow("2 non-duplicates") << 2 << "Results for Non- Duplicate Records" << false
                                      << QStringList{"Problem Type", "Identified as", "Mistaken as"} << "ProblemDesc";
    QTest::newRow("3 scores") << 3 << "Scores by Problem Type" << false
                              << QStringList{"Problem Type", "Sensitivity Score", "Specificity Score"} << "Specificity";
    QTest::newRow("4 missed") << 4 << "Duplicate Records Missed" << true << QStringList{} << "ID";
    QTest::newRow("5 lost") << 5 << "Non-Duplicate Records Lost" << true << QStringList{} << "Notes";
    QTest::newRow("6 all non-duplicates") << 6 << "List of All Non- Duplicate Records" << true << QStringList{} << "ID";
    QTest::newRow("7 all duplicates") << 7 << "List of All Duplicate Records" << true << QStringList{} << "ID";
}

void TestPrinting::everyDesignPrintsItsRows()
{
    QFETCH(int, index);
    QFETCH(QString, title);
    QFETCH(bool, titleOnEveryPage);
    QFETCH(QStringList, headings);
    QFETCH(QString, rowField);
    QVERIFY(refillReport(index));
    const ReportModel rows(*reportAt(index));
    const PageDesign* design = pageDesignAt(index);
    QVERIFY(design);
    const QString path = db->folder() + QLatin1Char('/') + design->name + QStringLiteral(".pdf");
    QVERIFY(exportReportPdf(*design, rows, path));
    const QStringList pages = pagesOf(pdfText(path));
    QVERIFY(!pages.isEmpty());
    for (int p = 0; p < pages.size(); ++p) {
        const QString& page = pages[p];
        QCOMPARE(page.count(title), titleOnEveryPage || p == 0 ? 1 : 0);
        for (const QString& heading : headings)
            QVERIFY2(page.contains(heading), qPrintable(heading));
        const QRegularExpression footer(QStringLiteral("page\\s+%1\\s+of\\s+%2").arg(p + 1).arg(pages.size()));
        QVERIFY2(footer.match(page).hasMatch(), qPrintable(QStringLiteral("footer of page %1").arg(p + 1)));
    }
    // Every row's value of that field, in the viewer's order.
    const QString all = pages.join(QLatin1Char('\n'));
    const int column = rows.columnOf(rowField);
    QVERIFY(column >= 0);
    qsizetype at = 0;
    int printed = 0;
    for (int row = 0; row < rows.rowCount(); ++row) {
        const QString value = rows.index(row, column).data().toString().left(24).trimmed();
        if (value.isEmpty())
            continue;
        const qsizetype found = all.indexOf(value, at);
        QVERIFY2(found >= 0, qPrintable(QStringLiteral("row %1: %2").arg(row).arg(value)));
        at = found + value.size();
        ++printed;
    }
    QVERIFY(printed > 0);
    if (index == 0) // all 16 lines, the blank ones too: the last comes after them
        QVERIFY(all.contains(QStringLiteral("(Specificity)")));
}

void TestPrinting::pageCountsGrowWithTheRows()
{
    QVERIFY(refillReport(4));
    const QString few = db->folder() + QStringLiteral("/few.pdf");
    QVERIFY(exportReportPdf(*pageDesignAt(4), ReportModel(*reportAt(4)), few));
    QVERIFY(EvaluationRun::LoadAndAnalyze(kSamples + QStringLiteral("results-none.txt")));
    const QString many = db->folder() + QStringLiteral("/many.pdf");
    const ReportModel rows(*reportAt(4));
    QVERIFY(exportReportPdf(*pageDesignAt(4), rows, many));
    QVERIFY(pdfPages(many) > pdfPages(few));
    // Cards never split: at most as many per page as fit whole.
    const int perPage = (11 * 1440 - 2 * 1440 - 855 - 450) / 1920;
    QVERIFY(pdfPages(many) >= (rows.rowCount() + perPage - 1) / perPage);
}

void TestPrinting::wideValuesEndInAnEllipsis()
{
    const QString wide = QStringLiteral("A problem described in far more words than its column can hold");
    QSqlQuery update(cnEval());
    QVERIFY(update.exec(QStringLiteral("UPDATE tblProbDescMap SET ProbDesc='%1' WHERE ProbCode='EXACT'").arg(wide)));
    QVERIFY(refillReport(1));
    const QString path = db->folder() + QStringLiteral("/wide.pdf");
    QVERIFY(exportReportPdf(*pageDesignAt(1), ReportModel(*reportAt(1)), path));
    const QString text = pdfText(path);
    QVERIFY(text.contains(wide.left(20)));
    QVERIFY(!text.contains(wide.right(20)));
    QVERIFY(text.contains(QChar(0x2026)));
}

// Every problem and look-alike description, and the total rows, fit their
// fields in every design, on paper and on the screen's preview alike.
void TestPrinting::descriptionsPrintWhole()
{
    QPdfWriter paper(db->folder() + QStringLiteral("/metrics.pdf"));
    QImage screen(10, 10, QImage::Format_RGB32);
    screen.setDotsPerMeterX(3780); // 96 dpi
    screen.setDotsPerMeterY(3780);
    int checked = 0;
    for (int index = 0; index < 8; ++index) {
        QVERIFY(refillReport(index));
        const ReportModel rows(*reportAt(index));
        const PageDesign& design = *pageDesignAt(index);
        for (const Element& e : design.detail.elements) {
            if (e.kind != Element::Field || !e.text.endsWith(QLatin1String("Desc")) || e.text == QLatin1String("ResultDesc"))
                continue;
            const FontSpec spec = e.font.value_or(design.defaultFont);
            QFont font(PageRenderer::family());
            font.setPointSizeF(spec.points);
            font.setBold(spec.bold);
            const int column = rows.columnOf(e.text);
            QVERIFY(column >= 0);
            for (QPaintDevice* device : {static_cast<QPaintDevice*>(&paper), static_cast<QPaintDevice*>(&screen)}) {
                const QFontMetricsF metrics(font, device);
                const double width = e.width * device->logicalDpiX() / 1440.0;
                for (int row = 0; row < rows.rowCount(); ++row) {
                    const QString text = rows.index(row, column).data().toString();
                    QVERIFY2(metrics.elidedText(text, Qt::ElideRight, width) == text,
                             qPrintable(QStringLiteral("%1: %2").arg(design.name, text)));
                    ++checked;
                }
            }
        }
    }
    QVERIFY(checked > 100);
}

void TestPrinting::printPathBindsTheViewersRows()
{
    auto* reports = pages::show<frmAnalysisReports>();
    reports->lstReports->setCurrentRow(1);
    QTest::mouseClick(reports->btnView, Qt::LeftButton);
    frmRep1* viewer = pages::loaded<frmRep1>();
    QVERIFY(viewer && viewer->isVisible());

    QTest::mouseClick(viewer->btnPrint, Qt::LeftButton);
    ReportPreview* preview = ReportPreview::liveInstance(1);
    QVERIFY(preview && preview->isVisible());
    QCOMPARE(preview->windowTitle(), QStringLiteral("Report Print Preview: Results for Duplicate Records"));
    QVERIFY(!viewer->isVisible());
    QVERIFY(!reports->isVisible());
    QVERIFY(preview->pageCount() >= 1);
    QVERIFY(!host->busy);

    // Closing the preview brings back the viewer, not the selection page.
    preview->close();
    settle();
    QVERIFY(viewer->isVisible());
    QVERIFY(!reports->isVisible());
    QVERIFY(!ReportPreview::liveInstance(1));

    // Back, View of another report, Print: that report's rows in its design.
    QTest::mouseClick(viewer->btnBack, Qt::LeftButton);
    settle();
    reports->lstReports->setCurrentRow(2);
    QTest::mouseClick(reports->btnView, Qt::LeftButton);
    viewer = pages::loaded<frmRep1>();
    QTest::mouseClick(viewer->btnPrint, Qt::LeftButton);
    preview = ReportPreview::liveInstance(2);
    QVERIFY(preview);
    QCOMPARE(preview->windowTitle(), QStringLiteral("Report Print Preview: Results for Non-duplicate Records"));
    QString asked;
    ReportPreview::pickPdfFile() = [&](QWidget*, const QString& suggested) {
        asked = suggested;
        return db->folder() + QStringLiteral("/exported.pdf");
    };
    QVERIFY(preview->exportPdf());
    QVERIFY(asked.endsWith(QStringLiteral("rptDupLikeSummary.pdf")));
    const QString text = pdfText(db->folder() + QStringLiteral("/exported.pdf"));
    QVERIFY(text.contains(QStringLiteral("Results for Non- Duplicate Records")));
    QVERIFY(text.contains(QStringLiteral("TOTAL for all non-duplicate records")));

    // Printing twice binds the current rows again, through the same instance.
    preview->close();
    settle();
    run(QStringLiteral("UPDATE tblDupLikeSummary SET ProblemDesc='Changed kind' WHERE ProbOrder=1"));
    QTest::mouseClick(viewer->btnBack, Qt::LeftButton);
    settle();
    QTest::mouseClick(reports->btnView, Qt::LeftButton);
    viewer = pages::loaded<frmRep1>();
    QTest::mouseClick(viewer->btnPrint, Qt::LeftButton);
    QVERIFY(ReportPreview::liveInstance(2)->exportPdf(db->folder() + QStringLiteral("/again.pdf")));
    QVERIFY(!pdfText(db->folder() + QStringLiteral("/again.pdf")).contains(QStringLiteral("Changed kind")));
    QVERIFY(host->shown.isEmpty());
}

QTEST_MAIN(TestPrinting)
#include "test_printing.moc"
