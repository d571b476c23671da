// Opening the dashboard with 100 and with 10,000 saved runs, from a click to
// a laid-out window.
// With a folder argument, also grabs it, without and with a comparison, as
// PNGs and exports its PDF.
#include "BenchSupport.h"
#include "analysis/EvaluationRun.h"
#include "database/Db.h"
#include "database/EvalDatabase.h"
#include "history/RunHistory.h"
#include "windows/ReportPreview.h"
#include "windows/frmAnalysisReports.h"
#include "windows/frmDashboard.h"
#include "database/Savepoint.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

using namespace marrowick;

namespace {

// More runs, as copies of the first, an hour apart and a little different,
// made by the database itself: saving each would take minutes.
bool addRuns(int count)
{
    Savepoint unit;
    run(QStringLiteral(
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < ?) "
            "INSERT INTO tblRuns (RunTime, FileName, FileSize, Sha256, RowsLoaded, Deck, Sensitivity, Specificity) "
            "SELECT strftime('%Y-%m-%dT%H:%M:%SZ', RunTime, '-' || (? - i + 1) || ' hours'), FileName, FileSize, "
            "Sha256, "
            "RowsLoaded, Deck, Sensitivity, Specificity FROM tblRuns, n WHERE RunID = 1 ORDER BY i"),
        {count, count});
    run(QStringLiteral(
            "INSERT INTO tblRunFigures (RunID, Position, Name, Label, FigureOrder, Successes, Trials) "
            "SELECT r.RunID, f.Position, f.Name, f.Label, f.FigureOrder, max(0, f.Successes - r.RunID % 7), f.Trials "
            "FROM tblRuns r JOIN tblRunFigures f ON f.RunID = 1 WHERE r.RunID > (SELECT max(RunID) FROM tblRuns) - ?"),
        {count});
    unit.commit();
    return history::savedRuns().size() == size_t(100 + count);
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const QString typical = QStringLiteral(MARROWICK_SOURCE_DIR "/samples/results-typical.txt");
    openEvalDatabase(dir.filePath(QStringLiteral("bench.db")));
    EvaluationRun::LoadAndAnalyze(typical);
    // 98 more like it, then a different registry's run, so the trend and the comparison have something to show.
    const SavedRun first = *history::savedRun(1);
    for (int i = 0; i < 98; ++i) {
        Savepoint unit;
        history::saveRun(typical, first.size, first.sha256);
        unit.commit();
    }
    EvaluationRun::LoadAndAnalyze(QStringLiteral(MARROWICK_SOURCE_DIR "/samples/results-aggressive.txt"));
    if (history::savedRuns().size() != 100) return 3;
    const double ms = bench::medianMs(11, [&] {
        frmDashboard* window = frmDashboard::open();
        QApplication::processEvents();
        window->close();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    });
    bench::report("open the dashboard (100 saved runs)", ms, "ms", 300);
    if (!addRuns(9900)) return 3;
    const double many = bench::medianMs(5, [&] {
        frmDashboard* window = frmDashboard::open();
        QApplication::processEvents();
        window->close();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    });
    bench::report("open the dashboard (10,000 saved runs)", many, "ms", 300);

    if (argc > 1) {
        const QDir out(QString::fromLocal8Bit(argv[1]));
        frmDashboard* window = frmDashboard::open();
        // As on a desktop of 1366 by 768, the smallest usual one.
        window->resize(1360, 720);
        QApplication::processEvents();
        window->grab().save(out.filePath(QStringLiteral("dashboard.png")));
        window->compareWith(1);
        QApplication::processEvents();
        window->grab().save(out.filePath(QStringLiteral("dashboard-compared.png")));
        window->ExportPdf(out.filePath(QStringLiteral("dashboard.pdf")));
        window->Print();
        for (QWidget* w : QApplication::topLevelWidgets())
            if (qobject_cast<ReportPreview*>(w) && w->isVisible())
                w->grab().save(out.filePath(QStringLiteral("dashboard-preview.png")));
        window->close();
        auto* page = pages::show<frmAnalysisReports>();
        QApplication::processEvents();
        page->grab().save(out.filePath(QStringLiteral("report-selection.png")));
    }
    closeEvalDatabase();
    return 0;
}
