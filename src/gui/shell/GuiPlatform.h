#pragma once
#include "platform/Platform.h"

#include <memory>

class QMessageBox;

namespace marrowick {

// The host as the desktop program provides it: Qt message boxes, the progress
// window and the program-wide mouse pointer.
class GuiPlatform final : public Platform {
public:
    MsgResult MsgBox(const QString& title, const QString& prompt, MsgIcon icon, MsgButtons buttons,
                     std::optional<MsgResult> defaultButton) override;
    void UpdateProgressText(const QString& strProgress) override;
    void ResetProgressBar() override;
    void SetProgressBar(int intAmount) override;
    void IncrementProgressBar(double dblIncrement) override;
    void SetBusyPointer(bool busy) override;
    void EndProgram(int code) override;
    QString OpenFileName(const QString& caption, const QStringList& filters) override;
    QString SaveFileName(const QString& caption, const QString& suggested, const QString& filter) override;
    bool ChoosePrinter(QPagedPaintDevice& printer) override;

    // The box MsgBox shows, not yet shown.
    static std::unique_ptr<QMessageBox> makeBox(const QString& title, const QString& prompt, MsgIcon icon,
                                                MsgButtons buttons, std::optional<MsgResult> defaultButton);
};

} // namespace marrowick
