// The explanation window from the report viewer: opened by double-click or
// Enter on a record's row, or through the list of a summary row's records;
// beside the viewer, closed by Escape, printed through the renderer.
#include "PageSession.h"
#include "analysis/ProblemCode.h"
#include "reports/Explanation.h"
#include "reports/ReportModel.h"
#include "windows/frmDashboard.h"
#include "windows/frmExplain.h"
#include "shell/frmStep3.h"

#include <QDir>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSettings>

class TestExplainWindow : public PageTest {
    Q_OBJECT
private slots:
    void opensFromTheRows_data()
    {
        QTest::addColumn<int>("report");
        QTest::addColumn<QString>("ofType"); // a summary: its first row's records, listed first
        for (int report = 4; report <= 7; ++report)
            QTest::addRow("report %d by %s", report, report % 2 ? "Enter" : "double-click") << report << QString();
        QTest::newRow("duplicates") << 1 << "SELECT count(*) FROM DupTestData WHERE ProblemCode = ?";
        QTest::newRow("look-alikes") << 2 << "SELECT count(*) FROM DupTestData WHERE SecondProblem = ?";
        QTest::newRow("scores") << 3
                                << "SELECT count(*) FROM DupTestData WHERE ProblemCode = ? OR (" + problem::isLookAlike()
                                       + " AND ComboCode IN (SELECT ComboCode FROM tblComboMap WHERE ProbCode = ?))";
    }

    void opensFromTheRows()
    {
        QFETCH(int, report);
        QFETCH(QString, ofType);
        EvaluationRun::LoadAndAnalyze(sample("aggressive"));
        frmRep1* viewer = view(report);
        QVERIFY(viewer && shownRows(viewer).rowCount() > 0);
        activateFirstRow(viewer->DataGrid1, report % 2);
        const ReportModel& listed = shownRows(viewer);
        qint64 id = listed.index(0, fieldColumn(listed, QStringLiteral("ID"))).data().toLongLong();
        const QList<frmOutcomeList*> lists = shownWindows<frmOutcomeList>();
        QCOMPARE(lists.size(), ofType.isEmpty() ? 0 : 1);
        if (!ofType.isEmpty()) {
            const QString code = listed.index(0, fieldColumn(listed, QStringLiteral("ProblemCode"))).data().toString();
            const QStringList expected = rows(ofType, QVariantList(ofType.count(QLatin1Char('?')), code));
            QCOMPARE(QString::number(lists.front()->grdRecords->model()->rowCount()), expected.value(0));
            QVERIFY(!lists.front()->cboOutcome->currentData().isValid() || lists.front()->cboOutcome->currentData().toString().isEmpty());
            // Narrowed to one outcome, sorted by record: the first row is then the one opened.
            frmOutcomeList* list = lists.front();
            list->cboOutcome->setCurrentIndex(1);
            for (int row = 0; row < list->grdRecords->model()->rowCount(); ++row)
                QCOMPARE(list->grdRecords->model()->index(row, 3).data().toString(), list->cboOutcome->currentText());
            list->grdRecords->sortByColumn(0, Qt::DescendingOrder);
            activateFirstRow(list->grdRecords, true);
            id = list->grdRecords->model()->index(0, 0).data().toLongLong();
        }

        const QList<frmExplain*> shown = shownWindows<frmExplain>();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(explained(shown.front()).record().id, id);
        QCOMPARE(shown.front()->lblVerdict->text(), explain::verdict(explain::outcomesOf({id}).front()));
        QCOMPARE(shown.front()->lblVerdict->textFormat(), Qt::PlainText);
        // Beside the viewer, not over it.
        QVERIFY(!QApplication::activeModalWidget());
        QVERIFY(viewer->isVisible() && viewer->isEnabled());

        QTest::keyClick(shown.front(), Qt::Key_Escape);
        if (!lists.isEmpty())
            QTest::keyClick(lists.front(), Qt::Key_Escape);
        settle();
        QVERIFY(shownWindows<frmExplain>().isEmpty() && shownWindows<frmOutcomeList>().isEmpty());
    }

    void exportsThroughTheRenderer()
    {
        EvaluationRun::LoadAndAnalyze(sample("typical"));
        const RecordOutcome missed = explain::outcomesSelected(QStringLiteral("missed")).front();
        frmExplain* window = frmExplain::open(missed.id);
        QVERIFY(window);
        const QString pdf = s->db.folder() + QStringLiteral("/explain.pdf");
        s->host.fileAnswers << pdf;
        QTest::mouseClick(window->btnExportPdf, Qt::LeftButton);
        QCOMPARE(window->lblSaved->text(), QStringLiteral("Saved to ") + QDir::toNativeSeparators(pdf));
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
        QVERIFY(preview && preview->isVisible() && preview->preview->pageCount() == 1);
        window->close();
        settle();
        QVERIFY(!ReportPreview::liveInstance(explanationReport())); // it went with the window's rows

        // A window that cannot open keeps the place the last one left.
        const QVariant place = QSettings().value(QStringLiteral("windows/frmExplain"));
        QVERIFY(place.isValid());
        run(QStringLiteral("DROP TABLE tblRecordOutcomes"));
        QVERIFY(!frmExplain::open(missed.id));
        QVERIFY(s->host.showedOne("Database Error", "The database reported: no such table: tblRecordOutcomes.\r"
                                                    "The explanation cannot be shown.", MsgIcon::Critical));
        QCOMPARE(QSettings().value(QStringLiteral("windows/frmExplain")), place);
    }
    // An evaluation on step 3 leaves no window showing the one before: an
    // explanation keeps its record with the new outcome, a list its problem
    // type with the new outcomes, the dashboard moves to the new run, and
    // each title names the run.
    void aNewEvaluationRefreshesTheOpenWindows()
    {
        EvaluationRun::LoadAndAnalyze(sample("aggressive"));
        const qint64 id = explain::outcomesSelected(QStringLiteral("missed")).front().id;
        frmExplain* explanation = frmExplain::open(id);
        const ReportModel& listed = shownRows(view(1));
        const QString code = listed.index(0, fieldColumn(listed, QStringLiteral("ProblemCode"))).data().toString();
        frmOutcomeList* list = frmOutcomeList::open(1, code, QStringLiteral("first type"));
        frmDashboard* dashboard = frmDashboard::open();
        QVERIFY(explanation && list && dashboard);
        QVERIFY(explanation->windowTitle().endsWith(QStringLiteral("run 1, results-aggressive.txt")));

        auto* step3 = pages::show<frmStep3>();
        step3->txtFileName->setText(sample("perfect"));
        press(step3->btnNext);
        QVERIFY(pages::loaded<frmAnalysisReports>());
        QCOMPARE(explanation->windowTitle(), QStringLiteral("Explanation of record %1 \u2014 run 2, results-perfect.txt").arg(id));
        QCOMPARE(explained(explanation).record().id, id);
        QCOMPARE(explanation->lblVerdict->text(), explain::verdict(explain::outcomesOf({id}).front()));
        QCOMPARE(list->grdRecords->model()->index(0, 3).data().toString(),
            outcomeWords(explain::outcomesOfProblem(DrillDown::ProblemType, code).front().outcome));
        QVERIFY(list->windowTitle().endsWith(QStringLiteral("run 2, results-perfect.txt")));
        QCOMPARE(dashboard->run(), 2);
        QVERIFY(pages::loaded<frmAnalysisReports>()->lblRun->text().contains(QStringLiteral("run 2, results-perfect.txt")));
    }
};

QTEST_MAIN(TestExplainWindow)
#include "test_explain_window.moc"
