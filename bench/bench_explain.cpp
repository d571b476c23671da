// Opening one record's explanation window, from a click to a laid-out window.
// With a folder argument, also grabs the window and its drill-down list as PNGs.
#include "BenchSupport.h"
#include "analysis/EvaluationRun.h"
#include "database/EvalDatabase.h"
#include "reports/Explanation.h"
#include "windows/frmExplain.h"
#include "windows/frmOutcomeList.h"

#include <QApplication>
#include <QDir>
#include <QTableView>
#include <QTemporaryDir>

using namespace marrowick;

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const QString database = dir.filePath(QStringLiteral("bench.db"));
    openEvalDatabase(database);
    EvaluationRun::LoadAndAnalyze(QStringLiteral(MARROWICK_SOURCE_DIR "/samples/results-typical.txt"));
    // A missed duplicate of a large group: the most rows to show.
    qint64 id = 0;
    size_t largest = 0;
    for (const RecordOutcome& r : explain::outcomesSelected(QStringLiteral("missed"))) {
        size_t members = 0;
        for (const RecordOutcome& m : explain::outcomesSelected(QStringLiteral("all"))) members += m.group == r.group;
        if (members > largest) {
            largest = members;
            id = r.id;
        }
    }
    const double ms = bench::medianMs(11, [&] {
        frmExplain* window = frmExplain::open(id);
        QApplication::processEvents();
        window->close();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    });
    bench::report("open an explanation window (group of the most members)", ms, "ms", 100);

    if (argc > 1) {
        frmExplain* window = frmExplain::open(id);
        QApplication::processEvents();
        window->grab().save(QDir(QString::fromLocal8Bit(argv[1])).filePath(QStringLiteral("explain-window.png")));
        frmOutcomeList* list =
            frmOutcomeList::open(1, explain::outcomesOf({id}).front().problem, QStringLiteral("Bench"));
        QApplication::processEvents();
        list->grab().save(QDir(QString::fromLocal8Bit(argv[1])).filePath(QStringLiteral("outcome-list.png")));
        window->ExportPdf(QDir(QString::fromLocal8Bit(argv[1])).filePath(QStringLiteral("explain.pdf")));
    }
    closeEvalDatabase();
    return 0;
}
