#include "PageSession.h"
#include "registry/RegistryFault.h"
#include "shell/RegistryConnectionForm.h"
#include "shell/RegistryGateway.h"
#include "shell/frmFetchFromRegistry.h"
#include "shell/frmStep1.h"
#include "shell/frmStep3.h"
#include "shell/frmSendToRegistry.h"
#include "shell/LiveRegistry.h"

#include <array>
#include <QCheckBox>
#include <QDirIterator>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QSettings>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTcpServer>

namespace {

// A registry that answers from the test's script: each record of a send or
// a fetch is reported in turn, `during` runs after the record it names (a
// click, a key), and a fault, when scripted, ends the work.
class ScriptedRegistry final : public RegistryGateway {
public:
    int records = 3;
    int duringRecord = 0;
    std::function<void()> during;
    std::optional<RegistryFault> fault;
    SendSummary sendSummary;
    QList<RejectedRecord> earlier;
    QString outputFile;
    int calls = 0;
    std::optional<ConnectionSettings> lastSettings;

    std::optional<RegistryEndpoint> parseEndpoint(const QString& text, QString* problem) const override
    {
        return RegistryEndpoint::parse(text, problem);
    }
    std::optional<FlagField> parseFlagField(const QString& text, QString* problem) const override
    {
        return FlagField::parse(text, problem);
    }
    QString test(const ConnectionSettings& settings) override
    {
        lastSettings = settings;
        if (fault) throw *fault;
        return QStringLiteral("echo: Marrowick");
    }
    template <class Job, class Progress> void walk(Job& job, Progress at)
    {
        ++calls;
        for (int done = 1; done <= records && !job.cancelled(); ++done) {
            if (fault && done == records) throw *fault;
            at.done = done;
            at.total = records;
            at.recordId = 100 + done;
            job.onProgress(at);
            job.pause(1);
            if (done == duringRecord && during) during();
        }
    }
    SendSummary send(RegistrySend& job) override
    {
        walk(job, SendProgress{0, 0, 0, QStringLiteral("AA")});
        return sendSummary;
    }
    QList<RejectedRecord> rejections() override { return earlier; }
    FetchSummary fetch(RegistryFetch& job) override
    {
        walk(job, FetchProgress{});
        FetchSummary summary;
        summary.outputFile = outputFile;
        return summary;
    }
    QString defaultOutputFile(const QString& databaseFile) const override { return databaseFile + ".fetched.txt"; }
};

const QString kPassword = QStringLiteral("Pw-7Qx!marrow");

// A port on loopback that nobody listens on.
quint16 unusedPort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost);
    return server.serverPort();
}

// Every file under a folder whose bytes hold that text.
QStringList filesHolding(const QString& folder, const QByteArray& text)
{
    QStringList holding;
    for (QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories); it.hasNext();)
        if (const QString file = it.next(); fileBytes(file).contains(text)) holding << file;
    return holding;
}

// The objects the Tab key visits from a widget until it comes back, by name.
QStringList tabWalk(QWidget* start)
{
    QStringList names;
    start->setFocus();
    for (QWidget* at = start; names.size() < 30;) {
        names << at->objectName();
        QTest::keyClick(at, Qt::Key_Tab);
        at = start->window()->focusWidget();
        if (!at || at == start) break;
    }
    return names;
}

// The page's button and the dialog it opens, for rows that cover both.
enum class Side { Send, Fetch };
struct Opened { QPointer<WizardPage> page; QPointer<RegistryDialog> dialog; };
WizardPage* showPage(Side side)
{
    return side == Side::Send ? static_cast<WizardPage*>(pages::show<frmStep1>()) : pages::show<frmStep3>();
}
QPushButton* buttonOf(WizardPage* page)
{
    auto* step1 = qobject_cast<frmStep1*>(page);
    return step1 ? step1->btnSendToRegistry : static_cast<frmStep3*>(page)->btnFetchFromRegistry;
}
Opened openSide(Side side)
{
    WizardPage* page = showPage(side);
    press(buttonOf(page));
    return {page, qobject_cast<RegistryDialog*>(QApplication::activeModalWidget())};
}

void fill(RegistryConnectionForm* form, const QString& endpoint)
{
    form->txtEndpoint->setText(endpoint);
    form->txtUser->setText(QStringLiteral("tester"));
    form->txtFacility->setText(QStringLiteral("IIS-TEST-9"));
    form->txtPassword->setText(kPassword);
}

} // namespace

Q_DECLARE_METATYPE(Side)

class TestRegistryDialogs : public PageTest {
    Q_OBJECT
    ScriptedRegistry* registry = nullptr;
    QTemporaryDir runtime;

private slots:
    // Settings in a folder of the test's own, and no session bus: the user's
    // own secret store must never see the test's password.
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        qunsetenv("DBUS_SESSION_BUS_ADDRESS");
        qunsetenv("DISPLAY");
        qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
    }
    void init()
    {
        PageTest::init();
        QSettings().clear();
        registry = new ScriptedRegistry;
        installRegistryGateway(registry);
    }
    void cleanup()
    {
        PageTest::cleanup();
        installRegistryGateway(nullptr);
        delete registry;
    }

    void sides_data()
    {
        QTest::addColumn<Side>("side");
        QTest::newRow("send") << Side::Send;
        QTest::newRow("fetch") << Side::Fetch;
    }

    // The button sits after the page's own controls, which keep their order;
    // its dialog walks by Tab through every field to its default button, fits
    // a 1024x600 screen at 1.5x, and Escape closes it.
    void dialogsOpenAndWalkByKeyboard_data() { sides_data(); }
    void dialogsOpenAndWalkByKeyboard()
    {
        QFETCH(Side, side);
        WizardPage* shown = showPage(side);
        QVERIFY(QTest::qWaitForWindowActive(shown));
        const QStringList pageOrder = tabWalk(shown->btnBack);
        QCOMPARE(pageOrder.mid(0, 3), QStringList({"btnBack", "btnNext", "btnExit"}));
        const QString before = side == Side::Send ? "btnSaveTestData" : "btnBrowse";
        QCOMPARE(pageOrder.value(pageOrder.indexOf(before) + 1), buttonOf(shown)->objectName());
        auto [page, dialog] = openSide(side);
        QVERIFY(dialog && dialog->isModal());
        QVERIFY(dialog->btnRun->isDefault());
        QStringList expected{"txtEndpoint", "txtUser",   "txtFacility", "txtPassword",
                             "chkRemember", "txtCaFile", "btnBrowseCa", "btnTest"};
        if (side == Side::Fetch) expected << "txtFlagField";
        expected << "btnRun" << "btnClose";
        QCOMPARE(tabWalk(dialog->form->txtEndpoint), expected);
        QCOMPARE(dialog->form->txtPassword->echoMode(), QLineEdit::Password);
        const QSize needed = dialog->minimumSizeHint();
        QVERIFY2(needed.width() <= 683 && needed.height() <= 370,
                 qPrintable(QString("%1x%2").arg(needed.width()).arg(needed.height())));
        QTest::keyClick(dialog->form->txtUser, Qt::Key_Escape);
        settle();
        QVERIFY(!dialog);
    }

    // Without a registry to reach, no page offers one.
    void noGatewayNoButtons()
    {
        installRegistryGateway(nullptr);
        QVERIFY(!pages::show<frmStep1>()->btnSendToRegistry);
        QVERIFY(!pages::show<frmStep3>()->btnFetchFromRegistry);
    }

    // A fault stops the work and is told in its own words, once, in a box;
    // a test connection tells it in the dialog instead. Either way the form
    // is editable again, with the dialog still open.
    void faultsAreToldInTheirOwnWords_data()
    {
        QTest::addColumn<Side>("side");
        QTest::addColumn<bool>("refusedPort"); // the real connection, else the scripted fault
        QTest::addColumn<bool>("byTest");
        for (Side side : {Side::Send, Side::Fetch})
            for (bool byTest : {false, true}) {
                const char* name = side == Side::Send ? "send" : "fetch";
                QTest::addRow("%s%s, SOAP fault", name, byTest ? " test" : "") << side << false << byTest;
                // A refused send is retried with growing pauses first: once is enough.
                if (byTest || side == Side::Send)
                    QTest::addRow("%s%s, refused port", name, byTest ? " test" : "") << side << true << byTest;
            }
    }
    void faultsAreToldInTheirOwnWords()
    {
        QFETCH(Side, side);
        QFETCH(bool, refusedPort);
        QFETCH(bool, byTest);
        LiveRegistry live;
        if (refusedPort) installRegistryGateway(&live);
        registry->fault = RegistryFault(RegistryFault::Kind::Soap, "SecurityFault: <b>bad</b> credentials");
        auto [page, dialog] = openSide(side);
        QString endpoint = "https://iis.example/ws";
        if (refusedPort) endpoint = QString("mllp://127.0.0.1:%1").arg(unusedPort());
        fill(dialog->form, endpoint);
        dialog->barProgress->setValue(dialog->barProgress->maximum());
        press(byTest ? dialog->form->btnTest : dialog->btnRun);
        const QString words = refusedPort ? QString() : QString("SecurityFault: <b>bad</b> credentials");
        if (byTest) {
            QVERIFY(s->host.takeShown().isEmpty());
            QVERIFY(dialog->form->lblStatus->text().startsWith("The connection failed: "));
            QVERIFY(dialog->form->lblStatus->text().contains(words));
        } else {
            const QList<ShownBox> shown = s->host.takeShown();
            QCOMPARE(shown.size(), 1);
            QCOMPARE(shown[0].title, QString("Error"));
            QVERIFY(shown[0].prompt.contains(words) && shown[0].prompt.size() > words.size() + 20);
            // The progress line no longer says the work is under way, nor the bar that an earlier run ended.
            QVERIFY(dialog->barProgress->value() < dialog->barProgress->maximum());
            QVERIFY(!dialog->lblProgress->text().isEmpty());
            QVERIFY(shown[0].prompt.startsWith(dialog->lblProgress->text()));
        }
        QVERIFY(dialog && dialog->isVisible());
        QVERIFY(dialog->form->txtEndpoint->isEnabled() && dialog->btnRun->isEnabled());
        QVERIFY(!dialog->btnCancel->isEnabled());
    }

    // A SOAP test connection carries no credentials: its answer must not
    // pass for a login that worked.
    void testConnectionSaysWhatItChecked_data()
    {
        QTest::addColumn<QString>("endpoint");
        QTest::addColumn<bool>("credentialsUnchecked");
        QTest::newRow("SOAP") << "https://iis.example/ws" << true;
        QTest::newRow("MLLP") << "mllp://127.0.0.1:9" << false;
    }
    void testConnectionSaysWhatItChecked()
    {
        QFETCH(QString, endpoint);
        QFETCH(bool, credentialsUnchecked);
        auto [page, dialog] = openSide(Side::Send);
        fill(dialog->form, endpoint);
        press(dialog->form->btnTest);
        const QString status = dialog->form->lblStatus->text();
        QVERIFY(status.startsWith("The registry answered: echo: Marrowick"));
        QCOMPARE(status.contains("password is checked at Send and Fetch"), credentialsUnchecked);
    }

    // Cancel stops the work after the record in flight; Escape or closing the
    // window does too, and the dialog closes once the work has returned.
    void stoppingMidRunWaitsForTheRecordInFlight_data()
    {
        QTest::addColumn<Side>("side");
        QTest::addColumn<int>("how"); // 0 Cancel, 1 Escape, 2 the window's close
        for (Side side : {Side::Send, Side::Fetch})
            for (int how : {0, 1, 2})
                QTest::addRow("%s, %s", side == Side::Send ? "send" : "fetch",
                              std::array{"Cancel", "Escape", "close"}[how]) << side << how;
    }
    void stoppingMidRunWaitsForTheRecordInFlight()
    {
        QFETCH(Side, side);
        QFETCH(int, how);
        registry->records = 5;
        registry->duringRecord = 2;
        auto [page, dialog] = openSide(side);
        bool openDuring = false;
        registry->during = [&, dialog = dialog] {
            QVERIFY(dialog->btnCancel->isEnabled() && !dialog->form->txtEndpoint->isEnabled());
            if (how == 0) QTest::mouseClick(dialog->btnCancel, Qt::LeftButton);
            if (how == 1) QTest::keyClick(dialog, Qt::Key_Escape);
            if (how == 2) dialog->close();
            settle();
            openDuring = dialog && dialog->isVisible();
        };
        fill(dialog->form, "mllp://127.0.0.1:9");
        press(dialog->btnRun);
        QVERIFY(openDuring);
        QCOMPARE(registry->calls, 1);
        if (how == 0) {
            QCOMPARE(dialog->barProgress->value(), 2);
            QCOMPARE(dialog->barProgress->maximum(), 5);
            QVERIFY(dialog->lblProgress->text().startsWith("Cancelled"));
            QVERIFY(dialog->btnRun->isEnabled());
        } else {
            QTRY_VERIFY(!dialog);
        }
        // A cancelled fetch names no results file.
        if (side == Side::Fetch) QCOMPARE(static_cast<frmStep3*>(page.data())->txtFileName->text(), QString());
    }

    // The records the registry turned away, in its words, as plain text:
    // those of an earlier send as the dialog opens, those of this one after it.
    void rejectedRecordsAreListed_data()
    {
        QTest::addColumn<bool>("earlier");
        QTest::newRow("this send") << false;
        QTest::newRow("an earlier send") << true;
    }
    void rejectedRecordsAreListed()
    {
        QFETCH(bool, earlier);
        const QList<RejectedRecord> rejected{{204, "AR", "E: <i>Birth date</i> in the future"},
                                             {17, "AE", "E: no vaccine\nW: no lot"}};
        (earlier ? registry->earlier : registry->sendSummary.rejected) = rejected;
        registry->sendSummary.sent = 3;
        auto [page, dialog] = openSide(Side::Send);
        auto* send = static_cast<frmSendToRegistry*>(dialog.data());
        QCOMPARE(send->tblRejected->isVisible(), earlier);
        if (!earlier) {
            fill(dialog->form, "mllp://127.0.0.1:9");
            press(dialog->btnRun);
            QCOMPARE(dialog->barProgress->value(), 3);
            QVERIFY(dialog->lblProgress->text().contains("2 rejected"));
        }
        QVERIFY(send->tblRejected->isVisible());
        QCOMPARE(send->tblRejected->rowCount(), 2);
        QCOMPARE(send->tblRejected->item(0, 0)->text(), QString("204"));
        QCOMPARE(send->tblRejected->item(0, 1)->text(), QString("AR"));
        QCOMPARE(send->tblRejected->item(0, 2)->text(), QString("E: <i>Birth date</i> in the future"));
        QCOMPARE(send->tblRejected->item(1, 2)->text(), QString("E: no vaccine\nW: no lot"));
        // A one-line answer takes one line, also when listed before the dialog was laid out.
        QVERIFY(send->tblRejected->rowHeight(0) < 2 * send->tblRejected->fontMetrics().lineSpacing());
    }

    // The fields come back the next time; the password goes to the
    // connection, and into no file: not the settings, not the database's folder.
    void fieldsAreKeptButNeverThePassword_data() { sides_data(); }
    void fieldsAreKeptButNeverThePassword()
    {
        QFETCH(Side, side);
        {
            auto [page, dialog] = openSide(side);
            fill(dialog->form, "https://iis.example/ws");
            dialog->form->txtCaFile->setText("/etc/registry-ca.pem");
            dialog->form->chkRemember->setChecked(true);
            press(dialog->form->btnTest);
            QCOMPARE(registry->lastSettings->credentials.password, kPassword);
            QCOMPARE(registry->lastSettings->credentials.facility, QString("IIS-TEST-9"));
            QCOMPARE(registry->lastSettings->tls.caFile, QString("/etc/registry-ca.pem"));
            press(dialog->btnRun);
            QVERIFY(s->host.takeShown().isEmpty());
            if (dialog) dialog->close();
            settle();
        }
        QSettings settings;
        settings.sync();
        const QByteArray kept = fileBytes(settings.fileName());
        QVERIFY(kept.contains("iis.example") && kept.contains("tester") && kept.contains("IIS-TEST-9"));
        QCOMPARE(filesHolding(QFileInfo(settings.fileName()).absolutePath(), kPassword.toUtf8()), QStringList());
        QCOMPARE(filesHolding(s->db.folder(), kPassword.toUtf8()), QStringList());
        auto [page, dialog] = openSide(side);
        QCOMPARE(dialog->form->txtEndpoint->text(), QString("https://iis.example/ws"));
        QCOMPARE(dialog->form->txtUser->text(), QString("tester"));
        QCOMPARE(dialog->form->txtCaFile->text(), QString("/etc/registry-ca.pem"));
        QVERIFY(dialog->form->chkRemember->isChecked());
        // Offscreen there is no secret store: said in the dialog, and nothing else.
        QTRY_VERIFY(dialog->form->lblStatus->text().contains("secret store"));
        QCOMPARE(dialog->form->txtPassword->text(), QString());
    }

    // The flag field is checked as it is typed; Fetch refuses one that is not
    // a flag field, and otherwise writes the file and names it on the page.
    void flagFieldIsCheckedBeforeFetching_data()
    {
        QTest::addColumn<QString>("flag");
        QTest::addColumn<bool>("valid");
        QTest::newRow("none: every flag N") << "" << true;
        QTest::newRow("OBX by code") << "OBX[PDFLAG]-5=Y" << true;
        QTest::newRow("a PID field") << "PID-30=Y" << true;
        QTest::newRow("no value") << "OBX-5" << false;
        QTest::newRow("words") << "the flag column" << false;
    }
    void flagFieldIsCheckedBeforeFetching()
    {
        QFETCH(QString, flag);
        QFETCH(bool, valid);
        registry->outputFile = s->db.folder() + "/fetched.txt";
        auto [page, dialog] = openSide(Side::Fetch);
        auto* fetch = static_cast<frmFetchFromRegistry*>(dialog.data());
        fill(dialog->form, "mllp://127.0.0.1:9");
        fetch->txtFlagField->setText(flag);
        QCOMPARE(fetch->lblFlagProblem->text().isEmpty(), valid);
        press(dialog->btnRun);
        QCOMPARE(registry->calls, valid ? 1 : 0);
        QCOMPARE(static_cast<frmStep3*>(page.data())->txtFileName->text(),
                 valid ? QDir::toNativeSeparators(registry->outputFile) : QString());
        if (valid)
            QTRY_VERIFY(!dialog);
        else
            QCOMPARE(dialog->focusWidget(), fetch->txtFlagField);
    }
};

QTEST_MAIN(TestRegistryDialogs)
#include "test_registry_dialogs.moc"
