#pragma once
// For tests that drive the pages: a scripted host and a fresh database that
// the program opens, which they fill through an evaluation run; every page,
// preview and data window left open is closed at the end.
#include "PdfText.h"
#include "Suite.h"
#include "analysis/EvaluationRun.h"
#include "reports/Explanation.h"
#include "reports/ReportModel.h"
#include "windows/ReportPreview.h"
#include "windows/frmAnalysisReports.h"
#include "windows/frmExplain.h"
#include "windows/frmOutcomeList.h"
#include "windows/frmRep1.h"
#include "shell/Page.h"
#include "shell/mdlGlobals.h"

#include <QApplication>
#include <QListWidget>
#include <QPrintPreviewWidget>
#include <QPushButton>
#include <QTableView>

namespace marrowick::test {

inline void settle()
{
    QApplication::processEvents();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// Report `index` opened in the viewer from the selection page.
inline frmRep1* view(int index)
{
    auto* reports = pages::show<frmAnalysisReports>();
    reports->lstReports->setCurrentRow(index);
    QTest::mouseClick(reports->btnView, Qt::LeftButton);
    return pages::loaded<frmRep1>();
}

// A button clicked, and what it set going done.
inline void press(QAbstractButton* button)
{
    QTest::mouseClick(button, Qt::LeftButton);
    settle();
}

// The rows a viewer shows, and the explanation a window shows.
inline const ReportModel& shownRows(const frmRep1* viewer)
{
    return *static_cast<const ReportModel*>(viewer->DataGrid1->model());
}
inline const ExplanationModel& explained(const frmExplain* window)
{
    return *static_cast<const ExplanationModel*>(window->grdExplain->model());
}

// Row 0 of a grid, laid out, activated by double-click or by Enter.
inline void activateFirstRow(QTableView* grid, bool byKey)
{
    settle();
    int column = 0;
    while (grid->isColumnHidden(column))
        ++column;
    const QModelIndex cell = grid->model()->index(0, column);
    grid->setCurrentIndex(cell);
    if (byKey) {
        QTest::keyClick(grid, Qt::Key_Return);
    } else {
        const QPoint centre = grid->visualRect(cell).center();
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, centre);
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, centre);
    }
    settle();
}

// The windows of that kind on screen.
template <class T> QList<T*> shownWindows()
{
    QList<T*> found;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* t = qobject_cast<T*>(w); t && t->isVisible())
            found << t;
    return found;
}

// The text of pages `from` to `to` of a preview, printed into a PDF file as if the print dialog asked for them.
inline QStringList printedPages(ReportPreview* preview, FakePlatform& host, const QString& pdf, int from, int to)
{
    host.choosePrinter = [&](QPagedPaintDevice& device) {
        auto& printer = static_cast<QPrinter&>(device);
        printer.setOutputFileName(pdf);
        printer.setPrintRange(QPrinter::PageRange);
        printer.setFromTo(from, to);
        return true;
    };
    preview->print();
    host.choosePrinter = nullptr;
    return pdfPages(pdf);
}

class PageSession : public DbSession {
public:
    PageSession()
    {
        mdlGlobals::SetDatabasePath(db.path());
        mdlGlobals::OpenDatabase(); // as the program's start does
        frmAnalysisReports::enroll();
    }
    ~PageSession()
    {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* page = qobject_cast<Page*>(w))
                page->unload();
            else if (qobject_cast<ReportPreview*>(w) || qobject_cast<DataWindow*>(w))
                w->close();
        }
        settle();
    }
};

// The tests of the pages: each test function has a session of its own in which the program opened the database.
class PageTest : public SessionTest {
protected:
    std::shared_ptr<DbSession> newSession() override { return std::make_shared<PageSession>(); }
};

} // namespace marrowick::test
