#include "frmRep1.h"

#include "DataWindow.h"
#include "reports/ReportModel.h"
#include "frmExplain.h"
#include "frmOutcomeList.h"
#include "ReportPreview.h"
#include "database/DbError.h"
#include "frmAnalysisReports.h"
#include "platform/Platform.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QSqlRecord>
#include <QStyle>
#include <QTableView>
#include <QVBoxLayout>
#include <map>

namespace marrowick {

frmRep1::frmRep1(const ReportDef& report) : ReportPage(QSize(960, 600)), m_report(report)
{
    setObjectName(QStringLiteral("frmRep1"));

    auto* layout = new QVBoxLayout(this);
    DataGrid1 = new QTableView(this);
    DataGrid1->setObjectName(QStringLiteral("DataGrid1"));
    DataGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DataGrid1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    DataGrid1->setAlternatingRowColors(true);
    DataGrid1->verticalHeader()->setVisible(false);
    DataGrid1->verticalHeader()->setDefaultSectionSize(DataGrid1->fontMetrics().height() + 8);
    layout->addWidget(DataGrid1, 1);
    // An empty report says so, where its rows would be.
    lblEmpty = new QLabel(QStringLiteral("No records"), DataGrid1->viewport());
    lblEmpty->setObjectName(QStringLiteral("lblEmpty"));
    lblEmpty->setAlignment(Qt::AlignCenter);
    // The grid lays its viewport out after the window: the label follows the viewport.
    DataGrid1->viewport()->installEventFilter(this);

    auto* copy = new QAction(DataGrid1);
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetShortcut);
    DataGrid1->addAction(copy);
    connect(copy, &QAction::triggered, this, &frmRep1::copySelection);

    btnPrint = makeButton(QStringLiteral("btnPrint"), QStringLiteral("&Print "));
    addButtonRow(layout, {btnPrint});
    lblRun = windows::plainLabel(this, QStringLiteral("lblRun"));
    lblRun->setText(windows::currentRunLine());
    layout->addWidget(lblRun);

    connect(btnBack, &QPushButton::clicked, this, [this] { goTo<frmAnalysisReports>(); });
    connect(btnPrint, &QPushButton::clicked, this, &frmRep1::Print);
    // Double-click or Enter: a listed record opens its explanation; a problem
    // type lists its records.
    connect(DataGrid1, &QAbstractItemView::activated, this, [this](const QModelIndex& index) {
        const bool record = m_report.drillDown == DrillDown::Record;
        const int column = m_model->record().indexOf(record ? QStringLiteral("ID") : QStringLiteral("ProblemCode"));
        if (m_report.drillDown == DrillDown::None || column < 0) return;
        const QVariant value = m_model->index(index.row(), column).data();
        if (record)
            frmExplain::open(value.toLongLong(), this);
        else
            frmOutcomeList::open(
                m_report.index, value.toString(),
                m_model->index(index.row(), m_model->record().indexOf(QStringLiteral("ProblemDesc"))).data().toString(),
                this);
    });

    m_model = new ReportModel(report, this);
    DataGrid1->setModel(m_model);
    setWindowTitle(report.title);

    QHeaderView* header = DataGrid1->horizontalHeader();
    QFont bold = header->font();
    bold.setBold(true);
    header->setFont(bold);
    header->setDefaultAlignment(Qt::Alignment(Qt::AlignCenter | Qt::TextWordWrap));
    header->setFixedHeight(2 * QFontMetrics(bold).lineSpacing() + 10);

    for (int column = 0; column < m_model->columnCount(); ++column)
        DataGrid1->setColumnHidden(column, ruleFor(report, m_model->record().fieldName(column)) == nullptr);
    // A window that shows data is sized by its user: it starts at the design's
    // size, within the screen, and keeps the size and place it was left at.
    setMinimumSize(480, 300);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    layout->activate();
    applyColumnWidths();
    lblEmpty->setVisible(m_model->rowCount() == 0);
    pages::keepPlaceUnder(this, QStringLiteral("viewer/geometry"));
    // Keys go to the rows first: Space must not press a button of the page.
    DataGrid1->setFocus();
}

void frmRep1::applyColumnWidths()
{
    // Widths are shares of the grid's width as laid out in the window: its
    // inside, less the frame and a vertical scroll bar. A list's shares add up
    // to more than the whole: no column gets narrower than its share at the
    // design's size, a wider window shows more of them, and the rest scroll.
    const int gridWidth = DataGrid1->width() - 2 * DataGrid1->frameWidth()
                          - DataGrid1->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, DataGrid1);
    if (m_designedWidth == 0) m_designedWidth = gridWidth;
    double shares = 0;
    for (const ColumnRule& rule : m_report.rules) shares += rule.width;
    const double whole = std::max(double(m_designedWidth), shares > 1 ? gridWidth / shares : double(gridWidth));
    for (int column = 0; column < m_model->columnCount(); ++column)
        if (const ColumnRule* rule = ruleFor(m_report, m_model->record().fieldName(column)))
            DataGrid1->setColumnWidth(column, int(rule->width * whole));
}

void frmRep1::resizeEvent(QResizeEvent* event)
{
    ReportPage::resizeEvent(event);
    if (layout()) layout()->activate();
    applyColumnWidths();
}

bool frmRep1::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == DataGrid1->viewport() && event->type() == QEvent::Resize)
        lblEmpty->setGeometry(DataGrid1->viewport()->rect());
    return ReportPage::eventFilter(watched, event);
}

void frmRep1::showEvent(QShowEvent* event)
{
    ReportPage::showEvent(event);
    const QByteArray saved = QSettings().value(QStringLiteral("viewer/geometry")).toByteArray();
    if (!saved.isEmpty()) restoreGeometry(saved);
    // Whatever was saved, and at any scale, the window fits the screen it is on.
    pages::fitOnScreen(this);
}

void frmRep1::hideEvent(QHideEvent* event)
{
    QSettings().setValue(QStringLiteral("viewer/geometry"), saveGeometry());
    ReportPage::hideEvent(event);
}

void frmRep1::copySelection() const
{
    const QModelIndexList selected =
        DataGrid1->selectionModel() ? DataGrid1->selectionModel()->selectedIndexes() : QModelIndexList();
    if (selected.isEmpty()) return;
    std::map<int, std::map<int, QString>> cells;
    for (const QModelIndex& index : selected)
        if (!DataGrid1->isColumnHidden(index.column())) cells[index.row()][index.column()] = index.data().toString();
    QStringList lines;
    for (const auto& [row, columns] : cells) {
        QStringList values;
        for (const auto& [column, text] : columns) values << QString(text).replace(QLatin1Char('\t'), QLatin1Char(' '));
        lines << values.join(QLatin1Char('\t'));
    }
    QApplication::clipboard()->setText(lines.join(QLatin1Char('\n')) + QLatin1Char('\n'));
}

void frmRep1::Print()
{
    BusyPointer busy;
    try {
        ReportPreview* preview = ReportPreview::instanceFor(m_report);
        disconnect(preview, &ReportPreview::ended, nullptr, nullptr);
        // The viewer comes back, as it was, when the preview ends.
        connect(preview, &ReportPreview::ended, this, [this] {
            show();
            activateWindow();
        });
        preview->bind(m_model);
        pages::place(preview);
        pages::fitOnScreen(preview);
        preview->show();
        hide();
    } catch (...) {
        showCurrentFailure(QStringLiteral("The report cannot be printed."));
        show();
    }
}

} // namespace marrowick
