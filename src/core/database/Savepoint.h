#pragma once
#include <QString>

namespace marrowick {

// A unit of writes: a savepoint, so that units nest (an analysis holds the load
// that preceded it). Not committed by the end of the scope means rolled back.
class Savepoint {
public:
    Savepoint();
    ~Savepoint();
    void commit();
    Savepoint(const Savepoint&) = delete;
    Savepoint& operator=(const Savepoint&) = delete;

private:
    QString m_name;
    bool m_open = true;
};

} // namespace marrowick
