#pragma once
#include "RegistryDialog.h"

class QLabel;
class QTableWidget;

namespace marrowick {

struct RejectedRecord;
struct SendSummary;

// Sends the test deck to a registry's test interface, a record at a time,
// and lists the records the registry turned away, in its own words. Each
// record's state is kept as it goes, so a send stopped for any reason goes
// on where it stopped the next time; the records turned away before are
// listed from the start.
class frmSendToRegistry : public RegistryDialog {
    Q_OBJECT
public:
    explicit frmSendToRegistry(QWidget* parent);

    QLabel* lblRejected;
    // Record, code, the registry's words: one row per rejected record.
    QTableWidget* tblRejected;

protected:
    void run() override;

private:
    void showSummary(const SendSummary& summary);
    void showRejected(const QList<RejectedRecord>& rejected);
};

} // namespace marrowick
