#include "RegistrySimulator.h"
#include "RegistryClients.h"

#include "database/Csv.h"

#include <QHash>
#include <QRegularExpression>
#include <algorithm>

namespace marrowick::sim {

namespace {

QList<QStringList> records(const QByteArray& text)
{
    CsvReader reader(CsvReader::decode(text));
    QList<QStringList> all;
    QStringList fields;
    while (reader.next(fields)) all << fields;
    return all;
}

bool motherAgrees(const TestRecord& a, const TestRecord& b)
{
    return (!a.momMaiden.isEmpty() && a.momMaiden == b.momMaiden)
           || (!a.momFirst.isEmpty() && a.momFirst == b.momFirst && a.momLast == b.momLast);
}

bool motherUnknown(const TestRecord& a, const TestRecord& b)
{
    auto unknown = [](const TestRecord& r) { return r.momMaiden.isEmpty() && r.momFirst.isEmpty(); };
    return unknown(a) || unknown(b);
}

bool sameDemographics(const TestRecord& a, const TestRecord& b)
{
    return a.last == b.last && a.first == b.first && a.middle == b.middle && a.suffix == b.suffix && a.dob == b.dob
           && a.sex == b.sex && a.momMaiden == b.momMaiden && a.momLast == b.momLast && a.momFirst == b.momFirst
           && a.momMiddle == b.momMiddle;
}

} // namespace

std::optional<Policy> policyNamed(const QString& name)
{
    const QStringList names = policyNames();
    const qsizetype at = names.indexOf(name);
    if (at < 0) return std::nullopt;
    return Policy(at);
}

QString policyName(Policy policy) { return policyNames().at(int(policy)); }

QStringList policyNames()
{
    return {QStringLiteral("none"), QStringLiteral("exact"), QStringLiteral("typical"), QStringLiteral("aggressive"),
            QStringLiteral("perfect")};
}

QList<TestRecord> RegistrySimulator::parseTestFile(const QByteArray& text)
{
    QList<TestRecord> list;
    int id = 0;
    for (const QStringList& f : records(text)) {
        TestRecord r;
        r.id = ++id;
        r.last = f.value(0);
        r.first = f.value(1);
        r.middle = f.value(2);
        r.suffix = f.value(3);
        r.dob = f.value(4);
        r.sex = f.value(5);
        r.momMaiden = f.value(6);
        r.momLast = f.value(7);
        r.momFirst = f.value(8);
        r.momMiddle = f.value(9);
        r.cvx = f.value(10);
        r.vacDate = f.value(11);
        r.mvx = f.value(12);
        list << r;
    }
    return list;
}

QList<QList<int>> RegistrySimulator::parseAnswerSheet(const QByteArray& csv)
{
    QList<QList<int>> groups;
    const QList<QStringList> rows = records(csv);
    for (qsizetype i = 1; i < rows.size(); ++i) { // after the header
        QList<int> group;
        for (const QString& cell : rows[i])
            if (!cell.isEmpty()) group << cell.toInt();
        groups << group;
    }
    return groups;
}

QMultiHash<QString, QString> RegistrySimulator::parseNicknames(const QByteArray& text)
{
    QMultiHash<QString, QString> nicknames;
    for (const QStringList& pair : records(text))
        if (!pair.first().startsWith(QLatin1Char('#'))) nicknames.insert(pair.value(0), pair.value(1));
    return nicknames;
}

int RegistrySimulator::editDistance(const QString& a, const QString& b)
{
    std::vector<int> previous(size_t(b.size()) + 1), current(size_t(b.size()) + 1);
    for (qsizetype j = 0; j <= b.size(); ++j) previous[size_t(j)] = int(j);
    for (qsizetype i = 1; i <= a.size(); ++i) {
        current[0] = int(i);
        for (qsizetype j = 1; j <= b.size(); ++j) {
            const int substitution = previous[size_t(j - 1)] + (a[i - 1] == b[j - 1] ? 0 : 1);
            current[size_t(j)] = std::min({previous[size_t(j)] + 1, current[size_t(j - 1)] + 1, substitution});
        }
        std::swap(previous, current);
    }
    return previous[size_t(b.size())];
}

QString RegistrySimulator::normalized(const QString& name)
{
    QString result;
    for (const QChar c : name.toUpper())
        if (c.isLetter()) result += c;
    return result;
}

bool RegistrySimulator::dobNear(const QString& a, const QString& b)
{
    if (a.size() != 8 || b.size() != 8 || a == b) return false;
    int differing = 0;
    for (int i = 0; i < 8; ++i) differing += a[i] != b[i];
    const bool dayMonthSwapped = a.left(4) == b.left(4) && a.mid(4, 2) == b.mid(6, 2) && a.mid(6, 2) == b.mid(4, 2);
    return differing == 1 || dayMonthSwapped;
}

bool RegistrySimulator::firstSimilar(const QString& a, const QString& b) const
{
    const QString na = normalized(a), nb = normalized(b);
    if (na == nb) return true;
    if (na.size() >= 4 && nb.size() >= 4 && editDistance(na, nb) <= 1) return true;
    if (m_nicknames.contains(a, b) || m_nicknames.contains(b, a)) return true;
    return a.section(QLatin1Char(' '), 0, 0) == b.section(QLatin1Char(' '), 0, 0)
           && a.contains(QLatin1Char(' ')) != b.contains(QLatin1Char(' '));
}

bool RegistrySimulator::lastSimilar(const QString& a, const QString& b)
{
    const QString na = normalized(a), nb = normalized(b);
    if (na == nb || (na.size() >= 4 && nb.size() >= 4 && editDistance(na, nb) <= 1)) return true;
    // Compiled once: every record is compared with every client.
    static const QRegularExpression separator(QStringLiteral("[- ]"));
    const QString firstA = a.section(separator, 0, 0);
    const QString firstB = b.section(separator, 0, 0);
    return firstA == firstB && firstA.size() >= 3;
}

RegistrySimulator::Verdict RegistrySimulator::compare(const TestRecord& r, const TestRecord& c) const
{
    switch (m_policy) {
    case Policy::None:
    case Policy::Perfect:
        return Verdict::NewClient;
    case Policy::Exact:
        return sameDemographics(r, c) ? Verdict::Merge : Verdict::NewClient;
    case Policy::Aggressive:
        // Last name, birth date and mother are taken as enough: twins are lost.
        return normalized(r.last) == normalized(c.last) && r.dob == c.dob && !r.momMaiden.isEmpty()
                       && r.momMaiden == c.momMaiden
                   ? Verdict::Merge
                   : Verdict::NewClient;
    case Policy::Typical: {
        // Every rule below needs the same or a near birth date: the names are compared only then.
        if (r.dob != c.dob && !dobNear(r.dob, c.dob)) return Verdict::NewClient;
        const bool sexOk = r.sex == c.sex || r.sex == QLatin1String("U") || c.sex == QLatin1String("U");
        const bool lastOk = lastSimilar(r.last, c.last);
        const bool firstOk = firstSimilar(r.first, c.first);
        const bool namesExact = normalized(r.last) == normalized(c.last) && normalized(r.first) == normalized(c.first);
        const bool mother = motherAgrees(r, c);
        if (sexOk && lastOk && firstOk
            && ((r.dob == c.dob && (mother || motherUnknown(r, c))) || (dobNear(r.dob, c.dob) && mother && namesExact)))
            return Verdict::Merge;
        if ((r.dob == c.dob && lastOk && mother) || (dobNear(r.dob, c.dob) && lastOk && firstOk)) return Verdict::Flag;
        return Verdict::NewClient;
    }
    }
    return Verdict::NewClient;
}

Simulation RegistrySimulator::run(const QList<TestRecord>& records) const
{
    RegistryClients clients(*this);
    for (const TestRecord& r : records) clients.add(r);
    return {clients.resultsFile(), clients.truth(), clients.outcomes()};
}

} // namespace marrowick::sim
