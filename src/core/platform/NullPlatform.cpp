#include "NullPlatform.h"

#include <cstdlib>

namespace marrowick {

MsgResult NullPlatform::MsgBox(const QString&, const QString&, MsgIcon, MsgButtons buttons, std::optional<MsgResult>)
{
    return safeAnswer(buttons);
}

void NullPlatform::UpdateProgressText(const QString&) {}
void NullPlatform::ResetProgressBar() {}
void NullPlatform::SetProgressBar(int) {}
void NullPlatform::IncrementProgressBar(double) {}
void NullPlatform::SetBusyPointer(bool) {}
void NullPlatform::EndProgram(int code) { std::exit(code); }

} // namespace marrowick
