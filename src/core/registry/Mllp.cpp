#include "Mllp.h"

namespace marrowick {

namespace {
constexpr char kStart = '\x0b';
constexpr char kEnd = '\x1c';
constexpr char kCr = '\r';
} // namespace

QByteArray mllpFrame(const QByteArray& message) { return kStart + message + kEnd + kCr; }

void MllpBuffer::append(const QByteArray& bytes) { m_pending += bytes; }

std::optional<QByteArray> MllpBuffer::next()
{
    const qsizetype start = m_pending.indexOf(kStart);
    if (start < 0) {
        m_pending.clear(); // nothing framed is waiting
        return std::nullopt;
    }
    const qsizetype end = m_pending.indexOf(kEnd, start + 1);
    if (end < 0) {
        m_pending.remove(0, start);
        return std::nullopt;
    }
    QByteArray message = m_pending.mid(start + 1, end - start - 1);
    // The CR after FS belongs to the frame; a peer that leaves it out is forgiven.
    const qsizetype after = end + 1 < m_pending.size() && m_pending.at(end + 1) == kCr ? end + 2 : end + 1;
    m_pending.remove(0, after);
    return message;
}

} // namespace marrowick
