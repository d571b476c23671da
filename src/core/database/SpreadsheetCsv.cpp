#include "SpreadsheetCsv.h"

#include "CsvReader.h"

#include <QLocale>

namespace marrowick {

QString spreadsheetField(const QString& value)
{
    static const QString kFormulaStarts = QStringLiteral("=+-@\t\r");
    if (value.isEmpty() || !kFormulaStarts.contains(value.front()))
        return value;
    bool number = false;
    QLocale::c().toDouble(value, &number);
    return number ? value : QLatin1Char('\'') + value;
}

QString spreadsheetRecord(const QStringList& values)
{
    QStringList fields;
    fields.reserve(values.size());
    for (const QString& value : values)
        fields << spreadsheetField(value);
    return csvRecord(fields);
}

} // namespace marrowick
