#include "frmAnalysisReports.h"

#include "DataWindow.h"
#include "reports/ReportCatalogue.h"
#include "database/DbError.h"
#include "frmDashboard.h"
#include "frmRep1.h"
#include "platform/Platform.h"
#include "shell/frmStep3.h"

#include <QFrame>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace marrowick {

frmAnalysisReports::frmAnalysisReports() : ReportPage(QSize(620, 460))
{
    setObjectName(QStringLiteral("frmAnalysisReports"));
    setWindowTitle(QStringLiteral("Analysis and Reports"));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 18, 24, 16);
    Label1 = new QLabel(QStringLiteral("Select the information to view:"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    QFont font = Label1->font();
    font.setPointSizeF(font.pointSizeF() * 1.25);
    font.setBold(true);
    Label1->setFont(font);
    layout->addWidget(Label1);

    lstReports = new QListWidget(this);
    lstReports->setObjectName(QStringLiteral("lstReports"));
    lstReports->setSelectionMode(QAbstractItemView::SingleSelection);
    for (const ReportDef& report : reportCatalogue()) lstReports->addItem(report.item);
    Label1->setBuddy(lstReports);
    layout->addWidget(lstReports, 1);

    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    layout->addWidget(line);

    btnView = makeButton(QStringLiteral("btnView"), QStringLiteral("&View"));
    cmdDashboard = makeButton(QStringLiteral("cmdDashboard"), QStringLiteral("&Dashboard"));
    addButtonRow(layout, {btnView, cmdDashboard});
    lblRun = windows::plainLabel(this, QStringLiteral("lblRun"));
    layout->addWidget(lblRun);

    connect(btnView, &QPushButton::clicked, this, &frmAnalysisReports::View);
    connect(cmdDashboard, &QPushButton::clicked, this, [this] { frmDashboard::open(this); });
    connect(lstReports, &QListWidget::itemActivated, this, &frmAnalysisReports::View);
    connect(btnBack, &QPushButton::clicked, this, [this] { goTo<frmStep3>(); });

    lstReports->setCurrentRow(0);
    lstReports->setFocus();
}

void frmAnalysisReports::enroll()
{
    pages::enroll(QStringLiteral("frmAnalysisReports"), [] { return pages::show<frmAnalysisReports>(); });
}

void frmAnalysisReports::showEvent(QShowEvent* event)
{
    // The page stays loaded while evaluations come and go.
    lblRun->setText(windows::currentRunLine());
    ReportPage::showEvent(event);
}

int frmAnalysisReports::reportIndex() const
{
    const QList<QListWidgetItem*> selected = lstReports->selectedItems();
    return selected.isEmpty() ? -1 : lstReports->row(selected.first());
}

void frmAnalysisReports::View()
{
    BusyPointer busy;
    const int index = reportIndex();
    if (index < 0) {
        platform().MsgBox(QStringLiteral("Report Not Selected"), QStringLiteral("Select a report to view."),
                          MsgIcon::Information, MsgButtons::Ok);
        return;
    }
    const ReportDef* report = reportAt(index);
    if (!report) {
        platform().MsgBox(QStringLiteral("Report Not Available"),
                          QStringLiteral("The report selected is not available in this version of the tool."),
                          MsgIcon::Information, MsgButtons::Ok);
        return;
    }
    try {
        if (!report->refillTable()) return;
        pages::showNew<frmRep1>(*report);
    } catch (...) {
        // A summary that failed after emptying its table, or a viewer query that failed.
        showCurrentFailure(QStringLiteral("The report cannot be shown."));
        return;
    }
    hide();
}

} // namespace marrowick
