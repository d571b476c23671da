#include "DashboardCharts.h"

#include <QAreaSeries>
#include <QBarCategoryAxis>
#include <QBarSet>
#include <QChart>
#include <QCursor>
#include <QDateTimeAxis>
#include <QHorizontalBarSeries>
#include <QLegendMarker>
#include <QLineSeries>
#include <QScatterSeries>
#include <QToolTip>
#include <QValueAxis>
#include <cmath>

namespace marrowick::dashboard {

namespace {

// Okabe–Ito colours, which colour-blind eyes tell apart. Every series differs
// by line, marker or place as well, so black-and-white print reads too.
const QColor kSkyBlue(0x56, 0xB4, 0xE9), kOrange(0xE6, 0x9F, 0x00), kBlue(0x00, 0x72, 0xB2),
    kVermillion(0xD5, 0x5E, 0x00);

QChart* newChart(const QString& title)
{
    auto* chart = new QChart;
    chart->setTitle(title);
    QFont bold = chart->titleFont();
    bold.setBold(true);
    chart->setTitleFont(bold);
    chart->setBackgroundRoundness(0);
    chart->setDropShadowEnabled(false);
    chart->setMargins(QMargins(4, 4, 12, 4));
    chart->legend()->setAlignment(Qt::AlignBottom);
    // Lines in the legend as they are drawn: solid, dashed, a whisker.
    chart->legend()->setMarkerShape(QLegend::MarkerShapeFromSeries);
    return chart;
}

QValueAxis* valueAxis(QChart* chart, Qt::Alignment side, double low, double high, const QString& title)
{
    auto* axis = new QValueAxis;
    axis->setRange(low, high);
    axis->setLabelFormat(QStringLiteral("%d"));
    axis->setTitleText(title);
    chart->addAxis(axis, side);
    return axis;
}

void attach(QChart* chart, QAbstractSeries* series)
{
    chart->addSeries(series);
    for (QAbstractAxis* axis : chart->axes()) series->attachAxis(axis);
}

// One kind's figures as horizontal bars, worst at the top, each with a whisker
// across its interval: with a dozen records a type's score moves by several
// points on chance alone, and the whisker shows how far. Equal scores keep the
// reports' order. Bars are added from the bottom, as a category axis counts.
QChart* barChart(const QString& title, const std::vector<Figure>& figures, bool sensitivity, const QColor& colour)
{
    std::vector<const Figure*> shown;
    for (const Figure& f : figures)
        if (!f.isOverall() && f.isSensitivity() == sensitivity && f.value()) shown.push_back(&f);
    std::stable_sort(shown.begin(), shown.end(),
                     [](const Figure* a, const Figure* b) { return *a->value() < *b->value(); });
    std::reverse(shown.begin(), shown.end());

    QChart* chart = newChart(title);
    auto* set = new QBarSet(sensitivity ? QStringLiteral("Sensitivity") : QStringLiteral("Specificity"));
    set->setBrush(colour);
    set->setPen(QPen(Qt::black, 0.5));
    auto* categories = new QBarCategoryAxis;
    QFont small = categories->labelsFont();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    // A label longer than any the deck has is shortened; hovering its bar
    // shows it whole, with its score.
    const QFontMetrics metrics(small);
    QStringList labels;
    for (const Figure* f : shown) {
        set->append(*f->value());
        const QString shortened = metrics.elidedText(f->label, Qt::ElideRight, 40 * metrics.averageCharWidth());
        labels << (labels.contains(shortened) ? f->label : shortened);
    }
    auto* bars = new QHorizontalBarSeries;
    bars->append(set);
    bars->setBarWidth(0.65);
    QObject::connect(bars, &QHorizontalBarSeries::hovered, chart, [shown](bool status, int index) {
        if (status && index >= 0 && size_t(index) < shown.size())
            QToolTip::showText(QCursor::pos(), QStringLiteral("%1: %2").arg(shown[size_t(index)]->label,
                                                                            percent(*shown[size_t(index)]->value())));
        else
            QToolTip::hideText();
    });
    categories->append(labels);
    // Whole labels, small enough that none of the 30-odd problem types is skipped.
    categories->setTruncateLabels(false);
    categories->setLabelsFont(small);
    chart->addAxis(categories, Qt::AlignLeft);
    valueAxis(chart, Qt::AlignBottom, 0, 100, QStringLiteral("%, with 95 % confidence interval"))->setTickCount(11);
    attach(chart, bars);
    for (size_t i = 0; i < shown.size(); ++i) {
        const Interval ci = shown[i]->interval();
        const double at = double(i), cap = 0.22;
        auto* whisker = new QLineSeries;
        whisker->setName(QStringLiteral("95 % confidence interval"));
        whisker->setPen(QPen(Qt::black, 1.5));
        // An I on its side: a cap, the span, a cap.
        whisker->append({{ci.low, at - cap},
                         {ci.low, at + cap},
                         {ci.low, at},
                         {ci.high, at},
                         {ci.high, at + cap},
                         {ci.high, at - cap}});
        attach(chart, whisker);
    }
    // The title names the bars and the axis the whiskers: the room is the labels'.
    chart->legend()->hide();
    return chart;
}

} // namespace

QString percent(double value) { return QStringLiteral("%1 %").arg(value, 0, 'f', 2); }

QChart* sensitivityChart(const std::vector<Figure>& figures)
{
    return barChart(QStringLiteral("Sensitivity by problem type"), figures, true, kSkyBlue);
}

QChart* specificityChart(const std::vector<Figure>& figures)
{
    return barChart(QStringLiteral("Specificity by kind of look-alike"), figures, false, kOrange);
}

namespace {

// The range each score spanned over the older runs, in at most sixty steps:
// an area between the lowest and the highest.
QAreaSeries* rangeBand(const std::vector<SavedRun>& runs, size_t count, bool sensitivity, const QColor& colour,
                       Qt::BrushStyle pattern)
{
    constexpr size_t kBins = 60;
    auto* upper = new QLineSeries;
    auto* lower = new QLineSeries;
    for (size_t bin = 0; bin < kBins; ++bin) {
        const size_t first = bin * count / kBins, last = (bin + 1) * count / kBins;
        if (first == last) continue;
        double low = 100, high = 0;
        for (size_t i = first; i < last; ++i) {
            const double v = sensitivity ? runs[i].sensitivity : runs[i].specificity;
            low = std::min(low, v);
            high = std::max(high, v);
        }
        for (size_t i : {first, last - 1}) {
            upper->append(double(runs[i].time.toMSecsSinceEpoch()), high);
            lower->append(double(runs[i].time.toMSecsSinceEpoch()), low);
        }
    }
    auto* band = new QAreaSeries(upper, lower);
    upper->setParent(band);
    lower->setParent(band);
    band->setName(QStringLiteral("%1, runs %2–%3: range")
                      .arg(sensitivity ? QStringLiteral("Sensitivity") : QStringLiteral("Specificity"))
                      .arg(runs.front().run)
                      .arg(runs[count - 1].run));
    QColor light = colour;
    light.setAlpha(90);
    band->setBrush(QBrush(light, pattern));
    band->setPen(QPen(colour, 0.5));
    return band;
}

} // namespace

// The last hundred runs in full, by the date they were evaluated; older ones
// as a band of the range their scores spanned, so that ten thousand runs
// read as well as ten.
QChart* trendChart(const std::vector<history::TrendPoint>& points, const std::vector<SavedRun>& runs)
{
    const size_t older =
        points.empty() ? runs.size() : size_t(std::count_if(runs.begin(), runs.end(), [&](const SavedRun& r) {
            return r.run < points.front().run;
        }));
    QChart* chart = newChart(QStringLiteral("Overall scores by run"));
    // Markers while they stay apart; past that, packed markers would hide
    // the dashes, and the lines alone tell the two apart.
    const bool markers = points.size() <= 40;
    auto* sensitivity = new QLineSeries;
    sensitivity->setName(markers ? QStringLiteral("Sensitivity (solid, circles)")
                                 : QStringLiteral("Sensitivity (solid)"));
    sensitivity->setPen(QPen(kBlue, 2.5));
    sensitivity->setPointsVisible(markers);
    sensitivity->setMarkerSize(5);
    auto* specificity = new QLineSeries;
    specificity->setName(markers ? QStringLiteral("Specificity (dashed, squares)")
                                 : QStringLiteral("Specificity (dashed)"));
    specificity->setPen(QPen(kVermillion, 2.5, Qt::DashLine));
    auto* squares = new QScatterSeries;
    squares->setVisible(markers);
    squares->setMarkerShape(QScatterSeries::MarkerShapeRectangle);
    squares->setMarkerSize(9);
    squares->setColor(kVermillion);
    squares->setBorderColor(kVermillion);
    double lowest = 100;
    for (const history::TrendPoint& p : points) {
        const double at = double(p.time.toMSecsSinceEpoch());
        if (const std::optional<double> v = p.sensitivity.value()) {
            sensitivity->append(at, *v);
            lowest = std::min(lowest, *v);
        }
        if (const std::optional<double> v = p.specificity.value()) {
            specificity->append(at, *v);
            squares->append(at, *v);
            lowest = std::min(lowest, *v);
        }
    }
    std::vector<QAbstractSeries*> series;
    if (older) {
        for (bool which : {true, false}) {
            QAreaSeries* band =
                rangeBand(runs, older, which, which ? kBlue : kVermillion, which ? Qt::BDiagPattern : Qt::FDiagPattern);
            for (const QPointF& p : band->lowerSeries()->points()) lowest = std::min(lowest, p.y());
            series.push_back(band);
        }
    }
    const QDateTime first = runs.empty() ? QDateTime::currentDateTimeUtc() : runs.front().time;
    const QDateTime last = runs.empty() ? first : runs.back().time;
    auto* dates = new QDateTimeAxis;
    // Room either side of the first and last run; a day apart at least.
    const qint64 span = std::max<qint64>(first.secsTo(last), 86400);
    dates->setRange(first.addSecs(-span / 20), last.addSecs(span / 20));
    dates->setFormat(span > 3 * 86400 ? QStringLiteral("yyyy-MM-dd") : QStringLiteral("MM-dd HH:mm"));
    dates->setTickCount(5);
    dates->setTitleText(QStringLiteral("Evaluated (UTC)"));
    chart->addAxis(dates, Qt::AlignBottom);
    // Scores sit near the top: a scale from 0 would flatten every change.
    valueAxis(chart, Qt::AlignLeft, std::max(0.0, std::floor((lowest - 2) / 5) * 5), 100, QStringLiteral("%"));
    series.insert(series.end(), {sensitivity, specificity, squares});
    for (QAbstractSeries* s : series) attach(chart, s);
    chart->legend()->markers(squares).front()->setVisible(false);
    return chart;
}

QBarCategoryAxis* categoryAxis(const QChart& chart)
{
    return qobject_cast<QBarCategoryAxis*>(chart.axes(Qt::Vertical).front());
}

int widestCategory(const QChart& chart)
{
    QBarCategoryAxis* categories = categoryAxis(chart);
    const QFontMetrics metrics(categories->labelsFont());
    int widest = 0;
    for (const QString& label : categories->categories()) widest = std::max(widest, metrics.horizontalAdvance(label));
    return widest;
}

} // namespace marrowick::dashboard
