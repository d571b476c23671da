#include "DataWindow.h"

#include "shell/Page.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QTableView>

namespace marrowick::windows {

void restorePlace(QWidget* window, const QString& key, QSize size)
{
    const QByteArray saved = QSettings().value(key).toByteArray();
    if (saved.isEmpty() || !window->restoreGeometry(saved))
        window->resize(size);
    pages::fitOnScreen(window);
}

void prepareGrid(QTableView* grid)
{
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->verticalHeader()->setVisible(false);
    grid->horizontalHeader()->setStretchLastSection(true);
}

QLabel* plainLabel(QWidget* parent, const QString& objectName)
{
    auto* label = new QLabel(parent);
    label->setObjectName(objectName);
    label->setTextFormat(Qt::PlainText); // the text comes from the data
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

QPushButton* button(QWidget* parent, const QString& objectName, const QString& caption)
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(objectName);
    b->setAutoDefault(false);
    return b;
}

void placeNear(QWidget* window, QWidget* near)
{
    if (near && QSettings().value(QStringLiteral("windows/%1").arg(window->objectName())).isNull())
        window->move(near->geometry().topLeft() + QPoint(40, 40));
}

bool closedByEscape(QWidget* window, QKeyEvent* event)
{
    if (event->key() != Qt::Key_Escape || event->modifiers() != Qt::NoModifier)
        return false;
    window->close();
    return true;
}

void showAndActivate(QWidget* window)
{
    window->show();
    window->activateWindow();
}

} // namespace marrowick::windows
