#include "RowFilter.h"

#include <QComboBox>
#include <QHeaderView>
#include <QTableView>
#include <algorithm>

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
    const double a = left.data().toString().toDouble(&leftIsNumber);
    const double b = right.data().toString().toDouble(&rightIsNumber);
    if (leftIsNumber && rightIsNumber) return a < b;
    // Numbers before text, so that a column of both still sorts in one order.
    if (leftIsNumber != rightIsNumber) return leftIsNumber;
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

QComboBox* filterChoice(QWidget* parent, const QString& objectName, RowFilter* filter, int key,
                        const QList<int>& columns)
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
            if (const QString value = rows.index(row, column).data().toString();
                !value.isEmpty() && !values.contains(value))
                values << value;
    values.sort();
    choice->clear();
    choice->addItem(all, QString());
    for (const QString& value : values) choice->addItem(value, value);
    choice->setCurrentIndex(std::max(0, choice->findData(kept)));
}

} // namespace marrowick::windows
