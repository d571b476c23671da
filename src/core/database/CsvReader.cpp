#include "CsvReader.h"

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
    if (view.startsWith("\xEF\xBB\xBF"))
        view = view.sliced(3);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(view);
    if (!utf8.hasError())
        return text;
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
    for (const char c : view)
        high |= static_cast<unsigned char>(c);
    if (high < 0x80)
        return bytes;
    QStringDecoder check(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = check.decode(view);
    if (view.startsWith("\xEF\xBB\xBF"))
        view = view.sliced(3);
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
            return QLatin1Char('"') + QString(value).replace(QStringLiteral("\""), QStringLiteral("\"\"")) + QLatin1Char('"');
    return value;
}

QString csvRecord(const QStringList& values)
{
    QStringList fields;
    fields.reserve(values.size());
    for (const QString& value : values)
        fields << csvField(value);
    return fields.join(QLatin1Char(','));
}

CsvReader::CsvReader(QString text) : m_text(std::move(text)) {}

namespace {
// An empty value is empty text, never a null string (which SQL would store as Null).
QString valueOf(const QString& value) { return value.isNull() ? QStringLiteral("") : value; }
} // namespace

bool CsvReader::next(QStringList& fields)
{
    fields.clear();
    const qsizetype n = m_text.size();
    // Empty lines are no records.
    while (m_pos < n && (m_text[m_pos] == u'\n' || m_text[m_pos] == u'\r'))
        ++m_pos;
    if (m_pos >= n)
        return false;

    m_endedInQuote = false;
    auto endsValue = [](QChar c) { return c == u',' || c == u'\r' || c == u'\n'; };
    for (;;) {
        // Blanks before an opening quote are not part of the value.
        qsizetype p = m_pos;
        while (p < n && (m_text[p] == u' ' || m_text[p] == u'\t'))
            ++p;
        QString value;
        if (p < n && m_text[p] == u'"') {
            m_pos = p + 1;
            bool closed = false;
            while (m_pos < n && !closed) {
                const QChar c = m_text[m_pos];
                if (c != u'"') {
                    value.append(c);
                    ++m_pos;
                } else if (m_pos + 1 < n && m_text[m_pos + 1] == u'"') {
                    value.append(u'"');
                    m_pos += 2;
                } else {
                    closed = true;
                    ++m_pos;
                }
            }
            m_endedInQuote = !closed;
            // Anything between the closing quote and the separator is kept.
            const qsizetype rest = m_pos;
            while (m_pos < n && !endsValue(m_text[m_pos]))
                ++m_pos;
            value.append(QStringView(m_text).mid(rest, m_pos - rest));
        } else {
            // The common case: a plain value, taken whole.
            p = m_pos;
            while (p < n && !endsValue(m_text[p]))
                ++p;
            value = m_text.mid(m_pos, p - m_pos);
            m_pos = p;
        }
        fields.append(valueOf(value));
        if (m_pos >= n)
            return true;
        if (m_text[m_pos] == u',') {
            ++m_pos;
            continue;
        }
        if (m_text[m_pos] == u'\r' && m_pos + 1 < n && m_text[m_pos + 1] == u'\n')
            ++m_pos;
        ++m_pos;
        return true;
    }
}

} // namespace marrowick

namespace marrowick {

bool CsvByteReader::next(std::vector<QByteArrayView>& fields)
{
    fields.clear();
    m_spans.clear();
    m_unquoted.clear();
    const qsizetype n = m_text.size();
    const char* const text = m_text.data();
    while (m_pos < n && (text[m_pos] == '\n' || text[m_pos] == '\r'))
        ++m_pos;
    if (m_pos >= n)
        return false;

    m_endedInQuote = false;
    auto endsValue = [](char c) { return c == ',' || c == '\r' || c == '\n'; };
    for (;;) {
        qsizetype p = m_pos;
        while (p < n && (text[p] == ' ' || text[p] == '\t'))
            ++p;
        if (p < n && text[p] == '"') {
            const qsizetype start = m_unquoted.size();
            m_pos = p + 1;
            bool closed = false;
            while (m_pos < n && !closed) {
                if (text[m_pos] != '"') {
                    m_unquoted.append(text[m_pos++]);
                } else if (m_pos + 1 < n && text[m_pos + 1] == '"') {
                    m_unquoted.append('"');
                    m_pos += 2;
                } else {
                    closed = true;
                    ++m_pos;
                }
            }
            m_endedInQuote = !closed;
            const qsizetype rest = m_pos;
            while (m_pos < n && !endsValue(text[m_pos]))
                ++m_pos;
            m_unquoted.append(text + rest, m_pos - rest);
            m_spans.push_back({true, start, m_unquoted.size() - start});
        } else {
            p = m_pos;
            while (p < n && !endsValue(text[p]))
                ++p;
            m_spans.push_back({false, m_pos, p - m_pos});
            m_pos = p;
        }
        if (m_pos < n && text[m_pos] == ',') {
            ++m_pos;
            continue;
        }
        if (m_pos < n) {
            if (text[m_pos] == '\r' && m_pos + 1 < n && text[m_pos + 1] == '\n')
                ++m_pos;
            ++m_pos;
        }
        break;
    }
    for (const Span& span : m_spans)
        fields.push_back(span.unquoted ? QByteArrayView(m_unquoted).sliced(span.start, span.size)
                                       : m_text.sliced(span.start, span.size));
    return true;
}

} // namespace marrowick
