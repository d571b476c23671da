#include "ReportCatalogue.h"

#include "summaries/Summaries.h"

namespace marrowick {

namespace {

std::vector<ColumnRule> listRules(bool withProblemType, const QString& notesField)
{
    std::vector<ColumnRule> rules;
    if (withProblemType)
        rules.push_back({QStringLiteral("ProbDesc"), QStringLiteral("Problem Type"), 0.4, false});
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

} // namespace

// SQLite names a result column after the table's declared column, not as the
// query spells it; report 5 spells Notes with a capital, so it says so with AS.
const std::vector<ReportDef>& reportCatalogue()
{
    static const std::vector<ReportDef> reports{
        {0, QStringLiteral("Summary of Results"), QStringLiteral("Summary of Results"),
         QStringLiteral("SELECT * from tblOverallResults order by ResultCode"),
         {{QStringLiteral("ResultDesc"), QString(), 0.8, false}, {QStringLiteral("ResultValue"), QString(), 0.16, true}},
         QStringLiteral("rptOverall"), QStringLiteral("Report Print Preview: Summary of Results")},
        {1, QStringLiteral("Results for Duplicate Records"), QStringLiteral("Results for Duplicate Records"),
         QStringLiteral("SELECT * from tblDupProblemTypeSummary order by ProbOrder"),
         {{QStringLiteral("ProblemDesc"), QStringLiteral("Problem Type"), 0.41, false},
          {QStringLiteral("ProblemCount"), QStringLiteral("Data Total"), 0.1, true},
          {QStringLiteral("TotalCaught"), QStringLiteral("Rejected/ Merged"), 0.11, true},
          {QStringLiteral("TotalQM"), QStringLiteral("Flagged"), 0.11, true},
          {QStringLiteral("TotalMissed"), QStringLiteral("Missed"), 0.11, true},
          {QStringLiteral("Sensitivity"), QStringLiteral("Score"), 0.12, true}},
         QStringLiteral("rptProbTypeSummary"), QStringLiteral("Report Print Preview: Results for Duplicate Records")},
        {2, QStringLiteral("Results for Non-duplicate  Records"), QStringLiteral("Results for Non-Duplicate Records"),
         QStringLiteral("SELECT * from tblDupLikeSummary order by ProbOrder"),
         {{QStringLiteral("ProblemDesc"), QStringLiteral("Problem Type"), 0.44, false},
          {QStringLiteral("ProblemCount"), QStringLiteral("Data Total"), 0.1, true},
          {QStringLiteral("TotalUnique"), QStringLiteral("Identified as Unique"), 0.13, true},
          {QStringLiteral("TotalDupMistake"), QStringLiteral("Mistaken as Duplicate"), 0.14, true},
          {QStringLiteral("Specificity"), QStringLiteral("Score"), 0.12, true}},
         QStringLiteral("rptDupLikeSummary"), QStringLiteral("Report Print Preview: Results for Non-duplicate Records")},
        {3, QStringLiteral("Scores by Problem Type"), QStringLiteral("Scores by Problem Type"),
         QStringLiteral("SELECT * from tblScoresByType order by ProbOrder"),
         {{QStringLiteral("ProblemDesc"), QStringLiteral("Problem Type"), 0.42, false},
          {QStringLiteral("Sensitivity"), QStringLiteral("Sensitivity Score"), 0.25, true},
          {QStringLiteral("Specificity"), QStringLiteral("Specificity Score"), 0.25, true}},
         QStringLiteral("rptScoresByType"), QStringLiteral("Report Print Preview: Scores by Problem Type")},
        {4, QStringLiteral("Duplicate Records Missed"), QStringLiteral("List of Duplicate Records Missed (Not Detected)"),
         QStringLiteral("SELECT  tblProbDescMap.ProbDesc, DupTestData.LastName, DupTestData.FirstName, DupTestData.MiddleName, "
                        "DupTestData.Suffix, DupTestData.DOB, DupTestData.MomMaiden, DupTestData.MomLast, DupTestData.MomFirst, "
                        "DupTestData.MomMiddle, DupTestData.notes, DupTestData.ID FROM tblProbDescMap, IIS_DUPLICATES INNER JOIN "
                        "DupTestData ON IIS_DUPLICATES.ID = DupTestData.ID WHERE IIS_DUPLICATES.QM='N' AND "
                        "IIS_DUPLICATES.OtherQM='N' AND tblProbDescMap.ProbCode=DupTestData.ProblemCode ORDER BY "
                        "DupTestData.ProblemCode"),
         listRules(true, QStringLiteral("notes")), QStringLiteral("rptDupsMissed"),
         QStringLiteral("Report Print Preview: Duplicate Records Missed")},
        {5, QStringLiteral("Non-duplicate Records Lost"), QStringLiteral("List of Non-Duplicate Records Lost"),
         QStringLiteral("SELECT DupTestData.LastName, DupTestData.FirstName, DupTestData.MiddleName, DupTestData.Suffix, "
                        "DupTestData.DOB,DupTestData.MomMaiden, DupTestData.MomLast, DupTestData.MomFirst, "
                        "DupTestData.MomMiddle,DupTestData.Notes AS Notes, DupTestData.ID  FROM IIS_MISSING_RECORDS INNER JOIN "
                        "DupTestData ON IIS_MISSING_RECORDS.ID = DupTestData.ID ORDER BY DupTestData.ProblemCode"),
         listRules(false, QStringLiteral("Notes")), QStringLiteral("rptNonDupsLost"),
         QStringLiteral("Report Print Preview: Non-duplicate Records Lost")},
        {6, QStringLiteral("List of All Non-duplicate in Test Data"), QStringLiteral("List of All Non-duplicate Records in Test Data"),
         QStringLiteral("SELECT DupTestData.LastName, DupTestData.FirstName, DupTestData.MiddleName, DupTestData.Suffix, "
                        "DupTestData.DOB, DupTestData.MomMaiden, DupTestData.MomLast, DupTestData.MomFirst, "
                        "DupTestData.MomMiddle, DupTestData.notes, DupTestData.ID From DupTestData WHERE "
                        "(ProblemCode='BASE_RECORD' or ProblemCode='DL_BASE_RECORD')"),
         listRules(false, QStringLiteral("notes")), QStringLiteral("rptAllNonDupList"),
         QStringLiteral("Report Print Preview: List of All Non-duplicate Records")},
        {7, QStringLiteral("List of All Duplicates in Test Data"), QStringLiteral("List of All Duplicate Records in Test Data"),
         QStringLiteral("SELECT tblProbDescMap.ProbDesc,DupTestData.LastName, DupTestData.FirstName, DupTestData.MiddleName, "
                        "DupTestData.Suffix, DupTestData.DOB, DupTestData.MomMaiden, DupTestData.MomLast, "
                        "DupTestData.MomFirst, DupTestData.MomMiddle, DupTestData.notes, DupTestData.ID From "
                        "tblProbDescMap, DupTestData WHERE (ProblemCode<>'BASE_RECORD' AND "
                        "ProblemCode<>'DL_BASE_RECORD')AND tblProbDescMap.ProbCode=DupTestData.ProblemCode ORDER BY "
                        "DupTestData.ProblemCode"),
         listRules(true, QStringLiteral("notes")), QStringLiteral("rptAllDupsList"),
         QStringLiteral("Report Print Preview: List of All Duplicate Records")},
    };
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
        if (rule.field == field)
            return &rule;
    return nullptr;
}

bool refillReport(int index)
{
    switch (index) {
    case 0: return clsOverallResults().RefillOverallResults();
    case 1: return clsProblemTypeSummary().RefillProblemTypeSummary();
    case 2: return clsDupLikeSummary().RefillDupLikeSummary();
    case 3: return clsScoreByType().RefillScoresByType();
    default: return true;
    }
}

} // namespace marrowick
