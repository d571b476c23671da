#pragma once
#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QString>
#include <optional>
#include <string>
#include <vector>

namespace marrowick {

// One to nine plain digits as their number, which every reading of a number
// agrees on; nullopt for any other text, which the general reading takes.
std::optional<qint32> plainDigits(QByteArrayView text);

// A registry client: the flag of its first row, and whether any of its rows is flagged.
struct LoadedClient {
    bool firstFlagged = false; // the flag of its first row is "Y"
    bool anyFlagged = false;
};

// Registry clients by number, gathered from the loaded rows in the table's
// order. Found by number, so that client IDs written with leading zeros or
// blanks are found too.
class ClientTable {
public:
    void add(QByteArrayView clientId, QByteArrayView flag);
    QHash<qint32, LoadedClient> take() { return std::move(m_clients); }
    // The clients of IIS_LOADED_CHILD_ALL. Throws DbError.
    static QHash<qint32, LoadedClient> read();

private:
    QHash<qint32, LoadedClient> m_clients;
    // Clients have a row per vaccination: each ClientID text other than
    // plain digits is turned into its number once.
    QHash<QByteArray, std::optional<qint32>> m_numbers;
};

// One row of IIS_LOADED_CHILD_ALL as the matching reads it; Null is nullopt.
struct LoadedRow {
    QByteArrayView clientId, flag, vacCode, vacDate;
    std::optional<QByteArrayView> first, last, momMaiden, momFirst, dob, sex;
};

// The loaded rows as the matching's attempts look them up: one look-up per
// attempt instead of a query. A key holds the five compared values as the
// name columns compare them, so rows come out as the table would give them:
// equal keys, in the table's order. A registry's export repeats a client's
// names on every vaccination's row: each key is kept once.
class LoadedRows {
public:
    enum Third { MomMaiden, MomFirst };

    // The rows of IIS_LOADED_CHILD_ALL, in the table's order. Throws DbError.
    static LoadedRows read();
    // Files the next row; the values are copied.
    void add(const LoadedRow& row);

    // The rows in which FirstName, LastName, the third column, DOB and Sex
    // equal these values, in the table's order; valid until the next look-up.
    const std::vector<int>& find(Third third, const QString& first, const QString& last, const QString& value,
                                 const QString& dob, const QString& sex);

    // The rows' clients, for the scoring, which needs them once.
    QHash<qint32, LoadedClient> takeClients() { return m_clients.take(); }
    QByteArrayView clientId(int row) const { return field(row, 0); }
    QByteArrayView vacCode(int row) const { return field(row, 1); }
    QByteArrayView vacDate(int row) const { return field(row, 2); }

private:
    // A key some rows share, and the first and last of them.
    struct Key {
        size_t hash;
        size_t at, length; // in m_keys
        int first, last;
    };

    size_t slotOf(Third third, size_t hash) const;
    void file(Third third, int row);
    QByteArrayView field(int row, int n) const
    {
        const qsizetype at = m_starts[size_t(row) * 4 + size_t(n)];
        return QByteArrayView(m_text).sliced(at, m_starts[size_t(row) * 4 + size_t(n) + 1] - at);
    }

    int m_rows = 0;
    QByteArray m_text;               // ClientID, VacCode and VacDate of every row, one after another
    std::vector<qsizetype> m_starts; // where each begins; four a row, the fourth the next row's start
    std::string m_keys;              // every key once, one after another
    std::vector<Key> m_distinct[2];  // by Third
    std::vector<int> m_slots[2];     // of m_distinct, by hash
    std::vector<int> m_next[2];      // by row: the next row of the same key, or -1
    std::string m_probe;             // the key being built
    std::vector<int> m_found;
    ClientTable m_clients;
};

} // namespace marrowick
