// The dashboard: its charts read from the saved runs, the comparison with an
// earlier run, one window beside the report pages, and its PDF.
#include "PageSession.h"
#include "database/Savepoint.h"
#include "reports/Explanation.h"
#include "windows/DashboardCharts.h"
#include "windows/frmDashboard.h"

#include <QBarCategoryAxis>
#include <QBarSet>
#include <QChartView>
#include <QComboBox>
#include <QScrollArea>
#include <QScrollBar>
#include <QCompleter>
#include <QHorizontalBarSeries>
#include <QDir>
#include <QLabel>
#include <QLineSeries>

class TestDashboard : public QObject {
    Q_OBJECT
    std::unique_ptr<PageSession> session;
    frmDashboard* window = nullptr;
private slots:
    // Without a run the dashboard says so and stays closed; then both samples are evaluated, runs 1 and 2.
    void initTestCase()
    {
        session = std::make_unique<PageSession>();
        QVERIFY(!frmDashboard::open());
        QVERIFY(session->host.showedOne("Dashboard", "There is no evaluation to show yet.", MsgIcon::Information, true));
        QVERIFY(shownWindows<frmDashboard>().isEmpty());
        EvaluationRun::LoadAndAnalyze(sample("typical"));
        EvaluationRun::LoadAndAnalyze(sample("aggressive"));
    }
    // Each test starts with the dashboard open on run 2.
    void init()
    {
        window = frmDashboard::open();
        QVERIFY(window);
    }
    void cleanup()
    {
        for (QWidget* w : shownWindows<QWidget>())
            if (!qobject_cast<Page*>(w))
                w->close();
        settle();
    }
    void cleanupTestCase() { session.reset(); }

    // Chosen by keyboard, the earlier run: each figure judged against both
    // intervals, the changed records in words. They narrow to worse (or
    // better) changes, in words, or to one outcome; Tab reaches the list, and
    // a row opens its explanation.
    void comparesWithTheEarlierRun()
    {
        QVERIFY(!window->comparison());
        window->cboCompare->setFocus();
        QTest::keyClick(window->cboCompare, Qt::Key_Down);
        QVERIFY(window->comparison());
        const RunComparison expected = history::compareRuns(1, 2);
        QAbstractItemModel* figures = window->grdFigures->model();
        QCOMPARE(figures->rowCount(), int(expected.figures.size()));
        for (int r = 0; r < figures->rowCount(); ++r)
            QCOMPARE(figures->index(r, 4).data().toString().startsWith(QLatin1String("YES")), expected.figures[size_t(r)].beyondIntervals());
        QVERIFY(window->lblRecords->text().contains(QLatin1String("latest evaluation")));
        QAbstractItemModel* records = window->grdRecords->model();
        const int all = records->rowCount();
        QCOMPARE(all, int(expected.changed.size()));
        QVERIFY(all > 2);
        int worse = 0;
        for (int r = 0; r < all; ++r) {
            const OutcomeChange& c = expected.changed[size_t(r)];
            const QString before = records->index(r, 1).data().toString(), after = records->index(r, 2).data().toString();
            QCOMPARE(records->index(r, 0).data().toLongLong(), c.id);
            QCOMPARE(before, outcomeWords(c.before));
            QCOMPARE(after, outcomeWords(c.after));
            const QString change = records->index(r, 3).data().toString();
            if (before == QLatin1String("flagged") && after == QLatin1String("caught"))
                QCOMPARE(change, QStringLiteral("better"));
            if (before == QLatin1String("caught") && after != QLatin1String("caught") && after != QLatin1String("absent"))
                QCOMPARE(change, QStringLiteral("worse"));
            worse += change == QLatin1String("worse");
        }
        window->cboChange->setCurrentIndex(window->cboChange->findText(QStringLiteral("Worse only")));
        QCOMPARE(records->rowCount(), worse);
        for (int r = 0; r < records->rowCount(); ++r)
            QCOMPARE(records->index(r, 3).data().toString(), QStringLiteral("worse"));
        window->cboChange->setCurrentIndex(0);
        const QString outcome = window->cboOutcome->itemText(1);
        window->cboOutcome->setCurrentIndex(1);
        QVERIFY(records->rowCount() > 0 && records->rowCount() < all);
        for (int r = 0; r < records->rowCount(); ++r)
            QVERIFY(records->index(r, 1).data().toString() == outcome || records->index(r, 2).data().toString() == outcome);
        window->cboOutcome->setCurrentIndex(0);
        QCOMPARE(records->rowCount(), all);

        QVERIFY(QTest::qWaitForWindowActive(window));
        window->grdFigures->setFocus();
        for (int i = 0; i < 6 && QApplication::focusWidget() != window->grdRecords; ++i)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), window->grdRecords);

        activateFirstRow(window->grdRecords, false);
        QCOMPARE(shownWindows<frmExplain>().size(), 1);
        QCOMPARE(explained(shownWindows<frmExplain>().front()).record().id, records->index(0, 0).data().toLongLong());
    }

    void opensOnceBesideTheReportPage()
    {
        window->close();
        settle();
        auto* page = pages::show<frmAnalysisReports>();
        QTest::mouseClick(page->cmdDashboard, Qt::LeftButton);
        press(page->cmdDashboard);
        QCOMPARE(shownWindows<frmDashboard>().size(), 1);
        QCOMPARE(shownWindows<frmDashboard>().front()->run(), 2);
        QVERIFY(!QApplication::activeModalWidget() && page->isVisible() && page->isEnabled());
        QVERIFY(session->host.takeShown().isEmpty());
    }

    void barsAreTheRunsFiguresWorstFirst_data()
    {
        QTest::addColumn<bool>("sensitivity");
        QTest::newRow("per problem type") << true;
        QTest::newRow("per kind of look-alike") << false;
    }
    void barsAreTheRunsFiguresWorstFirst()
    {
        QFETCH(bool, sensitivity);
        std::vector<Figure> expected;
        for (const Figure& f : history::runFigures(2))
            if (!f.isOverall() && f.isSensitivity() == sensitivity && f.value())
                expected.push_back(f);
        std::stable_sort(expected.begin(), expected.end(), [](const Figure& a, const Figure& b) { return *a.value() < *b.value(); });
        QVERIFY(expected.size() > 5 && *expected.front().value() < *expected.back().value());
        // The category axis counts from the bottom: the worst is the top bar, the last.
        std::reverse(expected.begin(), expected.end());

        QChartView* view = sensitivity ? window->chtSensitivity : window->chtSpecificity;
        const QList<QHorizontalBarSeries*> bars = view->chart()->findChildren<QHorizontalBarSeries*>();
        QCOMPARE(bars.size(), 1);
        const QBarSet* set = bars.front()->barSets().front();
        QStringList labels;
        for (const Figure& f : expected) {
            QCOMPARE(set->at(labels.size()), *f.value());
            labels << f.label;
        }
        QCOMPARE(set->count(), labels.size());
        QCOMPARE(dashboard::categoryAxis(*view->chart())->categories(), labels);
        const QList<QLineSeries*> whiskers = view->chart()->findChildren<QLineSeries*>();
        QCOMPARE(whiskers.size(), labels.size());
        for (const QLineSeries* w : whiskers) {
            const QList<QPointF> points = w->points();
            const Interval ci = expected[size_t(qRound(points[2].y()))].interval();
            const auto [low, high] = std::minmax_element(points.begin(), points.end(), [](QPointF a, QPointF b) { return a.x() < b.x(); });
            QCOMPARE(low->x(), ci.low);
            QCOMPARE(high->x(), ci.high);
        }
    }

    void trendHasEveryRun()
    {
        const std::vector<history::TrendPoint> trend = history::trend();
        QCOMPARE(trend.size(), size_t(2));
        const QList<QLineSeries*> lines = window->chtTrend->chart()->findChildren<QLineSeries*>();
        QCOMPARE(lines.size(), 2);
        for (size_t i = 0; i < trend.size(); ++i) {
            // By the date each run was evaluated.
            const double at = double(trend[i].time.toMSecsSinceEpoch());
            QCOMPARE(lines[0]->at(int(i)), QPointF(at, *trend[i].sensitivity.value()));
            QCOMPARE(lines[1]->at(int(i)), QPointF(at, *trend[i].specificity.value()));
        }
        QVERIFY(lines[0]->pen().style() != lines[1]->pen().style()); // told apart without colour
    }

    void printsTheScores()
    {
        window->compareWith(1);
        const QString pdf = session->db.folder() + QStringLiteral("/dashboard.pdf");
        session->host.fileAnswers << pdf;
        QTest::mouseClick(window->btnExportPdf, Qt::LeftButton);
        QVERIFY(window->lblSaved->text().endsWith(QDir::toNativeSeparators(pdf)));
        const QStringList pages = pdfPages(pdf);
        QVERIFY(pages.size() >= 3);
        const QString text = pages.join(QLatin1Char(' ')).simplified();
        const std::vector<Figure> figures = history::runFigures(2);
        for (const Figure& overall : {figures[0], figures[1]}) {
            const Interval ci = overall.interval();
            const QString scores = QStringLiteral("%1 % (95 % CI %2–%3 %)")
                                       .arg(*overall.value(), 0, 'f', 2).arg(ci.low, 0, 'f', 2).arg(ci.high, 0, 'f', 2);
            QVERIFY2(text.contains(scores), qPrintable(scores));
            QVERIFY(window->lblScores->text().contains(scores));
        }
        QVERIFY(text.contains(QStringLiteral("Records whose outcome changed: %1").arg(history::compareRuns(1, 2).changed.size())));

        // Through the preview; pages 2 to 2 of the print dialog print that page alone.
        QTest::mouseClick(window->btnPrint, Qt::LeftButton);
        ReportPreview* preview = shownWindows<ReportPreview>().value(0);
        QVERIFY(preview && preview->preview->pageCount() == pages.size());
        const QStringList second = printedPages(preview, session->host, session->db.folder() + QStringLiteral("/printed.pdf"), 2, 2);
        QCOMPARE(second.size(), 1);
        QVERIFY(second.front().contains(QLatin1String("Overall scores by run")));
        QVERIFY(!second.front().contains(QLatin1String("Sensitivity:")));
        window->close();
        settle();
        QVERIFY(shownWindows<ReportPreview>().isEmpty()); // it went with the window's figures
    }

    // In a window narrower than the labels need (1024x600 at 1.5x is 683x400),
    // the charts keep room for their widest label and scroll; the figure's
    // name keeps a readable width.
    void narrowWindowScrollsRatherThanClips()
    {
        window->resize(660, 380);
        window->compareWith(1);
        window->tabs->setCurrentIndex(0);
        settle();
        // The chart's layout gives its labels 40 % at most.
        for (QChartView* view : {window->chtSensitivity, window->chtSpecificity})
            QVERIFY(view->width() >= dashboard::widestCategory(*view->chart()) * 5 / 2);
        QVERIFY(window->findChild<QScrollArea*>(QStringLiteral("charts"))->horizontalScrollBar()->maximum() > 0);
        window->tabs->setCurrentIndex(1);
        settle();
        QVERIFY(window->grdFigures->columnWidth(0) >= 12 * window->grdFigures->fontMetrics().averageCharWidth());
    }

    // Past a hundred runs the trend draws the last hundred in full and the
    // older ones as a band of their range; the list to compare with narrows
    // as one types. The last test: it adds 110 runs.
    void manyRunsStayReadable()
    {
        window->close();
        settle();
        for (int i = 0; i < 110; ++i) {
            Savepoint unit;
            history::saveRun(sample("typical"), 1, QStringLiteral("0"));
            unit.commit();
        }
        window = frmDashboard::open();
        QVERIFY(window);
        QList<QLineSeries*> drawn;
        for (QAbstractSeries* series : window->chtTrend->chart()->series())
            if (auto* line = qobject_cast<QLineSeries*>(series); line && series->type() == QAbstractSeries::SeriesTypeLine)
                drawn << line;
        QCOMPARE(drawn.size(), 2);
        QCOMPARE(drawn[0]->count(), 100);
        int bands = 0;
        for (QAbstractSeries* series : window->chtTrend->chart()->series())
            bands += series->type() == QAbstractSeries::SeriesTypeArea;
        QCOMPARE(bands, 2);

        QCOMPARE(window->cboCompare->count(), 112);
        window->cboCompare->completer()->setCompletionPrefix(QStringLiteral("results-aggressive"));
        QCOMPARE(window->cboCompare->completer()->completionCount(), 1);
        window->cboCompare->completer()->setCompletionPrefix(QStringLiteral("Run 11"));
        QCOMPARE(window->cboCompare->completer()->completionCount(), 3); // runs 11, 110 and 111
    }

};

QTEST_MAIN(TestDashboard)
#include "test_dashboard.moc"
