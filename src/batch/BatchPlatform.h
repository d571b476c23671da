#pragma once
#include "platform/NullPlatform.h"

namespace marrowick {

// The host on a terminal: boxes go to stderr as "Title: text"; questions are
// answered the safe way (No, Cancel), since nobody is there to answer them;
// progress is a one-line bar, and only on a terminal.
class BatchPlatform final : public NullPlatform {
public:
    BatchPlatform();
    MsgResult MsgBox(const QString& title, const QString& prompt, MsgIcon icon, MsgButtons buttons,
                     std::optional<MsgResult> defaultButton) override;
    void UpdateProgressText(const QString& strProgress) override;
    void ResetProgressBar() override;
    void SetProgressBar(int intAmount) override;
    void IncrementProgressBar(double dblIncrement) override;
    void EndProgram(int code) override;
    // Takes the progress line off the terminal.
    void clearLine();

private:
    void draw(bool force);

    bool m_terminal;
    QString m_text;
    double m_value = 0;
    int m_drawn = -1;
    bool m_lineShown = false;
};

} // namespace marrowick
