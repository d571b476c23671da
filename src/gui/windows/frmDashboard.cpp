#include "frmDashboard.h"

#include "RowFilter.h"
#include "reports/Explanation.h"
#include "reports/PdfExport.h"
#include "ReportPreview.h"
#include "frmExplain.h"

#include <QAreaSeries>
#include <QBarCategoryAxis>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QCursor>
#include <QCompleter>
#include <QDateTimeAxis>
#include <QDir>
#include <QGraphicsScene>
#include <QGridLayout>
#include <QHash>
#include <QHeaderView>
#include <QHorizontalBarSeries>
#include <QKeyEvent>
#include <QLabel>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintPreviewWidget>
#include <QPushButton>
#include <QScatterSeries>
#include <QScrollArea>
#include <QSettings>
#include <QStandardItemModel>
#include <QStringListModel>
#include <QTabWidget>
#include <QToolTip>
#include <QTableView>
#include <QVBoxLayout>
#include <QValueAxis>
#include <tuple>
#include <cmath>

namespace marrowick {

using namespace windows;

namespace {

QPointer<frmDashboard> g_dashboard;

// Okabe–Ito colours, which colour-blind eyes tell apart. Every series differs
// by line, marker or place as well, so black-and-white print reads too.
const QColor kSkyBlue(0x56, 0xB4, 0xE9), kOrange(0xE6, 0x9F, 0x00), kBlue(0x00, 0x72, 0xB2), kVermillion(0xD5, 0x5E, 0x00);

QString percent(double value) { return QStringLiteral("%1 %").arg(value, 0, 'f', 2); }

QString figureText(const Figure& f)
{
    const std::optional<double> value = f.value();
    if (!value)
        return QStringLiteral("no records");
    const Interval ci = f.interval();
    return QStringLiteral("%1 (95 % CI %2–%3 %)").arg(percent(*value)).arg(ci.low, 0, 'f', 2).arg(ci.high, 0, 'f', 2);
}

QString runText(const SavedRun& r)
{
    return QStringLiteral("%1 (%2, %3 UTC)").arg(r.run).arg(r.file, r.time.toString(QStringLiteral("yyyy-MM-dd HH:mm")));
}

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
    for (QAbstractAxis* axis : chart->axes())
        series->attachAxis(axis);
}

// One kind's figures as horizontal bars, worst at the top, each with a whisker
// across its interval: with a dozen records a type's score moves by several
// points on chance alone, and the whisker shows how far. Equal scores keep the
// reports' order. Bars are added from the bottom, as a category axis counts.
QChart* barChart(const QString& title, const std::vector<Figure>& figures, bool sensitivity, const QColor& colour)
{
    std::vector<const Figure*> shown;
    for (const Figure& f : figures)
        if (!f.isOverall() && f.isSensitivity() == sensitivity && f.value())
            shown.push_back(&f);
    std::stable_sort(shown.begin(), shown.end(), [](const Figure* a, const Figure* b) { return *a->value() < *b->value(); });
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
            QToolTip::showText(QCursor::pos(), QStringLiteral("%1: %2").arg(shown[size_t(index)]->label, percent(*shown[size_t(index)]->value())));
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
        whisker->append({{ci.low, at - cap}, {ci.low, at + cap}, {ci.low, at}, {ci.high, at}, {ci.high, at + cap},
                         {ci.high, at - cap}});
        attach(chart, whisker);
    }
    // The title names the bars and the axis the whiskers: the room is the labels'.
    chart->legend()->hide();
    return chart;
}
QChart* sensitivityChart(const std::vector<Figure>& figures)
{
    return barChart(QStringLiteral("Sensitivity by problem type"), figures, true, kSkyBlue);
}
QChart* specificityChart(const std::vector<Figure>& figures)
{
    return barChart(QStringLiteral("Specificity by kind of look-alike"), figures, false, kOrange);
}

// The range each score spanned over the older runs, in at most sixty steps:
// an area between the lowest and the highest.
QAreaSeries* rangeBand(const std::vector<SavedRun>& runs, size_t count, bool sensitivity, const QColor& colour, Qt::BrushStyle pattern)
{
    constexpr size_t kBins = 60;
    auto* upper = new QLineSeries;
    auto* lower = new QLineSeries;
    for (size_t bin = 0; bin < kBins; ++bin) {
        const size_t first = bin * count / kBins, last = (bin + 1) * count / kBins;
        if (first == last)
            continue;
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

// The last hundred runs in full, by the date they were evaluated; older ones
// as a band of the range their scores spanned, so that ten thousand runs
// read as well as ten.
QChart* trendChart(const std::vector<history::TrendPoint>& points, const std::vector<SavedRun>& runs)
{
    const size_t older = points.empty() ? runs.size()
                                        : size_t(std::count_if(runs.begin(), runs.end(),
                                                               [&](const SavedRun& r) { return r.run < points.front().run; }));
    QChart* chart = newChart(QStringLiteral("Overall scores by run"));
    // Markers while they stay apart; past that, packed markers would hide
    // the dashes, and the lines alone tell the two apart.
    const bool markers = points.size() <= 40;
    auto* sensitivity = new QLineSeries;
    sensitivity->setName(markers ? QStringLiteral("Sensitivity (solid, circles)") : QStringLiteral("Sensitivity (solid)"));
    sensitivity->setPen(QPen(kBlue, 2.5));
    sensitivity->setPointsVisible(markers);
    sensitivity->setMarkerSize(5);
    auto* specificity = new QLineSeries;
    specificity->setName(markers ? QStringLiteral("Specificity (dashed, squares)") : QStringLiteral("Specificity (dashed)"));
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
            QAreaSeries* band = rangeBand(runs, older, which, which ? kBlue : kVermillion, which ? Qt::BDiagPattern : Qt::FDiagPattern);
            for (const QPointF& p : band->lowerSeries()->points())
                lowest = std::min(lowest, p.y());
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
    for (QAbstractSeries* s : series)
        attach(chart, s);
    chart->legend()->markers(squares).front()->setVisible(false);
    return chart;
}

QStandardItem* cell(const QString& text, Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter)
{
    auto* item = new QStandardItem(text);
    item->setTextAlignment(alignment);
    return item;
}

// The value with its interval, so that "beyond both" can be checked by eye;
// the column's heading says they are percentages.
QString valueOrDash(const Figure& f)
{
    if (!f.value())
        return QStringLiteral("–");
    const Interval ci = f.interval();
    return QStringLiteral("%1 (%2–%3)").arg(*f.value(), 0, 'f', 2).arg(ci.low, 0, 'f', 2).arg(ci.high, 0, 'f', 2);
}

QStringList changeHeadings(const RunComparison& c)
{
    const QString run = QStringLiteral("Run %1, % (95 % CI)");
    return {QStringLiteral("Figure"), run.arg(c.from), run.arg(c.to), QStringLiteral("Change"), QStringLiteral("Beyond both")};
}

// Before, after, difference in points and the verdict on chance, in words.
QStringList changeTexts(const FigureChange& c)
{
    const std::optional<double> b = c.before.value(), a = c.after.value();
    const QString difference = a && b ? QStringLiteral("%1%2").arg(*a > *b ? QStringLiteral("+") : QString()).arg(*a - *b, 0, 'f', 2)
                                      : QStringLiteral("–");
    const QString beyond = !a || !b ? QStringLiteral("–") : c.beyondIntervals() ? QStringLiteral("YES") : QStringLiteral("no");
    return {c.after.label, valueOrDash(c.before), valueOrDash(c.after), difference, beyond};
}

// Whether a record fared better or worse: a duplicate caught beats one
// flagged, which beats one missed; a person kept whole beats one merged with
// a stranger or lost. A record absent under its own names was merged into
// its group. A record new to a run is neither.
QString changeWord(const QString& before, const QString& after)
{
    // A group's main record, found ("main"), fares as well as a duplicate caught.
    static const QHash<QString, int> rank{
        {QStringLiteral("main"), 3},    {QStringLiteral("caught"), 3},         {QStringLiteral("absent"), 3},
        {QStringLiteral("kept_apart"), 3}, {QStringLiteral("flagged"), 2},     {QStringLiteral("missed"), 1},
        {QStringLiteral("stranger_merge"), 0}, {QStringLiteral("lost"), 0}};
    if (!rank.contains(before) || !rank.contains(after) || rank[before] == rank[after])
        return QStringLiteral("neutral");
    return rank[after] > rank[before] ? QStringLiteral("better") : QStringLiteral("worse");
}

QString outcomeText(const QString& outcome)
{
    return outcome.isEmpty() ? QStringLiteral("(not in run)") : explain::outcomeWords(outcome);
}

} // namespace

frmDashboard* frmDashboard::open(QWidget* near)
{
    const QString consequence = QStringLiteral("The dashboard cannot be shown.");
    std::optional<qint64> newest;
    try {
        newest = history::resolveRun(-1);
    } catch (...) {
        showCurrentFailure(consequence);
        return nullptr;
    }
    if (!newest) {
        platform().MsgBox(QStringLiteral("Dashboard"),
                          QStringLiteral("There is no evaluation to show yet. Each evaluation of a results file is kept, "
                                         "and the dashboard shows the newest."),
                          MsgIcon::Information, MsgButtons::Ok);
        return nullptr;
    }
    if (g_dashboard && g_dashboard->run() == *newest) {
        g_dashboard->raise();
        showAndActivate(g_dashboard);
        return g_dashboard;
    }
    // New, or open on an older run since an evaluation completed.
    return openBeside(near, consequence, [&] {
        std::unique_ptr<frmDashboard> created(g_dashboard ? nullptr : new frmDashboard);
        frmDashboard* window = created ? created.get() : g_dashboard.data();
        window->load(*newest);
        if (created)
            g_dashboard = created.release();
        return window;
    });
}

frmDashboard::frmDashboard()
    : DataWindow(QStringLiteral("frmDashboard")), m_figureChanges(new QStandardItemModel(this)),
      m_records(new QStandardItemModel(this))
{
    lblScores = plainLabel(this, QStringLiteral("lblScores"));
    QFont larger = lblScores->font();
    larger.setPointSizeF(larger.pointSizeF() * 1.15);
    lblScores->setFont(larger);
    cboCompare = new QComboBox(this);
    cboCompare->setObjectName(QStringLiteral("cboCompare"));
    // Room for a run's number, file and time; a long file name is cut, not the scores beside it.
    cboCompare->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    cboCompare->setMinimumContentsLength(32);
    // Thousands of runs: typing any part of a run's number, file or date narrows the list.
    m_choices = new QStringListModel(cboCompare);
    cboCompare->setModel(m_choices);
    cboCompare->setEditable(true);
    cboCompare->setInsertPolicy(QComboBox::NoInsert);
    cboCompare->completer()->setFilterMode(Qt::MatchContains);
    cboCompare->completer()->setCompletionMode(QCompleter::PopupCompletion);
    auto* compareLabel = new QLabel(QStringLiteral("Compare &with..."), this);
    compareLabel->setBuddy(cboCompare);

    tabs = new QTabWidget(this);
    tabs->setObjectName(QStringLiteral("tabs"));
    // On a small screen the charts scroll rather than skip every other label.
    auto* scroller = new QScrollArea(this);
    scroller->setObjectName(QStringLiteral("charts"));
    scroller->setFrameShape(QFrame::NoFrame);
    scroller->setWidgetResizable(true);
    scroller->setWidget(chartsTab());
    tabs->addTab(scroller, QStringLiteral("C&harts"));
    tabs->addTab(comparisonTab(), QStringLiteral("Co&mparison"));

    QHBoxLayout* buttons = outputRow();

    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    top->addWidget(lblScores, 1);
    top->addWidget(compareLabel, 0, Qt::AlignTop);
    top->addWidget(cboCompare, 0, Qt::AlignTop);
    layout->addLayout(top);
    layout->addWidget(tabs, 1);
    layout->addLayout(buttons);

    connect(cboCompare, &QComboBox::activated, this, [this](int index) {
        try {
            const qint64 run = index > 0 && size_t(index) < m_compareRuns.size() ? m_compareRuns[size_t(index)] : 0;
            compareWith(run ? std::optional<qint64>(run) : std::nullopt);
        } catch (...) {
            showCurrentFailure(QStringLiteral("The comparison cannot be shown."));
        }
    });
    connect(grdRecords, &QAbstractItemView::activated, this, [this](const QModelIndex& index) {
        frmExplain::open(index.siblingAtColumn(0).data(Qt::UserRole).toLongLong(), this);
    });
    connect(btnPrint, &QPushButton::clicked, this, &frmDashboard::Print);
    connect(btnExportPdf, &QPushButton::clicked, this, [this] { ExportPdf(); });
    restorePlace(QSize(1280, 860));
}

// The charts: problem types down the left, the look-alikes and the trend on the right.
QWidget* frmDashboard::chartsTab()
{
    auto chartView = [this](const QString& name) {
        auto* view = new QChartView(new QChart, this);
        view->setObjectName(name);
        view->setRenderHint(QPainter::Antialiasing);
        view->setMinimumSize(320, 240);
        return view;
    };
    chtSensitivity = chartView(QStringLiteral("chtSensitivity"));
    chtSpecificity = chartView(QStringLiteral("chtSpecificity"));
    chtTrend = chartView(QStringLiteral("chtTrend"));
    auto* charts = new QWidget(this);
    auto* grid = new QGridLayout(charts);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->addWidget(chtSensitivity, 0, 0, 2, 1);
    grid->addWidget(chtSpecificity, 0, 1);
    grid->addWidget(chtTrend, 1, 1);
    grid->setColumnStretch(0, 6);
    grid->setColumnStretch(1, 5);
    return charts;
}

// Two runs side by side: the figures, and the records whose outcome changed.
QWidget* frmDashboard::comparisonTab()
{
    auto* comparison = new QWidget(this);
    lblComparison = plainLabel(comparison, QStringLiteral("lblComparison"));
    grdFigures = new QTableView(comparison);
    grdFigures->setObjectName(QStringLiteral("grdFigures"));
    prepareGrid(grdFigures);
    grdFigures->setModel(m_figureChanges);
    lblRecords = plainLabel(comparison, QStringLiteral("lblRecords"));
    grdRecords = new QTableView(comparison);
    grdRecords->setObjectName(QStringLiteral("grdRecords"));
    prepareGrid(grdRecords);
    RowFilter* filter = sortAndFilter(grdRecords, m_records);
    cboChange = new QComboBox(comparison);
    cboChange->setObjectName(QStringLiteral("cboChange"));
    for (const auto& [caption, word] : {std::pair{"All changes", ""}, {"Worse only", "worse"}, {"Better only", "better"},
                                        {"Neutral only", "neutral"}})
        cboChange->addItem(QString::fromLatin1(caption), QString::fromLatin1(word));
    connect(cboChange, &QComboBox::currentIndexChanged, filter,
            [this, filter] { filter->require(0, {3}, cboChange->currentData().toString()); });
    cboOutcome = filterChoice(comparison, QStringLiteral("cboOutcome"), filter, 1, {1, 2});
    auto* choices = new QHBoxLayout;
    auto* show = new QLabel(QStringLiteral("S&how:"), comparison);
    show->setBuddy(cboChange);
    choices->addWidget(show);
    choices->addWidget(cboChange);
    choices->addWidget(cboOutcome);
    choices->addStretch(1);
    auto* compared = new QGridLayout(comparison);
    compared->addWidget(lblComparison, 0, 0, 1, 2);
    compared->addWidget(grdFigures, 1, 0, 3, 1);
    compared->addWidget(lblRecords, 1, 1);
    compared->addLayout(choices, 2, 1);
    compared->addWidget(grdRecords, 3, 1);
    compared->setColumnStretch(0, 3);
    compared->setColumnStretch(1, 2);
    compared->setRowStretch(3, 1);
    // A line a row: forty-odd figures and the changed records fit with little scrolling.
    for (QTableView* table : {grdFigures, grdRecords}) {
        table->verticalHeader()->setMinimumSectionSize(0);
        table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 6);
    }
    return comparison;
}

frmDashboard::~frmDashboard()
{
    // The preview paints from this window's figures: it goes with them.
    if (m_preview)
        m_preview->close();
}

void frmDashboard::refresh()
{
    try {
        if (const std::optional<qint64> newest = history::resolveRun(-1))
            load(*newest);
    } catch (...) {
        close();
    }
}

void frmDashboard::load(qint64 run)
{
    const std::optional<SavedRun> saved = history::savedRun(run);
    if (!saved)
        throw DbError(DbError::NoCurrentRecord, QStringLiteral("Run %1 is not saved.").arg(run));
    m_run = *saved;
    m_figures = history::runFigures(run);
    // Every run for the list to compare with and the trend's band; the last hundred in full.
    m_runs = history::savedRuns();
    m_trend = history::trend(m_runs.size() > 100 ? m_runs[m_runs.size() - 100].run : 0);
    setWindowTitle(QStringLiteral("Dashboard: run %1, %2").arg(run).arg(m_run.file));
    // Both scores on one line: the height is the charts'.
    const QStringList scores = scoreLines();
    lblScores->setText(scores[0] + QLatin1Char('\n') + scores[1] + QStringLiteral("      ") + scores[2]);

    // Each view owns its chart only until it is given another.
    for (auto [view, chart] : {std::pair{chtSensitivity, sensitivityChart(m_figures)},
                               std::pair{chtSpecificity, specificityChart(m_figures)}, std::pair{chtTrend, trendChart(m_trend, m_runs)}}) {
        QChart* old = view->chart();
        view->setChart(chart);
        delete old;
    }
    // Room for each bar's label, which is smaller than the window's text, and
    // for the title and the scale.
    const auto bars = [](QChartView* view) {
        return int(qobject_cast<QBarCategoryAxis*>(view->chart()->axes(Qt::Vertical).front())->count());
    };
    const int line = QFontMetrics(font()).height();
    chtSensitivity->setMinimumHeight(bars(chtSensitivity) * (line + 1) + 6 * line);
    chtSpecificity->setMinimumHeight(bars(chtSpecificity) * line * 3 / 2 + 6 * line);
    // Room for the widest label beside a readable plot: the chart's layout cuts
    // labels that take more than 40 % of its width. Where the window has less,
    // the charts scroll rather than clip their labels.
    for (QChartView* view : {chtSensitivity, chtSpecificity}) {
        auto* categories = qobject_cast<QBarCategoryAxis*>(view->chart()->axes(Qt::Vertical).front());
        const QFontMetrics metrics(categories->labelsFont());
        int widest = 0;
        for (const QString& label : categories->categories())
            widest = std::max(widest, metrics.horizontalAdvance(label));
        view->setMinimumWidth(widest * 5 / 2 + 4 * line);
    }

    // One list, set at once: a combo box adds ten thousand items one by one slowly.
    QStringList choices{QStringLiteral("(no comparison)")};
    m_compareRuns.assign(1, 0);
    for (auto r = m_runs.rbegin(); r != m_runs.rend(); ++r)
        if (r->run < run) {
            choices << QStringLiteral("Run ") + runText(*r);
            m_compareRuns.push_back(r->run);
        }
    m_choices->setStringList(choices);
    cboCompare->setEnabled(cboCompare->count() > 1);
    compareWith(std::nullopt);
    if (m_preview)
        m_preview->preview->updatePreview();
}

QStringList frmDashboard::scoreLines() const
{
    return {QStringLiteral("Run %1: %2, evaluated %3 UTC, deck %4")
                .arg(m_run.run)
                .arg(m_run.file, m_run.time.toString(QStringLiteral("yyyy-MM-dd HH:mm")), m_run.deck),
            QStringLiteral("Sensitivity: ") + figureText(m_figures.at(0)),
            QStringLiteral("Specificity: ") + figureText(m_figures.at(1))};
}

void frmDashboard::compareWith(std::optional<qint64> earlier)
{
    m_comparison.reset();
    m_figureChanges->clear();
    m_records->clear();
    if (earlier)
        m_comparison = history::compareRuns(*earlier, m_run.run);
    const auto chosen = std::find(m_compareRuns.begin(), m_compareRuns.end(), earlier.value_or(0));
    cboCompare->setCurrentIndex(chosen == m_compareRuns.end() ? 0 : int(chosen - m_compareRuns.begin()));
    tabs->setTabEnabled(1, m_comparison.has_value());
    if (!m_comparison) {
        tabs->setCurrentIndex(0);
        return;
    }
    const std::optional<SavedRun> from = history::savedRun(*earlier);
    lblComparison->setText(QStringLiteral("Run %1 compared with run %2. \"Beyond both\": the new score lies outside the old "
                                          "interval and the old score outside the new one, a change that chance alone would rarely make.")
                               .arg(m_run.run)
                               .arg(from ? runText(*from) : QString::number(*earlier)));
    m_figureChanges->setHorizontalHeaderLabels(changeHeadings(*m_comparison));
    for (const FigureChange& c : m_comparison->figures) {
        QList<QStandardItem*> row;
        const QStringList texts = changeTexts(c);
        for (qsizetype i = 0; i < texts.size(); ++i)
            row << cell(texts[i], i == 0 || i == 4 ? Qt::AlignLeft | Qt::AlignVCenter : Qt::AlignRight | Qt::AlignVCenter);
        if (c.beyondIntervals())
            for (QStandardItem* item : row) {
                QFont bold = item->font();
                bold.setBold(true);
                item->setFont(bold);
            }
        m_figureChanges->appendRow(row);
    }
    m_records->setHorizontalHeaderLabels({QStringLiteral("Record"), QStringLiteral("Run %1").arg(*earlier),
                                          QStringLiteral("Run %1").arg(m_run.run), QStringLiteral("Change")});
    for (const OutcomeChange& o : m_comparison->changed) {
        QList<QStandardItem*> row{cell(QString::number(o.id), Qt::AlignRight | Qt::AlignVCenter), cell(outcomeText(o.before)),
                                  cell(outcomeText(o.after)), cell(changeWord(o.before, o.after))};
        row.front()->setData(o.id, Qt::UserRole);
        m_records->appendRow(row);
    }
    lblRecords->setText(QStringLiteral("Records whose outcome changed: %1. Double-click one, or press Enter on it, for its "
                                       "explanation; an explanation shows the latest evaluation.")
                            .arg(m_comparison->changed.size()));
    offerValues(cboOutcome, QStringLiteral("Any outcome"), *m_records, {1, 2});
    grdFigures->resizeColumnsToContents();
    // The figure's name stays readable however narrow the window: the grid
    // scrolls instead; the last column takes any room to spare.
    grdFigures->setColumnWidth(0, std::clamp(grdFigures->columnWidth(0), 12 * grdFigures->fontMetrics().averageCharWidth(),
                                             40 * grdFigures->fontMetrics().averageCharWidth()));
    grdRecords->resizeColumnsToContents();
    tabs->setCurrentIndex(1);
}

void frmDashboard::Print()
{
    try {
        BusyPointer busy;
        if (m_preview)
            m_preview->preview->updatePreview();
        else
            m_preview = ReportPreview::ofDocument(
                windowTitle(), [this](QPagedPaintDevice& device, int from, int to) { return paint(device, from, to); });
        showAndActivate(m_preview);
    } catch (...) {
        showCurrentFailure(QStringLiteral("The dashboard cannot be printed."));
    }
}

bool frmDashboard::ExportPdf(QString path)
{
    if (path.isEmpty()) {
        path = platform().SaveFileName(QStringLiteral("Export PDF"),
                                       QStringLiteral("Dashboard-run-%1.pdf").arg(m_run.run),
                                       QStringLiteral("PDF Files (*.pdf)"));
        if (path.isEmpty())
            return false;
    }
    BusyPointer busy;
    lblSaved->clear();
    const bool written = writePdf(windowTitle(), path, [this](QPdfWriter& writer) {
        writer.setPageMargins(QMarginsF(1, 1, 1, 1), QPageLayout::Inch);
        return paint(writer, 1, 0);
    });
    if (written)
        lblSaved->setText(QStringLiteral("Saved to ") + QDir::toNativeSeparators(path));
    return written;
}

// The pages: the scores and the problem types' chart; the look-alikes and the
// trend; then the comparison, if one is shown; those of the range asked for
// (to 0: to the end). Charts are laid out as on a
// screen of the page's size and scaled onto it, so their text keeps its proportion.
bool frmDashboard::paint(QPagedPaintDevice& device, int fromPage, int toPage) const
{
    QPainter painter;
    if (!painter.begin(&device))
        return false;
    const double width = device.width(), height = device.height(), scale = device.logicalDpiY() / 96.0;
    double y = 0;
    int page = 0;
    bool begun = false; // a page is printed: the next printed one takes a new sheet
    // Pages outside the range asked for are laid out all the same, so that the
    // others fall where they always do, but nothing of them is drawn.
    auto startPage = [&] {
        ++page;
        y = 0;
        const bool printed = page >= fromPage && (toPage == 0 || page <= toPage);
        painter.setClipRect(printed ? QRectF(0, 0, width, height) : QRectF());
        if (printed && begun)
            device.newPage();
        begun = begun || printed;
    };
    auto room = [&](double needed) {
        if (y > 0 && y + needed > height)
            startPage();
    };
    auto font = [&](double points, bool bold) {
        QFont f = this->font();
        f.setPointSizeF(points);
        f.setBold(bold);
        // No ligatures: the PDF's text then reads and searches as written.
        f.setStyleStrategy(QFont::PreferNoShaping);
        painter.setFont(f);
        return QFontMetricsF(f, &device).lineSpacing();
    };
    auto text = [&](const QString& line) {
        const QRectF box = painter.boundingRect(QRectF(0, 0, width, height), Qt::TextWordWrap, line);
        room(box.height());
        painter.drawText(QRectF(0, y, width, box.height()), Qt::TextWordWrap, line);
        y += box.height();
    };
    auto chart = [&](QChart* c, double share) {
        const double h = height * share;
        room(h);
        QGraphicsScene scene;
        scene.addItem(c);
        c->resize(width / scale, h / scale);
        scene.render(&painter, QRectF(0, y, width, h), QRectF(QPointF(), c->size()));
        y += h;
    };

    startPage();
    font(14, true);
    text(QStringLiteral("Dashboard"));
    const QStringList lines = scoreLines();
    font(10, false);
    text(lines[0]);
    font(11, true);
    text(lines[1]);
    text(lines[2]);
    y += font(10, false);
    chart(sensitivityChart(m_figures), 0.8);
    startPage();
    chart(specificityChart(m_figures), 0.45);
    y += font(10, false);
    chart(trendChart(m_trend, m_runs), 0.45);
    if (!m_comparison)
        return true;

    startPage();
    font(10, true);
    text(lblComparison->text());
    const double row = font(8, false) * 1.25;
    const double columns[] = {0, 0.33, 0.55, 0.77, 0.86, 1};
    auto tableRow = [&](const QStringList& cells) {
        room(row);
        for (int i = 0; i < 5; ++i) {
            const QRectF box(width * columns[i], y, width * (columns[i + 1] - columns[i]) - width * 0.01, row);
            // Only a figure's name can be too long; numbers are never cut.
            painter.drawText(box, (i == 0 || i == 4 ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter | Qt::TextDontClip,
                             i ? cells[i] : painter.fontMetrics().elidedText(cells[i], Qt::ElideRight, int(box.width())));
        }
        y += row;
    };
    y += row / 2;
    font(8, true);
    tableRow(changeHeadings(*m_comparison));
    for (const FigureChange& c : m_comparison->figures) {
        font(8, c.beyondIntervals());
        tableRow(changeTexts(c));
    }
    y += row;
    font(11, true);
    text(QStringLiteral("Records whose outcome changed: %1").arg(m_comparison->changed.size()));
    font(8, false);
    // Three to a line: there may be many.
    for (size_t i = 0; i < m_comparison->changed.size(); i += 3) {
        room(row);
        for (size_t j = i; j < std::min(i + 3, m_comparison->changed.size()); ++j) {
            const OutcomeChange& o = m_comparison->changed[j];
            painter.drawText(QRectF(width * double(j - i) / 3, y, width / 3, row), Qt::AlignLeft | Qt::AlignVCenter,
                             QStringLiteral("%1: %2 → %3").arg(o.id).arg(outcomeText(o.before), outcomeText(o.after)));
        }
        y += row;
    }
    return true;
}

} // namespace marrowick
