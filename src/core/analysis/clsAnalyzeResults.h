#pragma once
#include <QHash>
#include <QList>
#include <QString>
#include <array>
#include <optional>
#include <vector>

namespace marrowick {

class LoadedRows;

// Decides, for every test record, what the registry did with it: finds each
// member of each expected group among the loaded records, writes the findings
// to Answer_Sheet and scores them into IIS_DUPLICATES and IIS_MISSING_RECORDS,
// keeping each record's outcome in tblRecordOutcomes.
class clsAnalyzeResults {
public:
    void Analyze_IIS_LOAD();
    // The same with the rows the loader has just stored, which spares reading them back.
    void Analyze_IIS_LOAD(LoadedRows rows);
    void ClearAnswerSheet();
    void Score();

    static QString NoQuote(QString strName);
    static QString FirstPart(const QString& strWord);
    static qint16 FindNonZeroUniques(qint32 num1, qint32 num2, qint32 num3, qint32 num4, qint32 num5);
    // Sorts a[0] .. a[maxnum - 1] (positions 1 to maxnum) in place, ascending.
    static void BubSort(QList<qint32>& a, int maxnum);

    // A ClientID text as the registry client number: its whole part, rounded
    // down, as the loader checks it; throws when it does not fit 32 bits.
    static qint32 ClientNumber(const QString& clientId);

    struct AnswerGroup {
        std::array<qint16, 5> rec{};
        std::array<bool, 5> rec_loaded{};
        std::array<qint32, 5> rec_IIS_ID{};
        qint16 total_loaded = 0;
    };

private:
    struct Matching;
    void analyze(std::optional<LoadedRows> given);
    // The attempt (1 to 6) that found the member; 0 when none did.
    int matchRecord(Matching& st, AnswerGroup& group, int j);

    // The attempt that found each test record, by ID, for the outcomes.
    QHash<qint64, int> m_attempts;

    // One slot per Answer_Sheet row, in rec_1 order.
    std::vector<AnswerGroup> AnswerGroups;
};

} // namespace marrowick
