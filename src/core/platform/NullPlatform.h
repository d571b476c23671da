#pragma once
#include "Platform.h"

namespace marrowick {

// A host with nobody at the screen: boxes get the answer that changes nothing,
// progress and the busy pointer go nowhere, and the end of the program is
// exit(). The silent hosts override only what they show.
class NullPlatform : public Platform {
public:
    MsgResult MsgBox(const QString& title, const QString& prompt, MsgIcon icon, MsgButtons buttons,
                     std::optional<MsgResult> defaultButton) override;
    void UpdateProgressText(const QString& strProgress) override;
    void ResetProgressBar() override;
    void SetProgressBar(int intAmount) override;
    void IncrementProgressBar(double dblIncrement) override;
    void SetBusyPointer(bool busy) override;
    void EndProgram(int code) override;
};

} // namespace marrowick
