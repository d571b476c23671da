#include "GuiPlatform.h"

#include "frmProcessing.h"
#include "Page.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QPrintDialog>
#include <QPrinter>
#include <QMessageBox>
#include <cstdio>
#include <cstdlib>

namespace marrowick {

std::unique_ptr<QMessageBox> GuiPlatform::makeBox(const QString& title, const QString& prompt, MsgIcon icon,
                                                  MsgButtons buttons, std::optional<MsgResult> defaultButton)
{
    auto owned = std::make_unique<QMessageBox>(QApplication::activeWindow());
    QMessageBox& box = *owned;
    box.setWindowTitle(title);
    box.setTextFormat(Qt::PlainText);
    box.setText(QString(prompt).replace(QLatin1Char('\r'), QLatin1Char('\n')));
    switch (icon) {
    case MsgIcon::Critical:
        box.setIcon(QMessageBox::Critical);
        break;
    case MsgIcon::Exclamation:
        box.setIcon(QMessageBox::Warning);
        break;
    case MsgIcon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    }
    switch (buttons) {
    case MsgButtons::Ok:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case MsgButtons::OkCancel:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        box.setEscapeButton(QMessageBox::Cancel);
        break;
    case MsgButtons::YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setEscapeButton(QMessageBox::No);
        break;
    case MsgButtons::RetryCancel:
        box.setStandardButtons(QMessageBox::Retry | QMessageBox::Cancel);
        box.setEscapeButton(QMessageBox::Cancel);
        break;
    }
    if (defaultButton) {
        switch (*defaultButton) {
        case MsgResult::Ok:
            box.setDefaultButton(QMessageBox::Ok);
            break;
        case MsgResult::Cancel:
            box.setDefaultButton(QMessageBox::Cancel);
            break;
        case MsgResult::Yes:
            box.setDefaultButton(QMessageBox::Yes);
            break;
        case MsgResult::No:
            box.setDefaultButton(QMessageBox::No);
            break;
        case MsgResult::Retry:
            box.setDefaultButton(QMessageBox::Retry);
            break;
        }
    }
    return owned;
}

MsgResult GuiPlatform::MsgBox(const QString& title, const QString& prompt, MsgIcon icon, MsgButtons buttons,
                              std::optional<MsgResult> defaultButton)
{
    const std::unique_ptr<QMessageBox> box = makeBox(title, prompt, icon, buttons, defaultButton);
    // A message box needs the arrow, whatever the work behind it set.
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    const int pressed = box->exec();
    QApplication::restoreOverrideCursor();
    switch (pressed) {
    case QMessageBox::Ok:
        return MsgResult::Ok;
    case QMessageBox::Yes:
        return MsgResult::Yes;
    case QMessageBox::No:
        return MsgResult::No;
    case QMessageBox::Retry:
        return MsgResult::Retry;
    default:
        return buttons == MsgButtons::YesNo ? MsgResult::No : MsgResult::Cancel;
    }
}

void GuiPlatform::UpdateProgressText(const QString& strProgress)
{
    frmProcessing::instance()->UpdateProgressText(strProgress);
}
void GuiPlatform::ResetProgressBar() { frmProcessing::instance()->ResetProgressBar(); }
void GuiPlatform::SetProgressBar(int intAmount) { frmProcessing::instance()->SetProgressBar(intAmount); }
void GuiPlatform::IncrementProgressBar(double dblIncrement)
{
    frmProcessing::instance()->IncrementProgressBar(dblIncrement);
}

void GuiPlatform::SetBusyPointer(bool busy)
{
    if (busy) {
        if (QApplication::overrideCursor())
            QApplication::changeOverrideCursor(Qt::WaitCursor);
        else
            QApplication::setOverrideCursor(Qt::WaitCursor);
        return;
    }
    while (QApplication::overrideCursor()) QApplication::restoreOverrideCursor();
}

namespace {

// Each dialog opens in the folder it was last used in, else in Documents.
// Only a folder that exists: the dialog takes any other path's last part for
// a file name and opens elsewhere.
QString lastFolder(const QString& caption)
{
    for (const QString& folder : {QSettings().value(QStringLiteral("folders/") + caption).toString(),
                                  QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)})
        if (!folder.isEmpty() && QFileInfo(folder).isDir()) return folder;
    return QDir::homePath();
}

QString remembered(const QString& caption, const QString& chosen)
{
    if (!chosen.isEmpty()) QSettings().setValue(QStringLiteral("folders/") + caption, QFileInfo(chosen).absolutePath());
    return chosen;
}

} // namespace

QString GuiPlatform::OpenFileName(const QString& caption, const QStringList& filters)
{
    QFileDialog dialog(QApplication::activeWindow(), caption, lastFolder(caption));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(filters);
    dialog.selectNameFilter(filters.value(0));
    // The dialog's own size may be larger than a small or scaled screen.
    pages::fitOnScreen(&dialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return remembered(caption, dialog.selectedFiles().first());
}

QString GuiPlatform::SaveFileName(const QString& caption, const QString& suggested, const QString& filter)
{
    const QString start = QFileInfo(suggested).isAbsolute() ? suggested : QDir(lastFolder(caption)).filePath(suggested);
    QFileDialog dialog(QApplication::activeWindow(), caption, start, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    pages::fitOnScreen(&dialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return remembered(caption, dialog.selectedFiles().first());
}

bool GuiPlatform::ChoosePrinter(QPagedPaintDevice& printer)
{
    auto* qprinter = dynamic_cast<QPrinter*>(&printer);
    if (!qprinter) return false;
    QPrintDialog dialog(qprinter, QApplication::activeWindow());
    return dialog.exec() == QDialog::Accepted;
}

void GuiPlatform::EndProgram(int code)
{
    // At once: no further window events run, even from inside an analysis.
    // No destructor runs either: the windows' places are saved here.
    pages::savePlaces();
    std::fflush(nullptr);
    std::_Exit(code);
}

} // namespace marrowick
