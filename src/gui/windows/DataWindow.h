#pragma once
// What the windows that show data (explanations, record lists, the dashboard)
// share: how they open, come back where they were left, and close.
#include "database/DbError.h"
#include "platform/BusyPointer.h"
#include "shell/Page.h"

#include <QWidget>

class QHBoxLayout;
class QKeyEvent;
class QLabel;
class QPushButton;
class QTableView;

namespace marrowick {

// A top-level window beside the pages, never blocking them: deleted when
// closed, closed by Escape wherever the focus is, and back at the size and
// place the user left it, kept under "windows/" and its object name.
class DataWindow : public QWidget {
    Q_OBJECT
public:
    ~DataWindow() override;

    // The row outputRow() makes; a window with Close alone has no others.
    QPushButton* btnPrint = nullptr;
    QPushButton* btnExportPdf = nullptr;
    // Where the last export went.
    QLabel* lblSaved = nullptr;
    QPushButton* btnClose = nullptr;

protected:
    explicit DataWindow(const QString& objectName);
    // Print, Export PDF, the "Saved to" line and Close, in the row every data
    // window ends with; Close is wired, the others are the window's to wire.
    QHBoxLayout* outputRow();
    // Close alone, wired, for a window with nothing to print.
    QPushButton* closeButton();
    // Where the user left the window, or `size` the first time; on the screen.
    void restorePlace(QSize size);
    void keyPressEvent(QKeyEvent* event) override;

    // A window beside the one it was opened from; any failure is told through
    // the one failure path, and nothing opens.
    template <class Make>
    static auto openBeside(QWidget* near, const QString& consequence, Make make) -> decltype(make())
    {
        try {
            BusyPointer busy;
            auto* window = make();
            window->placeNear(near);
            pages::fitOnScreen(window);
            window->show();
            window->activateWindow();
            return window;
        } catch (...) {
            showCurrentFailure(consequence);
            return nullptr;
        }
    }

private:
    // Beside that window, unless the user has placed this one before.
    void placeNear(QWidget* near);
    QString placeKey() const;

    bool m_placed = false;
};

namespace windows {
// The run the working tables hold, for titles: "run 7, results-perfect.txt";
// empty before the first evaluation.
QString currentRunCaption();
// The same with the time, for the pages: "Reports of run 7,
// results-perfect.txt, evaluated 2026-12-06 21:30 UTC".
QString currentRunLine();
void prepareGrid(QTableView* grid);
// A label for text from the data: plain, wrapped, selectable.
QLabel* plainLabel(QWidget* parent, const QString& objectName);
QPushButton* button(QWidget* parent, const QString& objectName, const QString& caption);
void showAndActivate(QWidget* window);
} // namespace windows

} // namespace marrowick
