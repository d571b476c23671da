#pragma once

namespace marrowick {

// Rebuilds one summary table from the working tables as they stand.
class clsOverallResults {
public:
    // True when all 16 rows were written; false after its own message.
    bool RefillOverallResults();
};

} // namespace marrowick
