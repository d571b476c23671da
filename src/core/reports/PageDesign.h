#pragma once
#include <QString>
#include <Qt>
#include <optional>
#include <vector>

class QAbstractItemModel;

namespace marrowick {

// A printed report's layout, as data. Lengths are in twips (1/1440 inch),
// positions inside their section.

struct FontStyle {
    double points = 8.25;
    bool bold = false;
};

struct Element {
    enum Kind { Label, Field, HRule, VRule } kind;
    QString text; // the label's text, or the field's column name
    int left = 0, top = 0, width = 0, height = 0;
    std::optional<FontStyle> font; // the design's default font when not given
};

struct Section {
    QString name;
    int height = 0;
    std::vector<Element> elements;
};

struct PageDesign {
    int reportWidth = 0;
    int margin = 1440; // on all four sides
    FontStyle defaultFont;
    Section reportHeader, pageHeader, detail, pageFooter, reportFooter;
};

// The horizontal header role under which a model names each column's field;
// a design's fields bind to it without regard to case.
constexpr int FieldRole = Qt::UserRole + 1;
// The column whose field has that name, without regard to case; -1 if none.
int fieldColumn(const QAbstractItemModel& model, const QString& field);

// The eight designs, each named after the report it prints.
namespace designs {
PageDesign rptOverall();
PageDesign rptProbTypeSummary();
PageDesign rptDupLikeSummary();
PageDesign rptScoresByType();
PageDesign rptDupsMissed();
PageDesign rptNonDupsLost();
PageDesign rptAllNonDupList();
PageDesign rptAllDupsList();
// One test record's explanation: heading and verdict, then a grid of three lines per row.
PageDesign rptExplanation();
} // namespace designs

} // namespace marrowick
