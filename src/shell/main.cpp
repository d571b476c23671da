#include "GuiPlatform.h"
#include "Page.h"
#include "WizardPage.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Marrowick"));
    QApplication::setOrganizationName(QStringLiteral("Marrowick"));
    marrowick::GuiPlatform host;
    marrowick::installPlatform(&host);
    marrowick::pages::show<marrowick::frmMain>();
    return QApplication::exec();
}
