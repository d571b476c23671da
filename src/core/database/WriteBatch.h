#pragma once
#include <QString>

namespace marrowick {

// Rows written in a batch for speed; what was saved stays even when a later
// step fails, as each row were stored on its own.
class WriteBatch {
public:
    WriteBatch();
    ~WriteBatch();
    WriteBatch(const WriteBatch&) = delete;
    WriteBatch& operator=(const WriteBatch&) = delete;

private:
    QString m_name;
};

} // namespace marrowick
