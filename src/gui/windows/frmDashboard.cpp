#include "frmDashboard.h"

#include "DashboardCharts.h"
#include "RowFilter.h"
#include "reports/Explanation.h"
#include "reports/PageCursor.h"
#include "reports/PdfExport.h"
#include "ReportPreview.h"
#include "frmExplain.h"

#include <QBarCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QCompleter>
#include <QDir>
#include <QGraphicsScene>
#include <QGridLayout>
#include <QHash>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintPreviewWidget>
#include <QPushButton>
#include <QScrollArea>
#include <QStandardItemModel>
#include <QStringListModel>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>

namespace marrowick {

using namespace windows;
using namespace dashboard;

namespace {

QPointer<frmDashboard> g_dashboard;

QString figureText(const Figure& f)
{
    const std::optional<double> value = f.value();
    if (!value) return QStringLiteral("no records");
    const Interval ci = f.interval();
    return QStringLiteral("%1 (95 % CI %2–%3 %)").arg(percent(*value)).arg(ci.low, 0, 'f', 2).arg(ci.high, 0, 'f', 2);
}

QString runText(const SavedRun& r)
{
    return QStringLiteral("%1 (%2, %3 UTC)")
        .arg(r.run)
        .arg(r.file, r.time.toString(QStringLiteral("yyyy-MM-dd HH:mm")));
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
    if (!f.value()) return QStringLiteral("–");
    const Interval ci = f.interval();
    return QStringLiteral("%1 (%2–%3)").arg(*f.value(), 0, 'f', 2).arg(ci.low, 0, 'f', 2).arg(ci.high, 0, 'f', 2);
}

QStringList changeHeadings(const RunComparison& c)
{
    const QString run = QStringLiteral("Run %1, % (95 % CI)");
    return {QStringLiteral("Figure"), run.arg(c.from), run.arg(c.to), QStringLiteral("Change"),
            QStringLiteral("Beyond both")};
}

// Before, after, difference in points and the verdict on chance, in words.
QStringList changeTexts(const FigureChange& c)
{
    const std::optional<double> b = c.before.value(), a = c.after.value();
    const QString difference =
        a && b ? QStringLiteral("%1%2").arg(*a > *b ? QStringLiteral("+") : QString()).arg(*a - *b, 0, 'f', 2)
               : QStringLiteral("–");
    const QString beyond = !a || !b              ? QStringLiteral("–")
                           : c.beyondIntervals() ? QStringLiteral("YES")
                                                 : QStringLiteral("no");
    return {c.after.label, valueOrDash(c.before), valueOrDash(c.after), difference, beyond};
}

// Whether a record fared better or worse: a duplicate caught beats one
// flagged, which beats one missed; a person kept whole beats one merged with
// a stranger or lost. A record absent under its own names was merged into
// its group. A record new to a run is neither.
QString changeWord(const QString& before, const QString& after)
{
    // A group's main record, found ("main"), fares as well as a duplicate caught.
    auto rank = [](const QString& code) -> std::optional<int> {
        const std::optional<Outcome> outcome = parseOutcome(code);
        if (!outcome) return std::nullopt;
        switch (*outcome) {
        case Outcome::Main:
        case Outcome::Caught:
        case Outcome::Absent:
        case Outcome::KeptApart:
            return 3;
        case Outcome::Flagged:
            return 2;
        case Outcome::Missed:
            return 1;
        case Outcome::StrangerMerge:
        case Outcome::Lost:
            return 0;
        }
        return std::nullopt;
    };
    const std::optional<int> was = rank(before), is = rank(after);
    if (!was || !is || *was == *is) return QStringLiteral("neutral");
    return *is > *was ? QStringLiteral("better") : QStringLiteral("worse");
}

QString outcomeText(const QString& outcome)
{
    return outcome.isEmpty() ? QStringLiteral("(not in run)") : outcomeWords(outcome);
}

// Printing: the window's font at a size, without ligatures, so that the PDF's
// text reads and searches as written.
QFont printFont(QFont font, double points, bool bold)
{
    font.setPointSizeF(points);
    font.setBold(bold);
    font.setStyleStrategy(QFont::PreferNoShaping);
    return font;
}

// A chart across the page, a share of its height high. It is laid out as on a
// screen of the page's size and scaled onto it, so its text keeps its proportion.
void printChart(PageCursor& cursor, QChart* chart, double share, double scale)
{
    const double height = cursor.height() * share;
    cursor.makeRoom(height);
    QGraphicsScene scene; // owns the chart from here
    scene.addItem(chart);
    chart->resize(cursor.width() / scale, height / scale);
    scene.render(&cursor.painter(), QRectF(0, cursor.y(), cursor.width(), height), QRectF(QPointF(), chart->size()));
    cursor.advance(height);
}

// One line of the figures' table, in the painter's font.
void printFigureRow(PageCursor& cursor, const QStringList& cells, double row)
{
    static constexpr double kColumns[] = {0, 0.33, 0.55, 0.77, 0.86, 1};
    cursor.makeRoom(row);
    QPainter& painter = cursor.painter();
    const double width = cursor.width();
    for (size_t i = 0; i < 5; ++i) {
        const QRectF box(width * kColumns[i], cursor.y(), width * (kColumns[i + 1] - kColumns[i]) - width * 0.01, row);
        const Qt::Alignment side = i == 0 || i == 4 ? Qt::AlignLeft : Qt::AlignRight;
        // Only a figure's name can be too long; numbers are never cut.
        const QString& text = cells[qsizetype(i)];
        painter.drawText(box, side | Qt::AlignVCenter | Qt::TextDontClip,
                         i ? text : painter.fontMetrics().elidedText(text, Qt::ElideRight, int(box.width())));
    }
    cursor.advance(row);
}

// Three to a line: there may be many.
void printChangedRecords(PageCursor& cursor, const std::vector<OutcomeChange>& changed, double row)
{
    const double width = cursor.width();
    for (size_t i = 0; i < changed.size(); i += 3) {
        cursor.makeRoom(row);
        for (size_t j = i; j < std::min(i + 3, changed.size()); ++j) {
            const OutcomeChange& o = changed[j];
            const QString text =
                QStringLiteral("%1: %2 → %3").arg(o.id).arg(outcomeText(o.before), outcomeText(o.after));
            cursor.painter().drawText(QRectF(width * double(j - i) / 3, cursor.y(), width / 3, row),
                                      Qt::AlignLeft | Qt::AlignVCenter, text);
        }
        cursor.advance(row);
    }
}

// The comparison's page: what it says, the figures' table, the changed records.
void printComparison(PageCursor& cursor, const RunComparison& c, const QString& intro, const QFont& base)
{
    cursor.nextPage();
    cursor.setFont(printFont(base, 10, true));
    cursor.paragraph(intro);
    const double row = cursor.setFont(printFont(base, 8, false)) * 1.25;
    cursor.advance(row / 2);
    cursor.setFont(printFont(base, 8, true));
    printFigureRow(cursor, changeHeadings(c), row);
    for (const FigureChange& f : c.figures) {
        cursor.setFont(printFont(base, 8, f.beyondIntervals()));
        printFigureRow(cursor, changeTexts(f), row);
    }
    cursor.advance(row);
    cursor.setFont(printFont(base, 11, true));
    cursor.paragraph(QStringLiteral("Records whose outcome changed: %1").arg(c.changed.size()));
    cursor.setFont(printFont(base, 8, false));
    printChangedRecords(cursor, c.changed, row);
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
        platform().MsgBox(
            QStringLiteral("Dashboard"),
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
        if (created) g_dashboard = created.release();
        return window;
    });
}

frmDashboard::frmDashboard()
    : DataWindow(QStringLiteral("frmDashboard")), m_figureChanges(new QStandardItemModel(this)),
      m_records(new QStandardItemModel(this))
{
    // Made in the order that Tab follows.
    QLayout* top = scoresRow();
    buildTabs();
    QHBoxLayout* buttons = outputRow();

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(tabs, 1);
    layout->addLayout(buttons);
    connectActions();
    restorePlace(QSize(1280, 860));
}

// The overall scores, and the run to compare with beside them.
QLayout* frmDashboard::scoresRow()
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

    auto* top = new QHBoxLayout;
    top->addWidget(lblScores, 1);
    top->addWidget(compareLabel, 0, Qt::AlignTop);
    top->addWidget(cboCompare, 0, Qt::AlignTop);
    return top;
}

void frmDashboard::buildTabs()
{
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
}

void frmDashboard::connectActions()
{
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
    for (const auto& [caption, word] : {std::pair{"All changes", ""},
                                        {"Worse only", "worse"},
                                        {"Better only", "better"},
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
    if (m_preview) m_preview->close();
}

void frmDashboard::refresh()
{
    try {
        if (const std::optional<qint64> newest = history::resolveRun(-1)) load(*newest);
    } catch (...) {
        close();
    }
}

void frmDashboard::load(qint64 run)
{
    const std::optional<SavedRun> saved = history::savedRun(run);
    if (!saved) throw DbError(DbError::NoCurrentRecord, QStringLiteral("Run %1 is not saved.").arg(run));
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
    for (auto [view, chart] :
         {std::pair{chtSensitivity, sensitivityChart(m_figures)},
          std::pair{chtSpecificity, specificityChart(m_figures)}, std::pair{chtTrend, trendChart(m_trend, m_runs)}}) {
        QChart* old = view->chart();
        view->setChart(chart);
        delete old;
    }
    // Room for each bar's label, which is smaller than the window's text, and
    // for the title and the scale.
    const int line = QFontMetrics(font()).height();
    chtSensitivity->setMinimumHeight(int(categoryAxis(*chtSensitivity->chart())->count()) * (line + 1) + 6 * line);
    chtSpecificity->setMinimumHeight(int(categoryAxis(*chtSpecificity->chart())->count()) * line * 3 / 2 + 6 * line);
    // Room for the widest label beside a readable plot: the chart's layout cuts
    // labels that take more than 40 % of its width. Where the window has less,
    // the charts scroll rather than clip their labels.
    for (QChartView* view : {chtSensitivity, chtSpecificity})
        view->setMinimumWidth(widestCategory(*view->chart()) * 5 / 2 + 4 * line);

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
    if (m_preview) m_preview->preview->updatePreview();
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
    if (earlier) m_comparison = history::compareRuns(*earlier, m_run.run);
    const auto chosen = std::find(m_compareRuns.begin(), m_compareRuns.end(), earlier.value_or(0));
    cboCompare->setCurrentIndex(chosen == m_compareRuns.end() ? 0 : int(chosen - m_compareRuns.begin()));
    tabs->setTabEnabled(1, m_comparison.has_value());
    if (!m_comparison) {
        tabs->setCurrentIndex(0);
        return;
    }
    const std::optional<SavedRun> from = history::savedRun(*earlier);
    lblComparison->setText(
        QStringLiteral("Run %1 compared with run %2. \"Beyond both\": the new score lies outside the old "
                       "interval and the old score outside the new one, a change that chance alone would rarely make.")
            .arg(m_run.run)
            .arg(from ? runText(*from) : QString::number(*earlier)));
    m_figureChanges->setHorizontalHeaderLabels(changeHeadings(*m_comparison));
    for (const FigureChange& c : m_comparison->figures) {
        QList<QStandardItem*> row;
        const QStringList texts = changeTexts(c);
        for (qsizetype i = 0; i < texts.size(); ++i)
            row << cell(texts[i],
                        i == 0 || i == 4 ? Qt::AlignLeft | Qt::AlignVCenter : Qt::AlignRight | Qt::AlignVCenter);
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
        QList<QStandardItem*> row{cell(QString::number(o.id), Qt::AlignRight | Qt::AlignVCenter),
                                  cell(outcomeText(o.before)), cell(outcomeText(o.after)),
                                  cell(changeWord(o.before, o.after))};
        row.front()->setData(o.id, Qt::UserRole);
        m_records->appendRow(row);
    }
    lblRecords->setText(
        QStringLiteral("Records whose outcome changed: %1. Double-click one, or press Enter on it, for its "
                       "explanation; an explanation shows the latest evaluation.")
            .arg(m_comparison->changed.size()));
    offerValues(cboOutcome, QStringLiteral("Any outcome"), *m_records, {1, 2});
    grdFigures->resizeColumnsToContents();
    // The figure's name stays readable however narrow the window: the grid
    // scrolls instead; the last column takes any room to spare.
    grdFigures->setColumnWidth(0,
                               std::clamp(grdFigures->columnWidth(0), 12 * grdFigures->fontMetrics().averageCharWidth(),
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
        path =
            platform().SaveFileName(QStringLiteral("Export PDF"), QStringLiteral("Dashboard-run-%1.pdf").arg(m_run.run),
                                    QStringLiteral("PDF Files (*.pdf)"));
        if (path.isEmpty()) return false;
    }
    BusyPointer busy;
    lblSaved->clear();
    try {
        writePdf(windowTitle(), path, [this](QPdfWriter& writer) {
            writer.setPageMargins(QMarginsF(1, 1, 1, 1), QPageLayout::Inch);
            return paint(writer, 1, 0);
        });
    } catch (...) {
        showCurrentFailure(QStringLiteral("The dashboard cannot be exported."));
        return false;
    }
    lblSaved->setText(QStringLiteral("Saved to ") + QDir::toNativeSeparators(path));
    return true;
}

// The pages: the scores and the problem types' chart; the look-alikes and the
// trend; then the comparison, if one is shown; those of the range asked for
// (to 0: to the end).
bool frmDashboard::paint(QPagedPaintDevice& device, int fromPage, int toPage) const
{
    QPainter painter;
    if (!painter.begin(&device)) return false;
    const double scale = device.logicalDpiY() / 96.0;
    PageCursor cursor(device, painter, fromPage, toPage, PageCursor::ClipOverflow);
    cursor.nextPage();
    cursor.setFont(printFont(font(), 14, true));
    cursor.paragraph(QStringLiteral("Dashboard"));
    const QStringList lines = scoreLines();
    cursor.setFont(printFont(font(), 10, false));
    cursor.paragraph(lines[0]);
    cursor.setFont(printFont(font(), 11, true));
    cursor.paragraph(lines[1]);
    cursor.paragraph(lines[2]);
    cursor.advance(cursor.setFont(printFont(font(), 10, false)));
    printChart(cursor, sensitivityChart(m_figures), 0.8, scale);
    cursor.nextPage();
    printChart(cursor, specificityChart(m_figures), 0.45, scale);
    cursor.advance(cursor.setFont(printFont(font(), 10, false)));
    printChart(cursor, trendChart(m_trend, m_runs), 0.45, scale);
    if (m_comparison) printComparison(cursor, *m_comparison, lblComparison->text(), font());
    return true;
}

} // namespace marrowick
