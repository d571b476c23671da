#pragma once
#include <QString>
#include <optional>
#include <vector>

namespace marrowick {

// The eight printed reports, as data. Lengths are in twips (1/1440 inch),
// positions inside their section.

struct FontSpec {
    double points = 8.25;
    bool bold = false;
};

struct Element {
    enum Kind { Label, Field, HRule, VRule } kind;
    QString text; // the label's text, or the field's column name
    int left = 0, top = 0, width = 0, height = 0;
    std::optional<FontSpec> font; // the design's default font when not given
};

struct Section {
    QString name;
    int height = 0;
    std::vector<Element> elements;
};

struct PageDesign {
    QString name;           // rptOverall ...
    QString previewCaption; // the preview window's caption
    int reportWidth = 0;
    int margin = 1440;      // on all four sides
    FontSpec defaultFont;
    Section reportHeader, pageHeader, detail, pageFooter, reportFooter;

};

// The design of a report index 0 to 7; null for any other.
const PageDesign* pageDesignAt(int index);

} // namespace marrowick
