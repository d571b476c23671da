#include "LoadedRows.h"

#include "clsAnalyzeResults.h"
#include "database/DbError.h"
#include "database/NativeStatement.h"

#include <algorithm>
#include <bit>
#include <string_view>

namespace marrowick {

namespace {

size_t hashOf(std::string_view key) { return std::hash<std::string_view>()(key); }

// COLLATE NOCASE folds the ASCII letters and nothing else.
char folded(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

void appendBytes(std::string& key, QByteArrayView value)
{
    const auto size = quint32(value.size());
    key.append(reinterpret_cast<const char*>(&size), sizeof size);
    const size_t at = key.size();
    key.resize(at + size_t(value.size()));
    std::transform(value.begin(), value.end(), key.begin() + qsizetype(at), folded);
}

// False when a value is Null: an equality with Null holds for no row.
bool keyOf(std::string& key, std::initializer_list<std::optional<QByteArrayView>> values)
{
    for (const std::optional<QByteArrayView>& value : values) {
        if (!value) return false;
        appendBytes(key, *value);
    }
    return true;
}

// The same of a value in hand: its UTF-8, with no conversion for plain ASCII.
bool appendKey(std::string& key, const QString& text)
{
    if (text.isNull()) return false;
    const bool ascii = std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
    if (!ascii) {
        appendBytes(key, text.toUtf8());
        return true;
    }
    const auto size = quint32(text.size());
    key.append(reinterpret_cast<const char*>(&size), sizeof size);
    const size_t at = key.size();
    key.resize(at + size);
    std::transform(text.begin(), text.end(), key.begin() + qsizetype(at),
                   [](QChar c) { return folded(char(c.unicode())); });
    return true;
}

std::optional<QByteArrayView> valueOf(const NativeStatement& row, int column)
{
    return row.isNull(column) ? std::nullopt : std::optional(row.text(column));
}

} // namespace

std::optional<qint32> plainDigits(QByteArrayView text)
{
    if (text.isEmpty() || text.size() > 9) return std::nullopt;
    qint32 number = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        number = number * 10 + (c - '0');
    }
    return number;
}

void ClientTable::add(QByteArrayView clientId, QByteArrayView flag)
{
    std::optional<qint32> number = plainDigits(clientId);
    if (!number) {
        const QByteArray text = clientId.toByteArray();
        auto known = m_numbers.find(text);
        if (known == m_numbers.end()) {
            std::optional<qint32> read;
            try {
                read = clsAnalyzeResults::ClientNumber(QString::fromUtf8(text));
            } catch (const DbError&) {
                // no test record can have been found under it
            }
            known = m_numbers.insert(text, read);
        }
        number = *known;
    }
    if (!number) return;
    const bool flagged = flag == "Y";
    auto it = m_clients.find(*number);
    if (it == m_clients.end()) it = m_clients.insert(*number, LoadedClient{flagged, false});
    if (flagged) it->anyFlagged = true;
}

QHash<qint32, LoadedClient> ClientTable::read()
{
    ClientTable clients;
    for (NativeStatement loaded("SELECT ClientID, QMflag FROM IIS_LOADED_CHILD_ALL ORDER BY rowid"); loaded.step();)
        clients.add(loaded.text(0), loaded.text(1));
    return clients.take();
}

LoadedRows LoadedRows::read()
{
    LoadedRows rows;
    NativeStatement table("SELECT ClientID, QMflag, VacCode, VacDate, FirstName, LastName, MomMaiden, MomFirst, DOB, "
                          "Sex FROM IIS_LOADED_CHILD_ALL ORDER BY rowid");
    while (table.step())
        rows.add({table.text(0), table.text(1), table.text(2), table.text(3), valueOf(table, 4), valueOf(table, 5),
                  valueOf(table, 6), valueOf(table, 7), valueOf(table, 8), valueOf(table, 9)});
    return rows;
}

void LoadedRows::add(const LoadedRow& row)
{
    const int number = m_rows++;
    for (const QByteArrayView text : {row.clientId, row.vacCode, row.vacDate}) {
        m_starts.push_back(m_text.size());
        m_text.append(text);
    }
    m_starts.push_back(m_text.size());
    m_clients.add(row.clientId, row.flag);
    for (const Third third : {MomMaiden, MomFirst}) {
        m_next[third].push_back(-1);
        m_probe.clear();
        if (keyOf(m_probe, {row.first, row.last, third == MomMaiden ? row.momMaiden : row.momFirst, row.dob, row.sex}))
            file(third, number);
    }
}

const std::vector<int>& LoadedRows::find(Third third, const QString& first, const QString& last, const QString& value,
                                         const QString& dob, const QString& sex)
{
    m_found.clear();
    m_probe.clear();
    for (const QString* text : {&first, &last, &value, &dob, &sex})
        if (!appendKey(m_probe, *text)) return m_found;
    const int key = m_slots[third].empty() ? -1 : m_slots[third][slotOf(third, hashOf(m_probe))];
    for (int row = key < 0 ? -1 : m_distinct[third][size_t(key)].first; row >= 0; row = m_next[third][size_t(row)])
        m_found.push_back(row);
    return m_found;
}

// The slot of the key in m_probe: the one that holds it, or the empty one
// where it would go. Slots are open addressed, at most half full.
size_t LoadedRows::slotOf(Third third, size_t hash) const
{
    const std::vector<int>& table = m_slots[third];
    for (size_t i = hash & (table.size() - 1);; i = (i + 1) & (table.size() - 1)) {
        if (table[i] < 0) return i;
        const Key& key = m_distinct[third][size_t(table[i])];
        if (key.hash == hash && std::string_view(m_keys).substr(key.at, key.length) == m_probe) return i;
    }
}

// Files the row under the key in m_probe, after the rows that share it.
void LoadedRows::file(Third third, int row)
{
    std::vector<Key>& distinct = m_distinct[third];
    std::vector<int>& table = m_slots[third];
    if (2 * (distinct.size() + 1) > table.size()) {
        table.assign(std::bit_ceil(std::max<size_t>(64, 4 * (distinct.size() + 1))), -1);
        for (size_t k = 0; k < distinct.size(); ++k) {
            size_t i = distinct[k].hash & (table.size() - 1);
            while (table[i] >= 0) i = (i + 1) & (table.size() - 1);
            table[i] = int(k);
        }
    }
    const size_t hash = hashOf(m_probe);
    int& slot = table[slotOf(third, hash)];
    if (slot >= 0) {
        Key& key = distinct[size_t(slot)];
        m_next[third][size_t(key.last)] = row;
        key.last = row;
        return;
    }
    slot = int(distinct.size());
    distinct.push_back({hash, m_keys.size(), m_probe.size(), row, row});
    m_keys += m_probe;
}

} // namespace marrowick
