#pragma once
#include <QSortFilterProxyModel>
#include <QString>
#include <map>

class QComboBox;
class QTableView;
class QWidget;

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
QComboBox* filterChoice(QWidget* parent, const QString& objectName, RowFilter* filter, int key,
                        const QList<int>& columns);
// Offers the values that the columns now hold, keeping the choice if it is still there.
void offerValues(QComboBox* choice, const QString& all, const QAbstractItemModel& rows, const QList<int>& columns);

} // namespace marrowick::windows
