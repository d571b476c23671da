#pragma once
#include <QString>
#include <optional>

namespace marrowick {

// What the registry did with one test record, as the analysis decides it.
enum class Outcome {
    Main,          // the group's main record, found
    Caught,        // a duplicate under the group's own client
    Flagged,       // a duplicate kept as a client of its own, with a potential-duplicate flag
    Missed,        // a duplicate kept as a client of its own, unnoticed
    Lost,          // no record of its group is in the export
    Absent,        // not in the export under its own names, but its group is
    KeptApart,     // a look-alike kept as a client of its own
    StrangerMerge, // a look-alike under the client of another test person
};

// The code tblRecordOutcomes keeps: "main", "caught", ..., "kept_apart", "stranger_merge".
QString outcomeCode(Outcome outcome);
// The same code's text, which lives as long as the program.
const char* outcomeCodeText(Outcome outcome);
// The outcome of a code; none for an unknown code.
std::optional<Outcome> parseOutcome(const QString& code);
// As a person says it: "main record", "kept apart", "merged with a stranger".
QString outcomeWords(Outcome outcome);
// The words of a stored code; an unknown code as it is.
QString outcomeWords(const QString& code);

} // namespace marrowick
