#include "frmExplain.h"

#include "reports/StyledExplanationModel.h"
#include "reports/PdfExport.h"
#include "ReportPreview.h"
#include "database/DbError.h"
#include "platform/Platform.h"

#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace marrowick {

using namespace windows;

frmExplain* frmExplain::open(qint64 id, QWidget* near)
{
    return openBeside(near, QStringLiteral("The explanation cannot be shown."), [id] { return new frmExplain(id); });
}

frmExplain::frmExplain(qint64 id) : DataWindow(QStringLiteral("frmExplain")), m_id(id), m_model(nullptr)
{
    auto* layout = new QVBoxLayout(this);
    lblHeading = plainLabel(this, QStringLiteral("lblHeading"));
    QFont bold = lblHeading->font();
    bold.setBold(true);
    lblHeading->setFont(bold);
    lblVerdict = plainLabel(this, QStringLiteral("lblVerdict"));
    auto* legend = plainLabel(this, QStringLiteral("lblLegend"));
    legend->setText(
        QStringLiteral("Bold on a tinted background: differs from the group's main record (also named under Differs). "
                       "Each record is followed by the registry rows of the client it was found under."));
    grdExplain = new QTableView(this);
    grdExplain->setObjectName(QStringLiteral("grdExplain"));
    prepareGrid(grdExplain);

    QHBoxLayout* buttons = outputRow();
    layout->addWidget(lblHeading);
    layout->addWidget(lblVerdict);
    layout->addWidget(legend);
    layout->addWidget(grdExplain, 1);
    layout->addLayout(buttons);

    connect(btnPrint, &QPushButton::clicked, this, &frmExplain::Print);
    connect(btnExportPdf, &QPushButton::clicked, this, [this] { ExportPdf(); });
    showModel(new StyledExplanationModel(id, this));
    restorePlace(QSize(1280, 560));
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
    if (ReportPreview* preview = ReportPreview::liveInstance(explanationReport());
        old && preview && preview->rows() == old) {
        preview->bind(m_model);
        preview->setWindowTitle(QStringLiteral("%1: %2").arg(explanationReport().caption).arg(m_id));
    }
    delete old;
}

void frmExplain::refresh()
{
    try {
        showModel(new StyledExplanationModel(m_id, this));
    } catch (...) {
        // Better gone than showing an evaluation that no longer holds.
        close();
    }
}

frmExplain::~frmExplain()
{
    // The preview reads this window's rows: it goes with them.
    if (ReportPreview* preview = ReportPreview::liveInstance(explanationReport());
        preview && preview->rows() == m_model)
        preview->close();
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
        platform().MsgBox(QStringLiteral("Error"),
                          QStringLiteral("The explanation cannot be printed.\r") + QString::fromLocal8Bit(error.what()),
                          MsgIcon::Critical, MsgButtons::Ok);
    }
}

bool frmExplain::ExportPdf(QString path)
{
    if (path.isEmpty()) {
        path = platform().SaveFileName(QStringLiteral("Export PDF"),
                                       QStringLiteral("rptExplanation-%1.pdf").arg(m_model->record().id),
                                       QStringLiteral("PDF Files (*.pdf)"));
        if (path.isEmpty()) return false;
    }
    BusyPointer busy;
    lblSaved->clear();
    try {
        exportReportPdf(explanationReport(), *m_model, path);
    } catch (...) {
        showCurrentFailure(QStringLiteral("The explanation cannot be exported."));
        return false;
    }
    lblSaved->setText(QStringLiteral("Saved to ") + QDir::toNativeSeparators(path));
    return true;
}

} // namespace marrowick
