#include "Platform.h"

#include "NullPlatform.h"

#include <cstdio>

namespace marrowick {
namespace {

// Used until a host installs its own: writes boxes to stderr and answers the
// safe way (Cancel / No), so a forgotten installation never loses data.
class StderrPlatform final : public NullPlatform {
public:
    MsgResult MsgBox(const QString& title, const QString& prompt, MsgIcon, MsgButtons buttons,
                     std::optional<MsgResult>) override
    {
        QString text = prompt;
        text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
        std::fprintf(stderr, "%s: %s\n", qPrintable(title), qPrintable(text));
        return safeAnswer(buttons);
    }
};

StderrPlatform g_default;
Platform* g_current = &g_default;

} // namespace

Platform& platform() { return *g_current; }

QString Platform::OpenFileName(const QString&, const QStringList&) { return {}; }
QString Platform::SaveFileName(const QString&, const QString&, const QString&) { return {}; }
bool Platform::ChoosePrinter(QPagedPaintDevice&) { return false; }

MsgResult safeAnswer(MsgButtons buttons)
{
    switch (buttons) {
    case MsgButtons::Ok:
        return MsgResult::Ok;
    case MsgButtons::OkCancel:
    case MsgButtons::RetryCancel:
        return MsgResult::Cancel;
    case MsgButtons::YesNo:
        return MsgResult::No;
    }
    return MsgResult::Ok;
}

Platform* installPlatform(Platform* host)
{
    Platform* previous = g_current;
    g_current = host ? host : &g_default;
    return previous;
}

} // namespace marrowick
