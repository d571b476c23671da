#include "frmOutcomeList.h"

#include "RowFilter.h"
#include "frmExplain.h"
#include "reports/Explanation.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>

namespace marrowick {

using namespace windows;

namespace {
constexpr int kOutcomeColumn = 3;
}

frmOutcomeList* frmOutcomeList::open(int report, const QString& problemCode, const QString& caption, QWidget* near)
{
    return openBeside(near, QStringLiteral("The records cannot be listed."),
                      [&] { return new frmOutcomeList(report, problemCode, caption); });
}

frmOutcomeList::frmOutcomeList(int report, const QString& problemCode, const QString& caption)
    : DataWindow(QStringLiteral("frmOutcomeList")), m_report(report), m_problemCode(problemCode), m_caption(caption),
      m_model(new QStandardItemModel(this))
{
    auto* layout = new QVBoxLayout(this);
    m_hint = plainLabel(this, QStringLiteral("lblHint"));
    grdRecords = new QTableView(this);
    grdRecords->setObjectName(QStringLiteral("grdRecords"));
    prepareGrid(grdRecords);
    RowFilter* filter = sortAndFilter(grdRecords, m_model);
    cboOutcome = filterChoice(this, QStringLiteral("cboOutcome"), filter, 0, {kOutcomeColumn});
    auto* show = new QLabel(QStringLiteral("&Show:"), this);
    show->setBuddy(cboOutcome);
    closeButton();
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(show);
    buttons->addWidget(cboOutcome);
    buttons->addStretch(1);
    buttons->addWidget(btnClose);
    layout->addWidget(m_hint);
    layout->addWidget(grdRecords, 1);
    layout->addLayout(buttons);
    connect(grdRecords, &QAbstractItemView::activated, this, [this](const QModelIndex& index) {
        frmExplain::open(index.siblingAtColumn(0).data(Qt::UserRole).toLongLong(), this);
    });
    fill();
    restorePlace(QSize(760, 480));
    grdRecords->setFocus();
}

void frmOutcomeList::fill()
{
    setWindowTitle(QStringLiteral("Records: %1 \u2014 %2").arg(m_caption, currentRunCaption()));
    m_model->clear();
    m_model->setHorizontalHeaderLabels({QStringLiteral("Record"), QStringLiteral("Group"), QStringLiteral("Problem"),
                                        QStringLiteral("Outcome"), QStringLiteral("Attempt"), QStringLiteral("Client"),
                                        QStringLiteral("Flag"), QStringLiteral("Differs")});
    for (const RecordOutcome& r : explain::outcomesOfProblem(reportAt(m_report)->drillDown, m_problemCode)) {
        QList<QStandardItem*> row;
        for (const QString& text :
             {QString::number(r.id), QString::number(r.group), explain::problemWords(r.id), outcomeWords(r.outcome),
              r.attempt ? QString::number(*r.attempt) : QString(), r.client ? QString::number(*r.client) : QString(),
              r.flag, r.differs.join(QStringLiteral(", "))})
            row << new QStandardItem(text);
        row.front()->setData(r.id, Qt::UserRole);
        m_model->appendRow(row);
    }
    m_hint->setText(QStringLiteral("%1: %2 records. Double-click a record, or press Enter on it, for its explanation; "
                                   "click a heading to sort.")
                        .arg(m_caption)
                        .arg(m_model->rowCount()));
    offerValues(cboOutcome, QStringLiteral("All outcomes"), *m_model, {kOutcomeColumn});
    grdRecords->resizeColumnsToContents();
}

void frmOutcomeList::refresh()
{
    try {
        fill();
    } catch (...) {
        close();
    }
}

} // namespace marrowick
