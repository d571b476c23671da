// Walks the wizard on a sample results file and saves every page as a PNG,
// for the README and for looking at the windows as a user sees them.
#include "database/EvalDatabase.h"
#include "platform/NullPlatform.h"
#include "windows/frmAnalysisReports.h"
#include "reports/ReportCatalogue.h"
#include "windows/ReportPreview.h"
#include "windows/frmDashboard.h"
#include "windows/frmExplain.h"
#include "windows/frmOutcomeList.h"
#include "windows/frmRep1.h"
#include "shell/GuiPlatform.h"
#include "shell/frmMain.h"
#include "shell/WizardPage.h"
#include "shell/frmStep3.h"
#include "shell/mdlGlobals.h"

#include <QApplication>
#include <QScreen>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QPrintPreviewWidget>
#include <QTableView>
#include <cstdio>

using namespace marrowick;

namespace {
// Answers every box with its first button, so the walk never waits.
class Answering final : public NullPlatform {
public:
    MsgResult MsgBox(const QString& title, const QString& prompt, MsgIcon, MsgButtons buttons,
                     std::optional<MsgResult>) override
    {
        std::fprintf(stderr, "%s: %s\n", qPrintable(title), qPrintable(prompt));
        return buttons == MsgButtons::YesNo ? MsgResult::Yes : MsgResult::Ok;
    }
    void UpdateProgressText(const QString& t) override { gui.UpdateProgressText(t); }
    void ResetProgressBar() override { gui.ResetProgressBar(); }
    void SetProgressBar(int a) override { gui.SetProgressBar(a); }
    void IncrementProgressBar(double d) override { gui.IncrementProgressBar(d); }
    void SetBusyPointer(bool b) override { gui.SetBusyPointer(b); }
    GuiPlatform gui;
};

void save(QWidget* window, const QDir& out, const QString& name)
{
    QApplication::processEvents();
    window->grab().save(out.filePath(name + QStringLiteral(".png")));
}

// The data window that a row of the viewer opened, saved and closed.
template <class Window>
void saveOpened(const QDir& out, const QString& name)
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* window = qobject_cast<Window*>(w); window && window->isVisible()) {
            save(window, out, name);
            window->close();
        }
}
} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    if (argc < 4) {
        std::fprintf(stderr, "usage: marrowick-screenshots DATABASE RESULTS_FILE OUTPUT_DIR\n");
        return 2;
    }
    Answering host;
    installPlatform(&host);
    frmAnalysisReports::enroll();
    mdlGlobals::SetDatabasePath(QString::fromLocal8Bit(argv[1]));
    const QDir out(QString::fromLocal8Bit(argv[3]));
    QDir().mkpath(out.path());

    QWidget* page = pages::show<frmMain>();
    save(page, out, QStringLiteral("1-welcome"));
    for (const char* name : {"2-step1", "3-step2"}) {
        static_cast<WizardPage*>(page)->btnNext->click();
        QApplication::processEvents();
        page = QApplication::activeWindow() ? QApplication::activeWindow() : page;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isVisible() && qobject_cast<WizardPage*>(w)) page = w;
        save(page, out, QLatin1String(name));
    }
    static_cast<WizardPage*>(page)->btnNext->click();
    auto* step3 = pages::loaded<frmStep3>();
    step3->txtFileName->setText(QString::fromLocal8Bit(argv[2]));
    save(step3, out, QStringLiteral("4-step3"));
    step3->btnNext->click();
    auto* reports = pages::loaded<frmAnalysisReports>();
    if (!reports) return 3;
    save(reports, out, QStringLiteral("5-reports"));
    for (int index = 0; index < 8; ++index) {
        reports->lstReports->setCurrentRow(index);
        reports->btnView->click();
        auto* viewer = pages::loaded<frmRep1>();
        if (!viewer) return 3;
        save(viewer, out, QStringLiteral("6-report%1").arg(index));
        if (index == 4) {
            // As a window manager maximises it: the whole available screen.
            const QRect normal = viewer->geometry();
            viewer->setGeometry(viewer->screen()->availableGeometry());
            save(viewer, out, QStringLiteral("6-report4-maximised"));
            viewer->setGeometry(normal);
        }
        if (index == 1 || index == 7) {
            viewer->btnPrint->click();
            if (ReportPreview* preview = ReportPreview::liveInstance(*reportAt(index))) {
                preview->preview->fitToWidth();
                save(preview, out, QStringLiteral("7-preview%1").arg(index));
                preview->preview->zoomIn(1.25);
                preview->preview->zoomIn(1.25);
                save(preview, out, QStringLiteral("7-preview%1-zoomed").arg(index));
                preview->close();
            }
        }
        if (index == 1 || index == 4) {
            emit viewer->DataGrid1->activated(viewer->DataGrid1->model()->index(0, 0));
            saveOpened<frmOutcomeList>(out, QStringLiteral("8-records%1").arg(index));
            saveOpened<frmExplain>(out, QStringLiteral("8-explanation%1").arg(index));
        }
        viewer->btnBack->click();
        QApplication::processEvents();
    }
    if (frmDashboard* dashboard = frmDashboard::open(reports)) save(dashboard, out, QStringLiteral("9-dashboard"));
    return 0;
}
