// The page "Statistik": the drill log, its table and the delete commands.
#include "main.h"

#include "DiagramPicture.h"
#include "StatisticsModel.h"

#include "core/Percent.h"
#include "core/StatisticsDiagram.h"
#include "platform/Cp1252Text.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLocale>
#include <QTableView>

#include <cerrno>
#include <functional>

namespace tafelix {

namespace {

// Backspace and Delete on a record row delete it, whether or not the button is enabled.
class GridKeyFilter : public QObject {
public:
    GridKeyFilter(const StatisticsModel* model, QTableView* grid, std::function<void()> remove)
        : QObject(grid), model_(model), grid_(grid), remove_(std::move(remove))
    {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            const int row = grid_->currentIndex().row();
            if ((key == Qt::Key_Backspace || key == Qt::Key_Delete) && row >= 0 &&
                row < model_->recordCount()) {
                remove_();
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    const StatisticsModel* model_;
    QTableView* grid_;
    std::function<void()> remove_;
};

// Runs `shown` each time the watched widget is shown.
class ShowFilter : public QObject {
public:
    ShowFilter(QObject* parent, std::function<void()> shown)
        : QObject(parent), shown_(std::move(shown))
    {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show)
            shown_();
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> shown_;
};

} // namespace

std::string TForm1::statisticsPath() const
{
    return folder_.sysDat() + "Statistik.dat";
}

void TForm1::wireStatistics()
{
    QTableView* grid = stats->StringGrid1;
    grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    connect(grid, &QTableView::clicked, this, &TForm1::StringGrid1Click);
    grid->installEventFilter(
        new GridKeyFilter(statisticsModel, grid, [this] { ToolButton21Click(); }));
    // A table loaded while its page was hidden is scrolled as the page appears.
    stats->installEventFilter(new ShowFilter(stats, [this] {
        if (statisticsScrollPending_)
            scrollStatisticsToNewest();
    }));
    connect(stats->ToolButton18, &QToolButton::clicked, this, &TForm1::ToolButton18Click);
    connect(stats->ToolButton19, &QToolButton::clicked, this, &TForm1::ToolButton19Click);
    connect(stats->ToolButton21, &QToolButton::clicked, this, &TForm1::ToolButton21Click);
    connect(stats->ToolButton26, &QToolButton::clicked, this, &TForm1::ToolButton26Click);
    connect(stats->ToolButton24, &QToolButton::clicked, this, &TForm1::ToolButton24Click);
    attachStatisticsModel();
}

void TForm1::attachStatisticsModel()
{
    QTableView* grid = stats->StringGrid1;
    if (grid->model() == statisticsModel)
        return;
    grid->setModel(statisticsModel);
    // The designed widths, widened where this toolkit's 8-point font needs a few pixels more.
    const int widths[] = {150, 68, 58, 56, 40, 38, 54};
    for (int c = 0; c < 7; ++c)
        grid->setColumnWidth(c, widths[c]);
    grid->horizontalHeader()->setStretchLastSection(true);
    grid->horizontalHeader()->setMinimumSectionSize(20);
    connect(grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &TForm1::StringGrid1Click);
}

bool TForm1::LoadStatistics()
{
    StatisticsLoad load = loadStatisticsFile(statisticsPath());
    const IoResult result = load.result;
    // Whole records are shown even when the file ends in a broken one.
    statisticsModel->setRecords(std::move(load.records));
    scrollStatisticsToNewest();
    if (!result) {
        // A missing log is started afresh by the next entry, and a broken last record is
        // dropped by it; a log that cannot be read at all must never be overwritten.
        statisticsReadFailed_ = result.error != ENOENT && result.error != ENODATA;
        showError(QString::fromStdString(result.message));
        return false;
    }
    statisticsReadFailed_ = false;
    return true;
}

void TForm1::scrollStatisticsToNewest()
{
    // A table that is not on screen has no viewport size to scroll by: scrolled then, it
    // shows row 1 when it appears. So it is scrolled as its page is shown.
    // The holder is shown only with its page made.
    statisticsScrollPending_ = !stats.tab()->isVisible() || !stats->StringGrid1->isVisible();
    if (statisticsScrollPending_)
        return;
    QTableView* grid = stats->StringGrid1;
    const int rows = statisticsModel->recordCount() + 2; // titles and the empty last row
    if (rows > 10)
        grid->scrollTo(statisticsModel->index(rows - 10 - 1, 0), QAbstractItemView::PositionAtTop);
    else
        grid->scrollToTop();
}

bool TForm1::AppendDrillResult(bool rewriteOnly, StatisticsChange change)
{
    TLearnPage* L = learn;
    const DrillCounters counts = L->counters();
    if (!rewriteOnly && counts.answered > 0) {
        StatisticsRecord rec;
        const std::string name = toCp1252(openFileName);
        setStatisticsCell(rec, ColumnFile, fileNamePart(name));
        const QDate today = platform_.clock.now().date();
        setStatisticsCell(rec, ColumnDate, formatLogDate(today.day(), today.month(), today.year()));
        setStatisticsCell(rec, ColumnAnswers, toCp1252(QString::number(counts.answered)));
        setStatisticsCell(rec, ColumnTime, toCp1252(L->Panel15->text()));
        setStatisticsCell(rec, ColumnRight, toCp1252(QString::number(counts.right)));
        setStatisticsCell(rec, ColumnWrong, toCp1252(QString::number(counts.wrong)));
        setStatisticsCell(rec, ColumnPercent,
                          toCp1252(percentText(L->shownPercent().value_or(0.0))));
        statisticsModel->append(rec);
        change.added.push_back(rec);
    }
    // The table shows a change whose write failed as made; it goes into the file with the next.
    auto& pending = unwrittenLog_;
    pending.removed.insert(pending.removed.end(), change.removed.begin(), change.removed.end());
    pending.added.insert(pending.added.end(), change.added.begin(), change.added.end());
    ResetLearningDisplays();
    if (statisticsReadFailed_) {
        showError(QStringLiteral("Die Statistikdatei konnte nicht gelesen werden und wird daher "
                                 "nicht überschrieben."));
        return false;
    }
    // Another window may share the log: the change goes into the file as it is now.
    if (const IoResult r = changeStatisticsFile(statisticsPath(), pending); !r) {
        showError(QString::fromStdString(r.message));
        return false;
    }
    pending = {};
    return LoadStatistics();
}

void TForm1::StringGrid1Click()
{
    stats->ToolButton21->setEnabled(false);
    const int row = stats->StringGrid1->currentIndex().row();
    if (row < 0 || row >= statisticsModel->recordCount()) {
        stats->StringGrid1->clearSelection();
        return;
    }
    stats->StringGrid1->selectRow(row);
    stats->ToolButton21->setEnabled(true);
}

void TForm1::ToolButton21Click()
{
    // Rows count as the learner sees them: 1 is the first record.
    const int before = stats->StringGrid1->currentIndex().row();
    int a = before + 1;
    if (message(MsgKind::Warning, QStringLiteral("Markierten Datensatz wirklich löschen?"),
                OkButton | CancelButton, 300) != OkButton) {
        a = 0;
    } else if (a >= 1 && a <= statisticsModel->recordCount()) {
        StatisticsChange change;
        // The last rows may be drills whose logging failed: those are in no file yet.
        std::vector<StatisticsRecord>& unwritten = unwrittenLog_.added;
        const int firstUnwritten =
            statisticsModel->recordCount() - static_cast<int>(unwritten.size());
        if (a - 1 >= firstUnwritten)
            unwritten.erase(unwritten.begin() + (a - 1 - firstUnwritten));
        else
            change.remove(statisticsModel->records(), static_cast<std::size_t>(a - 1));
        statisticsModel->removeRecord(a - 1);
        AppendDrillResult(true, std::move(change));
    }
    stats->ToolButton21->setEnabled(false);
    const int rows = statisticsModel->recordCount() + 2;
    const int t = std::max(1, std::min(a, rows - 1));
    const QModelIndex target = statisticsModel->index(t - 1, 0);
    stats->StringGrid1->scrollTo(target, QAbstractItemView::PositionAtTop);
    {
        // Reloading the table forgets the current row, but for the learner row a stayed
        // current all along: only a change of row is a new choice that enables the button.
        const QSignalBlocker block(stats->StringGrid1->selectionModel());
        stats->StringGrid1->setCurrentIndex(target);
    }
    if (target.row() != before)
        StringGrid1Click();
}

void TForm1::ToolButton26Click()
{
    if (message(MsgKind::Warning, QStringLiteral("Gesamte Statistik wirklich löschen?"),
                OkButton | CancelButton, 300) != OkButton)
        return;
    if (stats->ToolButton19->isChecked())
        ToolButton18Click();
    // The records shown here; any that another window logged meanwhile stay.
    // Drills whose logging failed are the last rows and in no file yet: they just go.
    std::vector<StatisticsRecord> inFile = statisticsModel->records();
    inFile.resize(inFile.size() - std::min(inFile.size(), unwrittenLog_.added.size()));
    unwrittenLog_.added.clear();
    StatisticsChange change;
    change.removeAll(inFile);
    statisticsModel->clear();
    AppendDrillResult(true, std::move(change));
}

void TForm1::ToolButton18Click()
{
    stats->ToolButton19->setChecked(false);
    stats->ToolButton19->setEnabled(true);
    stats->ToolButton18->setChecked(true);
    stats->ToolButton18->setEnabled(false);
    stats->Panel22->hide();
}

void TForm1::ToolButton19Click()
{
    showDiagram();
}

bool TForm1::showDiagram()
{
    stats->ToolButton18->setChecked(false);
    stats->ToolButton18->setEnabled(true);
    stats->ToolButton19->setChecked(true);
    stats->ToolButton19->setEnabled(false);
    stats->Panel22->setGeometry(stats->StringGrid1->geometry());
    stats->Image1->setGeometry(5, 5, stats->Panel22->width() - 10, stats->Panel22->height() - 10);
    stats->Panel22->show();
    stats->Panel22->raise();
    return DrawDiagram();
}

bool TForm1::DrawDiagram()
{
    const QLocale locale;
    const auto& records = statisticsModel->records();
    std::vector<DiagramRecord> input;
    input.reserve(records.size());
    for (const StatisticsRecord& r : records) {
        DiagramRecord d;
        d.answers = fromCp1252(statisticsCell(r, ColumnAnswers)).toInt(&d.answersValid);
        d.right = fromCp1252(statisticsCell(r, ColumnRight)).toInt(&d.rightValid);
        const std::string_view percent = statisticsCell(r, ColumnPercent);
        d.percentEmpty = percent.empty();
        const std::optional<double> read = readPercent(percent);
        d.percentValid = read.has_value();
        d.percent = read.value_or(0.0);
        input.push_back(d);
    }
    const QSize size = stats->Image1->size();
    const char separator =
        locale.decimalPoint().isEmpty() ? '.' : locale.decimalPoint().at(0).toLatin1();
    const StatisticsDiagram diagram =
        buildStatisticsDiagram(input, size.width(), size.height(), separator ? separator : '.');

    diagramImage = paintStatisticsDiagram(diagram, size);
    stats->Image1->setPixmap(QPixmap::fromImage(diagramImage));
    if (diagram.stoppedAt > 0) {
        const auto& bad = records[static_cast<std::size_t>(diagram.stoppedAt - 1)];
        using Cell = StatisticsDiagram::Cell;
        if (diagram.badCell == Cell::Percent)
            showError(QStringLiteral("'%1' ist kein gültiger Gleitkommawert")
                          .arg(fromCp1252(statisticsCell(bad, ColumnPercent))));
        else
            showError(QStringLiteral("'%1' ist kein gültiger Integerwert")
                          .arg(fromCp1252(statisticsCell(
                              bad, diagram.badCell == Cell::Right ? ColumnRight : ColumnAnswers))));
        return false;
    }
    return true;
}

} // namespace tafelix
