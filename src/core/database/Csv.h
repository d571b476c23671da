#pragma once
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <vector>

namespace marrowick {

// Comma-separated values as RFC 4180 has them: a value in double quotes may hold
// commas, doubled quotes and line breaks. CRLF, LF and CR all end a record;
// empty lines are skipped. Serves the results file and the reference data.
class CsvReader {
public:
    // Text of a file: a UTF-8 byte-order mark is skipped; UTF-8 when the bytes
    // are valid UTF-8, otherwise Windows-1252.
    static QString decode(const QByteArray& bytes);

    // A whole file's bytes as UTF-8 text: UTF-16 after its byte-order mark;
    // otherwise UTF-8 when the bytes are valid UTF-8, else Windows-1252; a
    // UTF-8 byte-order mark dropped.
    static QByteArray utf8Text(const QByteArray& bytes);

    explicit CsvReader(QString text);

    // The next record's values; false at the end of the text.
    bool next(QStringList& fields);
    // The last record ended inside a quoted value.
    bool endedInQuote() const { return m_endedInQuote; }

    // Where a value of a record lies: in the text, or in the buffer of quoted
    // values (which may grow while the record is read, so views are made after).
    struct Span {
        bool unquoted;
        qsizetype start, size;
    };

private:
    QString m_text;
    qsizetype m_pos = 0;
    bool m_endedInQuote = false;
    QString m_unquoted;
    std::vector<Span> m_spans;
};

// The same reading over UTF-8 text held whole in memory, for the results file:
// a value is a view of the text wherever it can be, so that nothing is copied
// per value. Quoted values are unescaped into a buffer of the reader's own.
class CsvByteReader {
public:
    explicit CsvByteReader(QByteArrayView text) : m_text(text) {}

    // The next record's values, valid until the next call; false at the end.
    bool next(std::vector<QByteArrayView>& fields);
    bool endedInQuote() const { return m_endedInQuote; }

private:
    QByteArrayView m_text;
    qsizetype m_pos = 0;
    bool m_endedInQuote = false;
    QByteArray m_unquoted;
    std::vector<CsvReader::Span> m_spans;
};

// The writing side: a value with a comma, a quote or a line break is quoted,
// its quotes doubled, so that CsvReader reads it back as it was.
QString csvField(const QString& value);
// Values as one record, without its line end.
QString csvRecord(const QStringList& values);

// A value of a csv file meant for people's spreadsheets: a text that a
// spreadsheet would run as a formula (it begins with =, +, -, @, a tab or a
// carriage return) gains a leading apostrophe; numbers are left as they are.
QString spreadsheetField(const QString& value);
// Values as one such record, quoted as csvRecord quotes them, without its line end.
QString spreadsheetRecord(const QStringList& values);
// Records for people's spreadsheets as a whole file: each ends in CRLF.
QByteArray spreadsheetDocument(const QList<QStringList>& records);

} // namespace marrowick
