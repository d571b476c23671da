#pragma once
#include "platform/Platform.h"

#include <QList>
#include <QStringList>
#include <functional>

namespace marrowick::test {

struct ShownBox { QString title, prompt; MsgIcon icon; MsgButtons buttons; std::optional<MsgResult> defaultButton; };

// Records every box and answers from a script; a box nobody expected fails the test.
class FakePlatform final : public Platform {
public:
    FakePlatform();
    ~FakePlatform() override;

    void expect(MsgResult answer) { answers.append(answer); }
    // The boxes shown since the last call, cleared.
    QList<ShownBox> takeShown();
    // Exactly one box was shown since the last look, with this title, icon and
    // prompt (or a prompt that starts so); logs what differs.
    bool showedOne(const QString& title, const QString& prompt, MsgIcon icon, bool promptStartsSo = false);

    MsgResult MsgBox(const QString& title, const QString& prompt, MsgIcon icon, MsgButtons buttons,
                     std::optional<MsgResult> defaultButton) override;
    void UpdateProgressText(const QString& strProgress) override { progressTexts.append(strProgress); }
    void ResetProgressBar() override {}
    void SetProgressBar(int amount) override { barTotal = amount; }
    // Answers the file dialogs from fileAnswers (an empty answer is a cancel).
    QString OpenFileName(const QString& caption, const QStringList& filters) override;
    QString SaveFileName(const QString& caption, const QString& suggested, const QString& filter) override;
    // Sets up the printer as the test says; cancelled when it says nothing.
    bool ChoosePrinter(QPagedPaintDevice& printer) override { return choosePrinter && choosePrinter(printer); }
    std::function<bool(QPagedPaintDevice&)> choosePrinter;
    void IncrementProgressBar(double dblIncrement) override
    {
        ++increments;
        barTotal += dblIncrement;
        if (onIncrement)
            onIncrement();
    }
    void SetBusyPointer(bool isBusy) override { busy = isBusy; }
    void EndProgram(int code) override { endedWith = code; }

    QList<ShownBox> shown;
    QList<MsgResult> answers;
    QStringList fileAnswers;
    QStringList dialogCaptions; // every file dialog's caption, in order
    QStringList lastFilters;    // of the last open dialog, or the suggested name of the last save dialog
    QStringList progressTexts;
    int increments = 0;
    double barTotal = 0;
    bool busy = false;
    int endedWith = -1;
    std::function<void()> onIncrement;

private:
    Platform* m_previous;
};

} // namespace marrowick::test
