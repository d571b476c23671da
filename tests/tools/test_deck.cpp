#include "Suite.h"
#include "analysis/MatchAttempts.h"
#include "analysis/ProblemCode.h"
#include "gendeck/DeckGenerator.h"
#include "simregistry/RegistrySimulator.h"

#include <functional>
#include <numeric>

namespace {

sim::Simulation simulate(sim::Policy policy)
{
    const sim::RegistrySimulator simulator(policy, sim::RegistrySimulator::parseNicknames(sourceBytes("tools/deckdata/nicknames.txt")),
                                           sim::RegistrySimulator::parseAnswerSheet(sourceBytes("data/Answer_Sheet.csv")));
    return simulator.run(sim::RegistrySimulator::parseTestFile(sourceBytes("data/DupTestData.txt")));
}

// The list files of tools/deckdata as rows: name, origin or sex, and the years.
QList<QStringList> listRows(const QString& file)
{
    QList<QStringList> rows;
    for (const QByteArray& line : sourceBytes("tools/deckdata/" + file).split('\n'))
        if (!line.trimmed().isEmpty() && !line.startsWith('#'))
            rows << QString::fromUtf8(line.trimmed()).split(QLatin1Char(','));
    return rows;
}

// The day of a yyyymmdd column, for date arithmetic.
QString day(const QString& column) { return QStringLiteral("julianday(substr(%1,1,4)||'-'||substr(%1,5,2)||'-'||substr(%1,7,2))").arg(column); }

const QString kNonDup = problem::isNotDuplicate();
const QString kDup = problem::isDuplicate(QStringLiteral("d.ProblemCode"));

QString sameMother(const QString& a, const QString& b)
{
    return QStringLiteral("%1.MomMaiden=%2.MomMaiden AND %1.MomFirst=%2.MomFirst AND ifnull(%1.MomMaiden,'')||ifnull(%1.MomFirst,'')<>''")
        .arg(a, b);
}

// The fields of DupTestData.txt that describe the child and the mother.
const char* const kDemographics[] = {"LastName", "FirstName", "MiddleName", "Suffix", "DOB",
                                     "Sex", "MomMaiden", "MomLast", "MomFirst", "MomMiddle"};

// A duplicate d with its group's base record b.
const QString kDupAndBase = QStringLiteral("DupTestData d JOIN Member m ON m.ID=d.ID JOIN DupTestData b ON b.ID=m.Base");

// Optimal string alignment distance: edits, counting a swap of neighbours as one.
int distance(const QString& a, const QString& b)
{
    std::vector<std::vector<int>> d(size_t(a.size() + 1), std::vector<int>(size_t(b.size() + 1)));
    for (qsizetype i = 0; i <= a.size(); ++i)
        for (qsizetype j = 0; j <= b.size(); ++j) {
            int& here = d[size_t(i)][size_t(j)];
            here = i == 0 || j == 0 ? int(i + j)
                                    : std::min({d[size_t(i - 1)][size_t(j)] + 1, d[size_t(i)][size_t(j - 1)] + 1,
                                                d[size_t(i - 1)][size_t(j - 1)] + int(a[i - 1] != b[j - 1])});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                here = std::min(here, d[size_t(i - 2)][size_t(j - 2)] + 1);
        }
    return d.back().back();
}

// A DupTestData.csv row's evidence for another's person, and the part of it
// beyond first name, birth date and sex: names agreeing in any name field, as
// an initial or a near spelling; each mother's name; a birth date the same,
// one digit off or day and month swapped; the sex.
QPair<int, int> evidence(const QStringList& a, const QStringList& b)
{
    auto agrees = [&](const QString& n) {
        return !n.isEmpty() && std::any_of(b.begin() + 1, b.begin() + 4, [&](const QString& t) {
            return !t.isEmpty() && (n.size() == 1 || t.size() == 1 ? n[0] == t[0] : std::abs(n.size() - t.size()) <= 1 && distance(n, t) <= 1);
        });
    };
    int beyond = int(agrees(a[1])) + int(agrees(a[3]));
    for (int f : {7, 8, 9, 10})
        beyond += !a[f].isEmpty() && a[f] == b[f];
    const bool swapped = a[5].left(4) == b[5].left(4) && a[5].mid(4, 2) == b[5].mid(6, 2) && a[5].mid(6, 2) == b[5].mid(4, 2);
    const int dob = int(swapped || std::inner_product(a[5].begin(), a[5].end(), b[5].begin(), 0, std::plus<>(), std::not_equal_to<>()) <= 1);
    return {beyond + int(agrees(a[2])) + dob + int(a[6] == b[6]), beyond};
}

} // namespace

class TestDeck : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        s.emplace();
        const deck::DeckData data = deck::DeckData::load(source("tools/deckdata"));
        deck::DeckGenerator generator(data, 20020625);
        const deck::Deck deck = generator.generate();
        generated = deck::DeckGenerator::render(deck, data);
        generated.insert(QStringLiteral("DupTestSubmission.csv"), deck::DeckGenerator::renderSubmissions(deck, data));

        // What the rules compare the deck with: who belongs to which family and
        // group, and the name and vaccine lists the deck was drawn from.
        run("CREATE TEMP TABLE Family (ID INTEGER, Family INTEGER)");
        for (size_t i = 0; i < deck.records.size(); ++i)
            run("INSERT INTO Family VALUES (?, ?)", {deck.idOf[i], deck.idOf[size_t(deck.records[i].family)]});
        QStringList members;
        for (int k = 1; k <= 5; ++k)
            members << QStringLiteral("SELECT rec_%1, rec_1 FROM Answer_Sheet WHERE rec_%1 IS NOT NULL").arg(k);
        run("CREATE TEMP VIEW Member (ID, Base) AS " + members.join(QStringLiteral(" UNION ALL ")));
        run("CREATE TEMP TABLE ChildNames (Name TEXT, Sex TEXT, FromYear INTEGER, ToYear INTEGER)");
        for (const auto& [file, sex] : {std::pair{"boys.txt", "M"}, std::pair{"girls.txt", "F"}})
            for (const QStringList& n : listRows(QLatin1String(file)))
                run("INSERT INTO ChildNames VALUES (?, ?, ?, ?)",
                     {n[0], QLatin1String(sex), n[2].section('-', 0, 0).toInt(), n[2].section('-', 1, 1).toInt()});
        for (const QStringList& n : listRows(QStringLiteral("compound_first.txt")))
            run("INSERT INTO ChildNames VALUES (?, ?, 0, 9999)", {n[0], n[1]});
        run("CREATE TEMP TABLE MotherNames (Name TEXT, Origin TEXT, Kind TEXT)");
        run("CREATE TEMP TABLE Surnames (Name TEXT, Origin TEXT)");
        for (const auto& [file, kind] : {std::pair{"mothers.txt", "first"}, std::pair{"mothers_middle.txt", "middle"}})
            for (const QStringList& n : listRows(QLatin1String(file)))
                run("INSERT INTO MotherNames VALUES (?, ?, ?)", {n[0], n[1], QLatin1String(kind)});
        for (const char* file : {"surnames.txt", "apostrophe_surnames.txt", "particle_surnames.txt"})
            for (const QStringList& n : listRows(QLatin1String(file)))
                run("INSERT INTO Surnames VALUES (?, ?)", {n[0], n[1]});
        // What each record's provider sent: its clinic, number, home and birth order.
        run("CREATE TEMP TABLE Sent (ID INTEGER, FacilityID, MRN, Street, City, Zip, Phone, MultipleBirth, BirthOrder, Lot)");
        for (const QStringList& v : csvRecords(sourceBytes("data/DupTestSubmission.csv")).mid(1))
            run("INSERT INTO Sent VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
                {v[0].toInt(), v[1], v[3], v[4], v[5], v[7], v[8], v[9], v[10], v[12]});
        // Each look-up that the matching makes for a record, with each member of
        // its group (itself too) as the other record.
        run("CREATE TEMP TABLE Probe (ID INTEGER, Base INTEGER, ByMomFirst INTEGER, First, Last, Mother, DOB, Sex)");
        QSqlQuery q = run("SELECT r.ID, m.Base, r.Sex, r.FirstName, r.LastName, ifnull(r.MomMaiden,''), "
                          "ifnull(r.MomFirst,''), r.DOB, o.FirstName, o.LastName, ifnull(o.MomMaiden,''), "
                          "ifnull(o.MomFirst,''), o.DOB FROM DupTestData r JOIN Member m ON m.ID=r.ID "
                          "JOIN Member mo ON mo.Base=m.Base JOIN DupTestData o ON o.ID=mo.ID");
        auto values = [&](int at) {
            auto v = [&](int c) { return q.value(at + c).toString(); };
            return MatchValues{v(0), v(1), v(2), v(3), v(4)};
        };
        while (q.next())
            for (const MatchAttempt& attempt : matchAttempts()) {
                const Lookup l = attempt.lookup(values(3), values(8));
                run("INSERT INTO Probe VALUES (?, ?, ?, ?, ?, ?, ?, ?)",
                    {q.value(0), q.value(1), l.byMomFirst, l.first, l.last, l.mother, l.dob, q.value(2)});
            }
        undecided(csvRecords(sourceBytes("data/DupTestData.csv")).mid(1));
        run("CREATE TEMP TABLE Vaccines (Cvx INTEGER, Mvx TEXT, UseFrom TEXT)");
        run("CREATE TEMP TABLE Antigens (Cvx INTEGER, Antigen TEXT)");
        for (const QStringList& v : csvRecords(sourceBytes("tools/deckdata/vaccines.csv")).mid(1)) {
            run("INSERT INTO Vaccines VALUES (?, ?, ?)", {v[0].toInt(), v[2], QString(v[5]).remove('-')});
            for (const QString& antigen : v[6].split(';'))
                run("INSERT INTO Antigens VALUES (?, ?)", {v[0].toInt(), antigen});
        }
        run("CREATE TEMP TABLE Intervals (Antigen TEXT, Days INTEGER)");
        for (const QStringList& v : csvRecords(sourceBytes("tools/deckdata/minimum_intervals.csv")).mid(1))
            run("INSERT INTO Intervals VALUES (?, ?)", {v[0], v[1].toInt()});
    }
    void cleanupTestCase() { s.reset(); }

    void generatorReproducesTheShippedDeck()
    {
        QCOMPARE(generated.size(), 8);
        for (auto it = generated.begin(); it != generated.end(); ++it)
            QVERIFY2(sourceBytes("data/" + it.key()) == it.value(), qPrintable(it.key() + " differs from a fresh generation"));
    }

    void deckRules_data()
    {
        QTest::addColumn<QString>("offenders");
        structureRules();
        matchingAndVaccinationRules();
        namesAndHomesRules();
    }

    void deckRules()
    {
        QFETCH(QString, offenders);
        const QStringList found = rows(offenders);
        QVERIFY2(found.isEmpty(), qPrintable(QStringLiteral("%1 offenders, first: %2").arg(found.size()).arg(found.mid(0, 6).join(QStringLiteral("; ")))));
    }

    // A fresh run of each policy gives the committed samples byte for byte (so the
    // simulator is deterministic too), and refuses nothing but duplicates.
    void samplesAreTheSimulatorsCurrentOutput()
    {
        for (const QString& name : sim::policyNames()) {
            const sim::Simulation run = simulate(*sim::policyNamed(name));
            QVERIFY2(fileBytes(sample(name)) == run.resultsFile, qPrintable(name));
            QVERIFY2(sourceBytes("samples/truth-" + name + ".csv") == run.truth, qPrintable(name));
            QVERIFY2(!run.truth.contains(",rejected,"), qPrintable(name));
        }
    }

private:
    // Each rule is a query over the deck's tables that finds what breaks it; QTest rows of deckRules.
    void structureRules()
    {
        QTest::newRow("550 records numbered from 1")
            << QStringLiteral("SELECT * FROM (SELECT count(*) AS n, min(ID) AS lo, max(ID) AS hi FROM DupTestData) WHERE n<>550 OR lo<>1 OR hi<>550");
        QTest::newRow("every record in one group, as its base when it is no duplicate")
            << QStringLiteral("SELECT d.ID FROM DupTestData d LEFT JOIN Member m ON m.ID=d.ID GROUP BY d.ID "
                              "HAVING count(m.ID)<>1 OR (max(m.Base=d.ID)=1) <> (d.%1)").arg(kNonDup);
        QTest::newRow("groups of every size from one to five, and some with empty slots")
            << QStringLiteral("SELECT * FROM (SELECT count(DISTINCT n) AS k, min(n) AS lo, max(n) AS hi FROM (SELECT count(*) AS n FROM Member "
                              "GROUP BY Base)) WHERE k<>5 OR lo<>1 OR hi<>5 UNION ALL SELECT 'gaps', 0, 0 WHERE (SELECT count(*) FROM "
                              "Answer_Sheet WHERE (rec_2 IS NULL AND rec_3 IS NOT NULL) OR (rec_3 IS NULL AND rec_4 IS NOT NULL) OR "
                              "(rec_4 IS NULL AND rec_5 IS NOT NULL)) < 2");
        QTest::newRow("shuffled: no duplicate next to its base record") << QStringLiteral("SELECT ID FROM Member WHERE ID<>Base AND abs(ID-Base)<=1");
        QTest::newRow("every problem type described and of at least 6 records")
            << QStringLiteral("SELECT ProbCode FROM tblProbDescMap LEFT JOIN DupTestData ON ProblemCode=ProbCode GROUP BY ProbCode "
                              "HAVING count(ID) < 6 UNION ALL SELECT DISTINCT ProblemCode FROM DupTestData d WHERE %1 AND "
                              "ProblemCode NOT IN (SELECT ProbCode FROM tblProbDescMap)") .arg(kDup);
        QTest::newRow("every look-alike of a described kind that imitates described types")
            << QStringLiteral("SELECT ProbCode FROM tblSecondProbDescMap WHERE ProbCode NOT IN (SELECT SecondProblem FROM DupTestData) "
                              "UNION ALL SELECT ID FROM DupTestData WHERE %1 AND (SecondProblem NOT IN "
                              "(SELECT ProbCode FROM tblSecondProbDescMap) OR ComboCode NOT IN (SELECT ComboCode FROM tblComboMap)) "
                              "UNION ALL SELECT ProbCode FROM tblComboMap WHERE ProbCode NOT IN "
                              "(SELECT ProbCode FROM tblProbDescMap)")
                   .arg(problem::isLookAlike());
        QTest::newRow("codes without apostrophes, orders below 99")
            << QStringLiteral("SELECT ProbCode FROM tblProbDescMap WHERE ProbOrder >= 99 OR ProbCode LIKE '%''%' UNION ALL "
                              "SELECT ProbCode FROM tblSecondProbDescMap WHERE ProbOrder >= 99 OR ProbCode LIKE '%''%'");
        QTest::newRow("identifiable: matching values and vaccination never shared")
            << QStringLiteral("SELECT a.ID, b.ID FROM DupTestData a JOIN DupTestData b ON a.ID<b.ID AND a.FirstName=b.FirstName AND "
                              "a.LastName=b.LastName AND ifnull(a.MomMaiden,'')=ifnull(b.MomMaiden,'') AND a.DOB=b.DOB AND a.Sex=b.Sex "
                              "JOIN DupTestVaccination va ON va.ID=a.ID JOIN DupTestVaccination vb ON vb.ID=b.ID "
                              "WHERE CAST(va.VacCode AS INTEGER)=CAST(vb.VacCode AS INTEGER) AND va.VacDate=vb.VacDate");
    }

    void matchingAndVaccinationRules()
    {
        QTest::newRow("no matching attempt leads to another group's record")
            << QStringLiteral("SELECT DISTINCT p.ID, x.ID FROM Probe p JOIN DupTestData x ON "
                              "x.FirstName=p.First AND x.LastName=p.Last AND x.DOB=p.DOB AND x.Sex=p.Sex AND "
                              "ifnull(CASE WHEN p.ByMomFirst THEN x.MomFirst ELSE x.MomMaiden END,'')=p.Mother "
                              "JOIN Member mx ON mx.ID=x.ID WHERE mx.Base<>p.Base");
        QTest::newRow("no mother shared by unrelated families")
            << QStringLiteral("SELECT a.ID, b.ID FROM DupTestData a JOIN DupTestData b ON a.ID<b.ID AND %1 JOIN Family fa ON fa.ID=a.ID "
                              "JOIN Family fb ON fb.ID=b.ID WHERE fa.Family<>fb.Family") .arg(sameMother("a", "b"));
        QTest::newRow("births to one mother 270 days apart unless one birth")
            << QStringLiteral("SELECT a.ID, b.ID FROM DupTestData a JOIN DupTestData b ON a.ID<b.ID AND %1 WHERE a.%2 AND b.%2 "
                              "AND a.DOB<>b.DOB AND abs(%3-%4) < 270") .arg(sameMother("a", "b"), kNonDup, day("a.DOB"), day("b.DOB"));
        QTest::newRow("newborn names only for single births and twins of opposite sex")
            << QStringLiteral("SELECT d.ID FROM %1 JOIN DupTestData o ON o.ID<>b.ID AND o.%2 AND %3 AND o.DOB=b.DOB AND o.Sex=b.Sex "
                              "WHERE d.ID<>b.ID AND (d.FirstName GLOB 'BABY*' OR d.FirstName GLOB 'INFANT*' OR d.FirstName GLOB 'TWIN*' "
                              "OR d.FirstName GLOB 'TRIPLET*' OR d.FirstName IN ('BB','BG') OR d.ProblemCode='NEWBORN_MOTHER')")
                   .arg(kDupAndBase, kNonDup, sameMother("o", "b"));
        QTest::newRow("every dose on or after the true and the written birth date")
            << QStringLiteral("SELECT d.ID FROM %1 JOIN DupTestVaccination v ON v.ID=d.ID WHERE v.VacDate < d.DOB OR v.VacDate < b.DOB")
                   .arg(kDupAndBase);
        QTest::newRow("names, birth date and sex present, upper case, in the deck's years")
            << QStringLiteral("SELECT ID FROM DupTestData WHERE ifnull(FirstName,'')='' OR ifnull(LastName,'')='' OR Sex NOT IN ('M','F','U') "
                              "OR %1 IS NULL OR substr(DOB,1,4) NOT BETWEEN '2019' AND '2025' OR length(notes) < 10 "
                              "OR FirstName<>upper(FirstName) OR LastName<>upper(LastName) OR MiddleName<>upper(MiddleName) "
                              "OR MomMaiden<>upper(MomMaiden)") .arg(day("DOB"));
        QTest::newRow("every product a maker's, given after its use in children began")
            << QStringLiteral("SELECT v.ID FROM DupTestVaccination v LEFT JOIN Vaccines p ON p.Cvx=CAST(v.VacCode AS INTEGER) AND p.Mvx=v.VacMfr "
                              "WHERE p.Cvx IS NULL OR (p.UseFrom<>'' AND v.VacDate < p.UseFrom) OR v.VacDate > '20261130'");
        QTest::newRow("twins and triplets vaccinated the same day")
            << QStringLiteral("SELECT a.ID, b.ID FROM DupTestData a JOIN DupTestData b ON a.ID<b.ID AND %1 AND a.DOB=b.DOB "
                              "JOIN DupTestVaccination va ON va.ID=a.ID JOIN DupTestVaccination vb ON vb.ID=b.ID "
                              "WHERE %2 AND %3 AND va.VacDate<>vb.VacDate")
                   .arg(sameMother("a", "b"), problem::isLookAlike("a.ProblemCode"),
                        problem::isLookAlike("b.ProblemCode"));
        // Two doses of one antigen in one child's records: one dose sent twice, or
        // the shortest interval apart less 4 days' grace.
        QTest::newRow("doses of one antigen the same dose or far enough apart")
            << QStringLiteral("SELECT a.ID, b.ID, ga.Antigen FROM Member ma JOIN Member mb ON mb.Base=ma.Base AND ma.ID<mb.ID "
                              "JOIN DupTestVaccination a ON a.ID=ma.ID JOIN DupTestVaccination b ON b.ID=mb.ID "
                              "JOIN Sent sa ON sa.ID=a.ID JOIN Sent sb ON sb.ID=b.ID "
                              "JOIN Antigens ga ON ga.Cvx=CAST(a.VacCode AS INTEGER) JOIN Antigens gb ON gb.Cvx=CAST(b.VacCode AS INTEGER) "
                              "AND gb.Antigen=ga.Antigen JOIN Intervals i ON i.Antigen=ga.Antigen WHERE CASE WHEN a.VacDate=b.VacDate "
                              "THEN a.VacCode<>b.VacCode OR a.VacMfr<>b.VacMfr OR sa.Lot<>sb.Lot ELSE abs(%1-%2) < i.Days-4 END")
                   .arg(day("a.VacDate"), day("b.VacDate"));
        QTest::newRow("a lot is one maker's lot of one vaccine")
            << QStringLiteral("SELECT s.Lot FROM Sent s JOIN DupTestVaccination v ON v.ID=s.ID GROUP BY s.Lot "
                              "HAVING count(DISTINCT CAST(v.VacCode AS INTEGER)||v.VacMfr) > 1");
    }

    void namesAndHomesRules()
    {
        QStringList same;
        for (const char* c : kDemographics)
            same << QStringLiteral("ifnull(a.%1,'')=ifnull(b.%1,'')").arg(QLatin1String(c));
        QTest::newRow("no record a copy of another, but an exact duplicate of its base")
            << QStringLiteral("SELECT a.ID, b.ID FROM DupTestData a JOIN DupTestData b ON a.ID<b.ID AND %1 WHERE NOT EXISTS "
                              "(SELECT 1 FROM Member m WHERE (m.ID=a.ID AND m.Base=b.ID AND a.ProblemCode IN ('EXACT','FAMILY_MOVED')) "
                              "OR (m.ID=b.ID AND m.Base=a.ID AND b.ProblemCode IN ('EXACT','FAMILY_MOVED')))") .arg(same.join(QStringLiteral(" AND ")));
        QTest::newRow("every duplicate closer to its own person than to anyone else") << QStringLiteral("SELECT * FROM Undecided");
        QTest::newRow("no two people share names, birth date and sex")
            << QStringLiteral("SELECT a.ID, b.ID FROM DupTestData a JOIN DupTestData b ON a.ID<b.ID AND a.LastName=b.LastName AND "
                              "a.FirstName=b.FirstName AND ifnull(a.MiddleName,'')=ifnull(b.MiddleName,'') AND a.DOB=b.DOB AND "
                              "a.Sex=b.Sex JOIN Member ma ON ma.ID=a.ID JOIN Member mb ON mb.ID=b.ID WHERE ma.Base<>mb.Base");
        QTest::newRow("surname particles both joined and split")
            << QStringLiteral("SELECT 'joined' WHERE NOT EXISTS (SELECT 1 FROM %1 WHERE d.ProblemCode='SURNAME_PARTICLE' AND "
                              "instr(b.LastName,' ')>0 AND instr(d.LastName,' ')=0) UNION ALL SELECT 'split' WHERE NOT EXISTS "
                              "(SELECT 1 FROM %1 WHERE d.ProblemCode='SURNAME_PARTICLE' AND instr(b.LastName,' ')=0 AND instr(d.LastName,' ')>0)")
                   .arg(kDupAndBase);
        QTest::newRow("a changed surname is a parent's")
            << QStringLiteral("SELECT d.ID FROM %1 WHERE d.ProblemCode='SURNAME_CHANGED' AND d.LastName NOT IN "
                              "(ifnull(d.MomMaiden,''), ifnull(d.MomLast,''), ifnull(b.MomMaiden,''), ifnull(b.MomLast,''))") .arg(kDupAndBase);
        QTest::newRow("no adoption: registries keep adopted children apart")
            << QStringLiteral("SELECT ID FROM DupTestData WHERE notes LIKE '%adopt%'");
        // Problems of the middle name are the most frequent, misspellings next.
        QTest::newRow("the middle name's problems first, misspellings next")
            << QStringLiteral("SELECT * FROM (SELECT sum(ProblemCode IN ('MIDDLE_MISSING','MIDDLE_AS_FIRST','FIRST_MIDDLE_SWAPPED',"
                              "'LAST_MIDDLE_SWAPPED')) AS middle, sum(ProblemCode IN ('FN_TYPO','FN_TRANSPOSE','FN_SOUNDALIKE','LN_TYPO')) "
                              "AS spelling FROM DupTestData) WHERE middle <= spelling OR spelling <= (SELECT max(n) FROM (SELECT count(*) "
                              "AS n FROM DupTestData d WHERE %1 AND ProblemCode NOT IN ('MIDDLE_MISSING','MIDDLE_AS_FIRST',"
                              "'FIRST_MIDDLE_SWAPPED','LAST_MIDDLE_SWAPPED','FN_TYPO','FN_TRANSPOSE','FN_SOUNDALIKE','LN_TYPO') "
                              "GROUP BY ProblemCode))").arg(kDup);
        QStringList differs;
        for (const char* c : kDemographics)
            differs << QStringLiteral("(ifnull(d.%1,'')<>ifnull(b.%1,''))").arg(QLatin1String(c));
        QTest::newRow("three or more fields wrong in a tenth of the duplicates, 200 to 300 people")
            << QStringLiteral("SELECT * FROM (SELECT sum(%1 >= 3) AS many, count(*) AS dups FROM %2 WHERE d.ID<>b.ID) "
                              "WHERE many * 10 < dups OR 550 - dups NOT BETWEEN 200 AND 300").arg(differs.join('+'), kDupAndBase);
        QTest::newRow("children named as children of their birth year were")
            << QStringLiteral("SELECT ID, FirstName, MiddleName FROM DupTestData d WHERE d.%1 AND FirstName NOT GLOB 'BABY*' AND "
                              "EXISTS (SELECT 1 FROM (SELECT d.FirstName AS n UNION ALL SELECT d.MiddleName WHERE ifnull(d.MiddleName,'')<>'') "
                              "WHERE NOT EXISTS (SELECT 1 FROM ChildNames c WHERE c.Name=n AND c.Sex=d.Sex AND "
                              "CAST(substr(d.DOB,1,4) AS INTEGER) BETWEEN c.FromYear AND c.ToYear))") .arg(kNonDup);
        QTest::newRow("mothers named for their generation and origin, first and middle different")
            << QStringLiteral("SELECT ID, MomFirst, MomMiddle, MomMaiden FROM DupTestData d WHERE d.%1 AND (MomFirst=MomMiddle OR NOT EXISTS "
                              "(SELECT 1 FROM MotherNames f JOIN Surnames s ON s.Origin=f.Origin WHERE f.Kind='first' AND f.Name=d.MomFirst "
                              "AND s.Name=d.MomMaiden AND (ifnull(d.MomMiddle,'')='' OR EXISTS (SELECT 1 FROM MotherNames m WHERE "
                              "m.Kind='middle' AND m.Name=d.MomMiddle AND m.Origin=f.Origin))))") .arg(kNonDup);
        // Children of one birth share their home, each with its place in the birth
        // unless a newborn name lacks it; every record of one child keeps the home,
        // unless the family moved, and the same clinic keeps the number.
        const QString twins = QStringLiteral("DupTestData a JOIN Sent sa ON sa.ID=a.ID JOIN Sent sb ON (a.notes||' ') GLOB "
                                             "'Twin of record '||sb.ID||'[^0-9]*'");
        QTest::newRow("twins share their home, not their number or place")
            << QStringLiteral("SELECT a.ID FROM %1 WHERE sa.MultipleBirth<>'Y' OR sa.Street||sa.City||sa.Zip||sa.Phone<>"
                              "sb.Street||sb.City||sb.Zip||sb.Phone OR sa.MRN=sb.MRN OR CASE WHEN a.FirstName GLOB 'BABY*' THEN "
                              "sa.BirthOrder<>'' AND sa.BirthOrder=sb.BirthOrder ELSE sa.BirthOrder||sb.BirthOrder NOT IN ('12','21') END "
                              "UNION ALL SELECT 'few twins' WHERE (SELECT count(*) FROM %1) < 4").arg(twins);
        const QString sent = kDupAndBase + QStringLiteral(" JOIN Sent sd ON sd.ID=d.ID JOIN Sent sb ON sb.ID=b.ID");
        QTest::newRow("a child's records keep the home, from the same clinic or another")
            << QStringLiteral("SELECT d.ID FROM %1 WHERE (sd.Street||sd.Phone<>sb.Street||sb.Phone)<>(d.ProblemCode='FAMILY_MOVED') "
                              "UNION ALL SELECT 'few' FROM (SELECT sum(sd.FacilityID=sb.FacilityID) AS same, "
                              "sum(sd.FacilityID<>sb.FacilityID) AS other FROM %1 WHERE d.ID<>b.ID) WHERE same <= 20 OR other <= 20").arg(sent);
        QTest::newRow("no record number given twice by one clinic or to one child")
            << QStringLiteral("SELECT a.ID, b.ID FROM Sent a JOIN Sent b ON a.ID<b.ID AND a.MRN=b.MRN "
                              "JOIN Member ma ON ma.ID=a.ID JOIN Member mb ON mb.ID=b.ID "
                              "WHERE a.FacilityID=b.FacilityID OR ma.Base=mb.Base");
        QTest::newRow("each family its own address and phone")
            << QStringLiteral("SELECT a.ID, b.ID FROM Sent a JOIN Sent b ON a.ID<b.ID AND (a.Phone=b.Phone OR "
                              "a.Street||a.City=b.Street||b.City) JOIN Family fa ON fa.ID=a.ID JOIN Family fb ON fb.ID=b.ID "
                              "WHERE fa.Family<>fb.Family");
        QTest::newRow("apostrophes in children's and mothers' names")
            << QStringLiteral("SELECT 'child' WHERE (SELECT count(*) FROM DupTestData WHERE LastName LIKE '%''%') < 5 UNION ALL "
                              "SELECT 'mother' WHERE (SELECT count(*) FROM DupTestData WHERE MomMaiden LIKE '%''%') < 2");
    }

    // Duplicates that speak as much for another person as for their own, or
    // for their own on nothing beyond first name, birth date and sex.
    void undecided(const QList<QStringList>& deck)
    {
        run("CREATE TEMP TABLE Undecided (ID INTEGER, Other INTEGER)");
        const QStringList bases = rows(QStringLiteral("SELECT m.ID, m.Base FROM Member m ORDER BY m.ID"));
        for (const QStringList& d : deck) {
            const int id = d[0].toInt(), base = bases[id - 1].section('|', 1).toInt();
            if (id == base)
                continue;
            int own = -1, beyond = 0;
            for (const QStringList& o : deck)
                if (o[0] != d[0] && bases[o[0].toInt() - 1].section('|', 1).toInt() == base) {
                    const QPair<int, int> e = evidence(d, o);
                    own = std::max(own, e.first);
                    beyond = std::max(beyond, e.second);
                }
            if (beyond == 0)
                run("INSERT INTO Undecided VALUES (?, ?)", {id, base});
            for (const QStringList& o : deck)
                if (bases[o[0].toInt() - 1].section('|', 1).toInt() != base && evidence(d, o).first >= own)
                    run("INSERT INTO Undecided VALUES (?, ?)", {id, o[0].toInt()});
        }
    }

    std::optional<DbSession> s;
    QMap<QString, QByteArray> generated;
};

QTEST_GUILESS_MAIN(TestDeck)
#include "test_deck.moc"
