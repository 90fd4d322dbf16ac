#include "StatisticsDiagram.h"

#include "Percent.h"

#include <algorithm>
#include <functional>
#include <unordered_set>

namespace tafelix {

namespace {

struct StepHash {
    std::size_t operator()(const DiagramOp& op) const
    {
        std::size_t h = std::hash<std::string>()(op.text);
        for (int v :
             {static_cast<int>(op.kind), op.x1, op.y1, op.x2, op.y2, static_cast<int>(op.color)})
            h = h * 1000003u ^ static_cast<std::size_t>(v);
        return h;
    }
};

StatisticsDiagram buildSteps(const std::vector<DiagramRecord>& records, int width, int height,
                             char decimalSeparator);

} // namespace

void keepLastCopies(std::vector<DiagramOp>& ops)
{
    std::unordered_set<DiagramOp, StepHash> later;
    std::vector<DiagramOp> kept;
    for (auto it = ops.rbegin(); it != ops.rend(); ++it)
        if (later.insert(*it).second)
            kept.push_back(*it);
    ops.assign(std::make_move_iterator(kept.rbegin()), std::make_move_iterator(kept.rend()));
}

StatisticsDiagram buildStatisticsDiagram(const std::vector<DiagramRecord>& records, int width,
                                         int height, char decimalSeparator)
{
    StatisticsDiagram d = buildSteps(records, width, height, decimalSeparator);
    keepLastCopies(d.ops);
    return d;
}

namespace {

StatisticsDiagram buildSteps(const std::vector<DiagramRecord>& records, int width, int height,
                             char decimalSeparator)
{
    StatisticsDiagram d;
    const int u = height / 11;
    const int base = 11 * u - 20; // 0 %
    const int top = u - 20;       // 100 %
    const int n = static_cast<int>(records.size());
    const int step = width / (n + 1);
    // Pixels for a percentage, truncated toward zero; the product first keeps 80 % of 270
    // pixels at exactly 216 rather than 215.99...
    // A damaged log can hold any number ("1e20", or far more right answers than answers):
    // such a point lies off the picture either way, and the clamp keeps the conversion to
    // pixels defined.
    auto scaled = [base, top](double percent) {
        const double pixels = static_cast<double>(base - top) * percent / 100.0;
        return static_cast<int>(std::clamp(pixels, -1.0e6, 1.0e6));
    };
    auto line = [&d](int x1, int y1, int x2, int y2, DiagramColor c) {
        d.ops.push_back({DiagramOp::Line, x1, y1, x2, y2, c, {}});
    };
    auto text = [&d](int x, int y, std::string s) {
        d.ops.push_back({DiagramOp::Text, x, y, 0, 0, DiagramColor::Black, std::move(s)});
    };

    // The sums come first, so a damaged count stops the diagram before anything is drawn;
    // read as 0 it would put the average anywhere, even outside the picture.
    std::int64_t right = 0;
    std::int64_t answers = 0;
    for (std::size_t k = 0; k < records.size(); ++k) {
        const DiagramRecord& r = records[k];
        if (r.percentEmpty)
            continue;
        if (!r.rightValid || !r.answersValid) {
            d.stoppedAt = static_cast<int>(k) + 1;
            d.badCell =
                r.rightValid ? StatisticsDiagram::Cell::Answers : StatisticsDiagram::Cell::Right;
            return d;
        }
        right += r.right;
        answers += r.answers;
    }
    d.hasAverage = answers != 0;
    d.average =
        d.hasAverage ? static_cast<double>(right) * 100.0 / static_cast<double>(answers) : 0;

    double previous = 0;
    if (n >= 1 && !records[0].percentEmpty) {
        if (!records[0].percentValid) {
            d.stoppedAt = 1;
            d.badCell = StatisticsDiagram::Cell::Percent;
            return d;
        }
        previous = records[0].percent;
    }

    for (int k = 11; k >= 1; --k) {
        const int y = k * u - 20;
        line(20, y, 15, y, DiagramColor::Black);
        text(3, y - 5, std::to_string((11 - k) * 10) + "%");
    }
    line(20, height - 20, 20, top, DiagramColor::Black);

    const int averageY = base - scaled(d.average);
    const std::string averageText =
        d.hasAverage ? "Durchschnitt: " + formatPercent(d.average, decimalSeparator) + "%"
                     : std::string();
    int x = 0;
    int lastX = 0;
    for (int i = 1; i <= n + 1; ++i) {
        line(x + 20, base, x + 20, height - 15, DiagramColor::Black);
        if (n <= 13)
            text(x + 18, height - 14, std::to_string(i - 1));
        if (i > 1) {
            const DiagramRecord& r = records[static_cast<std::size_t>(i - 2)];
            if (!r.percentValid) {
                d.stoppedAt = i - 1;
                d.badCell = StatisticsDiagram::Cell::Percent;
                return d;
            }
            line(x + 20, base - 1 - scaled(r.percent), lastX + 20, base - 1 - scaled(previous),
                 DiagramColor::Blue);
            if (d.hasAverage)
                line(x + 20, averageY, lastX + 20, averageY, DiagramColor::DarkGreen);
            previous = r.percent;
        }
        // Drawn again at every step, so it stays readable on top of both lines.
        if (d.hasAverage)
            text(width / 3, averageY + 10, averageText);
        lastX = x;
        x = i * step;
    }
    line(x, base, 20, base, DiagramColor::Black);
    return d;
}

} // namespace

} // namespace tafelix
