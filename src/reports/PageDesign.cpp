#include "PageDesign.h"

#include "ReportCatalogue.h"

#include <array>

namespace marrowick {

namespace {

const FontSpec kTitle{14.25, true};
const FontSpec kNine{9, false};
const FontSpec kNineBold{9, true};
const FontSpec kCardLabel{8.25, true};

Element label(const QString& text, int left, int top, int width, int height, std::optional<FontSpec> font = {})
{
    return {Element::Label, text, left, top, width, height, font};
}

Element field(const QString& name, int left, int top, int width, int height, std::optional<FontSpec> font = {})
{
    return {Element::Field, name, left, top, width, height, font};
}

Element hrule(int top, int width) { return {Element::HRule, {}, 0, top, width, 0, {}}; }
Element vrule(int left, int height) { return {Element::VRule, {}, left, 0, 0, height, {}}; }

// Date and time at the left, "page N of M" at the right.
Section footer(const QString& name, int height, int top, int labelHeight, const std::array<int, 6>& lefts,
               const std::array<int, 6>& widths, std::optional<FontSpec> font = {})
{
    const std::array<QString, 6> codes{QStringLiteral("%d"), QStringLiteral("%T"), QStringLiteral("page"),
                                       QStringLiteral("%p"), QStringLiteral("of"), QStringLiteral("%P")};
    Section section{name, height, {}};
    for (size_t i = 0; i < codes.size(); ++i)
        section.elements.push_back(label(codes[i], lefts[i], top, widths[i], labelHeight, font));
    return section;
}

struct Column {
    QString heading;
    int left, width, headingHeight;
    QString fieldName;
    int fieldWidth; // 0: the heading's width
};

// Designs 1 to 3: a title, a ruled row of headings on every page, ruled rows.
PageDesign ruledTable(const QString& name, int index, int reportWidth, FontSpec defaultFont, const QString& title,
                      int titleWidth, int titleHeight, const std::vector<Column>& columns, const std::vector<int>& vrules,
                      const std::array<int, 2>& headerRules, int tableWidth, const std::array<int, 5>& heights,
                      const std::array<QString, 5>& sectionNames, Section pageFooter)
{
    PageDesign d;
    d.name = name;
    d.previewCaption = reportAt(index)->previewCaption;
    d.reportWidth = reportWidth;
    d.defaultFont = defaultFont;
    d.reportHeader = {sectionNames[0], heights[0], {label(title, 144, 144, titleWidth, titleHeight, kTitle), hrule(576, tableWidth)}};
    d.pageHeader = {sectionNames[1], heights[1], {}};
    d.detail = {sectionNames[2], heights[2], {}};
    for (const Column& c : columns) {
        d.pageHeader.elements.push_back(label(c.heading, c.left, 0, c.width, c.headingHeight, kNineBold));
        d.detail.elements.push_back(field(c.fieldName, c.left, 0, c.fieldWidth ? c.fieldWidth : c.width, 240, kNine));
    }
    for (int top : headerRules)
        d.pageHeader.elements.push_back(hrule(top, tableWidth));
    for (int left : vrules) {
        d.pageHeader.elements.push_back(vrule(left, headerRules[1]));
        d.detail.elements.push_back(vrule(left, 285));
    }
    d.detail.elements.push_back(hrule(288, tableWidth));
    d.pageFooter = std::move(pageFooter);
    d.reportFooter = {sectionNames[4], heights[4], {}};
    return d;
}

// Designs 4 to 7: the title on every page, one card per record.
PageDesign cards(const QString& name, int index, int reportWidth, const QString& title, int titleTop, int pageHeaderHeight,
                 Section detail, int footerHeight, int reportFooterHeight)
{
    PageDesign d;
    d.name = name;
    d.previewCaption = reportAt(index)->previewCaption;
    d.reportWidth = reportWidth;
    d.defaultFont = FontSpec{};
    d.reportHeader = {QStringLiteral("Section4"), 0, {}};
    d.pageHeader = {QStringLiteral("Section2"), pageHeaderHeight,
                    {label(title, 0, titleTop, 6195, 420, kTitle), hrule(576, 8640), hrule(720, 8640)}};
    d.detail = std::move(detail);
    d.pageFooter = footer(QStringLiteral("Section3"), footerHeight, 144, 285, {144, 1296, 6480, 7056, 7632, 7920},
                          {1155, 1440, 570, 585, 285, 720});
    d.reportFooter = {QStringLiteral("Section5"), reportFooterHeight, {}};
    return d;
}

// The card of designs 4 and 7; design 7 narrows some widths and heights.
Section duplicateCard(bool allList)
{
    const int w1296 = allList ? 1290 : 1296;
    const int w864 = allList ? 855 : 864;
    const int w1008 = allList ? 1005 : 1008;
    const int rowHeight = allList ? 285 : 288;
    const QList<QPair<QString, QString>> names{{QStringLiteral("Last Name"), QStringLiteral("LastName")},
                                               {QStringLiteral("First Name"), QStringLiteral("FirstName")},
                                               {QStringLiteral("Middle Name"), QStringLiteral("MiddleName")},
                                               {QStringLiteral("Suffix"), QStringLiteral("Suffix")},
                                               {QStringLiteral("DOB"), QStringLiteral("DOB")}};
    const std::array<int, 5> nameLefts{0, 1440, 2880, 4320, 5616};
    const std::array<int, 5> nameWidths{w1296, w1296, w1296, w864, w1008};
    const QList<QPair<QString, QString>> mothers{{QStringLiteral("Mom Maiden"), QStringLiteral("MomMaiden")},
                                                 {QStringLiteral("Mom Last"), QStringLiteral("MomLast")},
                                                 {QStringLiteral("Mom First"), QStringLiteral("MomFirst")},
                                                 {QStringLiteral("Mom Middle"), QStringLiteral("MomMiddle")}};
    const std::array<int, 4> motherWidths{w1296, w1296, 1290, 1290};

    Section s{QStringLiteral("DataSection1"), 1920, {}};
    s.elements.push_back(label(QStringLiteral("Problem Type:"), 0, 0, 1440, rowHeight, kCardLabel));
    s.elements.push_back(field(QStringLiteral("ProbDesc"), 1440, 0, 2880, rowHeight));
    s.elements.push_back(label(QStringLiteral("Record ID:"), 4320, 0, allList ? 1140 : 1152, rowHeight, kCardLabel));
    s.elements.push_back(field(QStringLiteral("ID"), 5616, 0, 1005, rowHeight));
    for (int i = 0; i < 5; ++i) {
        s.elements.push_back(label(names[i].first, nameLefts[size_t(i)], 288, nameWidths[size_t(i)], rowHeight, kCardLabel));
        s.elements.push_back(field(names[i].second, nameLefts[size_t(i)], 576, nameWidths[size_t(i)], rowHeight));
    }
    for (int i = 0; i < 4; ++i) {
        s.elements.push_back(label(mothers[i].first, 1440 * i, allList ? 855 : 864, motherWidths[size_t(i)], rowHeight, kCardLabel));
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

std::vector<PageDesign> makeDesigns()
{
    std::vector<PageDesign> designs;

    PageDesign overall;
    overall.name = QStringLiteral("rptOverall");
    overall.previewCaption = reportAt(0)->previewCaption;
    overall.reportWidth = 8655;
    overall.reportHeader = {QStringLiteral("Section4"), 450, {label(QStringLiteral("Summary of Results"), 288, 0, 6195, 420, kTitle)}};
    overall.pageHeader = {QStringLiteral("Section2"), 675, {}};
    overall.detail = {QStringLiteral("Section1"), 285,
                      {field(QStringLiteral("ResultDesc"), 288, 0, 6624, 240, kNine),
                       field(QStringLiteral("ResultValue"), 7056, 0, 1440, 240, kNine)}};
    overall.pageFooter = footer(QStringLiteral("Section3"), 315, 0, 288, {288, 1440, 6480, 7056, 7632, 7920},
                                {1155, 1440, 570, 585, 285, 720});
    overall.reportFooter = {QStringLiteral("Section5"), 360, {}};
    designs.push_back(overall);

    designs.push_back(ruledTable(
        QStringLiteral("rptProbTypeSummary"), 1, 8670, kNine, QStringLiteral("Results for Duplicate Records"), 6480, 432,
        {{QStringLiteral("Problem Type"), 144, 1584, 240, QStringLiteral("ProblemDesc"), 2736},
         {QStringLiteral("Data Total"), 3024, 1005, 240, QStringLiteral("ProblemCount"), 0},
         {QStringLiteral("Rejected/ Merged"), 4176, 1005, 435, QStringLiteral("TotalCaught"), 0},
         {QStringLiteral("Flagged"), 5328, 1005, 435, QStringLiteral("TotalQM"), 0},
         {QStringLiteral("Missed"), 6480, 1005, 240, QStringLiteral("TotalMissed"), 0},
         {QStringLiteral("Score"), 7632, 1005, 240, QStringLiteral("Sensitivity"), 0}},
        {0, 2880, 4032, 5184, 6336, 7488, 8640}, {432, 576}, 8640, {576, 579, 300, 324, 360},
        {QStringLiteral("ReportHeader"), QStringLiteral("PageHeader"), QStringLiteral("DataSection1"), QStringLiteral("PageFooter"),
         QStringLiteral("ReportFooter")},
        footer(QStringLiteral("PageFooter"), 324, 0, 300, {144, 1296, 6336, 6912, 7488, 7776}, {1155, 1440, 570, 585, 285, 870})));

    designs.push_back(ruledTable(
        QStringLiteral("rptDupLikeSummary"), 2, 8655, FontSpec{}, QStringLiteral("Results for Non- Duplicate Records"), 6195, 420,
        {{QStringLiteral("Problem Type"), 144, 1290, 576, QStringLiteral("ProblemDesc"), 3456},
         {QStringLiteral("Data Total"), 3744, 1155, 576, QStringLiteral("ProblemCount"), 0},
         {QStringLiteral("Identified as Unique"), 5040, 1155, 576, QStringLiteral("TotalUnique"), 0},
         {QStringLiteral("Mistaken as Duplicate"), 6336, 1140, 576, QStringLiteral("TotalDupMistake"), 0},
         {QStringLiteral("Score"), 7632, 1005, 576, QStringLiteral("Specificity"), 0}},
        {0, 3600, 4896, 6192, 7488, 8640}, {576, 720}, 8640, {660, 720, 294, 339, 528},
        {QStringLiteral("Section4"), QStringLiteral("Section2"), QStringLiteral("DataSection1"), QStringLiteral("Section3"),
         QStringLiteral("Section5")},
        footer(QStringLiteral("Section3"), 339, 0, 288, {144, 1296, 6480, 7056, 7632, 7920}, {1155, 1440, 570, 585, 285, 720})));

    designs.push_back(ruledTable(
        QStringLiteral("rptScoresByType"), 3, 8790, FontSpec{}, QStringLiteral("Scores by Problem Type"), 6480, 435,
        {{QStringLiteral("Problem Type"), 144, 1728, 240, QStringLiteral("ProblemDesc"), 3744},
         {QStringLiteral("Sensitivity Score"), 4176, 1725, 240, QStringLiteral("Sensitivity"), 0},
         {QStringLiteral("Specificity Score"), 6336, 1725, 240, QStringLiteral("Specificity"), 0}},
        {0, 4032, 6192, 8352}, {432, 576}, 8352, {585, 576, 294, 315, 360},
        {QStringLiteral("Section4"), QStringLiteral("Section2"), QStringLiteral("DataSection1"), QStringLiteral("Section3"),
         QStringLiteral("Section5")},
        footer(QStringLiteral("Section3"), 315, 0, 300, {144, 1296, 6336, 6912, 7488, 7776}, {1155, 1440, 570, 585, 285, 864},
               kNine)));

    designs.push_back(cards(QStringLiteral("rptDupsMissed"), 4, 8685, QStringLiteral("Duplicate Records Missed"), 144, 855,
                            duplicateCard(false), 450, 0));
    designs.push_back(cards(QStringLiteral("rptNonDupsLost"), 5, 8640, QStringLiteral("Non-Duplicate Records Lost"), 144, 864,
                            nonDuplicateCard(false), 480, 360));
    designs.push_back(cards(QStringLiteral("rptAllNonDupList"), 6, 8655, QStringLiteral("List of All Non- Duplicate Records"), 144,
                            864, nonDuplicateCard(true), 471, 45));
    designs.push_back(cards(QStringLiteral("rptAllDupsList"), 7, 8655, QStringLiteral("List of All Duplicate Records"), 0, 885,
                            duplicateCard(true), 435, 30));
    return designs;
}

} // namespace

const PageDesign* pageDesignAt(int index)
{
    static const std::vector<PageDesign> designs = makeDesigns();
    return index >= 0 && index < int(designs.size()) ? &designs[size_t(index)] : nullptr;
}

} // namespace marrowick
