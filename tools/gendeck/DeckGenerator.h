#pragma once
#include <QDate>
#include <QHash>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace marrowick::deck {

// A small deterministic generator: the same seed gives the same numbers on every
// platform and standard library (unlike the standard distributions).
class Rng {
public:
    explicit Rng(quint64 seed) : m_state(seed) {}
    quint64 next();
    int below(int n); // 0 .. n-1
    bool chance(double p) { return below(1000000) < int(p * 1000000); }
    template <class T> const T& pick(const QList<T>& list) { return list[below(int(list.size()))]; }

private:
    quint64 m_state;
};

struct Name {
    QString name;
    QString origin;
};

struct Vaccine {
    QString cvx, vaccine, mvx;
    QList<QPair<int, int>> doses; // months: from, to
};

// What the generator reads: name lists, nickname and sound-alike tables,
// vaccines, and the problem types and look-alike kinds to cover.
struct DeckData {
    QList<Name> boys, girls, mothers, surnames, apostropheSurnames, particleSurnames;
    QList<Name> compoundFirst; // origin holds the sex
    QMultiHash<QString, QString> nicknames; // formal -> nickname
    QHash<QString, QString> soundalikes;    // both directions
    QList<Vaccine> vaccines;
    struct ProblemType {
        QString code, description;
        int order = 0, records = 0;
    };
    QList<ProblemType> problemTypes;
    struct LookAlikeKind {
        QString code, description;
        int order = 0, combo = 0, sets = 0, members = 0;
        QStringList imitates;
    };
    QList<LookAlikeKind> lookAlikeKinds;

    static DeckData load(const QString& folder);
};

struct Record {
    QString last, first, middle, suffix;
    QDate dob;
    QString sex, momMaiden, momLast, momFirst, momMiddle;
    QString problemCode, secondProblem;
    int combo = 0;
    QString note;           // may name other records as {N}, N their index
    QString cvx, mvx;
    QDate vacDate;
    QString origin;
    int group = -1;         // index of the group's base record
    QList<int> related;     // look-alikes: the other members of the set
    int dupCount = 0;       // base records: duplicates made of it so far

    QString dobText() const { return dob.toString(QStringLiteral("yyyyMMdd")); }
    QString key() const; // what the first matching attempt compares
};

struct Deck {
    std::vector<Record> records; // index order; ids below
    std::vector<int> idOf;       // index -> ID 1..550
    std::vector<std::vector<int>> groups; // base index, then up to 4 slots (-1 = empty)
};

class DeckGenerator {
public:
    DeckGenerator(DeckData data, quint64 seed) : m_data(std::move(data)), m_rng(seed) {}
    Deck generate();

    // The files of data/: the reference tables and DupTestData.txt.
    static QMap<QString, QByteArray> render(const Deck& deck, const DeckData& data);

private:
    struct Needs {
        bool nickname = false, soundalike = false, middle = false, compound = false, apostrophe = false,
             hyphen = false, hispanicDouble = false, particle = false, suffix = false, dayBelow13 = false,
             momMarried = false, momNickname = false, longFirst = false, longLast = false;
        QString sex;
    };
    static Needs needsOf(const QString& code);
    bool satisfies(const Record& r, const Needs& n) const;
    Record makePerson(const Needs& needs);
    QString firstNameFor(const QString& sex, const QString& origin, bool nickname, bool soundalike,
                         const QStringList& avoid = {});
    QString surnameFor(const QString& origin, const QStringList& avoid = {});
    QDate randomDob();
    void vaccinate(Record& r, const Record* other = nullptr);
    std::optional<Record> duplicate(const Record& base, const QString& code);
    bool applyProblem(Record& dup, const Record& base, const QString& code);
    QString typo(const QString& word);
    QString swapAdjacent(const QString& word);
    std::optional<QDate> oneDigitOff(const QDate& date);
    void addLookAlikes(Deck& deck);
    int addRecord(Deck& deck, Record record);
    bool keyTaken(const Record& r, int group) const;

    DeckData m_data;
    Rng m_rng;
    QHash<QString, int> m_keys;    // key -> group that holds it
    QHash<int, int> m_groupOf;     // base index -> its place in Deck::groups
};

} // namespace marrowick::deck
