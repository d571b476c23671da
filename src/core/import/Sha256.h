#pragma once
#include <QByteArray>
#include <QByteArrayView>
#include <QCryptographicHash>
#include <array>
#include <cstdint>

namespace marrowick {

// SHA-256 of a results file, through the processor's SHA instructions where it
// has them: Qt's portable code took a quarter of an evaluation's reading, and
// several times the rest of the reading on the largest files. Elsewhere the
// hash is Qt's; both give the same digest.
class Sha256 {
public:
    Sha256();
    void addData(QByteArrayView data);
    // The digest of everything added, 32 bytes; once only.
    QByteArray result();
    // Whether this processor takes the SHA instructions' path.
    static bool accelerated();

private:
    void compress(const std::uint8_t* blocks, qsizetype count);

    bool m_accelerated;
    QCryptographicHash m_portable{QCryptographicHash::Sha256};
    std::array<std::uint32_t, 8> m_state;
    std::array<std::uint8_t, 64> m_pending{}; // the start of a block not yet full
    qsizetype m_pendingSize = 0;
    std::uint64_t m_length = 0; // bytes added
};

} // namespace marrowick
