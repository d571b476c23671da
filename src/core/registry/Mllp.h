#pragma once
#include <QByteArray>
#include <optional>

namespace marrowick {

// MLLP framing: a message is sent as VT, the message, FS CR.
QByteArray mllpFrame(const QByteArray& message);

// Collects bytes as they arrive and hands out whole messages. Bytes outside a
// frame are dropped, as MLLP peers do.
class MllpBuffer {
public:
    void append(const QByteArray& bytes);
    // The next whole message, without its framing; nullopt until one is complete.
    std::optional<QByteArray> next();
    // More bytes than any test message needs: a peer that sends this much
    // without a frame's end is not speaking MLLP.
    bool overflowing() const { return m_pending.size() > kLimit; }

private:
    static constexpr qsizetype kLimit = 4 * 1024 * 1024;
    QByteArray m_pending;
};

} // namespace marrowick
