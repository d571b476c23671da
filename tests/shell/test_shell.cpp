#include "PageSession.h"
#include "shell/PageTexts.h"
#include "shell/frmMain.h"
#include "shell/frmStep3.h"
#include "shell/frmProcessing.h"
#include "shell/GuiPlatform.h"
#include "database/EvalDatabase.h"
#include "database/Schema.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QRegularExpression>

namespace {
// A window's saved frame, the screens' areas, the places other windows of its kind
// hold, and the area it must land on.
struct Placement { QRect frame; QList<QRect> areas; QList<QPoint> taken; int area = 0; };

// A wizard page as the walk meets it: object name, caption, title, text box and its text.
struct WizardStep { const char *object, *caption, *title, *textBox; QString (*text)(); };
const WizardStep kSteps[] = {{"frmMain", "Marrowick", "Marrowick ", "txtDescription", PageTexts::Welcome},
                             {"frmStep1", "Step 1", "Step 1.", "txtStep1", PageTexts::Step1},
                             {"frmStep2", "Step 2", "Step 2.", "txtStep2", PageTexts::Step2},
                             {"frmStep3", "Step 3", "Step 3.", "txtStep3", PageTexts::Step3}};
} // namespace

class TestShell : public PageTest {
    Q_OBJECT
private slots:

    // Forward and back by the access keys: each page is loaded anew with its
    // texts, the page left behind is unloaded, and the one connection opened at
    // the start stays.
    void walkForwardAndBackRebuildsTexts()
    {
        const QString connectionBefore = cnEval().connectionName();
        QPointer<WizardPage> page = pages::show<frmMain>();
        QCOMPARE(pages::loaded<frmMain>()->Label1->text(), QStringLiteral("6/25/2002"));
        QVERIFY(!page->btnBack->isEnabled());
        int at = 0;
        for (int to : {1, 2, 3, 2, 1, 0}) {
            QVERIFY(QTest::qWaitForWindowActive(page));
            const QPointer<WizardPage> left = page;
            QTest::keyClick(page->windowHandle(), to > at ? Qt::Key_N : Qt::Key_B, Qt::AltModifier);
            QTRY_VERIFY(!left); // an access key clicks the button as a short animation
            page = shownWindows<WizardPage>().value(0);
            const WizardStep& step = kSteps[to];
            QVERIFY2(page && page->objectName() == step.object, step.object);
            QCOMPARE(page->windowTitle(), QLatin1String(step.caption));
            QCOMPARE(page->lblTitle->text(), QLatin1String(step.title));
            QCOMPARE(page->textBox->objectName(), QLatin1String(step.textBox));
            QCOMPARE(page->textBox->toPlainText(), QString(step.text()).replace("\r\n", "\n"));
            // Every break of the page texts is CR LF; no lone line end.
            QVERIFY(!QString(step.text()).remove("\r\n").contains(QRegularExpression("[\r\n]")));
            at = to;
        }
        QVERIFY(cnEval().isOpen());
        QCOMPARE(cnEval().connectionName(), connectionBefore);
    }

    void exitAsksFirst_data()
    {
        QTest::addColumn<bool>("byFrame"); // the window's close button, or Exit
        QTest::addColumn<bool>("confirmed");
        for (bool byFrame : {false, true})
            for (bool confirmed : {false, true})
                QTest::addRow("%s, %s", byFrame ? "frame" : "Exit", confirmed ? "confirmed" : "cancelled") << byFrame << confirmed;
    }

    // Cancel keeps the page as it was; OK closes the database and marks the file
    // read-only, a mark the next start clears before opening it.
    void exitAsksFirst()
    {
        QFETCH(bool, byFrame);
        QFETCH(bool, confirmed);
        auto* step3 = pages::show<frmStep3>();
        step3->txtFileName->setText("C:/results/registry.txt");
        s->host.expect(confirmed ? MsgResult::Ok : MsgResult::Cancel);
        if (byFrame)
            QVERIFY(!step3->close() || confirmed);
        else
            QTest::mouseClick(step3->btnExit, Qt::LeftButton);
        settle();
        QCOMPARE(s->host.shown.value(0).buttons, MsgButtons::OkCancel);
        QVERIFY(s->host.showedOne("Exit Program", "You have chosen to exit the Marrowick.", MsgIcon::Information));
        QCOMPARE(s->host.endedWith, confirmed ? 0 : -1);
        QCOMPARE(cnEval().isOpen(), !confirmed);
        // Owner, group and others; the "user" bits report root's access, not the mark.
        const auto writable = QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
        QCOMPARE(bool(QFile::permissions(s->db.path()) & writable), !confirmed);
        if (!confirmed) {
            QVERIFY(step3->isVisible());
            QCOMPARE(step3->txtFileName->text(), QStringLiteral("C:/results/registry.txt"));
            return;
        }
        QVERIFY(mdlGlobals::OpenDatabase());
        QVERIFY(QFile::permissions(s->db.path()) & QFileDevice::WriteOwner);
        QCOMPARE(schemaProblem(), QString());
    }

    void progressBarStopsAtItsLimits()
    {
        QPointer<frmProcessing> progress = frmProcessing::instance();
        QCOMPARE(progress->windowTitle(), QStringLiteral("Processing..."));
        QVERIFY(!progress->isVisible());
        QVERIFY(s->host.busy);
        progress->UpdateProgressText(QStringLiteral("Reading results file...."));
        QCOMPARE(progress->lblProcessing->text(), QStringLiteral("Reading results file...."));
        progress->SetProgressBar(-5);
        QCOMPARE(progress->ProgressBar1->value(), 0);
        progress->SetProgressBar(150);
        QCOMPARE(progress->ProgressBar1->value(), 100);
        progress->ResetProgressBar();
        for (int group = 0; group < 300; ++group) {
            progress->IncrementProgressBar(0.25);
            progress->IncrementProgressBar(0.1);
        }
        QCOMPARE(progress->ProgressBar1->value(), 100);
        frmProcessing::Unload();
        QVERIFY(!s->host.busy && !progress);
    }

    // A folder name, a file's content or an error text is shown as written, even
    // when it reads like markup; and the rebuild question defaults to No.
    void pathsAndFileTextNeverBecomeMarkup()
    {
        const QString folder = s->db.folder() + QStringLiteral("/<u>Shared <img src=x> tools");
        QVERIFY(QDir().mkpath(folder));
        const QString path = folder + QStringLiteral("/DupTestDataFin.db");
        QVERIFY(writeBytes(path, QByteArray("<b>not</b> a database\n").repeated(50)));
        s->host.expect(MsgResult::No);
        mdlGlobals::CloseDatabase();
        mdlGlobals::SetDatabasePath(path);
        frmMain start; // declined, the database stays unusable: the start ends, told once
        QCOMPARE(s->host.endedWith, 3);
        const QList<ShownBox> shown = s->host.takeShown();
        QCOMPARE(shown.size(), 1);
        const ShownBox& asked = shown.first();
        const auto box = GuiPlatform::makeBox(asked.title, asked.prompt, asked.icon, asked.buttons, asked.defaultButton);
        auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
        QVERIFY(label && label->textFormat() == Qt::PlainText);
        QVERIFY(label->text().contains("<u>Shared <img src=x> tools"));
        QCOMPARE(box->defaultButton(), box->button(QMessageBox::No));
        QCOMPARE(frmProcessing::instance()->lblProcessing->textFormat(), Qt::PlainText);
        frmProcessing::Unload();
    }

    // Screens: 1280x1024 under a panel, 1024x600, 1280x1024 at 1.5x (in
    // device-independent pixels), and two side by side. Whatever was saved,
    // a window lands wholly on the screen that holds most of it, no larger
    // than that screen, and never exactly on another window of its kind.
    void placementKeepsWindowsOnScreen_data()
    {
        QTest::addColumn<Placement>("c");
        const QList<QRect> large{{0, 0, 1280, 996}}, small{{0, 0, 1024, 576}}, scaled{{0, 0, 853, 664}},
            pair{{0, 0, 1920, 1050}, {1920, 0, 1280, 996}};
        QTest::newRow("fits: left where it is") << Placement{{100, 100, 800, 600}, large, {}};
        QTest::newRow("dashboard past the edge") << Placement{{372, 381, 1272, 896}, large, {}};
        QTest::newRow("too large for a small screen") << Placement{{243, 300, 1272, 596}, small, {}};
        QTest::newRow("scaled: explanation too wide") << Placement{{243, 40, 1288, 596}, scaled, {}};
        QTest::newRow("saved on a screen now gone") << Placement{{2500, 300, 600, 400}, large, {}};
        QTest::newRow("right screen of two") << Placement{{2000, 100, 1400, 500}, pair, {}, 1};
        QTest::newRow("straddling, mostly left") << Placement{{1500, 100, 600, 400}, pair, {}};
        QTest::newRow("five of a kind stacked") << Placement{{100, 100, 600, 400}, large, {{100, 100}, {132, 132}, {164, 164}, {196, 196}}};
        QTest::newRow("cascade past the far corner") << Placement{{600, 400, 600, 400}, scaled, {{253, 264}, {221, 232}, {0, 0}}};
        QTest::newRow("as large as the screen, taken") << Placement{{0, 0, 1024, 576}, small, {{0, 0}}};
    }
    void placementKeepsWindowsOnScreen()
    {
        QFETCH(Placement, c);
        const auto& [frame, areas, taken, expectedArea] = c;
        const QRect placed = pages::placement(frame, areas, taken);
        const QRect area = areas[expectedArea];
        QVERIFY(area.contains(placed));
        QVERIFY(placed.width() <= frame.width() && placed.height() <= frame.height());
        // Shrunk only to fit, or to step clear of a window it would hide.
        if (taken.isEmpty())
            QCOMPARE(placed.size(), frame.size().boundedTo(area.size()));
        if (taken.isEmpty() && area.contains(frame))
            QCOMPARE(placed, frame);
        for (const QPoint& other : taken)
            QVERIFY((other - placed.topLeft()).manhattanLength() >= 16);
    }
};

QTEST_MAIN(TestShell)
#include "test_shell.moc"

