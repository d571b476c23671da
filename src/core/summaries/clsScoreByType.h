#pragma once

namespace marrowick {

// Rebuilds one summary table from the working tables as they stand.
class clsScoreByType {
public:
    // False when the old rows could not be deleted (after its message); any
    // later failure is thrown to the caller as DbError.
    bool RefillScoresByType();
};

} // namespace marrowick
