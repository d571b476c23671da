// The explanation window from the report viewer: opened by double-click or
// Enter, beside the viewer, closed by Escape, printed through the renderer.
#include "PageSession.h"
#include "PdfText.h"
#include "SourceFiles.h"
#include "analysis/EvaluationRun.h"
#include "database/Db.h"
#include "reports/Explanation.h"
#include "reports/ReportModel.h"
#include "reports/frmAnalysisReports.h"
#include "reports/frmExplain.h"
#include "reports/frmRep1.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSqlRecord>
#include <QTableView>
#include <QTest>

using namespace marrowick;
using namespace marrowick::test;

namespace {

template <class T> QList<T*> windows() { return shownWindows<T>(); }

// Row 0 of a grid, by double-click or by Enter.
void activateFirstRow(QTableView* grid, bool byKey)
{
    int column = 0;
    while (grid->isColumnHidden(column))
        ++column;
    const QModelIndex cell = grid->model()->index(0, column);
    grid->setCurrentIndex(cell);
    if (byKey) {
        QTest::keyClick(grid, Qt::Key_Return);
    } else {
        const QPoint centre = grid->visualRect(cell).center();
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, centre);
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, centre);
    }
    settle();
}

} // namespace

class TestExplainWindow : public QObject {
    Q_OBJECT
private slots:
    void opensFromTheLists_data();
    void opensFromTheLists();
    void drillsDownFromTheSummaries_data();
    void drillsDownFromTheSummaries();
    void exportsThroughTheRenderer();
};

void TestExplainWindow::opensFromTheLists_data()
{
    QTest::addColumn<int>("report");
    QTest::addColumn<bool>("byKey");
    for (int report = 4; report <= 7; ++report)
        QTest::addRow("report %d by %s", report, report % 2 ? "Enter" : "double-click") << report << bool(report % 2);
}

void TestExplainWindow::opensFromTheLists()
{
    QFETCH(int, report);
    QFETCH(bool, byKey);
    PageSession session;
    QVERIFY(EvaluationRun::LoadAndAnalyze(sample("aggressive")));
    frmRep1* viewer = view(report);
    QVERIFY(viewer && viewer->resultSet()->rowCount() > 0);
    activateFirstRow(viewer->DataGrid1, byKey);

    const QList<frmExplain*> shown = windows<frmExplain>();
    QCOMPARE(shown.size(), 1);
    const qint64 id = viewer->resultSet()->index(0, viewer->resultSet()->record().indexOf(QStringLiteral("ID"))).data().toLongLong();
    QCOMPARE(shown.front()->model()->record().id, id);
    QCOMPARE(shown.front()->lblVerdict->text(), explain::verdict(explain::outcomesOf({id}).front()));
    QCOMPARE(shown.front()->lblVerdict->textFormat(), Qt::PlainText);
    // Beside the viewer, not over it.
    QVERIFY(!QApplication::activeModalWidget());
    QVERIFY(viewer->isVisible() && viewer->isEnabled());

    QTest::keyClick(shown.front(), Qt::Key_Escape);
    settle();
    QVERIFY(windows<frmExplain>().isEmpty());
    QVERIFY(session.host.takeShown().isEmpty());
}

void TestExplainWindow::drillsDownFromTheSummaries_data()
{
    QTest::addColumn<int>("report");
    QTest::addColumn<QString>("ofType"); // the records of the first row's type
    QTest::newRow("duplicates") << 1 << "SELECT count(*) FROM DupTestData WHERE ProblemCode = ?";
    QTest::newRow("look-alikes") << 2 << "SELECT count(*) FROM DupTestData WHERE SecondProblem = ?";
    QTest::newRow("scores") << 3
                            << "SELECT count(*) FROM DupTestData WHERE ProblemCode = ? OR (ProblemCode = 'DL_BASE_RECORD' "
                               "AND ComboCode IN (SELECT ComboCode FROM tblComboMap WHERE ProbCode = ?))";
}

void TestExplainWindow::drillsDownFromTheSummaries()
{
    QFETCH(int, report);
    QFETCH(QString, ofType);
    PageSession session;
    QVERIFY(EvaluationRun::LoadAndAnalyze(sample("typical")));
    frmRep1* viewer = view(report);
    QVERIFY(viewer);
    activateFirstRow(viewer->DataGrid1, false);
    const QList<frmOutcomeList*> lists = windows<frmOutcomeList>();
    QCOMPARE(lists.size(), 1);
    const QString code =
        viewer->resultSet()->index(0, viewer->resultSet()->record().indexOf(QStringLiteral("ProblemCode"))).data().toString();
    QSqlQuery expected = run(ofType, QVariantList(ofType.count(QLatin1Char('?')), code));
    QVERIFY(expected.next());
    QCOMPARE(lists.front()->grdRecords->model()->rowCount(), expected.value(0).toInt());

    activateFirstRow(lists.front()->grdRecords, true);
    QCOMPARE(windows<frmExplain>().size(), 1);
    QCOMPARE(windows<frmExplain>().front()->model()->record().id,
             lists.front()->grdRecords->model()->index(0, 0).data().toLongLong());
    QTest::keyClick(windows<frmExplain>().front(), Qt::Key_Escape);
    QTest::keyClick(lists.front(), Qt::Key_Escape);
    settle();
    QVERIFY(windows<frmExplain>().isEmpty() && windows<frmOutcomeList>().isEmpty());
}

void TestExplainWindow::exportsThroughTheRenderer()
{
    PageSession session;
    QVERIFY(EvaluationRun::LoadAndAnalyze(sample("typical")));
    const RecordOutcome missed = explain::outcomesSelected(QStringLiteral("missed")).front();
    frmExplain* window = frmExplain::open(missed.id);
    QVERIFY(window);
    const QString pdf = session.db.folder() + QStringLiteral("/explain.pdf");
    session.host.fileAnswers << pdf;
    QTest::mouseClick(window->btnExportPdf, Qt::LeftButton);
    const QStringList pages = pdfPages(pdf);
    QCOMPARE(pages.size(), 1);
    const QString text = pages.front().simplified();
    QVERIFY(text.contains(QLatin1String("Explanation of a Test Record")));
    QVERIFY2(text.contains(explain::verdict(missed).left(40)), qPrintable(text));
    // Every member of the group is on the page.
    for (const RecordOutcome& member : explain::outcomesSelected(QStringLiteral("all")))
        if (member.group == missed.group)
            QVERIFY(text.contains(QStringLiteral("Record %1").arg(member.id)));

    window->Print();
    ReportPreview* preview = ReportPreview::liveInstance(explanationReport());
    QVERIFY(preview && preview->isVisible() && preview->pageCount() == 1);
    window->close();
    settle();
    QVERIFY(!ReportPreview::liveInstance(explanationReport())); // it went with the window's rows
}

QTEST_MAIN(TestExplainWindow)
#include "test_explain_window.moc"
