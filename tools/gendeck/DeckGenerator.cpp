#include "DeckGenerator.h"

#include "database/CsvReader.h"

#include <QFile>
#include <QSet>
#include <QTextStream>
#include <algorithm>
#include <stdexcept>

namespace marrowick::deck {

namespace {

// Vaccinations are dated no later than this day, as if the deck were drawn then.
const QDate kLastVaccinationDay(2026, 11, 30);
const QDate kFirstBirthDay(2019, 1, 1);
const QDate kLastBirthDay(2025, 12, 31);
constexpr int kRecords = 550;
constexpr int kMaxDuplicatesPerGroup = 4;

// A data file's records; lines starting with # are remarks.
QList<QStringList> readTable(const QString& path, bool header)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error(("cannot read " + path).toStdString());
    CsvReader reader(CsvReader::decode(file.readAll()));
    QList<QStringList> rows;
    QStringList fields;
    bool first = true;
    while (reader.next(fields)) {
        if (fields.first().startsWith(QLatin1Char('#')))
            continue;
        if (!(first && header))
            rows << fields;
        first = false;
    }
    return rows;
}

QList<Name> readNames(const QString& path)
{
    QList<Name> names;
    for (const QStringList& row : readTable(path, false))
        names.append({row.value(0), row.value(1)});
    return names;
}

QString csvValue(const QString& value)
{
    if (value.contains(QLatin1Char(',')) || value.contains(QLatin1Char('"')) || value.contains(QLatin1Char('\n')))
        return QLatin1Char('"') + QString(value).replace(QStringLiteral("\""), QStringLiteral("\"\"")) + QLatin1Char('"');
    return value;
}

bool lettersOnly(const QString& word)
{
    for (const QChar c : word)
        if (!c.isLetter())
            return false;
    return !word.isEmpty();
}

const QStringList kKeyboardRows = {QStringLiteral("QWERTYUIOP"), QStringLiteral("ASDFGHJKL"), QStringLiteral("ZXCVBNM")};

QChar keyboardNeighbour(QChar c, Rng& rng)
{
    for (const QString& row : kKeyboardRows) {
        const qsizetype p = row.indexOf(c);
        if (p < 0)
            continue;
        if (p == 0)
            return row[1];
        if (p == row.size() - 1)
            return row[p - 1];
        return row[rng.chance(0.5) ? p - 1 : p + 1];
    }
    return c;
}

QString otherSex(const QString& sex) { return sex == QLatin1String("M") ? QStringLiteral("F") : QStringLiteral("M"); }

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
    if (n <= 0)
        throw std::logic_error("Rng::below of an empty range");
    const quint64 limit = ~0ULL - (~0ULL % quint64(n));
    quint64 value;
    do
        value = next();
    while (value >= limit);
    return int(value % quint64(n));
}

DeckData DeckData::load(const QString& folder)
{
    DeckData d;
    d.boys = readNames(folder + QStringLiteral("/boys.txt"));
    d.girls = readNames(folder + QStringLiteral("/girls.txt"));
    d.mothers = readNames(folder + QStringLiteral("/mothers.txt"));
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
        Vaccine v{row.value(0), row.value(1), row.value(2), {}};
        for (const QString& dose : row.value(4).split(QLatin1Char(';'))) {
            const QStringList range = dose.split(QLatin1Char('-'));
            v.doses.append({range.first().toInt(), range.last().toInt()});
        }
        d.vaccines.append(v);
    }
    for (const QStringList& row : readTable(folder + QStringLiteral("/problem_types.csv"), true))
        d.problemTypes.append({row.value(0), row.value(3), row.value(1).toInt(), row.value(2).toInt()});
    for (const QStringList& row : readTable(folder + QStringLiteral("/lookalike_kinds.csv"), true))
        d.lookAlikeKinds.append({row.value(0), row.value(6), row.value(1).toInt(), row.value(2).toInt(),
                                 row.value(3).toInt(), row.value(4).toInt(), row.value(5).split(QLatin1Char(';'))});
    return d;
}

QString Record::key() const
{
    return QStringList{first, last, momMaiden, dobText(), sex}.join(QLatin1Char('|'));
}

DeckGenerator::Needs DeckGenerator::needsOf(const QString& code)
{
    Needs n;
    if (code == QLatin1String("NICKNAME"))
        n.nickname = true;
    else if (code == QLatin1String("FN_TYPO") || code == QLatin1String("FN_TRANSPOSE"))
        n.longFirst = true;
    else if (code == QLatin1String("FN_SOUNDALIKE"))
        n.soundalike = true;
    else if (code == QLatin1String("MIDDLE_MISSING") || code == QLatin1String("MIDDLE_AS_FIRST"))
        n.middle = true;
    else if (code == QLatin1String("COMPOUND_FIRST"))
        n.compound = true;
    else if (code == QLatin1String("APOSTROPHE"))
        n.apostrophe = true;
    else if (code == QLatin1String("HYPHEN_DROPPED"))
        n.hyphen = true;
    else if (code == QLatin1String("HISPANIC_SURNAMES"))
        n.hispanicDouble = true;
    else if (code == QLatin1String("SURNAME_PARTICLE"))
        n.particle = true;
    else if (code == QLatin1String("SUFFIX"))
        n.suffix = true;
    else if (code == QLatin1String("LN_TYPO"))
        n.longLast = true;
    else if (code == QLatin1String("DOB_DAY_MONTH"))
        n.dayBelow13 = true;
    else if (code == QLatin1String("MOM_MARRIED_AS_MAIDEN"))
        n.momMarried = true;
    else if (code == QLatin1String("MOM_NICKNAME"))
        n.momNickname = true;
    return n;
}

bool DeckGenerator::satisfies(const Record& r, const Needs& n) const
{
    if (r.first.startsWith(QLatin1String("BABY")))
        return false;
    const bool plainLast = lettersOnly(r.last);
    return (!n.nickname || m_data.nicknames.contains(r.first)) && (!n.soundalike || m_data.soundalikes.contains(r.first))
        && (!n.middle || r.middle.size() > 1) && (!n.compound || r.first.contains(QLatin1Char(' ')))
        && (!n.apostrophe || r.last.contains(QLatin1Char('\''))) && (!n.hyphen || r.last.contains(QLatin1Char('-')))
        && (!n.hispanicDouble || r.origin == QLatin1String("HISPANIC_DOUBLE"))
        && (!n.particle || r.origin == QLatin1String("PARTICLE")) && (!n.suffix || !r.suffix.isEmpty())
        && (!n.dayBelow13 || (r.dob.day() <= 12 && r.dob.day() != r.dob.month()))
        && (!n.momMarried || (!r.momLast.isEmpty() && r.momLast != r.momMaiden))
        && (!n.momNickname || m_data.nicknames.contains(r.momFirst))
        && (!n.longFirst || (lettersOnly(r.first) && r.first.size() >= 4))
        && (!n.longLast || (plainLast && r.last.size() >= 4));
}

QString DeckGenerator::firstNameFor(const QString& sex, const QString& origin, bool nickname, bool soundalike,
                                   const QStringList& avoid)
{
    const QList<Name>& list = sex == QLatin1String("F") ? m_data.girls : m_data.boys;
    QList<QString> fits, anyOrigin;
    for (const Name& n : list) {
        if ((nickname && !m_data.nicknames.contains(n.name)) || (soundalike && !m_data.soundalikes.contains(n.name))
            || avoid.contains(n.name))
            continue;
        anyOrigin << n.name;
        if (n.origin == origin)
            fits << n.name;
    }
    return m_rng.pick(fits.isEmpty() ? anyOrigin : fits);
}

QString DeckGenerator::surnameFor(const QString& origin, const QStringList& avoid)
{
    QList<QString> fits, all;
    for (const Name& n : m_data.surnames) {
        if (avoid.contains(n.name))
            continue;
        all << n.name;
        if (n.origin == origin)
            fits << n.name;
    }
    return m_rng.pick(fits.isEmpty() ? all : fits);
}

QDate DeckGenerator::randomDob()
{
    return kFirstBirthDay.addDays(m_rng.below(int(kFirstBirthDay.daysTo(kLastBirthDay)) + 1));
}

void DeckGenerator::vaccinate(Record& r, const Record* other)
{
    for (int attempt = 0; attempt < 200; ++attempt) {
        const Vaccine& v = m_rng.pick(m_data.vaccines);
        const auto& dose = m_rng.pick(v.doses);
        const int months = dose.first + m_rng.below(dose.second - dose.first + 1);
        const QDate date = r.dob.addMonths(months).addDays(months == 0 ? 0 : m_rng.below(21));
        if (date > kLastVaccinationDay)
            continue;
        if (other && other->cvx == v.cvx && other->vacDate == date)
            continue;
        r.cvx = v.cvx;
        r.mvx = v.mvx;
        r.vacDate = date;
        return;
    }
    // A child born late in the range: the birth dose of hepatitis B always fits.
    r.cvx = QStringLiteral("08");
    r.mvx = QStringLiteral("MSD");
    r.vacDate = r.dob;
}

Record DeckGenerator::makePerson(const Needs& needs)
{
    Record r;
    r.sex = !needs.sex.isEmpty() ? needs.sex : (needs.suffix || m_rng.chance(0.5) ? QStringLiteral("M") : QStringLiteral("F"));
    if (needs.compound) {
        QList<QString> fits;
        for (const Name& n : m_data.compoundFirst)
            if (n.origin == r.sex)
                fits << n.name;
        r.first = m_rng.pick(fits);
    }
    QString origin;
    if (needs.apostrophe || (!needs.hyphen && !needs.particle && !needs.hispanicDouble && m_rng.chance(0.03))) {
        const Name& n = m_rng.pick(m_data.apostropheSurnames);
        r.last = n.name;
        origin = n.origin;
    } else if (needs.particle) {
        const Name& n = m_rng.pick(m_data.particleSurnames);
        r.last = n.name;
        origin = n.origin;
        r.origin = QStringLiteral("PARTICLE");
    } else if (needs.hispanicDouble) {
        origin = QStringLiteral("HISPANIC");
        const QString a = surnameFor(origin);
        const QString b = surnameFor(origin, {a});
        r.last = a + QLatin1Char(' ') + b;
        r.origin = QStringLiteral("HISPANIC_DOUBLE");
    } else {
        const Name& n = m_rng.pick(m_data.surnames);
        r.last = n.name;
        origin = n.origin;
        if (needs.hyphen) {
            QString other;
            do
                other = m_rng.pick(m_data.surnames).name;
            while (other == r.last);
            r.last += QLatin1Char('-') + other;
        }
    }
    if (r.origin.isEmpty())
        r.origin = origin;
    if (r.first.isEmpty())
        r.first = firstNameFor(r.sex, origin, needs.nickname, needs.soundalike);
    if (needs.middle || m_rng.chance(0.65))
        r.middle = firstNameFor(r.sex, origin, false, false, {r.first});
    if (needs.suffix)
        r.suffix = m_rng.pick(QList<QString>{QStringLiteral("JR"), QStringLiteral("II"), QStringLiteral("III")});
    else if (r.sex == QLatin1String("M") && m_rng.chance(0.03))
        r.suffix = QStringLiteral("JR");

    r.dob = randomDob();
    if (needs.dayBelow13) {
        int month = r.dob.month();
        int day = 1 + m_rng.below(12);
        if (day == month)
            day = day % 12 + 1;
        r.dob = QDate(r.dob.year(), month, day);
    }

    r.momMaiden = m_rng.chance(0.04) ? m_rng.pick(m_data.apostropheSurnames).name : surnameFor(origin, {r.last});
    if (r.momMaiden == r.last)
        r.momMaiden = surnameFor(origin, {r.last});
    const bool plainChildLast = lettersOnly(r.last) || r.last.contains(QLatin1Char('\''));
    r.momLast = needs.momMarried || (plainChildLast && m_rng.chance(0.65)) ? r.last : r.momMaiden;
    QList<QString> mothers, anyMothers;
    for (const Name& n : m_data.mothers) {
        if (needs.momNickname && !m_data.nicknames.contains(n.name))
            continue;
        anyMothers << n.name;
        if (n.origin == origin)
            mothers << n.name;
    }
    r.momFirst = m_rng.pick(mothers.isEmpty() ? anyMothers : mothers);
    if (m_rng.chance(0.4))
        r.momMiddle = m_rng.pick(m_data.mothers).name;
    return r;
}

QString DeckGenerator::typo(const QString& word)
{
    for (int attempt = 0; attempt < 50; ++attempt) {
        QString result = word;
        const int p = 1 + m_rng.below(int(word.size()) - 1);
        switch (m_rng.below(3)) {
        case 0: result[p] = keyboardNeighbour(word[p], m_rng); break; // struck the key beside
        case 1: result.remove(p, 1); break;                               // a letter left out
        default: result.insert(p, word[p]); break;                        // a letter doubled
        }
        if (result != word && result.size() >= 2 && !m_data.nicknames.contains(result))
            return result;
    }
    return word;
}

QString DeckGenerator::swapAdjacent(const QString& word)
{
    QList<int> places;
    for (int p = 1; p + 1 < word.size(); ++p)
        if (word[p] != word[p + 1])
            places << p;
    if (places.isEmpty())
        return word;
    const int p = m_rng.pick(places);
    QString result = word;
    std::swap(result[p], result[p + 1]);
    return result;
}

std::optional<QDate> DeckGenerator::oneDigitOff(const QDate& date)
{
    const QString text = date.toString(QStringLiteral("yyyyMMdd"));
    for (int attempt = 0; attempt < 100; ++attempt) {
        QString changed = text;
        const int p = QList<int>{3, 5, 6, 7}[m_rng.below(4)];
        changed[p] = QChar(u'0' + m_rng.below(10));
        const QDate result = QDate::fromString(changed, QStringLiteral("yyyyMMdd"));
        if (changed != text && result.isValid() && result >= kFirstBirthDay && result <= kLastBirthDay)
            return result;
    }
    return std::nullopt;
}

bool DeckGenerator::applyProblem(Record& d, const Record& b, const QString& code)
{
    auto note = [&](const QString& text) { d.note = d.note.isEmpty() ? text : d.note + QStringLiteral("; ") + text; };
    if (code == QLatin1String("NICKNAME")) {
        const QList<QString> nicks = m_data.nicknames.values(d.first);
        if (nicks.isEmpty())
            return false;
        const QString nick = m_rng.pick(nicks);
        note(QStringLiteral("Nickname %1 for %2").arg(nick, d.first));
        d.first = nick;
    } else if (code == QLatin1String("FN_TYPO")) {
        if (!lettersOnly(d.first) || d.first.size() < 3)
            return false;
        const QString t = typo(d.first);
        note(QStringLiteral("First name typo %1 for %2").arg(t, d.first));
        d.first = t;
    } else if (code == QLatin1String("FN_TRANSPOSE")) {
        const QString t = swapAdjacent(d.first);
        if (t == d.first || !lettersOnly(d.first))
            return false;
        note(QStringLiteral("Letters swapped in first name: %1 for %2").arg(t, d.first));
        d.first = t;
    } else if (code == QLatin1String("FN_SOUNDALIKE")) {
        if (!m_data.soundalikes.contains(d.first))
            return false;
        const QString s = m_data.soundalikes.value(d.first);
        note(QStringLiteral("First name spelled %1 for %2").arg(s, d.first));
        d.first = s;
    } else if (code == QLatin1String("MIDDLE_MISSING")) {
        if (d.middle.size() < 2)
            return false;
        if (m_rng.chance(0.5)) {
            note(QStringLiteral("Middle name %1 missing").arg(d.middle));
            d.middle.clear();
        } else {
            note(QStringLiteral("Middle name %1 given as the initial %2").arg(d.middle, d.middle.left(1)));
            d.middle = d.middle.left(1);
        }
    } else if (code == QLatin1String("MIDDLE_AS_FIRST")) {
        if (d.middle.size() < 2)
            return false;
        note(QStringLiteral("Goes by the middle name %1 instead of %2").arg(d.middle, d.first));
        d.first = d.middle;
        d.middle.clear();
    } else if (code == QLatin1String("NAME_TRANSPOSED")) {
        note(QStringLiteral("First and last name transposed (%1 %2)").arg(d.last, d.first));
        std::swap(d.first, d.last);
    } else if (code == QLatin1String("NEWBORN_NAME")) {
        const QString placeholder = d.sex == QLatin1String("M") ? QStringLiteral("BABY BOY") : QStringLiteral("BABY GIRL");
        note(QStringLiteral("Newborn record %1 before the name %2 was given").arg(placeholder, d.first));
        d.first = placeholder;
        d.middle.clear();
        d.cvx = QStringLiteral("08");
        d.mvx = m_rng.chance(0.5) ? QStringLiteral("MSD") : QStringLiteral("SKB");
        d.vacDate = b.dob;
    } else if (code == QLatin1String("COMPOUND_FIRST")) {
        if (!d.first.contains(QLatin1Char(' ')))
            return false;
        const QString joined = QString(d.first).replace(QLatin1Char(' '), m_rng.chance(0.7) ? QString() : QStringLiteral("-"));
        note(QStringLiteral("Compound first name %1 written %2").arg(d.first, joined));
        d.first = joined;
    } else if (code == QLatin1String("APOSTROPHE")) {
        if (!d.last.contains(QLatin1Char('\'')))
            return false;
        const QString plain = QString(d.last).remove(QLatin1Char('\''));
        note(QStringLiteral("Apostrophe dropped: %1 for %2").arg(plain, d.last));
        d.last = plain;
    } else if (code == QLatin1String("HYPHEN_DROPPED")) {
        if (!d.last.contains(QLatin1Char('-')))
            return false;
        const QString part = d.last.section(QLatin1Char('-'), m_rng.chance(0.5) ? 0 : 1, m_rng.chance(0.5) ? 0 : 1);
        const QString kept = part.contains(QLatin1Char('-')) ? d.last.section(QLatin1Char('-'), 0, 0) : part;
        note(QStringLiteral("Hyphenated last name %1 given as %2").arg(d.last, kept));
        d.last = kept;
    } else if (code == QLatin1String("HISPANIC_SURNAMES")) {
        if (b.origin != QLatin1String("HISPANIC_DOUBLE"))
            return false;
        const QString a = d.last.section(QLatin1Char(' '), 0, 0);
        const QString c = d.last.section(QLatin1Char(' '), 1, 1);
        const QString variant = m_rng.pick(QList<QString>{a, a + QLatin1Char('-') + c, a + c});
        note(QStringLiteral("Surnames %1 given as %2").arg(d.last, variant));
        d.last = variant;
    } else if (code == QLatin1String("SURNAME_PARTICLE")) {
        if (b.origin != QLatin1String("PARTICLE"))
            return false;
        const QString joined = QString(d.last).remove(QLatin1Char(' '));
        note(QStringLiteral("Last name %1 written %2").arg(d.last, joined));
        d.last = joined;
    } else if (code == QLatin1String("SURNAME_CHANGED")) {
        const QString other = surnameFor(b.origin, {d.last, d.momMaiden});
        note(QStringLiteral("Last name changed from %1 to %2 after %3").arg(d.last, other,
                                                                             m_rng.chance(0.6) ? QStringLiteral("paternity was established")
                                                                                               : QStringLiteral("adoption")));
        d.last = other;
    } else if (code == QLatin1String("SUFFIX")) {
        if (d.suffix.isEmpty())
            return false;
        if (m_rng.chance(0.5)) {
            note(QStringLiteral("Suffix %1 missing").arg(d.suffix));
        } else {
            note(QStringLiteral("Suffix %1 moved into the last name").arg(d.suffix));
            d.last += QLatin1Char(' ') + d.suffix;
        }
        d.suffix.clear();
    } else if (code == QLatin1String("LN_TYPO")) {
        if (!lettersOnly(d.last) || d.last.size() < 4)
            return false;
        const QString t = typo(d.last);
        note(QStringLiteral("Last name typo %1 for %2").arg(t, d.last));
        d.last = t;
    } else if (code == QLatin1String("DOB_DAY_MONTH")) {
        if (d.dob.day() > 12 || d.dob.day() == d.dob.month())
            return false;
        const QDate swapped(d.dob.year(), d.dob.day(), d.dob.month());
        note(QStringLiteral("Day and month of birth swapped: %1 for %2").arg(swapped.toString(QStringLiteral("yyyyMMdd")), d.dobText()));
        d.dob = swapped;
    } else if (code == QLatin1String("DOB_DIGIT")) {
        const auto off = oneDigitOff(d.dob);
        if (!off)
            return false;
        note(QStringLiteral("Birth date %1 for %2").arg(off->toString(QStringLiteral("yyyyMMdd")), d.dobText()));
        d.dob = *off;
    } else if (code == QLatin1String("DOB_YEAR")) {
        int year = d.dob.year() + (m_rng.chance(0.5) ? 1 : -1);
        if (year < kFirstBirthDay.year() || year > kLastBirthDay.year())
            year = d.dob.year() * 2 - year;
        QDate moved(year, d.dob.month(), std::min(d.dob.day(), QDate(year, d.dob.month(), 1).daysInMonth()));
        note(QStringLiteral("Birth year %1 for %2").arg(year).arg(d.dob.year()));
        d.dob = moved;
    } else if (code == QLatin1String("SEX_WRONG")) {
        const QString sex = m_rng.chance(0.5) ? QStringLiteral("U") : otherSex(d.sex);
        note(QStringLiteral("Sex %1 for %2").arg(sex, d.sex));
        d.sex = sex;
    } else if (code == QLatin1String("MOM_MARRIED_AS_MAIDEN")) {
        if (d.momLast.isEmpty() || d.momLast == d.momMaiden)
            return false;
        note(QStringLiteral("Mother's maiden name given as her married name %1 (maiden %2)").arg(d.momLast, d.momMaiden));
        d.momMaiden = d.momLast;
    } else if (code == QLatin1String("MOM_NICKNAME")) {
        const QList<QString> nicks = m_data.nicknames.values(d.momFirst);
        if (nicks.isEmpty())
            return false;
        const QString nick = m_rng.pick(nicks);
        note(QStringLiteral("Mother's first name %1 for %2").arg(nick, d.momFirst));
        d.momFirst = nick;
    } else if (code == QLatin1String("MOM_MISSING")) {
        note(QStringLiteral("Mother's name missing"));
        d.momMaiden.clear();
        d.momLast.clear();
        d.momFirst.clear();
        d.momMiddle.clear();
    } else if (code == QLatin1String("EXACT")) {
        note(QStringLiteral("Exact duplicate"));
    } else if (code == QLatin1String("TWO_PROBLEMS")) {
        QList<QString> simple{QStringLiteral("NICKNAME"), QStringLiteral("FN_TYPO"), QStringLiteral("DOB_DIGIT"),
                              QStringLiteral("MOM_MARRIED_AS_MAIDEN"), QStringLiteral("SEX_WRONG"), QStringLiteral("LN_TYPO"),
                              QStringLiteral("MIDDLE_MISSING"), QStringLiteral("MOM_NICKNAME"), QStringLiteral("DOB_DAY_MONTH")};
        int applied = 0;
        while (applied < 2 && !simple.isEmpty()) {
            const QString one = simple.takeAt(m_rng.below(int(simple.size())));
            Record trial = d;
            if (applyProblem(trial, b, one)) {
                d = trial;
                ++applied;
            }
        }
        return applied == 2;
    } else {
        throw std::runtime_error(("unknown problem type " + code).toStdString());
    }
    return true;
}

std::optional<Record> DeckGenerator::duplicate(const Record& base, const QString& code)
{
    for (int attempt = 0; attempt < 20; ++attempt) {
        Record d = base;
        d.note.clear();
        d.related.clear();
        d.dupCount = 0;
        d.problemCode = code;
        d.secondProblem.clear();
        d.combo = 0;
        vaccinate(d, &base);
        if (!applyProblem(d, base, code))
            return std::nullopt;
        if (!keyTaken(d, base.group))
            return d;
    }
    return std::nullopt;
}

bool DeckGenerator::keyTaken(const Record& r, int group) const
{
    const auto it = m_keys.constFind(r.key());
    return it != m_keys.constEnd() && it.value() != group;
}

int DeckGenerator::addRecord(Deck& deck, Record record)
{
    const int index = int(deck.records.size());
    if (record.group < 0) {
        record.group = index;
        deck.groups.push_back({index});
        m_groupOf.insert(index, int(deck.groups.size()) - 1);
    } else {
        deck.groups[size_t(m_groupOf.value(record.group))].push_back(index);
        deck.records[size_t(record.group)].dupCount++;
    }
    m_keys.insert(record.key(), record.group);
    deck.records.push_back(std::move(record));
    return index;
}

void DeckGenerator::addLookAlikes(Deck& deck)
{
    static const QStringList commonBoys{QStringLiteral("JOSE"), QStringLiteral("MICHAEL"), QStringLiteral("WILLIAM"),
                                        QStringLiteral("MINH"), QStringLiteral("MATEO")};
    static const QStringList commonGirls{QStringLiteral("MARIA"), QStringLiteral("SOFIA"), QStringLiteral("EMILY"),
                                         QStringLiteral("LINH"), QStringLiteral("FATIMA")};
    static const QStringList commonLast{QStringLiteral("GARCIA"), QStringLiteral("SMITH"), QStringLiteral("NGUYEN"),
                                        QStringLiteral("HERNANDEZ"), QStringLiteral("JOHNSON"), QStringLiteral("MARTINEZ")};

    auto newMother = [&](Record& r) {
        const Record other = makePerson({});
        r.momMaiden = other.momMaiden == r.momMaiden ? other.momMaiden + QStringLiteral("S") : other.momMaiden;
        r.momFirst = other.momFirst;
        r.momMiddle = other.momMiddle;
        r.momLast = m_rng.chance(0.6) ? r.last : r.momMaiden;
    };
    auto freshFirst = [&](Record& r, const QStringList& taken) {
        r.first = firstNameFor(r.sex, r.origin, false, false, taken);
        r.middle = m_rng.chance(0.6) ? firstNameFor(r.sex, r.origin, false, false, {r.first}) : QString();
    };

    for (const DeckData::LookAlikeKind& kind : m_data.lookAlikeKinds) {
        for (int set = 0; set < kind.sets; ++set) {
            for (int attempt = 0;; ++attempt) {
                if (attempt > 200)
                    throw std::runtime_error("cannot place look-alikes of " + kind.code.toStdString());
                Record a = makePerson({});
                a.suffix.clear();
                if (a.origin == QLatin1String("HISPANIC_DOUBLE") || a.origin == QLatin1String("PARTICLE"))
                    a.origin = QStringLiteral("HISPANIC");
                std::vector<Record> members{a};
                const QString& code = kind.code;
                if (code == QLatin1String("TWIN_SAME_SEX") || code == QLatin1String("TWIN_OPP_SEX")
                    || code == QLatin1String("TRIPLETS")) {
                    for (int m = 1; m < kind.members; ++m) {
                        Record b = a;
                        if (code == QLatin1String("TWIN_OPP_SEX"))
                            b.sex = otherSex(a.sex);
                        else if (code == QLatin1String("TRIPLETS"))
                            b.sex = m_rng.chance(0.5) ? QStringLiteral("M") : QStringLiteral("F");
                        QStringList taken;
                        for (const Record& r : members)
                            taken << r.first;
                        freshFirst(b, taken);
                        members.push_back(b);
                    }
                } else if (code == QLatin1String("TWIN_PLACEHOLDER")) {
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
                } else if (code == QLatin1String("SIBLINGS")) {
                    Record b = a;
                    b.sex = m_rng.chance(0.5) ? QStringLiteral("M") : QStringLiteral("F");
                    freshFirst(b, {a.first});
                    const int months = 10 + m_rng.below(6);
                    b.dob = a.dob.addMonths(a.dob.year() >= 2024 ? -months : months).addDays(m_rng.below(20));
                    if (b.dob > kLastBirthDay || b.dob < kFirstBirthDay)
                        continue;
                    members.push_back(b);
                } else if (code == QLatin1String("COMMON_NAME_DOB") || code == QLatin1String("COUSINS")
                           || code == QLatin1String("DOB_ONE_OFF")) {
                    if (code == QLatin1String("COMMON_NAME_DOB")) {
                        members[0].first = m_rng.pick(members[0].sex == QLatin1String("M") ? commonBoys : commonGirls);
                        members[0].last = m_rng.pick(commonLast);
                        members[0].momLast = m_rng.chance(0.6) ? members[0].last : members[0].momMaiden;
                    }
                    Record b = members[0];
                    newMother(b);
                    if (code == QLatin1String("COUSINS"))
                        b.dob = a.dob.addDays((m_rng.chance(0.5) ? 1 : -1) * (30 + m_rng.below(200)));
                    if (code == QLatin1String("DOB_ONE_OFF")) {
                        const auto off = oneDigitOff(a.dob);
                        if (!off)
                            continue;
                        b.dob = *off;
                    }
                    if (b.dob > kLastBirthDay || b.dob < kFirstBirthDay || b.momMaiden == members[0].momMaiden)
                        continue;
                    b.middle = m_rng.chance(0.5) ? QString() : firstNameFor(b.sex, b.origin, false, false, {b.first});
                    members.push_back(b);
                }
                QSet<QString> keys;
                bool clash = false;
                for (const Record& r : members)
                    clash = clash || keys.contains(r.key()) || m_keys.contains(r.key());
                for (const Record& r : members)
                    keys.insert(r.key());
                if (clash || int(keys.size()) != kind.members)
                    continue;

                QList<int> indexes;
                for (Record& r : members) {
                    r.problemCode = QStringLiteral("DL_BASE_RECORD");
                    r.secondProblem = kind.code;
                    r.combo = kind.combo;
                    vaccinate(r);
                    if (r.first.startsWith(QLatin1String("BABY"))) {
                        r.cvx = QStringLiteral("08");
                        r.mvx = QStringLiteral("MSD");
                        r.vacDate = r.dob;
                    }
                    indexes << addRecord(deck, r);
                }
                for (int i : indexes)
                    for (int j : indexes)
                        if (i != j)
                            deck.records[size_t(i)].related << j;
                break;
            }
        }
    }
}

Deck DeckGenerator::generate()
{
    Deck deck;
    addLookAlikes(deck);

    for (const DeckData::ProblemType& type : m_data.problemTypes) {
        const Needs needs = needsOf(type.code);
        for (int made = 0; made < type.records;) {
            // About half the duplicates join a person who has some already, so
            // that groups of every size from one to five occur.
            std::optional<int> baseIndex;
            if (m_rng.chance(0.45)) {
                QList<int> candidates;
                for (const auto& group : deck.groups) {
                    const Record& r = deck.records[size_t(group.front())];
                    if (r.dupCount < kMaxDuplicatesPerGroup && satisfies(r, needs))
                        candidates << group.front();
                }
                if (!candidates.isEmpty())
                    baseIndex = m_rng.pick(candidates);
            }
            if (!baseIndex) {
                Record person = makePerson(needs);
                if (m_keys.contains(person.key()))
                    continue;
                person.problemCode = QStringLiteral("BASE_RECORD");
                vaccinate(person);
                baseIndex = addRecord(deck, person);
            }
            const Record base = deck.records[size_t(*baseIndex)];
            std::optional<Record> dup = duplicate(base, type.code);
            if (!dup)
                continue;
            addRecord(deck, *dup);
            ++made;
        }
    }

    // People without duplicates fill the deck.
    while (int(deck.records.size()) < kRecords) {
        Record person = makePerson({});
        if (m_keys.contains(person.key()))
            continue;
        person.problemCode = QStringLiteral("BASE_RECORD");
        vaccinate(person);
        addRecord(deck, person);
    }
    if (int(deck.records.size()) != kRecords)
        throw std::runtime_error("the deck does not hold 550 records");

    // A few groups leave an empty slot between their members.
    int gaps = 0;
    for (auto& group : deck.groups) {
        if (gaps < 5 && group.size() >= 2 && group.size() <= 4 && m_rng.chance(0.15)) {
            group.insert(group.begin() + 1 + m_rng.below(int(group.size()) - 1), -1);
            ++gaps;
        }
    }

    // IDs in shuffled order, no duplicate next to its base record.
    std::vector<int> order(kRecords);
    for (int i = 0; i < kRecords; ++i)
        order[size_t(i)] = i;
    for (int i = kRecords - 1; i > 0; --i)
        std::swap(order[size_t(i)], order[size_t(m_rng.below(i + 1))]);
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

    // Notes name other records by their IDs.
    auto id = [&](int index) { return QString::number(deck.idOf[size_t(index)]); };
    for (int i = 0; i < kRecords; ++i) {
        Record& r = deck.records[size_t(i)];
        const QString& kind = r.secondProblem;
        if (r.problemCode == QLatin1String("DL_BASE_RECORD")) {
            const QString other = id(r.related.value(0));
            if (kind == QLatin1String("TWIN_SAME_SEX") || kind == QLatin1String("TWIN_OPP_SEX"))
                r.note = QStringLiteral("Twin of record %1").arg(other);
            else if (kind == QLatin1String("TWIN_PLACEHOLDER"))
                r.note = QStringLiteral("Twin of record %1, both still on newborn names").arg(other);
            else if (kind == QLatin1String("TRIPLETS"))
                r.note = QStringLiteral("Triplet of records %1 and %2").arg(other, id(r.related.value(1)));
            else if (kind == QLatin1String("SIBLINGS"))
                r.note = QStringLiteral("Sibling of record %1, same mother, born %2 days apart")
                             .arg(other)
                             .arg(std::abs(r.dob.daysTo(deck.records[size_t(r.related.value(0))].dob)));
            else if (kind == QLatin1String("COMMON_NAME_DOB"))
                r.note = QStringLiteral("Same name and birth date as record %1; a different child of another mother").arg(other);
            else if (kind == QLatin1String("COUSINS"))
                r.note = QStringLiteral("Cousin of record %1 with the same name").arg(other);
            else
                r.note = QStringLiteral("Birth date one digit off from record %1 of the same name; a different child").arg(other);
        } else if (r.problemCode == QLatin1String("BASE_RECORD")) {
            r.note = QStringLiteral("Base record");
        } else {
            r.note += QStringLiteral(" (duplicate of record %1)").arg(id(r.group));
        }
        if (r.problemCode != QLatin1String("BASE_RECORD") && r.problemCode != QLatin1String("DL_BASE_RECORD"))
            continue;
        if (r.dupCount > 0) {
            QStringList dups;
            for (const auto& group : deck.groups)
                if (group.front() == i)
                    for (size_t k = 1; k < group.size(); ++k)
                        if (group[k] >= 0)
                            dups << id(group[k]);
            r.note += QStringLiteral("; duplicated by record%1 %2").arg(dups.size() > 1 ? QStringLiteral("s") : QString(),
                                                                       dups.join(QStringLiteral(", ")));
        }
    }
    return deck;
}

namespace {

// Each test record's own vaccination, by ID, as DupTestData.txt carries it; the
// analysis prefers the registry row that holds this vaccination.
QByteArray vaccinationTable(const Deck& deck)
{
    std::vector<const Record*> byId(deck.records.size());
    for (size_t i = 0; i < deck.records.size(); ++i)
        byId[size_t(deck.idOf[i] - 1)] = &deck.records[i];
    QString csv = QStringLiteral("ID,VacCode,VacDate,VacMfr\n");
    for (size_t id = 1; id <= byId.size(); ++id) {
        const Record& r = *byId[id - 1];
        csv += QStringLiteral("%1,%2,%3,%4\n")
                   .arg(QString::number(id), csvValue(r.cvx), r.vacDate.toString(QStringLiteral("yyyyMMdd")), csvValue(r.mvx));
    }
    return csv.toUtf8();
}

} // namespace

QMap<QString, QByteArray> DeckGenerator::render(const Deck& deck, const DeckData& data)
{
    QMap<QString, QByteArray> files;
    std::vector<int> byId(deck.records.size());
    for (size_t i = 0; i < deck.records.size(); ++i)
        byId[size_t(deck.idOf[i] - 1)] = int(i);

    QString test = QStringLiteral("ID,LastName,FirstName,MiddleName,Suffix,DOB,Sex,MomMaiden,MomLast,MomFirst,MomMiddle,notes,ProblemCode,SecondProblem,ComboCode\n");
    QString txt;
    for (size_t id = 1; id <= byId.size(); ++id) {
        const Record& r = deck.records[size_t(byId[id - 1])];
        const QStringList values{QString::number(id), r.last, r.first, r.middle, r.suffix, r.dobText(), r.sex,
                                 r.momMaiden, r.momLast, r.momFirst, r.momMiddle, r.note, r.problemCode,
                                 r.secondProblem, r.combo ? QString::number(r.combo) : QString()};
        QStringList cells;
        for (const QString& v : values)
            cells << csvValue(v);
        test += cells.join(QLatin1Char(',')) + QLatin1Char('\n');
        const QStringList fields{r.last, r.first, r.middle, r.suffix, r.dobText(), r.sex, r.momMaiden, r.momLast,
                                 r.momFirst, r.momMiddle, r.cvx, r.vacDate.toString(QStringLiteral("yyyyMMdd")), r.mvx};
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
        problems += QStringLiteral("%1,%2,%3\n").arg(type.code, csvValue(type.description)).arg(type.order);
    files.insert(QStringLiteral("tblProbDescMap.csv"), problems.toUtf8());

    QString kinds = QStringLiteral("ProbCode,ProbDesc,ProbOrder\n");
    QString combos = QStringLiteral("ProbCode,ComboCode\n");
    for (const auto& kind : data.lookAlikeKinds) {
        kinds += QStringLiteral("%1,%2,%3\n").arg(kind.code, csvValue(kind.description)).arg(kind.order);
        for (const QString& code : kind.imitates)
            combos += QStringLiteral("%1,%2\n").arg(code).arg(kind.combo);
    }
    files.insert(QStringLiteral("tblSecondProbDescMap.csv"), kinds.toUtf8());
    files.insert(QStringLiteral("tblComboMap.csv"), combos.toUtf8());
    return files;
}

} // namespace marrowick::deck
