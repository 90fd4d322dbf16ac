#pragma once

#include "core/StatisticsDiagram.h"

#include <QImage>
#include <QSize>

namespace tafelix {

// Replays the diagram's drawing steps onto a white picture of `size`.
QImage paintStatisticsDiagram(const StatisticsDiagram& diagram, QSize size);

} // namespace tafelix
