#include "frmExplain.h"

#include "DataWindow.h"
#include "reports/Explanation.h"
#include "reports/PdfExport.h"
#include "ReportPreview.h"
#include "database/DbError.h"
#include "platform/Platform.h"

#include <QComboBox>
#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QKeyEvent>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>
#include <tuple>

namespace marrowick {

using namespace windows;

frmExplain* frmExplain::open(qint64 id, QWidget* near)
{
    return openBeside(near, QStringLiteral("The explanation cannot be shown."), [id] { return new frmExplain(id); });
}

frmExplain::frmExplain(qint64 id) : m_id(id), m_model(nullptr)
{
    setObjectName(QStringLiteral("frmExplain"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowFlag(Qt::Window);

    auto* layout = new QVBoxLayout(this);
    lblHeading = plainLabel(this, QStringLiteral("lblHeading"));
    QFont bold = lblHeading->font();
    bold.setBold(true);
    lblHeading->setFont(bold);
    lblVerdict = plainLabel(this, QStringLiteral("lblVerdict"));
    auto* legend = plainLabel(this, QStringLiteral("lblLegend"));
    legend->setText(QStringLiteral("Bold on a tinted background: differs from the group's main record (also named under Differs). "
                                   "Each record is followed by the registry rows of the client it was found under."));
    grdExplain = new QTableView(this);
    grdExplain->setObjectName(QStringLiteral("grdExplain"));
    prepareGrid(grdExplain);

    const OutputButtons buttons = outputButtons(this);
    std::tie(btnPrint, btnExportPdf, lblSaved, btnClose) =
        std::tuple(buttons.print, buttons.exportPdf, buttons.saved, buttons.close);
    layout->addWidget(lblHeading);
    layout->addWidget(lblVerdict);
    layout->addWidget(legend);
    layout->addWidget(grdExplain, 1);
    layout->addLayout(buttons.row);

    connect(btnPrint, &QPushButton::clicked, this, &frmExplain::Print);
    connect(btnExportPdf, &QPushButton::clicked, this, [this] { ExportPdf(); });
    connect(btnClose, &QPushButton::clicked, this, &QWidget::close);
    showModel(new ExplanationModel(id, this));
    restorePlace(this, QStringLiteral("windows/frmExplain"), QSize(1280, 560));
    grdExplain->setFocus();
}

void frmExplain::showModel(ExplanationModel* model)
{
    ExplanationModel* old = m_model;
    m_model = model;
    setWindowTitle(QStringLiteral("Explanation of record %1 \u2014 %2").arg(m_id).arg(currentRunCaption()));
    if (m_model->rowCount() > 0) {
        lblHeading->setText(m_model->index(0, 1).data().toString());
        lblVerdict->setText(m_model->verdictText());
    } else {
        lblHeading->setText(QStringLiteral("Test record %1 has no outcome: run an evaluation first.").arg(m_id));
        lblVerdict->clear();
    }
    grdExplain->setModel(m_model);
    grdExplain->setColumnHidden(0, true); // the verdict and heading stand above the grid
    grdExplain->setColumnHidden(1, true);
    // What happened first, then the values it happened to.
    QHeaderView* header = grdExplain->horizontalHeader();
    int to = ExplanationModel::fields().indexOf(QStringLiteral("Row")) + 1;
    for (const char* field : {"Outcome", "Client", "Flag", "Found"})
        header->moveSection(header->visualIndex(int(ExplanationModel::fields().indexOf(QLatin1String(field)))), to++);
    grdExplain->resizeColumnsToContents();
    btnPrint->setEnabled(m_model->rowCount() > 0);
    btnExportPdf->setEnabled(m_model->rowCount() > 0);
    // A preview of the old rows follows to the new ones.
    if (ReportPreview* preview = ReportPreview::liveInstance(explanationReport()); old && preview && preview->rows() == old) {
        preview->bind(m_model);
        preview->setWindowTitle(QStringLiteral("%1: %2").arg(explanationReport().caption).arg(m_id));
    }
    delete old;
}

void frmExplain::refresh()
{
    try {
        showModel(new ExplanationModel(m_id, this));
    } catch (...) {
        // Better gone than showing an evaluation that no longer holds.
        close();
    }
}

frmExplain::~frmExplain()
{
    QSettings().setValue(QStringLiteral("windows/frmExplain"), saveGeometry());
    // The preview reads this window's rows: it goes with them.
    if (ReportPreview* preview = ReportPreview::liveInstance(explanationReport()); preview && preview->rows() == m_model)
        preview->close();
}

void frmExplain::keyPressEvent(QKeyEvent* event)
{
    if (!closedByEscape(this, event))
        QWidget::keyPressEvent(event);
}

void frmOutcomeList::keyPressEvent(QKeyEvent* event)
{
    if (!closedByEscape(this, event))
        QWidget::keyPressEvent(event);
}

void frmExplain::Print()
{
    try {
        BusyPointer busy;
        ReportPreview* preview = ReportPreview::instanceFor(explanationReport());
        preview->bind(m_model);
        preview->setWindowTitle(QStringLiteral("%1: %2").arg(explanationReport().caption).arg(m_model->record().id));
        preview->show();
        preview->activateWindow();
    } catch (const std::exception& error) {
        platform().MsgBox(QStringLiteral("Error"), QStringLiteral("The explanation cannot be printed.\r") + QString::fromLocal8Bit(error.what()),
                          MsgIcon::Critical, MsgButtons::Ok);
    }
}

bool frmExplain::ExportPdf(QString path)
{
    if (path.isEmpty()) {
        path = platform().SaveFileName(QStringLiteral("Export PDF"),
                                       QStringLiteral("rptExplanation-%1.pdf").arg(m_model->record().id),
                                       QStringLiteral("PDF Files (*.pdf)"));
        if (path.isEmpty())
            return false;
    }
    BusyPointer busy;
    lblSaved->clear();
    if (!exportReportPdf(explanationReport(), *m_model, path))
        return false;
    lblSaved->setText(QStringLiteral("Saved to ") + QDir::toNativeSeparators(path));
    return true;
}

namespace {
constexpr int kOutcomeColumn = 3;
}

frmOutcomeList* frmOutcomeList::open(int report, const QString& problemCode, const QString& caption, QWidget* near)
{
    return openBeside(near, QStringLiteral("The records cannot be listed."),
                      [&] { return new frmOutcomeList(report, problemCode, caption); });
}

frmOutcomeList::frmOutcomeList(int report, const QString& problemCode, const QString& caption)
    : m_report(report), m_problemCode(problemCode), m_caption(caption), m_model(new QStandardItemModel(this))
{
    setObjectName(QStringLiteral("frmOutcomeList"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowFlag(Qt::Window);

    auto* layout = new QVBoxLayout(this);
    m_hint = plainLabel(this, QStringLiteral("lblHint"));
    grdRecords = new QTableView(this);
    grdRecords->setObjectName(QStringLiteral("grdRecords"));
    prepareGrid(grdRecords);
    RowFilter* filter = sortAndFilter(grdRecords, m_model);
    cboOutcome = filterChoice(this, QStringLiteral("cboOutcome"), filter, 0, {kOutcomeColumn});
    auto* show = new QLabel(QStringLiteral("&Show:"), this);
    show->setBuddy(cboOutcome);
    btnClose = button(this, QStringLiteral("btnClose"), QStringLiteral("&Close"));
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
    connect(btnClose, &QPushButton::clicked, this, &QWidget::close);
    fill();
    restorePlace(this, QStringLiteral("windows/frmOutcomeList"), QSize(760, 480));
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
        for (const QString& text : {QString::number(r.id), QString::number(r.group), explain::problemWords(r.id),
                                    outcomeWords(r.outcome),
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

frmOutcomeList::~frmOutcomeList() { QSettings().setValue(QStringLiteral("windows/frmOutcomeList"), saveGeometry()); }

} // namespace marrowick
