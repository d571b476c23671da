#include "ReportCatalogue.h"

#include "analysis/ProblemCode.h"
#include "summaries/clsOverallResults.h"
#include "summaries/clsProblemTypeSummary.h"
#include "summaries/clsDupLikeSummary.h"
#include "summaries/clsScoreByType.h"

#include <iterator>

namespace marrowick {

namespace {

std::vector<ColumnRule> listRules(bool withProblemType, const QString& notesField)
{
    std::vector<ColumnRule> rules;
    if (withProblemType) rules.push_back({QStringLiteral("ProbDesc"), QStringLiteral("Problem Type"), 0.4, false});
    const std::vector<ColumnRule> common{
        {QStringLiteral("LastName"), QStringLiteral("Last Name"), 0.18, false},
        {QStringLiteral("FirstName"), QStringLiteral("First Name"), 0.18, false},
        {QStringLiteral("MiddleName"), QStringLiteral("Middle Name"), 0.18, false},
        {QStringLiteral("Suffix"), QStringLiteral("Suffix"), 0.1, false},
        {QStringLiteral("DOB"), QStringLiteral("DOB"), 0.14, true},
        {QStringLiteral("MomMaiden"), QStringLiteral("Mom Maiden"), 0.18, false},
        {QStringLiteral("MomLast"), QStringLiteral("Mom Last"), 0.18, false},
        {QStringLiteral("MomFirst"), QStringLiteral("Mom First"), 0.18, false},
        {QStringLiteral("MomMiddle"), QStringLiteral("Mom Middle"), 0.18, false},
        {notesField, QStringLiteral("Notes"), 0.48, false},
        {QStringLiteral("ID"), QStringLiteral("Database ID"), 0.1, false},
    };
    rules.insert(rules.end(), common.begin(), common.end());
    return rules;
}

// The four summaries, each refilled from the evaluation before it is shown.
std::vector<ReportDef> summaryReports()
{
    return {
        {.index = 0,
         .item = QStringLiteral("Summary of Results"),
         .title = QStringLiteral("Summary of Results"),
         .caption = QStringLiteral("Report Print Preview: Summary of Results"),
         .refill = [] { return clsOverallResults().RefillOverallResults(); },
         .query = QStringLiteral("SELECT * from tblOverallResults order by ResultCode"),
         .rules = {{QStringLiteral("ResultDesc"), QString(), 0.8, false},
                   {QStringLiteral("ResultValue"), QString(), 0.16, true}},
         .page = designs::rptOverall(),
         .fileName = QStringLiteral("rptOverall"),
         .scores = {{.field = QStringLiteral("ResultValue"),
                     .keyField = QStringLiteral("ResultCode"),
                     .figures = {{QStringLiteral("14"), QStringLiteral("sensitivity")},
                                 {QStringLiteral("15"), QStringLiteral("specificity")}}}}},
        {.index = 1,
         .item = QStringLiteral("Results for Duplicate Records"),
         .title = QStringLiteral("Results for Duplicate Records"),
         .caption = QStringLiteral("Report Print Preview: Results for Duplicate Records"),
         .refill = [] { return clsProblemTypeSummary().RefillProblemTypeSummary(); },
         .query = QStringLiteral("SELECT * from tblDupProblemTypeSummary order by ProbOrder"),
         .rules = {{QStringLiteral("ProblemDesc"), QStringLiteral("Problem Type"), 0.41, false},
                   {QStringLiteral("ProblemCount"), QStringLiteral("Data Total"), 0.1, true},
                   {QStringLiteral("TotalCaught"), QStringLiteral("Rejected/ Merged"), 0.11, true},
                   {QStringLiteral("TotalQM"), QStringLiteral("Flagged"), 0.11, true},
                   {QStringLiteral("TotalMissed"), QStringLiteral("Missed"), 0.11, true},
                   {QStringLiteral("Sensitivity"), QStringLiteral("Score"), 0.12, true}},
         .page = designs::rptProbTypeSummary(),
         .fileName = QStringLiteral("rptProbTypeSummary"),
         .drillDown = DrillDown::ProblemType,
         .scores = {{.field = QStringLiteral("Sensitivity"),
                     .judged = QStringLiteral("ProblemCount"),
                     .failed = QStringLiteral("TotalMissed")}}},
        {.index = 2,
         .item = QStringLiteral("Results for Non-duplicate  Records"),
         .title = QStringLiteral("Results for Non-Duplicate Records"),
         .caption = QStringLiteral("Report Print Preview: Results for Non-duplicate Records"),
         .refill = [] { return clsDupLikeSummary().RefillDupLikeSummary(); },
         .query = QStringLiteral("SELECT * from tblDupLikeSummary order by ProbOrder"),
         .rules = {{QStringLiteral("ProblemDesc"), QStringLiteral("Problem Type"), 0.44, false},
                   {QStringLiteral("ProblemCount"), QStringLiteral("Data Total"), 0.1, true},
                   {QStringLiteral("TotalUnique"), QStringLiteral("Identified as Unique"), 0.13, true},
                   {QStringLiteral("TotalDupMistake"), QStringLiteral("Mistaken as Duplicate"), 0.14, true},
                   {QStringLiteral("Specificity"), QStringLiteral("Score"), 0.12, true}},
         .page = designs::rptDupLikeSummary(),
         .fileName = QStringLiteral("rptDupLikeSummary"),
         .drillDown = DrillDown::LookAlikeKind,
         .scores = {{.field = QStringLiteral("Specificity"),
                     .judged = QStringLiteral("ProblemCount"),
                     .failed = QStringLiteral("TotalDupMistake")}}},
        {.index = 3,
         .item = QStringLiteral("Scores by Problem Type"),
         .title = QStringLiteral("Scores by Problem Type"),
         .caption = QStringLiteral("Report Print Preview: Scores by Problem Type"),
         .refill = [] { return clsScoreByType().RefillScoresByType(); },
         .query = QStringLiteral("SELECT * from tblScoresByType order by ProbOrder"),
         .rules = {{QStringLiteral("ProblemDesc"), QStringLiteral("Problem Type"), 0.42, false},
                   {QStringLiteral("Sensitivity"), QStringLiteral("Sensitivity Score"), 0.25, true},
                   {QStringLiteral("Specificity"), QStringLiteral("Specificity Score"), 0.25, true}},
         .page = designs::rptScoresByType(),
         .fileName = QStringLiteral("rptScoresByType"),
         .drillDown = DrillDown::TypeScores,
         .scores = {{.field = QStringLiteral("Sensitivity"),
                     .keyField = QStringLiteral("ProblemCode"),
                     .figures = {{QStringLiteral("TOTAL"), QStringLiteral("sensitivity")}},
                     .figurePrefix = QStringLiteral("sensitivity:")},
                    {.field = QStringLiteral("Specificity"),
                     .keyField = QStringLiteral("ProblemCode"),
                     .figures = {{QStringLiteral("TOTAL"), QStringLiteral("specificity")}},
                     .figurePrefix = QStringLiteral("lookAlikesKept:")}}},
    };
}

// The four lists of test records, straight from their queries.
// SQLite names a result column after the table's declared column, not as the
// query spells it; report 5 spells Notes with a capital, so it says so with AS.
std::vector<ReportDef> listReports()
{
    return {
        {.index = 4,
         .item = QStringLiteral("Duplicate Records Missed"),
         .title = QStringLiteral("List of Duplicate Records Missed (Not Detected)"),
         .caption = QStringLiteral("Report Print Preview: Duplicate Records Missed"),
         .refill = nullptr,
         .query = QStringLiteral(
             "SELECT  tblProbDescMap.ProbDesc, DupTestData.LastName, DupTestData.FirstName, DupTestData.MiddleName, "
             "DupTestData.Suffix, DupTestData.DOB, DupTestData.MomMaiden, DupTestData.MomLast, DupTestData.MomFirst, "
             "DupTestData.MomMiddle, DupTestData.notes, DupTestData.ID FROM tblProbDescMap, IIS_DUPLICATES INNER JOIN "
             "DupTestData ON IIS_DUPLICATES.ID = DupTestData.ID WHERE IIS_DUPLICATES.QM='N' AND "
             "IIS_DUPLICATES.OtherQM='N' AND tblProbDescMap.ProbCode=DupTestData.ProblemCode ORDER BY "
             "DupTestData.ProblemCode"),
         .rules = listRules(true, QStringLiteral("notes")),
         .page = designs::rptDupsMissed(),
         .fileName = QStringLiteral("rptDupsMissed"),
         .drillDown = DrillDown::Record},
        {.index = 5,
         .item = QStringLiteral("Non-duplicate Records Lost"),
         .title = QStringLiteral("List of Non-Duplicate Records Lost"),
         .caption = QStringLiteral("Report Print Preview: Non-duplicate Records Lost"),
         .refill = nullptr,
         .query = QStringLiteral(
             "SELECT DupTestData.LastName, DupTestData.FirstName, DupTestData.MiddleName, DupTestData.Suffix, "
             "DupTestData.DOB,DupTestData.MomMaiden, DupTestData.MomLast, DupTestData.MomFirst, "
             "DupTestData.MomMiddle,DupTestData.Notes AS Notes, DupTestData.ID  FROM IIS_MISSING_RECORDS INNER JOIN "
             "DupTestData ON IIS_MISSING_RECORDS.ID = DupTestData.ID ORDER BY DupTestData.ProblemCode"),
         .rules = listRules(false, QStringLiteral("Notes")),
         .page = designs::rptNonDupsLost(),
         .fileName = QStringLiteral("rptNonDupsLost"),
         .drillDown = DrillDown::Record},
        {.index = 6,
         .item = QStringLiteral("List of All Non-duplicate in Test Data"),
         .title = QStringLiteral("List of All Non-duplicate Records in Test Data"),
         .caption = QStringLiteral("Report Print Preview: List of All Non-duplicate Records"),
         .refill = nullptr,
         .query = QStringLiteral(
                      "SELECT DupTestData.LastName, DupTestData.FirstName, DupTestData.MiddleName, DupTestData.Suffix, "
                      "DupTestData.DOB, DupTestData.MomMaiden, DupTestData.MomLast, DupTestData.MomFirst, "
                      "DupTestData.MomMiddle, DupTestData.notes, DupTestData.ID From DupTestData WHERE ")
                  + problem::isNotDuplicate(),
         .rules = listRules(false, QStringLiteral("notes")),
         .page = designs::rptAllNonDupList(),
         .fileName = QStringLiteral("rptAllNonDupList"),
         .drillDown = DrillDown::Record},
        {.index = 7,
         .item = QStringLiteral("List of All Duplicates in Test Data"),
         .title = QStringLiteral("List of All Duplicate Records in Test Data"),
         .caption = QStringLiteral("Report Print Preview: List of All Duplicate Records"),
         .refill = nullptr,
         .query =
             QStringLiteral(
                 "SELECT tblProbDescMap.ProbDesc,DupTestData.LastName, DupTestData.FirstName, DupTestData.MiddleName, "
                 "DupTestData.Suffix, DupTestData.DOB, DupTestData.MomMaiden, DupTestData.MomLast, "
                 "DupTestData.MomFirst, DupTestData.MomMiddle, DupTestData.notes, DupTestData.ID From "
                 "tblProbDescMap, DupTestData WHERE ")
             + problem::isDuplicate()
             + QStringLiteral(" AND tblProbDescMap.ProbCode=DupTestData.ProblemCode ORDER BY "
                              "DupTestData.ProblemCode"),
         .rules = listRules(true, QStringLiteral("notes")),
         .page = designs::rptAllDupsList(),
         .fileName = QStringLiteral("rptAllDupsList"),
         .drillDown = DrillDown::Record},
    };
}

} // namespace

const std::vector<ReportDef>& reportCatalogue()
{
    static const std::vector<ReportDef> reports = [] {
        std::vector<ReportDef> all = summaryReports();
        std::vector<ReportDef> lists = listReports();
        all.insert(all.end(), std::make_move_iterator(lists.begin()), std::make_move_iterator(lists.end()));
        return all;
    }();
    return reports;
}

const ReportDef* reportAt(int index)
{
    const auto& reports = reportCatalogue();
    return index >= 0 && index < int(reports.size()) ? &reports[size_t(index)] : nullptr;
}

const ColumnRule* ruleFor(const ReportDef& report, const QString& field)
{
    for (const ColumnRule& rule : report.rules)
        if (rule.field == field) return &rule;
    return nullptr;
}

} // namespace marrowick
