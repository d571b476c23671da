#pragma once
#include <QDialog>
#include <QString>
#include <functional>

class QLabel;
class QProgressBar;
class QPushButton;
class QVBoxLayout;

namespace marrowick {

class RegistryConnectionForm;

// What the send and the fetch dialogs share: the connection form, a progress
// bar that moves a step per record, and Run (Send or Fetch), Cancel and Close.
// The work runs on the one thread, in the registry calls' own event loops, so
// the dialog stays live: Cancel (or Escape, or closing the window) stops the
// work after the record in flight, whose state the work has kept, and a close
// asked for meanwhile happens once the work has returned.
class RegistryDialog : public QDialog {
    Q_OBJECT
public:
    RegistryConnectionForm* form;
    QProgressBar* barProgress;
    QLabel* lblProgress;
    QPushButton* btnRun;
    QPushButton* btnCancel;
    QPushButton* btnClose;

    bool busy() const { return m_busy; }

public slots:
    void reject() override;

protected:
    RegistryDialog(const QString& objectName, const QString& title, const QString& runCaption, QWidget* parent);
    // The controls a dialog adds, between the form and the progress bar.
    QVBoxLayout* extras;

    // Run's work: the send or the fetch.
    virtual void run() = 0;
    // Does the work with the connection locked and Cancel live. A failure is
    // told (a registry's fault in its own words) with that consequence, or
    // put into `failure` when one is given. False when it failed.
    bool guarded(const QString& consequence, const std::function<void()>& work, QString* failure = nullptr);
    bool cancelRequested() const { return m_cancel; }
    // Waits that long with the window live (the rate cap, the pauses between retries).
    void pauseFor(int ms);
    // Shows how far the work is: step `done` of `total`, and a line of words.
    void showProgress(int done, int total, const QString& text);
    // Sized to its contents, within the screen.
    void fitToScreen();

private:
    void testConnection();

    bool m_busy = false;
    bool m_cancel = false;
    bool m_closeAfter = false;
};

} // namespace marrowick
