#include "FakePlatform.h"

#include <QTest>

namespace marrowick::test {

FakePlatform::FakePlatform() : m_previous(installPlatform(this)) {}

FakePlatform::~FakePlatform()
{
    installPlatform(m_previous);
    // A box that no test looked at is a box nobody expected.
    for (const ShownBox& box : std::as_const(shown))
        QTest::qFail(qPrintable(QStringLiteral("unexpected message: %1: %2").arg(box.title, box.prompt)), __FILE__, __LINE__);
}

QList<ShownBox> FakePlatform::takeShown() { return std::exchange(shown, {}); }

bool FakePlatform::showedOne(const QString& title, const QString& prompt, MsgIcon icon, bool promptStartsSo)
{
    const QList<ShownBox> boxes = takeShown();
    if (boxes.size() != 1) {
        qWarning("%d boxes shown, expected one: %s", int(boxes.size()), qPrintable(title));
        return false;
    }
    const ShownBox& box = boxes.first();
    const bool promptOk = promptStartsSo ? box.prompt.startsWith(prompt) : box.prompt == prompt;
    if (box.title != title || box.icon != icon || !promptOk) {
        qWarning("box shown: %s: %s", qPrintable(box.title), qPrintable(box.prompt));
        return false;
    }
    return true;
}

QString FakePlatform::OpenFileName(const QString& caption, const QStringList& filters)
{
    dialogCaptions << caption;
    lastFilters = filters;
    if (fileAnswers.isEmpty())
        QTest::qFail(qPrintable(QStringLiteral("unexpected file dialog: ") + caption), __FILE__, __LINE__);
    return fileAnswers.isEmpty() ? QString() : fileAnswers.takeFirst();
}

QString FakePlatform::SaveFileName(const QString& caption, const QString& suggested, const QString&)
{
    return OpenFileName(caption, {suggested});
}

MsgResult FakePlatform::MsgBox(const QString& title, const QString& prompt, MsgIcon icon, MsgButtons buttons,
                               std::optional<MsgResult> defaultButton)
{
    shown.append({title, prompt, icon, buttons, defaultButton});
    if (!answers.isEmpty())
        return answers.takeFirst();
    if (buttons != MsgButtons::Ok)
        QTest::qFail(qPrintable(QStringLiteral("unexpected question: %1: %2").arg(title, prompt)), __FILE__, __LINE__);
    return MsgResult::Ok;
}

} // namespace marrowick::test
