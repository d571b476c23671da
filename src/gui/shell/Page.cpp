#include "Page.h"

#include "mdlGlobals.h"

#include <QApplication>
#include <QCloseEvent>
#include <algorithm>
#include <QHash>
#include <QPushButton>
#include <QScreen>
#include <QSettings>

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

Page* Page::goTo(const QString& objectName)
{
    Page* target = pages::show(objectName);
    if (target) unload();
    return target;
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

Page* find(const QMetaObject& kind) { return registry().value(QByteArray(kind.className())).data(); }

namespace {
QHash<QString, std::function<Page*()>>& enrolled()
{
    static QHash<QString, std::function<Page*()>> shows;
    return shows;
}
} // namespace

void enroll(const QString& objectName, std::function<Page*()> show) { enrolled().insert(objectName, std::move(show)); }

Page* show(const QString& objectName)
{
    const auto show = enrolled().value(objectName);
    return show ? show() : nullptr;
}

void remember(Page* page) { registry().insert(QByteArray(page->metaObject()->className()), page); }

void forget(Page* page)
{
    auto& pages = registry();
    const QByteArray key(page->metaObject()->className());
    if (pages.value(key) == page) pages.remove(key);
}

void place(QWidget* window)
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect area = screen->availableGeometry();
    window->move(area.center() - QPoint(window->width() / 2, window->height() / 2));
    fitOnScreen(window);
}

QRect placement(QRect frame, const QList<QRect>& areas, const QList<QPoint>& taken)
{
    if (areas.isEmpty()) return frame;
    QRect area = areas.front();
    qint64 best = 0;
    for (const QRect& a : areas) {
        const QRect common = a.intersected(frame);
        if (qint64 shared = qint64(common.width()) * common.height(); !common.isEmpty() && shared > best) {
            best = shared;
            area = a;
        }
    }
    frame.setSize(frame.size().boundedTo(area.size()));
    auto inside = [&](QPoint corner) {
        return QPoint(std::clamp(corner.x(), area.left(), area.left() + area.width() - frame.width()),
                      std::clamp(corner.y(), area.top(), area.top() + area.height() - frame.height()));
    };
    constexpr int kStep = 32;
    auto occupied = [&](QPoint corner) {
        return std::any_of(taken.begin(), taken.end(),
                           [&](QPoint t) { return (t - corner).manhattanLength() < kStep / 2; });
    };
    QPoint corner = inside(frame.topLeft());
    for (int tries = 0, restarts = 0; occupied(corner) && tries < 64; ++tries) {
        QPoint next = corner + QPoint(kStep, kStep);
        const QSize room(area.left() + area.width() - next.x(), area.top() + area.height() - next.y());
        if (room.width() < frame.width() || room.height() < frame.height()) {
            // Past the far corner: a large window gives up the step in size,
            // a smaller one starts again at the top, a little further right.
            if (room.width() >= area.width() / 2 && room.height() >= area.height() / 2)
                frame.setSize(frame.size().boundedTo(room));
            else
                next = inside(area.topLeft() + QPoint(++restarts * kStep / 2, 0));
        }
        corner = next;
    }
    frame.moveTopLeft(corner);
    return frame;
}

void fitOnScreen(QWidget* window)
{
    QList<QRect> areas;
    if (const QScreen* own = window->screen()) areas << own->availableGeometry();
    for (const QScreen* screen : QGuiApplication::screens()) areas << screen->availableGeometry();
    // Before a window is first shown its frame is unknown: assume a usual one.
    const QMargins frame = window->isVisible() && window->frameGeometry() != window->geometry()
                               ? QMargins(window->geometry().left() - window->frameGeometry().left(),
                                          window->geometry().top() - window->frameGeometry().top(),
                                          window->frameGeometry().right() - window->geometry().right(),
                                          window->frameGeometry().bottom() - window->geometry().bottom())
                               : QMargins(4, 32, 4, 4);
    QList<QPoint> taken;
    for (const QWidget* other : QApplication::topLevelWidgets())
        if (other != window && other->isVisible() && other->objectName() == window->objectName())
            taken << other->frameGeometry().topLeft();
    // A top-level window's position is that of its frame.
    const QRect placed = placement(QRect(window->pos(), window->size().grownBy(frame)), areas, taken);
    const QSize size = placed.size().shrunkBy(frame);
    // A page of fixed size gives way too: on a small or scaled screen its
    // buttons would otherwise lie past the screen's edge.
    if (window->minimumSize() == window->maximumSize() && size != window->size()) window->setFixedSize(size);
    window->resize(size);
    window->move(placed.topLeft());
}

namespace {
const char* const kPlaceKey = "placeKey";
}

void keepPlaceUnder(QWidget* window, const QString& key) { window->setProperty(kPlaceKey, key); }

void savePlaces()
{
    QSettings settings;
    for (QWidget* window : QApplication::topLevelWidgets())
        if (const QString key = window->property(kPlaceKey).toString(); !key.isEmpty() && window->isVisible())
            settings.setValue(key, window->saveGeometry());
    settings.sync();
}

void refreshAll()
{
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->metaObject()->indexOfMethod("refresh()") >= 0) QMetaObject::invokeMethod(window, "refresh");
}
} // namespace pages

} // namespace marrowick
