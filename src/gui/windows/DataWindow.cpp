#include "DataWindow.h"

#include <QHBoxLayout>

#include "history/RunHistory.h"
#include "shell/Page.h"

#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QTableView>

namespace marrowick::windows {

void RowFilter::require(int key, const QList<int>& columns, const QString& value)
{
    m_required[key] = {columns, value};
    invalidateFilter();
}

bool RowFilter::filterAcceptsRow(int row, const QModelIndex& parent) const
{
    for (const auto& [key, condition] : m_required) {
        // Named, not bound: the clang of the function-size check (14) cannot capture a structured binding.
        const auto& columns = condition.first;
        const QString& value = condition.second;
        if (!value.isEmpty() && std::none_of(columns.begin(), columns.end(), [&](int column) {
                return sourceModel()->index(row, column, parent).data().toString() == value;
            }))
            return false;
    }
    return true;
}

bool RowFilter::lessThan(const QModelIndex& left, const QModelIndex& right) const
{
    bool leftIsNumber = false, rightIsNumber = false;
    const double a = left.data().toString().toDouble(&leftIsNumber), b = right.data().toString().toDouble(&rightIsNumber);
    if (leftIsNumber && rightIsNumber)
        return a < b;
    // Numbers before text, so that a column of both still sorts in one order.
    if (leftIsNumber != rightIsNumber)
        return leftIsNumber;
    return QString::localeAwareCompare(left.data().toString(), right.data().toString()) < 0;
}

RowFilter* sortAndFilter(QTableView* grid, QAbstractItemModel* rows)
{
    auto* filter = new RowFilter(grid);
    filter->setSourceModel(rows);
    grid->setModel(filter);
    grid->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    grid->setSortingEnabled(true);
    return filter;
}

QComboBox* filterChoice(QWidget* parent, const QString& objectName, RowFilter* filter, int key, const QList<int>& columns)
{
    auto* choice = new QComboBox(parent);
    choice->setObjectName(objectName);
    choice->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    QObject::connect(choice, &QComboBox::currentIndexChanged, filter,
                     [=] { filter->require(key, columns, choice->currentData().toString()); });
    return choice;
}

void offerValues(QComboBox* choice, const QString& all, const QAbstractItemModel& rows, const QList<int>& columns)
{
    const QString kept = choice->currentData().toString();
    QStringList values;
    for (int row = 0; row < rows.rowCount(); ++row)
        for (int column : columns)
            if (const QString value = rows.index(row, column).data().toString(); !value.isEmpty() && !values.contains(value))
                values << value;
    values.sort();
    choice->clear();
    choice->addItem(all, QString());
    for (const QString& value : values)
        choice->addItem(value, value);
    choice->setCurrentIndex(std::max(0, choice->findData(kept)));
}

namespace {
const char* const kPlaceKey = "placeKey";
}

void keepPlaceUnder(QWidget* window, const QString& key) { window->setProperty(kPlaceKey, key); }

void restorePlace(QWidget* window, const QString& key, QSize size)
{
    keepPlaceUnder(window, key);
    const QByteArray saved = QSettings().value(key).toByteArray();
    if (saved.isEmpty() || !window->restoreGeometry(saved))
        window->resize(size);
    pages::fitOnScreen(window);
}

void savePlaces()
{
    QSettings settings;
    for (QWidget* window : QApplication::topLevelWidgets())
        if (const QString key = window->property(kPlaceKey).toString(); !key.isEmpty() && window->isVisible())
            settings.setValue(key, window->saveGeometry());
    settings.sync();
}

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

void refreshAll()
{
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->metaObject()->indexOfMethod("refresh()") >= 0)
            QMetaObject::invokeMethod(window, "refresh");
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

OutputButtons outputButtons(QWidget* parent)
{
    OutputButtons b{button(parent, QStringLiteral("btnPrint"), QStringLiteral("&Print...")),
                    button(parent, QStringLiteral("btnExportPdf"), QStringLiteral("Export P&DF...")),
                    plainLabel(parent, QStringLiteral("lblSaved")),
                    button(parent, QStringLiteral("btnClose"), QStringLiteral("&Close")), new QHBoxLayout};
    b.row->addWidget(b.print);
    b.row->addWidget(b.exportPdf);
    b.row->addWidget(b.saved, 1);
    b.row->addWidget(b.close);
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
