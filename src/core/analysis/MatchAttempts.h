#pragma once
#include <QString>
#include <array>
#include <optional>

namespace marrowick {

// The values of a test record that the matching looks it up by.
struct MatchValues {
    QString first, last, momMaiden, momFirst, dob;
};

// What one attempt compares with a registry row, besides the sex: the names,
// the mother's maiden name (or her first name) and the birth date.
struct Lookup {
    QString first, last, mother, dob;
    bool byMomFirst = false; // mother holds her first name, compared with MomFirst
};

// One of the six attempts by which the analysis looks for a test record, in
// the order it tries them; the first that finds the record wins.
struct MatchAttempt {
    int number;        // 1 to 6, as the outcomes keep it
    const char* words; // how a record found by it was found
    bool needsOther;   // takes a value of the group's other record
    Lookup (*lookup)(const MatchValues& self, const MatchValues& other);
};

const std::array<MatchAttempt, 6>& matchAttempts();

// How the record was found: "found by the mother's first name instead of her maiden name".
QString attemptWords(const std::optional<int>& attempt);

} // namespace marrowick
