#pragma once

namespace marrowick {

// Each rebuilds one summary table from the working tables as they stand.

class clsOverallResults {
public:
    // True when all 16 rows were written; false after its own message.
    bool RefillOverallResults();
};

class clsProblemTypeSummary {
public:
    // True when the table was rebuilt; false after its own message.
    bool RefillProblemTypeSummary();
};

class clsDupLikeSummary {
public:
    // False when the old rows could not be deleted (after its message); any
    // later failure is thrown to the caller as DbError.
    bool RefillDupLikeSummary();
};

class clsScoreByType {
public:
    // False when the old rows could not be deleted (after its message); any
    // later failure is thrown to the caller as DbError.
    bool RefillScoresByType();
};

} // namespace marrowick
