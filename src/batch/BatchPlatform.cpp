#include "BatchPlatform.h"

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace marrowick {

BatchPlatform::BatchPlatform() : m_terminal(::isatty(STDERR_FILENO) == 1) {}

void BatchPlatform::clearLine()
{
    if (m_lineShown) {
        std::fputs("\r\033[K", stderr);
        m_lineShown = false;
        m_drawn = -1;
    }
}

MsgResult BatchPlatform::MsgBox(const QString& title, const QString& prompt, MsgIcon, MsgButtons buttons,
                                std::optional<MsgResult>)
{
    clearLine();
    QString text = prompt;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    std::fprintf(stderr, "%s: %s\n", title.toLocal8Bit().constData(), text.toLocal8Bit().constData());
    std::fflush(stderr);
    return safeAnswer(buttons);
}

void BatchPlatform::draw(bool force)
{
    if (!m_terminal) return;
    const int percent = int(m_value);
    if (!force && percent == m_drawn) return;
    m_drawn = percent;
    const int filled = percent * 30 / 100;
    std::fprintf(stderr, "\r\033[K%s [%.*s%*s] %3d%%", m_text.toLocal8Bit().constData(), filled,
                 "##############################", 30 - filled, "", percent);
    std::fflush(stderr);
    m_lineShown = true;
}

void BatchPlatform::UpdateProgressText(const QString& strProgress)
{
    m_text = strProgress;
    draw(true);
}

void BatchPlatform::ResetProgressBar()
{
    m_value = 0;
    draw(true);
}

void BatchPlatform::SetProgressBar(int intAmount)
{
    m_value = intAmount < 0 ? 0 : (intAmount > 100 ? 100 : intAmount);
    draw(false);
}

void BatchPlatform::IncrementProgressBar(double dblIncrement)
{
    m_value = m_value + dblIncrement <= 100 ? m_value + dblIncrement : 100;
    draw(false);
}

void BatchPlatform::EndProgram(int code)
{
    clearLine();
    std::exit(code);
}

} // namespace marrowick
