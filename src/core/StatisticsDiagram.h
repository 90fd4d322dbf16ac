#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tafelix {

// The line diagram of the statistics log as a list of drawing steps in painting order, so
// that every coordinate can be checked without a window and any canvas can replay it.

enum class DiagramColor { Black, Blue, DarkGreen };

struct DiagramOp {
    enum Kind { Line, Text } kind = Line;
    int x1 = 0, y1 = 0, x2 = 0, y2 = 0; // a text uses (x1, y1) as its top-left corner
    DiagramColor color = DiagramColor::Black;
    std::string text;

    friend bool operator==(const DiagramOp&, const DiagramOp&) = default;
};

// One logged drill as the diagram needs it.
struct DiagramRecord {
    std::int64_t answers = 0;
    std::int64_t right = 0;
    bool percentEmpty = true;
    bool percentValid = false; // the cell holds a number
    double percent = 0;
    bool answersValid = true; // the count cells hold whole numbers
    bool rightValid = true;
};

struct StatisticsDiagram {
    std::vector<DiagramOp> ops;
    bool hasAverage = false; // no answers at all leave the average undefined
    double average = 0;      // right answers over all answers, in percent
    // Where a cell that is not a number stopped the drawing: the 1-based record and which
    // cell; stoppedAt 0 means the diagram is complete.
    enum class Cell { None, Right, Answers, Percent };
    int stoppedAt = 0;
    Cell badCell = Cell::None;
};

// Every step is opaque (a solid line, a text on its own white box), so a step painted again
// later covers whatever its earlier copy covered: only the last copy shows, and the others
// are dropped. A long log repeats most steps (past a few hundred records every point lies on
// the axis, and the average's text is drawn at each record); painting them all cost several
// frames.
void keepLastCopies(std::vector<DiagramOp>& ops);

// Draws the diagram for a picture of width x height pixels. `decimalSeparator` is the
// locale's, for the average's text.
StatisticsDiagram buildStatisticsDiagram(const std::vector<DiagramRecord>& records, int width,
                                         int height, char decimalSeparator);

} // namespace tafelix
