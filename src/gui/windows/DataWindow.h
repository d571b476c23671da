#pragma once
// What the windows that show data (explanations, record lists, the dashboard)
// share: how they open, come back where they were left, and close.
#include "database/DbError.h"
#include "platform/Platform.h"
#include "shell/Page.h"

#include <QSortFilterProxyModel>
#include <QString>
#include <map>

class QComboBox;
class QKeyEvent;
class QLabel;
class QPushButton;
class QSize;
class QTableView;
class QWidget;

class QHBoxLayout;

namespace marrowick::windows {

// A list as an analyst works it: sorted by any column (numbers as numbers),
// narrowed to the rows that hold a chosen value.
class RowFilter : public QSortFilterProxyModel {
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;
    // Keeps the rows that read `value` in one of `columns`; an empty value
    // lifts the condition. Conditions under different keys all apply.
    void require(int key, const QList<int>& columns, const QString& value);

protected:
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override;
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

private:
    std::map<int, std::pair<QList<int>, QString>> m_required;
};

// Shows the model in the grid through a new filter, sortable by a click on a
// heading, in the model's own order until then.
RowFilter* sortAndFilter(QTableView* grid, QAbstractItemModel* rows);
// A choice of the values of those columns, "all" first, that narrows the
// filter under that key.
QComboBox* filterChoice(QWidget* parent, const QString& objectName, RowFilter* filter, int key, const QList<int>& columns);
// Offers the values that the columns now hold, keeping the choice if it is still there.
void offerValues(QComboBox* choice, const QString& all, const QAbstractItemModel& rows, const QList<int>& columns);

// Data windows come back at the size and place the user left them; the key is
// kept on the window, so that every way out saves where it was.
void restorePlace(QWidget* window, const QString& key, QSize size);
void keepPlaceUnder(QWidget* window, const QString& key);
// Saves where every open window with a key is, and writes the settings out:
// the program may end without running another destructor.
void savePlaces();
// The run the working tables hold, for titles: "run 7, results-perfect.txt";
// empty before the first evaluation.
QString currentRunCaption();
// The same with the time, for the pages: "Reports of run 7,
// results-perfect.txt, evaluated 2026-12-06 21:30 UTC".
QString currentRunLine();
// After an evaluation, or a reuse of one: every open window that shows its
// data shows it afresh (through its refresh() slot).
void refreshAll();
void prepareGrid(QTableView* grid);
// A label for text from the data: plain, wrapped, selectable.
QLabel* plainLabel(QWidget* parent, const QString& objectName);
QPushButton* button(QWidget* parent, const QString& objectName, const QString& caption);
// Print, Export PDF, the "Saved to" line and Close, in the row every data window ends with.
struct OutputButtons {
    QPushButton* print;
    QPushButton* exportPdf;
    QLabel* saved;
    QPushButton* close;
    QHBoxLayout* row;
};
OutputButtons outputButtons(QWidget* parent);
// Beside the window it was opened from, unless the user has placed it before.
void placeNear(QWidget* window, QWidget* near);
// Escape closes a data window, wherever in it the focus is.
bool closedByEscape(QWidget* window, QKeyEvent* event);
void showAndActivate(QWidget* window);

// A window beside the one it was opened from; any failure is told through the
// one failure path, and nothing opens.
template <class Make> auto openBeside(QWidget* near, const QString& consequence, Make make) -> decltype(make())
{
    try {
        BusyPointer busy;
        auto* window = make();
        placeNear(window, near);
        pages::fitOnScreen(window);
        showAndActivate(window);
        return window;
    } catch (...) {
        showCurrentFailure(consequence);
        return nullptr;
    }
}

} // namespace marrowick::windows
