#pragma once
#include <QWidget>

class QLabel;
class QProgressBar;

namespace marrowick {

// The small window that shows what a long step is doing. It owns the busy
// pointer: loading it sets the pointer, unloading it restores the arrow.
class frmProcessing : public QWidget {
    Q_OBJECT
public:
    // The one instance, loaded (not shown) on first use.
    static frmProcessing* instance();
    static void Unload();

    void UpdateProgressText(const QString& strProgress);
    void ResetProgressBar();
    void SetProgressBar(int intAmount);
    void IncrementProgressBar(double dblIncrement);

    QLabel* lblProcessing;
    QProgressBar* ProgressBar1;

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    frmProcessing();
    void setValue(float value);
    void focusIfVisible();

    float m_value = 0; // fractions of a point accumulate
};

} // namespace marrowick
