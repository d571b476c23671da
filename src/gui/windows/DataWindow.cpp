#include "DataWindow.h"

#include "database/DbError.h"
#include "history/RunHistory.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QTableView>

namespace marrowick {

using namespace windows;

DataWindow::DataWindow(const QString& objectName)
{
    setObjectName(objectName);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowFlag(Qt::Window);
}

// Only a window that was placed has a place to keep: one whose constructor
// threw never was, and must not overwrite the last window's place.
DataWindow::~DataWindow()
{
    if (m_placed) QSettings().setValue(placeKey(), saveGeometry());
}

QString DataWindow::placeKey() const { return QStringLiteral("windows/") + objectName(); }

QHBoxLayout* DataWindow::outputRow()
{
    btnPrint = button(this, QStringLiteral("btnPrint"), QStringLiteral("&Print..."));
    btnExportPdf = button(this, QStringLiteral("btnExportPdf"), QStringLiteral("Export P&DF..."));
    lblSaved = plainLabel(this, QStringLiteral("lblSaved"));
    auto* row = new QHBoxLayout;
    row->addWidget(btnPrint);
    row->addWidget(btnExportPdf);
    row->addWidget(lblSaved, 1);
    row->addWidget(closeButton());
    return row;
}

QPushButton* DataWindow::closeButton()
{
    btnClose = button(this, QStringLiteral("btnClose"), QStringLiteral("&Close"));
    connect(btnClose, &QPushButton::clicked, this, &QWidget::close);
    return btnClose;
}

void DataWindow::restorePlace(QSize size)
{
    pages::keepPlaceUnder(this, placeKey());
    const QByteArray saved = QSettings().value(placeKey()).toByteArray();
    if (saved.isEmpty() || !restoreGeometry(saved)) resize(size);
    pages::fitOnScreen(this);
    m_placed = true;
}

void DataWindow::placeNear(QWidget* near)
{
    if (near && QSettings().value(placeKey()).isNull()) move(near->geometry().topLeft() + QPoint(40, 40));
}

void DataWindow::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier)
        close();
    else
        QWidget::keyPressEvent(event);
}

namespace windows {
namespace {
// A title without its run is better than a window that does not open.
std::optional<SavedRun> currentRun()
{
    try {
        const std::optional<qint64> newest = history::resolveRun(-1);
        return newest ? history::savedRun(*newest) : std::nullopt;
    } catch (const DbError&) {
        return std::nullopt;
    }
}
} // namespace

QString currentRunCaption()
{
    const std::optional<SavedRun> run = currentRun();
    return run ? QStringLiteral("run %1, %2").arg(run->run).arg(run->file) : QString();
}

QString currentRunLine()
{
    const std::optional<SavedRun> run = currentRun();
    return run ? QStringLiteral("Reports of run %1, %2, evaluated %3 UTC")
                     .arg(run->run)
                     .arg(run->file, run->time.toString(QStringLiteral("yyyy-MM-dd HH:mm")))
               : QStringLiteral("The reports show data loaded before runs were kept.");
}

void prepareGrid(QTableView* grid)
{
    // Tab leaves the grid for the next control; the arrows move within it.
    grid->setTabKeyNavigation(false);
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

void showAndActivate(QWidget* window)
{
    window->show();
    window->activateWindow();
}
} // namespace windows

} // namespace marrowick
