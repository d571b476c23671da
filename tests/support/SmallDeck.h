#pragma once
// A hand-made test deck of a few people and groups, and registry rows of them.
#include "TestDatabase.h"
#include "analysis/ProblemCode.h"
#include "database/Db.h"

namespace marrowick::test {

struct Person {
    int id;
    QString first, last, maiden, dob, sex, momFirst;
    QString vacCode = QStringLiteral("03"), vacDate = QStringLiteral("20200101"), problem = problem::kBaseRecord;
};

// Replaces the test deck and the registry's rows; a 0 in a group is an empty slot.
inline void deck(const QList<Person>& people, const QList<QList<int>>& groups)
{
    for (const char* table : {"DupTestData", "Answer_Sheet", "DupTestVaccination", "IIS_LOADED_CHILD_ALL"})
        run(QStringLiteral("DELETE FROM %1").arg(QLatin1String(table)));
    for (const Person& p : people) {
        appendRow("DupTestData", {{"ID", p.id}, {"FirstName", p.first}, {"LastName", p.last}, {"MomMaiden", p.maiden}, {"DOB", p.dob},
                                  {"Sex", p.sex}, {"MomFirst", p.momFirst}, {"ProblemCode", p.problem}});
        appendRow("DupTestVaccination", {{"ID", p.id}, {"VacCode", p.vacCode}, {"VacDate", p.vacDate}});
    }
    for (const QList<int>& g : groups) {
        QVariantList ids;
        for (int i = 0; i < 5; ++i)
            ids << (i < g.size() && g[i] != 0 ? QVariant(g[i]) : QVariant());
        run("INSERT INTO Answer_Sheet (rec_1, rec_2, rec_3, rec_4, rec_5) VALUES (?,?,?,?,?)", ids);
    }
}

// One registry row: client, flag and the compared demographics.
inline void registryRow(const QString& client, const QString& flag, const Person& p)
{
    appendRow("IIS_LOADED_CHILD_ALL",
              {{"ClientID", client}, {"QMflag", flag}, {"FirstName", p.first}, {"LastName", p.last}, {"MomMaiden", p.maiden},
               {"DOB", p.dob}, {"Sex", p.sex}, {"MomFirst", p.momFirst}, {"VacCode", p.vacCode}, {"VacDate", p.vacDate}});
}

} // namespace marrowick::test
