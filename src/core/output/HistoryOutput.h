#pragma once
#include "ReportOutput.h"

#include <QByteArray>

namespace marrowick {

// The saved runs, oldest first: text for people, with each overall score's
// interval; csv and json with the fields that scripts read. Throws DbError.
QByteArray historyText(ReportFormat format);

// What changed from one saved run to another: the scores whose value changed,
// with their intervals, and the records whose outcome changed. Throws DbError.
QByteArray comparisonText(qint64 from, qint64 to, ReportFormat format);

} // namespace marrowick
