#include "Csv.h"

#include <QLocale>
#include <QStringDecoder>

namespace marrowick {

namespace {
// Windows-1252 differs from Latin-1 only in 0x80..0x9F.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

void appendCp1252(QString& text, QByteArrayView bytes)
{
    text.reserve(text.size() + bytes.size());
    for (char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        text.append(QChar(byte >= 0x80 && byte < 0xA0 ? kCp1252High[byte - 0x80] : char16_t(byte)));
    }
}

} // namespace

QString CsvReader::decode(const QByteArray& bytes)
{
    QByteArrayView view(bytes);
    if (view.startsWith("\xEF\xBB\xBF")) view = view.sliced(3);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(view);
    if (!utf8.hasError()) return text;
    text.clear();
    appendCp1252(text, view);
    return text;
}

QByteArray CsvReader::utf8Text(const QByteArray& bytes)
{
    QByteArrayView view(bytes);
    if (view.startsWith("\xFF\xFE") || view.startsWith("\xFE\xFF")) {
        QStringDecoder utf16(view.startsWith("\xFF\xFE") ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE);
        return QString(utf16.decode(view.sliced(2))).toUtf8();
    }
    // Most results files are plain ASCII: their bytes are their text.
    unsigned char high = 0;
    for (const char c : view) high |= static_cast<unsigned char>(c);
    if (high < 0x80) return bytes;
    QStringDecoder check(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = check.decode(view);
    if (view.startsWith("\xEF\xBB\xBF")) view = view.sliced(3);
    QString text;
    if (check.hasError()) {
        appendCp1252(text, view);
    } else {
        // Through the decoder rather than as they are: it drops a second
        // byte-order mark as well, as the loader always has.
        QStringDecoder utf8(QStringDecoder::Utf8);
        text = utf8.decode(view);
    }
    return text.toUtf8();
}

QString csvField(const QString& value)
{
    for (const QChar c : value)
        if (c == u',' || c == u'"' || c == u'\n' || c == u'\r')
            return QLatin1Char('"') + QString(value).replace(QStringLiteral("\""), QStringLiteral("\"\""))
                   + QLatin1Char('"');
    return value;
}

QString csvRecord(const QStringList& values)
{
    QStringList fields;
    fields.reserve(values.size());
    for (const QString& value : values) fields << csvField(value);
    return fields.join(QLatin1Char(','));
}

CsvReader::CsvReader(QString text) : m_text(std::move(text)) {}

namespace {

void append(QString& to, const char16_t* from, qsizetype n) { to.append(QStringView(from, n)); }
void append(QByteArray& to, const char* from, qsizetype n) { to.append(from, n); }

// The record at pos, as where each value lies: in the text, or unquoted into
// the buffer. False at the end of the text. Both readers split with this one
// loop, so the results file and the reference data cannot be read differently.
template <typename Char, typename Buffer>
bool readRecord(const Char* text, qsizetype n, qsizetype& pos, bool& endedInQuote, Buffer& unquoted,
                std::vector<CsvReader::Span>& spans)
{
    spans.clear();
    unquoted.clear();
    // Empty lines are no records.
    while (pos < n && (text[pos] == '\n' || text[pos] == '\r')) ++pos;
    if (pos >= n) return false;

    endedInQuote = false;
    auto endsValue = [](Char c) { return c == ',' || c == '\r' || c == '\n'; };
    for (;;) {
        // Blanks before an opening quote are not part of the value.
        qsizetype p = pos;
        while (p < n && (text[p] == ' ' || text[p] == '\t')) ++p;
        if (p < n && text[p] == '"') {
            const qsizetype start = unquoted.size();
            pos = p + 1;
            bool closed = false;
            while (pos < n && !closed) {
                if (text[pos] != '"') {
                    append(unquoted, text + pos++, 1);
                } else if (pos + 1 < n && text[pos + 1] == '"') {
                    append(unquoted, text + pos, 1);
                    pos += 2;
                } else {
                    closed = true;
                    ++pos;
                }
            }
            endedInQuote = !closed;
            // Anything between the closing quote and the separator is kept.
            const qsizetype rest = pos;
            while (pos < n && !endsValue(text[pos])) ++pos;
            append(unquoted, text + rest, pos - rest);
            spans.push_back({true, start, unquoted.size() - start});
        } else {
            // The common case: a plain value, taken whole.
            p = pos;
            while (p < n && !endsValue(text[p])) ++p;
            spans.push_back({false, pos, p - pos});
            pos = p;
        }
        if (pos < n && text[pos] == ',') {
            ++pos;
            continue;
        }
        if (pos < n) {
            if (text[pos] == '\r' && pos + 1 < n && text[pos + 1] == '\n') ++pos;
            ++pos;
        }
        return true;
    }
}

// An empty value is empty text, never a null string (which SQL would store as Null).
QString valueOf(const QString& value) { return value.isNull() ? QStringLiteral("") : value; }

} // namespace

bool CsvReader::next(QStringList& fields)
{
    fields.clear();
    const auto* text = reinterpret_cast<const char16_t*>(m_text.constData());
    if (!readRecord(text, m_text.size(), m_pos, m_endedInQuote, m_unquoted, m_spans)) return false;
    for (const Span& span : m_spans)
        fields.append(valueOf((span.unquoted ? m_unquoted : m_text).mid(span.start, span.size)));
    return true;
}

bool CsvByteReader::next(std::vector<QByteArrayView>& fields)
{
    fields.clear();
    if (!readRecord(m_text.data(), m_text.size(), m_pos, m_endedInQuote, m_unquoted, m_spans)) return false;
    for (const CsvReader::Span& span : m_spans)
        fields.push_back(span.unquoted ? QByteArrayView(m_unquoted).sliced(span.start, span.size)
                                       : m_text.sliced(span.start, span.size));
    return true;
}

QString spreadsheetField(const QString& value)
{
    static const QString kFormulaStarts = QStringLiteral("=+-@\t\r");
    if (value.isEmpty() || !kFormulaStarts.contains(value.front())) return value;
    bool number = false;
    QLocale::c().toDouble(value, &number);
    return number ? value : QLatin1Char('\'') + value;
}

QString spreadsheetRecord(const QStringList& values)
{
    QStringList fields;
    fields.reserve(values.size());
    for (const QString& value : values) fields << spreadsheetField(value);
    return csvRecord(fields);
}

QByteArray spreadsheetDocument(const QList<QStringList>& records)
{
    QString text;
    for (const QStringList& record : records) text += spreadsheetRecord(record) + QStringLiteral("\r\n");
    return text.toUtf8();
}

} // namespace marrowick
