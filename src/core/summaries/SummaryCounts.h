#pragma once
#include "CountByCode.h"

#include <QHash>
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
// One of those three counts for every code at once, from one grouped pass: the
// saved run's figures ask for every type, and a statement per type cost more
// than the rest of an evaluation. It answers as the per-code statement does:
// codes compare without ASCII case, as the columns do, and a null code counts
// nothing, as a bound NULL matches no row.
class CountsOfEveryCode {
public:
    // sql selects the code and its count, grouped by the code. Throws DbError.
    explicit CountsOfEveryCode(const QString& sql);
    qint64 operator()(const QString& code) const;

private:
    QHash<QString, qint64> m_counts; // by the code in ASCII capitals
};
CountsOfEveryCode unlistedOfEveryType();
CountsOfEveryCode flaggedOfEveryType();
CountsOfEveryCode lostOfEveryKind();

// The look-alikes that share the problem type's combination codes, and those of them lost.
qint64 lookAlikesOfType(const QString& code);
qint64 lostLookAlikesOfType(const QString& code);

} // namespace marrowick::summary
