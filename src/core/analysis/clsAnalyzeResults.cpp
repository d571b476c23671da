#include "clsAnalyzeResults.h"

#include "LoadedRows.h"
#include "MatchAttempts.h"
#include "Outcome.h"
#include "ProblemCode.h"
#include "database/Db.h"
#include "database/NativeStatement.h"
#include "platform/Platform.h"

#include <QHash>
#include <QSet>
#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <optional>
#include <tuple>

namespace marrowick {

namespace {

// Answer_Sheet in rec_1 order: rowid (0), rec_1 .. rec_5 (1 to 5), their
// _loaded (6 to 10) and _IIS_ID (11 to 15) columns, and total_loaded (16).
const char* const kSheetInOrder =
    "Select rowid, rec_1, rec_2, rec_3, rec_4, rec_5, rec_1_loaded, rec_2_loaded, rec_3_loaded, rec_4_loaded, "
    "rec_5_loaded, rec_1_IIS_ID, rec_2_IIS_ID, rec_3_IIS_ID, rec_4_IIS_ID, rec_5_IIS_ID, total_loaded "
    "from Answer_Sheet order by rec_1";

// One Answer_Sheet row as the scoring reads it.
struct SheetRow {
    qint64 rowid = 0;
    std::array<qint64, 5> rec{};
    std::array<bool, 5> loaded{};
    std::array<qint32, 5> iisId{};
    qint16 totalLoaded = 0;
};

SheetRow sheetRow(const NativeStatement& sheet)
{
    SheetRow row;
    row.rowid = sheet.integer(0);
    for (int n = 0; n < 5; ++n) {
        row.rec[n] = sheet.integer(1 + n);
        row.loaded[n] = sheet.integer(6 + n) != 0;
        row.iisId[n] = static_cast<qint32>(sheet.integer(11 + n));
    }
    row.totalLoaded = checked16(sheet.integer(16));
    return row;
}

// The findings of a sheet row in the write-back's order: rec_1_loaded ..
// rec_5_loaded, rec_1_IIS_ID .. rec_5_IIS_ID, total_loaded. A stored value
// that is not an integer is nullopt, so that it is written over.
using Findings = std::array<std::optional<qint64>, 11>;

Findings storedFindings(const NativeStatement& sheet)
{
    Findings findings;
    for (int i = 0; i < 11; ++i)
        if (sheet.isInteger(6 + i)) findings[i] = sheet.integer(6 + i);
    return findings;
}

Findings findingsOf(const clsAnalyzeResults::AnswerGroup& group)
{
    Findings findings;
    int i = 0;
    for (const bool loaded : group.rec_loaded) findings[i++] = int(loaded);
    for (const qint32 id : group.rec_IIS_ID) findings[i++] = id;
    findings[i] = group.total_loaded;
    return findings;
}

// A sheet row as the write-back leaves it, for the scoring.
SheetRow sheetRowOf(qint64 rowid, const clsAnalyzeResults::AnswerGroup& group)
{
    SheetRow row;
    row.rowid = rowid;
    for (int n = 0; n < 5; ++n) {
        row.rec[n] = group.rec[n];
        row.loaded[n] = group.rec_loaded[n];
        row.iisId[n] = group.rec_IIS_ID[n];
    }
    row.totalLoaded = group.total_loaded;
    return row;
}

struct ScoringInput;
void scoreRows(const std::vector<SheetRow>& rows, const QHash<qint64, int>& attempts, const ScoringInput& input);

// The IDs of the look-alike test records.
QSet<qint64> lookAlikeIds()
{
    QSet<qint64> ids;
    const QByteArray sql = (QStringLiteral("SELECT ID FROM DupTestData WHERE ") + problem::isLookAlike()).toUtf8();
    for (NativeStatement q(sql.constData()); q.step();) ids.insert(q.integer(0));
    return ids;
}

QString column(const char* stem, int position, const char* suffix = "")
{
    return QStringLiteral("%1%2%3").arg(QLatin1String(stem)).arg(position).arg(QLatin1String(suffix));
}

// A vaccine code as a number, so that "3" and "03" agree; nullopt when it is none.
std::optional<int> vaccineNumber(const QString& code)
{
    bool ok = false;
    const int number = code.trimmed().toInt(&ok);
    return ok ? std::optional<int>(number) : std::nullopt;
}

// The same of a code as the database holds it. Nearly every code is a few
// plain digits, which read as a number exactly as the text does.
std::optional<int> vaccineNumber(QByteArrayView code)
{
    if (const std::optional<qint32> digits = plainDigits(code)) return *digits;
    return vaccineNumber(QString::fromUtf8(code));
}

// A client ID as the database holds it, read as ClientNumber reads its text.
qint32 clientNumber(QByteArrayView clientId)
{
    if (const std::optional<qint32> digits = plainDigits(clientId)) return *digits;
    return clsAnalyzeResults::ClientNumber(QString::fromUtf8(clientId));
}

// What the scoring takes from the matching's reading of the tables, or reads itself.
struct ScoringInput {
    QSet<qint64> lookAlikes;             // test records' IDs
    QHash<qint32, LoadedClient> clients; // the loaded rows' clients
};

// Text read from the database for the length of the matching. Each plain
// ASCII value is widened once into a shared buffer and handed out as a
// QString over it, so that thousands of short names cost no allocation each;
// the strings must not outlive the arena.
class TextArena {
public:
    // Null for SQL's Null, as NativeStatement::string gives it.
    QString operator()(const NativeStatement& row, int column)
    {
        // No text is SQL's Null.
        const QByteArrayView utf8 = row.text(column);
        if (utf8.isNull()) return QString();
        const qsizetype n = utf8.size();
        if (n == 0 || !isAscii(utf8)) return QString::fromUtf8(utf8);
        if (m_blocks.empty() || m_used + n > m_capacity) {
            m_capacity = std::max<qsizetype>(kBlock, n);
            m_blocks.push_back(std::make_unique_for_overwrite<char16_t[]>(size_t(m_capacity)));
            m_used = 0;
        }
        char16_t* const out = m_blocks.back().get() + m_used;
        for (qsizetype i = 0; i < n; ++i) out[i] = char16_t(uchar(utf8[i]));
        m_used += n;
        return QString::fromRawData(reinterpret_cast<const QChar*>(out), n);
    }

private:
    static bool isAscii(QByteArrayView bytes)
    {
        return std::all_of(bytes.begin(), bytes.end(), [](char c) { return uchar(c) < 0x80; });
    }
    static constexpr qsizetype kBlock = 16384;
    std::vector<std::unique_ptr<char16_t[]>> m_blocks;
    qsizetype m_used = 0;
    qsizetype m_capacity = 0;
};

struct TestRecord {
    qint64 id = 0;
    MatchValues values;
    QString sex;
    bool nullName = false; // FirstName, LastName or Sex is Null
    std::optional<int> vacCode;
    QByteArray vacDate; // as the loaded rows hold dates
};

// Every test record with its own vaccination, in ID order, read once: the
// matching looks each member up, and the other member of its group, many
// times over.
std::vector<TestRecord> readTestRecords(TextArena& text, QSet<qint64>& lookAlikes)
{
    std::vector<TestRecord> records;
    const QByteArray sql = (QStringLiteral("Select d.ID, d.FirstName, d.LastName, d.Sex, d.DOB, d.MomMaiden, "
                                           "d.MomFirst, v.VacCode, v.VacDate, ")
                            + problem::isLookAlike(QStringLiteral("d.ProblemCode"))
                            + QStringLiteral(" from DupTestData d LEFT JOIN DupTestVaccination v ON v.ID = d.ID"))
                               .toUtf8();
    NativeStatement query(sql.constData());
    while (query.step()) {
        records.push_back(TestRecord{query.integer(0),
                                     {text(query, 1), text(query, 2), text(query, 5), text(query, 6), text(query, 4)},
                                     text(query, 3),
                                     query.isNull(1) || query.isNull(2) || query.isNull(3),
                                     vaccineNumber(query.text(7)),
                                     query.text(8).toByteArray()});
        if (query.integer(9) != 0) lookAlikes.insert(records.back().id);
    }
    // The table's order is the IDs' own, each once, unless the table was made
    // by hand without its key: then the last row of an ID is its record.
    auto notAfter = [](const TestRecord& a, const TestRecord& b) { return a.id >= b.id; };
    if (std::adjacent_find(records.begin(), records.end(), notAfter) != records.end()) {
        std::stable_sort(records.begin(), records.end(),
                         [](const TestRecord& a, const TestRecord& b) { return a.id < b.id; });
        std::vector<TestRecord> last;
        for (size_t i = 0; i < records.size(); ++i)
            if (i + 1 == records.size() || records[i + 1].id != records[i].id) last.push_back(std::move(records[i]));
        records = std::move(last);
    }
    return records;
}

} // namespace

struct clsAnalyzeResults::Matching {
    // The loaded rows are read after the test records, unless the loader gave them.
    explicit Matching(std::optional<LoadedRows> given) : loaded(given ? std::move(*given) : LoadedRows::read()) {}

    TextArena text; // before the records that point into it
    QSet<qint64> lookAlikes;
    std::vector<TestRecord> testRecords = readTestRecords(text, lookAlikes);
    LoadedRows loaded;

    const TestRecord& testRecord(qint16 id) const
    {
        const auto it = std::lower_bound(testRecords.begin(), testRecords.end(), id,
                                         [](const TestRecord& r, qint64 key) { return r.id < key; });
        if (it == testRecords.end() || it->id != id)
            throw DbError(
                DbError::NoCurrentRecord,
                QStringLiteral("No current record: test record %1 of Answer_Sheet is not in DupTestData").arg(id));
        if (it->nullName)
            throw DbError(DbError::InvalidUseOfNull,
                          QStringLiteral("Invalid use of Null: the name or sex of test record %1").arg(id));
        return *it;
    }
};

QString clsAnalyzeResults::NoQuote(QString strName)
{
    strName.remove(u'\'');
    return strName;
}

QString clsAnalyzeResults::FirstPart(const QString& strWord)
{
    // The last character is never examined, so a blank only at the end is not seen.
    const qsizetype n = strWord.size();
    for (qsizetype p = 0; p + 1 < n; ++p)
        if (strWord[p] == u' ') return strWord.left(p);
    return strWord;
}

void clsAnalyzeResults::BubSort(QList<qint32>& a, int maxnum)
{
    const qint16 n = checked16(maxnum);
    for (int pass = 0; pass < n; ++pass) {
        for (int j = 0; j + 1 < n; ++j) {
            if (a[j] > a[j + 1]) {
                const qint32 temp = a[j];
                a[j] = a[j + 1];
                a[j + 1] = temp;
            }
        }
    }
}

qint16 clsAnalyzeResults::FindNonZeroUniques(qint32 num1, qint32 num2, qint32 num3, qint32 num4, qint32 num5)
{
    QList<qint32> values{num1, num2, num3, num4, num5};
    BubSort(values, 5);
    // Zero is the empty slot, wherever negative numbers sort it.
    qint16 count = 0;
    for (int q = 0; q < 5; ++q)
        if (values[q] != 0 && (q == 0 || values[q] != values[q - 1])) ++count;
    return count;
}

qint32 clsAnalyzeResults::ClientNumber(const QString& clientId)
{
    // Nearly every ID is a few plain digits, which read as a number exactly as
    // below, far quicker than the general conversion.
    if (!clientId.isEmpty() && clientId.size() <= 9) {
        qint32 digits = 0;
        for (const QChar c : clientId) {
            if (c < u'0' || c > u'9') {
                digits = -1;
                break;
            }
            digits = digits * 10 + (c.unicode() - u'0');
        }
        if (digits >= 0) return digits;
    }
    bool ok = false;
    const double value = clientId.toDouble(&ok);
    // The whole part, rounded down, as the loader checked it: a value it let
    // through always fits.
    const double whole = ok ? std::floor(value) : 0;
    if (!ok || !std::isfinite(value) || whole < std::numeric_limits<qint32>::min()
        || whole > std::numeric_limits<qint32>::max())
        throw DbError(DbError::Overflow,
                      QStringLiteral("Overflow: client ID '%1' is not a 32-bit whole number").arg(clientId));
    return static_cast<qint32>(whole);
}

void clsAnalyzeResults::ClearAnswerSheet()
{
    for (AnswerGroup& group : AnswerGroups) group = AnswerGroup{};
    QStringList sets;
    for (int n = 1; n <= 5; ++n) sets << column("rec_", n, "_loaded=0") << column("rec_", n, "_IIS_ID=0");
    sets << QStringLiteral("total_loaded=0");
    run(QStringLiteral("UPDATE Answer_Sheet SET ") + sets.join(QStringLiteral(", ")));
}

namespace {
// The bar's share of the matching; the scoring has the rest. The two passes
// take about 0.25 and 0.1 of a unit of work per group.
constexpr double kMatchingShare = 100.0 * 0.25 / 0.35;
} // namespace

void clsAnalyzeResults::Analyze_IIS_LOAD() { analyze(std::nullopt); }

void clsAnalyzeResults::Analyze_IIS_LOAD(LoadedRows rows) { analyze(std::move(rows)); }

void clsAnalyzeResults::analyze(std::optional<LoadedRows> given)
{
    // From the start, not only for the scoring: the matching is most of the work.
    platform().UpdateProgressText(QStringLiteral("Analyzing results ...."));

    // Read pass, with what each row holds now: the write-back rewrites every
    // finding, so the rows need no clearing first, and a row whose findings are
    // already stored is left as it is.
    AnswerGroups.clear();
    std::vector<qint64> sheetRows;
    std::vector<Findings> stored;
    {
        NativeStatement sheet(kSheetInOrder);
        while (sheet.step()) {
            AnswerGroup group;
            for (int n = 0; n < 5; ++n) group.rec[n] = checked16(sheet.integer(1 + n));
            AnswerGroups.push_back(group);
            sheetRows.push_back(sheet.integer(0));
            stored.push_back(storedFindings(sheet));
        }
    }

    // Matching pass.
    m_attempts.clear();
    Matching statements(std::move(given));
    const double step = AnswerGroups.empty() ? 0 : kMatchingShare / double(AnswerGroups.size());
    for (AnswerGroup& group : AnswerGroups) {
        platform().IncrementProgressBar(step);
        for (int j = 0; j < 5; ++j)
            if (group.rec[j] != 0) m_attempts.insert(group.rec[j], matchRecord(statements, group, j));
    }

    // Write-back pass, paired with the read pass by position.
    QStringList sets;
    for (int n = 1; n <= 5; ++n) sets << column("rec_", n, "_loaded=?");
    for (int n = 1; n <= 5; ++n) sets << column("rec_", n, "_IIS_ID=?");
    sets << QStringLiteral("total_loaded=?");
    NativeStatement update((QStringLiteral("UPDATE Answer_Sheet SET ") + sets.join(QStringLiteral(", "))
                            + QStringLiteral(" WHERE rowid=?"))
                               .toUtf8()
                               .constData());
    std::vector<SheetRow> rows;
    rows.reserve(AnswerGroups.size());
    for (size_t i = 0; i < AnswerGroups.size(); ++i) {
        const Findings findings = findingsOf(AnswerGroups[i]);
        rows.push_back(sheetRowOf(sheetRows[i], AnswerGroups[i]));
        if (findings == stored[i]) continue;
        int position = 0;
        for (const std::optional<qint64>& value : findings) update.bindInt(++position, *value);
        update.bindInt(++position, sheetRows[i]);
        update.exec();
    }

    // Scored as written, without reading the sheet back.
    scoreRows(rows, m_attempts, ScoringInput{std::move(statements.lookAlikes), statements.loaded.takeClients()});
}

int clsAnalyzeResults::matchRecord(Matching& st, AnswerGroup& group, int j)
{
    const TestRecord& self = st.testRecord(group.rec[j]);

    auto found = [&](LoadedRows::Third third, const QString& first, const QString& last, const QString& value,
                     const QString& dob) -> bool {
        const std::vector<int>& rows = st.loaded.find(third, first, last, value, dob, self.sex);
        if (rows.empty()) return false;
        // A registry keeps one row per vaccination: prefer the client whose row
        // holds this record's own dose, so that two look-alike clients are told apart.
        int chosen = rows.front();
        if (self.vacCode) {
            for (const int row : rows)
                if (st.loaded.vacDate(row) == self.vacDate && vaccineNumber(st.loaded.vacCode(row)) == self.vacCode) {
                    chosen = row;
                    break;
                }
        }
        const qint32 client = clientNumber(st.loaded.clientId(chosen));
        group.rec_loaded[j] = true;
        group.rec_IIS_ID[j] = client;
        group.total_loaded = checked16(group.total_loaded + 1);
        return true;
    };

    int other = -1;
    for (int k = 0; k < 5 && other < 0; ++k)
        if (group.rec[k] != 0 && k != j) other = k;
    // The other record is read only when an attempt needs it: reading it may fail.
    std::optional<MatchValues> otherValues;
    for (const MatchAttempt& attempt : matchAttempts()) {
        if (attempt.needsOther && other < 0) continue;
        if (attempt.needsOther && !otherValues) otherValues = st.testRecord(group.rec[other]).values;
        const Lookup l = attempt.lookup(self.values, otherValues.value_or(MatchValues{}));
        if (found(l.byMomFirst ? LoadedRows::MomFirst : LoadedRows::MomMaiden, l.first, l.last, l.mother, l.dob))
            return attempt.number;
    }
    group.rec_loaded[j] = false;
    return 0;
}

namespace {

} // namespace

namespace {

// A flag as the tables keep it.
QByteArrayView yesNo(bool flagged) { return flagged ? QByteArrayView("Y") : QByteArrayView("N"); }

// What the scoring saw of one group, for the outcomes.
struct ScoredGroup {
    std::array<qint64, 5> rec{};
    std::array<bool, 5> loaded{};
    std::array<qint32, 5> client{};
    std::array<bool, 5> flagged{};                // the member's client is flagged
    std::array<std::optional<Outcome>, 5> listed; // flagged or missed, for the member IIS_DUPLICATES names
};

// The statements the scoring writes with, prepared once for all groups.
struct ScoreWriters {
    NativeStatement missing{"INSERT INTO IIS_MISSING_RECORDS (ID) VALUES (?)"};
    NativeStatement duplicate{"INSERT INTO IIS_DUPLICATES (ID, QM, OtherQM) VALUES (?, ?, ?)"};
    NativeStatement correct{"UPDATE Answer_Sheet SET total_loaded=? WHERE rowid=?"};
};

// Names every surplus client of a group in IIS_DUPLICATES. The group's own
// client is rec_1's, or else the first found member's; every other client is
// named once, by its member in the highest column. When all clients differ
// these are the found members from the highest column down, rec_1 (or the
// first found) left out.
void listSurplusClients(const SheetRow& row, qint16 totalLoaded, const QHash<qint32, LoadedClient>& clients,
                        bool groupFlagged, ScoredGroup& seen, NativeStatement& duplicate)
{
    const auto& [rec, loaded, iisId] = std::tie(row.rec, row.loaded, row.iisId);
    int own = 0;
    while (own < 4 && (rec[own] == 0 || !loaded[own])) ++own;
    QSet<qint32> named{iisId[own]};
    int written = 0;
    for (int n = 4; n >= 0; --n) {
        if (rec[n] == 0 || !loaded[n] || named.contains(iisId[n]) || written >= totalLoaded - 1) continue;
        named.insert(iisId[n]);
        // A blank flag, or no row under that number, means not flagged.
        const bool qm = clients.value(iisId[n]).firstFlagged;
        duplicate.bindInt(1, rec[n]);
        duplicate.bindUnchanged(2, yesNo(qm));
        if (qm) // Null for a flagged client
            duplicate.bindNull(3);
        else
            duplicate.bindUnchanged(3, yesNo(groupFlagged));
        duplicate.exec();
        seen.listed[n] = qm || groupFlagged ? Outcome::Flagged : Outcome::Missed;
        ++written;
    }
}

// Scores one Answer_Sheet row: a group not found at all is missing, and a
// group found under several clients has a surplus of duplicates.
ScoredGroup scoreGroup(const SheetRow& row, const QHash<qint32, LoadedClient>& clients, ScoreWriters& out)
{
    ScoredGroup seen;
    for (int n = 0; n < 5; ++n) {
        seen.rec[n] = row.rec[n];
        seen.loaded[n] = row.rec[n] != 0 && row.loaded[n];
        seen.client[n] = seen.loaded[n] ? row.iisId[n] : 0;
        seen.flagged[n] = clients.value(row.iisId[n]).firstFlagged;
    }
    if (row.totalLoaded == 0) {
        out.missing.bindInt(1, row.rec[0]);
        out.missing.exec();
        return seen;
    }
    // Members that were not found enter with their 0, as the group's count does.
    bool groupFlagged = false;
    for (qint32 id : row.iisId) groupFlagged = groupFlagged || clients.value(id).anyFlagged;
    qint16 totalLoaded = row.totalLoaded;
    if (totalLoaded > 1) {
        const auto& id = row.iisId;
        const qint16 unique = clsAnalyzeResults::FindNonZeroUniques(id[0], id[1], id[2], id[3], id[4]);
        if (unique != totalLoaded) {
            totalLoaded = unique;
            out.correct.bindInt(1, totalLoaded);
            out.correct.bindInt(2, row.rowid);
            out.correct.exec();
        }
    }
    if (totalLoaded > 1) listSurplusClients(row, totalLoaded, clients, groupFlagged, seen, out.duplicate);
    return seen;
}

// The outcome of member n of a group whose first found member is own (-1 when none is).
std::optional<Outcome> memberOutcome(const ScoredGroup& group, int n, int own, bool lookAlike, bool sharesClient)
{
    if (!group.loaded[n]) return own < 0 ? Outcome::Lost : Outcome::Absent;
    if (group.listed[n]) return group.listed[n];
    if (lookAlike) return sharesClient ? Outcome::StrangerMerge : Outcome::KeptApart;
    if (n == 0) // the record the others are duplicates of: nothing to catch
        return Outcome::Main;
    if (group.client[n] == group.client[own]) return Outcome::Caught;
    // A second record in a surplus client: the scores count that client once, under its other record.
    for (int m = 0; m < 5; ++m)
        if (group.loaded[m] && group.client[m] == group.client[n] && group.listed[m]) return group.listed[m];
    return std::nullopt;
}

void writeOutcomes(const std::vector<ScoredGroup>& groups, const QHash<qint64, int>& attempts,
                   const QSet<qint64>& lookAlikes)
{
    run(QStringLiteral("DELETE FROM tblRecordOutcomes"));
    // Whether a registry client holds found records of several groups: two
    // people under one client is a merge the scores cannot show.
    struct Holding {
        size_t group = 0; // the first group found under it
        bool several = false;
    };
    QHash<qint32, Holding> groupsOfClient;
    for (size_t g = 0; g < groups.size(); ++g)
        for (int n = 0; n < 5; ++n) {
            if (!groups[g].loaded[n]) continue;
            const auto it = groupsOfClient.find(groups[g].client[n]);
            if (it == groupsOfClient.end())
                groupsOfClient.insert(groups[g].client[n], Holding{g, false});
            else if (it->group != g)
                it->several = true;
        }

    // The table is kept in ID order whatever order its rows come in; inserted
    // in that order, each row is appended instead of sought.
    std::vector<std::tuple<qint64, size_t, int>> members; // ID, group, place
    for (size_t g = 0; g < groups.size(); ++g)
        for (int n = 0; n < 5; ++n)
            if (groups[g].rec[n] != 0) members.emplace_back(groups[g].rec[n], g, n);
    std::stable_sort(members.begin(), members.end(),
                     [](const auto& a, const auto& b) { return std::get<0>(a) < std::get<0>(b); });

    NativeStatement insert("INSERT INTO tblRecordOutcomes (ID, GroupNo, Place, Attempt, ClientID, QMflag, Outcome) "
                           "VALUES (?, ?, ?, ?, ?, ?, ?)");
    for (const auto& [id, g, n] : members) {
        const ScoredGroup& group = groups[g];
        int own = -1;
        for (int m = 0; m < 5 && own < 0; ++m)
            if (group.loaded[m]) own = m;
        const std::optional<Outcome> outcome =
            memberOutcome(group, n, own, lookAlikes.contains(id), groupsOfClient.value(group.client[n]).several);
        const int attempt = attempts.value(id);
        insert.bindInt(1, id);
        insert.bindInt(2, qint64(g + 1));
        insert.bindInt(3, n + 1);
        if (group.loaded[n] && attempt > 0)
            insert.bindInt(4, attempt);
        else
            insert.bindNull(4);
        if (group.loaded[n]) {
            insert.bindInt(5, group.client[n]);
            insert.bindUnchanged(6, yesNo(group.flagged[n]));
        } else {
            insert.bindNull(5);
            insert.bindNull(6);
        }
        if (outcome)
            insert.bindUnchanged(7, outcomeCodeText(*outcome));
        else
            insert.bindNull(7);
        insert.exec();
    }
}

} // namespace

namespace {

void scoreRows(const std::vector<SheetRow>& rows, const QHash<qint64, int>& attempts, const ScoringInput& input)
{
    platform().UpdateProgressText(QStringLiteral("Analyzing results ...."));
    const double step = rows.empty() ? 0 : (100.0 - kMatchingShare) / double(rows.size());
    run(QStringLiteral("DELETE FROM IIS_MISSING_RECORDS"));
    run(QStringLiteral("DELETE FROM IIS_DUPLICATES"));

    ScoreWriters writers;
    std::vector<ScoredGroup> scored;
    scored.reserve(rows.size());
    for (const SheetRow& row : rows) {
        platform().IncrementProgressBar(step);
        scored.push_back(scoreGroup(row, input.clients, writers));
    }
    writeOutcomes(scored, attempts, input.lookAlikes);
    // Full exactly when the work is done, whatever rounding the steps left.
    platform().SetProgressBar(100);
}

} // namespace

void clsAnalyzeResults::Score()
{
    std::vector<SheetRow> rows;
    for (NativeStatement sheet(kSheetInOrder); sheet.step();) rows.push_back(sheetRow(sheet));
    scoreRows(rows, m_attempts, ScoringInput{lookAlikeIds(), ClientTable::read()});
}

} // namespace marrowick
