#pragma once
#include <QString>
#include <QStringList>

namespace marrowick {

// A value of a csv file meant for people's spreadsheets: a text that a
// spreadsheet would run as a formula (it begins with =, +, -, @, a tab or a
// carriage return) gains a leading apostrophe; numbers are left as they are.
QString spreadsheetField(const QString& value);
// Values as one such record, quoted as csvRecord quotes them, without its line end.
QString spreadsheetRecord(const QStringList& values);

} // namespace marrowick
