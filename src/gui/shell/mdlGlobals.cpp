#include "mdlGlobals.h"

#include "database/Db.h"
#include "database/EvalDatabase.h"
#include "platform/FileRefused.h"
#include "platform/Platform.h"

namespace marrowick::mdlGlobals {

QString strDBPath;

namespace {
QString g_pathOverride;
}

void SetDatabasePath(const QString& path) { g_pathOverride = path; }

bool OpenDatabase()
{
    strDBPath = g_pathOverride.isEmpty() ? defaultDatabasePath() : g_pathOverride;
    try {
        openEvalDatabase(strDBPath);
        return true;
    } catch (const FileRefused&) {
        showCurrentFailure(QString()); // a refused database file is told whole
        return false;
    }
}

void CloseDatabase() { closeEvalDatabase(); }

bool DatabaseIsOpen() { return cnEval().isOpen(); }

bool ConfirmExit()
{
    const MsgResult answer =
        platform().MsgBox(QStringLiteral("Exit Program"), QStringLiteral("You have chosen to exit the Marrowick."),
                          MsgIcon::Information, MsgButtons::OkCancel);
    if (answer != MsgResult::Ok) return false;
    CloseDatabase();
    if (!strDBPath.isEmpty()) setFileReadOnly(strDBPath, true);
    platform().EndProgram(0);
    return true;
}

} // namespace marrowick::mdlGlobals
