#pragma once
#include "CountByCode.h"

#include <QString>
#include <vector>

namespace marrowick::summary {

// The counts that the summary reports are built from, one statement each,
// shared with the evaluation history so that its figures are the reports'.
// Each throws DbError.

qint64 duplicatesInDeck();
qint64 nonDuplicatesInDeck();
// Surplus clients that nothing flagged.
qint64 undetectedDuplicates();
// Groups of which no record reached the export.
qint64 missingGroups();

// Duplicates of the type that no surplus client holds, and those that one
// holds with a flag: together, those the registry caught.
qint64 unlistedOfType(const QString& code);
qint64 flaggedOfType(const QString& code);
// Records of that kind of look-alike whose group is missing.
qint64 lostOfKind(const QString& secondProblem);
// The same three counts, prepared once for asking of every code in turn.
CountByCode unlistedByType();
CountByCode flaggedByType();
CountByCode lostByKind();

// Every count of the saved run's figures, as the statements above give them,
// from one pass over the deck and one over each working table: the figures
// ask for every code, and a grouped statement per count sorted the deck five
// times, which cost more than the rest of an evaluation.
struct TypeCounts {
    QString code; // as the reports' grouped statement spells it: its first record's
    qint64 records = 0;
    qint64 unlisted = 0; // unlistedOfType()
    qint64 flagged = 0;  // flaggedOfType()
};
struct KindCounts {
    QString code;
    qint64 records = 0; // its look-alikes
    qint64 lost = 0;    // lostOfKind()
};
struct FigureCounts {
    qint64 nonDuplicates = 0;      // nonDuplicatesInDeck()
    qint64 undetected = 0;         // undetectedDuplicates()
    qint64 missingGroups = 0;      // missingGroups()
    std::vector<TypeCounts> types; // the duplicate types, in the order of the reports' grouped statement
    std::vector<KindCounts> kinds; // the kinds of look-alike (SecondProblem), likewise
};
// Throws DbError.
FigureCounts figureCounts();

// The look-alikes that share the problem type's combination codes, and those of them lost.
qint64 lookAlikesOfType(const QString& code);
qint64 lostLookAlikesOfType(const QString& code);

} // namespace marrowick::summary
