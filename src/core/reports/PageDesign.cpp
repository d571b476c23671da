#include "PageDesign.h"

#include <QAbstractItemModel>
#include <array>
#include <tuple>

namespace marrowick {

namespace {

const FontStyle kTitle{14.25, true};
const FontStyle kNine{9, false};
const FontStyle kNineBold{9, true};
const FontStyle kCardLabel{8.25, true};

Element label(const QString& text, int left, int top, int width, int height, std::optional<FontStyle> font = {})
{
    return {Element::Label, text, left, top, width, height, font};
}

Element field(const QString& name, int left, int top, int width, int height, std::optional<FontStyle> font = {})
{
    return {Element::Field, name, left, top, width, height, font};
}

Element hrule(int top, int width) { return {Element::HRule, {}, 0, top, width, 0, {}}; }
Element vrule(int left, int height) { return {Element::VRule, {}, left, 0, 0, height, {}}; }

// Date and time at the left, "page N of M" at the right.
struct Footer {
    QString name;
    int height = 0;
    int top = 0;
    int labelHeight = 0;
    std::array<int, 6> lefts;
    std::array<int, 6> widths;
    std::optional<FontStyle> font = {};
};

Section footer(const Footer& f)
{
    const std::array<QString, 6> codes{QStringLiteral("%d"), QStringLiteral("%T"), QStringLiteral("page"),
                                       QStringLiteral("%p"), QStringLiteral("of"), QStringLiteral("%P")};
    Section section{f.name, f.height, {}};
    for (size_t i = 0; i < codes.size(); ++i)
        section.elements.push_back(label(codes[i], f.lefts[i], f.top, f.widths[i], f.labelHeight, f.font));
    return section;
}

// Lefts and widths of the footers of designs 0, 2 and 4 to 7.
constexpr std::array<int, 6> kFooterLefts{144, 1296, 6480, 7056, 7632, 7920};
constexpr std::array<int, 6> kFooterWidths{1155, 1440, 570, 585, 285, 720};

struct Column {
    QString heading;
    int left, width, headingHeight;
    QString fieldName;
    int fieldWidth = 0; // 0: the heading's width
};

// Designs 1 to 3: a title, a ruled row of headings on every page, ruled rows.
struct RuledTable {
    int reportWidth = 0;
    FontStyle defaultFont;
    QString title;
    int titleWidth = 0, titleHeight = 0;
    std::vector<Column> columns;
    std::vector<int> verticalRules;
    std::array<int, 2> headerRuleTops;
    int tableWidth = 0;
    std::array<int, 5> sectionHeights; // report header, page header, detail, page footer, report footer
    std::array<QString, 5> sectionNames;
    Footer footer;
};

PageDesign ruledTable(const RuledTable& t)
{
    PageDesign d;
    d.reportWidth = t.reportWidth;
    d.defaultFont = t.defaultFont;
    d.reportHeader = {t.sectionNames[0],
                      t.sectionHeights[0],
                      {label(t.title, 144, 144, t.titleWidth, t.titleHeight, kTitle), hrule(576, t.tableWidth)}};
    d.pageHeader = {t.sectionNames[1], t.sectionHeights[1], {}};
    d.detail = {t.sectionNames[2], t.sectionHeights[2], {}};
    for (const Column& c : t.columns) {
        d.pageHeader.elements.push_back(label(c.heading, c.left, 0, c.width, c.headingHeight, kNineBold));
        d.detail.elements.push_back(field(c.fieldName, c.left, 0, c.fieldWidth ? c.fieldWidth : c.width, 240, kNine));
    }
    for (int top : t.headerRuleTops) d.pageHeader.elements.push_back(hrule(top, t.tableWidth));
    for (int left : t.verticalRules) {
        d.pageHeader.elements.push_back(vrule(left, t.headerRuleTops[1]));
        d.detail.elements.push_back(vrule(left, 285));
    }
    d.detail.elements.push_back(hrule(288, t.tableWidth));
    Footer f = t.footer;
    f.name = t.sectionNames[3];
    f.height = t.sectionHeights[3];
    d.pageFooter = footer(f);
    d.reportFooter = {t.sectionNames[4], t.sectionHeights[4], {}};
    return d;
}

const std::array<QString, 5> kSectionNumbers{QStringLiteral("Section4"), QStringLiteral("Section2"),
                                             QStringLiteral("DataSection1"), QStringLiteral("Section3"),
                                             QStringLiteral("Section5")};

// Designs 4 to 7: the title on every page, one card per record.
PageDesign cards(int reportWidth, const QString& title, int titleTop, int pageHeaderHeight, Section detail,
                 int footerHeight, int reportFooterHeight)
{
    PageDesign d;
    d.reportWidth = reportWidth;
    d.reportHeader = {QStringLiteral("Section4"), 0, {}};
    d.pageHeader = {QStringLiteral("Section2"),
                    pageHeaderHeight,
                    {label(title, 0, titleTop, 6195, 420, kTitle), hrule(576, 8640), hrule(720, 8640)}};
    d.detail = std::move(detail);
    d.pageFooter = footer({QStringLiteral("Section3"), footerHeight, 144, 285, kFooterLefts, kFooterWidths});
    d.reportFooter = {QStringLiteral("Section5"), reportFooterHeight, {}};
    return d;
}

// The card of designs 4 and 7; design 7 narrows some widths and heights.
Section duplicateCard(bool allList)
{
    const int nameWidth = allList ? 1290 : 1296;
    const int suffixWidth = allList ? 855 : 864;
    const int dobWidth = allList ? 1005 : 1008;
    const int rowHeight = allList ? 285 : 288;
    const int motherLabelTop = allList ? 855 : 864;
    const QList<QPair<QString, QString>> names{{QStringLiteral("Last Name"), QStringLiteral("LastName")},
                                               {QStringLiteral("First Name"), QStringLiteral("FirstName")},
                                               {QStringLiteral("Middle Name"), QStringLiteral("MiddleName")},
                                               {QStringLiteral("Suffix"), QStringLiteral("Suffix")},
                                               {QStringLiteral("DOB"), QStringLiteral("DOB")}};
    const std::array<int, 5> nameLefts{0, 1440, 2880, 4320, 5616};
    const std::array<int, 5> nameWidths{nameWidth, nameWidth, nameWidth, suffixWidth, dobWidth};
    const QList<QPair<QString, QString>> mothers{{QStringLiteral("Mom Maiden"), QStringLiteral("MomMaiden")},
                                                 {QStringLiteral("Mom Last"), QStringLiteral("MomLast")},
                                                 {QStringLiteral("Mom First"), QStringLiteral("MomFirst")},
                                                 {QStringLiteral("Mom Middle"), QStringLiteral("MomMiddle")}};
    const std::array<int, 4> motherWidths{nameWidth, nameWidth, 1290, 1290};

    Section s{QStringLiteral("DataSection1"), 1920, {}};
    s.elements.push_back(label(QStringLiteral("Problem Type:"), 0, 0, 1440, rowHeight, kCardLabel));
    s.elements.push_back(field(QStringLiteral("ProbDesc"), 1440, 0, 2880, rowHeight));
    s.elements.push_back(label(QStringLiteral("Record ID:"), 4320, 0, allList ? 1140 : 1152, rowHeight, kCardLabel));
    s.elements.push_back(field(QStringLiteral("ID"), 5616, 0, 1005, rowHeight));
    for (int i = 0; i < 5; ++i) {
        s.elements.push_back(
            label(names[i].first, nameLefts[size_t(i)], 288, nameWidths[size_t(i)], rowHeight, kCardLabel));
        s.elements.push_back(field(names[i].second, nameLefts[size_t(i)], 576, nameWidths[size_t(i)], rowHeight));
    }
    for (int i = 0; i < 4; ++i) {
        s.elements.push_back(
            label(mothers[i].first, 1440 * i, motherLabelTop, motherWidths[size_t(i)], rowHeight, kCardLabel));
        s.elements.push_back(field(mothers[i].second, 1440 * i, 1152, motherWidths[size_t(i)], 240));
    }
    s.elements.push_back(label(QStringLiteral("Notes:"), 0, 1440, 570, 240, kCardLabel));
    s.elements.push_back(field(QStringLiteral("notes"), 720, 1440, 7920, 240));
    s.elements.push_back(hrule(allList ? 1778 : 1788, 8640));
    return s;
}

// The card of designs 5 and 6: no problem type.
Section nonDuplicateCard(bool allList)
{
    Section s{QStringLiteral("DataSection1"), allList ? 1671 : 1650, {}};
    const QList<std::tuple<QString, QString, int, int>> top{
        {QStringLiteral("Last Name"), QStringLiteral("LastName"), 0, 1290},
        {QStringLiteral("First Name"), QStringLiteral("FirstName"), 1440, 1290},
        {QStringLiteral("Middle Name"), QStringLiteral("MiddleName"), 2880, 1290},
        {QStringLiteral("Suffix"), QStringLiteral("Suffix"), 4320, 855},
        {QStringLiteral("DOB"), QStringLiteral("DOB"), 5760, 1005}};
    const QList<std::tuple<QString, QString, int, int>> bottom{
        {QStringLiteral("Mom Maiden"), QStringLiteral("MomMaiden"), 0, 1290},
        {QStringLiteral("Mom Last"), QStringLiteral("MomLast"), 1440, 1290},
        {QStringLiteral("Mom First"), QStringLiteral("MomFirst"), 2880, 1290},
        {QStringLiteral("Mom Middle"), QStringLiteral("MomMiddle"), 4320, 1290},
        {QStringLiteral("Record ID"), QStringLiteral("ID"), 5760, 1005}};
    for (const auto& [caption, name, left, width] : top) {
        s.elements.push_back(label(caption, left, 0, width, 240, kCardLabel));
        s.elements.push_back(field(name, left, 288, width, 240));
    }
    for (const auto& [caption, name, left, width] : bottom) {
        s.elements.push_back(label(caption, left, 576, width, 240, kCardLabel));
        s.elements.push_back(field(name, left, 864, width, 240));
    }
    s.elements.push_back(label(QStringLiteral("Notes:"), 0, 1152, 720, 240, kCardLabel));
    s.elements.push_back(field(QStringLiteral("notes"), 864, 1152, allList ? 7785 : 7776, 240));
    s.elements.push_back(hrule(allList ? 1564 : 1544, 8640));
    return s;
}

} // namespace

int fieldColumn(const QAbstractItemModel& model, const QString& field)
{
    for (int column = 0; column < model.columnCount(); ++column)
        if (model.headerData(column, Qt::Horizontal, FieldRole).toString().compare(field, Qt::CaseInsensitive) == 0)
            return column;
    return -1;
}

namespace designs {

// A plain two-column list: no headings, no rules.
PageDesign rptOverall()
{
    PageDesign d;
    d.reportWidth = 8655;
    d.reportHeader = {
        QStringLiteral("Section4"), 450, {label(QStringLiteral("Summary of Results"), 288, 0, 6195, 420, kTitle)}};
    d.pageHeader = {QStringLiteral("Section2"), 675, {}};
    d.detail = {QStringLiteral("Section1"),
                285,
                {field(QStringLiteral("ResultDesc"), 288, 0, 6624, 240, kNine),
                 field(QStringLiteral("ResultValue"), 7056, 0, 1440, 240, kNine)}};
    d.pageFooter =
        footer({QStringLiteral("Section3"), 315, 0, 288, {288, 1440, 6480, 7056, 7632, 7920}, kFooterWidths});
    d.reportFooter = {QStringLiteral("Section5"), 360, {}};
    return d;
}

PageDesign rptProbTypeSummary()
{
    return ruledTable({
        .reportWidth = 8670,
        .defaultFont = kNine,
        .title = QStringLiteral("Results for Duplicate Records"),
        .titleWidth = 6480,
        .titleHeight = 432,
        .columns = {{QStringLiteral("Problem Type"), 144, 1584, 240, QStringLiteral("ProblemDesc"), 2736},
                    {QStringLiteral("Data Total"), 3024, 1005, 240, QStringLiteral("ProblemCount")},
                    {QStringLiteral("Rejected/ Merged"), 4176, 1005, 435, QStringLiteral("TotalCaught")},
                    {QStringLiteral("Flagged"), 5328, 1005, 435, QStringLiteral("TotalQM")},
                    {QStringLiteral("Missed"), 6480, 1005, 240, QStringLiteral("TotalMissed")},
                    {QStringLiteral("Score"), 7632, 1005, 240, QStringLiteral("Sensitivity")}},
        .verticalRules = {0, 2880, 4032, 5184, 6336, 7488, 8640},
        .headerRuleTops = {432, 576},
        .tableWidth = 8640,
        .sectionHeights = {576, 579, 300, 324, 360},
        .sectionNames = {QStringLiteral("ReportHeader"), QStringLiteral("PageHeader"), QStringLiteral("DataSection1"),
                         QStringLiteral("PageFooter"), QStringLiteral("ReportFooter")},
        .footer = {{}, 0, 0, 300, {144, 1296, 6336, 6912, 7488, 7776}, {1155, 1440, 570, 585, 285, 870}},
    });
}

PageDesign rptDupLikeSummary()
{
    return ruledTable({
        .reportWidth = 8655,
        .defaultFont = FontStyle{},
        .title = QStringLiteral("Results for Non- Duplicate Records"),
        .titleWidth = 6195,
        .titleHeight = 420,
        .columns = {{QStringLiteral("Problem Type"), 144, 1290, 576, QStringLiteral("ProblemDesc"), 3456},
                    {QStringLiteral("Data Total"), 3744, 1155, 576, QStringLiteral("ProblemCount")},
                    {QStringLiteral("Identified as Unique"), 5040, 1155, 576, QStringLiteral("TotalUnique")},
                    {QStringLiteral("Mistaken as Duplicate"), 6336, 1140, 576, QStringLiteral("TotalDupMistake")},
                    {QStringLiteral("Score"), 7632, 1005, 576, QStringLiteral("Specificity")}},
        .verticalRules = {0, 3600, 4896, 6192, 7488, 8640},
        .headerRuleTops = {576, 720},
        .tableWidth = 8640,
        .sectionHeights = {660, 720, 294, 339, 528},
        .sectionNames = kSectionNumbers,
        .footer = {{}, 0, 0, 288, kFooterLefts, kFooterWidths},
    });
}

PageDesign rptScoresByType()
{
    return ruledTable({
        .reportWidth = 8790,
        .defaultFont = FontStyle{},
        .title = QStringLiteral("Scores by Problem Type"),
        .titleWidth = 6480,
        .titleHeight = 435,
        .columns = {{QStringLiteral("Problem Type"), 144, 1728, 240, QStringLiteral("ProblemDesc"), 3744},
                    {QStringLiteral("Sensitivity Score"), 4176, 1725, 240, QStringLiteral("Sensitivity")},
                    {QStringLiteral("Specificity Score"), 6336, 1725, 240, QStringLiteral("Specificity")}},
        .verticalRules = {0, 4032, 6192, 8352},
        .headerRuleTops = {432, 576},
        .tableWidth = 8352,
        .sectionHeights = {585, 576, 294, 315, 360},
        .sectionNames = kSectionNumbers,
        .footer = {{}, 0, 0, 300, {144, 1296, 6336, 6912, 7488, 7776}, {1155, 1440, 570, 585, 285, 864}, kNine},
    });
}

PageDesign rptDupsMissed()
{
    return cards(8685, QStringLiteral("Duplicate Records Missed"), 144, 855, duplicateCard(false), 450, 0);
}

PageDesign rptNonDupsLost()
{
    return cards(8640, QStringLiteral("Non-Duplicate Records Lost"), 144, 864, nonDuplicateCard(false), 480, 360);
}

PageDesign rptAllNonDupList()
{
    return cards(8655, QStringLiteral("List of All Non- Duplicate Records"), 144, 864, nonDuplicateCard(true), 471, 45);
}

PageDesign rptAllDupsList()
{
    return cards(8655, QStringLiteral("List of All Duplicate Records"), 0, 885, duplicateCard(true), 435, 30);
}

PageDesign rptExplanation()
{
    const FontStyle small{7, false};
    const FontStyle smallBold{7, true};
    PageDesign d;
    d.reportWidth = 9360;
    d.defaultFont = small;
    d.reportHeader = {
        QStringLiteral("ReportHeader"),
        1500,
        {label(QStringLiteral("Explanation of a Test Record"), 0, 0, 6480, 420, kTitle),
         field(QStringLiteral("Heading"), 0, 480, 9360, 240, kNineBold),
         field(QStringLiteral("Verdict"), 0, 780, 9360, 480, kNine),
         label(QStringLiteral("Bold: differs from the group's main record."), 0, 1260, 9360, 200, small)}};
    // Line 1: the compared fields; line 2: what was found; line 3: how.
    const std::vector<std::tuple<QString, QString, int, int>> line1{
        {QStringLiteral("Record"), QStringLiteral("Row"), 0, 1300},
        {QStringLiteral("Last Name"), QStringLiteral("LastName"), 1300, 1000},
        {QStringLiteral("First Name"), QStringLiteral("FirstName"), 2300, 880},
        {QStringLiteral("Middle Name"), QStringLiteral("MiddleName"), 3180, 900},
        {QStringLiteral("Sfx"), QStringLiteral("Suffix"), 4080, 400},
        {QStringLiteral("DOB"), QStringLiteral("DOB"), 4480, 760},
        {QStringLiteral("Sex"), QStringLiteral("Sex"), 5240, 300},
        {QStringLiteral("Mom Maiden"), QStringLiteral("MomMaiden"), 5540, 1000},
        {QStringLiteral("Mom Last"), QStringLiteral("MomLast"), 6540, 940},
        {QStringLiteral("Mom First"), QStringLiteral("MomFirst"), 7480, 940},
        {QStringLiteral("Mom Middle"), QStringLiteral("MomMiddle"), 8420, 940}};
    const std::vector<std::tuple<QString, QString, int, int>> line2{
        {QStringLiteral("Vaccination"), QStringLiteral("Vaccination"), 1300, 1180},
        {QStringLiteral("Client"), QStringLiteral("Client"), 2480, 1000},
        {QStringLiteral("Flag"), QStringLiteral("Flag"), 3480, 400},
        {QStringLiteral("Outcome"), QStringLiteral("Outcome"), 3880, 1660},
        {QStringLiteral("Differs"), QStringLiteral("Differs"), 5540, 3820}};
    d.pageHeader = {QStringLiteral("PageHeader"), 500, {}};
    d.detail = {QStringLiteral("Detail"), 720, {}};
    for (const auto& [caption, name, left, width] : line1) {
        d.pageHeader.elements.push_back(label(caption, left, 0, width, 200, smallBold));
        d.detail.elements.push_back(field(name, left, 0, width, 200));
    }
    for (const auto& [caption, name, left, width] : line2) {
        d.pageHeader.elements.push_back(label(caption, left, 210, width, 200, smallBold));
        d.detail.elements.push_back(field(name, left, 210, width, 200));
    }
    d.pageHeader.elements.push_back(hrule(440, 9360));
    d.detail.elements.push_back(field(QStringLiteral("Found"), 1300, 420, 8060, 200));
    d.detail.elements.push_back(hrule(660, 9360));
    d.pageFooter =
        footer({QStringLiteral("PageFooter"), 300, 0, 240, {0, 1152, 7200, 7776, 8352, 8640}, kFooterWidths, small});
    d.reportFooter = {QStringLiteral("ReportFooter"), 0, {}};
    return d;
}

} // namespace designs

} // namespace marrowick
