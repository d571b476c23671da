#pragma once
#include <QByteArray>
#include <QString>
#include <QStringList>

namespace marrowick {

// Comma-separated values as RFC 4180 has them: a value in double quotes may hold
// commas, doubled quotes and line breaks. CRLF, LF and CR all end a record;
// empty lines are skipped. Serves the results file and the reference data.
class CsvReader {
public:
    // Text of a file: a UTF-8 byte-order mark is skipped; UTF-8 when the bytes
    // are valid UTF-8, otherwise Windows-1252.
    static QString decode(const QByteArray& bytes);

    explicit CsvReader(QString text);

    // The next record's values; false at the end of the text.
    bool next(QStringList& fields);
    // The last record ended inside a quoted value.
    bool endedInQuote() const { return m_endedInQuote; }

private:
    QString m_text;
    qsizetype m_pos = 0;
    bool m_endedInQuote = false;
};

} // namespace marrowick
