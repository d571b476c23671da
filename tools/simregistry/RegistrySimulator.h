#pragma once
#include <QByteArray>
#include <QList>
#include <QMultiHash>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace marrowick::sim {

// One line of DupTestData.txt; its ID is its line number.
struct TestRecord {
    int id = 0;
    QString last, first, middle, suffix, dob, sex, momMaiden, momLast, momFirst, momMiddle, cvx, vacDate, mvx;
    // The clinic's record number and its assigning authority, when the record
    // came as a message (the file carries neither).
    QString recordNumber, authority;
};

enum class Policy { None, Exact, Typical, Aggressive, Perfect };
std::optional<Policy> policyNamed(const QString& name);
QString policyName(Policy policy);
QStringList policyNames();

// What the registry did with one test record.
struct Outcome {
    int id = 0;
    QString action; // new, flagged, merged
    qint64 client = 0;
    int mergedInto = 0; // the test record whose client it joined
};

struct Simulation {
    QByteArray resultsFile; // the registry's export, 15 fields a line
    QByteArray truth;       // one line per test record: ID,Action,ClientID,MergedIntoID
    std::vector<Outcome> outcomes;
};

// A registry receiving the test file record by record and de-duplicating it
// by one of several policies.
class RegistrySimulator {
public:
    RegistrySimulator(Policy policy, QMultiHash<QString, QString> nicknames, QList<QList<int>> answerGroups)
        : m_policy(policy), m_nicknames(std::move(nicknames)), m_groups(std::move(answerGroups))
    {
    }

    Simulation run(const QList<TestRecord>& records) const;
    Policy policy() const { return m_policy; }

    static QList<TestRecord> parseTestFile(const QByteArray& text);
    static QList<QList<int>> parseAnswerSheet(const QByteArray& csv);
    static QMultiHash<QString, QString> parseNicknames(const QByteArray& text);

private:
    friend class RegistryClients;

    // Text helpers of the typical matcher.
    static int editDistance(const QString& a, const QString& b);
    static QString normalized(const QString& name);
    static bool dobNear(const QString& a, const QString& b);

    enum class Verdict { NewClient, Flag, Merge };
    Verdict compare(const TestRecord& incoming, const TestRecord& client) const;
    bool firstSimilar(const QString& a, const QString& b) const;
    static bool lastSimilar(const QString& a, const QString& b);

    Policy m_policy;
    QMultiHash<QString, QString> m_nicknames;
    QList<QList<int>> m_groups;
};

} // namespace marrowick::sim
