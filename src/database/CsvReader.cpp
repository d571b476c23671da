#include "CsvReader.h"

#include <QIODevice>

namespace marrowick {

namespace {
// Windows-1252 differs from Latin-1 only in 0x80..0x9F.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};
} // namespace

namespace {

void appendCp1252(QString& text, QByteArrayView bytes)
{
    text.reserve(text.size() + bytes.size());
    for (char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        text.append(QChar(byte >= 0x80 && byte < 0xA0 ? kCp1252High[byte - 0x80] : char16_t(byte)));
    }
}

constexpr qint64 kChunk = 64 * 1024;

// The length of the chunk's longest prefix that does not end inside a UTF-8
// sequence, so that chunks can be checked one by one.
qsizetype utf8Boundary(QByteArrayView chunk)
{
    const qsizetype n = chunk.size();
    for (qsizetype back = 1; back <= 4 && back <= n; ++back) {
        const auto byte = static_cast<unsigned char>(chunk[n - back]);
        if ((byte & 0xC0) == 0x80)
            continue; // a continuation byte: look further back for its lead
        const qsizetype length = byte < 0x80 ? 1 : (byte & 0xE0) == 0xC0 ? 2 : (byte & 0xF0) == 0xE0 ? 3 : (byte & 0xF8) == 0xF0 ? 4 : 1;
        return back < length ? n - back : n;
    }
    return n;
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

CsvReader::Encoding CsvReader::detect(QIODevice& device)
{
    const QByteArray head = device.peek(3);
    if (head.startsWith("\xFF\xFE"))
        return Encoding::Utf16LE;
    if (head.startsWith("\xFE\xFF"))
        return Encoding::Utf16BE;
    Encoding found = Encoding::Utf8;
    QByteArray carry;
    for (;;) {
        QByteArray chunk = device.read(kChunk);
        if (chunk.isEmpty())
            break;
        chunk.prepend(carry);
        const qsizetype whole = utf8Boundary(chunk);
        carry = chunk.sliced(whole);
        QStringDecoder check(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString decoded = check.decode(QByteArrayView(chunk).first(whole));
        if (check.hasError()) {
            found = Encoding::Windows1252;
            break;
        }
    }
    if (found == Encoding::Utf8 && !carry.isEmpty())
        found = Encoding::Windows1252; // the file ends inside a sequence
    device.seek(0);
    return found;
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

CsvReader::CsvReader(QIODevice& device, Encoding encoding) : m_device(&device), m_encoding(encoding)
{
    const QByteArray head = device.peek(3);
    switch (encoding) {
    case Encoding::Utf8:
        if (head.startsWith("\xEF\xBB\xBF"))
            device.skip(3);
        m_decoder = QStringDecoder(QStringDecoder::Utf8);
        break;
    case Encoding::Utf16LE:
    case Encoding::Utf16BE:
        device.skip(2);
        m_decoder = QStringDecoder(encoding == Encoding::Utf16LE ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE);
        break;
    case Encoding::Windows1252:
        if (head.startsWith("\xEF\xBB\xBF"))
            device.skip(3);
        break;
    }
}

bool CsvReader::readChunk()
{
    if (!m_device || m_device->atEnd())
        return false;
    const QByteArray bytes = m_device->read(kChunk);
    if (bytes.isEmpty()) {
        m_readFailed = true; // not at the end, yet nothing came
        return false;
    }
    // Text already taken is dropped before more is added.
    m_text.remove(0, m_pos);
    m_pos = 0;
    if (m_encoding == Encoding::Windows1252)
        appendCp1252(m_text, bytes);
    else
        m_text.append(m_decoder.decode(bytes));
    return true;
}

void CsvReader::fillRecord()
{
    if (!m_device)
        return;
    qsizetype scan = m_pos;
    bool quoted = false;
    bool started = false;
    for (;;) {
        for (; scan < m_text.size(); ++scan) {
            const QChar c = m_text[scan];
            if (c == u'"') {
                quoted = !quoted;
                started = true;
            } else if (c == u'\n' || c == u'\r') {
                if (started && !quoted)
                    return;
            } else {
                started = true;
            }
        }
        const qsizetype offset = m_pos;
        if (!readChunk())
            return;
        scan -= offset;
    }
}

namespace {
// An empty value is empty text, never a null string (which SQL would store as Null).
QString valueOf(const QString& value) { return value.isNull() ? QStringLiteral("") : value; }
} // namespace

bool CsvReader::next(QStringList& fields)
{
    fields.clear();
    fillRecord();
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
