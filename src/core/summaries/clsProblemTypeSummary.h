#pragma once

namespace marrowick {

// Rebuilds one summary table from the working tables as they stand.
class clsProblemTypeSummary {
public:
    // True when the table was rebuilt; false after its own message.
    bool RefillProblemTypeSummary();
};

} // namespace marrowick
