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

// A problem type, or a kind of look-alike, and how many test records it has.
struct CodeCount {
    QString code;
    qint64 records = 0;
};
// By problem code: the duplicate types, then the kinds of look-alike (SecondProblem).
std::vector<CodeCount> duplicateTypes();
std::vector<CodeCount> lookAlikeKinds();

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
// The look-alikes that share the problem type's combination codes, and those of them lost.
qint64 lookAlikesOfType(const QString& code);
qint64 lostLookAlikesOfType(const QString& code);

} // namespace marrowick::summary
