// The program: the host on Qt, the report pages enrolled with the wizard's
// navigation, and the wizard's first page.
#include "shell/GuiPlatform.h"
#include "shell/LiveRegistry.h"
#include "shell/Page.h"
#include "shell/frmMain.h"
#include "windows/frmAnalysisReports.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Marrowick"));
    QApplication::setOrganizationName(QStringLiteral("Marrowick"));
    QApplication::setDesktopFileName(QStringLiteral("org.marrowick.Marrowick"));
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/marrowick-%1.png").arg(size), QSize(size, size));
    QApplication::setWindowIcon(icon); // every window's
    marrowick::GuiPlatform host;
    marrowick::installPlatform(&host);
    marrowick::LiveRegistry registry;
    marrowick::installRegistryGateway(&registry);
    marrowick::frmAnalysisReports::enroll();
    marrowick::pages::show<marrowick::frmMain>();
    return QApplication::exec();
}
