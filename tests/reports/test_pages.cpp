// Step 3, the report selection page and the viewer, driven as a user would.
#include "PageSession.h"
#include "database/Db.h"
#include "database/EvalDatabase.h"
#include "analysis/EvaluationRun.h"
#include "reports/ReportModel.h"
#include "reports/frmAnalysisReports.h"
#include "reports/frmRep1.h"
#include "shell/frmStep3.h"
#include "shell/mdlGlobals.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSqlRecord>
#include <QTableView>
#include <QTest>

using namespace marrowick;
using namespace marrowick::test;

namespace {

const QString kSamples = QStringLiteral(MARROWICK_SOURCE_DIR "/samples/");


// The first lines of a sample in which every record is its own client.
QByteArray firstLines(int count)
{
    QFile file(kSamples + QStringLiteral("results-none.txt"));
    file.open(QIODevice::ReadOnly);
    QByteArray out;
    for (int i = 0; i < count; ++i)
        out += file.readLine();
    return out;
}

int shownColumns(const frmRep1* viewer)
{
    int shown = 0;
    for (int c = 0; c < viewer->resultSet()->columnCount(); ++c)
        shown += viewer->DataGrid1->isColumnHidden(c) ? 0 : 1;
    return shown;
}

} // namespace

class TestPages : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void blankAndInvalidNames_data();
    void blankAndInvalidNames();
    void runDisablesButtonsAndMovesOn();
    void completenessWarning();
    void refusedFileStaysOnStep3();
    void analysisFailureKeepsThePreviousEvaluation();
    void exitDuringTheAnalysisKeepsThePreviousEvaluation();
    void browseAndEnterInTheFileBox();
    void selectionPageLists();
    void viewerDressesEachReport();
    void backThenViewShowsTheNewReport();
    void emptyReportShowsHeadingsOnly();
    void errorsReachingThePageAreShown_data();
    void errorsReachingThePageAreShown();
    void copyingCellsGivesTabSeparatedText();

private:
    frmStep3* step3();
    frmRep1* view(int index);

    std::unique_ptr<PageSession> session;
    FakePlatform* host = nullptr;
    TestDatabase* db = nullptr;
};

void TestPages::init()
{
    session = std::make_unique<PageSession>();
    host = &session->host;
    db = &session->db;
}

void TestPages::cleanup()
{
    session.reset();
}

frmStep3* TestPages::step3() { return pages::show<frmStep3>(); }

frmRep1* TestPages::view(int index)
{
    auto* reports = pages::show<frmAnalysisReports>();
    reports->lstReports->setCurrentRow(index);
    QTest::mouseClick(reports->btnView, Qt::LeftButton);
    return pages::loaded<frmRep1>();
}

void TestPages::blankAndInvalidNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("earlierData");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("prompt");
    const QString reuseBlank = QStringLiteral("You have not specified a file name. Do you wish to use the data loaded in the previous evaluation?");
    const QString reuseInvalid =
        QStringLiteral("You have not specified a valid file name. Do you wish to use the data loaded in the previous evaluation?");
    QTest::newRow("blank, no data") << "" << false << "File Name Missing" << "Please specify the file name for the results file.";
    QTest::newRow("blank, data") << "" << true << "New File Name Missing" << reuseBlank;
    QTest::newRow("blanks only, no data") << "   " << false << "Invalid File Name" << "File does not exist. Please specify a valid filename.";
    QTest::newRow("blanks only, data") << "   " << true << "Invalid File Name" << reuseInvalid;
    QTest::newRow("missing file, no data") << "/no/such/results.txt" << false << "Invalid File Name"
                                           << "File does not exist. Please specify a valid filename.";
    QTest::newRow("missing file, data") << "/no/such/results.txt" << true << "Invalid File Name" << reuseInvalid;
}

void TestPages::blankAndInvalidNames()
{
    QFETCH(QString, name);
    QFETCH(bool, earlierData);
    QFETCH(QString, title);
    QFETCH(QString, prompt);
    run(QStringLiteral("DELETE FROM IIS_LOADED_CHILD_ALL"));
    if (earlierData) {
        auto* page = step3();
        page->txtFileName->setText(kSamples + QStringLiteral("results-perfect.txt"));
        QTest::mouseClick(page->btnNext, Qt::LeftButton);
        settle();
        QVERIFY(pages::loaded<frmAnalysisReports>());
        pages::loaded<frmAnalysisReports>()->unload();
        settle();
    }
    auto* page = step3();
    page->txtFileName->setText(name);
    const bool question = earlierData;
    // No: stay. Then Yes: reuse, straight to the completeness check and on.
    for (MsgResult answer : question ? QList<MsgResult>{MsgResult::No, MsgResult::Yes} : QList<MsgResult>{MsgResult::Ok}) {
        if (question)
            host->expect(answer);
        QTest::mouseClick(page->btnNext, Qt::LeftButton);
        settle();
        const QList<ShownBox> boxes = host->takeShown();
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].title, title);
        QCOMPARE(boxes[0].prompt, prompt);
        QCOMPARE(boxes[0].icon, MsgIcon::Exclamation);
        QCOMPARE(boxes[0].buttons, question ? MsgButtons::YesNo : MsgButtons::Ok);
        const bool movedOn = answer == MsgResult::Yes;
        QCOMPARE(pages::loaded<frmAnalysisReports>() != nullptr, movedOn);
        if (!movedOn) {
            QVERIFY(page->isVisible());
            QCOMPARE(page->txtFileName->text(), name);
        }
    }
    QVERIFY(!host->busy);
}

void TestPages::runDisablesButtonsAndMovesOn()
{
    auto* page = step3();
    page->txtFileName->setText(kSamples + QStringLiteral("results-typical.txt"));
    bool checked = false;
    host->onIncrement = [&] {
        if (checked)
            return;
        checked = true;
        QVERIFY(!page->btnNext->isEnabled());
        QVERIFY(!page->btnBack->isEnabled());
        QVERIFY(!page->btnBrowse->isEnabled());
        QVERIFY(page->btnExit->isEnabled());
    };
    QTest::mouseClick(page->btnNext, Qt::LeftButton);
    host->onIncrement = nullptr;
    settle();
    QVERIFY(checked);
    QCOMPARE(host->progressTexts, QStringList({"Reading results file....", "Analyzing results ....", "Analyzing results ...."}));
    QVERIFY(host->shown.isEmpty());
    QVERIFY(!pages::loaded<frmStep3>());
    auto* reports = pages::loaded<frmAnalysisReports>();
    QVERIFY(reports && reports->isVisible());
    QVERIFY(!host->busy);
    QFile sample(kSamples + QStringLiteral("results-typical.txt"));
    QVERIFY(sample.open(QIODevice::ReadOnly));
    QCOMPARE(countRows(QStringLiteral("IIS_LOADED_CHILD_ALL")), sample.readAll().count('\n'));
}

void TestPages::completenessWarning()
{
    const QString warning = QStringLiteral("More than 20 percent of the records are missing. Please verify the data is complete.");
    auto* page = step3();
    page->txtFileName->setText(db->writeFile(QStringLiteral("r439.txt"), firstLines(439)));
    host->expect(MsgResult::Cancel);
    QTest::mouseClick(page->btnNext, Qt::LeftButton);
    settle();
    QCOMPARE(host->shown.value(0).buttons, MsgButtons::OkCancel);
    QVERIFY(host->showedOne(QStringLiteral("Warning"), warning, MsgIcon::Exclamation));
    QVERIFY(page->isVisible());
    // The new data stays; reusing it meets the same warning.
    QCOMPARE(countRows(QStringLiteral("IIS_LOADED_CHILD_ALL")), 439);
    page->txtFileName->clear();
    host->expect(MsgResult::Yes);
    host->expect(MsgResult::Ok);
    QTest::mouseClick(page->btnNext, Qt::LeftButton);
    settle();
    const QList<ShownBox> boxes = host->takeShown();
    QCOMPARE(boxes.size(), 2);
    QCOMPARE(boxes[1].prompt, warning);
    QVERIFY(pages::loaded<frmAnalysisReports>());
    pages::loaded<frmAnalysisReports>()->unload();
    settle();

    page = step3();
    page->txtFileName->setText(db->writeFile(QStringLiteral("r440.txt"), firstLines(440)));
    QTest::mouseClick(page->btnNext, Qt::LeftButton);
    settle();
    QVERIFY(host->takeShown().isEmpty());
    QVERIFY(pages::loaded<frmAnalysisReports>());
}

void TestPages::refusedFileStaysOnStep3()
{
    auto* page = step3();
    page->txtFileName->setText(db->writeFile(QStringLiteral("bad.txt"), "1,N,A\r\n"));
    QTest::mouseClick(page->btnNext, Qt::LeftButton);
    settle();
    QVERIFY(host->showedOne(QStringLiteral("Data Format Error"), QStringLiteral("3 field(s)"), MsgIcon::Critical, true));
    QVERIFY(page->isVisible());
    QVERIFY(page->btnNext->isEnabled() && page->btnBack->isEnabled() && page->btnBrowse->isEnabled());
    QVERIFY(!pages::loaded<frmAnalysisReports>());
    QVERIFY(!host->busy);
}

void TestPages::analysisFailureKeepsThePreviousEvaluation()
{
    auto* page = step3();
    page->txtFileName->setText(kSamples + QStringLiteral("results-typical.txt"));
    QTest::mouseClick(page->btnNext, Qt::LeftButton);
    settle();
    pages::loaded<frmAnalysisReports>()->unload();
    settle();
    const QStringList loaded = rows(QStringLiteral("SELECT * FROM IIS_LOADED_CHILD_ALL ORDER BY rowid"));
    const QStringList duplicates = rows(QStringLiteral("SELECT * FROM IIS_DUPLICATES ORDER BY rowid"));

    run(QStringLiteral("UPDATE Answer_Sheet SET rec_5 = 9999 WHERE rec_1 = (SELECT max(rec_1) FROM Answer_Sheet)"));
    page = step3();
    page->txtFileName->setText(kSamples + QStringLiteral("results-none.txt"));
    QTest::mouseClick(page->btnNext, Qt::LeftButton);
    settle();
    QVERIFY(host->showedOne(QStringLiteral("Error"),
                            QStringLiteral("The evaluation could not be completed; the previous evaluation is unchanged.\r3021 "
                                           "No current record: test record 9999"),
                            MsgIcon::Critical, true));
    QVERIFY(page->isVisible());
    QVERIFY(page->btnNext->isEnabled());
    QVERIFY(!pages::loaded<frmAnalysisReports>());
    QCOMPARE(rows(QStringLiteral("SELECT * FROM IIS_LOADED_CHILD_ALL ORDER BY rowid")), loaded);
    QCOMPARE(rows(QStringLiteral("SELECT * FROM IIS_DUPLICATES ORDER BY rowid")), duplicates);
}

void TestPages::exitDuringTheAnalysisKeepsThePreviousEvaluation()
{
    QVERIFY(EvaluationRun::LoadAndAnalyze(kSamples + QStringLiteral("results-typical.txt")));
    const QString everything = QStringLiteral("SELECT * FROM %1 ORDER BY rowid");
    const QStringList tables{"IIS_LOADED_CHILD_ALL", "Answer_Sheet", "IIS_DUPLICATES", "IIS_MISSING_RECORDS"};
    QList<QStringList> before;
    for (const QString& t : tables)
        before << rows(everything.arg(t));

    auto* page = step3();
    page->txtFileName->setText(kSamples + QStringLiteral("results-none.txt"));
    bool exited = false;
    host->onIncrement = [&] {
        if (exited)
            return;
        exited = true;
        host->expect(MsgResult::Ok);
        QTest::mouseClick(page->btnExit, Qt::LeftButton); // live while the analysis runs
    };
    QTest::mouseClick(page->btnNext, Qt::LeftButton);
    host->onIncrement = nullptr;
    settle();
    QCOMPARE(host->endedWith, 0);
    // The fake host does not end the program, so the run meets the closed database.
    const QList<ShownBox> boxes = host->takeShown();
    QCOMPARE(boxes.value(0).title, QStringLiteral("Exit Program"));
    QVERIFY(!pages::loaded<frmAnalysisReports>());

    QVERIFY(openEvalDatabase(db->path()));
    for (qsizetype i = 0; i < tables.size(); ++i)
        QCOMPARE(rows(everything.arg(tables[i])), before[i]);
}

// A choice replaces the name; a cancel keeps what was typed; Enter is Next.
void TestPages::browseAndEnterInTheFileBox()
{
    host->fileAnswers = QStringList{QString(), QStringLiteral("/data/first.txt")};
    auto* page = step3();
    page->txtFileName->setText(QStringLiteral("typed.txt"));
    QTest::mouseClick(page->btnBrowse, Qt::LeftButton);
    QCOMPARE(page->txtFileName->text(), QStringLiteral("typed.txt"));
    QCOMPARE(host->dialogCaptions.value(0), QStringLiteral("Choose the Results File"));
    QCOMPARE(host->lastFilters.size(), 2);
    QVERIFY(host->lastFilters[0].startsWith(QStringLiteral("All Files")));
    QVERIFY(host->lastFilters[1].startsWith(QStringLiteral("Text Files (*.txt)")));
    QTest::mouseClick(page->btnBrowse, Qt::LeftButton);
    QCOMPARE(page->txtFileName->text(), QStringLiteral("/data/first.txt"));

    page->txtFileName->setText(QString());
    QTest::keyClick(page->txtFileName, Qt::Key_Return);
    QVERIFY(host->showedOne(EvaluationRun::kFileNameMissingTitle, EvaluationRun::kFileNameMissingPrompt, MsgIcon::Exclamation));
}

void TestPages::selectionPageLists()
{
    auto* reports = pages::show<frmAnalysisReports>();
    QCOMPARE(reports->windowTitle(), QStringLiteral("Analysis and Reports"));
    QCOMPARE(reports->Label1->text(), QStringLiteral("Select the information to view:"));
    QCOMPARE(reports->lstReports->count(), int(reportCatalogue().size()));
    for (const ReportDef& report : reportCatalogue())
        QCOMPARE(reports->lstReports->item(report.index)->text(), report.item);
    QCOMPARE(reports->reportIndex(), 0);
    QVERIFY(!reports->btnNext->isEnabled());
    reports->lstReports->clearSelection();
    QTest::mouseClick(reports->btnView, Qt::LeftButton);
    QVERIFY(host->showedOne(QStringLiteral("Report Not Selected"), QStringLiteral("Select a report to view."), MsgIcon::Information));
    QVERIFY(!host->busy);
    // Back to step 3; a new visit starts again at the first report.
    reports->lstReports->setCurrentRow(5);
    QTest::mouseClick(reports->btnBack, Qt::LeftButton);
    settle();
    QVERIFY(pages::loaded<frmStep3>());
    QCOMPARE(pages::show<frmAnalysisReports>()->reportIndex(), 0);
}

void TestPages::viewerDressesEachReport()
{
    QVERIFY(EvaluationRun::LoadAndAnalyze(kSamples + QStringLiteral("results-typical.txt")));
    // How many rows each report has, counted another way; none for the summaries.
    const QStringList counts{QStringLiteral("SELECT 16"), {}, {}, {},
                             QStringLiteral("SELECT count(*) FROM IIS_DUPLICATES WHERE QM='N' AND OtherQM='N'"),
                             QStringLiteral("SELECT count(*) FROM IIS_MISSING_RECORDS"),
                             QStringLiteral("SELECT count(*) FROM DupTestData WHERE ProblemCode LIKE '%BASE_RECORD'"),
                             QStringLiteral("SELECT count(*) FROM DupTestData WHERE ProblemCode NOT LIKE '%BASE_RECORD'")};
    for (const ReportDef& report : reportCatalogue()) {
        frmRep1* viewer = view(report.index);
        QVERIFY(viewer && viewer->isVisible());
        QVERIFY(!pages::loaded<frmAnalysisReports>()->isVisible());
        QCOMPARE(viewer->windowTitle(), report.title);
        const ReportModel& model = *viewer->resultSet();
        QVERIFY(model.rowCount() > 0);
        if (!counts[report.index].isEmpty())
            QCOMPARE(QString::number(model.rowCount()), rows(counts[report.index]).value(0));
        double share = 0; // pixels per unit of width factor, the same for every column
        for (int c = 0; c < model.columnCount(); ++c) {
            const ColumnRule* rule = ruleFor(report, model.headerData(c, Qt::Horizontal, FieldRole).toString());
            QCOMPARE(viewer->DataGrid1->isColumnHidden(c), rule == nullptr);
            if (!rule)
                continue;
            QCOMPARE(model.headerData(c, Qt::Horizontal).toString(), rule->caption);
            QCOMPARE(model.index(0, c).data(Qt::TextAlignmentRole).toInt() == int(Qt::AlignCenter), rule->centred);
            const double columnShare = viewer->DataGrid1->columnWidth(c) / rule->width;
            QVERIFY(share == 0 || std::abs(columnShare / share - 1) < 0.03);
            share = columnShare;
        }
        // Every rule finds its column: none is spelled otherwise than its query spells it.
        QCOMPARE(shownColumns(viewer), int(report.rules.size()));
        QVERIFY(viewer->DataGrid1->horizontalHeader()->font().bold());
        QVERIFY(!host->busy);
        QTest::mouseClick(viewer->btnBack, Qt::LeftButton);
        settle();
        QCOMPARE(pages::loaded<frmAnalysisReports>()->reportIndex(), report.index);
        QVERIFY(pages::loaded<frmAnalysisReports>()->isVisible());
    }
}

void TestPages::backThenViewShowsTheNewReport()
{
    QVERIFY(EvaluationRun::LoadAndAnalyze(kSamples + QStringLiteral("results-aggressive.txt")));
    frmRep1* viewer = view(1);
    QTest::mouseClick(viewer->btnBack, Qt::LeftButton);
    settle();
    QVERIFY(!pages::loaded<frmRep1>());
    QCOMPARE(pages::loaded<frmAnalysisReports>()->reportIndex(), 1);
    viewer = view(2);
    QCOMPARE(viewer->windowTitle(), reportAt(2)->title);
    host->expect(MsgResult::Cancel);
    viewer->close(); // through the window frame: the exit question, and Cancel keeps it
    QCOMPARE(host->takeShown().value(0).title, QStringLiteral("Exit Program"));
    QVERIFY(viewer->isVisible());
}

void TestPages::emptyReportShowsHeadingsOnly()
{
    run(QStringLiteral("DELETE FROM IIS_DUPLICATES"));
    frmRep1* viewer = view(4);
    QVERIFY(viewer && viewer->isVisible());
    QCOMPARE(viewer->resultSet()->rowCount(), 0);
    QCOMPARE(shownColumns(viewer), int(reportAt(4)->rules.size()));
    QVERIFY(viewer->DataGrid1->isVisible());
}

void TestPages::errorsReachingThePageAreShown_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("damage");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("prompt");
    QTest::newRow("overall refill returns false") << 0 << "DELETE FROM DupTestData WHERE ProblemCode NOT LIKE '%BASE_RECORD'"
                                                  << "Error" << "Error occurred in RefillOverallResults: 11 Division by zero";
    QTest::newRow("look-alike refill passes a failure up") << 2 << "DELETE FROM tblSecondProbDescMap"
                                                            << "Error" << "The report cannot be shown.\r3021 No current record.";
    QTest::newRow("scores refill passes a failure up") << 3 << "DELETE FROM tblProbDescMap"
                                                        << "Error" << "The report cannot be shown.\r3021 No current record.";
    // A fault of the database itself is told as such, in plain words.
    QTest::newRow("viewer query fails") << 7 << "DROP TABLE tblProbDescMap" << "Database Error"
                                        << "The database reported: no such table: tblProbDescMap.\rThe report cannot be shown.";
}

void TestPages::errorsReachingThePageAreShown()
{
    QFETCH(int, index);
    QFETCH(QString, damage);
    QFETCH(QString, title);
    QFETCH(QString, prompt);
    QVERIFY(EvaluationRun::LoadAndAnalyze(kSamples + QStringLiteral("results-typical.txt")));
    run(damage);
    view(index);
    QVERIFY(host->showedOne(title, prompt, MsgIcon::Critical));
    QVERIFY(!pages::loaded<frmRep1>());
    QVERIFY(pages::loaded<frmAnalysisReports>()->isVisible());
    QVERIFY(!host->busy);
}

void TestPages::copyingCellsGivesTabSeparatedText()
{
    QVERIFY(EvaluationRun::LoadAndAnalyze(kSamples + QStringLiteral("results-typical.txt")));
    frmRep1* viewer = view(1);
    viewer->DataGrid1->selectRow(0);
    viewer->copySelection();
    const ReportModel* model = viewer->resultSet();
    QStringList expected;
    for (const ColumnRule& rule : reportAt(1)->rules)
        expected << model->index(0, fieldColumn(*model, rule.field)).data().toString();
    QCOMPARE(QApplication::clipboard()->text(), expected.join(QLatin1Char('\t')) + QLatin1Char('\n'));
}

QTEST_MAIN(TestPages)
#include "test_pages.moc"
