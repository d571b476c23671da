#include "PercentText.h"

#include "database/DbError.h"

#include <QLocale>
#include <cmath>

namespace marrowick {

double roundedPercent(qint64 part, qint64 whole)
{
    if (whole == 0) throw DbError(DbError::DivisionByZero, QStringLiteral("Division by zero"));
    const double product = double(part) / double(whole) * 100.0;
    double rounded = std::nearbyint(product * 100.0) / 100.0; // ties to even
    if (!std::isfinite(rounded)) throw DbError(DbError::Overflow, QStringLiteral("Overflow"));
    return rounded == 0 ? 0 : rounded; // no "-0"
}

QString PercentText(qint64 part, qint64 whole)
{
    const double rounded = roundedPercent(part, whole);
    QString text = QString::number(rounded, 'f', 2);
    while (text.endsWith(QLatin1Char('0'))) text.chop(1);
    if (text.endsWith(QLatin1Char('.'))) text.chop(1);
    text.replace(QLatin1Char('.'), QLocale().decimalPoint());
    return text + QStringLiteral(" %");
}

} // namespace marrowick
