#include "FakePlatform.h"

#include <QTest>

namespace marrowick::test {

FakePlatform::FakePlatform() : m_previous(installPlatform(this)) {}

FakePlatform::~FakePlatform() { installPlatform(m_previous); }

QList<ShownBox> FakePlatform::takeShown()
{
    QList<ShownBox> boxes = shown;
    shown.clear();
    return boxes;
}

MsgResult FakePlatform::MsgBox(const QString& title, const QString& prompt, MsgIcon icon, MsgButtons buttons)
{
    shown.append({title, prompt, icon, buttons});
    if (!answers.isEmpty())
        return answers.takeFirst();
    if (buttons != MsgButtons::Ok)
        QTest::qFail(qPrintable(QStringLiteral("unexpected question: %1: %2").arg(title, prompt)), __FILE__, __LINE__);
    return MsgResult::Ok;
}

} // namespace marrowick::test
