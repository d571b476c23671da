#include "frmProcessing.h"

#include "platform/Platform.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QVBoxLayout>

namespace marrowick {

namespace {
QPointer<frmProcessing> g_instance;

void yield() { QCoreApplication::processEvents(QEventLoop::AllEvents); }
} // namespace

frmProcessing::frmProcessing()
{
    setObjectName(QStringLiteral("frmProcessing"));
    setWindowTitle(QStringLiteral("Processing..."));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setFixedSize(380, 110);
    setMouseTracking(true);

    auto* layout = new QVBoxLayout(this);
    lblProcessing = new QLabel(this);
    lblProcessing->setTextFormat(Qt::PlainText);
    lblProcessing->setObjectName(QStringLiteral("lblProcessing"));
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    layout->addWidget(lblProcessing);
    layout->addWidget(ProgressBar1);

    platform().SetBusyPointer(true);
}

frmProcessing* frmProcessing::instance()
{
    if (!g_instance) g_instance = new frmProcessing;
    return g_instance;
}

void frmProcessing::Unload()
{
    if (g_instance) {
        g_instance->hide();
        delete g_instance.data();
    }
    platform().SetBusyPointer(false);
}

void frmProcessing::setValue(float value)
{
    m_value = value;
    ProgressBar1->setValue(static_cast<int>(value));
}

void frmProcessing::focusIfVisible()
{
    if (isVisible()) activateWindow();
}

void frmProcessing::UpdateProgressText(const QString& strProgress)
{
    yield();
    lblProcessing->setText(strProgress);
    focusIfVisible();
    repaint();
}

void frmProcessing::ResetProgressBar()
{
    yield();
    setValue(0);
    focusIfVisible();
    repaint();
}

void frmProcessing::SetProgressBar(int intAmount)
{
    yield();
    setValue(static_cast<float>(qBound(0, intAmount, 100)));
    repaint();
}

void frmProcessing::IncrementProgressBar(double dblIncrement)
{
    yield();
    const float next = static_cast<float>(m_value + dblIncrement);
    setValue(next <= 100.0f ? next : 100.0f);
    focusIfVisible();
    ProgressBar1->repaint();
}

void frmProcessing::mouseMoveEvent(QMouseEvent* event)
{
    yield();
    platform().SetBusyPointer(true);
    QWidget::mouseMoveEvent(event);
}

void frmProcessing::closeEvent(QCloseEvent* event)
{
    // The work it reports on decides when it goes.
    event->ignore();
}

} // namespace marrowick
