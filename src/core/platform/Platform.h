#pragma once
#include <QString>
#include <QStringList>
#include <optional>

class QPagedPaintDevice;

namespace marrowick {

enum class MsgIcon { Critical, Exclamation, Information };
enum class MsgButtons { Ok, OkCancel, YesNo, RetryCancel };
enum class MsgResult { Ok, Cancel, Yes, No, Retry };

// What the host provides to the core: message boxes, the progress window's
// four operations, the busy pointer and the end of the program. The widgets,
// the command-line program and the tests each implement it.
class Platform {
public:
    virtual ~Platform() = default;

    // Without a default button, the first one is the default. Prompts are plain
    // text, never markup: they carry paths and file contents.
    virtual MsgResult MsgBox(const QString& title, const QString& prompt, MsgIcon icon, MsgButtons buttons,
                             std::optional<MsgResult> defaultButton = std::nullopt) = 0;

    virtual void UpdateProgressText(const QString& strProgress) = 0;
    virtual void ResetProgressBar() = 0;
    virtual void SetProgressBar(int intAmount) = 0;
    virtual void IncrementProgressBar(double dblIncrement) = 0;
    virtual void SetBusyPointer(bool busy) = 0;

    // Ends the program at once, without running further events.
    virtual void EndProgram(int code) = 0;

    // The dialogs of the windows, here so that tests can script them. A host
    // without windows answers each as cancelled: an empty path, false.
    // An existing file to open; filters as "Text Files (*.txt)", the first preselected.
    virtual QString OpenFileName(const QString& caption, const QStringList& filters);
    // A file to write, suggesting a name (in the folder last used when the
    // suggestion names none).
    virtual QString SaveFileName(const QString& caption, const QString& suggested, const QString& filter);
    // Lets the user set up the printer (a QPrinter); false when cancelled.
    virtual bool ChoosePrinter(QPagedPaintDevice& printer);
};

Platform& platform();
// The answer that changes nothing (Cancel, No), for hosts with nobody to ask.
MsgResult safeAnswer(MsgButtons buttons);
// Installs the host's implementation; returns the previous one.
Platform* installPlatform(Platform* host);

} // namespace marrowick
