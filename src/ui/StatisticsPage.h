#pragma once

#include <QWidget>

class QLabel;
class QTableView;
class QToolButton;

namespace tafelix {

// Page "Statistik": the log as a table, or as a diagram laid over it.
class TStatisticsPage : public QWidget {
    Q_OBJECT
public:
    explicit TStatisticsPage(QWidget* parent = nullptr);

    QTableView* StringGrid1;   // the log, one row per drill, plus the empty last row
    QLabel* Panel22;           // the diagram panel, laid over the table when shown
    QLabel* Image1;            // the diagram picture on the panel
    QToolButton* ToolButton18; // "Tabelle"
    QToolButton* ToolButton19; // "Diagramm"
    QToolButton* ToolButton24; // "drucken"
    QToolButton* ToolButton21; // "Zeile löschen"
    QToolButton* ToolButton26; // "alles löschen"
};

} // namespace tafelix
