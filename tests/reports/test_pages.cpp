// Step 3, the report selection page and the viewer, driven as a user would.
#include "PageSession.h"
#include "analysis/ProblemCode.h"
#include "reports/ReportModel.h"
#include "shell/frmStep3.h"

#include <QClipboard>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>

namespace {

// The first lines of a sample in which every record is its own client.
QByteArray firstLines(int count) { return fileBytes(sample("none")).split('\n').mid(0, count).join('\n') + '\n'; }

// A step 3 file name, whether an earlier evaluation is there, and the box.
struct Name { QString name; bool earlierData; QString title, prompt; };

// A damage to the database or a file that is refused (empty: a sample); the
// box told (its start on step 3); the report viewed, or none: step 3's Next.
struct Failure { QString damage; QByteArray file; QString title, prompt; int report = -1; };

} // namespace

class TestPages : public PageTest {
    Q_OBJECT
private slots:

    void blankAndInvalidNames_data()
    {
        QTest::addColumn<Name>("c");
        const QString reuse = QStringLiteral(" file name. Do you wish to use the data loaded in the previous evaluation?");
        const QString invalid = QStringLiteral("File does not exist. Please specify a valid filename.");
        QTest::newRow("blank, no data") << Name{"", false, "File Name Missing", "Please specify the file name for the results file."};
        QTest::newRow("blank, data") << Name{"", true, "New File Name Missing", "You have not specified a" + reuse};
        QTest::newRow("blanks only, no data") << Name{"   ", false, "Invalid File Name", invalid};
        QTest::newRow("blanks only, data") << Name{"   ", true, "Invalid File Name", "You have not specified a valid" + reuse};
        QTest::newRow("missing file, no data") << Name{"/no/such/results.txt", false, "Invalid File Name", invalid};
        QTest::newRow("missing file, data") << Name{"/no/such/results.txt", true, "Invalid File Name", "You have not specified a valid" + reuse};
    }

    void blankAndInvalidNames()
    {
        QFETCH(Name, c);
        const auto& [name, earlierData, title, prompt] = c;
        run("DELETE FROM IIS_LOADED_CHILD_ALL");
        if (earlierData)
            EvaluationRun::LoadAndAnalyze(sample("perfect"));
        auto* page = step3();
        page->txtFileName->setText(name);
        // No: stay. Then Yes: reuse, straight to the completeness check and on.
        for (MsgResult answer : earlierData ? QList<MsgResult>{MsgResult::No, MsgResult::Yes} : QList<MsgResult>{MsgResult::Ok}) {
            if (earlierData)
                s->host.expect(answer);
            press(page->btnNext);
            QCOMPARE(s->host.shown.value(0).buttons, earlierData ? MsgButtons::YesNo : MsgButtons::Ok);
            QVERIFY(s->host.showedOne(title, prompt, MsgIcon::Exclamation));
            const bool movedOn = answer == MsgResult::Yes;
            QCOMPARE(pages::loaded<frmAnalysisReports>() != nullptr, movedOn);
            if (!movedOn) {
                QVERIFY(page->isVisible());
                QCOMPARE(page->txtFileName->text(), name);
            }
        }
        QVERIFY(!s->host.busy);
    }

    // Fewer than 80 percent of the test records: a warning that Cancel stays on.
    void completenessWarningAndARunThatMovesOn()
    {
        const QString warning = QStringLiteral("More than 20 percent of the records are missing. Please verify the data is complete.");
        s->host.expect(MsgResult::Cancel);
        auto* page = next(s->db.writeFile("r439.txt", firstLines(439)));
        QCOMPARE(s->host.shown.value(0).buttons, MsgButtons::OkCancel);
        QVERIFY(s->host.showedOne("Warning", warning, MsgIcon::Exclamation));
        QVERIFY(page->isVisible());
        // The new data stays; reusing it meets the same warning.
        QCOMPARE(countRows("IIS_LOADED_CHILD_ALL"), 439);
        s->host.expect(MsgResult::Yes);
        s->host.expect(MsgResult::Ok);
        next(QString());
        const QList<ShownBox> boxes = s->host.takeShown();
        QCOMPARE(boxes.size(), 2);
        QCOMPARE(boxes[1].prompt, warning);
        QVERIFY(pages::loaded<frmAnalysisReports>());
        pages::loaded<frmAnalysisReports>()->unload();
        settle();

        // 440 records are enough: the run disables all but Exit while it works, and moves on.
        bool checked = false;
        s->host.onIncrement = [&] {
            auto* running = pages::loaded<frmStep3>();
            if (!checked)
                QVERIFY(!running->btnNext->isEnabled() && !running->btnBack->isEnabled() && !running->btnBrowse->isEnabled()
                        && running->btnExit->isEnabled());
            checked = true;
        };
        s->host.progressTexts.clear();
        next(s->db.writeFile("r440.txt", firstLines(440)));
        s->host.onIncrement = nullptr;
        QVERIFY(checked);
        QCOMPARE(s->host.progressTexts, QStringList({"Reading results file....", "Analyzing results ....", "Analyzing results ...."}));
        QVERIFY(s->host.shown.isEmpty() && !s->host.busy);
        QVERIFY(!pages::loaded<frmStep3>());
        QVERIFY(pages::loaded<frmAnalysisReports>() && pages::loaded<frmAnalysisReports>()->isVisible());
    }

    // A choice replaces the name; a cancel keeps what was typed; Enter is Next.
    void browseAndEnterInTheFileBox()
    {
        s->host.fileAnswers = QStringList{QString(), QStringLiteral("/data/first.txt")};
        auto* page = step3();
        page->txtFileName->setText("typed.txt");
        QTest::mouseClick(page->btnBrowse, Qt::LeftButton);
        QCOMPARE(page->txtFileName->text(), QStringLiteral("typed.txt"));
        QCOMPARE(s->host.dialogCaptions.value(0), QStringLiteral("Choose the Results File"));
        QCOMPARE(s->host.lastFilters, (QStringList{"All Files (*)", "Text Files (*.txt)"}));
        QTest::mouseClick(page->btnBrowse, Qt::LeftButton);
        QCOMPARE(page->txtFileName->text(), QStringLiteral("/data/first.txt"));

        page->txtFileName->setText(QString());
        QTest::keyClick(page->txtFileName, Qt::Key_Return);
        QVERIFY(s->host.showedOne(EvaluationRun::kFileNameMissingTitle, EvaluationRun::kFileNameMissingPrompt, MsgIcon::Exclamation));
    }

    void selectionPageLists()
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
        QVERIFY(s->host.showedOne("Report Not Selected", "Select a report to view.", MsgIcon::Information));
        QVERIFY(!s->host.busy);
        // Back to step 3; a new visit starts again at the first report.
        reports->lstReports->setCurrentRow(5);
        press(reports->btnBack);
        QVERIFY(pages::loaded<frmStep3>());
        QCOMPARE(pages::show<frmAnalysisReports>()->reportIndex(), 0);
    }

    void viewerDressesEachReport()
    {
        EvaluationRun::LoadAndAnalyze(sample("typical"));
        for (const ReportDef& report : reportCatalogue()) {
            frmRep1* viewer = view(report.index);
            QVERIFY(viewer && viewer->isVisible());
            QVERIFY(!pages::loaded<frmAnalysisReports>()->isVisible());
            QCOMPARE(viewer->windowTitle(), report.title);
            const ReportModel& model = shownRows(viewer);
            // Every row of its query, however long the list; the golden files hold which rows those are.
            QCOMPARE(qint64(model.rowCount()), count("SELECT count(*) FROM (" + report.query + ')'));
            QVERIFY(model.rowCount() > 0);
            double share = 0; // pixels per unit of width factor, the same for every column
            int shown = 0;
            for (int c = 0; c < model.columnCount(); ++c) {
                const ColumnRule* rule = ruleFor(report, model.headerData(c, Qt::Horizontal, FieldRole).toString());
                QCOMPARE(viewer->DataGrid1->isColumnHidden(c), rule == nullptr);
                if (!rule)
                    continue;
                ++shown;
                QCOMPARE(model.headerData(c, Qt::Horizontal).toString(), rule->caption);
                QCOMPARE(model.index(0, c).data(Qt::TextAlignmentRole).toInt() == int(Qt::AlignCenter), rule->centred);
                const double columnShare = viewer->DataGrid1->columnWidth(c) / rule->width;
                QVERIFY(share == 0 || std::abs(columnShare / share - 1) < 0.03);
                share = columnShare;
            }
            // Every rule finds its column: none is spelled otherwise than its query spells it.
            QCOMPARE(shown, int(report.rules.size()));
            QVERIFY(viewer->DataGrid1->horizontalHeader()->font().bold());
            QVERIFY(!s->host.busy);
            // Copying a row gives its shown cells, tab-separated.
            viewer->DataGrid1->selectRow(0);
            viewer->copySelection();
            QStringList cells;
            for (const ColumnRule& rule : report.rules)
                cells << model.index(0, fieldColumn(model, rule.field)).data().toString();
            QCOMPARE(QApplication::clipboard()->text(), cells.join(QLatin1Char('\t')) + QLatin1Char('\n'));
            press(viewer->btnBack);
            QVERIFY(!pages::loaded<frmRep1>());
            QCOMPARE(pages::loaded<frmAnalysisReports>()->reportIndex(), report.index);
            QVERIFY(pages::loaded<frmAnalysisReports>()->isVisible());
        }
        // An empty report shows its headings, and says it has no records.
        QVERIFY(!view(4)->lblEmpty->isVisible());
        press(pages::loaded<frmRep1>()->btnBack);
        run("DELETE FROM IIS_DUPLICATES");
        frmRep1* viewer = view(4);
        QVERIFY(viewer && viewer->isVisible() && viewer->DataGrid1->isVisible());
        QCOMPARE(shownRows(viewer).rowCount(), 0);
        QVERIFY(!viewer->DataGrid1->isColumnHidden(fieldColumn(shownRows(viewer), reportAt(4)->rules.front().field)));
        settle();
        QVERIFY(viewer->lblEmpty->isVisible());
        QCOMPARE(viewer->lblEmpty->geometry(), viewer->DataGrid1->viewport()->rect()); // over the grid, not a speck in its corner
        QCOMPARE(viewer->lblEmpty->text(), QStringLiteral("No records"));
    }

    // A failure is told, and the page it happened on stays: step 3 ready to try
    // again, or the selection page when a report cannot be shown.
    void failuresAreShownWhereTheyHappen_data()
    {
        QTest::addColumn<Failure>("c");
        QTest::newRow("step 3: refused file") << Failure{"", "1,N,A\r\n", "Data Format Error", "3 field(s)"};
        // The analysis itself rolls back (tests/analysis); the page says so.
        QTest::newRow("step 3: analysis fails")
            << Failure{"UPDATE Answer_Sheet SET rec_5 = 9999 WHERE rec_1 = (SELECT max(rec_1) FROM Answer_Sheet)", {}, "Error",
                       "The evaluation could not be completed; the previous evaluation is unchanged.\r3021 No current record: test record 9999"};
        QTest::newRow("overall refill returns false")
            << Failure{"DELETE FROM DupTestData WHERE " + problem::isDuplicate(), {}, "Error",
                       "Error occurred in RefillOverallResults: 11 Division by zero", 0};
        QTest::newRow("look-alike refill passes a failure up")
            << Failure{"DELETE FROM tblSecondProbDescMap", {}, "Error", "The report cannot be shown.\r3021 No current record.", 2};
        // A fault of the database itself is told as such, in plain words.
        QTest::newRow("viewer query fails") << Failure{"DROP TABLE tblProbDescMap", {}, "Database Error",
                                                       "The database reported: no such table: tblProbDescMap.\rThe report cannot be shown.", 7};
    }

    void failuresAreShownWhereTheyHappen()
    {
        QFETCH(Failure, c);
        const bool onStep3 = c.report < 0;
        if (!onStep3)
            EvaluationRun::LoadAndAnalyze(sample("typical"));
        if (!c.damage.isEmpty())
            run(c.damage);
        if (onStep3)
            next(c.file.isEmpty() ? sample("none") : s->db.writeFile("bad.txt", c.file));
        else
            view(c.report);
        QVERIFY(s->host.showedOne(c.title, c.prompt, MsgIcon::Critical, onStep3));
        QVERIFY(!s->host.busy && !pages::loaded<frmRep1>());
        auto* step3 = pages::loaded<frmStep3>();
        QCOMPARE(step3 && step3->isVisible() && step3->btnNext->isEnabled() && step3->btnBack->isEnabled() && step3->btnBrowse->isEnabled(),
                 onStep3);
        QCOMPARE(pages::loaded<frmAnalysisReports>() && pages::loaded<frmAnalysisReports>()->isVisible(), !onStep3);
    }

private:
    frmStep3* step3() { return pages::show<frmStep3>(); }
    // Step 3 with that file name, after Next.
    frmStep3* next(const QString& name)
    {
        auto* page = step3();
        page->txtFileName->setText(name);
        press(page->btnNext);
        return page;
    }

};

QTEST_MAIN(TestPages)
#include "test_pages.moc"
