#pragma once
#include <QString>

namespace marrowick::problem {

// The problem codes of the test records that are no one's duplicate: a
// person's main record, and a look-alike's (a record of a different person
// who resembles another). Every other code names a kind of duplicate.
inline const QString kBaseRecord = QStringLiteral("BASE_RECORD");
inline const QString kLookAlike = QStringLiteral("DL_BASE_RECORD");

// SQL conditions on a ProblemCode column (NOCASE, so the letters' case never matters).
inline QString isDuplicate(const QString& column = QStringLiteral("ProblemCode"))
{
    return column + QStringLiteral(" NOT IN ('BASE_RECORD', 'DL_BASE_RECORD')");
}
inline QString isNotDuplicate(const QString& column = QStringLiteral("ProblemCode"))
{
    return column + QStringLiteral(" IN ('BASE_RECORD', 'DL_BASE_RECORD')");
}
inline QString isLookAlike(const QString& column = QStringLiteral("ProblemCode"))
{
    return column + QStringLiteral(" = 'DL_BASE_RECORD'");
}

inline bool isLookAlikeCode(const QString& code) { return code.compare(kLookAlike, Qt::CaseInsensitive) == 0; }
inline bool isBaseRecordCode(const QString& code) { return code.compare(kBaseRecord, Qt::CaseInsensitive) == 0; }
// The C++ twin of isDuplicate(): whether a record with this code is someone's duplicate.
inline bool isDuplicateCode(const QString& code) { return !isBaseRecordCode(code) && !isLookAlikeCode(code); }

} // namespace marrowick::problem
