#include "PercentText.h"

#include "database/DbError.h"

#include <QLocale>
#include <cmath>

namespace marrowick {

QString PercentText(qint64 part, qint64 whole)
{
    if (whole == 0)
        throw DbError(DbError::DivisionByZero, QStringLiteral("Division by zero"));
    const double product = double(part) / double(whole) * 100.0;
    double rounded = std::nearbyint(product * 100.0) / 100.0; // ties to even
    if (!std::isfinite(rounded))
        throw DbError(DbError::Overflow, QStringLiteral("Overflow"));
    if (rounded == 0)
        rounded = 0; // no "-0"
    QString text = QString::number(rounded, 'f', 2);
    while (text.endsWith(QLatin1Char('0')))
        text.chop(1);
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    text.replace(QLatin1Char('.'), QLocale().decimalPoint());
    return text + QStringLiteral(" %");
}

} // namespace marrowick
