#include "Page.h"

#include "mdlGlobals.h"

#include <QCloseEvent>
#include <algorithm>
#include <QGuiApplication>
#include <QHash>
#include <QPushButton>
#include <QScreen>

namespace marrowick {

Page::Page(QSize size, QWidget* parent) : QWidget(parent)
{
    setFixedSize(size);
    setAttribute(Qt::WA_DeleteOnClose, false);
}

Page::~Page() = default;

void Page::unload()
{
    m_unloading = true;
    pages::forget(this);
    hide();
    deleteLater();
}

QPushButton* Page::makeButton(const QString& objectName, const QString& caption)
{
    auto* button = new QPushButton(caption, this);
    button->setObjectName(objectName);
    button->setAutoDefault(false);
    button->setMinimumWidth(90);
    return button;
}

void Page::closeEvent(QCloseEvent* event)
{
    if (m_unloading) {
        event->accept();
        return;
    }
    event->ignore();
    mdlGlobals::ConfirmExit();
}

namespace pages {
namespace {
QHash<QByteArray, QPointer<Page>>& registry()
{
    static QHash<QByteArray, QPointer<Page>> pages;
    return pages;
}
} // namespace

Page* find(const QMetaObject& kind)
{
    return registry().value(QByteArray(kind.className())).data();
}

Page* find(const QString& objectName)
{
    for (const QPointer<Page>& page : std::as_const(registry()))
        if (page && page->objectName() == objectName)
            return page.data();
    return nullptr;
}

void remember(Page* page) { registry().insert(QByteArray(page->metaObject()->className()), page); }

void forget(Page* page)
{
    auto& pages = registry();
    const QByteArray key(page->metaObject()->className());
    if (pages.value(key) == page)
        pages.remove(key);
}

void place(QWidget* window)
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    window->move(area.center() - QPoint(window->width() / 2, window->height() / 2));
}

void fitOnScreen(QWidget* window)
{
    const QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    // Room for the frame the window manager adds.
    window->resize(std::min(window->width(), area.width() - 16), std::min(window->height(), area.height() - 48));
    QRect placed = window->frameGeometry();
    placed.moveLeft(std::clamp(placed.left(), area.left(), std::max(area.left(), area.right() - placed.width())));
    placed.moveTop(std::clamp(placed.top(), area.top(), std::max(area.top(), area.bottom() - placed.height())));
    window->move(placed.topLeft());
}
} // namespace pages

} // namespace marrowick
