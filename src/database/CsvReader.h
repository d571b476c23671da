#pragma once
#include <QByteArray>
#include <QString>
#include <QStringDecoder>
#include <QStringList>

class QIODevice;

namespace marrowick {

// Comma-separated values as RFC 4180 has them: a value in double quotes may hold
// commas, doubled quotes and line breaks. CRLF, LF and CR all end a record;
// empty lines are skipped. Serves the results file and the reference data.
class CsvReader {
public:
    // Text of a file: a UTF-8 byte-order mark is skipped; UTF-8 when the bytes
    // are valid UTF-8, otherwise Windows-1252.
    static QString decode(const QByteArray& bytes);

    enum class Encoding { Utf8, Utf16LE, Utf16BE, Windows1252 };
    // The encoding of a device's bytes by the same rule, byte-order marks of
    // UTF-16 included. Reads the device through once and rewinds it.
    static Encoding detect(QIODevice& device);

    explicit CsvReader(QString text);
    // Reads the device as it goes: only the current record and one chunk are
    // held in memory, whatever the size of the file.
    CsvReader(QIODevice& device, Encoding encoding);

    // The next record's values; false at the end of the text.
    bool next(QStringList& fields);
    // The last record ended inside a quoted value.
    bool endedInQuote() const { return m_endedInQuote; }
    // Reading the device failed; what was read so far is all there is.
    bool readFailed() const { return m_readFailed; }

private:
    // Reads on until the text from m_pos holds a whole record, or the device ends.
    void fillRecord();
    bool readChunk();

    QString m_text;
    qsizetype m_pos = 0;
    bool m_endedInQuote = false;
    QIODevice* m_device = nullptr;
    Encoding m_encoding = Encoding::Utf8;
    QStringDecoder m_decoder;
    bool m_readFailed = false;
};

// The writing side: a value with a comma, a quote or a line break is quoted,
// its quotes doubled, so that CsvReader reads it back as it was.
QString csvField(const QString& value);
// Values as one record, without its line end.
QString csvRecord(const QStringList& values);

} // namespace marrowick
