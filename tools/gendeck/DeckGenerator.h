#pragma once
#include <QDate>
#include <QHash>
#include <QList>
#include <QMap>
#include <QSet>
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
    template <class T>
    const T& pick(const QList<T>& list)
    {
        return list[below(int(list.size()))];
    }

private:
    quint64 m_state;
};

struct Name {
    QString name;
    QString origin;
    int fromYear = 0, toYear = 9999; // birth years in which the name was in use
    bool usedIn(int year) const { return year >= fromYear && year <= toYear; }
};

struct Vaccine {
    QString cvx, vaccine, mvx;
    QList<QPair<int, int>> doses; // months: from, to
    QDate useFrom;                // invalid when in use long before the deck's years
    QStringList antigens;         // what a dose counts for
};

// What the generator reads: name lists, nickname and sound-alike tables,
// vaccines, and the problem types and look-alike kinds to cover.
struct DeckData {
    QList<Name> boys, girls, mothers, mothersMiddle, surnames, apostropheSurnames, particleSurnames;
    QList<Name> compoundFirst;              // origin holds the sex
    QMultiHash<QString, QString> nicknames; // formal -> nickname
    QHash<QString, QString> soundalikes;    // both directions
    QList<Vaccine> vaccines;
    QHash<QString, int> minimumInterval; // antigen -> shortest days between two doses
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
    QDate dob;     // as written
    QDate trueDob; // the child's real birth date
    QString sex, momMaiden, momLast, momFirst, momMiddle;
    QString problemCode, secondProblem;
    int combo = 0;
    QString note;
    QString cvx, mvx;
    QDate vacDate;
    bool vaccinated = false; // the problem fixed the visit (a birth dose, the first visit)
    QString origin;
    int group = -1;               // index of the group's base record
    int family = -1;              // index of the first record of the family (group or look-alike set)
    int birthOrder = 0;           // 1, 2, 3 within a multiple birth; 0 for a single birth
    bool sameSexMultiple = false; // a multiple birth with a sibling of the same sex
    QList<int> related;           // look-alikes: the other members of the set
    int dupCount = 0;             // base records: duplicates made of it so far

    QString dobText() const { return dob.toString(QStringLiteral("yyyyMMdd")); }
    QString key() const;          // what the first matching attempt compares
    QString identity() const;     // names, birth date and sex: no two people share them
    QString demographics() const; // every field a registry keeps of the child
    QString mother() const;       // maiden and first name; empty when both are
};

struct Deck {
    std::vector<Record> records;          // index order; ids below
    std::vector<int> idOf;                // index -> ID 1..550
    std::vector<std::vector<int>> groups; // base index, then up to 4 slots (-1 = empty)
};

class DeckGenerator {
public:
    DeckGenerator(DeckData data, quint64 seed) : m_data(std::move(data)), m_rng(seed) {}
    Deck generate();

    // The files of data/: the reference tables and DupTestData.txt.
    static QMap<QString, QByteArray> render(const Deck& deck, const DeckData& data);
    // DupTestSubmission.csv: what a provider's system sent each test record
    // with. Drawn from streams of its own, so the deck above stays as it is.
    static QByteArray renderSubmissions(const Deck& deck, const DeckData& data);

private:
    using Apply = bool (DeckGenerator::*)(Record& dup, const Record& base);
    struct Needs {
        bool nickname = false, soundalike = false, middle = false, noMiddle = false, compound = false,
             apostrophe = false, hyphen = false, hispanicDouble = false, particle = false, suffix = false,
             dayBelow13 = false, momMarried = false, momNickname = false, longFirst = false, longLast = false,
             singleBirth = false, doubleSurname = false, momOwnName = false, longName = false;
    };
    struct Problem {
        const char* code;
        Apply apply;
        Needs needs;
    };
    static const std::vector<Problem>& problems();
    static const Problem& problemOf(const QString& code);

    bool satisfies(const Record& r, const Needs& n) const;
    Record makePerson(const Needs& needs);
    QString firstNameFor(const QString& sex, const QString& origin, int year, bool nickname, bool soundalike,
                         const QStringList& avoid = {});
    QString surnameFor(const QString& origin, const QStringList& avoid = {});
    void giveMother(Record& r, const QString& childOrigin, bool married, bool nickname);
    QDate randomDob();
    bool vaccinate(Record& r, const QDate& earliest, const QList<Record>& person = {});
    bool dosesAgree(const Record& r, const QList<Record>& person) const;
    QStringList antigensOf(const QString& cvx) const;
    bool birthDose(Record& r);
    std::optional<Record> duplicate(const Record& base, const QString& code);
    QString typo(const QString& word);
    QString swapAdjacent(const QString& word);
    std::optional<QDate> oneDigitOff(const QDate& date);
    // Makes the other members of a look-alike set beside its first; false when this draw cannot.
    using MakeSet = bool (DeckGenerator::*)(std::vector<Record>& members, int size);
    struct LookAlike {
        const char* code;
        MakeSet make;
        bool multiple; // one birth: the children share the visit and a birth order
    };
    static const std::vector<LookAlike>& lookAlikes();
    static const LookAlike& lookAlikeOf(const QString& code);
    enum class Sexes { Same, Opposite, Either };
    bool multipleBirth(std::vector<Record>& members, int size, Sexes sexes);
    bool sameSexBirth(std::vector<Record>& members, int size);
    bool oppositeSexTwins(std::vector<Record>& members, int size);
    bool anySexBirth(std::vector<Record>& members, int size);
    bool placeholderTwins(std::vector<Record>& members, int size);
    bool siblings(std::vector<Record>& members, int size);
    bool commonNameAndDob(std::vector<Record>& members, int size);
    bool cousins(std::vector<Record>& members, int size);
    bool nearBirthDate(std::vector<Record>& members, int size);
    bool otherMothersChild(std::vector<Record>& members, Record b);
    void giveFreshFirst(Record& r, const QStringList& taken);
    static void markSet(std::vector<Record>& members, const DeckData::LookAlikeKind& kind, bool multiple);
    bool vaccinateSet(std::vector<Record>& members, bool multiple);
    void addSet(Deck& deck, std::vector<Record>& members);
    void addLookAlikes(Deck& deck);
    // The steps of generate(), in order.
    QList<int> basesFor(const Deck& deck, const Needs& needs) const;
    bool addDuplicateOf(Deck& deck, const Record& base, const QString& code);
    bool addPersonWithDuplicate(Deck& deck, const Needs& needs, const QString& code);
    void addDuplicates(Deck& deck);
    void fillDeck(Deck& deck);
    void leaveGaps(Deck& deck);
    void assignIds(Deck& deck);
    static QString lookAlikeNote(const Deck& deck, const Record& r);
    static void writeNotes(Deck& deck);
    int addRecord(Deck& deck, Record record);
    bool fits(const Record& r, int group, int family, const QList<Record>& members) const;
    bool decidable(const Record& r, int group, const QList<Record>& members) const;
    bool setFits(const std::vector<Record>& members) const;
    static QStringList probesOf(const Record& r, const QList<Record>& members);
    static QStringList rowsOf(const Record& r);
    void note(Record& r, const QString& text) const;

    bool nickname(Record& d, const Record& b);
    bool fnTypo(Record& d, const Record& b);
    bool fnTranspose(Record& d, const Record& b);
    bool fnSoundalike(Record& d, const Record& b);
    bool firstInitial(Record& d, const Record& b);
    bool middleMissing(Record& d, const Record& b);
    bool middleAsFirst(Record& d, const Record& b);
    bool firstMiddleSwapped(Record& d, const Record& b);
    bool compoundSplit(Record& d, const Record& b);
    bool compoundJoined(Record& d, const Record& b);
    bool nameTransposed(Record& d, const Record& b);
    bool newbornName(Record& d, const Record& b);
    bool newbornOther(Record& d, const Record& b);
    bool apostrophe(Record& d, const Record& b);
    bool hyphenDropped(Record& d, const Record& b);
    bool hyphenSpace(Record& d, const Record& b);
    bool hispanicSurnames(Record& d, const Record& b);
    bool surnameParticle(Record& d, const Record& b);
    bool surnameChanged(Record& d, const Record& b);
    bool momMaidenSurname(Record& d, const Record& b);
    bool suffix(Record& d, const Record& b);
    bool lnTypo(Record& d, const Record& b);
    bool dobDayMonth(Record& d, const Record& b);
    bool dobDigit(Record& d, const Record& b);
    bool dobYear(Record& d, const Record& b);
    bool dobFirstVisit(Record& d, const Record& b);
    bool sexWrong(Record& d, const Record& b);
    bool momMarriedAsMaiden(Record& d, const Record& b);
    bool momNickname(Record& d, const Record& b);
    bool momMissing(Record& d, const Record& b);
    bool exact(Record& d, const Record& b);
    bool familyMoved(Record& d, const Record& b);
    // The duplicate keeps its base's demographics (only its dose differs).
    static bool copiesBase(const QString& code);
    bool twoProblems(Record& d, const Record& b);
    bool threeFields(Record& d, const Record& b);
    bool severalProblems(Record& d, const Record& b, int count, bool fields);
    static int changedFields(const Record& a, const Record& b);
    bool lastMiddleSwapped(Record& d, const Record& b);
    bool newbornMother(Record& d, const Record& b);
    bool nameCut(Record& d, const Record& b);

    DeckData m_data;
    Rng m_rng;
    QHash<QString, int> m_keys;             // key -> group that holds it
    QHash<QString, QSet<QString>> m_visits; // key -> vaccinations (CVX number and date) under it
    QHash<QString, int> m_demographics;     // demographics -> index of the record that has them
    QHash<QString, int> m_mothers;          // mother -> family
    QHash<QString, int> m_rows;             // what a registry row of a record offers the matching -> group
    QHash<QString, QSet<int>> m_probes;     // what the matching looks for -> groups that look
    QHash<int, QList<Record>> m_members;    // group -> its records so far
    QHash<int, int> m_groupOf;              // base index -> its place in Deck::groups
    QSet<int> m_exactCopied;                // base indexes that have an exact duplicate
    QHash<QString, int> m_identities;       // identity -> group that holds it
    std::vector<Record> m_placed;           // the deck so far, by index
    QHash<int, int> m_ownEvidence;          // duplicate's index -> its evidence for its own person
};

} // namespace marrowick::deck
