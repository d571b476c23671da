#pragma once
#include "RegistryDialog.h"
#include "registry/ImmunizationQuery.h"

#include <optional>

class QLabel;
class QLineEdit;

namespace marrowick {

// Queries every test record back from a registry's test interface and
// writes the results file from its answers, beside the database. Emits
// fetched() with the file's name and closes when it is written.
class frmFetchFromRegistry : public RegistryDialog {
    Q_OBJECT
public:
    explicit frmFetchFromRegistry(QWidget* parent);

    // Where the registry puts its potential-duplicate flag; empty: every flag is N.
    QLineEdit* txtFlagField;
    // Why the flag field is not one; empty when it is.
    QLabel* lblFlagProblem;

signals:
    void fetched(const QString& resultsFile);

protected:
    void run() override;

private:
    // The flag field read; false (with the cause shown) when it is not one.
    bool readFlagField(std::optional<FlagField>& flag);
};

} // namespace marrowick
