#include "DeckGenerator.h"

#include "analysis/MatchAttempts.h"
#include "analysis/ProblemCode.h"
#include "database/Csv.h"
#include "platform/FileRefused.h"

#include <QFile>
#include <algorithm>
#include <iterator>

namespace marrowick::deck {

namespace {

// Vaccinations are dated no later than this day, as if the deck were drawn then.
const QDate kLastVaccinationDay(2026, 11, 30);
const QDate kFirstBirthDay(2019, 1, 1);
const QDate kLastBirthDay(2025, 12, 31);
constexpr int kRecords = 550;

// The deck data cannot be read, or cannot make a deck.
[[noreturn]] void refuse(const QString& why) { throw FileRefused(FileRefused::Role::Input, why); }
constexpr int kMaxDuplicatesPerGroup = 4;
// Births to one mother closer than this are one multiple birth or impossible.
constexpr int kMinDaysBetweenBirths = 270;
// Names common enough in the deck's birth years to be shared by strangers.
const QStringList kCommonBoys{QStringLiteral("LIAM"), QStringLiteral("NOAH"), QStringLiteral("MATEO"),
                              QStringLiteral("JAMES"), QStringLiteral("SANTIAGO")};
const QStringList kCommonGirls{QStringLiteral("OLIVIA"), QStringLiteral("EMMA"), QStringLiteral("SOFIA"),
                               QStringLiteral("CAMILA"), QStringLiteral("AVA")};
const QStringList kCommonLast{QStringLiteral("GARCIA"),    QStringLiteral("SMITH"),   QStringLiteral("NGUYEN"),
                              QStringLiteral("HERNANDEZ"), QStringLiteral("JOHNSON"), QStringLiteral("MARTINEZ")};

// A data file's records; lines starting with # are remarks.
QList<QStringList> readTable(const QString& path, bool header)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) refuse("cannot read " + path);
    CsvReader reader(CsvReader::decode(file.readAll()));
    QList<QStringList> rows;
    QStringList fields;
    bool first = true;
    while (reader.next(fields)) {
        if (fields.first().startsWith(QLatin1Char('#'))) continue;
        if (!(first && header)) rows << fields;
        first = false;
    }
    return rows;
}

// name,origin[,from-to]
QList<Name> readNames(const QString& path)
{
    QList<Name> names;
    for (const QStringList& row : readTable(path, false)) {
        Name n{row.value(0), row.value(1)};
        if (!row.value(2).isEmpty()) {
            n.fromYear = row.value(2).section(QLatin1Char('-'), 0, 0).toInt();
            n.toYear = row.value(2).section(QLatin1Char('-'), 1, 1).toInt();
        }
        names.append(n);
    }
    return names;
}

bool lettersOnly(const QString& word)
{
    for (const QChar c : word)
        if (!c.isLetter()) return false;
    return !word.isEmpty();
}

const QStringList kKeyboardRows = {QStringLiteral("QWERTYUIOP"), QStringLiteral("ASDFGHJKL"),
                                   QStringLiteral("ZXCVBNM")};

QChar keyboardNeighbour(QChar c, Rng& rng)
{
    for (const QString& row : kKeyboardRows) {
        const qsizetype p = row.indexOf(c);
        if (p < 0) continue;
        if (p == 0) return row[1];
        if (p == row.size() - 1) return row[p - 1];
        return row[rng.chance(0.5) ? p - 1 : p + 1];
    }
    return c;
}

QString otherSex(const QString& sex) { return sex == QLatin1String("M") ? QStringLiteral("F") : QStringLiteral("M"); }

QString dateText(const QDate& date) { return date.toString(QStringLiteral("yyyyMMdd")); }

// What the matching can tell a record's own vaccination by: the CVX code as a
// number and the date.
QString visitOf(const Record& r) { return QString::number(r.cvx.toInt()) + QLatin1Char('|') + dateText(r.vacDate); }

QString joined(const QStringList& names)
{
    if (names.size() < 2) return names.value(0);
    return QStringList(names.mid(0, names.size() - 1)).join(QStringLiteral(", ")) + QStringLiteral(" and ")
           + names.last();
}

// One letter changed, left out or added, or two neighbours swapped.
bool nearSpelling(QStringView a, QStringView b)
{
    const qsizetype n = a.size(), m = b.size();
    if (a == b) return true;
    if (std::abs(n - m) > 1) return false;
    qsizetype i = 0;
    while (i < std::min(n, m) && a[i] == b[i]) ++i;
    if (n != m) return n > m ? a.mid(i + 1) == b.mid(i) : a.mid(i) == b.mid(i + 1);
    return a.mid(i + 1) == b.mid(i + 1)
           || (i + 1 < n && a[i] == b[i + 1] && a[i + 1] == b[i] && a.mid(i + 2) == b.mid(i + 2));
}

// A name agrees with one of another record's names: the same, an initial for
// it, or a near spelling.
bool nameAgrees(const QString& name, const Record& o)
{
    if (name.isEmpty()) return false;
    for (const QString* theirs : {&o.last, &o.first, &o.middle}) {
        if (theirs->isEmpty()) continue;
        if ((name.size() == 1 || theirs->size() == 1) ? name[0] == theirs->front() : nearSpelling(name, *theirs))
            return true;
    }
    return false;
}

// The same, one digit of yyyymmdd off, or day and month swapped.
bool datesNear(const QDate& a, const QDate& b)
{
    int x = a.year() * 10000 + a.month() * 100 + a.day(), y = b.year() * 10000 + b.month() * 100 + b.day();
    int differ = 0;
    for (; x > 0 || y > 0; x /= 10, y /= 10) differ += x % 10 != y % 10;
    return differ <= 1 || (a.year() == b.year() && a.month() == b.day() && a.day() == b.month());
}

bool motherAgrees(const Record& a, const Record& b)
{
    return (!a.momMaiden.isEmpty() && a.momMaiden == b.momMaiden) || (!a.momLast.isEmpty() && a.momLast == b.momLast)
           || (!a.momFirst.isEmpty() && a.momFirst == b.momFirst)
           || (!a.momMiddle.isEmpty() && a.momMiddle == b.momMiddle);
}

// How much of what a registry reads of record a speaks for b's person: its
// names, the mother's names, the birth date and the sex.
int evidence(const Record& a, const Record& b)
{
    int score = int(nameAgrees(a.last, b)) + int(nameAgrees(a.first, b)) + int(nameAgrees(a.middle, b));
    for (const auto& [x, y] : {std::pair{&a.momMaiden, &b.momMaiden},
                               {&a.momLast, &b.momLast},
                               {&a.momFirst, &b.momFirst},
                               {&a.momMiddle, &b.momMiddle}})
        score += !x->isEmpty() && *x == *y;
    return score + int(datesNear(a.dob, b.dob)) + int(a.sex == b.sex);
}

} // namespace

quint64 Rng::next()
{
    // splitmix64
    quint64 z = (m_state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

int Rng::below(int n)
{
    if (n <= 0) throw std::logic_error("Rng::below of an empty range");
    const quint64 limit = ~0ULL - (~0ULL % quint64(n));
    quint64 value;
    do value = next();
    while (value >= limit);
    return int(value % quint64(n));
}

DeckData DeckData::load(const QString& folder)
{
    DeckData d;
    d.boys = readNames(folder + QStringLiteral("/boys.txt"));
    d.girls = readNames(folder + QStringLiteral("/girls.txt"));
    d.mothers = readNames(folder + QStringLiteral("/mothers.txt"));
    d.mothersMiddle = readNames(folder + QStringLiteral("/mothers_middle.txt"));
    d.surnames = readNames(folder + QStringLiteral("/surnames.txt"));
    d.apostropheSurnames = readNames(folder + QStringLiteral("/apostrophe_surnames.txt"));
    d.particleSurnames = readNames(folder + QStringLiteral("/particle_surnames.txt"));
    d.compoundFirst = readNames(folder + QStringLiteral("/compound_first.txt"));
    for (const QStringList& row : readTable(folder + QStringLiteral("/nicknames.txt"), false))
        d.nicknames.insert(row.value(0), row.value(1));
    for (const QStringList& row : readTable(folder + QStringLiteral("/soundalikes.txt"), false)) {
        d.soundalikes.insert(row.value(0), row.value(1));
        d.soundalikes.insert(row.value(1), row.value(0));
    }
    for (const QStringList& row : readTable(folder + QStringLiteral("/vaccines.csv"), true)) {
        Vaccine v{row.value(0),
                  row.value(1),
                  row.value(2),
                  {},
                  QDate::fromString(row.value(5), Qt::ISODate),
                  row.value(6).split(QLatin1Char(';'), Qt::SkipEmptyParts)};
        for (const QString& dose : row.value(4).split(QLatin1Char(';'))) {
            const QStringList range = dose.split(QLatin1Char('-'));
            v.doses.append({range.first().toInt(), range.last().toInt()});
        }
        d.vaccines.append(v);
    }
    for (const QStringList& row : readTable(folder + QStringLiteral("/minimum_intervals.csv"), true))
        d.minimumInterval.insert(row.value(0), row.value(1).toInt());
    for (const QStringList& row : readTable(folder + QStringLiteral("/problem_types.csv"), true))
        d.problemTypes.append({row.value(0), row.value(3), row.value(1).toInt(), row.value(2).toInt()});
    for (const QStringList& row : readTable(folder + QStringLiteral("/lookalike_kinds.csv"), true))
        d.lookAlikeKinds.append({row.value(0), row.value(6), row.value(1).toInt(), row.value(2).toInt(),
                                 row.value(3).toInt(), row.value(4).toInt(), row.value(5).split(QLatin1Char(';'))});
    return d;
}

QString Record::key() const { return QStringList{first, last, momMaiden, dobText(), sex}.join(QLatin1Char('|')); }

QString Record::identity() const { return QStringList{last, first, middle, dobText(), sex}.join(QLatin1Char('|')); }

QString Record::demographics() const
{
    return QStringList{last, first, middle, suffix, dobText(), sex, momMaiden, momLast, momFirst, momMiddle}.join(
        QLatin1Char('|'));
}

QString Record::mother() const
{
    return momMaiden.isEmpty() && momFirst.isEmpty() ? QString() : momMaiden + QLatin1Char('|') + momFirst;
}

const std::vector<DeckGenerator::Problem>& DeckGenerator::problems()
{
    using G = DeckGenerator;
    static const std::vector<Problem> table{
        {"NICKNAME", &G::nickname, {.nickname = true}},
        {"FN_TYPO", &G::fnTypo, {.longFirst = true}},
        {"FN_TRANSPOSE", &G::fnTranspose, {.longFirst = true}},
        {"FN_SOUNDALIKE", &G::fnSoundalike, {.soundalike = true}},
        {"FIRST_INITIAL", &G::firstInitial, {.longFirst = true, .singleBirth = true}},
        {"MIDDLE_MISSING", &G::middleMissing, {.middle = true}},
        {"MIDDLE_AS_FIRST", &G::middleAsFirst, {.middle = true}},
        {"FIRST_MIDDLE_SWAPPED", &G::firstMiddleSwapped, {.middle = true}},
        {"COMPOUND_SPLIT", &G::compoundSplit, {.noMiddle = true, .compound = true}},
        {"COMPOUND_FIRST", &G::compoundJoined, {.compound = true}},
        {"NAME_TRANSPOSED", &G::nameTransposed, {}},
        {"NEWBORN_NAME", &G::newbornName, {}},
        {"NEWBORN_OTHER", &G::newbornOther, {}},
        {"APOSTROPHE", &G::apostrophe, {.apostrophe = true}},
        {"HYPHEN_DROPPED", &G::hyphenDropped, {.hyphen = true}},
        {"HYPHEN_SPACE", &G::hyphenSpace, {.doubleSurname = true}},
        {"HISPANIC_SURNAMES", &G::hispanicSurnames, {.hispanicDouble = true}},
        {"SURNAME_PARTICLE", &G::surnameParticle, {.particle = true}},
        {"SURNAME_CHANGED", &G::surnameChanged, {.momOwnName = true}},
        {"MOM_MAIDEN_SURNAME", &G::momMaidenSurname, {.momMarried = true}},
        {"SUFFIX", &G::suffix, {.suffix = true}},
        {"LN_TYPO", &G::lnTypo, {.longLast = true}},
        {"DOB_DAY_MONTH", &G::dobDayMonth, {.dayBelow13 = true}},
        {"DOB_DIGIT", &G::dobDigit, {}},
        {"DOB_YEAR", &G::dobYear, {}},
        {"DOB_FIRST_VISIT", &G::dobFirstVisit, {}},
        {"SEX_WRONG", &G::sexWrong, {}},
        {"MOM_MARRIED_AS_MAIDEN", &G::momMarriedAsMaiden, {.momMarried = true}},
        {"MOM_NICKNAME", &G::momNickname, {.momNickname = true}},
        {"MOM_MISSING", &G::momMissing, {}},
        {"FAMILY_MOVED", &G::familyMoved, {}},
        {"EXACT", &G::exact, {}},
        {"TWO_PROBLEMS", &G::twoProblems, {}},
        {"LAST_MIDDLE_SWAPPED", &G::lastMiddleSwapped, {.middle = true}},
        {"NEWBORN_MOTHER", &G::newbornMother, {.singleBirth = true}},
        {"NAME_CUT", &G::nameCut, {.longName = true}},
        {"THREE_FIELDS", &G::threeFields, {}},
    };
    return table;
}

const DeckGenerator::Problem& DeckGenerator::problemOf(const QString& code)
{
    for (const Problem& p : problems())
        if (code == QLatin1String(p.code)) return p;
    refuse("unknown problem type " + code);
}

bool DeckGenerator::satisfies(const Record& r, const Needs& n) const
{
    if (r.first.startsWith(QLatin1String("BABY"))) return false;
    const bool plainLast = lettersOnly(r.last);
    const bool doubleLast = r.last.contains(QLatin1Char('-')) || r.origin == QLatin1String("HISPANIC_DOUBLE");
    return (!n.nickname || m_data.nicknames.contains(r.first))
           && (!n.soundalike || m_data.soundalikes.contains(r.first)) && (!n.middle || r.middle.size() > 1)
           && (!n.noMiddle || r.middle.isEmpty()) && (!n.compound || r.first.contains(QLatin1Char(' ')))
           && (!n.apostrophe || r.last.contains(QLatin1Char('\''))) && (!n.hyphen || r.last.contains(QLatin1Char('-')))
           && (!n.doubleSurname || doubleLast) && (!n.hispanicDouble || r.origin == QLatin1String("HISPANIC_DOUBLE"))
           && (!n.particle || r.origin == QLatin1String("PARTICLE")) && (!n.suffix || !r.suffix.isEmpty())
           && (!n.dayBelow13 || (r.dob.day() <= 12 && r.dob.day() != r.dob.month()))
           && (!n.momMarried || (r.momLast == r.last && r.momLast != r.momMaiden))
           && (!n.momNickname || m_data.nicknames.contains(r.momFirst))
           && (!n.longFirst || (lettersOnly(r.first) && r.first.size() >= 4))
           && (!n.longLast || (plainLast && r.last.size() >= 4)) && (!n.singleBirth || r.birthOrder == 0)
           && (!n.momOwnName || (!r.momLast.isEmpty() && r.momLast != r.last))
           && (!n.longName || std::max(r.first.size(), r.last.size()) > 8);
}

QString DeckGenerator::firstNameFor(const QString& sex, const QString& origin, int year, bool nickname, bool soundalike,
                                    const QStringList& avoid)
{
    const QList<Name>& list = sex == QLatin1String("F") ? m_data.girls : m_data.boys;
    QList<QString> fits, anyOrigin;
    for (const Name& n : list) {
        if (!n.usedIn(year) || (nickname && !m_data.nicknames.contains(n.name))
            || (soundalike && !m_data.soundalikes.contains(n.name)) || avoid.contains(n.name))
            continue;
        anyOrigin << n.name;
        if (n.origin == origin) fits << n.name;
    }
    return m_rng.pick(fits.isEmpty() ? anyOrigin : fits);
}

QString DeckGenerator::surnameFor(const QString& origin, const QStringList& avoid)
{
    QList<QString> fits, all;
    for (const Name& n : m_data.surnames) {
        if (avoid.contains(n.name)) continue;
        all << n.name;
        if (n.origin == origin) fits << n.name;
    }
    return m_rng.pick(fits.isEmpty() ? all : fits);
}

// A mother of the child's origin (now and then of another), named as women of
// her generation and origin are, and not the mother of any other family.
void DeckGenerator::giveMother(Record& r, const QString& childOrigin, bool married, bool nickname)
{
    QStringList origins;
    for (const Name& n : m_data.mothers)
        if (!origins.contains(n.origin)) origins << n.origin;
    for (int attempt = 0; attempt < 200; ++attempt) {
        const QString origin = origins.contains(childOrigin) && m_rng.chance(0.85) ? childOrigin : m_rng.pick(origins);
        QList<QString> firsts, middles, apostrophes;
        for (const Name& n : m_data.mothers)
            if (n.origin == origin && (!nickname || m_data.nicknames.contains(n.name))) firsts << n.name;
        if (firsts.isEmpty()) continue;
        for (const Name& n : m_data.apostropheSurnames)
            if (n.origin == origin) apostrophes << n.name;
        const QString first = m_rng.pick(firsts);
        const QString maiden =
            !apostrophes.isEmpty() && m_rng.chance(0.1) ? m_rng.pick(apostrophes) : surnameFor(origin, {r.last});
        if (maiden == r.last || m_mothers.contains(maiden + QLatin1Char('|') + first)) continue;
        for (const Name& n : m_data.mothersMiddle)
            if (n.origin == origin && n.name != first) middles << n.name;
        r.momFirst = first;
        r.momMaiden = maiden;
        r.momMiddle = !middles.isEmpty() && m_rng.chance(0.7) ? m_rng.pick(middles) : QString();
        r.momLast = married ? r.last : maiden;
        return;
    }
    refuse(QStringLiteral("no unused mother left"));
}

QDate DeckGenerator::randomDob()
{
    return kFirstBirthDay.addDays(m_rng.below(int(kFirstBirthDay.daysTo(kLastBirthDay)) + 1));
}

// A dose of the usual schedule, counted from the true birth date, given no
// earlier than `earliest` and no earlier than the product's use in children,
// and unlike every other vaccination under the same matching values.
bool DeckGenerator::vaccinate(Record& r, const QDate& earliest, const QList<Record>& person)
{
    const QSet<QString> taken = m_visits.value(r.key());
    for (int attempt = 0; attempt < 300; ++attempt) {
        const Vaccine& v = m_rng.pick(m_data.vaccines);
        const auto& dose = m_rng.pick(v.doses);
        const int months = dose.first + m_rng.below(dose.second - dose.first + 1);
        const QDate date = r.trueDob.addMonths(months).addDays(months == 0 ? 0 : m_rng.below(21));
        if (date < earliest || date > kLastVaccinationDay || (v.useFrom.isValid() && date < v.useFrom)) continue;
        Record trial = r;
        trial.cvx = v.cvx;
        trial.mvx = v.mvx;
        trial.vacDate = date;
        if (taken.contains(visitOf(trial)) || !dosesAgree(trial, person)) continue;
        r = trial;
        return true;
    }
    return false;
}

QStringList DeckGenerator::antigensOf(const QString& cvx) const
{
    for (const Vaccine& v : m_data.vaccines)
        if (v.cvx == cvx) return v.antigens;
    return {};
}

// Whether a record's dose fits the history of the child's other records: a
// dose of the same day is the same dose (same vaccine and maker), any other
// lies at least the shortest interval from it, less the 4 days' grace.
bool DeckGenerator::dosesAgree(const Record& r, const QList<Record>& person) const
{
    constexpr int kGraceDays = 4;
    const QStringList antigens = antigensOf(r.cvx);
    for (const Record& o : person) {
        if (!o.vacDate.isValid()) continue;
        const qint64 days = std::abs(o.vacDate.daysTo(r.vacDate));
        for (const QString& antigen : antigensOf(o.cvx)) {
            if (!antigens.contains(antigen)) continue;
            if (days == 0 ? o.cvx != r.cvx || o.mvx != r.mvx
                          : days < m_data.minimumInterval.value(antigen) - kGraceDays)
                return false;
        }
    }
    return true;
}

// The hepatitis B dose of the birth day, as newborn records carry.
bool DeckGenerator::birthDose(Record& r)
{
    r.cvx = QStringLiteral("08");
    r.mvx = m_rng.chance(0.5) ? QStringLiteral("MSD") : QStringLiteral("SKB");
    r.vacDate = r.trueDob;
    r.vaccinated = true;
    return r.vacDate >= r.dob;
}

Record DeckGenerator::makePerson(const Needs& needs)
{
    Record r;
    r.sex = needs.suffix || m_rng.chance(0.5) ? QStringLiteral("M") : QStringLiteral("F");
    r.dob = randomDob();
    if (needs.dayBelow13) {
        const int month = r.dob.month();
        int day = 1 + m_rng.below(12);
        if (day == month) day = day % 12 + 1;
        r.dob = QDate(r.dob.year(), month, day);
    }
    r.trueDob = r.dob;
    const bool hyphen = needs.hyphen || ((needs.doubleSurname || needs.longName) && m_rng.chance(0.5));
    const bool hispanicDouble = needs.hispanicDouble || ((needs.doubleSurname || needs.longName) && !hyphen);
    QString origin;
    if (needs.apostrophe || (!hyphen && !needs.particle && !hispanicDouble && m_rng.chance(0.03))) {
        const Name& n = m_rng.pick(m_data.apostropheSurnames);
        r.last = n.name;
        origin = n.origin;
    } else if (needs.particle) {
        const Name& n = m_rng.pick(m_data.particleSurnames);
        // Families write these both ways; registries split or join them.
        r.last = m_rng.chance(0.5) ? n.name : QString(n.name).remove(QLatin1Char(' '));
        origin = n.origin;
        r.origin = QStringLiteral("PARTICLE");
    } else if (hispanicDouble) {
        origin = QStringLiteral("HISPANIC");
        const QString a = surnameFor(origin);
        const QString b = surnameFor(origin, {a});
        r.last = a + QLatin1Char(' ') + b;
        r.origin = QStringLiteral("HISPANIC_DOUBLE");
    } else {
        const Name& n = m_rng.pick(m_data.surnames);
        r.last = n.name;
        origin = n.origin;
        if (hyphen) {
            QString other;
            do other = m_rng.pick(m_data.surnames).name;
            while (other == r.last);
            r.last += QLatin1Char('-') + other;
        }
    }
    if (r.origin.isEmpty()) r.origin = origin;
    const int year = r.dob.year();
    if (needs.compound) {
        QList<QString> fits;
        for (const Name& n : m_data.compoundFirst)
            if (n.origin == r.sex) fits << n.name;
        r.first = m_rng.pick(fits);
    } else {
        r.first = firstNameFor(r.sex, origin, year, needs.nickname, needs.soundalike);
    }
    if (!needs.noMiddle && (needs.middle || m_rng.chance(0.65)))
        r.middle = firstNameFor(r.sex, origin, year, false, false, {r.first});
    if (needs.suffix)
        r.suffix = m_rng.pick(QList<QString>{QStringLiteral("JR"), QStringLiteral("II"), QStringLiteral("III")});
    else if (r.sex == QLatin1String("M") && m_rng.chance(0.03))
        r.suffix = QStringLiteral("JR");
    const bool plainChildLast = lettersOnly(r.last) || r.last.contains(QLatin1Char('\''));
    giveMother(r, origin, !needs.momOwnName && (needs.momMarried || (plainChildLast && m_rng.chance(0.65))),
               needs.momNickname);
    return r;
}

QString DeckGenerator::typo(const QString& word)
{
    for (int attempt = 0; attempt < 50; ++attempt) {
        QString result = word;
        const int p = 1 + m_rng.below(int(word.size()) - 1);
        switch (m_rng.below(3)) {
        case 0:
            result[p] = keyboardNeighbour(word[p], m_rng);
            break; // struck the key beside
        case 1:
            result.remove(p, 1);
            break; // a letter left out
        default:
            result.insert(p, word[p]);
            break; // a letter doubled
        }
        if (result != word && result.size() >= 2 && !m_data.nicknames.contains(result)) return result;
    }
    return word;
}

QString DeckGenerator::swapAdjacent(const QString& word)
{
    QList<int> places;
    for (int p = 1; p + 1 < word.size(); ++p)
        if (word[p] != word[p + 1]) places << p;
    if (places.isEmpty()) return word;
    const int p = m_rng.pick(places);
    QString result = word;
    std::swap(result[p], result[p + 1]);
    return result;
}

std::optional<QDate> DeckGenerator::oneDigitOff(const QDate& date)
{
    const QString text = dateText(date);
    for (int attempt = 0; attempt < 100; ++attempt) {
        QString changed = text;
        const int p = QList<int>{3, 5, 6, 7}[m_rng.below(4)];
        changed[p] = QChar(u'0' + m_rng.below(10));
        const QDate result = QDate::fromString(changed, QStringLiteral("yyyyMMdd"));
        if (changed != text && result.isValid() && result >= kFirstBirthDay && result <= kLastBirthDay) return result;
    }
    return std::nullopt;
}

void DeckGenerator::note(Record& r, const QString& text) const
{
    r.note = r.note.isEmpty() ? text : r.note + QStringLiteral("; ") + text;
}

bool DeckGenerator::nickname(Record& d, const Record&)
{
    const QList<QString> nicks = m_data.nicknames.values(d.first);
    if (nicks.isEmpty()) return false;
    const QString nick = m_rng.pick(nicks);
    note(d, QStringLiteral("Nickname %1 for %2").arg(nick, d.first));
    d.first = nick;
    return true;
}

bool DeckGenerator::fnTypo(Record& d, const Record&)
{
    const QString t = lettersOnly(d.first) && d.first.size() >= 3 ? typo(d.first) : d.first;
    if (t == d.first) return false;
    note(d, QStringLiteral("First name typo %1 for %2").arg(t, d.first));
    d.first = t;
    return true;
}

bool DeckGenerator::fnTranspose(Record& d, const Record&)
{
    const QString t = swapAdjacent(d.first);
    if (t == d.first || !lettersOnly(d.first)) return false;
    note(d, QStringLiteral("Letters swapped in first name: %1 for %2").arg(t, d.first));
    d.first = t;
    return true;
}

bool DeckGenerator::fnSoundalike(Record& d, const Record&)
{
    if (!m_data.soundalikes.contains(d.first)) return false;
    const QString s = m_data.soundalikes.value(d.first);
    note(d, QStringLiteral("First name spelled %1 for %2").arg(s, d.first));
    d.first = s;
    return true;
}

bool DeckGenerator::firstInitial(Record& d, const Record& b)
{
    if (b.birthOrder > 0 || !lettersOnly(d.first)) return false;
    note(d, QStringLiteral("Initial %1 for the first name %2").arg(d.first.left(1), d.first));
    d.first = d.first.left(1);
    return true;
}

bool DeckGenerator::middleMissing(Record& d, const Record&)
{
    if (d.middle.size() < 2) return false;
    if (m_rng.chance(0.5)) {
        note(d, QStringLiteral("Middle name %1 missing").arg(d.middle));
        d.middle.clear();
    } else {
        note(d, QStringLiteral("Middle name %1 given as the initial %2").arg(d.middle, d.middle.left(1)));
        d.middle = d.middle.left(1);
    }
    return true;
}

bool DeckGenerator::middleAsFirst(Record& d, const Record&)
{
    if (d.middle.size() < 2) return false;
    note(d, QStringLiteral("Goes by the middle name %1 instead of %2").arg(d.middle, d.first));
    d.first = d.middle;
    d.middle.clear();
    return true;
}

bool DeckGenerator::firstMiddleSwapped(Record& d, const Record&)
{
    if (d.middle.size() < 2) return false;
    note(d, QStringLiteral("First and middle names swapped: %1 %2").arg(d.middle, d.first));
    std::swap(d.first, d.middle);
    return true;
}

bool DeckGenerator::compoundSplit(Record& d, const Record&)
{
    if (!d.first.contains(QLatin1Char(' ')) || !d.middle.isEmpty()) return false;
    note(d, QStringLiteral("Compound first name %1 split into first and middle name").arg(d.first));
    d.middle = d.first.section(QLatin1Char(' '), 1);
    d.first = d.first.section(QLatin1Char(' '), 0, 0);
    return true;
}

bool DeckGenerator::compoundJoined(Record& d, const Record&)
{
    if (!d.first.contains(QLatin1Char(' '))) return false;
    const QString together =
        QString(d.first).replace(QLatin1Char(' '), m_rng.chance(0.7) ? QString() : QStringLiteral("-"));
    note(d, QStringLiteral("Compound first name %1 written %2").arg(d.first, together));
    d.first = together;
    return true;
}

bool DeckGenerator::nameTransposed(Record& d, const Record&)
{
    note(d, QStringLiteral("First and last name transposed (%1 %2)").arg(d.last, d.first));
    std::swap(d.first, d.last);
    return true;
}

// A newborn name fits a twin of the same sex as well as the child: only
// single births and twins of opposite sex get one.
bool DeckGenerator::newbornName(Record& d, const Record& b)
{
    if ((d.sex != QLatin1String("M") && d.sex != QLatin1String("F")) || b.sameSexMultiple) return false;
    const QString placeholder = d.sex == QLatin1String("M") ? QStringLiteral("BABY BOY") : QStringLiteral("BABY GIRL");
    note(d, QStringLiteral("Newborn record %1 before the name %2 was given").arg(placeholder, d.first));
    d.first = placeholder;
    d.middle.clear();
    return birthDose(d);
}

bool DeckGenerator::newbornOther(Record& d, const Record& b)
{
    if (b.sameSexMultiple) return false;
    QString placeholder;
    if (b.birthOrder > 0) {
        placeholder = (b.related.size() > 1 ? QStringLiteral("TRIPLET ") : QStringLiteral("TWIN "))
                      + QChar(u'A' + b.birthOrder - 1);
    } else {
        const bool boy = d.sex == QLatin1String("M");
        placeholder = m_rng.pick(QList<QString>{QStringLiteral("INFANT"),
                                                boy ? QStringLiteral("INFANT BOY") : QStringLiteral("INFANT GIRL"),
                                                boy ? QStringLiteral("BB") : QStringLiteral("BG")});
    }
    note(d, QStringLiteral("Newborn record %1 before the name %2 was given").arg(placeholder, d.first));
    d.first = placeholder;
    d.middle.clear();
    return birthDose(d);
}

bool DeckGenerator::apostrophe(Record& d, const Record&)
{
    if (!d.last.contains(QLatin1Char('\''))) return false;
    const QString plain = QString(d.last).remove(QLatin1Char('\''));
    note(d, QStringLiteral("Apostrophe dropped: %1 for %2").arg(plain, d.last));
    d.last = plain;
    return true;
}

bool DeckGenerator::hyphenDropped(Record& d, const Record&)
{
    const QStringList parts = d.last.split(QLatin1Char('-'), Qt::SkipEmptyParts);
    if (parts.size() < 2) return false;
    const QString kept = m_rng.pick(parts);
    note(d, QStringLiteral("Hyphenated last name %1 given as %2").arg(d.last, kept));
    d.last = kept;
    return true;
}

bool DeckGenerator::hyphenSpace(Record& d, const Record&)
{
    QString other = d.last;
    if (d.last.contains(QLatin1Char('-')))
        other.replace(QLatin1Char('-'), QLatin1Char(' '));
    else if (d.origin == QLatin1String("HISPANIC_DOUBLE"))
        other.replace(QLatin1Char(' '), QLatin1Char('-'));
    else
        return false;
    note(d, QStringLiteral("Double last name %1 written %2").arg(d.last, other));
    d.last = other;
    return true;
}

bool DeckGenerator::hispanicSurnames(Record& d, const Record& b)
{
    if (b.origin != QLatin1String("HISPANIC_DOUBLE")) return false;
    const QString a = d.last.section(QLatin1Char(' '), 0, 0);
    const QString c = d.last.section(QLatin1Char(' '), 1, 1);
    const QString variant = m_rng.chance(0.6) ? a : a + c;
    note(d, QStringLiteral("Surnames %1 given as %2").arg(d.last, variant));
    d.last = variant;
    return true;
}

bool DeckGenerator::surnameParticle(Record& d, const Record& b)
{
    if (b.origin != QLatin1String("PARTICLE")) return false;
    QString other;
    if (d.last.contains(QLatin1Char(' '))) {
        other = QString(d.last).remove(QLatin1Char(' '));
    } else {
        for (const Name& n : m_data.particleSurnames)
            if (QString(n.name).remove(QLatin1Char(' ')) == d.last) other = n.name;
    }
    if (other.isEmpty()) return false;
    note(d, QStringLiteral("Last name %1 written %2").arg(d.last, other));
    d.last = other;
    return true;
}

// Before paternity was established the child carried the mother's name.
// (An adoption is no duplicate: registries keep adopted children apart from
// their birth records on purpose.)
bool DeckGenerator::surnameChanged(Record& d, const Record& b)
{
    if (b.momLast.isEmpty() || b.momLast == b.last) return false;
    note(d, QStringLiteral("Last name %1 before paternity gave the father's name %2").arg(b.momLast, b.last));
    d.last = b.momLast;
    return true;
}

bool DeckGenerator::momMaidenSurname(Record& d, const Record& b)
{
    if (b.momMaiden.isEmpty() || b.momMaiden == b.last) return false;
    note(d, QStringLiteral("Newborn registered under the mother's maiden name %1").arg(b.momMaiden));
    d.last = b.momMaiden;
    return birthDose(d);
}

bool DeckGenerator::suffix(Record& d, const Record&)
{
    if (d.suffix.isEmpty()) return false;
    if (m_rng.chance(0.5)) {
        note(d, QStringLiteral("Suffix %1 missing").arg(d.suffix));
    } else {
        note(d, QStringLiteral("Suffix %1 moved into the last name").arg(d.suffix));
        d.last += QLatin1Char(' ') + d.suffix;
    }
    d.suffix.clear();
    return true;
}

bool DeckGenerator::lnTypo(Record& d, const Record&)
{
    if (!lettersOnly(d.last) || d.last.size() < 4) return false;
    const QString t = typo(d.last);
    if (t == d.last) return false;
    note(d, QStringLiteral("Last name typo %1 for %2").arg(t, d.last));
    d.last = t;
    return true;
}

bool DeckGenerator::dobDayMonth(Record& d, const Record&)
{
    if (d.dob.day() > 12 || d.dob.day() == d.dob.month()) return false;
    const QDate swapped(d.dob.year(), d.dob.day(), d.dob.month());
    note(d, QStringLiteral("Day and month of birth swapped: %1 for %2").arg(dateText(swapped), d.dobText()));
    d.dob = swapped;
    return true;
}

bool DeckGenerator::dobDigit(Record& d, const Record&)
{
    const auto off = oneDigitOff(d.dob);
    if (!off) return false;
    note(d, QStringLiteral("Birth date %1 for %2").arg(dateText(*off), d.dobText()));
    d.dob = *off;
    return true;
}

bool DeckGenerator::dobYear(Record& d, const Record&)
{
    int year = d.dob.year() + (m_rng.chance(0.5) ? 1 : -1);
    if (year < kFirstBirthDay.year() || year > kLastBirthDay.year()) year = d.dob.year() * 2 - year;
    const QDate moved(year, d.dob.month(), std::min(d.dob.day(), QDate(year, d.dob.month(), 1).daysInMonth()));
    note(d, QStringLiteral("Birth year %1 for %2").arg(year).arg(d.dob.year()));
    d.dob = moved;
    return true;
}

// The two-month visit, written down as the birth date.
bool DeckGenerator::dobFirstVisit(Record& d, const Record&)
{
    const QDate visit = d.trueDob.addDays(56 + m_rng.below(20));
    if (visit > kLastBirthDay) return false;
    QList<const Vaccine*> due;
    for (const Vaccine& v : m_data.vaccines)
        if (v.doses.first().first <= 2 && v.doses.first().second >= 2 && (!v.useFrom.isValid() || v.useFrom <= visit))
            due << &v;
    const Vaccine* v = m_rng.pick(due);
    note(d, QStringLiteral("Birth date %1 is the first visit; born %2").arg(dateText(visit), d.dobText()));
    d.dob = visit;
    d.cvx = v->cvx;
    d.mvx = v->mvx;
    d.vacDate = visit;
    d.vaccinated = true;
    return true;
}

bool DeckGenerator::sexWrong(Record& d, const Record&)
{
    const QString sex = m_rng.chance(0.5) ? QStringLiteral("U") : otherSex(d.sex);
    note(d, QStringLiteral("Sex %1 for %2").arg(sex, d.sex));
    d.sex = sex;
    return true;
}

bool DeckGenerator::momMarriedAsMaiden(Record& d, const Record&)
{
    if (d.momLast.isEmpty() || d.momLast == d.momMaiden) return false;
    note(d,
         QStringLiteral("Mother's maiden name given as her married name %1 (maiden %2)").arg(d.momLast, d.momMaiden));
    d.momMaiden = d.momLast;
    return true;
}

bool DeckGenerator::momNickname(Record& d, const Record&)
{
    const QList<QString> nicks = m_data.nicknames.values(d.momFirst);
    if (nicks.isEmpty()) return false;
    const QString nick = m_rng.pick(nicks);
    note(d, QStringLiteral("Mother's first name %1 for %2").arg(nick, d.momFirst));
    d.momFirst = nick;
    return true;
}

bool DeckGenerator::momMissing(Record& d, const Record&)
{
    note(d, QStringLiteral("Mother's name missing"));
    d.momMaiden.clear();
    d.momLast.clear();
    d.momFirst.clear();
    d.momMiddle.clear();
    return true;
}

bool DeckGenerator::exact(Record& d, const Record&)
{
    note(d, QStringLiteral("Exact duplicate"));
    return true;
}

// The same child sent again after the family moved: what the deck scores is the
// base's, and only the address and phone it was sent with differ.
bool DeckGenerator::familyMoved(Record& d, const Record&)
{
    note(d, QStringLiteral("Family moved: new address and phone"));
    return true;
}

bool DeckGenerator::copiesBase(const QString& code)
{
    return code == QLatin1String("EXACT") || code == QLatin1String("FAMILY_MOVED");
}

// Simple problems applied together: `count` of them, or, when `fields`, as
// many as make `count` fields differ from the base's.
bool DeckGenerator::severalProblems(Record& d, const Record& b, int count, bool fields)
{
    QStringList simple{QStringLiteral("NICKNAME"),       QStringLiteral("FN_TYPO"),
                       QStringLiteral("DOB_DIGIT"),      QStringLiteral("MOM_MARRIED_AS_MAIDEN"),
                       QStringLiteral("SEX_WRONG"),      QStringLiteral("LN_TYPO"),
                       QStringLiteral("MIDDLE_MISSING"), QStringLiteral("MOM_NICKNAME"),
                       QStringLiteral("DOB_DAY_MONTH")};
    auto reached = [&](int applied) { return (fields ? changedFields(d, b) : applied) >= count; };
    int applied = 0;
    while (!reached(applied) && !simple.isEmpty()) {
        Record trial = d;
        if ((this->*problemOf(simple.takeAt(m_rng.below(int(simple.size())))).apply)(trial, b)
            && (!fields || changedFields(trial, b) > changedFields(d, b))) {
            d = trial;
            ++applied;
        }
    }
    return reached(applied);
}

bool DeckGenerator::twoProblems(Record& d, const Record& b) { return severalProblems(d, b, 2, false); }

bool DeckGenerator::threeFields(Record& d, const Record& b) { return severalProblems(d, b, 3, true); }

int DeckGenerator::changedFields(const Record& a, const Record& b)
{
    const QStringList x = a.demographics().split(QLatin1Char('|')), y = b.demographics().split(QLatin1Char('|'));
    int changed = 0;
    for (qsizetype i = 0; i < x.size(); ++i) changed += x[i] != y[i];
    return changed;
}

bool DeckGenerator::lastMiddleSwapped(Record& d, const Record&)
{
    if (d.middle.size() < 2 || d.middle == d.last) return false;
    note(d, QStringLiteral("Last and middle names swapped: %1 for %2 %3").arg(d.middle, d.middle, d.last));
    std::swap(d.last, d.middle);
    return true;
}

// Hospitals have named newborns after the mother since 2019: JUDYSGIRL.
bool DeckGenerator::newbornMother(Record& d, const Record& b)
{
    if (b.birthOrder > 0 || !lettersOnly(b.momFirst) || (d.sex != QLatin1String("M") && d.sex != QLatin1String("F")))
        return false;
    const QString placeholder =
        b.momFirst + (d.sex == QLatin1String("M") ? QStringLiteral("SBOY") : QStringLiteral("SGIRL"));
    note(d, QStringLiteral("Newborn record %1 before the name %2 was given").arg(placeholder, d.first));
    d.first = placeholder;
    d.middle.clear();
    return birthDose(d);
}

// A system that keeps fewer letters than the name has.
bool DeckGenerator::nameCut(Record& d, const Record&)
{
    QString& name = d.last.size() >= d.first.size() ? d.last : d.first;
    QList<int> limits;
    for (int limit : {8, 10, 12})
        if (limit < name.size()) limits << limit;
    if (limits.isEmpty()) return false;
    QString cut = name.left(m_rng.pick(limits));
    while (!cut.isEmpty() && !cut.back().isLetter()) cut.chop(1);
    note(d, QStringLiteral("Name %1 cut short to %2").arg(name, cut));
    name = cut;
    return true;
}

// The values each attempt of the matching looks a record up by: its own for
// every attempt, and for those that take the group's other record, each
// other member in turn.
QStringList DeckGenerator::probesOf(const Record& r, const QList<Record>& members)
{
    auto values = [](const Record& x) { return MatchValues{x.first, x.last, x.momMaiden, x.momFirst, x.dobText()}; };
    auto key = [&](const Lookup& l) {
        const QString third = l.byMomFirst ? QStringLiteral("F") : QStringLiteral("M");
        return QStringList{third, l.first, l.last, l.mother, l.dob, r.sex}.join(QLatin1Char('|'));
    };
    QStringList probes;
    for (const MatchAttempt& attempt : matchAttempts()) {
        if (!attempt.needsOther) probes << key(attempt.lookup(values(r), {}));
        for (const Record& o : members)
            if (attempt.needsOther) probes << key(attempt.lookup(values(r), values(o)));
    }
    return probes;
}

// What a registry row holding the record offers those attempts.
QStringList DeckGenerator::rowsOf(const Record& r)
{
    return {QStringList{QStringLiteral("M"), r.first, r.last, r.momMaiden, r.dobText(), r.sex}.join(QLatin1Char('|')),
            QStringList{QStringLiteral("F"), r.first, r.last, r.momFirst, r.dobText(), r.sex}.join(QLatin1Char('|'))};
}

// Whether a record can join the deck in that group and family: no attempt of
// the matching leads from it or its group to another group's record or back,
// its mother is no other family's, and it copies no record (an exact duplicate
// copies its base, once).
bool DeckGenerator::fits(const Record& r, int group, int family, const QList<Record>& members) const
{
    if (r.first.isEmpty() || r.last.isEmpty() || r.sex.isEmpty() || !r.dob.isValid() || r.dob < kFirstBirthDay
        || r.dob > kLastBirthDay)
        return false;
    const auto key = m_keys.constFind(r.key());
    if (key != m_keys.constEnd() && key.value() != group) return false;
    QStringList probes = probesOf(r, members);
    for (const Record& m : members) probes << probesOf(m, {r});
    for (const QString& p : probes) {
        const auto row = m_rows.constFind(p);
        if (row != m_rows.constEnd() && row.value() != group) return false;
    }
    for (const QString& row : rowsOf(r)) {
        const QSet<int> lookers = m_probes.value(row);
        if (!lookers.isEmpty() && lookers != QSet<int>{group}) return false;
    }
    const auto mother = m_mothers.constFind(r.mother());
    if (!r.mother().isEmpty() && mother != m_mothers.constEnd() && mother.value() != family) return false;
    const auto identity = m_identities.constFind(r.identity());
    if ((identity != m_identities.constEnd() && identity.value() != group) || !decidable(r, group, members))
        return false;
    const auto copy = m_demographics.constFind(r.demographics());
    if (copy != m_demographics.constEnd()
        && (!copiesBase(r.problemCode) || copy.value() != group || m_exactCopied.contains(group)))
        return false;
    return r.vacDate.isValid() && !m_visits.value(r.key()).contains(visitOf(r));
}

// Whether every duplicate, this record among them, still speaks more for its
// own person than for anyone else, and for more than first name, birth date
// and sex.
bool DeckGenerator::decidable(const Record& r, int group, const QList<Record>& members) const
{
    int own = -1;
    if (problem::isDuplicateCode(r.problemCode)) {
        bool beyond = false;
        for (const Record& m : members) {
            own = std::max(own, evidence(r, m));
            beyond = beyond || nameAgrees(r.last, m) || nameAgrees(r.middle, m) || motherAgrees(r, m);
        }
        if (!beyond) return false;
    }
    for (size_t i = 0; i < m_placed.size(); ++i) {
        const Record& p = m_placed[i];
        if (p.group == group) continue;
        if ((own >= 0 && evidence(r, p) >= own)
            || (problem::isDuplicateCode(p.problemCode) && evidence(p, r) >= m_ownEvidence.value(int(i))))
            return false;
    }
    return true;
}

std::optional<Record> DeckGenerator::duplicate(const Record& base, const QString& code)
{
    const Problem& problem = problemOf(code);
    for (int attempt = 0; attempt < 20; ++attempt) {
        Record d = base;
        d.note.clear();
        d.related.clear();
        d.dupCount = 0;
        d.problemCode = code;
        d.secondProblem.clear();
        d.combo = 0;
        d.vaccinated = false;
        if (!(this->*problem.apply)(d, base)) continue;
        if (!copiesBase(code) && d.demographics() == base.demographics()) continue;
        const QList<Record> members =
            m_members.contains(base.group) ? m_members.value(base.group) : QList<Record>{base};
        const QDate earliest = std::max(d.dob, d.trueDob);
        if (d.vaccinated ? d.vacDate < earliest || !dosesAgree(d, members) : !vaccinate(d, earliest, members)) continue;
        // The base may not be in the deck yet.
        if (d.key() == base.key() && visitOf(d) == visitOf(base)) continue;
        if (fits(d, base.group, base.family, members)) return d;
    }
    return std::nullopt;
}

int DeckGenerator::addRecord(Deck& deck, Record record)
{
    const int index = int(deck.records.size());
    if (record.group < 0 || record.group == index) {
        record.group = index;
        deck.groups.push_back({index});
        m_groupOf.insert(index, int(deck.groups.size()) - 1);
    } else {
        deck.groups[size_t(m_groupOf.value(record.group))].push_back(index);
        deck.records[size_t(record.group)].dupCount++;
    }
    if (record.family < 0) record.family = record.group;
    m_keys.insert(record.key(), record.group);
    m_visits[record.key()].insert(visitOf(record));
    if (m_demographics.contains(record.demographics()))
        m_exactCopied.insert(record.group);
    else
        m_demographics.insert(record.demographics(), index);
    if (!record.mother().isEmpty()) m_mothers.insert(record.mother(), record.family);
    m_identities.insert(record.identity(), record.group);
    QList<Record>& members = m_members[record.group];
    for (size_t i = 0; i < m_placed.size(); ++i) {
        if (m_placed[i].group != record.group) continue;
        if (problem::isDuplicateCode(record.problemCode))
            m_ownEvidence[index] = std::max(m_ownEvidence.value(index), evidence(record, m_placed[i]));
        if (problem::isDuplicateCode(m_placed[i].problemCode))
            m_ownEvidence[int(i)] = std::max(m_ownEvidence.value(int(i)), evidence(m_placed[i], record));
    }
    m_placed.push_back(record);
    for (const QString& p : probesOf(record, members)) m_probes[p].insert(record.group);
    for (const Record& m : members)
        for (const QString& p : probesOf(m, {record})) m_probes[p].insert(record.group);
    for (const QString& row : rowsOf(record)) m_rows.insert(row, record.group);
    members << record;
    deck.records.push_back(std::move(record));
    return index;
}

const std::vector<DeckGenerator::LookAlike>& DeckGenerator::lookAlikes()
{
    using G = DeckGenerator;
    static const std::vector<LookAlike> table{
        {"TWIN_SAME_SEX", &G::sameSexBirth, true},
        {"TWIN_OPP_SEX", &G::oppositeSexTwins, true},
        {"TWIN_PLACEHOLDER", &G::placeholderTwins, true},
        {"TRIPLETS", &G::anySexBirth, true},
        {"SIBLINGS", &G::siblings, false},
        {"COMMON_NAME_DOB", &G::commonNameAndDob, false},
        {"COUSINS", &G::cousins, false},
        {"DOB_ONE_OFF", &G::nearBirthDate, false},
    };
    return table;
}

const DeckGenerator::LookAlike& DeckGenerator::lookAlikeOf(const QString& code)
{
    for (const LookAlike& l : lookAlikes())
        if (code == QLatin1String(l.code)) return l;
    refuse("unknown kind of look-alike " + code);
}

void DeckGenerator::giveFreshFirst(Record& r, const QStringList& taken)
{
    QStringList avoid = taken;
    // Siblings whose names share an initial would make an initial ambiguous.
    for (const Name& n : r.sex == QLatin1String("F") ? m_data.girls : m_data.boys)
        for (const QString& t : taken)
            if (n.name.startsWith(t.left(1))) avoid << n.name;
    r.first = firstNameFor(r.sex, r.origin, r.dob.year(), false, false, avoid);
    // A middle name a sibling has as well would fit either of them.
    const QStringList siblings = taken + QStringList{r.first};
    r.middle = m_rng.chance(0.6) ? firstNameFor(r.sex, r.origin, r.dob.year(), false, false, siblings) : QString();
}

bool DeckGenerator::multipleBirth(std::vector<Record>& members, int size, Sexes sexes)
{
    const Record a = members.front();
    for (int m = 1; m < size; ++m) {
        Record b = a;
        if (sexes == Sexes::Opposite)
            b.sex = otherSex(a.sex);
        else if (sexes == Sexes::Either)
            b.sex = m_rng.chance(0.5) ? QStringLiteral("M") : QStringLiteral("F");
        QStringList taken;
        for (const Record& r : members) taken << r.first << r.middle;
        taken.removeAll(QString());
        giveFreshFirst(b, taken);
        members.push_back(b);
    }
    return true;
}

bool DeckGenerator::sameSexBirth(std::vector<Record>& members, int size)
{
    return multipleBirth(members, size, Sexes::Same);
}

bool DeckGenerator::oppositeSexTwins(std::vector<Record>& members, int size)
{
    return multipleBirth(members, size, Sexes::Opposite);
}

bool DeckGenerator::anySexBirth(std::vector<Record>& members, int size)
{
    return multipleBirth(members, size, Sexes::Either);
}

bool DeckGenerator::placeholderTwins(std::vector<Record>& members, int)
{
    Record a = members.front();
    Record b = a;
    a.middle.clear();
    b.middle.clear();
    if (m_rng.chance(0.5)) {
        const QString stem = a.sex == QLatin1String("M") ? QStringLiteral("BABY BOY") : QStringLiteral("BABY GIRL");
        a.first = stem + QStringLiteral(" A");
        b.first = stem + QStringLiteral(" B");
    } else {
        a.sex = QStringLiteral("M");
        b.sex = QStringLiteral("F");
        a.first = QStringLiteral("BABY BOY");
        b.first = QStringLiteral("BABY GIRL");
    }
    members = {a, b};
    return true;
}

bool DeckGenerator::siblings(std::vector<Record>& members, int)
{
    const Record& a = members.front();
    Record b = a;
    b.sex = m_rng.chance(0.5) ? QStringLiteral("M") : QStringLiteral("F");
    const int months = 10 + m_rng.below(6);
    b.dob = a.dob.addMonths(a.dob.year() >= 2024 ? -months : months).addDays(m_rng.below(20));
    if (b.dob > kLastBirthDay || b.dob < kFirstBirthDay || std::abs(a.dob.daysTo(b.dob)) < kMinDaysBetweenBirths)
        return false;
    giveFreshFirst(b, a.middle.isEmpty() ? QStringList{a.first} : QStringList{a.first, a.middle});
    members.push_back(b);
    return true;
}

bool DeckGenerator::commonNameAndDob(std::vector<Record>& members, int)
{
    Record& a = members.front();
    a.first = m_rng.pick(a.sex == QLatin1String("M") ? kCommonBoys : kCommonGirls);
    a.last = m_rng.pick(kCommonLast);
    a.momLast = m_rng.chance(0.6) ? a.last : a.momMaiden;
    return otherMothersChild(members, a);
}

bool DeckGenerator::cousins(std::vector<Record>& members, int)
{
    Record b = members.front();
    b.dob = b.dob.addDays((m_rng.chance(0.5) ? 1 : -1) * (30 + m_rng.below(200)));
    return otherMothersChild(members, b);
}

bool DeckGenerator::nearBirthDate(std::vector<Record>& members, int)
{
    const std::optional<QDate> off = oneDigitOff(members.front().dob);
    if (!off) return false;
    Record b = members.front();
    b.dob = *off;
    return otherMothersChild(members, b);
}

bool DeckGenerator::otherMothersChild(std::vector<Record>& members, Record b)
{
    const Record& a = members.front();
    for (int attempt = 0; attempt < 50 && (b.momMaiden == a.momMaiden || b.mother() == a.mother()); ++attempt)
        giveMother(b, b.origin, m_rng.chance(0.6), false);
    if (b.dob > kLastBirthDay || b.dob < kFirstBirthDay || b.momMaiden == a.momMaiden) return false;
    b.middle = m_rng.chance(0.5) ? QString() : firstNameFor(b.sex, b.origin, b.dob.year(), false, false, {b.first});
    members.push_back(b);
    return true;
}

void DeckGenerator::markSet(std::vector<Record>& members, const DeckData::LookAlikeKind& kind, bool multiple)
{
    for (size_t m = 0; m < members.size(); ++m) {
        Record& r = members[m];
        r.trueDob = r.dob;
        r.problemCode = problem::kLookAlike;
        r.secondProblem = kind.code;
        r.combo = kind.combo;
        if (multiple) {
            r.birthOrder = int(m) + 1;
            for (const Record& o : members) r.sameSexMultiple = r.sameSexMultiple || (&o != &r && o.sex == r.sex);
        }
    }
}

// Children of one birth come to their visits together.
bool DeckGenerator::vaccinateSet(std::vector<Record>& members, bool multiple)
{
    for (size_t m = 0; m < members.size(); ++m) {
        Record& r = members[m];
        if (multiple && m > 0) {
            r.cvx = members[0].cvx;
            r.mvx = members[0].mvx;
            r.vacDate = members[0].vacDate;
        } else if (r.first.startsWith(QLatin1String("BABY"))) {
            birthDose(r);
        } else if (!vaccinate(r, r.dob)) {
            return false;
        }
    }
    return true;
}

void DeckGenerator::addSet(Deck& deck, std::vector<Record>& members)
{
    const int family = int(deck.records.size());
    QList<int> indexes;
    for (Record& r : members) {
        r.family = family;
        indexes << addRecord(deck, r);
    }
    for (int i : indexes)
        for (int j : indexes)
            if (i != j) deck.records[size_t(i)].related << j;
}

void DeckGenerator::addLookAlikes(Deck& deck)
{
    for (const DeckData::LookAlikeKind& kind : m_data.lookAlikeKinds) {
        const LookAlike& lookAlike = lookAlikeOf(kind.code);
        for (int set = 0; set < kind.sets; ++set) {
            for (int attempt = 0;; ++attempt) {
                if (attempt > 200) refuse("cannot place look-alikes of " + kind.code);
                Record a = makePerson({});
                a.suffix.clear();
                if (a.origin == QLatin1String("HISPANIC_DOUBLE") || a.origin == QLatin1String("PARTICLE"))
                    a.origin = QStringLiteral("HISPANIC");
                std::vector<Record> members{a};
                if (!(this->*lookAlike.make)(members, kind.members)) continue;
                markSet(members, kind, lookAlike.multiple);
                if (!vaccinateSet(members, lookAlike.multiple) || !setFits(members)) continue;
                addSet(deck, members);
                break;
            }
        }
    }
}

// Every member of a look-alike set its own group: none may lead the matching
// to another, nor share another's names, birth date and sex.
bool DeckGenerator::setFits(const std::vector<Record>& members) const
{
    for (const Record& r : members) {
        if (!fits(r, -1, -1, {})) return false;
        for (const Record& o : members) {
            if (&o == &r) continue;
            if (o.identity() == r.identity()) return false;
            for (const QString& p : probesOf(r, {}))
                if (rowsOf(o).contains(p)) return false;
        }
    }
    return true;
}

QList<int> DeckGenerator::basesFor(const Deck& deck, const Needs& needs) const
{
    QList<int> candidates;
    for (const auto& group : deck.groups) {
        const Record& r = deck.records[size_t(group.front())];
        if (r.dupCount < kMaxDuplicatesPerGroup && satisfies(r, needs)) candidates << group.front();
    }
    return candidates;
}

bool DeckGenerator::addDuplicateOf(Deck& deck, const Record& base, const QString& code)
{
    const std::optional<Record> dup = duplicate(base, code);
    if (dup) addRecord(deck, *dup);
    return dup.has_value();
}

bool DeckGenerator::addPersonWithDuplicate(Deck& deck, const Needs& needs, const QString& code)
{
    Record person = makePerson(needs);
    person.problemCode = problem::kBaseRecord;
    person.group = person.family = int(deck.records.size());
    if (!satisfies(person, needs) || !vaccinate(person, person.dob) || !fits(person, person.group, person.family, {}))
        return false;
    const std::optional<Record> dup = duplicate(person, code);
    if (!dup) return false;
    addRecord(deck, person);
    addRecord(deck, *dup);
    return true;
}

void DeckGenerator::addDuplicates(Deck& deck)
{
    for (const DeckData::ProblemType& type : m_data.problemTypes) {
        const Needs needs = problemOf(type.code).needs;
        for (int made = 0, attempts = 0; made < type.records; ++attempts) {
            if (attempts > 5000) refuse("cannot make duplicates of " + type.code);
            // Most duplicates join a person who has some already: groups of every
            // size from one to five occur, and 550 records hold every type.
            if (m_rng.chance(0.8)) {
                const QList<int> candidates = basesFor(deck, needs);
                if (!candidates.isEmpty()) {
                    if (addDuplicateOf(deck, deck.records[size_t(m_rng.pick(candidates))], type.code)) ++made;
                    continue;
                }
            }
            if (addPersonWithDuplicate(deck, needs, type.code)) ++made;
        }
    }
}

// People without duplicates fill the deck.
void DeckGenerator::fillDeck(Deck& deck)
{
    while (int(deck.records.size()) < kRecords) {
        Record person = makePerson({});
        person.problemCode = problem::kBaseRecord;
        if (vaccinate(person, person.dob) && fits(person, -1, -1, {})) addRecord(deck, person);
    }
    if (int(deck.records.size()) != kRecords) refuse(QStringLiteral("the deck does not hold 550 records"));
}

// A few groups leave an empty slot between their members.
void DeckGenerator::leaveGaps(Deck& deck)
{
    int gaps = 0;
    for (auto& group : deck.groups) {
        if (gaps < 5 && group.size() >= 2 && group.size() <= 4 && m_rng.chance(0.15)) {
            group.insert(group.begin() + 1 + m_rng.below(int(group.size()) - 1), -1);
            ++gaps;
        }
    }
}

// IDs in shuffled order, no duplicate next to its base record.
void DeckGenerator::assignIds(Deck& deck)
{
    std::vector<int> order(kRecords);
    for (int i = 0; i < kRecords; ++i) order[size_t(i)] = i;
    for (int i = kRecords - 1; i > 0; --i) std::swap(order[size_t(i)], order[size_t(m_rng.below(i + 1))]);
    deck.idOf.assign(kRecords, 0);
    auto assign = [&] {
        for (int position = 0; position < kRecords; ++position)
            deck.idOf[size_t(order[size_t(position)])] = position + 1;
    };
    assign();
    for (bool clean = false; !clean;) {
        clean = true;
        for (int i = 0; i < kRecords; ++i) {
            const int base = deck.records[size_t(i)].group;
            if (base != i && std::abs(deck.idOf[size_t(i)] - deck.idOf[size_t(base)]) <= 1) {
                const int position = deck.idOf[size_t(i)] - 1;
                std::swap(order[size_t(position)], order[size_t(m_rng.below(kRecords))]);
                assign();
                clean = false;
            }
        }
    }
}

QString DeckGenerator::lookAlikeNote(const Deck& deck, const Record& r)
{
    QStringList others;
    for (int j : r.related) others << QString::number(deck.idOf[size_t(j)]);
    const QString other = others.value(0);
    const QString& kind = r.secondProblem;
    if (kind == QLatin1String("TWIN_SAME_SEX") || kind == QLatin1String("TWIN_OPP_SEX"))
        return QStringLiteral("Twin of record %1").arg(other);
    if (kind == QLatin1String("TWIN_PLACEHOLDER"))
        return QStringLiteral("Twin of record %1, both still on newborn names").arg(other);
    if (kind == QLatin1String("TRIPLETS")) return QStringLiteral("Triplet of records %1").arg(joined(others));
    if (kind == QLatin1String("SIBLINGS"))
        return QStringLiteral("Sibling of record %1, same mother, born %2 days apart")
            .arg(other)
            .arg(std::abs(r.dob.daysTo(deck.records[size_t(r.related.value(0))].dob)));
    if (kind == QLatin1String("COMMON_NAME_DOB"))
        return QStringLiteral("Same name and birth date as record %1; another mother's child").arg(other);
    if (kind == QLatin1String("COUSINS")) return QStringLiteral("Cousin of record %1 with the same name").arg(other);
    return QStringLiteral("Same name as record %1, birth date one digit off; a different child").arg(other);
}

// Notes name other records by their IDs.
void DeckGenerator::writeNotes(Deck& deck)
{
    auto id = [&](int index) { return QString::number(deck.idOf[size_t(index)]); };
    for (int i = 0; i < kRecords; ++i) {
        Record& r = deck.records[size_t(i)];
        if (problem::isLookAlikeCode(r.problemCode))
            r.note = lookAlikeNote(deck, r);
        else if (problem::isBaseRecordCode(r.problemCode))
            r.note = QStringLiteral("Base record");
        else
            r.note += QStringLiteral(" (duplicate of record %1)").arg(id(r.group));
        if (problem::isDuplicateCode(r.problemCode)) continue;
        if (r.dupCount > 0) {
            QStringList dups;
            for (const auto& group : deck.groups)
                if (group.front() == i)
                    for (size_t k = 1; k < group.size(); ++k)
                        if (group[k] >= 0) dups << id(group[k]);
            r.note += QStringLiteral("; duplicated by record%1 %2")
                          .arg(dups.size() > 1 ? QStringLiteral("s") : QString(), dups.join(QStringLiteral(", ")));
        }
    }
}

Deck DeckGenerator::generate()
{
    Deck deck;
    addLookAlikes(deck);
    addDuplicates(deck);
    fillDeck(deck);
    leaveGaps(deck);
    assignIds(deck);
    writeNotes(deck);
    return deck;
}

namespace {

// Each test record's own vaccination, by ID, as DupTestData.txt carries it; the
// analysis prefers the registry row that holds this vaccination.
QByteArray vaccinationTable(const Deck& deck)
{
    std::vector<const Record*> byId(deck.records.size());
    for (size_t i = 0; i < deck.records.size(); ++i) byId[size_t(deck.idOf[i] - 1)] = &deck.records[i];
    QString csv = QStringLiteral("ID,VacCode,VacDate,VacMfr\n");
    for (size_t id = 1; id <= byId.size(); ++id) {
        const Record& r = *byId[id - 1];
        csv += QStringLiteral("%1,%2,%3,%4\n")
                   .arg(QString::number(id), csvField(r.cvx), r.vacDate.toString(QStringLiteral("yyyyMMdd")),
                        csvField(r.mvx));
    }
    return csv.toUtf8();
}

} // namespace

QMap<QString, QByteArray> DeckGenerator::render(const Deck& deck, const DeckData& data)
{
    QMap<QString, QByteArray> files;
    std::vector<int> byId(deck.records.size());
    for (size_t i = 0; i < deck.records.size(); ++i) byId[size_t(deck.idOf[i] - 1)] = int(i);

    QString test = QStringLiteral("ID,LastName,FirstName,MiddleName,Suffix,DOB,Sex,MomMaiden,MomLast,MomFirst,"
                                  "MomMiddle,notes,ProblemCode,SecondProblem,ComboCode\n");
    QString txt;
    for (size_t id = 1; id <= byId.size(); ++id) {
        const Record& r = deck.records[size_t(byId[id - 1])];
        const QStringList values{QString::number(id),
                                 r.last,
                                 r.first,
                                 r.middle,
                                 r.suffix,
                                 r.dobText(),
                                 r.sex,
                                 r.momMaiden,
                                 r.momLast,
                                 r.momFirst,
                                 r.momMiddle,
                                 r.note,
                                 r.problemCode,
                                 r.secondProblem,
                                 r.combo ? QString::number(r.combo) : QString()};
        test += csvRecord(values) + QLatin1Char('\n');
        const QStringList fields{r.last,      r.first,     r.middle,    r.suffix,
                                 r.dobText(), r.sex,       r.momMaiden, r.momLast,
                                 r.momFirst,  r.momMiddle, r.cvx,       r.vacDate.toString(QStringLiteral("yyyyMMdd")),
                                 r.mvx};
        txt += fields.join(QLatin1Char(',')) + QStringLiteral("\r\n");
    }
    files.insert(QStringLiteral("DupTestData.csv"), test.toUtf8());
    files.insert(QStringLiteral("DupTestData.txt"), txt.toUtf8());
    files.insert(QStringLiteral("DupTestVaccination.csv"), vaccinationTable(deck));

    QList<std::vector<int>> sheet(deck.groups.begin(), deck.groups.end());
    std::sort(sheet.begin(), sheet.end(), [&](const std::vector<int>& a, const std::vector<int>& b) {
        return deck.idOf[size_t(a.front())] < deck.idOf[size_t(b.front())];
    });
    QString answers = QStringLiteral("rec_1,rec_2,rec_3,rec_4,rec_5\n");
    for (const auto& group : sheet) {
        QStringList cells;
        for (size_t k = 0; k < 5; ++k)
            cells << (k < group.size() && group[k] >= 0 ? QString::number(deck.idOf[size_t(group[k])]) : QString());
        answers += cells.join(QLatin1Char(',')) + QLatin1Char('\n');
    }
    files.insert(QStringLiteral("Answer_Sheet.csv"), answers.toUtf8());

    QString problems = QStringLiteral("ProbCode,ProbDesc,ProbOrder\n");
    for (const auto& type : data.problemTypes)
        problems += QStringLiteral("%1,%2,%3\n").arg(type.code, csvField(type.description)).arg(type.order);
    files.insert(QStringLiteral("tblProbDescMap.csv"), problems.toUtf8());

    QString kinds = QStringLiteral("ProbCode,ProbDesc,ProbOrder\n");
    QString combos = QStringLiteral("ProbCode,ComboCode\n");
    for (const auto& kind : data.lookAlikeKinds) {
        kinds += QStringLiteral("%1,%2,%3\n").arg(kind.code, csvField(kind.description)).arg(kind.order);
        for (const QString& code : kind.imitates) combos += QStringLiteral("%1,%2\n").arg(code).arg(kind.combo);
    }
    files.insert(QStringLiteral("tblSecondProbDescMap.csv"), kinds.toUtf8());
    files.insert(QStringLiteral("tblComboMap.csv"), combos.toUtf8());
    return files;
}

namespace {

// FNV-1a: a stable seed from a text, the same on every platform (qHash is not).
quint64 stableSeed(const QString& text)
{
    quint64 h = 0xcbf29ce484222325ULL;
    for (const char c : text.toUtf8()) {
        h ^= quint8(c);
        h *= 0x100000001b3ULL;
    }
    return h;
}

struct Clinic {
    const char* id;
    const char* name;
};
// Made-up clinics; one name carries the characters a message must escape.
const Clinic kClinics[] = {
    {"NGP", "NORTHGATE PEDIATRICS"},         {"SBC", "ST. BRIGID'S CHILDREN & FAMILY CLINIC"},
    {"WCF", "WILLOW CREEK FAMILY MEDICINE"}, {"HCH", "HARBORVIEW COMMUNITY HEALTH"},
    {"LKC", "LAKESIDE KIDS CARE"},
};
constexpr int kClinicCount = int(std::size(kClinics));

struct Town {
    const char *city, *zip, *areaCode;
};
// Made-up towns with ZIP codes and area codes of the state they would lie in.
const Town kTowns[] = {
    {"ALDER FALLS", "53911", "608"}, {"BRANTWOOD CROSSING", "54022", "715"}, {"CEDAR HOLLOW", "53574", "608"},
    {"DUNMORE", "54130", "920"},     {"EASTON RIDGE", "53089", "262"},       {"FOXMEADOW", "54481", "715"},
};
const char* const kStreets[] = {"MAPLE",      "OAK",      "BIRCH",   "HICKORY",  "CHERRY", "MILL POND", "O'CONNELL",
                                "BAKER-HILL", "LAKEVIEW", "PRAIRIE", "SUMMIT",   "WILLOW", "ORCHARD",   "ST. CLAIR",
                                "RIVERSIDE",  "FOUNTAIN", "JUNIPER", "KINGSLEY", "MEADOW", "PINE KNOLL"};
const char* const kStreetKinds[] = {"ST", "AVE", "RD", "DR", "LN", "CT", "WAY", "BLVD"};

bool sameMotherKind(const QString& kind)
{
    return kind.startsWith(QLatin1String("TWIN_")) || kind == QLatin1String("TRIPLETS")
           || kind == QLatin1String("SIBLINGS");
}

// A household's clinic, street, town, ZIP and phone; no two households share
// an address or a phone.
QStringList drawHome(const QString& seedText, QSet<QString>& taken)
{
    Rng rng(stableSeed(seedText));
    const QString clinic = QString::number(rng.below(kClinicCount));
    for (;;) {
        const Town& town = kTowns[rng.below(int(std::size(kTowns)))];
        const QString street = QStringLiteral("%1 %2 %3")
                                   .arg(100 + rng.below(9800))
                                   .arg(QLatin1String(kStreets[rng.below(int(std::size(kStreets)))]),
                                        QLatin1String(kStreetKinds[rng.below(int(std::size(kStreetKinds)))]));
        // 555-0100 to 555-0199 is the range set aside for fiction.
        const QString phone =
            QLatin1String(town.areaCode) + QStringLiteral("5550") + QString::number(100 + rng.below(100)).right(3);
        const QString address = street + QLatin1Char('|') + QLatin1String(town.city);
        if (taken.contains(address) || taken.contains(phone)) continue;
        taken << address << phone;
        return {clinic, street, QLatin1String(town.city), QLatin1String(town.zip), phone};
    }
}

// A record number no other record carries, at any clinic.
QString freshNumber(const QString& seedText, QSet<QString>& numbers)
{
    Rng rng(stableSeed(seedText));
    QString number;
    do number = QString::number(1000000 + rng.below(9000000));
    while (numbers.contains(number));
    numbers.insert(number);
    return number;
}

// A lot number of one maker's vaccine: never one that another product uses.
QString lotOf(const QString& seedText, const QString& product, QHash<QString, QString>& owner)
{
    Rng rng(stableSeed(seedText));
    QString lot;
    do {
        lot.clear();
        for (int k = 0, letters = 1 + rng.below(2); k < letters; ++k) lot += QChar(u'A' + rng.below(26));
        lot += QString::number(1000 + rng.below(9000));
        if (rng.chance(0.5)) lot += QChar(u'A' + rng.below(26));
    } while (owner.value(lot, product) != product);
    owner.insert(lot, product);
    return lot;
}

} // namespace

QByteArray DeckGenerator::renderSubmissions(const Deck& deck, const DeckData& data)
{
    std::vector<int> byId(deck.records.size());
    for (size_t i = 0; i < deck.records.size(); ++i) byId[size_t(deck.idOf[i] - 1)] = int(i);
    auto idOf = [&](int index) { return QString::number(deck.idOf[size_t(index)]); };

    // A household: the children of one mother, with every record sent of them.
    // Look-alikes of other mothers live elsewhere.
    // A record sent after the family moved has a home of its own.
    auto household = [&](int index) {
        const Record& r = deck.records[size_t(index)];
        if (r.problemCode == QLatin1String("FAMILY_MOVED")) return int(deck.records.size()) + index;
        const Record& base = deck.records[size_t(r.group)];
        return sameMotherKind(base.secondProblem) ? base.family : base.group;
    };
    auto isBase = [](const Record& r) { return !problem::isDuplicateCode(r.problemCode); };

    QHash<int, QStringList> homes; // household -> clinic, street, town, phone
    QSet<QString> takenHomes;
    auto home = [&](int index) -> const QStringList& {
        const int key = household(index);
        auto it = homes.find(key);
        if (it == homes.end()) {
            const int size = int(deck.records.size());
            it = homes.insert(key, drawHome(key < size ? QStringLiteral("household ") + idOf(key)
                                                       : QStringLiteral("moved ") + idOf(key - size),
                                            takenHomes));
        }
        return *it;
    };

    QHash<QString, QString> vaccineNames;
    for (const Vaccine& v : data.vaccines) vaccineNames.insert(v.cvx, v.vaccine);

    QSet<QString> numbers;            // unique across clinics, so one never passes for another's
    QHash<QString, QString> lotOwner; // lot -> the vaccine and maker it belongs to
    QHash<QString, int> givenAt;      // child and dose -> the clinic that gave it (-1: unknown)
    QString csv = QStringLiteral("ID,FacilityID,FacilityName,MRN,Street,City,State,Zip,Phone,MultipleBirth,BirthOrder,"
                                 "VaccineName,LotNumber,Historical\n");
    for (size_t id = 1; id <= byId.size(); ++id) {
        const int index = byId[id - 1];
        const Record& r = deck.records[size_t(index)];
        Rng rng(stableSeed(QStringLiteral("record ") + QString::number(id)));
        const QStringList& h = home(index);
        int clinic = h[0].toInt();
        // Another clinic sends some duplicates: the child was seen there too.
        if (!isBase(r) && rng.chance(0.5)) clinic = (clinic + 1 + rng.below(kClinicCount - 1)) % kClinicCount;

        // Every record its own number: a duplicate comes from another clinic, or
        // from the same clinic registering the child again by mistake.
        const QString mrn = freshNumber(QStringLiteral("mrn ") + QString::number(id), numbers);

        // The first record of a child to carry a dose was sent by the clinic
        // that gave it; another clinic sending the same dose copies its history.
        const QString product = r.cvx + QLatin1Char(' ') + r.mvx;
        const QString dose = QStringLiteral("%1 %2 %3").arg(r.group).arg(product, r.vacDate.toString(Qt::ISODate));
        auto given = givenAt.find(dose);
        if (given == givenAt.end())
            given = givenAt.insert(dose, rng.chance(0.08) ? -1 : clinic); // some from a paper card
        const bool historical = *given != clinic;
        const QString lotNumber =
            lotOf(QStringLiteral("lot %1 %2 %3").arg(product, r.vacDate.toString(Qt::ISODate)).arg(*given), product,
                  lotOwner);

        // Placeholder names are often sent before anyone records the birth order.
        const bool placeholder = r.first.startsWith(QLatin1String("BABY"));
        const QString order =
            r.birthOrder > 0 && !(placeholder && rng.chance(0.5)) ? QString::number(r.birthOrder) : QString();
        csv += csvRecord({QString::number(id), QLatin1String(kClinics[clinic].id), QLatin1String(kClinics[clinic].name),
                          mrn, h[1], h[2], QStringLiteral("WI"), h[3], h[4],
                          r.birthOrder > 0 ? QStringLiteral("Y") : QStringLiteral("N"), order,
                          vaccineNames.value(r.cvx), lotNumber, historical ? QStringLiteral("Y") : QStringLiteral("N")})
               + QLatin1Char('\n');
    }
    return csv.toUtf8();
}

} // namespace marrowick::deck
