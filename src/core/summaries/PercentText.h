#pragma once
#include <QString>

namespace marrowick {

// part / whole as a percentage: rounded to two decimals, an exact half to the
// even neighbour, in its shortest form with the locale's decimal separator,
// then " %". A whole of 0 is a division by zero (DbError).
QString PercentText(qint64 part, qint64 whole);

// The same figure as a number: rounded as PercentText rounds it.
double roundedPercent(qint64 part, qint64 whole);

} // namespace marrowick
